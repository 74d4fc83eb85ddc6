// The flip command over a real scene and interpreter, with a recording transition maker: the
// timing of its runs on the game clock, what it hands the transition, the move test, the flip
// snapshot, the clear flag, Abandon, the hold flag, and a flip saved mid-way and loaded again.
#include "motion/flip_command.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "components/scene/kova_cabinet.h"
#include "components/widgets/kova_custom_image.h"
#include "core/errors.h"
#include "core/stream.h"
#include "core/stream_records.h"
#include "core/vocabulary.h"
#include "script/call_man.h"
#include "script/command_table.h"
#include "script/page.h"
#include "script/param_collection.h"
#include "script/project.h"
#include "script/script_ports.h"
#include "script/subsystem_commands.h"
#include "support/game_tree.h"
#include "support/page_writer.h"
#include "support/scene_driver.h"

namespace kova::test {
namespace {

using E = ExprBuilder;
using Flip = PageWriter::FlipRecord;

// A transition that draws nothing and notes what its driver does with it (in records that outlive
// it).
class RecordingWipe : public ISceneWipe {
 public:
  RecordingWipe(int32_t kind, int32_t length, std::vector<std::string>& calls, std::vector<int32_t>& positions)
      : length_(length), params_{kind * 100, kind * 100 + 1}, calls_(calls), positions_(positions) {}
  int32_t GetLength() const override { return length_; }
  void SetPosition(int32_t position) override { positions_.push_back(position); }
  int32_t GetParam(int32_t index) const override { return index == 0 || index == 1 ? params_[index] : 0; }
  void SetParam(int32_t index, int32_t value) override {
    calls_.push_back("param" + std::to_string(index) + "=" + std::to_string(value));
    if (index == 0 || index == 1) params_[index] = value;
  }
  void SetMaskName(std::string name) override { calls_.push_back("mask=" + name); }
  void Prepare() override {
    calls_.push_back("prepare");
    if (fail_prepare) throw EKovaError("the mask picture is damaged");
  }
  bool Step() override { return false; }
  TRect UpdateArea() const override { return TRect{0, 0, 1, 1}; }
  bool fail_prepare = false;

 private:
  int32_t length_;
  int32_t params_[2];
  std::vector<std::string>& calls_;
  std::vector<int32_t>& positions_;
};

class RecordingMakers : public ISceneMakers {
 public:
  std::unique_ptr<ISceneFilm> LoadFilm(const std::string&, TKovaControl&) override { return nullptr; }
  std::unique_ptr<ISceneWipe> CreateWipe(int32_t kind, TCustomDIBX&, TCustomDIBX&, TCustomDIBX&, int32_t length,
                                         bool reverse) override {
    calls.push_back("create " + std::to_string(kind) + " " + std::to_string(length) + (reverse ? " reverse" : ""));
    positions.clear();
    auto wipe = std::make_unique<RecordingWipe>(kind, length, calls, positions);
    wipe->fail_prepare = fail_prepare;
    return wipe;
  }
  // The transitions made fail their Prepare (as a damaged mask picture does).
  bool fail_prepare = false;
  std::vector<std::string> calls;
  // The positions the last transition made was given.
  std::vector<int32_t> positions;
};

// A scene over a headless screen, an interpreter over the scene's event queue and the game
// folder, the flip's behaviour over the scene, and a frame step as the player runs it.
class FlipRig {
 public:
  explicit FlipRig(TDisplayFormat format = kDisplay8888, int32_t width = 64, int32_t height = 48)
      : scene(format, width, height) {
    scene.globals.Makers().Register(makers);
    RegisterFlipCommand(commands, scene.root);
    parts.files.SetFolder(tree.Root());
    // Distinct layer colours: the picture tells which layer is shown.
    scene.root.Bases(0)->SetColor(kColour0);
    scene.root.Bases(1)->SetColor(kColour1);
  }

