// The media managers' pause, resume and enable rules and the media layer's sequences over them,
// with items made up by the test.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "media/media_layer.h"
#include "media/media_manager.h"

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

}  // namespace
}  // namespace kova::test
