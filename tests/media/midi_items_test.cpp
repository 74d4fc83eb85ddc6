// The MIDI manager and its items over a recording output on a fake clock: the device list and
// the choice of a device, the items taking turns in the one sequencer, volume, positions, the
// empty song, and a sound component playing a song across a save and a load.
#include "media/midi_items.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/errors.h"
#include "core/file_manager.h"
#include "core/stream.h"
#include "media/kova_sound.h"
#include "media/media_layer.h"
#include "media/midi_player.h"
#include "media/recording_midi_out.h"
#include "platform/text/text_codec.h"
#include "support/fake_script_host.h"
#include "support/game_tree.h"
#include "support/midi_writer.h"
#include "support/scene_driver.h"

namespace kova::test {
namespace {

using Bytes = std::vector<uint8_t>;
using Events = std::vector<TMidiPlayV::TEvent>;
using Progs = std::vector<std::pair<int32_t, uint8_t>>;  // (device, program) in order

// Programs 1, 2, 3 ... every 100 ms on channel 0 from 0 on, `count` of them, then the end.
Events Ramp(int32_t count, uint8_t channel = 0) {
  Events song{Ev(0, {uint8_t(0xB0 | channel), 7, 100})};
  for (int32_t i = 0; i < count; ++i) song.push_back(Ev(i * 100, {uint8_t(0xC0 | channel), uint8_t(i + 1)}));
  song.push_back(End(count * 100));
  return song;
}

class MidiItemsTest : public ::testing::Test {
 protected:
  MidiItemsTest() {
    log.clock = [this] { return now; };
    tree.WriteFile("game/a.mid", SongBytes(Ramp(20)));
    tree.WriteFile("game/b.mid", SongBytes(Ramp(5, 3)));
    tree.WriteFile("game/empty.mid", std::string());
    files.SetFolder(tree.Path("game"));
    manager.Sequencer().SetReader(ReadSongBytes);
  }
  TMidiItem& Add(const std::string& name) { return *static_cast<TMidiItem*>(manager.Add(name)); }
  void RunTo(uint32_t until) {
    while (now + 10 <= until) {
      now += 10;
      manager.Tick();
    }
  }
  std::vector<TSentMsg> Sent() { return log.Take(); }
  // The programs sent since the last call, and on which device.
  Progs Programs() {
    Progs out;
    for (const TSentMsg& m : log.Take()) {
      if (m.bytes.size() == 2 && (m.bytes[0] & 0xF0) == 0xC0) out.emplace_back(m.device, m.bytes[1]);
    }
    return out;
  }