  void AddPage(const std::string& name, const PageWriter& page) { tree.WriteFile(name, page.Bytes()); }
  void Start(const PageWriter& page) {
    AddPage("main.ksb", page);
    callman.Start("main.ksb");
  }
  // One frame step: the clock, input, the script, the update pass, drawing.
  void Frame(int32_t delta = 16) {
    parts.clock.Advance(delta);
    scene.root.SetClock(parts.clock.GameClock, delta);
    scene.root.Process();
    callman.Step();
    scene.root.Update();
    scene.root.Draw();
    scene.root.EndFrame();
    ++frames;
  }
  // Steps until the variable "done" is set (at most `limit` frames); the frame it was set in.
  int FramesUntilDone(int limit = 200) {
    while (frames < limit) {
      Frame();
      if (Int("done") == 1) return frames;
    }
    return -1;
  }
  int32_t Int(const std::string& name) {
    const TParamCollectionItem* item = store.FindParam(name);
    return item ? item->GetInt() : 0;
  }
  std::string Str(const std::string& name) {
    const TParamCollectionItem* item = store.FindParam(name);
    return item ? item->GetStr() : std::string();
  }
  TComFlip& Command() { return static_cast<TComFlip&>(*callman.Page()->Command(callman.PC())); }
  TKovaControl* Snapshot() { return scene.root.FindControl(kFlipSnapshotName); }

  static constexpr int32_t kColour0 = 0x102030, kColour1 = 0x605040;

