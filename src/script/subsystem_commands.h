// The commands of the subsystems above the script engine (the scene, the text layer, media,
// motion, cabinets, the flip and the game save): their records are read here, so that every page
// loads. The creating commands run through the scene port (which creates every kind through the
// component factory), the text and history commands through the scene and history ports, the
// game save and load through the project port. The media, motion, flip and cabinet commands run
// the behaviour their subsystem registered in the interpreter's command table (command_table.h);
// without one they only advance pc.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/object_handle.h"
#include "script/commands.h"
#include "script/parser.h"

namespace kova {

class TScenePort;

// A command whose behaviour a subsystem registers: Prepare, Execute and Abandon run the
// interpreter's registered behaviour of the command's kind, or the base's (pc advances).
class TComRegistered : public TCommand {
 public:
  using TCommand::TCommand;
  void Prepare(TCallMan& callman) override;
  void Execute(TCallMan& callman, TPage*& page, int32_t& pc) override;
  void Abandon(TCallMan& callman) override;
};

// ---- Component commands ----

inline constexpr int32_t kPropIdCount = 159;  // PR_NAME (0) .. PR_MUTEONLOAD (158)

// Holds one expression per property id whose bit is set in the page's property set of the
// command's type; the record holds those expressions in increasing id.
class TComComponent : public TCommand {
 public:
  using TCommand::TCommand;
  void LoadFromStream(TStream& stream) override;
  // Advances pc and has the scene create the component and apply the properties.
  void Execute(TCallMan& callman, TPage*& page, int32_t& pc) override;
  // The expression of property id `id`, or nullptr when the page's set lacks it.
  TKovaParser* Prop(int32_t id) const {
    return id >= 0 && id < kPropIdCount ? props_[static_cast<size_t>(id)].get() : nullptr;
  }

