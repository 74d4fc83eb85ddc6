// The script engine's surroundings for tests: the ports of the layers above answer from public
// fields the test sets, and every call that changes the player is recorded in `calls` as text
// ("SetCursorX 5"). The project's answers (screen size, title, saved games, the existence test)
// come from fields too; the interpreter is a real one of the fake's own (SetArgs, PushResult), the
// frame clock and the fonts are the fake's own parts (Clock(), SetFonts), the platform clock a
// virtual one. Ports() is the bundle a store or interpreter under test is made with, Interpreter()
// the interpreter a store's system variables read. Header only.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/file_manager.h"
#include "platform/clock.h"
#include "platform/services.h"
#include "script/call_man.h"
#include "script/command_table.h"
#include "script/param_collection.h"
#include "script/params.h"
#include "script/script_ports.h"

namespace kova::test {

class FakeScriptHost : public TScenePort,
                       public TInputPort,
                       public TScreenPort,
                       public TMediaPort,
                       public THistoryPort,
                       public TProjectPort {
 public:
  // `files`: the game's file manager (nullptr: one of the fake's own, with no folder).
  explicit FakeScriptHost(TVrFileManager* files = nullptr)
      : ports_{*this, *this, *this, *this, *this, *this, services_, frame_clock_,
               log_, tables_, files ? *files : own_files_, random_} {
    services_.clock = &clock;
  }
  FakeScriptHost(const FakeScriptHost&) = delete;
  FakeScriptHost& operator=(const FakeScriptHost&) = delete;

  const TScriptPorts& Ports() const { return ports_; }
  const TCallMan& Interpreter() const { return interpreter_; }
  TFrameClock& Clock() { return frame_clock_; }

  // Project.
  int32_t screen_width = 640, screen_height = 480;
  std::string title;
  // Input.
  bool lclick = false, rclick = false, lpush = false, rpush = false, wheel_down = false, wheel_up = false;
  int32_t mouse_x = 0, mouse_y = 0;
  std::array<bool, 256> key_down{}, key_pressed{}, key_repeat{};
  // History.
  int32_t history_count = 0, history_max = 0;
  // Screen manager.
  bool has_screen = false, full_screen = false;
  int32_t mode_count = 0, mode_index = 0;
  // Root container.
  bool cg_dither = false, sound_on = true;
  std::string active_compo;
  // MIDI.
  bool has_midi = false;
  std::string midi_current;
  std::vector<std::string> midi_devices;

  // Components of the system functions: found by exact name, first in list order.
  struct Compo {
    std::string name;
    int32_t type = 0;
    std::string parent;  // empty: no parent
    int32_t left = 0, top = 0;
    bool primary = false;
    std::map<int32_t, std::string> props;  // property id -> value text
    std::vector<bool> checked, enabled;
    std::vector<std::string> items;  // preview-menu item names
  };
  std::vector<Compo> compos;
  // Project: names the existence test adds to the file manager's answer, or refuses.
  std::vector<std::string> project_files, project_refused;
  std::vector<TSaveCaption> saves;
  std::vector<TDisplayMode> modes;
  // Answers of the bitmap writers.
  bool layer_bitmap_ok = true, picture_bitmap_ok = true;

  std::vector<std::string> calls;
  // The platform clock ("@PCTickCount").
  plat::TVirtualClock clock;

  // ---- the parts of the host itself ----
  // The running call's arguments.
  void SetArgs(const std::vector<std::string>& args) {
    interpreter_.Args().Clear();
    for (const std::string& a : args) interpreter_.Args().Add(a);
  }
  // A called page's result value of that type (what "@Result" stands for).
  TCustomParam& PushResult(int32_t type) {
    TStack& frame = interpreter_.PushFrame();
    frame.Result = CreateParamByType(type);
    return *frame.Result;
  }
  // The installed fonts (UTF-8 names; all Japanese).
  void SetFonts(const std::vector<std::pair<std::string, bool>>& names_and_fixed) {
    std::vector<plat::TFontFamily> families;
    for (const auto& [name, fixed] : names_and_fixed) families.push_back({name, fixed, true});
    services_.no_fonts.SetFamilies(std::move(families));
  }
  plat::THeadlessServices& Services() { return services_; }

  // ---- project ----
  int32_t ScreenWidth() const override { return screen_width; }
  int32_t ScreenHeight() const override { return screen_height; }
  std::string Title() const override { return title; }
  std::vector<TSaveCaption> SaveCaptions() const override { return saves; }
  // The refused names do not exist, the added ones do; the file manager answers for the rest.
  std::optional<bool> FileExists(std::string_view name) const override {
    for (const std::string& f : project_refused) {
      if (f == name) return false;
    }
    for (const std::string& f : project_files) {
      if (f == name) return true;
    }
    return std::nullopt;
  }

  // ---- input ----
  bool LClick() const override { return lclick; }
  void SetLClick(bool v) override { lclick = v; Log("SetLClick", v); }
  bool RClick() const override { return rclick; }
  void SetRClick(bool v) override { rclick = v; Log("SetRClick", v); }
  bool LPush() const override { return lpush; }
  bool RPush() const override { return rpush; }
  int32_t MouseX() const override { return mouse_x; }
  int32_t MouseY() const override { return mouse_y; }
  bool WheelDown() const override { return wheel_down; }
  bool WheelUp() const override { return wheel_up; }
  bool KeyDown(int32_t k) const override { return Key(key_down, k); }
  bool KeyPressed(int32_t k) const override { return Key(key_pressed, k); }
  bool KeyRepeat(int32_t k) const override { return Key(key_repeat, k); }
  void SetCursorX(int32_t x) override { Log("SetCursorX", x); }
  void SetCursorY(int32_t y) override { Log("SetCursorY", y); }

  // ---- history ----
  int32_t HistoryCount() const override { return history_count; }
  int32_t HistoryMaxCount() const override { return history_max; }
  void SetHistoryMaxCount(int32_t n) override { history_max = n; Log("SetHistoryMaxCount", n); }

  // ---- screen ----
  bool HasScreenManager() const override { return has_screen; }
  bool FullScreen() const override { return full_screen; }
  void SetFullScreen(bool v) override { full_screen = v; Log("SetFullScreen", v); }
  int32_t DisplayModeCount() const override { return mode_count; }
  int32_t DisplayModeIndex() const override { return mode_index; }
  void ApplyFullScreenMode(int32_t i) override { mode_index = i; Log("ApplyFullScreenMode", i); }
  bool GetDisplayMode(int32_t i, TDisplayMode& mode) const override {
    if (i < 0 || i >= static_cast<int32_t>(modes.size())) return false;
    mode = modes[static_cast<size_t>(i)];
    return true;
  }

  // ---- media ----
  bool HasMidi() const override { return has_midi; }
  std::string MidiCurrentDevice() const override { return midi_current; }
  void MidiSelectDevice(std::string_view name) override { calls.push_back("MidiSelectDevice " + std::string(name)); }
  int32_t MidiDeviceCount() const override { return static_cast<int32_t>(midi_devices.size()); }
  std::string MidiDeviceName(int32_t i) const override {
    return (i >= 0 && i < MidiDeviceCount()) ? midi_devices[static_cast<size_t>(i)] : std::string();
  }

  // ---- scene ----
  bool CGDither() const override { return cg_dither; }
  void SetCGDither(bool v) override { cg_dither = v; Log("SetCGDither", v); }
  bool SoundOn() const override { return sound_on; }
  void SetSoundOn(bool v) override { sound_on = v; Log("SetSoundOn", v); }
  std::string ActiveCompo() const override { return active_compo; }
  void FocusCompo(std::string_view name) override { calls.push_back("FocusCompo " + std::string(name)); }

  Compo* FindCompo(std::string_view name) const {
    for (const Compo& c : compos) {
      if (c.name == name) return const_cast<Compo*>(&c);
    }
    return nullptr;
  }
  TKovaObject* FindComponent(std::string_view name) const override {
    return reinterpret_cast<TKovaObject*>(FindCompo(name));
  }
  int32_t CompoType(std::string_view name) const override {
    const Compo* c = FindCompo(name);
    return c ? c->type : -1;
  }
  bool GetProp(std::string_view name, int32_t id, TCustomParam& dest) override {
    Compo* c = FindCompo(name);
    if (!c) return false;
    dest.SetStr(c->props[id]);
    return true;
  }
  bool SetProp(std::string_view name, int32_t id, const TCustomParam& value) override {
    Compo* c = FindCompo(name);
    if (!c) return false;
    c->props[id] = value.GetStr();
    calls.push_back("SetProp " + std::string(name) + " " + std::to_string(id) + " " + value.GetStr());
    return true;
  }
  bool GetItemChecked(std::string_view name, int32_t index, bool& checked) override {
    return GetItem(name, index, &Compo::checked, checked);
  }
  bool SetItemChecked(std::string_view name, int32_t index, bool checked) override {
    return SetItem("SetItemChecked", name, index, &Compo::checked, checked);
  }
  bool GetItemEnabled(std::string_view name, int32_t index, bool& enabled) override {
    return GetItem(name, index, &Compo::enabled, enabled);
  }
  bool SetItemEnabled(std::string_view name, int32_t index, bool enabled) override {
    return SetItem("SetItemEnabled", name, index, &Compo::enabled, enabled);
  }
  int32_t PrevMenuItemIndex(std::string_view menu, std::string_view item) const override {
    const Compo* c = FindCompo(menu);
    if (!c) return -1;
    for (size_t i = 0; i < c->items.size(); ++i) {
      if (c->items[i] == item) return static_cast<int32_t>(i);
    }
    return -1;
  }
  bool ScreenToClient(std::string_view name, TPoint& p) const override { return Shift(name, p, -1); }
  bool ClientToScreen(std::string_view name, TPoint& p) const override { return Shift(name, p, 1); }
  std::vector<std::string> ComponentNames(int32_t type, std::optional<std::string_view> parent) const override {
    const Compo* owner = parent ? FindCompo(*parent) : nullptr;
    std::vector<std::string> names;
    for (const Compo& c : compos) {
      if (type != 0 && c.type != type) continue;
      if (parent && (owner ? c.parent != owner->name : !c.parent.empty())) continue;
      names.push_back(c.name);
    }
    return names;
  }
  bool InPrimary(std::string_view name) const override {
    const Compo* c = FindCompo(name);
    return c && c->primary;
  }
  bool SaveLayerBitmap(const std::string& host_path) override {
    calls.push_back("SaveLayerBitmap " + host_path);
    return layer_bitmap_ok;
  }
  bool SavePictureBitmap(std::string_view name, const std::string& host_path) override {
    calls.push_back("SavePictureBitmap " + std::string(name) + " " + host_path);
    return picture_bitmap_ok;
  }

 private:
  static bool Key(const std::array<bool, 256>& table, int32_t k) {
    return k >= 0 && k < 256 && table[static_cast<size_t>(k)];
  }
  bool GetItem(std::string_view name, int32_t index, std::vector<bool> Compo::*list, bool& out) {
    Compo* c = FindCompo(name);
    if (!c) return false;
    calls.push_back("GetItem " + std::string(name) + " " + std::to_string(index));
    const std::vector<bool>& v = c->*list;
    out = index >= 0 && index < static_cast<int32_t>(v.size()) && v[static_cast<size_t>(index)];
    return true;
  }
  bool SetItem(const char* what, std::string_view name, int32_t index, std::vector<bool> Compo::*list, bool value) {
    Compo* c = FindCompo(name);
    if (!c) return false;
    calls.push_back(std::string(what) + " " + std::string(name) + " " + std::to_string(index) + " " +
                    std::to_string(value ? 1 : 0));
    std::vector<bool>& v = c->*list;
    if (index >= 0 && index < static_cast<int32_t>(v.size())) v[static_cast<size_t>(index)] = value;
    return true;
  }
  bool Shift(std::string_view name, TPoint& p, int32_t sign) const {
    const Compo* c = FindCompo(name);
    if (!c) return false;
    p.X += sign * c->left;
    p.Y += sign * c->top;
    return true;
  }
  void Log(const char* what, int32_t v) { calls.push_back(std::string(what) + " " + std::to_string(v)); }

  plat::THeadlessServices services_;
  TFrameClock frame_clock_;
  TDebugLog log_;
  TDBManager tables_;
  TVrFileManager own_files_{TVrFileManagerOptions{{}, std::vector<std::string>{}, nullptr}};
  std::mt19937_64 random_{RandomSeed()};
  TScriptPorts ports_;
  TCommandTable commands_;
  plat::TSystemClock budget_clock_;
  // The interpreter whose call "@Result" and "@ParamStr" read; it works on a store of its own.
  TParamCollection interpreter_store_{ports_, &interpreter_};
  TCallMan interpreter_{interpreter_store_, ports_, commands_, nullptr, budget_clock_};
};

}  // namespace kova::test