  GameTree tree;
  SceneDriver scene;
  RecordingMakers makers;
  TNullScriptParts parts;
  TCommandTable commands;
  TParamCollection store{parts.ports, &callman};
  TCallMan callman{store, parts.ports, commands, &scene.root.Events(), *parts.platform.clock};
  int frames = 0;
};

// A page: the flip, then "done := 1".
PageWriter FlipPage(const Flip& flip) {
  PageWriter page;
  page.VarNew("done", 1, Value(I(0)));
  page.Flip(flip).Calc(Assign("done", I(1)));
  return page;
}

Flip Timed(const ExprBuilder& kind, const ExprBuilder& length) {
  Flip f;
  f.kind = kind;
  f.length = length;
  return f;
}

// The entry step makes the transition at 0; the next takes the start time; each later one hands
// the transition the time since then, and the first in which that reaches the length swaps the
// layers. No transition: the swap comes in the third step; a move mode with no length above 0
// swaps in the entry step.
TEST(FlipCommandTest, TimingOverFrameSteps) {
  struct Case {
    const char* what;
    Flip flip;
    std::vector<std::string> created;  // the maker's calls
    int swap_frame;
    std::vector<int32_t> positions;  // every position the transition was given
  };
  Flip moved_at_once = Timed(Value(I(1)), Value(I(0)));
  moved_at_once.move_mode = Value(I(0));
  Flip reversed = Timed(Value(I(3)), Value(I(20)));
  reversed.reverse = Yes();
  const std::vector<Case> cases = {
      {"fade over 100 ms", Timed(Value(I(1)), Value(I(100))), {"create 1 100", "prepare"}, 9,
       {0, 16, 32, 48, 64, 80, 96}},
      {"length 112: elapsed reaches it exactly", Timed(Value(I(1)), Value(I(112))), {"create 1 112", "prepare"}, 9,
       {0, 16, 32, 48, 64, 80, 96}},
      {"kind 257 is its low byte", Timed(Value(I(257)), Value(I(40))), {"create 1 40", "prepare"}, 5, {0, 16, 32}},
      {"kind 31 is the last kind", Timed(Value(I(31)), Value(I(10))), {"create 31 10", "prepare"}, 3, {0}},
      {"reverse", reversed, {"create 3 20 reverse", "prepare"}, 4, {0, 16}},
      {"kind 32: none", Timed(Value(I(32)), Value(I(100))), {}, 3, {}},
      {"kind -1: none", Timed(Value(I(-1)), Value(I(100))), {}, 3, {}},
      {"no kind: none", Timed(NoResult(), Value(I(100))), {}, 3, {}},
      {"no length: 1", Timed(Value(I(1)), NoResult()), {"create 1 1", "prepare"}, 3, {0}},
      {"length -5: 1", Timed(Value(I(1)), Value(I(-5))), {"create 1 1", "prepare"}, 3, {0}},
      {"move mode with length 0", moved_at_once, {}, 1, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FlipRig rig;
    rig.Start(FlipPage(c.flip));
    rig.Frame();
    EXPECT_EQ(rig.makers.calls, c.created);
    EXPECT_EQ(rig.Snapshot(), nullptr);
    const int swap = rig.Int("done") == 1 ? 1 : rig.FramesUntilDone();
    EXPECT_EQ(swap, c.swap_frame);
    EXPECT_EQ(rig.scene.root.ActiveIndex(), 1);
    EXPECT_EQ(rig.scene.root.Transition(), nullptr);
    EXPECT_EQ(rig.scene.root.TransitionKind(), WP_NONE);
    EXPECT_EQ(rig.makers.positions, c.positions);
  }
}

TEST(FlipCommandTest, TheTimeSpentBetweenStepsCounts) {
  FlipRig rig;
  rig.Start(FlipPage(Timed(Value(I(1)), Value(I(1000)))));
  rig.Frame(10);   // entry
  rig.Frame(10);   // start time
  rig.Frame(600);  // 600 elapsed
  rig.Frame(399);  // 999: still below the length
  EXPECT_EQ(rig.Int("done"), 0);
  EXPECT_EQ(rig.makers.positions, (std::vector<int32_t>{0, 600, 999}));
  // Each drawn frame hands the screen the transition's area to present.
  EXPECT_EQ(rig.scene.root.TransitionArea(), (TRect{0, 0, 1, 1}));
  rig.Frame(1);
  EXPECT_EQ(rig.Int("done"), 1);
  EXPECT_EQ(rig.scene.root.TransitionArea(), TRect{});
}

// The expressions are evaluated in the record's order, the parameters and the mask only when a
// transition was made; only those that give a result reach it.
TEST(FlipCommandTest, EvaluationOrderParametersAndMask) {
  auto noting = [](const char* letter, const Operand& result) {
    return Step("order", E::ComboStr, S(letter)).Result(result);
  };
  auto noting_only = [](const char* letter) { return Step("order", E::ComboStr, S(letter)); };
  Flip f;
  f.kind = noting("k", I(2));
  f.length = noting("l", I(100));
  f.reverse = noting("r", B(false));
  f.hold = noting("h", B(false));
  f.clear = noting("c", B(false));
  f.move_mode = noting_only("m");
  f.names = {noting("1", S("x")), noting("2", S("y"))};
  f.param0 = noting("p", I(7));
  f.param1 = noting_only("q");
  f.mask = noting("s", S("mask.png"));
  PageWriter page;
  page.VarNew("order", 4, Value(S("")));
  page.Flip(f);
  FlipRig rig;
  rig.Start(page);
  rig.Frame();
  EXPECT_EQ(rig.Str("order"), "klrhcm12pqs");
  EXPECT_EQ(rig.makers.calls, (std::vector<std::string>{"create 2 100", "param0=7", "mask=mask.png", "prepare"}));
  // Parameter 1 keeps the kind's default.
  EXPECT_EQ(rig.scene.root.Transition()->GetParam(1), 201);

  // Without a transition the parameters and the mask are not evaluated.
  f.kind = noting("k", I(0));
  PageWriter none;
  none.VarNew("order", 4, Value(S("")));
  none.Flip(f);
  FlipRig plain;
  plain.Start(none);
  plain.Frame();
  EXPECT_EQ(plain.Str("order"), "klrhcm12");
  EXPECT_TRUE(plain.makers.calls.empty());
}

// The move test over the active layer's own children; a snapshot whenever a move mode is given.
TEST(FlipCommandTest, TheMoveTestCarriesTheChosenControlsOver) {
  struct Case {
    const char* what;
    ExprBuilder mode;
    std::vector<ExprBuilder> names;
    std::vector<std::string> moved;
    bool snapshot;
  };
  const ExprBuilder two_lines = Value(S("Mes1\r\nBtn"));
  const std::vector<Case> cases = {
      {"mode 0: all but the named", Value(I(0)), {two_lines}, {"mes1", "42", "Panel", "Inner"}, true},
      {"mode 1: only the named", Value(I(1)), {two_lines}, {"Mes1", "Btn"}, true},
      {"mode 257 is mode 1", Value(I(257)), {two_lines}, {"Mes1", "Btn"}, true},
      {"an integer name list by its decimal text", Value(I(1)), {Value(I(42))}, {"42"}, true},
      {"lists without a result are skipped", Value(I(1)), {NoResult(), Value(S("Btn\n"))}, {"Btn"}, true},
      {"a line ends at CR alone; a zero byte ends the text", Value(I(1)), {Value(S(std::string("42\rBtn\0Mes1", 11)))},
       {"42", "Btn"}, true},
      {"a nested control moves only with its parent", Value(I(1)), {Value(S("Inner"))}, {}, true},
      {"mode 2 moves none", Value(I(2)), {two_lines}, {}, true},
      {"no move mode: no snapshot and no move", NoResult(), {two_lines}, {}, false},
  };
  const std::vector<std::string> all = {"Mes1", "Btn", "mes1", "42", "Panel", "Inner"};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FlipRig rig;
    TKovaBase* first = rig.scene.root.Bases(0);
    for (const char* name : {"Mes1", "Btn", "mes1", "42"}) rig.scene.Box(name, TRect{0, 0, 4, 4});
    StubBox* panel = rig.scene.Box("Panel", TRect{10, 10, 20, 20});
    rig.scene.Box("Inner", TRect{0, 0, 2, 2}, panel);
    Flip f = Timed(Value(I(1)), Value(I(100)));
    f.move_mode = c.mode;
    f.names = c.names;
    rig.Start(FlipPage(f));
    rig.Frame();
    for (const std::string& name : all) {
      const bool moved = std::find(c.moved.begin(), c.moved.end(), name) != c.moved.end();
      EXPECT_EQ(rig.scene.root.FindControl(name)->GetBase(), rig.scene.root.Bases(moved ? 1 : 0)) << name;
    }
    EXPECT_EQ(rig.scene.root.FindControl("Inner")->GetParent(), panel);
    ASSERT_EQ(rig.Snapshot() != nullptr, c.snapshot);
    if (c.snapshot) {
      EXPECT_EQ(rig.Snapshot()->GetParent(), first);
    }
    // The moves come before the transition starts, which still starts from the first layer.
    EXPECT_EQ(rig.scene.root.ActiveIndex(), 0);
    EXPECT_EQ(rig.makers.calls.front(), "create 1 100");
  }
}

// The snapshot: the picture shown at the flip's entry, screen-sized at the screen's depth, opaque,
// never hit by the mouse and above every other child of its layer; the picture stays while the
// controls it covers move away, and it goes with the swap.
TEST(FlipCommandTest, TheSnapshotHoldsThePictureUntilTheSwap) {
  FlipRig rig(kDisplay565);
  TKovaBaseList& root = rig.scene.root;
  rig.scene.Box("box", TRect{4, 4, 12, 10}, nullptr, 0x0000FF);
  StubBox* top = rig.scene.Box("top", TRect{20, 20, 24, 24}, nullptr, 0x00FF00);
  top->SetPriority(1 << 30);
  rig.Frame();  // both on screen
  const uint32_t box = rig.scene.Pixel(5, 5), layer0 = rig.scene.Pixel(40, 40);
  EXPECT_EQ(box, rig.scene.PixelOf(0x0000FF));
  EXPECT_EQ(layer0, rig.scene.PixelOf(FlipRig::kColour0));

  // Kind none, mode 1 carries "box" over.
  Flip f = Timed(Value(I(0)), Value(I(100)));
  f.move_mode = Value(I(1));
  f.names = {Value(S("box"))};
  rig.Start(FlipPage(f));
  rig.Frame();
  auto* snapshot = dynamic_cast<TKovaCustomImage*>(rig.Snapshot());
  ASSERT_NE(snapshot, nullptr);
  EXPECT_EQ(root.ActiveBase()->GetControl(root.ActiveBase()->GetControlCount() - 1), snapshot);
  EXPECT_EQ(snapshot->GetIgnoreMouse(), 1);
  EXPECT_EQ(snapshot->GetCompoType(), KT_NONE);
  TCustomDIBX* surface = snapshot->GetDIB();
  EXPECT_EQ(surface->TransparentColor, -1);
  EXPECT_EQ(surface->BitCount(), 16);
  EXPECT_EQ((TRect{0, 0, surface->Width(), surface->Height()}), (TRect{0, 0, 64, 48}));
  EXPECT_EQ((TRect{0, 0, snapshot->GetWidth(), snapshot->GetHeight()}), (TRect{0, 0, 64, 48}));
  EXPECT_EQ(surface->GetPixel(5, 5), box);
  EXPECT_EQ(surface->GetPixel(40, 40), layer0);
  // The mouse reaches the control under it.
  EXPECT_EQ(root.ActiveBase()->HitTest(TPoint{21, 21}, kMaskOther), top);
  // A control that joins the layer later, with a name sorting last, still sorts under it.
  StubBox* late = rig.scene.Box("\xFF late", TRect{0, 0, 2, 2});
  late->SetPriority(1 << 30);
  EXPECT_EQ(root.ActiveBase()->GetControl(root.ActiveBase()->GetControlCount() - 1), snapshot);
  root.DeleteComponent(late);

  // "box" left the shown layer, yet the picture holds it until the swap.
  EXPECT_EQ(root.FindControl("box")->GetBase(), root.Bases(1));
  rig.Frame();
  EXPECT_EQ(rig.scene.Pixel(5, 5), box);
  EXPECT_EQ(rig.scene.Pixel(40, 40), layer0);
  rig.Frame();  // the swap: the second layer with "box" shows, the snapshot is gone
  EXPECT_EQ(rig.Int("done"), 1);
  EXPECT_EQ(rig.Snapshot(), nullptr);
  EXPECT_EQ(rig.scene.Pixel(5, 5), box);
  EXPECT_EQ(rig.scene.Pixel(40, 40), rig.scene.PixelOf(FlipRig::kColour1));
  EXPECT_EQ(rig.scene.Pixel(21, 21), rig.scene.PixelOf(FlipRig::kColour1));
}

// Names beginning with byte 1 never reach a game save: a scene saved while the snapshot lies over
// it loads without one.
TEST(FlipCommandTest, TheSnapshotIsNeverSaved) {
  FlipRig rig;
  rig.scene.Box("box", TRect{4, 4, 12, 10});
  Flip f = Timed(Value(I(1)), Value(I(100)));
  f.move_mode = Value(I(2));
  rig.Start(FlipPage(f));
  rig.Frame();
  ASSERT_NE(rig.Snapshot(), nullptr);
  TMemoryStream saved;
  rig.scene.root.SaveToStream(saved);
  saved.SetPosition(0);
  SceneDriver other;
  other.root.LoadFromStream(saved, kGameSaveVersion);
  EXPECT_NE(other.root.FindControl("box"), nullptr);
  EXPECT_EQ(other.root.FindControl(kFlipSnapshotName), nullptr);
  EXPECT_EQ(other.root.Bases(0)->GetControlCount(), 1);
}

// With the clear flag the controls left on the old layer go at the swap, its cabinets kept;
// Abandon (a restart of the whole interpreter from a handler) swaps at once and clears cabinets
// too.
TEST(FlipCommandTest, TheClearFlagAtTheSwapAndOnAbandon) {
  for (const bool abandon : {false, true}) {
    SCOPED_TRACE(abandon ? "abandoned" : "completed");
    FlipRig rig;
    TKovaBaseList& root = rig.scene.root;
    rig.scene.Box("left", TRect{0, 0, 4, 4});
    rig.scene.Box("carried", TRect{0, 0, 4, 4});
    auto* cabinet = root.CreateComponent(KT_CABINET)->AsControl();
    cabinet->SetName("cab");
    cabinet->SetParent(root.ActiveBase());
    rig.scene.Box("inside", TRect{0, 0, 2, 2}, cabinet);
    Flip f = Timed(Value(I(1)), Value(I(1000)));
    f.move_mode = Value(I(1));
    f.names = {Value(S("carried"))};
    f.clear = Yes();
    rig.Start(FlipPage(f));
    if (abandon) {
      // An idle handler restarts the interpreter on another page while the flip waits.
      StubTimer* timer = rig.scene.Timer("timer");
      timer->on_idle = "restart.ksb";
      PageWriter restart;
      restart.PCReset("after.ksb", 0, true);
      rig.AddPage("restart.ksb", restart);
      PageWriter after;
      after.VarNew("after", 1, Value(I(1)));
      rig.AddPage("after.ksb", after);
    }
    rig.Frame();
    rig.Frame();
    if (abandon) {
      EXPECT_EQ(rig.Int("after"), 1);
    } else {
      EXPECT_EQ(rig.FramesUntilDone(), 65);  // 16 x 63 >= 1000
    }
    EXPECT_EQ(root.ActiveIndex(), 1);
    EXPECT_EQ(root.Transition(), nullptr);
    EXPECT_EQ(rig.Snapshot(), nullptr);
    EXPECT_EQ(root.FindControl("left"), nullptr);
    EXPECT_NE(root.FindControl("carried"), nullptr);
    EXPECT_EQ(root.FindControl("cab") != nullptr, !abandon);
    EXPECT_EQ(root.FindControl("inside") != nullptr, !abandon);
  }
}

// After the swap the keys go to the new layer's key control, also when no control had them before.
TEST(FlipCommandTest, TheSwapLooksForTheFocusOnTheNewLayer) {
  FlipRig rig;
  StubBox* keys = rig.scene.Box("keys", TRect{0, 0, 4, 4}, rig.scene.root.Bases(1));
  keys->SetHandleKey(true);
  rig.Frame();
  ASSERT_EQ(rig.scene.root.FocusControl(), nullptr);
  rig.Start(FlipPage(Timed(Value(I(0)), Value(I(1)))));
  for (int i = 0; i < 3; ++i) rig.Frame();
  ASSERT_EQ(rig.Int("done"), 1);
  rig.Frame();
  EXPECT_EQ(rig.scene.root.FocusControl(), keys);
}

// The hold flag keeps queued events waiting while the flip runs; without it a handler runs
// between two steps and the flip still ends on the game clock.
TEST(FlipCommandTest, HoldKeepsEventsWaiting) {
  for (const bool hold : {true, false}) {
    SCOPED_TRACE(hold ? "hold" : "no hold");
    FlipRig rig;
    StubTimer* timer = rig.scene.Timer("timer");
    timer->on_idle = "idle.ksb";
    PageWriter idle;
    idle.Calc(Step("idles", E::Plus, I(1)));
    rig.AddPage("idle.ksb", idle);
    Flip f = Timed(Value(I(1)), Value(I(160)));
    f.hold = hold ? Yes() : No();
    PageWriter page;
    page.VarNew("idles", 1, Value(I(0)));
    page.VarNew("done", 1, Value(I(0)));
    page.Flip(f).Calc(Assign("done", I(1)));
    rig.Start(page);
    rig.Frame();
    EXPECT_EQ(rig.Command().HoldsEvents(), hold);
    EXPECT_TRUE(rig.Command().AllowsEvents());
    for (int i = 0; i < 10; ++i) rig.Frame();
    EXPECT_EQ(rig.Int("done"), 0);
    // An idle event is queued in every update pass; without the hold each waits one frame.
    EXPECT_EQ(rig.Int("idles"), hold ? 0 : 10);
    rig.Frame();  // 16 x 10 ms since the start time
    EXPECT_EQ(rig.Int("done"), 1);
    rig.Frame();
    EXPECT_GT(rig.Int("idles"), 0);
  }
}

// A handler that waits between two steps of the flip holds the transition where it stands; the
// time it took counts: the flip swaps in the step in which the handler returns.
TEST(FlipCommandTest, TheTimeAHandlerTakesCounts) {
  FlipRig rig;
  StubTimer* timer = rig.scene.Timer("timer");
  timer->on_idle = "idle.ksb";
  PageWriter idle;  // the second idle event waits 200 ms
  idle.Calc(Step("idles", E::Plus, I(1)));
  idle.If(Compare(E::Equal, V("idles"), I(2)));
  idle.Indent(1).Wait(NoResult(), Value(I(200)));
  idle.Calc(Assign("waited", I(1)));
  rig.AddPage("idle.ksb", idle);
  PageWriter page;
  page.VarNew("idles", 1, Value(I(0)));
  page.VarNew("waited", 1, Value(I(0)));
  page.VarNew("done", 1, Value(I(0)));
  page.Flip(Timed(Value(I(1)), Value(I(100)))).Calc(Assign("done", I(1)));
  rig.Start(page);
  int waited_in = 0;
  for (int frame = 1; frame <= 40 && rig.Int("done") == 0; ++frame) {
    rig.Frame();
    if (rig.Int("waited") == 1 && waited_in == 0) waited_in = frame;
  }
  ASSERT_GT(waited_in, 10);
  EXPECT_EQ(rig.frames, waited_in);
  EXPECT_EQ(rig.makers.positions, std::vector<int32_t>{0});
}

// A flip inside an event handler lets the next level's events run while it waits, when its length
// gave a value above 0; without one they wait for the handler to end.
TEST(FlipCommandTest, InAHandlerTheLengthLetsFurtherEventsRun) {
  for (const bool timed : {true, false}) {
    SCOPED_TRACE(timed ? "a length of 200" : "no length");
    FlipRig rig;
    rig.scene.Timer("flipper")->on_idle = "flip.ksb";
    rig.scene.Timer("counter")->on_idle = "count.ksb";
    PageWriter flip;
    flip.If(Compare(E::Equal, V("flips"), I(0)));
    flip.Indent(1).Calc(Assign("flips", I(1)));
    flip.Flip(Timed(Value(I(1)), timed ? Value(I(200)) : NoResult()));
    flip.Calc(Assign("done", I(1)));
    rig.AddPage("flip.ksb", flip);
    PageWriter count;
    count.Calc(Step("counts", E::Plus, I(1)));
    count.If(Compare(E::Equal, V("done"), I(0)));
    count.Indent(1).Calc(Step("during", E::Plus, I(1)));
    rig.AddPage("count.ksb", count);
    PageWriter main;
    for (const char* var : {"flips", "counts", "during", "done"}) main.VarNew(var, 1, Value(I(0)));
    main.Wait(NoResult(), Value(I(100000)));
    rig.Start(main);
    EXPECT_NE(rig.FramesUntilDone(), -1);
    if (timed) {
      EXPECT_GE(rig.Int("during"), 5);
    } else {
      EXPECT_EQ(rig.Int("during"), 0);
    }
  }
}

// A screen of 1 x 1 or 3 x 2 pixels: the snapshot takes its size and the flip ends as on any other.
TEST(FlipCommandTest, TinyScreens) {
  for (const auto& [w, h] : {std::pair{1, 1}, std::pair{3, 2}}) {
    SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h));
    FlipRig rig(kDisplay8888, w, h);
    rig.scene.Box("box", TRect{0, 0, 5, 5}, nullptr, 0x0000FF);
    rig.Frame();
    Flip f = Timed(Value(I(0)), Value(I(50)));
    f.move_mode = Value(I(0));
    rig.Start(FlipPage(f));
    rig.Frame();
    ASSERT_NE(rig.Snapshot(), nullptr);
    EXPECT_EQ(rig.Snapshot()->GetDIB()->Width(), w);
    EXPECT_EQ(rig.Snapshot()->GetDIB()->Height(), h);
    EXPECT_EQ(rig.Snapshot()->GetDIB()->GetPixel(0, 0), rig.scene.PixelOf(0x0000FF));
    EXPECT_EQ(rig.FramesUntilDone(), 4);  // the flip's third step, after one frame without it
    EXPECT_EQ(rig.scene.Pixel(w - 1, h - 1), rig.scene.PixelOf(0x0000FF));
  }
}

