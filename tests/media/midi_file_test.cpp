// The song reader over Standard MIDI Files made by the test's writer: tracks merged in time order,
// running status, event classes, times across tempo changes and under SMPTE timing, and damaged
// files, each read safely as far as its bytes honestly go.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "media/midi_file.h"
#include "support/midi_writer.h"

namespace kova::test {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes DataOf(const TMidiV& song, size_t index) {
  const auto data = song.Data(song.Events()[index]);
  return Bytes(data.begin(), data.end());
}

std::vector<int32_t> TicksOf(const TMidiV& song) {
  std::vector<int32_t> ticks;
  for (const TMidiMsgEvent& e : song.Events()) ticks.push_back(e.Tick);
  return ticks;
}

std::vector<int32_t> ClassesOf(const TMidiV& song) {
  std::vector<int32_t> classes;
  for (const TMidiMsgEvent& e : song.Events()) classes.push_back(e.Class);
  return classes;
}

TMidiV Load(const Bytes& bytes) {
  TMidiV song;
  song.LoadFromStream(bytes);
  return song;
}

const uint8_t kName[] = {'L', 'e', 'a', 'd'};

TEST(MidiFile, Format1TracksAreMergedByTickWithTiesInReadOrder) {
  TMidiWriter w(1, 96);
  w.Track().Tempo(0, 500000).Meta(0, 0x03, kName).NoteOn(48, 0, 60, 100).EndOfTrack(48);
  w.Track().NoteOn(0, 1, 64, 90).NoteOff(48, 1, 64).EndOfTrack(96);
  w.Track().NoteOn(48, 2, 67, 80).EndOfTrack(0);
  const TMidiV song = Load(w.Bytes());
  EXPECT_EQ(song.Format(), 1);
  EXPECT_EQ(song.TrackCount(), 3);
  EXPECT_EQ(song.Division(), 96);
  ASSERT_EQ(song.Tracks().size(), 3u);
  EXPECT_EQ(song.Tracks()[0].Name, "Lead");
  EXPECT_EQ(song.Tracks()[1].Name, "");

  // Tick 48 holds track 0's note, track 1's note off, track 2's note and end: in read order.
  EXPECT_EQ(TicksOf(song), (std::vector<int32_t>{0, 0, 0, 48, 48, 48, 48, 96, 144}));
  std::vector<int32_t> tracks, sequences;
  for (const TMidiMsgEvent& e : song.Events()) {
    tracks.push_back(e.Track);
    sequences.push_back(e.Sequence);
  }
  EXPECT_EQ(tracks, (std::vector<int32_t>{0, 0, 1, 0, 1, 2, 2, 0, 1}));
  EXPECT_EQ(sequences, (std::vector<int32_t>{0, 1, 4, 2, 5, 7, 8, 3, 6}));
  EXPECT_EQ(ClassesOf(song), (std::vector<int32_t>{kMidiTempo, kMidiTrackName, kMidiNoteOn, kMidiNoteOn, kMidiNoteOff,
                                                   kMidiNoteOn, kMidiEndOfTrack, kMidiEndOfTrack, kMidiEndOfTrack}));
  // A meta event keeps FF and its type, not its length; a channel message its status and data.
  EXPECT_EQ(DataOf(song, 1), (Bytes{0xFF, 0x03, 'L', 'e', 'a', 'd'}));
  EXPECT_EQ(DataOf(song, 2), (Bytes{0x91, 64, 90}));
  EXPECT_EQ(song.Events()[3].Delta, 48);
  EXPECT_EQ(song.Events()[3].Kind, TMidiEventKind::Channel);
  EXPECT_EQ(song.Events()[0].Kind, TMidiEventKind::Meta);
  // 96 ticks a quarter at 500000 us: 144 ticks are 750 ms.
  EXPECT_EQ(song.SongLength(), 750);

  // The same events in one format-0 track come out in the same order.
  TMidiWriter one(0, 96);
  one.Track().Tempo(0, 500000).NoteOn(0, 1, 64, 90).NoteOn(48, 0, 60, 100).NoteOff(0, 1, 64).EndOfTrack(96);
  const TMidiV single = Load(one.Bytes());
  EXPECT_EQ(single.Format(), 0);
  EXPECT_EQ(TicksOf(single), (std::vector<int32_t>{0, 0, 48, 48, 144}));
  EXPECT_EQ(single.SongLength(), 750);
}

TEST(MidiFile, ManyTracksMergeIntoOneOrder) {
  TMidiWriter w(1, 96);
  int expected = 0;
  for (int t = 0; t < 7; ++t) {
    w.Track();
    for (int i = 0; i < 5 + t * 3; ++i, ++expected) w.NoteOn(uint32_t((t * 5 + i * 3) % 4), t, 60, 100);
  }
  const TMidiV song = Load(w.Bytes());
  ASSERT_EQ(song.Events().size(), size_t(expected));
  std::vector<bool> seen(static_cast<size_t>(expected));
  for (size_t i = 0; i < song.Events().size(); ++i) {
    const TMidiMsgEvent& e = song.Events()[i];
    seen[size_t(e.Sequence)] = true;
    if (i == 0) continue;
    const TMidiMsgEvent& before = song.Events()[i - 1];
    ASSERT_TRUE(before.Tick < e.Tick || (before.Tick == e.Tick && before.Sequence < e.Sequence)) << i;
  }
  EXPECT_EQ(std::count(seen.begin(), seen.end(), true), expected);
}

// Running status: only channel messages set it, system-exclusive messages clear it, meta events
// leave it; a data byte with none in force ends the track.
TEST(MidiFile, RunningStatus) {
  struct TCase {
    const char* name;
    Bytes track;  // deltas and events
    std::vector<Bytes> events;  // every event's stored bytes, end of track included
  };
  const Bytes eot = {0xFF, 0x2F};
  const TCase cases[] = {
      {"repeats the last status", {0, 0x90, 60, 100, 10, 62, 100, 10, 64, 0, 0, 0xFF, 0x2F, 0},
       {{0x90, 60, 100}, {0x90, 62, 100}, {0x90, 64, 0}, eot}},
      {"one data byte messages", {0, 0xC3, 5, 0, 7, 0, 0xFF, 0x2F, 0}, {{0xC3, 5}, {0xC3, 7}, eot}},
      {"survives a meta event", {0, 0xB2, 7, 90, 0, 0xFF, 0x01, 1, 'x', 0, 10, 80, 0, 0xFF, 0x2F, 0},
       {{0xB2, 7, 90}, {0xFF, 0x01, 'x'}, {0xB2, 10, 80}, eot}},
      {"cleared by F0", {0, 0x90, 60, 100, 0, 0xF0, 2, 0x01, 0xF7, 0, 62, 100, 0, 0xFF, 0x2F, 0},
       {{0x90, 60, 100}, {0xF0, 0x01, 0xF7}}},
      {"cleared by F7", {0, 0x90, 60, 100, 0, 0xF7, 1, 0xF8, 0, 62, 100, 0, 0xFF, 0x2F, 0},
       {{0x90, 60, 100}, {0xF7, 0xF8}}},
      {"none at the start", {0, 60, 100, 0, 0xFF, 0x2F, 0}, {}},
      {"a status byte among the data", {0, 0x90, 60, 100, 0, 0x90, 0x80, 100, 0, 0xFF, 0x2F, 0},
       {{0x90, 60, 100}}},
      {"system common bytes", {0, 0x90, 60, 100, 0, 0xF2, 1, 2, 0, 0xFF, 0x2F, 0}, {{0x90, 60, 100}}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    TMidiWriter w(0, 96);
    const TMidiV song = Load(w.Track().Raw(c.track).Bytes());
    std::vector<Bytes> events;
    for (size_t i = 0; i < song.Events().size(); ++i) events.push_back(DataOf(song, i));
    EXPECT_EQ(events, c.events);
  }
}

TEST(MidiFile, ClassesFromTheEventBytes) {
  struct TCase {
    Bytes data;
    int32_t kind;
  };
  const Bytes gs = GsResetBytes();
  Bytes gs_long = gs;
  gs_long.push_back(0xF7);
  const TCase cases[] = {
      {{0x93, 60, 1}, kMidiNoteOn},
      {{0x93, 60, 0}, kMidiNoteOff},
      {{0x83, 60, 64}, kMidiNoteOff},
      {{0xA1, 60, 5}, kMidiKeyPressure},
      {{0xBF, 7, 100}, kMidiControlChange},
      {{0xC0, 5}, kMidiProgramChange},
      {{0xD2, 5}, kMidiChannelPressure},
      {{0xE0, 0, 64}, kMidiPitchBend},
      {gs, kMidiGsReset},
      {Bytes(gs.begin(), gs.end() - 1), kMidiOther},  // ten bytes of it
      {gs_long, kMidiOther},
      {{0xF0, 0x7F, 0x7F, 0x04, 0x01, 0x00, 0x7F, 0xF7}, kMidiOther},
      // A system-exclusive message's first byte is a maker's number, never a meta type.
      {{0xF0, 0x51, 0x01, 0xF7}, kMidiOther},
      {{0xF7, 0x2F}, kMidiOther},
      {{0xFF, 0x00, 0, 1}, kMidiSequenceNumber},
      {{0xFF, 0x01}, kMidiText},
      {{0xFF, 0x02}, kMidiCopyright},
      {{0xFF, 0x03, 'a'}, kMidiTrackName},
      {{0xFF, 0x04}, kMidiInstrumentName},
      {{0xFF, 0x05}, kMidiLyric},
      {{0xFF, 0x06}, kMidiMarker},
      {{0xFF, 0x07}, kMidiCuePoint},
      {{0xFF, 0x2F}, kMidiEndOfTrack},
      {{0xFF, 0x51, 7, 0xA1, 0x20}, kMidiTempo},
      {{0xFF, 0x52, 0, 0, 0, 0, 0}, kMidiSmpteOffset},
      {{0xFF, 0x58, 4, 2, 24, 8}, kMidiTimeSignature},
      {{0xFF, 0x59, 0, 0}, kMidiKeySignature},
      {{0xFF, 0x7F, 1}, kMidiOther},
      {{0xFF, 0x20, 0}, kMidiOther},
      {{0xFF}, kMidiOther},
      {{0x40, 0x40}, kMidiOther},
      {{}, kMidiOther},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.data));
    EXPECT_EQ(TMidiV::Classify(c.data), c.kind);
  }

