#include "motion/flip_command.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "components/scene/kova_base.h"
#include "components/scene/kova_base_list.h"
#include "components/scene/kova_cabinet.h"
#include "components/widgets/kova_custom_image.h"
#include "core/vocabulary.h"
#include "graphics/dibx.h"
#include "script/call_man.h"
#include "script/command_table.h"
#include "script/commands.h"
#include "script/params.h"
#include "script/script_ports.h"
#include "script/subsystem_commands.h"

namespace kova {

namespace {

// The highest transition kind; the low byte of a kind above it gives none.
constexpr int32_t kLastWipeKind = 31;

// True when `name` is a line of `text`: a line ends at CR LF, CR or LF, a zero byte ends the
// text, and a line break at the end starts no further (empty) line.
bool IsLineOf(std::string_view text, std::string_view name) {
  if (const size_t zero = text.find('\0'); zero != std::string_view::npos) text = text.substr(0, zero);
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    if (text.substr(start, end - start) == name) return true;
    if (end == text.size()) break;
    start = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
  }
  return false;
}

// Mode 0 moves every control but the named ones, mode 1 only the named ones, any other none. The
// lists' results are those of their evaluation in Prepare.
bool ShouldMove(const TComFlip& flip, const std::string& name, int32_t mode) {
  for (const auto& list : flip.NameLists) {
    const TCustomParam* r = list->Result();
    if (r && IsLineOf(r->GetStr(), name)) return mode == 1;
  }
  return mode == 0;
}

class TFlipBehaviour : public TCommandBehaviour {
 public:
  explicit TFlipBehaviour(TKovaBaseList& root) : root_(root) {}

  void Prepare(TCommand& command, TCallMan& callman) override {
    auto& flip = static_cast<TComFlip&>(command);
    flip.Phase = 0;
    // The order of evaluation is the record's: an expression may assign a variable a later one reads.
    const TCustomParam* r = EvalExpr(flip.Kind, callman);
    int32_t kind = r ? r->GetInt() & 0xFF : WP_NONE;
    if (kind > kLastWipeKind) kind = WP_NONE;
    r = EvalExpr(flip.Length, callman);
    const bool timed = r && r->GetInt() > 0;
    const int32_t length = timed ? r->GetInt() : 1;
    const bool reverse = EvalFlag(flip.Reverse, callman, false);
    flip.HoldFlag = EvalFlag(flip.HoldExpr, callman, false) ? 1 : 0;
    flip.ClearFlag = EvalFlag(flip.Clear, callman, false) ? 1 : 0;
    const TCustomParam* mode_result = EvalExpr(flip.MoveMode, callman);
    for (const auto& list : flip.NameLists) EvalExpr(*list, callman);

    if (mode_result) {
      const int32_t mode = mode_result->GetInt() & 0xFF;
      if (timed) {
        TakeSnapshot();
      } else {
        flip.Phase = 3;
      }
      MoveControls(flip, mode);
    }
    if (flip.Phase == 3) return;

    ISceneWipe* wipe = root_.Flip(root_.ActiveIndex(), kind, length, 0, true, reverse);
    if (!wipe) return;
    try {
      for (int32_t index = 0; index < 2; ++index) {
        if (const TCustomParam* p = EvalExpr(index == 0 ? flip.Param0 : flip.Param1, callman)) {
          wipe->SetParam(index, p->GetInt());
        }
      }
      if (const TCustomParam* mask = EvalExpr(flip.Mask, callman)) wipe->SetMaskName(mask->GetStr());
      wipe->Prepare();
    } catch (...) {
      // The interpreter passes over a command that fails here: the flip completes at once rather
      // than leave its transition running with nothing to end it, and the error goes on.
      Complete(flip, false);
      throw;
    }
  }