// A transition that cannot be set up (its mask picture is damaged) is not left running over a
// flip that will never end it: the error goes on to the game and the new layer shows at once.
TEST(FlipCommandTest, ATransitionThatFailsItsSetUpSwapsAtOnce) {
  FlipRig rig;
  rig.makers.fail_prepare = true;
  Flip f = Timed(Value(I(WP_MASKFADE)), Value(I(200)));
  f.mask = Value(S("damaged.png"));
  rig.Start(FlipPage(f));
  EXPECT_THROW(rig.Frame(), EKovaError);
  EXPECT_EQ(rig.scene.root.Transition(), nullptr);
  EXPECT_EQ(rig.scene.root.ActiveIndex(), 1);
  rig.Frame();
  EXPECT_EQ(rig.Int("done"), 1);
  EXPECT_EQ(rig.scene.Pixel(30, 30), rig.scene.PixelOf(FlipRig::kColour1));
}

// A flip with a snapshot started by a handler while another flip's snapshot lies on the layer:
// the new snapshot takes the old one's place, and once both flips are over none is left.
TEST(FlipCommandTest, ANestedFlipLeavesNoSnapshotBehind) {
  FlipRig rig;
  rig.scene.Timer("flipper")->on_idle = "flip.ksb";
  PageWriter inner;
  inner.If(Compare(E::Equal, V("flips"), I(0)));
  inner.Indent(1).Calc(Assign("flips", I(1)));
  Flip nested = Timed(Value(I(0)), Value(I(50)));
  nested.move_mode = Value(I(0));
  inner.Flip(nested);
  rig.AddPage("flip.ksb", inner);
  PageWriter main;
  main.VarNew("flips", 1, Value(I(0)));
  main.VarNew("done", 1, Value(I(0)));
  Flip outer = Timed(Value(I(0)), Value(I(200)));
  outer.move_mode = Value(I(0));
  main.Flip(outer).Calc(Assign("done", I(1)));
  rig.Start(main);
  ASSERT_NE(rig.FramesUntilDone(), -1);
  EXPECT_EQ(rig.Int("flips"), 1);
  rig.Frame();
  for (int32_t layer = 0; layer < 2; ++layer) {
    TKovaBase* base = rig.scene.root.Bases(layer);
    for (int32_t i = 0; i < base->GetControlCount(); ++i) {
      const std::string& name = base->GetControl(i)->GetName();
      EXPECT_FALSE(!name.empty() && name[0] == '\x01') << "layer " << layer << ": a control named after the snapshot";
    }
  }
}