  // Read from a file, the GS reset keeps its eleven bytes and its class.
  TMidiWriter w(0, 96);
  w.Track().SysEx(0, std::span<const uint8_t>(gs).subspan(1)).EndOfTrack();
  const TMidiV song = Load(w.Bytes());
  ASSERT_EQ(song.Events().size(), 2u);
  EXPECT_EQ(DataOf(song, 0), gs);
  EXPECT_EQ(song.Events()[0].Kind, TMidiEventKind::SysEx);
  EXPECT_EQ(song.Events()[0].Class, kMidiGsReset);
}

TEST(MidiFile, TimesFollowTempoChangesAcrossTracks) {
  TMidiWriter w(1, 480);
  // The tempo changes of track 0 time the notes of track 1; before the first, 500000 us.
  w.Track().Tempo(960, 250000).Tempo(480, 1000000).Tempo(0, 0).EndOfTrack(0);
  w.Track().NoteOn(0, 0, 60, 100).NoteOn(480, 0, 62, 100).NoteOn(480, 0, 64, 100).NoteOn(480, 0, 65, 100)
      .NoteOn(240, 0, 67, 100).EndOfTrack(480);
  const TMidiV song = Load(w.Bytes());
  std::vector<std::pair<int32_t, int32_t>> times;  // tick, ms
  for (const TMidiMsgEvent& e : song.Events())
    if (e.Class == kMidiNoteOn || e.Class == kMidiEndOfTrack) times.emplace_back(e.Tick, e.Time);
  // 0..960 at 500 ms a quarter; 960..1440 at 250; from 1440 at 1000 ms a quarter (a tempo of 0 is
  // no tempo and changes nothing).
  const std::vector<std::pair<int32_t, int32_t>> expected = {{0, 0},       {480, 500},   {960, 1000}, {1440, 1250},
                                                             {1440, 1250}, {1680, 1750}, {2160, 2750}};
  EXPECT_EQ(times, expected);
  EXPECT_EQ(song.SongLength(), 2750);
}

