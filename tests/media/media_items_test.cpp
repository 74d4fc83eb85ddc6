// The media managers' pause, resume and enable rules and the media layer's sequences over them,
// with items made up by the test; then the sound items over a game folder the test writes, with
// decoders made up by the test, on a bus pulled on the caller's clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/errors.h"
#include "core/file_manager.h"
#include "core/messages.h"
#include "core/stream.h"
#include "media/audio_bus.h"
#include "media/fake_decoders.h"
#include "media/media_backend.h"
#include "media/media_items.h"
#include "media/media_layer.h"
#include "media/media_manager.h"
#include "media/wave_out.h"
#include "platform/audio_device.h"
#include "platform/sound_codecs.h"
#include "support/game_tree.h"

namespace kova::test {
namespace {

// An item whose state the test sets; it logs what it is asked to do.
class TFakeItem : public TDMediaItem {
 public:
  TFakeItem(TMediaManager& owner, std::string name, std::vector<std::string>& log)
      : TDMediaItem(owner), name_(std::move(name)), log_(log) {}
  ~TFakeItem() override { log_.push_back("free " + name_); }

  bool IsPlaying() override { return playing; }
  bool IsPaused() override { return paused; }
  bool IsEnd() override { return ended; }
  void Play() override {
    playing = true;
    paused = false;
    log_.push_back("play " + name_);
  }
  void Pause() override {
    paused = true;
    log_.push_back("pause " + name_);
  }

  bool playing = false;
  bool paused = false;
  bool ended = false;

 private:
  std::string name_;
  std::vector<std::string>& log_;
};

class TFakeManager : public TMediaManager {
 public:
  TFakeManager(std::string name, std::vector<std::string>& log, bool has_enabled = true)
      : TMediaManager(has_enabled), name_(std::move(name)), log_(log) {}
  ~TFakeManager() override {
    Clear();
    log_.push_back("free " + name_);
  }
  void Restore() override { log_.push_back("restore " + name_); }

  TFakeItem& Item(const std::string& name, bool playing, bool paused = false, bool ended = false) {
    auto* item = static_cast<TFakeItem*>(Add(name));
    item->playing = playing;
    item->paused = paused;
    item->ended = ended;
    return *item;
  }

 protected:
  std::unique_ptr<TDMediaItem> CreateItem(const std::string& name) override {
    return std::make_unique<TFakeItem>(*this, name, log_);
  }

 private:
  std::string name_;
  std::vector<std::string>& log_;
};

using Log = std::vector<std::string>;

class MediaManagerTest : public ::testing::Test {
 protected:
  TFakeManager& Install(TMediaKind kind, const std::string& name) {
    auto m = std::make_unique<TFakeManager>(name, log_, kind != TMediaKind::Video);
    TFakeManager& ref = *m;
    layer_.Install(kind, std::move(m));
    return ref;
  }
  Log Take() { return std::exchange(log_, {}); }

