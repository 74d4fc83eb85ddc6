#include "script/param_system.h"

#include <array>
#include <numbers>

#include "script/call_man.h"
#include "script/datetime.h"
#include "script/param_collection.h"
#include "script/script_errors.h"
#include "script/script_ports.h"
#include "script/value_text.h"

namespace kova {
namespace {

using V = TSysVar;

constexpr int32_t kKeyElements = 258;

constexpr int32_t Id(V v) { return static_cast<int32_t>(v); }

struct TSysVarInfo {
  int8_t type;
  bool writable;
};

constexpr std::array<TSysVarInfo, kSysVarCount> kInfo = {{
    {PT_NONE, true},    // @Result
    {PT_BOOL, true},    // @LClick
    {PT_BOOL, true},    // @RClick
    {PT_BOOL, false},   // @LPush
    {PT_BOOL, false},   // @RPush
    {PT_INT, true},     // @MouseX
    {PT_INT, true},     // @MouseY
    {PT_INT, true},     // @TextDelay
    {PT_INT, false},    // @HistoryCount
    {PT_INT, false},    // @ParamCount
    {PT_STR, false},    // @ParamStr
    {PT_STR, false},    // @Sender
    {PT_INT, false},    // @ScrWidth
    {PT_INT, false},    // @ScrHeight
    {PT_INT, false},    // @TickCount
    {PT_INT, false},    // @PCTickCount
    {PT_INT, false},    // @UpdateCount
    {PT_INT, false},    // @Year
    {PT_INT, false},    // @Month
    {PT_INT, false},    // @Day
    {PT_INT, false},    // @Week
    {PT_INT, false},    // @Hour
    {PT_INT, false},    // @Min
    {PT_INT, false},    // @Sec
    {PT_STR, false},    // @Fonts
    {PT_STR, false},    // @FixedFonts
    {PT_BOOL, true},    // @FullScr
    {PT_STR, true},     // @Cursor
    {PT_STR, true},     // @SelStr
    {PT_INT, true},     // @SelIndex
    {PT_FLOAT, false},  // @Pi
    {PT_BOOL, true},    // @CGDither
    {PT_FLOAT, false},  // @1Hour
    {PT_FLOAT, false},  // @1Min
    {PT_FLOAT, false},  // @1Sec
    {PT_BOOL, false},   // @KeyPush
    {PT_BOOL, false},   // @KeyClick
    {PT_INT, false},    // @DisplayModeCount
    {PT_INT, true},     // @DisplayModeIndex
    {PT_STR, false},    // @Title
    {PT_BOOL, true},    // @SoundON
    {PT_STR, true},     // @ActiveCompo
    {PT_BOOL, false},   // @KeyRepeat
    {PT_INT, true},     // @HistoryMaxCount
    {PT_NONE, true},    // @Temp
    {PT_STR, true},     // @MidiPort
    {PT_STR, false},    // @MidiPorts
    {PT_BOOL, false},   // @WheelDown
    {PT_BOOL, false},   // @WheelUp
}};

// One hour, minute and second as date-time differences, rounded to double like every stored
// date-time value.
const long double kOneHour = TimeToValue(1, 0, 0, 0) - TimeToValue(0, 0, 0, 0);
const long double kOneMin = TimeToValue(0, 1, 0, 0) - TimeToValue(0, 0, 0, 0);
const long double kOneSec = TimeToValue(0, 0, 1, 0) - TimeToValue(0, 0, 0, 0);

int32_t ArgCount(const TCallMan* interpreter) { return interpreter ? interpreter->ArgCount() : 0; }

[[noreturn]] void RaiseInternal() { Raise<EScriptError>(TMsg::ParamInternalError); }

std::string JoinLines(const std::vector<std::string>& names) {
  std::string out;
  for (const std::string& n : names) {
    out += n;
    out += "\r\n";
  }
  return out;
}

}  // namespace

int32_t SysVarOwnType(int32_t id) {
  return (id >= 0 && id < kSysVarCount) ? int32_t(kInfo[static_cast<size_t>(id)].type) : int32_t(PT_NONE);
}

bool SysVarWritable(int32_t id) { return id >= 0 && id < kSysVarCount && kInfo[static_cast<size_t>(id)].writable; }

// ---- targets of "@Result" and "@Temp" ----

TCustomParam* TParamSystem::Target() const {
  if (SystemId == Id(V::Result)) {
    const TCallMan* interpreter = store_->Interpreter();
    return interpreter ? interpreter->ResultValue() : nullptr;
  }
  if (SystemId == Id(V::Temp)) {
    TParamCollectionItem* item = store_->TempItem();
    return item ? &item->Value() : nullptr;
  }
  return nullptr;
}

bool TParamSystem::IsArray() const {
  switch (static_cast<V>(SystemId)) {
    case V::KeyPush: case V::KeyClick: case V::KeyRepeat: case V::ParamStr: case V::MidiPorts:
      return true;
    default:
      return false;
  }
}

// ---- own-type reads ----

int32_t TParamSystem::ReadInt() const {
  const TScriptPorts& ports = store_->Ports();
  switch (static_cast<V>(SystemId)) {
    case V::MouseX: return ports.input.MouseX();
    case V::MouseY: return ports.input.MouseY();
    case V::TextDelay: return store_->Globals.TextDelay;
    case V::HistoryCount: return ports.history.HistoryCount();
    case V::ParamCount: return ArgCount(store_->Interpreter());
    case V::ScrWidth: return ports.project.ScreenWidth();
    case V::ScrHeight: return ports.project.ScreenHeight();
    case V::TickCount: return ports.clock.GameClock;
    case V::PCTickCount: return static_cast<int32_t>(ports.PCTickCount());
    case V::UpdateCount: return ports.clock.UpdateCount;
    case V::Year: return DecodeDateTime(ports.clock.Now).Year;
    case V::Month: return DecodeDateTime(ports.clock.Now).Month;
    case V::Day: return DecodeDateTime(ports.clock.Now).Day;
    case V::Week: return DecodeDateTime(ports.clock.Now).Week;
    case V::Hour: return DecodeDateTime(ports.clock.Now).Hour;
    case V::Min: return DecodeDateTime(ports.clock.Now).Min;
    case V::Sec: return DecodeDateTime(ports.clock.Now).Sec;
    case V::SelIndex: return store_->SelIndex;
    case V::DisplayModeCount: return ports.screen.HasScreenManager() ? ports.screen.DisplayModeCount() : 0;
    case V::DisplayModeIndex: return ports.screen.DisplayModeIndex();
    case V::HistoryMaxCount: return ports.history.HistoryMaxCount();
    default: RaiseInternal();
  }
}

long double TParamSystem::ReadFloat() const {
  switch (static_cast<V>(SystemId)) {
    case V::Pi: return std::numbers::pi_v<long double>;
    case V::OneHour: return kOneHour;
    case V::OneMin: return kOneMin;
    case V::OneSec: return kOneSec;
    default: RaiseInternal();
  }
}

bool TParamSystem::ReadFlag(int32_t i) const {
  const TScriptPorts& ports = store_->Ports();
  switch (static_cast<V>(SystemId)) {
    case V::LClick: return ports.input.LClick();
    case V::RClick: return ports.input.RClick();
    case V::LPush: return ports.input.LPush();
    case V::RPush: return ports.input.RPush();
    case V::FullScr: return ports.screen.HasScreenManager() && ports.screen.FullScreen();
    case V::CGDither: return ports.scene.CGDither();
    case V::SoundON: return ports.scene.SoundOn();
    case V::WheelDown: return ports.input.WheelDown();
    case V::WheelUp: return ports.input.WheelUp();
    case V::KeyPush: case V::KeyClick: case V::KeyRepeat: {
      if (i < 0 || i >= kKeyElements) return false;
      if (i == 256) return ports.input.WheelDown();
      if (i == 257) return ports.input.WheelUp();
      if (SystemId == Id(V::KeyPush)) return ports.input.KeyDown(i);
      if (SystemId == Id(V::KeyClick)) return ports.input.KeyPressed(i);
      return ports.input.KeyRepeat(i);
    }
    default: RaiseInternal();
  }
}

std::string TParamSystem::ReadStr(int32_t i) const {
  const TScriptPorts& ports = store_->Ports();
  switch (static_cast<V>(SystemId)) {
    case V::ParamStr: return i < 0 || !store_->Interpreter() ? std::string() : store_->Interpreter()->GetArg(i);
    case V::Sender: return store_->Interpreter() ? store_->Interpreter()->GetSenderName() : std::string();
    case V::Fonts: return JoinLines(ports.ListFonts(false));
    case V::FixedFonts: return JoinLines(ports.ListFonts(true));
    case V::Cursor: return store_->Globals.Cursor;
    case V::SelStr: return store_->SelStr;
    case V::Title: return ports.project.Title();
    case V::ActiveCompo: return ports.scene.ActiveCompo();
    case V::MidiPort: return ports.media.HasMidi() ? ports.media.MidiCurrentDevice() : std::string();
    case V::MidiPorts: {
      if (!ports.media.HasMidi()) return {};
      const int32_t k = i < 0 ? 0 : i;
      return k < ports.media.MidiDeviceCount() ? ports.media.MidiDeviceName(k) : std::string();
    }
    default: RaiseInternal();
  }
}

// ---- own-type writes (read-only ids ignore them) ----

void TParamSystem::WriteInt(int32_t v) {
  const TScriptPorts& ports = store_->Ports();
  switch (static_cast<V>(SystemId)) {
    case V::MouseX: ports.input.SetCursorX(v); return;
    case V::MouseY: ports.input.SetCursorY(v); return;
    case V::TextDelay: store_->Globals.TextDelay = v; return;
    case V::SelIndex: store_->SelIndex = v; return;
    case V::DisplayModeIndex:
      if (ports.screen.HasScreenManager()) ports.screen.ApplyFullScreenMode(v);
      return;
    case V::HistoryMaxCount: ports.history.SetHistoryMaxCount(v); return;
    default:
      if (SysVarOwnType(SystemId) == PT_INT) return;  // read-only
      RaiseInternal();
  }
}

void TParamSystem::WriteFlag(bool v) {
  const TScriptPorts& ports = store_->Ports();
  switch (static_cast<V>(SystemId)) {
    case V::LClick: ports.input.SetLClick(v); return;
    case V::RClick: ports.input.SetRClick(v); return;
    case V::FullScr:
      if (ports.screen.HasScreenManager() && ports.screen.FullScreen() != v) ports.screen.SetFullScreen(v);
      return;
    case V::CGDither: ports.scene.SetCGDither(v); return;
    case V::SoundON: ports.scene.SetSoundOn(v); return;
    default:
      if (SysVarOwnType(SystemId) == PT_BOOL) return;  // read-only
      RaiseInternal();
  }
}

void TParamSystem::WriteStr(std::string_view v) {
  const TScriptPorts& ports = store_->Ports();
  switch (static_cast<V>(SystemId)) {
    case V::Cursor: store_->Globals.Cursor.assign(v); return;
    case V::SelStr: store_->SelStr.assign(v); return;
    case V::ActiveCompo:
      if (!v.empty()) ports.scene.FocusCompo(v);
      return;
    case V::MidiPort:
      if (ports.media.HasMidi()) ports.media.MidiSelectDevice(v);
      return;
    default:
      if (SysVarOwnType(SystemId) == PT_STR) return;  // read-only
      RaiseInternal();
  }
}

// ---- conversions through the own type ----

int32_t TParamSystem::GetIntIdx(int32_t i) const {
  switch (SysVarOwnType(SystemId)) {
    case PT_INT: return ReadInt();
    case PT_FLOAT: return FloatToScriptInt(ReadFloat());
    case PT_BOOL: return ReadFlag(i) ? 1 : 0;
    case PT_STR: return ParseScriptInt(ReadStr(i));
    default: RaiseInternal();
  }
}

long double TParamSystem::GetFloatIdx(int32_t i) const {
  switch (SysVarOwnType(SystemId)) {
    case PT_INT: return ReadInt();
    case PT_FLOAT: return ReadFloat();
    case PT_BOOL: return ReadFlag(i) ? 1.0L : 0.0L;
    case PT_STR: return ParseScriptInt(ReadStr(i));  // a string system variable has no fraction
    default: RaiseInternal();
  }
}

bool TParamSystem::GetFlagIdx(int32_t i) const {
  switch (SysVarOwnType(SystemId)) {
    case PT_INT: return ReadInt() != 0;
    case PT_FLOAT: return ReadFloat() != 0.0L;
    case PT_BOOL: return ReadFlag(i);
    case PT_STR: return !ReadStr(i).empty();
    default: RaiseInternal();
  }
}

std::string TParamSystem::GetStrIdx(int32_t i) const {
  switch (SysVarOwnType(SystemId)) {
    case PT_INT: return IntToScriptStr(ReadInt());
    case PT_FLOAT: return FloatToScriptStr(ReadFloat());
    case PT_BOOL: return std::string(FlagToScriptStr(ReadFlag(i)));
    case PT_STR: return ReadStr(i);
    default: RaiseInternal();
  }
}

// ---- value operations ----

#define KOVA_FWD(expr, otherwise)       \
  if (IsForwarding()) {                 \
    TForwardGuard guard;                \
    if (TCustomParam* t = Target()) return expr; \
    return otherwise;                   \
  }

int32_t TParamSystem::TypeCode() const {
  KOVA_FWD(t->TypeCode(), PT_NONE);
  return SysVarOwnType(SystemId);
}

int32_t TParamSystem::Count() const {
  KOVA_FWD(t->Count(), 1);
  switch (static_cast<V>(SystemId)) {
    case V::KeyPush: case V::KeyClick: case V::KeyRepeat: return kKeyElements;
    case V::ParamStr: return ArgCount(store_->Interpreter());
    case V::MidiPorts: return store_->Ports().media.HasMidi() ? store_->Ports().media.MidiDeviceCount() : 0;
    default: return 1;
  }
}

void TParamSystem::SetCount(int32_t n) { KOVA_FWD(t->SetCount(n), void()); }

int32_t TParamSystem::DimCount() const {
  KOVA_FWD(t->DimCount(), 1);
  return 1;
}

int32_t TParamSystem::Dim(int32_t i) const {
  KOVA_FWD(t->Dim(i), 1);
  return i == 0 ? Count() : 1;
}

bool TParamSystem::GetFlag() const { KOVA_FWD(t->GetFlag(), false); return GetFlagIdx(-1); }
long double TParamSystem::GetFloat() const { KOVA_FWD(t->GetFloat(), 0.0L); return GetFloatIdx(-1); }
int32_t TParamSystem::GetInt() const { KOVA_FWD(t->GetInt(), 0); return GetIntIdx(-1); }
std::string TParamSystem::GetStr() const { KOVA_FWD(t->GetStr(), std::string()); return GetStrIdx(-1); }

// An element operation of a scalar system variable ignores the index.
int32_t TParamSystem::GetIntAt(int32_t i) const {
  KOVA_FWD(t->GetIntAt(i), 0);
  return GetIntIdx(IsArray() ? i : -1);
}
long double TParamSystem::GetFloatAt(int32_t i) const {
  KOVA_FWD(t->GetFloatAt(i), 0.0L);
  return GetFloatIdx(IsArray() ? i : -1);
}
bool TParamSystem::GetFlagAt(int32_t i) const {
  KOVA_FWD(t->GetFlagAt(i), false);
  return GetFlagIdx(IsArray() ? i : -1);
}
std::string TParamSystem::GetStrAt(int32_t i) const {
  KOVA_FWD(t->GetStrAt(i), std::string());
  return GetStrIdx(IsArray() ? i : -1);
}

void TParamSystem::SetInt(int32_t v) {
  KOVA_FWD(t->SetInt(v), void());
  switch (SysVarOwnType(SystemId)) {
    case PT_INT: WriteInt(v); return;
    case PT_FLOAT: return;  // every float system variable is read-only
    case PT_BOOL: WriteFlag(v != 0); return;
    case PT_STR: WriteStr(IntToScriptStr(v)); return;
    default: RaiseInternal();
  }
}

void TParamSystem::SetFloat(long double v) {
  KOVA_FWD(t->SetFloat(v), void());
  switch (SysVarOwnType(SystemId)) {
    case PT_INT: WriteInt(FloatToScriptInt(v)); return;
    case PT_FLOAT: return;
    case PT_BOOL: WriteFlag(v != 0.0L); return;
    case PT_STR: WriteStr(FloatToScriptStr(v)); return;
    default: RaiseInternal();
  }
}

void TParamSystem::SetFlag(bool v) {
  KOVA_FWD(t->SetFlag(v), void());
  switch (SysVarOwnType(SystemId)) {
    case PT_INT: WriteInt(v ? 1 : 0); return;
    case PT_FLOAT: return;
    case PT_BOOL: WriteFlag(v); return;
    case PT_STR: WriteStr(FlagToScriptStr(v)); return;
    default: RaiseInternal();
  }
}

// A string is parsed strictly for integer and float variables (nothing happens when that fails)
// and as an integer for flags (0 on failure, so "TRUE" is false).
void TParamSystem::SetStr(std::string_view v) {
  KOVA_FWD(t->SetStr(v), void());
  switch (SysVarOwnType(SystemId)) {
    case PT_INT: {
      int32_t n = 0;
      if (TryParseScriptInt(v, n)) WriteInt(n);
      return;
    }
    case PT_FLOAT: return;
    case PT_BOOL: WriteFlag(ParseScriptInt(v) != 0); return;
    case PT_STR: WriteStr(v); return;
    default: RaiseInternal();
  }
}

// Writing elements of the array-like variables does nothing; the other variables ignore the index.
void TParamSystem::SetIntAt(int32_t i, int32_t v) {
  KOVA_FWD(t->SetIntAt(i, v), void());
  if (!IsArray()) SetInt(v);
}
void TParamSystem::SetFloatAt(int32_t i, long double v) {
  KOVA_FWD(t->SetFloatAt(i, v), void());
  if (!IsArray()) SetFloat(v);
}
void TParamSystem::SetFlagAt(int32_t i, bool v) {
  KOVA_FWD(t->SetFlagAt(i, v), void());
  if (!IsArray()) SetFlag(v);
}
void TParamSystem::SetStrAt(int32_t i, std::string_view v) {
  KOVA_FWD(t->SetStrAt(i, v), void());
  if (!IsArray()) SetStr(v);
}

void TParamSystem::Assign(const TCustomParam& source) { KOVA_FWD(t->Assign(source), void()); }
void TParamSystem::SetDims(std::span<const int32_t> sizes) { KOVA_FWD(t->SetDims(sizes), void()); }
void TParamSystem::FillInt(int32_t v) { KOVA_FWD(t->FillInt(v), void()); }
void TParamSystem::FillFloat(long double v) { KOVA_FWD(t->FillFloat(v), void()); }
void TParamSystem::FillFlag(bool v) { KOVA_FWD(t->FillFlag(v), void()); }
void TParamSystem::FillStr(std::string_view v) { KOVA_FWD(t->FillStr(v), void()); }
void TParamSystem::CopyMem(const TCustomParam& source) { KOVA_FWD(t->CopyMem(source), void()); }
void TParamSystem::ResetDims() { KOVA_FWD(t->ResetDims(), void()); }

#undef KOVA_FWD

}  // namespace kova