// Times are the exact sum over each tempo's stretch, rounded once per event: events one tick apart
// at 0.52 ms a tick advance 0.52 ms each, not a whole rounded millisecond.
TEST(MidiFile, DenseEventsKeepExactTimes) {
  TMidiWriter w(0, 960);
  w.Track().Tempo(0, 500000);
  for (int i = 1; i <= 1000; ++i) w.Control(1, 0, 1, i & 0x7F);
  w.Tempo(0, 300000);
  for (int i = 1; i <= 1000; ++i) w.Control(1, 0, 1, i & 0x7F);
  w.EndOfTrack();
  const TMidiV song = Load(w.Bytes());
  ASSERT_EQ(song.Events().size(), 2003u);
  for (const TMidiMsgEvent& e : song.Events()) {
    // In microseconds times 960: 500000 a tick up to tick 1000, then 300000; rounded half up.
    const int64_t tick = e.Tick;
    const int64_t us960 = tick <= 1000 ? tick * 500000 : 1000 * 500000 + (tick - 1000) * 300000;
    ASSERT_EQ(e.Time, (us960 + 480000) / 960000) << "tick " << e.Tick;
  }
  EXPECT_EQ(song.SongLength(), 833);  // 520.83 + 312.5
}

// SMPTE timing: ms per tick = 1000 / (frames a second x ticks a frame), tempo events aside.
TEST(MidiFile, SmpteDivisionTimesTicksByFrames) {
  struct TCase {
    uint8_t frames;  // minus the frames a second, as the division's high byte holds it
    uint8_t ticks_per_frame;
    int32_t tick;
    int32_t ms;
  };
  const TCase cases[] = {
      {uint8_t(-25), 40, 1000, 1000},   // 1 ms a tick
      {uint8_t(-24), 2, 48, 1000},      // 48 ticks a second
      {uint8_t(-30), 100, 3001, 1000},  // 1000.33 ms
      {uint8_t(-29), 100, 2997, 1000},  // drop-frame: 29.97 frames a second, 999.999 ms
      {uint8_t(-29), 100, 3000, 1001},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.tick);
    TMidiWriter w(0, c.frames << 8 | c.ticks_per_frame);
    w.Track().Tempo(0, 250000).NoteOn(uint32_t(c.tick) / 2, 0, 60, 100).Tempo(0, 2000000);
    w.NoteOn(uint32_t(c.tick) - uint32_t(c.tick) / 2, 0, 62, 100).EndOfTrack();
    const TMidiV song = Load(w.Bytes());
    ASSERT_EQ(song.Events().size(), 5u);
    EXPECT_EQ(song.Events()[3].Tick, c.tick);
    EXPECT_EQ(song.Events()[3].Time, c.ms);
    EXPECT_EQ(song.SongLength(), c.ms);
  }
  // No ticks a frame: like a division of 0, no events.
  TMidiWriter none(0, 0xE700);
  none.Track().NoteOn(0, 0, 60, 100).EndOfTrack();
  EXPECT_TRUE(Load(none.Bytes()).Events().empty());
}