  Log log_;
  TMediaLayer layer_;
};

TEST_F(MediaManagerTest, DeactivatingTwicePausesOnceAndOneActivationResumesWhatPlayed) {
  TFakeManager& wmp = Install(TMediaKind::Wmp, "wmp");
  TFakeManager& video = Install(TMediaKind::Video, "video");
  TFakeItem& a = wmp.Item("a", true);
  wmp.Item("b", true, /*paused=*/true);
  wmp.Item("c", false);
  TFakeItem& d = wmp.Item("d", true, false, /*ended=*/true);
  video.Item("v", true);

  layer_.Deactivate();
  EXPECT_EQ(Take(), (Log{"pause v", "pause a"}));
  EXPECT_TRUE(a.Mark);
  EXPECT_FALSE(d.Mark) << "an ended item is neither paused nor marked";
  layer_.Deactivate();
  EXPECT_EQ(Take(), Log{});
  EXPECT_TRUE(a.Mark) << "the second deactivation keeps the marks of the first";

  layer_.Activate();
  EXPECT_EQ(Take(), (Log{"play v", "play a"}));
  EXPECT_FALSE(a.Mark);
  layer_.Activate();
  EXPECT_EQ(Take(), Log{}) << "a resume without a pause does nothing";
}

TEST_F(MediaManagerTest, DisablingPausesAndMarksAndEnablingPlaysOnce) {
  TFakeManager& ogg = Install(TMediaKind::Ogg, "ogg");
  TFakeItem& a = ogg.Item("a", true);
  ogg.Item("b", false);

  layer_.SetEnabled(false);
  EXPECT_EQ(Take(), Log{"pause a"});
  EXPECT_FALSE(ogg.Enabled());
  layer_.Deactivate();  // a disabled kind is left alone
  layer_.Activate();
  EXPECT_EQ(Take(), Log{});
  EXPECT_TRUE(a.Mark);

  layer_.SetEnabled(true);
  EXPECT_EQ(Take(), Log{"play a"});
  layer_.SetEnabled(true);
  EXPECT_EQ(Take(), Log{}) << "enabling an enabled manager does nothing";
}

TEST_F(MediaManagerTest, TheModalLoopPausesEveryKindInItsOrder) {
  Install(TMediaKind::Midi, "midi").Item("m", true);
  Install(TMediaKind::Ogg, "ogg").Item("o", true);
  Install(TMediaKind::Video, "video").Item("v", true);
  Install(TMediaKind::Wmp, "wmp").Item("w", true);
  layer_.EnterModalLoop();
  EXPECT_EQ(Take(), (Log{"pause w", "pause v", "pause o", "pause m"}));
  layer_.LeaveModalLoop();
  EXPECT_EQ(Take(), (Log{"play w", "play v", "play o", "play m"}));
}

TEST_F(MediaManagerTest, AbsentManagersAreSkippedAndStopFreesInItsOrder) {
  layer_.Deactivate();
  layer_.Activate();
  layer_.SetEnabled(false);
  layer_.EnterModalLoop();
  layer_.LeaveModalLoop();
  layer_.Restore();
  layer_.Stop();

  Install(TMediaKind::Midi, "midi").Item("m", false);
  Install(TMediaKind::Ogg, "ogg").Item("o", false);
  Install(TMediaKind::Video, "video");
  Install(TMediaKind::Wmp, "wmp");
  layer_.Restore();
  EXPECT_EQ(Take(), (Log{"restore wmp", "restore ogg"}));
  layer_.Stop();
  EXPECT_EQ(Take(), (Log{"free video", "free wmp", "free o", "free ogg", "free m", "free midi"}));
  EXPECT_EQ(layer_.Manager(TMediaKind::Ogg), nullptr);
}

TEST_F(MediaManagerTest, RemoveFreesOnlyItemsOfItsList) {
  TFakeManager& wmp = Install(TMediaKind::Wmp, "wmp");
  TFakeManager& ogg = Install(TMediaKind::Ogg, "ogg");
  TFakeItem& a = wmp.Item("a", false);
  ogg.Remove(&a);
  EXPECT_EQ(Take(), Log{});
  EXPECT_TRUE(wmp.Contains(&a));
  wmp.Remove(&a);
  EXPECT_EQ(Take(), Log{"free a"});
  EXPECT_TRUE(wmp.Items().empty());
}

// ---- The sound items ----

// A sound file of the test holds the number of frames its made-up decoder plays, or "bad".
std::string ReadAll(TStream& s) {
  std::string text(size_t(std::max<int64_t>(s.GetSize(), 0)), '\0');
  s.SetPosition(0);
  s.Read(text.data(), int64_t(text.size()));
  return text;
}

std::unique_ptr<plat::IPcmDecoder> DecoderFor(const std::string& text, plat::TPcmFormat format, bool ramp) {
  if (text == "bad" || text.empty()) return nullptr;
  auto d = std::make_unique<TFakeDecoder>(std::stoll(text), ramp);
  d->WithFormat(format);
  return d;
}

// The mixer's decoders: Ogg in 22050 Hz stereo, which the mixer widens as it is.
class TFakeCodecs : public plat::ISoundCodecs {
 public:
  std::unique_ptr<plat::IPcmDecoder> OpenOgg(std::unique_ptr<plat::IByteSource> source) override {
    std::string text(size_t(source->Size()), '\0');
    source->Read(text.data(), int64_t(text.size()));
    return DecoderFor(text, {2, 22050, 16}, ramp);
  }
  std::unique_ptr<plat::IPcmDecoder> OpenWma(std::vector<uint8_t>) override { return nullptr; }
  std::unique_ptr<plat::IPcmDecoder> Convert(std::unique_ptr<plat::IPcmDecoder>, plat::TPcmFormat) override {
    return nullptr;
  }
  bool ramp = true;
};

class SoundItemsTest : public ::testing::Test {
 protected:
  SoundItemsTest() {
    tree_.WriteFile("game/music.ogg", "4410");
    tree_.WriteFile("game/Click.WAV", "2205");
    tree_.WriteFile("game/noext", "441");
    tree_.WriteFile("game/short.ogg", "441");
    tree_.WriteFile("game/bad.ogg", "bad");
    tree_.WriteFile("game/voice.wma", "4410");
    tree_.WriteFile("disk/Loud.ogg", "882");
    files_.SetFolder(tree_.Path("game"));
    std::string error;
    EXPECT_TRUE(bus_.Open(error)) << error;
    parts_.files = &files_;
    parts_.backend = &backend_;
    parts_.codecs = &codecs_;
    parts_.wave_out = &wave_out_;
    parts_.clock_ms = [this] { return now_; };
    parts_.delay_time = 100;
    parts_.mixer_thread = false;
  }

