// Writes the seed corpora of the fuzz targets (tools/fuzz) from the fixture writers: run with
// KOVA_WRITE_FUZZ_CORPUS=1 after changing a writer or a target's input layout. The test build
// replays the corpora (FuzzReplay.*); this file only makes them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/stream.h"
#include "script/call_man.h"
#include "script/db_manager.h"
#include "script/db_table.h"
#include "script/event_queue.h"
#include "script/param_collection.h"
#include "support/archive_builder.h"
#include "support/expr_builder.h"
#include "support/frame_driver.h"
#include "support/install_set_builder.h"
#include "support/le_writer.h"
#include "support/midi_writer.h"
#include "support/prev_menu_writer.h"
#include "support/page_writer.h"
#include "support/project_writer.h"
#include "support/sound_writer.h"
#include "support/text_cost_fixtures.h"

namespace kova::test {
namespace {

using Bytes = std::vector<uint8_t>;

std::filesystem::path CorpusRoot() { return std::filesystem::path(KOVA_TESTS_DIR) / "fuzz" / "corpus"; }

void Write(const std::string& target, const std::string& name, const Bytes& bytes) {
  const std::filesystem::path folder = CorpusRoot() / target;
  std::filesystem::create_directories(folder);
  std::ofstream(folder / name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

Bytes Prefixed(std::initializer_list<uint8_t> head, const Bytes& body) {
  Bytes out(head);
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

Bytes Of(TMemoryStream& s) { return Bytes(s.Memory(), s.Memory() + s.Size()); }

ArchiveBuilder SmallArchive(int version) {
  ArchiveBuilder a(version);
  a.Add("start.ksb", "page bytes", false);
  a.Add("bg\\title.wxa", std::string(300, 'x'), true);
  a.Add("empty.txt", "", false);
  return a;
}

void WriteArchives() {
  for (int v : {0, 100, 101, 102}) Write("archive", "v" + std::to_string(v), SmallArchive(v).Build());
  const ArchiveBuilder a = SmallArchive(102);
  Write("archive_place", "appended", Prefixed({0, 0, 0}, a.BuildAppended(Bytes(40, 0x90))));
  const Bytes dir = a.BuildExtDirectory(), data = a.BuildExtData();
  Bytes split = Prefixed({1, uint8_t(dir.size()), uint8_t(dir.size() >> 8)}, dir);
  split.insert(split.end(), data.begin(), data.end());
  Write("archive_place", "sidecar", split);
  Write("archive_place", "pieces", Prefixed({2, 63, 0}, a.Build()));
  Write("archive_place", "appended_asked", Prefixed({3, 0, 0}, a.BuildAppended(Bytes(7, 0x4D))));
}

void WriteInstallSets() {
  for (int v : {0, 100, 103, 105, 107}) {
    InstallSetBuilder b;
    b.version = v;
    b.game_key = "KOVA-FUZZ";
    b.disk_index = 1;
    b.complete = 1;
    b.records = {{1, 2, 3, 4}};
    b.first_list = {"a"};
    b.second_list = {"b", "c"};
    Write("install_set", "v" + std::to_string(v), b.Build());
  }
}

void WritePages() {
  PageWriter loop;
  loop.VarNew("i", 1, Value(I(0)));
  loop.VarNew("s", 4, Value(S("")));
  loop.While(Compare(ExprBuilder::Small, V("i"), I(5)), 6);
  loop.Indent(1).Calc(Step("i", ExprBuilder::Plus, I(1)));
  loop.Calc(Step("s", ExprBuilder::ComboStr, V("i")));
  loop.Wait(NoResult(), Value(I(16)));
  loop.Indent(0).WhileLoop(NoResult(), 2);
  loop.If(Compare(ExprBuilder::Equal, V("s"), S("12345"))).Indent(1).Label("done");
  loop.Indent(0).Else().Indent(1).Jump("", 0, No());
  loop.Indent(0).Terminate();
  Write("page", "loop", loop.Bytes());

  PageWriter calls(107);
  calls.VarNew("r", 1, Value(I(0)));
  calls.Call("start.ksb", 9, "r", {Value(I(3))});
  calls.Label("sub");
  calls.Exit(No());
  calls.GetProp(Value(S("obj")), Value(I(1)), "r");
  calls.SetProp(Value(S("obj")), Value(I(1)), Value(I(2)));
  calls.DoEvent();
  calls.Wait(Yes(), Value(I(-2147483647 - 1)));
  Write("page", "calls_v107", calls.Bytes());

  PageWriter components;
  components.Component(8, {{0, Value(S("box"))}, {3, Value(I(10))}});
  components.Component(11, {{0, Value(S("timer"))}});
  components.ObjDel(Value(S("box")));
  components.PCReset("", 0, false);
  components.VarDel("r");
  Write("page", "components", components.Bytes());

  PageWriter sets(103);
  sets.PropRecords(61);
  sets.Calc(Assign("x", I(1)));
  Write("page", "sets_v103", sets.Bytes());

  // A 0.3 KB page that builds a 2 MiB string and sets it as a message window's text.
  Write("page", "long_text", LongTextPage(10, 21).Bytes());
  // Small pages that make twenty thousand boxes, and a chain of boxes deeper than a scene allows.
  Write("page", "many_boxes", BoxesPage(20000, false).Bytes());
  Write("page", "box_chain", BoxesPage(5000, true).Bytes());
}

void WriteProjects() {
  for (int v : {103, 104, 106, 109}) {
    ProjectBuilder p;
    p.version = v;
    p.Var(ProjectVariable::Int("n", 3)).Var(ProjectVariable::Str("s", "x")).Var(ProjectVariable::Float("f", 1.5L));
    p.Var(ProjectVariable::Flag("b", true));
    p.folder_lines = {"disc1", "disc2"};
    Write("project", "v" + std::to_string(v), p.Build());
  }
}

// The save sections are written by the engine's own savers from a small populated state.
void WriteSaves() {
  {
    TParamCollection store;
    TDBManager tables;
    store.Declare("g", PT_INT, TVarScope::Global)->SetInt(7);
    store.Declare("st", PT_STR, TVarScope::Status)->SetStr("status");
    TMemoryStream status, game;
    store.SaveStatus(status);
    tables.SaveStatusTables(status);
    store.SaveToStream(game);
    tables.SaveGameTables(game);
    Write("save", "status", Prefixed({0, 22}, Of(status)));
    Write("save", "game", Prefixed({1, 22}, Of(game)));
  }
  {
    FrameDriver d;
    PageWriter main;
    main.Wait(NoResult(), Value(I(500)));
    d.AddPage("main.ksb", main);
    d.callman.Start("main.ksb");
    d.Frames(2);
    const TObjectHandle obj = d.scene.Add("obj");
    TArrayString params;
    params.Add("1");
    d.queue.AddEvent(obj, "h.kss", &params, 36);
    TMemoryStream interpreter, queue;
    d.callman.SaveToStream(interpreter);
    d.queue.SaveToStream(queue);
    Write("save", "interpreter", Prefixed({2, 22}, Of(interpreter)));
    Write("save", "queue", Prefixed({3, 22}, Of(queue)));
    Write("save", "queue_v113", Prefixed({3, 6}, Of(queue)));
  }
}

void WriteTables() {
  LeWriter table;  // one table record: name, kind, columns, records, current record
  table.Str("t").U8(0).I32(2);
  table.I32(4).Str("n").U8(1);   // integer column
  table.I32(9).Str("s").U8(4);   // string column of 8 bytes and the terminator
  table.I32(2);
  table.I32(5).Raw(std::string("abc\0\0\0\0\0\0", 9));
  table.I32(-1).Raw(std::string("\x82\xA0\0\0\0\0\0\0\0", 9));
  table.I32(0);
  const Bytes one = table.Bytes();
  LeWriter manager;
  manager.I32(100).I32(1).U8(0).Raw(std::string(one.begin(), one.end())).Str("t");
  Write("db", "game_tables", Prefixed({0}, manager.Bytes()));
  LeWriter status;
  status.I32(100).I32(1).U8(0).Raw(std::string(one.begin(), one.end()));
  Write("db", "status_tables", Prefixed({1}, status.Bytes()));
  Write("db", "table", Prefixed({2}, one));
  const std::string tsv = "n\ts\tf\tb\n1\tabc\t1.5\tTRUE\n-2\t\"q\\\"x\"\t0\tFALSE\n";
  Write("db", "tsv", Prefixed({3}, Bytes(tsv.begin(), tsv.end())));
  const std::string wide = WideTsv();  // wide columns over tab-only lines
  Write("db", "tsv_wide", Prefixed({3}, Bytes(wide.begin(), wide.end())));
}

void WriteSounds() {
  Write("wav", "pcm8_mono_22k", WavTone({1, 22050, 120, 440.0, 0.5}, {8}));
  Write("wav", "pcm16_stereo_44k", WavTone({2, 44100, 60, 440.0, 0.5}));
  Write("wav", "extensible_stereo_22k", WavTone({2, 22050, 40, 440.0, 0.5}, {16, true}));
  Write("wav", "pcm16_mono_48k", WavTone({1, 48000, 90, 440.0, 0.5}));
  Bytes listed = WavTone({1, 44100, 33, 440.0, 0.5}, {8});  // an odd chunk before the format
  const Bytes list = {'L', 'I', 'S', 'T', 3, 0, 0, 0, 'a', 'b', 'c', 0};
  listed.insert(listed.begin() + 12, list.begin(), list.end());
  Write("wav", "odd_chunk_first", listed);
  Write("ogg", "mono_22k", OggTone({1, 22050, 2205, 440.0, 0.5}));
  Write("ogg", "stereo_48k", OggTone({2, 48000, 1200, 880.0, 0.5}));
}

void WriteMidi() {
  const uint8_t name[] = {'b', 'a', 's', 's'}, rhythm[] = {3, 2, 24, 8};
  const Bytes gs = GsResetBytes();
  TMidiWriter zero(0, 96);
  zero.Track().Meta(0, 0x03, name).Tempo(0, 450000).SysEx(0, std::span<const uint8_t>(gs).subspan(1));
  zero.Program(0, 0, 33).NoteOn(0, 0, 40, 100).Event(48, {43, 90}).Event(0x90, {40, 0}).Control(0, 0, 7, 100);
  zero.Event(0, {0xE0, 0, 64}).Event(0x4000, {0xD0, 20}).Event(12, {0xF7, 2, 0xF8, 0xFA}).NoteOff(1, 0, 43);
  Write("midi", "format0_running_status", zero.EndOfTrack(10).Bytes());
  TMidiWriter one(1, 480);
  one.Track().Meta(0, 0x58, rhythm).Tempo(0, 500000).Tempo(960, 250000).EndOfTrack(960);
  one.Track().Meta(0, 0x03, name).NoteOn(0, 1, 60, 100).NoteOff(480, 1, 60).NoteOn(0, 1, 62, 0).EndOfTrack(480);
  one.Track().Control(0, 9, 7, 127).NoteOn(240, 9, 36, 120).NoteOff(240, 9, 36).EndOfTrack();
  Write("midi", "format1_tempo_changes", one.Bytes());
  TMidiWriter smpte(0, uint8_t(-25) << 8 | 40);
  smpte.Track().Tempo(0, 300000).NoteOn(0, 0, 60, 100).NoteOff(1000, 0, 60).EndOfTrack();
  Write("midi", "smpte_25fps", smpte.Bytes());
  TMidiWriter open_end(1, 96);
  open_end.Track().NoteOn(0, 0, 60, 100).NoteOff(96, 0, 60);  // no end of track
  open_end.Track().NoteOn(0, 1, 60, 100).EndOfTrack(0).TrackLengthOverride(400);
  Write("midi", "missing_end_of_track", open_end.Bytes());
}

void WritePrevMenus() {
  PrevMenuButton full;
  full.x = 40, full.y = 60, full.image = "start.bmp", full.flag = 1, full.name = "start", full.alt1 = "start_hover.bmp";
  full.alt2 = "start_leave.bmp", full.alt3 = "start_click.kmt", full.alt4 = "start_off.bmp", full.sub = "..\\sub.bmp";
  full.sub2 = "sub_leave.bmp", full.extra = "sub_click.bmp", full.sub_x = 8, full.sub_y = 4, full.cursor = "hand.cur";
  PrevMenuButton plain;
  plain.x = 200, plain.y = 60, plain.image = "\\abs\\load.bmp";
  PrevMenuFile v101;
  v101.width = 640, v101.height = 480, v101.buttons = {full, plain};
  Write("prev_menu", "version101_two_buttons", PrevMenuBytes(v101));
  PrevMenuFile v100 = v101;
  v100.version = "100";
  Write("prev_menu", "version100_no_fifth_picture", PrevMenuBytes(v100));
  PrevMenuFile counted = v101;
  counted.count = 3;  // one more than the records
  Write("prev_menu", "count_beyond_records", PrevMenuBytes(counted));
}

TEST(FuzzCorpus, WriteSeeds) {
  const char* enabled = std::getenv("KOVA_WRITE_FUZZ_CORPUS");
  if (!enabled || std::string(enabled) != "1") GTEST_SKIP() << "set KOVA_WRITE_FUZZ_CORPUS=1 to rewrite the seeds";
  WriteArchives();
  WriteInstallSets();
  WritePages();
  WriteProjects();
  WriteSaves();
  WriteTables();
  WriteSounds();
  WriteMidi();
  WritePrevMenus();
}

}  // namespace
}  // namespace kova::test