TEST(MidiFile, TimeSignaturesAreKeptByTick) {
  TMidiWriter w(1, 480);
  const uint8_t three_eight[] = {3, 3, 24, 8}, six_four[] = {6, 2, 24, 8}, bad[] = {5, 31, 24, 8};
  w.Track().Meta(1920, 0x58, three_eight).Meta(0, 0x58, bad).EndOfTrack();
  w.Track().Meta(0, 0x58, six_four).EndOfTrack();
  const TMidiV song = Load(w.Bytes());
  ASSERT_EQ(song.Rhythms().size(), 3u);
  const TRhythm& first = song.Rhythms()[0];
  EXPECT_EQ((std::vector<int32_t>{first.Tick, first.TicksPerBeat, first.Numerator, first.Denominator}),
            (std::vector<int32_t>{0, 48, 4, 4}));
  const TRhythm& second = song.Rhythms()[1];
  EXPECT_EQ((std::vector<int32_t>{second.Tick, second.TicksPerBeat, second.Numerator, second.Denominator}),
            (std::vector<int32_t>{0, 480, 6, 4}));
  const TRhythm& third = song.Rhythms()[2];
  EXPECT_EQ((std::vector<int32_t>{third.Tick, third.TicksPerBeat, third.Numerator, third.Denominator}),
            (std::vector<int32_t>{1920, 240, 3, 8}));
}

