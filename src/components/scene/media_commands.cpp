#include "components/scene/media_commands.h"

#include <memory>
#include <string>
#include <string_view>

#include "components/scene/kova_base_list.h"
#include "components/widgets/kova_prop_motion.h"
#include "core/errors.h"
#include "core/vocabulary.h"
#include "script/call_man.h"
#include "script/command_table.h"
#include "script/commands.h"
#include "script/params.h"
#include "script/script_errors.h"
#include "script/script_ports.h"
#include "script/subsystem_commands.h"

namespace kova {

namespace {

// The play states of sounds and videos.
constexpr int32_t kPlaying = 0;
constexpr int32_t kFadingIn = 1;
constexpr int32_t kStopped = 2;
constexpr int32_t kFadingOut = 3;

// A source that names a CD audio track needs no game file.
bool IsCDTrack(std::string_view source) { return source.starts_with("CD_"); }

class TMovieStopBehaviour : public TCommandBehaviour {
 public:
  explicit TMovieStopBehaviour(TKovaBaseList& root) : root_(root) {}

  void Prepare(TCommand& command, TCallMan& callman) override {
    auto& stop = static_cast<TComMovieStop&>(command);
    stop.Hold = EvalFlag(stop.HoldExpr, callman, false) ? 1 : 0;
    stop.Wait = 0;
    stop.Target = {};
    stop.TargetName.clear();
    stop.Restored = false;
    stop.Scene = &callman.Ports().scene;
    const std::string name = EvalStr(stop.CompoName, callman, "");
    TKovaObject* target = name.empty() ? nullptr : ListedComponent(name);
    if (!target) return;
    const int32_t fade = EvalInt(stop.Fade, callman, 0);
    if (fade > 0) {
      const std::string source = target->GetSource();
      const int32_t state = target->GetPlayState();
      if (!IsCDTrack(source) && !callman.Ports().files.FileExists(source)) {
        target = nullptr;
      } else if (state == kPlaying || state == kFadingIn) {
        target->SetDelay(fade);
        target->SetPlayState(kFadingOut);
      } else {
        target = nullptr;
      }
    } else {
      target->SetPlayState(kStopped);
      target->RemoveFromOwner();
      target = nullptr;
    }
    if (target) stop.Target = target->Handle();
    if (const TCustomParam* wait = EvalExpr(stop.WaitExpr, callman)) stop.Wait = wait->GetFlag() ? 1 : 0;
  }

  void Execute(TCommand& command, TCallMan& callman, TPage*& /*page*/, int32_t& pc) override {
    auto& stop = static_cast<TComMovieStop&>(command);
    stop.Scene = &callman.Ports().scene;
    if (stop.Restored) {
      TKovaObject* found = stop.TargetName.empty() ? nullptr : ListedComponent(stop.TargetName);
      stop.Target = found ? found->Handle() : TObjectHandle{};
      stop.TargetName.clear();
      stop.Restored = false;
    }
    // The command stays while the faded component lives; the update pass frees it when it is done.
    if (stop.Target && stop.Wait && root_.Resolve(stop.Target)) return;
    ++pc;
  }

 private:
  // The component of that name in the root container's list; the screen layers are no media.
  TKovaObject* ListedComponent(std::string_view name) const {
    TKovaObject* c = root_.FindComponent(name);
    return root_.Contains(c) ? c : nullptr;
  }

  TKovaBaseList& root_;
};

void MediaPlay(TKovaBaseList& root, TCommand& command, TCallMan& callman, int32_t& pc) {
  auto& play = static_cast<TComMediaPlay&>(command);
  ++pc;
  const std::string name = EvalStr(play.CompoName, callman, "");
  if (name.empty()) return;
  if (TKovaObject* c = root.FindComponent(name)) c->Rewind();
}

void PropMotion(TKovaBaseList& root, TCommand& command, TCallMan& callman, int32_t& pc) {
  auto& cmd = static_cast<TComPropMotion&>(command);
  ++pc;
  auto* motion = dynamic_cast<TKovaPropMotion*>(root.CreateComponent(KT_PROPMOTION));
  if (!motion) return;
  if (const std::string name = EvalStr(cmd.MotionName, callman, ""); !name.empty()) motion->SetName(name);
  if (std::string target = EvalStr(cmd.TargetName, callman, ""); !target.empty()) {
    motion->SetTargetName(std::move(target));
  }
  const TCustomParam* id = EvalExpr(cmd.PropId, callman);
  if (!id) Raise<EScriptError>(TMsg::PropIdInvalid);
  motion->SetPropId(uint8_t(id->GetInt()));
  if (const TCustomParam* value = EvalExpr(cmd.Value, callman)) motion->SetEndValue(value->GetFloat());
  if (const TCustomParam* duration = EvalExpr(cmd.Duration, callman)) motion->SetMotionDuration(duration->GetInt());
  if (const TCustomParam* mode = EvalExpr(cmd.Mode, callman)) motion->SetMode(uint8_t(mode->GetInt()));
  if (const TCustomParam* paused = EvalExpr(cmd.Paused, callman)) motion->SetPaused(paused->GetFlag());
}

}  // namespace

void RegisterMediaCommands(TCommandTable& commands, TKovaBaseList& root) {
  commands.Register(TCommandKind::MovieStop, std::make_unique<TMovieStopBehaviour>(root));
  commands.Register(TCommandKind::MediaPlay,
                    [&root](TCommand& command, TCallMan& callman, TPage*&, int32_t& pc) {
                      MediaPlay(root, command, callman, pc);
                    });
  commands.Register(TCommandKind::PropMotion,
                    [&root](TCommand& command, TCallMan& callman, TPage*&, int32_t& pc) {
                      PropMotion(root, command, callman, pc);
                    });
}

}  // namespace kova