 private:
  std::array<std::unique_ptr<TKovaParser>, kPropIdCount> props_;
};

class TComControl : public TComComponent {
 public:
  using TComComponent::TComComponent;
};

#define KOVA_COMPONENT_COMMAND(ClassName, Base, Kind)                             \
  class ClassName : public Base {                                                 \
   public:                                                                        \
    using Base::Base;                                                             \
    TCommandKind ComType() const override { return TCommandKind::Kind; }         \
  };

KOVA_COMPONENT_COMMAND(TComBoxNew, TComControl, BoxNew)
KOVA_COMPONENT_COMMAND(TComImgNew, TComControl, ImgNew)
KOVA_COMPONENT_COMMAND(TComMesNew, TComControl, MesNew)
KOVA_COMPONENT_COMMAND(TComTimer, TComComponent, Timer)
KOVA_COMPONENT_COMMAND(TComMovie, TComControl, Movie)
KOVA_COMPONENT_COMMAND(TComCinema, TComControl, Cinema)
KOVA_COMPONENT_COMMAND(TComCaption, TComControl, Caption)
KOVA_COMPONENT_COMMAND(TComMenu, TComControl, Menu)
KOVA_COMPONENT_COMMAND(TComBtnNew, TComControl, Button)
KOVA_COMPONENT_COMMAND(TComParticleNew, TComControl, ParticleNew)
KOVA_COMPONENT_COMMAND(TComFireNew, TComControl, FireNew)
KOVA_COMPONENT_COMMAND(TComSound, TComComponent, Sound)
KOVA_COMPONENT_COMMAND(TComEditNew, TComControl, EditNew)
KOVA_COMPONENT_COMMAND(TComMemoNew, TComControl, MemoNew)
KOVA_COMPONENT_COMMAND(TComMapImgNew, TComControl, MapImgNew)
KOVA_COMPONENT_COMMAND(TComWaveNew, TComControl, WaveNew)
KOVA_COMPONENT_COMMAND(TComTileNew, TComControl, TileNew)
KOVA_COMPONENT_COMMAND(TComSliderNew, TComControl, SliderNew)
KOVA_COMPONENT_COMMAND(TComScrollbarNew, TComControl, ScrollbarNew)
KOVA_COMPONENT_COMMAND(TComGaugeNew, TComControl, GaugeNew)
KOVA_COMPONENT_COMMAND(TComCGCaption, TComControl, CGCaption)
KOVA_COMPONENT_COMMAND(TComPrevMenuNew, TComControl, PrevMenuNew)

// SaveCabinet and LoadCabinet: the component record (the cabinet's name), an exclude expression
// and the name expressions.
class TComCabinet : public TComComponent {
 public:
  using TComComponent::TComComponent;
  void LoadFromStream(TStream& stream) override;
  // Cabinets are saved and restored by their own commands, not created: the registered behaviour
  // runs (see TComRegistered), without one pc advances.
  void Prepare(TCallMan& callman) override;
  void Execute(TCallMan& callman, TPage*& page, int32_t& pc) override;
  void Abandon(TCallMan& callman) override;
  TKovaParser Exclude;
  std::vector<std::unique_ptr<TKovaParser>> Names;
};

KOVA_COMPONENT_COMMAND(TComCabinetSave, TComCabinet, SaveCabinet)
KOVA_COMPONENT_COMMAND(TComCabinetLoad, TComCabinet, LoadCabinet)

#undef KOVA_COMPONENT_COMMAND

// ---- Text and history commands ----

// Shows its compiled text in the message window its name expression gives; with the wait flag
// it stays current until that window shows no text any more (queued events run meanwhile unless
// the hold flag is set).
class TComTextIns : public TCommand {
 public:
  using TCommand::TCommand;
  TCommandKind ComType() const override { return TCommandKind::TextIns; }
  bool HoldsEvents() const override { return Hold != 0; }
  bool AllowsEvents() const override { return Wait != 0; }
  void LoadFromStream(TStream& stream) override;
  void Prepare(TCallMan& callman) override;
  void Execute(TCallMan& callman, TPage*& page, int32_t& pc) override;
  void SaveState(TStream& stream) override;
  void LoadState(TStream& stream) override;
  // The compiled message text, kept for the command's whole life.
  std::string Text;
  TKovaParser Window;
  TKovaParser History;
  TKovaParser WaitExpr;
  TKovaParser HoldExpr;
  uint8_t Wait = 0;
  uint8_t Hold = 0;
  // The message window showing the text; its handle resolves to nothing once it is freed.
  TObjectHandle Target;
  // The target's name as the command found it; after a load the target is found by it when the
  // command next runs (Restored).
  std::string TargetName;
  bool Restored = false;
};

// Empties the named message window.
class TComTextClr : public TCommand {
 public:
  using TCommand::TCommand;
  TCommandKind ComType() const override { return TCommandKind::TextClr; }
  void LoadFromStream(TStream& stream) override;
  void Execute(TCallMan& callman, TPage*& page, int32_t& pc) override;
  TKovaParser Window;
};

// Shows a range of the message history in the named message window.
class TComCallHist : public TCommand {
 public:
  using TCommand::TCommand;
  TCommandKind ComType() const override { return TCommandKind::CallHist; }
  void LoadFromStream(TStream& stream) override;
  void Execute(TCallMan& callman, TPage*& page, int32_t& pc) override;
  TKovaParser Window;
  TKovaParser First;
  TKovaParser EntryCount;
  TKovaParser Flag;
};

// The FormatHist command.
class TComEntryHist : public TCommand {
 public:
  using TCommand::TCommand;
  TCommandKind ComType() const override { return TCommandKind::FormatHist; }
  // Copies the named component's font height, font border, font shadow, width, height and line
  // space into the history's layout settings; a name no component holds changes nothing.
  void Execute(TCallMan& callman, TPage*& page, int32_t& pc) override;
  void LoadFromStream(TStream& stream) override;
  TKovaParser CompoName;
};

// ---- Media and motion commands ----

// Stops or fades out the named component; with the wait flag it stays current until a faded
// component has been freed (queued events run meanwhile unless the hold flag is set).
class TComMovieStop : public TComRegistered {
 public:
  using TComRegistered::TComRegistered;
  TCommandKind ComType() const override { return TCommandKind::MovieStop; }
  bool HoldsEvents() const override { return Hold != 0; }
  bool AllowsEvents() const override { return Wait != 0; }
  void LoadFromStream(TStream& stream) override;
  // The tag "kova100", the target's name (empty when there is none or it is no longer a
  // component), the wait flag and the hold flag.
  void SaveState(TStream& stream) override;
  // The target is found by the loaded name when the command next runs (Restored).
  void LoadState(TStream& stream) override;
  TKovaParser CompoName;
  TKovaParser Fade;
  TKovaParser WaitExpr;
  TKovaParser HoldExpr;
  uint8_t Wait = 0;
  uint8_t Hold = 0;
  // The component fading out; its handle resolves to nothing once it is freed.
  TObjectHandle Target;
  // The name of the target after a load, until the command next runs.
  std::string TargetName;
  bool Restored = false;
  // The scene the target lives in (set when the command runs): the save asks it for the target's
  // name, while the target lives.
  const TScenePort* Scene = nullptr;
};

class TComMediaPlay : public TComRegistered {
 public:
  using TComRegistered::TComRegistered;
  TCommandKind ComType() const override { return TCommandKind::MediaPlay; }
  void LoadFromStream(TStream& stream) override;
  TKovaParser CompoName;
};

class TComPropMotion : public TComRegistered {
 public:
  using TComRegistered::TComRegistered;
  TCommandKind ComType() const override { return TCommandKind::PropMotion; }
  void LoadFromStream(TStream& stream) override;
  TKovaParser MotionName;
  TKovaParser TargetName;
  TKovaParser PropId;
  TKovaParser Value;
  TKovaParser Duration;
  TKovaParser Mode;
  TKovaParser Paused;
};

// ---- Flip ----

class TComFlip : public TComRegistered {
 public:
  using TComRegistered::TComRegistered;
  TCommandKind ComType() const override { return TCommandKind::Flip; }
  bool HoldsEvents() const override { return HoldFlag != 0; }
  // True when the length expression's last evaluation gave an integer above 0.
  bool AllowsEvents() const override;
  void LoadFromStream(TStream& stream) override;
  // The tag "kova100", the hold flag and the clear flag. The phase and the start time are not
  // kept: a flip restored by a load finds no transition running and completes within three runs.
  void SaveState(TStream& stream) override;
  void LoadState(TStream& stream) override;