// Damaged and unusual files load without harm, with what their bytes honestly hold.
TEST(MidiFile, MalformedFilesLoadSafely) {
  const auto good = [] {
    TMidiWriter w(1, 96);
    w.Track().NoteOn(0, 0, 60, 100).NoteOff(96, 0, 60).EndOfTrack();
    return w;
  };
  struct TCase {
    const char* name;
    Bytes file;
    std::vector<int32_t> ticks;  // every event's tick
  };
  std::vector<TCase> cases;
  cases.push_back({"no MThd", {'R', 'I', 'F', 'F', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96}, {}});
  cases.push_back({"empty", {}, {}});
  cases.push_back({"header cut short", {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0}, {}});
  {
    Bytes file = good().Bytes();
    file.resize(file.size() - 6);  // the note off's data and the end of the track
    cases.push_back({"track cut short", file, {0}});
  }
  {
    TMidiWriter w = good();
    w.TrackLengthOverride(0x7FFFFFF0);
    cases.push_back({"track length beyond the data", w.Bytes(), {0, 96, 96}});
  }
  {
    TMidiWriter w(1, 96);
    w.Track().NoteOn(0, 0, 60, 100).NoteOff(96, 0, 60);  // no end of track: the chunk ends it
    w.Track().NoteOn(10, 1, 60, 100).EndOfTrack();
    const TMidiV song = Load(w.Bytes());
    EXPECT_EQ(song.Tracks().size(), 2u);
    cases.push_back({"missing end of track", w.Bytes(), {0, 10, 10, 96}});
  }
  {
    TMidiWriter w(0, 96);
    w.Track().Raw({0, 0x90, 60, 100, 0x81, 0x80, 0x80, 0x80, 0x00, 0x80, 60, 0, 0, 0xFF, 0x2F, 0});
    const Bytes file = w.Bytes();
    cases.push_back({"five-byte delta", file, {0}});
  }
  {
    TMidiWriter w(1, 96);
    const uint8_t body[] = {0x7E, 0x7F, 0xF7};
    w.Track().NoteOn(0, 0, 60, 100).Event(0, {0xF0, 0x64}).Raw(body);  // 100 bytes said, 3 there
    w.Track().NoteOn(5, 0, 64, 100).EndOfTrack();  // not swallowed by the message before
    cases.push_back({"sysex length past the chunk", w.Bytes(), {0, 5, 5}});
  }
  {
    TMidiWriter w(1, 96);
    w.Track().Event(0, {0xF0, 0xFF, 0xFF, 0xFF, 0x7F, 1, 2, 3});  // a quarter of a gigabyte said
    cases.push_back({"huge sysex length", w.Bytes(), {}});
  }
  {
    TMidiWriter w(1, 0);
    w.Track().NoteOn(0, 0, 60, 100).EndOfTrack();
    cases.push_back({"division 0", w.Bytes(), {}});
  }
  cases.push_back({"huge track count, one track", good().Bytes(65535), {0, 96, 96}});
  {
    Bytes file = good().Bytes();
    const Bytes alien = {'X', 'F', 'I', 'H', 0, 0, 0, 2, 0xFF, 0xFF};
    file.insert(file.begin() + 14, alien.begin(), alien.end());
    cases.push_back({"another chunk before the track", file, {0, 96, 96}});
  }
  {
    Bytes file = good().Bytes();
    file[7] = 8;  // a longer header: its two extra bytes are passed over
    file.insert(file.begin() + 14, {0xAA, 0xBB});
    cases.push_back({"longer header", file, {0, 96, 96}});
  }
  {
    TMidiWriter w(0, 96);
    w.Track();
    for (int i = 0; i < 9; ++i) w.NoteOn(0x0FFFFFFF, 0, 60, 100);  // the ninth passes int32
    std::vector<int32_t> ticks;
    for (int i = 1; i <= 8; ++i) ticks.push_back(i * 0x0FFFFFFF);
    cases.push_back({"ticks past int32", w.EndOfTrack().Bytes(), ticks});
  }
  {
    TMidiWriter w(0, 96);
    w.Track().Event(0, {0xFF, 0x51, 0x03, 0x07}).TrackLengthOverride(4);  // the tempo cut off
    cases.push_back({"meta cut off", w.Bytes(), {}});
  }
  {
    TMidiWriter w(0, 96);
    w.Track().NoteOn(0, 0, 60, 100).EndOfTrack().NoteOn(0, 0, 61, 100);  // after the end: unread
    cases.push_back({"events after the end", w.Bytes(), {0, 0}});
  }
  {
    TMidiWriter w(0, 96);
    w.Track();  // a zero length ends the track at once
    w.Track().NoteOn(3, 0, 60, 100);
    cases.push_back({"zero-length track", w.Bytes(), {3}});
  }
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    const auto start = std::chrono::steady_clock::now();
    const TMidiV song = Load(c.file);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_EQ(TicksOf(song), c.ticks);
    size_t pool = 0;
    for (const TMidiMsgEvent& e : song.Events()) pool += e.DataLength;
    EXPECT_LE(pool, c.file.size() + song.Events().size());  // at most a running status byte more
    EXPECT_EQ(song.SongLength(), song.Events().empty() ? 0 : song.Events().back().Time);
  }
}