// A flip saved mid-way keeps its hold and clear flags in the interpreter's section; loaded into a
// new scene and interpreter (no transition running, the page read anew) it completes within
// three runs: the layers swap, no snapshot is found, and the old layer is cleared.
TEST(FlipCommandTest, AFlipSavedMidwayCompletesAfterTheLoad) {
  Flip f = Timed(Value(I(1)), Value(I(500)));
  f.move_mode = Value(I(1));
  f.names = {Value(S("carried"))};
  f.clear = Yes();
  f.hold = Yes();
  TMemoryStream scene, section;
  {
    FlipRig rig;
    rig.scene.Box("left", TRect{0, 0, 4, 4});
    rig.scene.Box("carried", TRect{0, 0, 4, 4});
    rig.Start(FlipPage(f));
    for (int i = 0; i < 4; ++i) rig.Frame();
    ASSERT_EQ(rig.Int("done"), 0);
    ASSERT_EQ(rig.Command().Phase, 2);
    rig.scene.root.SaveToStream(scene);
    rig.callman.SaveToStream(section);
  }
  FlipRig rig;
  rig.AddPage("main.ksb", FlipPage(f));
  scene.SetPosition(0);
  section.SetPosition(0);
  rig.scene.root.LoadFromStream(scene, kGameSaveVersion);
  rig.callman.LoadFromStream(section, kGameSaveVersion);
  // The variables are not part of this test's save.
  rig.store.Declare("done", PT_INT, TVarScope::Global)->SetInt(0);
  ASSERT_EQ(rig.scene.root.ActiveIndex(), 0);
  EXPECT_EQ(rig.Snapshot(), nullptr);
  EXPECT_EQ(rig.Command().Phase, 0);
  EXPECT_EQ(rig.Command().HoldFlag, 1);
  EXPECT_EQ(rig.Command().ClearFlag, 1);
  EXPECT_TRUE(rig.callman.HoldsEvents());
  // Its length expression has not been evaluated since the page was read.
  EXPECT_FALSE(rig.Command().AllowsEvents());
  EXPECT_EQ(rig.FramesUntilDone(), 3);
  EXPECT_EQ(rig.scene.root.ActiveIndex(), 1);
  EXPECT_EQ(rig.scene.root.FindControl("left"), nullptr);
  EXPECT_EQ(rig.scene.root.FindControl("carried")->GetBase(), rig.scene.root.Bases(1));
  EXPECT_TRUE(rig.makers.calls.empty());
}