  uint32_t now = 5000;
  GameTree tree;
  TVrFileManager files;
  TMidiLog log;
  TRecordingMidiDevices devices{log, {"one", "two"}};
  TMidiManager manager{TMidiParts{&files, &devices, [this] { return now; }, false, [this](uint32_t ms) { now += ms; }}};
};

TEST_F(MidiItemsTest, TheDeviceListStartsWithTheMapper) {
  const std::string mapper = plat::Utf8ToCp932("MIDIマッパー");
  EXPECT_EQ(manager.GetDeviceCount(), 3);
  EXPECT_EQ(manager.GetDeviceName(0), mapper);
  EXPECT_EQ(manager.GetDeviceName(2), "two");
  EXPECT_EQ(manager.GetDeviceName(3), mapper);
  EXPECT_EQ(manager.GetDeviceName(-1), mapper);
  EXPECT_EQ(manager.GetCurrentDeviceName(), mapper);
  manager.SelectDevice("two");
  EXPECT_EQ(manager.SelectedIndex(), 2);
  EXPECT_EQ(manager.GetCurrentDeviceName(), "two");
  manager.SelectDevice("none such");
  EXPECT_EQ(manager.SelectedIndex(), 0);
  manager.SetDevice(7);
  EXPECT_EQ(manager.SelectedIndex(), 2);
  manager.SetDevice(-3);
  EXPECT_EQ(manager.SelectedIndex(), 0);
  EXPECT_TRUE(devices.opened.empty());  // nothing plays: choosing opens nothing

  TMidiManager bare{TMidiParts{}};
  EXPECT_EQ(bare.GetDeviceCount(), 1);
  EXPECT_EQ(bare.GetCurrentDeviceName(), mapper);
}

TEST_F(MidiItemsTest, PlayLoadsTheSongOpensTheChosenDeviceAndSetsItsVolume) {
  manager.SetDevice(1);
  TMidiItem& a = Add("a.mid");
  EXPECT_TRUE(a.IsMidi());
  a.SetVol(-5000);
  EXPECT_FALSE(a.IsPlaying());
  a.Play();
  EXPECT_EQ(devices.opened, std::vector<int32_t>{0});  // the list's index 1 is device 0
  std::vector<TSentMsg> sent = Sent();
  ASSERT_EQ(sent.size(), 1u + 16 + 16);
  EXPECT_EQ(sent[0].bytes, (Bytes{0xF0, 0x7F, 0x7F, 0x04, 0x01, 0x00, 0x7F, 0xF7}));
  EXPECT_EQ(sent[1].bytes, (Bytes{0xB0, 123, 0}));
  // Before the song's own value arrives, controller 7 is 127 at half.
  EXPECT_EQ(sent[17].bytes, (Bytes{0xB0, 7, 63}));
  EXPECT_EQ(sent[32].bytes, (Bytes{0xBF, 7, 63}));
  RunTo(5010);
  sent = Sent();
  ASSERT_GE(sent.size(), 2u);
  EXPECT_EQ(sent[0].bytes, (Bytes{0xB0, 7, 50}));
  EXPECT_EQ(sent[1].bytes, (Bytes{0xC0, 1}));
  EXPECT_TRUE(a.IsPlaying());
  EXPECT_EQ(a.GetLen(), 2000);
  EXPECT_EQ(a.GetPosition(), 10);
}

TEST_F(MidiItemsTest, TheVolumeScalesControllerSevenFromSilentToFull) {
  TMidiItem& a = Add("a.mid");
  a.Play();
  RunTo(5010);  // the song's controller 7: 100
  Sent();
  struct Case {
    int32_t volume;
    uint8_t sent;
  };
  for (const Case c : {Case{0, 100}, Case{-5000, 50}, Case{-10000, 0}, Case{-2550, 75}, Case{-20000, 0},
                       Case{3000, 127}}) {
    a.SetVol(c.volume);
    EXPECT_EQ(a.GetVol(), c.volume);
    const std::vector<TSentMsg> sent = Sent();
    ASSERT_EQ(sent.size(), 16u);
    EXPECT_EQ(sent[0].bytes, (Bytes{0xB0, 7, c.sent})) << c.volume;
  }
}

TEST_F(MidiItemsTest, PausePositionsAndPlayResumeWhereTheSongWas) {
  TMidiItem& a = Add("a.mid");
  EXPECT_EQ(a.GetPosition(), 0);
  a.SetPosition(-40);  // not current: kept, held to 0
  a.Play();
  RunTo(5500);
  EXPECT_EQ(a.GetPosition(), 500);
  a.Pause();
  EXPECT_TRUE(a.IsPaused());
  EXPECT_FALSE(a.IsPlaying());
  a.SetPosition(1200);  // paused: kept for the next Play
  Programs();
  a.Play();
  EXPECT_FALSE(a.IsPaused());
  // Forwards from 500 to 1200: only what lies between is sent, up to the event at 1200.
  EXPECT_EQ(Programs(), (Progs{{-1, 6}, {-1, 7}, {-1, 8}, {-1, 9}, {-1, 10}, {-1, 11}, {-1, 12}}));
  EXPECT_EQ(a.GetPosition(), 1100);
  a.SetPosition(300);  // playing: a seek at once, backwards, so from the start
  EXPECT_EQ(Programs(), (Progs{{-1, 1}, {-1, 2}, {-1, 3}}));
  EXPECT_TRUE(a.IsPlaying());
}

TEST_F(MidiItemsTest, ItemsTakeTurnsInTheOneSequencer) {
  TMidiItem& a = Add("a.mid");
  TMidiItem& b = Add("b.mid");
  a.SetAutoRepeat(true);  // not current yet: goes nowhere
  a.Play();
  EXPECT_FALSE(a.GetAutoRepeat());
  RunTo(5300);
  b.Play();
  EXPECT_FALSE(a.IsPlaying());
  EXPECT_FALSE(a.IsEnd());
  EXPECT_EQ(a.GetPosition(), 0);
  Programs();
  RunTo(5710);
  EXPECT_EQ(Programs(), (Progs{{-1, 1}, {-1, 2}, {-1, 3}, {-1, 4}, {-1, 5}}));
  EXPECT_TRUE(b.IsEnd());  // the event at 400 was the last before the end
  b.SetAutoRepeat(true);
  EXPECT_TRUE(b.GetAutoRepeat());
  EXPECT_FALSE(b.IsEnd());
  // a is read again, and its length was taken without playing it.
  EXPECT_EQ(a.GetLen(), 2000);
  a.Play();
  EXPECT_EQ(manager.Current(), &a);
  EXPECT_EQ(devices.opened, std::vector<int32_t>{-1});  // the device stays open between songs
}

TEST_F(MidiItemsTest, AnEmptyFileNeverPlaysThePreviousSong) {
  TMidiItem& a = Add("a.mid");
  a.Play();
  RunTo(5300);
  TMidiItem& empty = Add("empty.mid");
  EXPECT_EQ(empty.GetLen(), 0);
  empty.Play();
  Programs();
  RunTo(6000);
  EXPECT_TRUE(Programs().empty());
  EXPECT_TRUE(empty.IsEnd());
  EXPECT_TRUE(empty.IsPlaying());
  EXPECT_EQ(empty.GetPosition(), 0);
}

TEST_F(MidiItemsTest, ADisabledManagerOnlyMarksAndEnablingPlays) {
  TMidiItem& a = Add("a.mid");
  manager.SetEnabled(false);
  a.Play();
  EXPECT_TRUE(a.Mark);
  EXPECT_FALSE(a.IsPlaying());
  EXPECT_TRUE(devices.opened.empty());
  manager.SetEnabled(true);
  EXPECT_TRUE(a.IsPlaying());
  // Disabling pauses what plays; enabling resumes it where it was.
  RunTo(5400);
  manager.SetEnabled(false);
  EXPECT_TRUE(a.IsPaused());
  RunTo(6000);
  manager.SetEnabled(true);
  EXPECT_EQ(a.GetPosition(), 400);  // back on the event it paused before: nothing to send again
}

TEST_F(MidiItemsTest, SetDeviceMovesAPlayingSongToTheNewDeviceAtItsPlace) {
  TMidiItem& a = Add("a.mid");
  a.Play();
  RunTo(5450);
  Sent();
  manager.SetDevice(2);
  const std::vector<TSentMsg> sent = Sent();
  // Notes off on the old device, its reset, then the new device (1) catches up without notes.
  ASSERT_GT(sent.size(), 17u);
  EXPECT_EQ(sent[0].device, -1);
  EXPECT_EQ(sent[16].bytes, Bytes{});
  EXPECT_EQ(sent[16].device, -1);
  std::vector<uint8_t> programs;
  for (size_t i = 17; i < sent.size(); ++i) {
    EXPECT_EQ(sent[i].device, 1);
    if ((sent[i].bytes[0] & 0xF0) == 0xC0) programs.push_back(sent[i].bytes[1]);
  }
  EXPECT_EQ(programs, (Bytes{1, 2, 3, 4}));
  EXPECT_EQ(devices.opened, (std::vector<int32_t>{-1, 1}));
  EXPECT_TRUE(a.IsPlaying());
  EXPECT_EQ(a.GetPosition(), 300);
  RunTo(5660);
  EXPECT_EQ(Programs(), (Progs{{1, 5}, {1, 6}}));
}

TEST_F(MidiItemsTest, FreeingTheCurrentItemClosesTheDevice) {
  TMidiItem& a = Add("a.mid");
  TMidiItem& b = Add("b.mid");
  a.Play();
  manager.Remove(&b);  // not current: the song plays on
  EXPECT_TRUE(a.IsPlaying());
  Sent();
  manager.Remove(&a);
  EXPECT_EQ(manager.Current(), nullptr);
  const std::vector<TSentMsg> sent = Sent();
  ASSERT_EQ(sent.size(), 17u);
  EXPECT_EQ(sent.back().bytes, Bytes{});
  EXPECT_FALSE(manager.Sequencer().IsOpen());
}

TEST_F(MidiItemsTest, SongsAreGameFilesOrDiskFiles) {
  tree.WriteFile("disk/Song.MID", SongBytes(Ramp(3)));
  TMidiItem& disk = Add("/" + tree.Path("disk/song.mid").substr(1));
  EXPECT_EQ(disk.GetLen(), 300);
  for (const char* missing : {"none.mid", "C:\\a.mid", "/no/such/file.mid"}) {
    TMidiItem& item = Add(missing);
    EXPECT_THROW(item.Play(), EReadError) << missing;
    EXPECT_FALSE(item.IsPlaying());
  }
}

// A sound component over the real manager and a song file: it plays, is saved and plays again
// after a load.
TEST(MidiSoundTest, ASongPlayingAtTheSavePlaysAgainAfterTheLoad) {
  uint32_t now = 1000;
  GameTree tree;
  // A Standard MIDI File: controller 7 at 100, then programs 1 .. 50 every 100 ms (96 ticks at
  // 480 ticks a quarter of 500 ms), the end at 5000 ms.
  TMidiWriter w(0, 480);
  w.Track().Control(0, 0, 7, 100);
  for (int i = 0; i < 50; ++i) w.Program(i == 0 ? 0 : 96, 0, i + 1);
  w.EndOfTrack(96);
  tree.WriteFile("game/bgm.mid", w.Bytes());
  TVrFileManager files;
  files.SetFolder(tree.Path("game"));
  TMidiLog log;
  log.clock = [&] { return now; };
  TRecordingMidiDevices devices{log, {}};
  FakeScriptHost host;
  host.project_files = {"bgm.mid"};
  TParamCollection store{host.Ports(), &host.Interpreter()};
  TMediaLayer media;
  SceneDriver scene{SceneWiring{.store = &store}};
  RegisterSoundKind(scene.globals.Kinds(), media);
  auto owned = std::make_unique<TMidiManager>(TMidiParts{&files, &devices, [&] { return now; }, false, {}});
  TMidiManager& manager = *owned;
  media.Install(TMediaKind::Midi, std::move(owned));

  auto* sound = static_cast<TKovaSound*>(scene.root.CreateComponent(KT_SOUND));
  sound->SetName("bgm");
  sound->SetSource("bgm.mid");
  sound->SetPlayState(TKovaSound::kPlay);
  for (int i = 0; i < 250; ++i) {
    now += 10;
    manager.Tick();
  }
  ASSERT_NE(manager.Current(), nullptr);
  EXPECT_EQ(manager.Current()->GetPosition(), 2500);
  TMemoryStream saved;
  scene.root.SaveToStream(saved);
  saved.SetPosition(0);
  scene.root.LoadFromStream(saved, 129);
  auto* loaded = static_cast<TKovaSound*>(scene.root.FindComponent("bgm"));
  ASSERT_NE(loaded, nullptr);
  ASSERT_EQ(manager.Items().size(), 1u);
  TMidiItem* item = manager.Current();
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(static_cast<TDMediaItem*>(item), loaded->Item());
  EXPECT_TRUE(item->IsPlaying());
  // The seek to 2500 stops before the event at 2500, so the position is the one before.
  EXPECT_EQ(item->GetPosition(), 2400);
  log.Take();
  now += 210;
  manager.Tick();
  std::vector<uint8_t> programs;
  for (const TSentMsg& m : log.Take()) {
    if ((m.bytes.size() == 2) && m.bytes[0] == 0xC0) programs.push_back(m.bytes[1]);
  }
  EXPECT_EQ(programs, (Bytes{26, 27}));
}

}  // namespace
}  // namespace kova::test
