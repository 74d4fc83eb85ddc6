// The media and motion commands run by the interpreter over the session's own scene: MovieStop's
// stop, fade, wait and hold on a stand-in media component, its state through a save, MediaPlay's
// rewind, PropMotion's fields and its error, and a page that moves a box by a property motion.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "components/scene/kova_base_list.h"
#include "components/widgets/kova_box.h"
#include "components/widgets/kova_prop_motion.h"
#include "core/errors.h"
#include "core/messages.h"
#include "core/stream.h"
#include "core/stream_records.h"
#include "core/vocabulary.h"
#include "script/page.h"
#include "script/subsystem_commands.h"
#include "support/frame_driver.h"

namespace kova {
namespace {

using test::B;
using test::F;
using test::FrameDriver;
using test::I;
using test::NoResult;
using test::PageWriter;
using test::S;
using test::Value;

// A media component as MovieStop sees one: a source, a play state and a delay. Fading out (play
// state 3) it counts its delay down on the frame delta and then reports itself finished.
class StubMedia : public TKovaComponent {
 public:
  using TKovaComponent::TKovaComponent;
  uint8_t GetCompoType() const override { return KT_SOUND; }
  std::string GetSource() const override { return source; }
  void SetSource(const std::string& v) override { source = v; }
  int32_t GetPlayState() const override { return play_state; }
  void SetPlayState(int32_t v) override { play_state = v; }
  int32_t GetDelay() const override { return delay; }
  void SetDelay(int32_t v) override { delay = v; }
  void Rewind() override { ++rewinds; }
  bool Update() override {
    if (play_state != 3) return false;
    const TKovaBaseList* root = Root();
    delay -= root ? root->FrameDelta() : 0;
    return delay <= 0;
  }
  void SaveToStream(TStream& stream) const override {
    TKovaComponent::SaveToStream(stream);
    WriteStreamString(stream, source);
    WriteStreamInteger(stream, play_state);
    WriteStreamInteger(stream, delay);
  }
  void LoadFromStream(TStream& stream, int32_t version) override {
    TKovaComponent::LoadFromStream(stream, version);
    source = ReadStreamString(stream);
    play_state = ReadStreamInteger(stream);
    delay = ReadStreamInteger(stream);
  }
  std::string source;
  int32_t play_state = 0;
  int32_t delay = 0;
  int rewinds = 0;
};

class MediaCommandsTest : public ::testing::Test {
 protected:
  MediaCommandsTest() { Prepare(d); }
  static void Prepare(FrameDriver& driver) {
    driver.session.Scene().Kinds().Register(KT_SOUND, &TComponentFactory::Make<StubMedia>);
    driver.session.Scene().Kinds().Register(KT_BOX, &TComponentFactory::Make<TKovaBox>);
    driver.AddFile("bgm.ogg", {1, 2, 3});
  }
  TKovaBaseList& Root() { return d.session.SceneRoot(); }
  StubMedia* Media(const std::string& name, const std::string& source, int32_t play_state) {
    auto* m = static_cast<StubMedia*>(Root().CreateComponent(KT_SOUND));
    m->SetName(name);
    m->source = source;
    m->play_state = play_state;
    return m;
  }
  void Start(const PageWriter& page) {
    d.AddPage("start.ksb", page);
    d.callman.Start("start.ksb");
  }
  // A page: MovieStop, then "done := 1".
  static PageWriter StopPage(const std::string& name, int32_t fade, bool wait, bool hold = false) {
    PageWriter page;
    page.VarNew("done", 1, Value(I(0)));
    page.MovieStop(Value(S(name)), Value(I(fade)), Value(B(wait)), Value(B(hold)));
    page.VarNew("done", 1, Value(I(1)));
    return page;
  }
  FrameDriver d{true};
};

TEST_F(MediaCommandsTest, MovieStopStopsAtOnceOrFadesWhatPlays) {
  struct Case {
    const char* what;
    std::string source;
    int32_t play_state, delay, fade;
    int32_t state_after, delay_after;
    bool removed;
  };
  const std::vector<Case> cases = {
      {"fade 0 stops and removes", "bgm.ogg", 0, 0, 0, 2, 0, true},
      {"a negative fade is none", "bgm.ogg", 3, 1000, -5, 2, 1000, true},
      {"fade 500 on a stopped sound does nothing", "bgm.ogg", 2, 0, 500, 2, 0, false},
      {"fade 500 on a fading sound does nothing", "bgm.ogg", 3, 1000, 500, 3, 1000, false},
      {"a missing file is not faded", "gone.ogg", 0, 0, 500, 0, 0, false},
      {"a CD track needs no file", "CD_03", 1, 0, 500, 3, 500, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FrameDriver driver(true);
    Prepare(driver);
    auto* m = static_cast<StubMedia*>(driver.session.SceneRoot().CreateComponent(KT_SOUND));
    m->SetName("bgm");
    m->source = c.source;
    m->play_state = c.play_state;
    m->delay = c.delay;
    // Without the wait flag every case goes on at once.
    driver.AddPage("start.ksb", StopPage("bgm", c.fade, false));
    driver.callman.Start("start.ksb");
    const TObjectHandle handle = m->Handle();
    EXPECT_EQ(m->GetPlayState(), c.play_state);
    driver.Frame();
    EXPECT_EQ(driver.Int("done"), 1);
    TKovaObject* left = driver.session.SceneRoot().Resolve(handle);
    EXPECT_EQ(left == nullptr, c.removed);
    if (left) {
      EXPECT_EQ(m->play_state, c.state_after);
      // A fading stand-in has counted one frame of its delay down.
      EXPECT_EQ(m->delay, c.delay_after - (c.state_after == 3 ? 16 : 0));
    }
  }
}

TEST_F(MediaCommandsTest, MovieStopWithoutAFadeOrATargetDoesNotWait) {
  for (const char* name : {"bgm", "nobody", ""}) {
    SCOPED_TRACE(name);
    FrameDriver driver(true);
    Prepare(driver);
    auto* m = static_cast<StubMedia*>(driver.session.SceneRoot().CreateComponent(KT_SOUND));
    m->SetName("bgm");
    m->source = "bgm.ogg";
    driver.AddPage("start.ksb", StopPage(name, 0, true));
    driver.callman.Start("start.ksb");
    driver.Frame();
    EXPECT_EQ(driver.Int("done"), 1);
  }
  // A layer is not a medium: its name neither stops nor removes it.
  FrameDriver layers(true);
  layers.AddPage("start.ksb", StopPage("BASE0", 0, true));
  layers.callman.Start("start.ksb");
  layers.Frame();
  EXPECT_EQ(layers.Int("done"), 1);
  EXPECT_EQ(layers.session.SceneRoot().ActiveBase()->GetName(), kBase0Name);
}

TEST_F(MediaCommandsTest, MovieStopWaitsUntilTheFadedComponentIsFreed) {
  StubMedia* m = Media("bgm", "bgm.ogg", 0);
  const TObjectHandle handle = m->Handle();
  Start(StopPage("bgm", 100, true, true));
  d.Frame();
  auto& stop = static_cast<TComMovieStop&>(*d.callman.Page()->Command(d.callman.PC()));
  EXPECT_TRUE(stop.AllowsEvents());
  EXPECT_TRUE(stop.HoldsEvents());
  int frames = 1;
  while (Root().Resolve(handle)) {
    EXPECT_EQ(d.Int("done"), 0);
    d.Frame();
    ++frames;
  }
  // The fade ran its 100 ms (the update of the entry frame counts too), the component went with
  // the seventh update pass, the next script step goes on.
  EXPECT_EQ(frames, 7);
  d.Frame();
  EXPECT_EQ(d.Int("done"), 1);
}

TEST_F(MediaCommandsTest, AWaitingMovieStopKeepsItsTargetThroughASave) {
  Media("bgm", "bgm.ogg", 0);
  Start(StopPage("bgm", 200, true));
  d.Frames(3);
  auto& stop = static_cast<TComMovieStop&>(*d.callman.Page()->Command(d.callman.PC()));
  TMemoryStream state;
  stop.SaveState(state);
  TMemoryStream expected;
  TCommand::WriteStateTag(expected);
  WriteStreamString(expected, "bgm");
  WriteStreamByte(expected, 1);
  WriteStreamByte(expected, 0);
  auto bytes = [](const TMemoryStream& m) { return std::vector<uint8_t>(m.Bytes().begin(), m.Bytes().end()); };
  EXPECT_EQ(bytes(state), bytes(expected));

  TMemoryStream scene, interpreter;
  d.session.Ports().scene.SaveScene(scene);
  d.callman.SaveToStream(interpreter);

  // A target that has gone is saved as none; a state without its tag (an unknown form) gives the
  // name and the wait flag and leaves the hold flag.
  Root().DeleteComponent(Root().FindComponent("bgm"));
  TMemoryStream after;
  stop.SaveState(after);
  after.SetPosition(7);
  EXPECT_EQ(ReadStreamString(after), "");
  TMemoryStream untagged;
  WriteStreamString(untagged, "x");
  WriteStreamByte(untagged, 1);
  untagged.SetPosition(0);
  stop.Hold = 1;
  stop.LoadState(untagged);
  EXPECT_EQ(untagged.Remaining(), 0);
  EXPECT_EQ(stop.TargetName, "x");
  EXPECT_EQ(stop.Wait, 1);
  EXPECT_EQ(stop.Hold, 1);

  FrameDriver again(true);
  Prepare(again);
  again.AddPage("start.ksb", StopPage("bgm", 200, true));
  scene.SetPosition(0);
  interpreter.SetPosition(0);
  again.session.Ports().scene.LoadScene(scene, 129);
  again.callman.LoadFromStream(interpreter, 129);
  ASSERT_NE(dynamic_cast<StubMedia*>(again.session.SceneRoot().FindComponent("bgm")), nullptr);
  // 48 of the 200 ms have run; the command waits for the rest, then goes on.
  int frames = 0;
  while (again.Int("done") == 0 && frames < 50) {
    again.Frame();
    ++frames;
  }
  EXPECT_EQ(frames, 11);
  EXPECT_EQ(again.session.SceneRoot().FindComponent("bgm"), nullptr);
}

TEST_F(MediaCommandsTest, MediaPlayRewindsTheNamedComponent) {
  StubMedia* m = Media("bgm", "bgm.ogg", 2);
  PageWriter page;
  page.MediaPlay(Value(S("bgm"))).MediaPlay(Value(S("nobody"))).MediaPlay(Value(S("")));
  page.VarNew("done", 1, Value(I(1)));
  Start(page);
  d.Frame();
  EXPECT_EQ(m->rewinds, 1);
  EXPECT_EQ(d.Int("done"), 1);
}

TEST_F(MediaCommandsTest, PropMotionFillsTheMotionFromItsExpressions) {
  for (int32_t version : {108, 107}) {
    SCOPED_TRACE(version);
    FrameDriver driver(true);
    Prepare(driver);
    auto* box = driver.session.SceneRoot().CreateComponent(KT_BOX);
    box->SetName("box");
    PageWriter page(version);
    page.PropMotion({Value(S("m")), Value(S("box")), Value(I(256 + PR_TOP)), Value(F(2.5L)), Value(I(700)),
                     Value(I(MT_DEC)), Value(B(true))});
    // Without results the fields keep their defaults and the motion gets a name of its own.
    page.PropMotion({NoResult(), NoResult(), Value(I(PR_ALPHA))});
    driver.AddPage("start.ksb", page);
    driver.callman.Start("start.ksb");
    driver.Frame();
    auto* m = dynamic_cast<TKovaPropMotion*>(driver.session.SceneRoot().FindComponent("m"));
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->TargetName(), "box");
    EXPECT_EQ(m->PropId(), PR_TOP);  // the id is taken as a byte
    EXPECT_EQ(m->EndValue(), 2.5L);
    EXPECT_EQ(m->MotionDuration(), 700);
    EXPECT_EQ(m->Mode(), MT_DEC);
    // The paused flag only from page version 108.
    EXPECT_EQ(m->GetPaused(), version >= 108);
    TKovaPropMotion* plain = nullptr;
    for (int32_t i = 0; i < driver.session.SceneRoot().GetComponentCount(); ++i) {
      auto* c = dynamic_cast<TKovaPropMotion*>(driver.session.SceneRoot().GetComponent(i));
      if (c && c != m) plain = c;
    }
    ASSERT_NE(plain, nullptr);
    EXPECT_FALSE(plain->GetName().empty());
    EXPECT_EQ(plain->TargetName(), "");
    EXPECT_EQ(plain->PropId(), PR_ALPHA);
    EXPECT_EQ(plain->EndValue(), 0.0L);
    EXPECT_EQ(plain->MotionDuration(), 0);
    EXPECT_EQ(plain->Mode(), MT_NORMAL);
  }
}

TEST_F(MediaCommandsTest, PropMotionWithoutAPropertyIdRaises) {
  PageWriter page;
  page.PropMotion({Value(S("m")), Value(S("box")), NoResult(), Value(F(1.0L))});
  page.VarNew("after", 1, Value(I(1)));
  Start(page);
  try {
    d.Frame();
    FAIL() << "no error";
  } catch (const EKovaError& e) {
    EXPECT_EQ(e.Message(), MsgText(TMsg::PropIdInvalid));
  }
}

// A page makes a box and moves its left edge from 0 to 160 over 160 ms, slowing towards the end;
// the motion writes the left edge once per frame and is gone after the last.
TEST_F(MediaCommandsTest, APageMovesABoxByAPropertyMotion) {
  PageWriter page;
  page.Component(int32_t(TCommandKind::BoxNew), {{PR_NAME, Value(S("box"))}, {PR_WIDTH, Value(I(10))}});
  page.PropMotion({Value(S("slide")), Value(S("box")), Value(I(PR_LEFT)), Value(F(160.0L)), Value(I(160)),
                   Value(I(MT_DEC))});
  Start(page);
  std::vector<int32_t> lefts;
  for (int i = 0; i < 12; ++i) {
    d.Frame(16);
    auto* box = dynamic_cast<TKovaBox*>(Root().FindComponent("box"));
    ASSERT_NE(box, nullptr);
    lefts.push_back(box->GetLeft());
  }
  // Elapsed 0, 16, .., 144: 160 sin(t pi / 320), cut to an integer; 160 at 160.
  EXPECT_EQ(lefts, (std::vector<int32_t>{0, 25, 49, 72, 94, 113, 129, 142, 152, 158, 160, 160}));
  EXPECT_EQ(Root().FindComponent("slide"), nullptr);
}

}  // namespace
}  // namespace kova