// The state's form: the tag, the hold flag, the clear flag; a state without the tag reads nothing.
TEST(FlipCommandTest, SavedStateForm) {
  PageWriter writer;
  writer.Flip(Timed(Value(I(1)), Value(I(1))));
  GameTree tree;
  tree.WriteFile("p.ksb", writer.Bytes());
  TNullScriptParts parts;
  parts.files.SetFolder(tree.Root());
  TCommandTable commands;
  TParamCollection store{parts.ports, nullptr};
  TCallMan callman{store, parts.ports, commands, nullptr, *parts.platform.clock};
  auto& flip = static_cast<TComFlip&>(*callman.FetchPage("p.ksb")->Command(0));
  flip.HoldFlag = 1;
  flip.ClearFlag = 0;
  TMemoryStream state;
  flip.SaveState(state);
  EXPECT_EQ(std::string(state.Bytes().begin(), state.Bytes().end()), std::string("kova100\x01\x00", 9));
  flip.HoldFlag = 0;
  flip.ClearFlag = 1;
  state.SetPosition(0);
  flip.LoadState(state);
  EXPECT_EQ(flip.HoldFlag, 1);
  EXPECT_EQ(flip.ClearFlag, 0);
  TMemoryStream untagged;
  WriteStreamByte(untagged, 1);
  untagged.SetPosition(0);
  flip.LoadState(untagged);
  EXPECT_EQ(flip.HoldFlag, 1);
  EXPECT_EQ(flip.ClearFlag, 0);
}

}  // namespace
}  // namespace kova::test