// A file cut short anywhere loads the events wholly within its bytes, as the whole file has them.
TEST(MidiFile, EveryPrefixLoadsTheEventsItHolds) {
  TMidiWriter w(0, 120);
  const uint8_t text[] = {'h', 'i'};
  w.Track().Meta(0, 0x03, text).Tempo(0, 400000).SysEx(0, std::span<const uint8_t>(GsResetBytes()).subspan(1));
  w.NoteOn(10, 0, 60, 100).Event(5, {62, 100}).Event(0x4000, {0xE0, 0, 64}).Tempo(7, 600000);
  w.Event(200, {0xC1, 9}).Event(1, {10}).NoteOff(3, 0, 60).EndOfTrack(1);
  const Bytes file = w.Bytes();
  const TMidiV whole = Load(file);
  ASSERT_EQ(whole.Events().size(), 11u);
  size_t last_count = 0;
  for (size_t n = 0; n <= file.size(); ++n) {
    SCOPED_TRACE(n);
    const TMidiV part = Load(Bytes(file.begin(), file.begin() + std::ptrdiff_t(n)));
    const size_t count = part.Events().size();
    ASSERT_LE(count, whole.Events().size());
    ASSERT_GE(count, last_count);
    last_count = count;
    for (size_t i = 0; i < count; ++i) {
      ASSERT_EQ(DataOf(part, i), DataOf(whole, i));
      ASSERT_EQ(part.Events()[i].Tick, whole.Events()[i].Tick);
      ASSERT_EQ(part.Events()[i].Time, whole.Events()[i].Time);
    }
  }
  EXPECT_EQ(last_count, whole.Events().size());
}

TEST(MidiFile, ReloadingClearsTheSongBefore) {
  TMidiWriter w(1, 96);
  w.Track().Meta(0, 0x03, kName).NoteOn(96, 0, 60, 100).EndOfTrack();
  TMidiV song;
  song.LoadFromStream(w.Bytes());
  ASSERT_EQ(song.Events().size(), 3u);
  const Bytes riff = {'R', 'I', 'F', 'F'};
  song.LoadFromStream(riff);
  EXPECT_TRUE(song.Events().empty());
  EXPECT_TRUE(song.Tracks().empty());
  EXPECT_EQ(song.Rhythms().size(), 1u);
  EXPECT_EQ(song.SongLength(), 0);
  EXPECT_EQ(song.TrackCount(), 0);
}

}  // namespace
}  // namespace kova::test