  void Execute(TCommand& command, TCallMan& callman, TPage*& /*page*/, int32_t& pc) override {
    auto& flip = static_cast<TComFlip&>(command);
    const int32_t clock = callman.Ports().clock.GameClock;
    switch (flip.Phase) {
      case 0:
        flip.Phase = 1;
        return;
      case 1:
        flip.StartTime = clock;
        flip.Phase = 2;
        return;
      default:
        break;
    }
    // The clock is 32-bit and wraps; the difference is taken as the clock's own arithmetic.
    const int32_t elapsed = int32_t(uint32_t(clock) - uint32_t(flip.StartTime));
    if (flip.Phase == 2 && elapsed < root_.GetWipeLength()) {
      root_.SetWipePosition(elapsed);
      return;
    }
    Complete(flip, false);
    ++pc;
  }

  void Abandon(TCommand& command, TCallMan& /*callman*/) override {
    Complete(static_cast<TComFlip&>(command), true);
  }

 private:
  // A screen-sized copy of the picture shown, laid opaque over the active layer, the mouse
  // passing through it.
  void TakeSnapshot() {
    // A snapshot still there (a flip started by a handler while another runs) gives way: the new
    // one holds the same picture, and a second of that name would outlive both flips.
    if (TKovaControl* earlier = root_.FindControl(kFlipSnapshotName)) earlier->RemoveFromOwner();
    root_.Draw();
    TKovaBase* active = root_.ActiveBase();
    auto* snapshot = new TKovaCustomImage(&root_);
    snapshot->SetName(std::string(kFlipSnapshotName));
    if (TCustomDIBX* surface = snapshot->GetDIB()) {
      if (root_.GetWidth() > 0 && root_.GetHeight() > 0) {
        surface->SetSize(root_.GetWidth(), root_.GetHeight(), root_.SceneHost().ScreenBitCount());
        if (TCustomDIBX* shown = active->GetDIB()) surface->Assign(*shown);
      }
      surface->TransparentColor = -1;
      snapshot->SetWidth(surface->Width());
      snapshot->SetHeight(surface->Height());
    }
    snapshot->SetParent(active);
    snapshot->SetIgnoreMouse(1);
  }

  // The active layer's own children that the move test names go over to the hidden layer (with
  // their children); the snapshot stays.
  void MoveControls(const TComFlip& flip, int32_t mode) {
    TKovaBase* active = root_.ActiveBase();
    TKovaBase* hidden = root_.Bases(root_.ActiveIndex() ^ 1);
    for (int32_t i = active->GetControlCount() - 1; i >= 0; --i) {
      TKovaControl* c = active->GetControl(i);
      if (!c || c->GetName() == kFlipSnapshotName) continue;
      if (ShouldMove(flip, c->GetName(), mode)) c->SetParent(hidden);
    }
  }

  // The hidden layer becomes the active one, the transition ends and the snapshot goes; with the
  // clear flag the controls left on the old layer go too (its cabinets only when abandoned).
  void Complete(const TComFlip& flip, bool abandoned) {
    root_.Flip(root_.ActiveIndex() ^ 1, WP_NONE, 0, 0, true, false);
    if (TKovaControl* snapshot = root_.FindControl(kFlipSnapshotName)) snapshot->RemoveFromOwner();
    if (!flip.ClearFlag) return;
    // The removals are deferred to the end of the update pass: the child list stays as it is.
    TKovaBase* old_layer = root_.Bases(root_.ActiveIndex() ^ 1);
    for (int32_t i = 0; i < old_layer->GetControlCount(); ++i) {
      TKovaControl* c = old_layer->GetControl(i);
      if (!c) continue;
      if (abandoned || !dynamic_cast<TKovaCabinet*>(c)) c->RemoveFromOwner();
    }
  }

  TKovaBaseList& root_;
};

}  // namespace

void RegisterFlipCommand(TCommandTable& commands, TKovaBaseList& root) {
  commands.Register(TCommandKind::Flip, std::make_unique<TFlipBehaviour>(root));
}

}  // namespace kova