  TKovaParser Kind;
  TKovaParser Length;
  TKovaParser Reverse;
  TKovaParser MoveMode;
  std::vector<std::unique_ptr<TKovaParser>> NameLists;
  TKovaParser Clear;
  int32_t StartTime = 0;
  TKovaParser Param0;
  TKovaParser Param1;
  TKovaParser Mask;
  TKovaParser HoldExpr;
  int32_t Phase = 0;
  uint8_t HoldFlag = 0;
  uint8_t ClearFlag = 0;
};

// ---- Game save and load ----

class TComGameSave : public TCommand {
 public:
  using TCommand::TCommand;
  TCommandKind ComType() const override { return TCommandKind::GameSave; }
  bool GetRunNext() const override { return false; }
  // Asks the project for a save, served after the frame's script step.
  void Execute(TCallMan& callman, TPage*& page, int32_t& pc) override;
  void LoadFromStream(TStream& stream) override;
  TKovaParser Slot;
  std::string ResumePage;
  int32_t ResumeIndex = 0;
  TKovaParser Caption;
};

class TComGameLoad : public TCommand {
 public:
  using TCommand::TCommand;
  TCommandKind ComType() const override { return TCommandKind::GameLoad; }
  bool GetRunNext() const override { return false; }
  // Asks the project for a load, served after the frame's script step.
  void Execute(TCallMan& callman, TPage*& page, int32_t& pc) override;
  void LoadFromStream(TStream& stream) override;
  TKovaParser Slot;
};

}  // namespace kova
