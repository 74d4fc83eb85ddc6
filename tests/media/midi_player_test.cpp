// The sequencer over a recording MIDI output on a fake clock, ticked by hand: when events go out,
// seeking, the pause after a GS reset, the end and repeat, the controller scales; and once over
// its own timer thread.
#include "media/midi_player.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "media/recording_midi_out.h"
#include "support/midi_writer.h"

namespace kova::test {
namespace {

using Bytes = std::vector<uint8_t>;
using Events = std::vector<TMidiPlayV::TEvent>;

class MidiPlayerTest : public ::testing::Test {
 protected:
  MidiPlayerTest() {
    log.clock = [this] { return now; };
    EXPECT_TRUE(player.OpenDevice(-1));
  }
  // Ticks every 10 ms until `until`.
  void RunTo(uint32_t until) {
    while (now + 10 <= until) {
      now += 10;
      player.Tick();
    }
  }
  // What was sent since the last call, without the times.
  std::vector<Bytes> Sent() {
    std::vector<Bytes> out;
    for (TSentMsg& m : log.Take()) out.push_back(std::move(m.bytes));
    return out;
  }
  static std::vector<Bytes> Join(std::vector<Bytes> a, const std::vector<Bytes>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  }

  uint32_t now = 1000;
  std::vector<uint32_t> sleeps;
  TMidiLog log;
  TRecordingMidiDevices devices{log, {"synth"}};
  TMidiPlayV player{&devices, [this] { return now; }, /*own_thread=*/false, [this](uint32_t ms) {
                      sleeps.push_back(ms);
                      log.Add(-2, {});  // the pause's place among the messages
                      now += ms;
                    }};
};

TEST_F(MidiPlayerTest, EachEventGoesOutAtTheFirstTickPastItsTimeAndTheLastNever) {
  player.LoadEvents({Ev(0, {0xC0, 5}), Ev(5, {0x90, 60, 100}), Ev(30, {0x80, 60, 0}), Ev(31, {0xE1, 0, 64}),
                     Ev(95, {0xF0, 0x7E, 0xF7}), Ev(95, {0xFF, 0x51, 0x03, 0xD0, 0x90}), End(120)});
  player.PlayFrom(0);
  EXPECT_EQ(Sent(), NotesOff());
  RunTo(1200);
  std::vector<std::pair<uint32_t, Bytes>> sent;
  for (TSentMsg& m : log.Take()) sent.emplace_back(m.time - 1000, m.bytes);
  // The tempo event goes nowhere but into the tempo; the end of track is never sent.
  const std::vector<std::pair<uint32_t, Bytes>> expected{
      {10, {0xC0, 5}}, {10, {0x90, 60, 100}}, {40, {0x80, 60, 0}}, {40, {0xE1, 0, 64}}, {100, {0xF0, 0x7E, 0xF7}}};
  EXPECT_EQ(sent, expected);
  EXPECT_EQ(player.BeatsPerMinute(), 240);  // 250000 us a quarter
  EXPECT_TRUE(player.IsEnd());
  EXPECT_TRUE(player.IsPlaying());  // ended, but playing until stopped
  EXPECT_EQ(player.Position(), 100);  // the song ended when the last event was next: time stands
  player.Stop();
  EXPECT_FALSE(player.IsPlaying());
  EXPECT_EQ(Sent(), NotesOff());
}

TEST_F(MidiPlayerTest, ASongFileGoesOutAtItsTimesAcrossTempoChanges) {
  // 480 ticks a quarter: 500 ms a quarter, from tick 960 (1000 ms) on 250 ms.
  const Bytes gs = GsResetBytes();
  TMidiWriter w(1, 480);
  w.Track().Tempo(0, 500000).Tempo(960, 250000).EndOfTrack(960);
  w.Track().NoteOn(480, 2, 60, 100).SysEx(0, std::span(gs).subspan(1));
  w.NoteOn(480, 2, 64, 100).NoteOff(480, 2, 60).Control(240, 2, 10, 20).EndOfTrack(0);
  player.LoadFromStream(w.Bytes());
  EXPECT_EQ(player.SongLength(), 1500);
  player.PlayFrom(0);
  Sent();
  RunTo(2700);
  std::vector<std::pair<uint32_t, Bytes>> sent;
  for (TSentMsg& m : log.Take()) sent.emplace_back(m.time - 1000, m.bytes);
  const std::vector<std::pair<uint32_t, Bytes>> expected{
      {510, {0x92, 60, 100}}, {510, gs}, {1010, {0x92, 64, 100}}, {1260, {0x82, 60, 64}},
      {1380, {0xB2, 10, 20}}};
  EXPECT_EQ(sent, expected);
  EXPECT_EQ(player.BeatsPerMinute(), 240);
}

TEST_F(MidiPlayerTest, AfterALongGapThePositionMovesOnBySecondAtMost) {
  player.LoadEvents({Ev(0, {0xC0, 1}), Ev(1500, {0xC0, 2}), End(9000)});
  player.PlayFrom(0);
  now += 10;
  player.Tick();
  now += 4000;
  player.Tick();
  EXPECT_EQ(player.Position(), 1010);
  EXPECT_EQ(Sent(), Join(NotesOff(), {{0xC0, 1}}));
  now += 500;
  player.Tick();
  EXPECT_EQ(player.Position(), 1510);
  EXPECT_EQ(Sent(), (std::vector<Bytes>{{0xC0, 2}}));
}

TEST_F(MidiPlayerTest, SeekingBackReplaysFromTheStartWithoutNotes) {
  player.LoadEvents({Ev(0, {0xC0, 7}), Ev(0, {0xB0, 7, 100}), Ev(10, {0x90, 60, 90}), Ev(20, {0xB0, 10, 30}),
                     Ev(30, {0x90, 62, 0}), Ev(40, {0x80, 60, 0}), Ev(50, {0xC0, 9}), Ev(60, {0x90, 64, 90}),
                     End(500)});
  player.PlayFrom(0);
  RunTo(1300);
  Sent();
  // 45 lies between 40 and 50: the target is the event at 40, everything before it is sent again
  // but the three notes (a velocity 0 note on among them).
  player.PlayFrom(45);
  EXPECT_EQ(Sent(), Join(NotesOff(), {{0xC0, 7}, {0xB0, 7, 100}, {0xB0, 10, 30}}));
  EXPECT_EQ(player.Position(), 30);
  now += 20;
  player.Tick();
  EXPECT_EQ(Sent(), (std::vector<Bytes>{{0x80, 60, 0}}));
  // A seek forward sends only what lies between; one exactly on an event's time stops before it.
  player.PlayFrom(60);
  EXPECT_EQ(Sent(), Join(NotesOff(), {{0xC0, 9}}));
  EXPECT_EQ(player.Position(), 50);
}

TEST_F(MidiPlayerTest, ASeekWaitsTenMillisecondsAfterAGsReset) {
  const TMidiPlayV::TEvent gs = Ev(0, {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7});
  player.LoadEvents({gs, Ev(0, {0xC3, 4}), Ev(200, {0xC3, 5}), Ev(300, {0xC3, 6}), End(400)});
  player.PlayFrom(250);  // the target is the event at 200
  EXPECT_EQ(Sent(), Join(NotesOff(), {gs.Bytes, {}, {0xC3, 4}}));
  EXPECT_EQ(sleeps, std::vector<uint32_t>{10});
  // The ticks count from the end of the seek, the pause not included.
  now += 10;
  player.Tick();
  EXPECT_EQ(player.Position(), 10);

  // Of many resets on the way only the last is waited for: a song of resets never stalls a seek.
  Events resets(5000, gs);
  resets.push_back(Ev(0, {0xC3, 7}));
  resets.push_back(End(10));
  player.LoadEvents(resets);
  sleeps.clear();
  player.PlayFrom(10);
  EXPECT_EQ(sleeps, std::vector<uint32_t>{10});
  const std::vector<Bytes> sent = Sent();
  ASSERT_GE(sent.size(), 2u);
  EXPECT_EQ(sent[sent.size() - 2], Bytes{});  // the pause, just before the program change
  EXPECT_EQ(sent.back(), (Bytes{0xC3, 7}));
}

TEST_F(MidiPlayerTest, ASeekPastTheEndStartsTheSongAgain) {
  player.LoadEvents({Ev(0, {0xC0, 1}), Ev(100, {0xC0, 2}), End(200)});
  player.PlayFrom(0);
  RunTo(1300);
  ASSERT_TRUE(player.IsEnd());
  Sent();
  player.PlayFrom(5000);
  EXPECT_EQ(Sent(), NotesOff());
  EXPECT_EQ(player.Position(), 0);
  EXPECT_FALSE(player.IsEnd());
  RunTo(1410);
  EXPECT_EQ(Sent(), (std::vector<Bytes>{{0xC0, 1}, {0xC0, 2}}));
}

TEST_F(MidiPlayerTest, WithRepeatTheSongStartsAgainAtItsLastEvent) {
  player.LoadEvents({Ev(5, {0xC0, 1}), Ev(20, {0xC0, 2}), End(40)});
  player.SetRepeat(true);
  player.PlayFrom(0);
  Sent();
  RunTo(1030);
  // At 30 the event at 20 goes and the last is next: notes off, and back to the first event's
  // time, 5.
  EXPECT_EQ(Sent(), Join({{0xC0, 1}, {0xC0, 2}}, NotesOff()));
  EXPECT_EQ(player.Position(), 5);
  EXPECT_FALSE(player.IsEnd());
  RunTo(1040);
  EXPECT_EQ(Sent(), (std::vector<Bytes>{{0xC0, 1}}));
  player.SetRepeat(false);
  RunTo(1060);
  EXPECT_EQ(Sent(), (std::vector<Bytes>{{0xC0, 2}}));
  EXPECT_TRUE(player.IsEnd());
}

TEST_F(MidiPlayerTest, SongsWithoutEventsEndAtOnce) {
  for (const Events& song : {Events{}, Events{End(0)}}) {
    player.LoadEvents(song);
    Sent();
    player.PlayFrom(0);
    RunTo(now + 50);
    EXPECT_TRUE(player.IsEnd());
    EXPECT_EQ(player.Position(), 0);
    EXPECT_EQ(Sent(), NotesOff());
  }
}

TEST_F(MidiPlayerTest, ControlChangesGoOutScaledAndHeldToTheirRange) {
  // Controller 7 starts at 127 on every channel when a song loads.
  player.LoadEvents({Ev(0, {0xB2, 7, 100}), Ev(0, {0xB2, 11, 80}), End(1000)});
  player.SetScaleAll(7, 50);  // not playing: stored, nothing sent
  EXPECT_TRUE(Sent().empty());
  player.PlayFrom(0);
  Sent();
  now += 10;
  player.Tick();
  EXPECT_EQ(Sent(), (std::vector<Bytes>{{0xB2, 7, 50}, {0xB2, 11, 80}}));
  struct Case {
    int32_t percent;
    uint8_t sent;
  };
  for (const Case c : {Case{100, 100}, Case{150, 127}, Case{-20, 0}, Case{0, 0}, Case{33, 33}}) {
    player.SetScale(2, 7, c.percent);
    EXPECT_EQ(Sent(), (std::vector<Bytes>{{0xB2, 7, c.sent}})) << c.percent;
  }
  // Another channel keeps the load's 127 at its own scale.
  player.SetScale(5, 7, 50);
  EXPECT_EQ(Sent(), (std::vector<Bytes>{{0xB5, 7, 63}}));
  player.SetScale(16, 7, 50);  // no such channel
  player.SetScale(0, 128, 50);  // no such controller
  EXPECT_TRUE(Sent().empty());
}

TEST_F(MidiPlayerTest, TheDeviceOpensCloseAndTheFixedMessages) {
  player.MasterVolumeFull();
  player.AllNotesOff();
  EXPECT_EQ(Sent(), Join({{0xF0, 0x7F, 0x7F, 0x04, 0x01, 0x00, 0x7F, 0xF7}}, NotesOff()));
  player.LoadEvents({Ev(0, {0xC0, 1}), End(100)});
  player.PlayFrom(0);
  Sent();
  player.CloseDevice();
  EXPECT_FALSE(player.IsOpen());
  EXPECT_FALSE(player.IsPlaying());  // closing stops the timer
  EXPECT_EQ(Sent(), std::vector<Bytes>{Bytes{}});  // one reset
  player.PlayFrom(0);
  RunTo(now + 50);  // no output: nothing to send to
  EXPECT_TRUE(Sent().empty());
  EXPECT_FALSE(player.OpenDevice(3));
  EXPECT_TRUE(player.OpenDevice(0));
  EXPECT_EQ(devices.opened, (std::vector<int32_t>{-1, 3, 0}));
}

TEST(MidiPlayerThreadTest, ItsOwnThreadPlaysAShortSongAndStopsCleanly) {
  TMidiLog log;
  TRecordingMidiDevices devices{log, {}};
  Events song;
  for (int32_t i = 0; i < 10; ++i) song.push_back(Ev(i * 5, {0xC0, uint8_t(i)}));
  song.push_back(End(60));
  {
    TMidiPlayV player{&devices, {}, /*own_thread=*/true};
    ASSERT_TRUE(player.OpenDevice(-1));
    player.LoadEvents(song);
    player.PlayFrom(0);
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!player.IsEnd() && std::chrono::steady_clock::now() < give_up) {
      player.SetScaleAll(7, 90);  // the main thread's changes meet the ticks
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_TRUE(player.IsEnd());
    EXPECT_TRUE(player.IsPlaying());
    // Freed while playing: the thread stops first.
  }
  std::vector<uint8_t> programs;
  for (const TSentMsg& m : log.Take()) {
    if (!m.bytes.empty() && m.bytes[0] == 0xC0) programs.push_back(m.bytes[1]);
  }
  EXPECT_EQ(programs, (std::vector<uint8_t>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
}

}  // namespace
}  // namespace kova::test