  TVoiceDecoders Decoders() {
    TVoiceDecoders d;
    d.stream = [this](std::unique_ptr<TStream> source, bool is_ogg) {
      opened_ = ReadAll(*source);
      opened_ogg_ = is_ogg;
      return DecoderFor(opened_, {2, 44100, 16}, true);
    };
    d.wma = [this](std::vector<uint8_t> bytes) {
      opened_.assign(bytes.begin(), bytes.end());
      return DecoderFor(opened_, {2, 44100, 16}, true);
    };
    return d;
  }

  std::vector<int16_t> Pull(size_t frames) {
    std::vector<int16_t> samples(frames * 2);
    bus_.Mix(samples, true);
    return samples;
  }

  GameTree tree_;
  TVrFileManager files_;
  plat::TNullAudioDevice device_;
  TAudioBus bus_{device_};
  TMediaBackend backend_{bus_, Decoders()};
  TFakeCodecs codecs_;
  TBusWaveOut wave_out_{bus_};
  uint32_t now_ = 1000;
  TSoundManagerParts parts_;
  std::string opened_;
  bool opened_ogg_ = false;
};

TEST_F(SoundItemsTest, ANameIsReadFromTheGameOrTheDiskAndOggGoesByItsExtension) {
  TOggManager ogg(parts_);
  struct Case {
    std::string name;
    std::string contents;
    bool is_ogg;
  };
  std::string absolute = tree_.Path("disk/LOUD.ogg");
  std::string backslashed = absolute;
  std::replace(backslashed.begin(), backslashed.end(), '/', '\\');
  const Case cases[] = {
      {"music.ogg", "4410", true}, {"MUSIC.OGG", "4410", true}, {"click.wav", "2205", false},
      {"noext", "441", false},     {absolute, "882", true},     {backslashed, "882", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    opened_.clear();
    TDMediaItem* item = ogg.Add(c.name);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(opened_, c.contents);
    EXPECT_EQ(opened_ogg_, c.is_ogg);
    ogg.Remove(item);
  }
  TWmpManager wmp(parts_);
  ASSERT_NE(wmp.Add("voice.wma"), nullptr);
  EXPECT_EQ(opened_, "4410");
  EXPECT_EQ(wmp.Items().front()->GetLen(), 100);
}

TEST_F(SoundItemsTest, NamesNoFileHasAndDataThatIsNoSoundRaise) {
  TOggManager ogg(parts_);
  TWmpManager wmp(parts_);
  const std::string not_found = MsgText(TMsg::FileNotFound);
  struct Case {
    TMediaManager* manager;
    std::string name;
    std::string message;
  };
  const std::string drive = "C:\\music.ogg";
  const std::string nowhere = tree_.Path("disk/none.ogg");
  const Case cases[] = {
      {&ogg, "missing.ogg", "missing.ogg:"},
      {&ogg, drive, drive + ":"},
      {&ogg, nowhere, nowhere + ":"},
      {&wmp, "missing.wma", "missing.wma:"},
      {&ogg, "bad.ogg", MsgText(TMsg::SoundDataInvalid)},
      {&wmp, "bad.ogg", MsgText(TMsg::SoundDataInvalid)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    try {
      c.manager->Add(c.name);
      ADD_FAILURE() << "no error";
    } catch (const EKovaError& e) {
      EXPECT_EQ(std::string(e.what()).substr(0, c.message.size()), c.message);
    }
    EXPECT_TRUE(c.manager->Items().empty());
  }
}

TEST_F(SoundItemsTest, AnEndIsReportedOnceAndSetPositionArmsItAgain) {
  TWmpManager wmp(parts_);
  TOggManager ogg(parts_);
  for (TDMediaItem* item : {wmp.Add("voice.wma"), ogg.Add("music.ogg")}) {
    item->Play();
    Pull(4000);
    EXPECT_FALSE(item->IsEnd());
    Pull(500);
    EXPECT_TRUE(item->IsEnd());
    EXPECT_FALSE(item->IsEnd()) << "the same end once";
    EXPECT_FALSE(item->IsPlaying());
    item->SetPosition(-30);  // the start
    EXPECT_EQ(item->GetPosition(), 0);
    EXPECT_EQ(Pull(1)[0], TFakeDecoder::RampAt(0));
    Pull(4410);
    EXPECT_TRUE(item->IsEnd()) << "the next end";
  }
}

TEST_F(SoundItemsTest, PlayWhileDisabledOnlyMarksAndEnablingPlays) {
  TOggManager ogg(parts_);
  TDMediaItem* item = ogg.Add("music.ogg");
  item->SetVol(-2000);
  ogg.SetEnabled(false);
  item->Play();
  EXPECT_TRUE(item->Mark);
  EXPECT_FALSE(item->IsPlaying());
  EXPECT_EQ(Pull(10), std::vector<int16_t>(20, 0));
  ogg.SetEnabled(true);
  EXPECT_TRUE(item->IsPlaying());
  item->Pause();
  EXPECT_TRUE(item->IsPaused());
  EXPECT_FALSE(item->IsPlaying()) << "a paused voice item does not count as playing";
}

// ---- Through the wave-out mixer ----

class MixerItemsTest : public SoundItemsTest {
 protected:
  MixerItemsTest() { parts_.use_direct_sound = false; }

  // One pump of the mixer, then its first block's frames from the bus.
  std::vector<int16_t> PumpAndPull(TOggManager& ogg, size_t frames) {
    ogg.Mixer().Pump();
    return Pull(frames);
  }
};

TEST_F(MixerItemsTest, VolumeMapsOntoTheMixersLevel) {
  codecs_.ramp = false;  // a constant 10000
  struct Case {
    int32_t volume;
    int16_t level;
  };
  for (const Case c : {Case{0, 10000}, Case{-2500, 5000}, Case{-5000, 0}, Case{-6000, 0}}) {
    SCOPED_TRACE(c.volume);
    TOggManager ogg(parts_);
    TDMediaItem* item = ogg.Add("music.ogg");
    item->SetVol(c.volume);
    EXPECT_EQ(item->GetVol(), c.volume);
    item->SetPan(-3000);  // no pan
    EXPECT_EQ(item->GetPan(), 0);
    item->Play();
    const std::vector<int16_t> out = PumpAndPull(ogg, 100);
    EXPECT_EQ(out, std::vector<int16_t>(200, c.level));
  }
}

TEST_F(MixerItemsTest, SetPositionHoldsToAWholeFrame) {
  TOggManager ogg(parts_);
  TDMediaItem* item = ogg.Add("music.ogg");  // 22050 Hz stereo, 88200 bytes a second
  EXPECT_EQ(item->GetLen(), 200);
  item->SetPosition(3);  // 264.6 bytes: frame 66, not the middle of frame 66
  item->Play();
  const std::vector<int16_t> out = PumpAndPull(ogg, 4);
  const int16_t want = TFakeDecoder::RampAt(66);
  EXPECT_EQ(out, (std::vector<int16_t>{want, int16_t(-want), want, int16_t(-want), int16_t(want + 1),
                                       int16_t(-want - 1), int16_t(want + 1), int16_t(-want - 1)}));
}

TEST_F(MixerItemsTest, PlaysWhileDisabledAndALoopingItemThatRanOutStartsAgain) {
  TOggManager ogg(parts_);
  TDMediaItem* item = ogg.Add("short.ogg");  // 441 frames: shorter than one block
  ogg.SetEnabled(false);
  item->Play();
  EXPECT_TRUE(item->IsPlaying());
  EXPECT_FALSE(item->IsPaused());
  ogg.Mixer().Pump();
  now_ += 1000;  // the block has drained
  EXPECT_TRUE(item->IsEnd());
  EXPECT_TRUE(item->IsEnd()) << "no latch";
  item->SetAutoRepeat(true);
  EXPECT_TRUE(item->GetAutoRepeat());
  EXPECT_FALSE(item->IsEnd());
  EXPECT_TRUE(item->IsPlaying());
}

TEST_F(MixerItemsTest, TheManagerFreesItsItemsBeforeItsMixer) {
  auto ogg = std::make_unique<TOggManager>(parts_);
  ogg->Add("music.ogg")->Play();
  ogg->Add("short.ogg")->Play();
  ogg->Mixer().Pump();
  ogg.reset();  // each item leaves the mixer while it is still there
  EXPECT_EQ(Pull(10), std::vector<int16_t>(20, 0));
}

}  // namespace
}  // namespace kova::test
