// System functions that reach the player: components through the scene port, game files
// through the virtual file system, the saved-game list and display modes, the desktop wallpaper
// and web addresses.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/desktop.h"
#include "core/file_manager.h"
#include "core/stream.h"
#include "core/vocabulary.h"
#include "platform/files/shell_open.h"
#include "platform/text/text_codec.h"
#include "script/param_collection.h"
#include "script/script_ports.h"
#include "script/sysfunc_procs.h"
#include "script/sysfunc_util.h"
#include "script/value_text.h"

namespace kova {

namespace sysfunc {
namespace {

// The component types ListCompo accepts; a type byte above this lists every type.
constexpr int32_t kLastCompoType = KT_CABINET;
constexpr std::string_view kWallpaperFile = "kovawall.bmp";

// The item index argument of GetEnabled / SetEnabled: a string given for a preview menu is a
// number when it reads as one, else the name of one of its items.
int32_t ItemIndex(const TSysCall& call) {
  const TCustomParam& arg = call.Arg(1);
  if (arg.TypeCode() == PT_STR) {
    const std::string name = call.Str(0);
    if (call.Ports().scene.CompoType(name) == KT_PREVMENU) {
      const std::string text = arg.GetStr();
      int32_t index = 0;
      return TryParseScriptInt(text, index) ? index : call.Ports().scene.PrevMenuItemIndex(name, text);
    }
  }
  return arg.GetInt();
}

enum class TConvert { ToClient, ToScreen };

// Converts (x, 0) or (0, y); without a component the coordinate comes back unchanged.
void ConvertPoint(TSysCall& call, TConvert how, bool y_axis) {
  const std::string name = call.Str(0);
  const int32_t v = call.Int(1);
  TPoint p{y_axis ? 0 : v, y_axis ? v : 0};
  const bool found = how == TConvert::ToClient ? call.Ports().scene.ScreenToClient(name, p) : call.Ports().scene.ClientToScreen(name, p);
  call.Dest().SetInt(found ? (y_axis ? p.Y : p.X) : v);
}

}  // namespace

void GetProp(TSysCall& call) { call.Ports().scene.GetProp(call.Str(0), call.Int(1), call.Dest().Value()); }
void SetProp(TSysCall& call) { call.Ports().scene.SetProp(call.Str(0), call.Int(1), call.Arg(2)); }

void Exists(TSysCall& call) {
  const std::string name = call.Str(0);
  call.Dest().SetFlag(!name.empty() && call.Ports().scene.FindComponent(name) != nullptr);
}

void GetCheck(TSysCall& call) {
  bool checked = false;
  if (call.Ports().scene.GetItemChecked(call.Str(0), call.Int(1), checked)) call.Dest().SetFlag(checked);
}

void SetCheck(TSysCall& call) { call.Ports().scene.SetItemChecked(call.Str(0), call.Int(1), call.Flag(2)); }

void GetEnabled(TSysCall& call) {
  bool enabled = false;
  if (call.Ports().scene.GetItemEnabled(call.Str(0), ItemIndex(call), enabled)) call.Dest().SetFlag(enabled);
}

void SetEnabled(TSysCall& call) { call.Ports().scene.SetItemEnabled(call.Str(0), ItemIndex(call), call.Flag(2)); }

// GetSaveCaption(slot): the caption listed for that slot, empty when none is.
void GetSaveCaption(TSysCall& call) {
  const int32_t slot = call.Int(0);
  std::string caption;
  for (const TSaveCaption& save : call.Ports().project.SaveCaptions()) {
    if (save.Slot == slot) {
      caption = save.Caption;
      break;
    }
  }
  call.Dest().SetStr(caption);
}

// ListSaveCaption([var captions [, var slots]]): the number of saved games; the arrays take the
// captions and slot numbers in list order (one empty element each when there is no save).
void ListSaveCaption(TSysCall& call) {
  const std::vector<TSaveCaption> saves = call.Ports().project.SaveCaptions();
  if (call.Has(0)) {
    std::vector<std::string> captions;
    for (const TSaveCaption& save : saves) captions.push_back(save.Caption);
    if (captions.empty()) captions.emplace_back();
    StoreStrings(call.Var(0), std::move(captions));
  }
  if (call.Has(1)) {
    TCustomParam& slots = call.Var(1);
    const int32_t size[] = {std::max<int32_t>(static_cast<int32_t>(saves.size()), 1)};
    slots.SetDims(size);
    if (saves.empty()) slots.SetIntAt(0, 0);
    for (size_t i = 0; i < saves.size(); ++i) slots.SetIntAt(static_cast<int32_t>(i), saves[i].Slot);
  }
  call.Dest().SetInt(static_cast<int32_t>(saves.size()));
}

// ListCompo(var v [, type [, parent]]): the names of the matching components; one empty name
// and 0 when none matches.
void ListCompo(TSysCall& call) {
  int32_t type = call.Has(1) ? (call.Int(1) & 0xFF) : 0;
  if (type > kLastCompoType) type = 0;
  std::optional<std::string> parent;
  if (call.Has(2)) parent = call.Str(2);
  std::vector<std::string> names =
      call.Ports().scene.ComponentNames(type, parent ? std::optional<std::string_view>(*parent) : std::nullopt);
  const auto count = static_cast<int32_t>(names.size());
  if (names.empty()) names.emplace_back();
  StoreStrings(call.Var(0), std::move(names));
  call.Dest().SetInt(count);
}

void ToClientX(TSysCall& call) { ConvertPoint(call, TConvert::ToClient, false); }
void ToClientY(TSysCall& call) { ConvertPoint(call, TConvert::ToClient, true); }
void ToScreenX(TSysCall& call) { ConvertPoint(call, TConvert::ToScreen, false); }
void ToScreenY(TSysCall& call) { ConvertPoint(call, TConvert::ToScreen, true); }

// IndexOfMenu(name, caption): the line of the component's trimmed text that equals caption under
// the code page's case fold; -1 when none or no component.
void IndexOfMenu(TSysCall& call) {
  const std::string caption = call.Str(1);
  TParamStr text;
  int32_t found = -1;
  if (call.Ports().scene.GetProp(call.Str(0), PR_TEXT, text)) {
    const std::string s = text.GetStr();
    size_t b = 0, e = s.size();
    while (b < e && static_cast<uint8_t>(s[b]) <= 32) ++b;
    while (e > b && static_cast<uint8_t>(s[e - 1]) <= 32) --e;
    const std::vector<std::string> lines = SplitLines(std::string_view(s).substr(b, e - b));
    for (size_t i = 0; i < lines.size(); ++i) {
      if (SjisSameText(lines[i], caption)) {
        found = static_cast<int32_t>(i);
        break;
      }
    }
  }
  call.Dest().SetInt(found);
}

// GetDisplayMode(i, var w, var h, var bits, var rate): True with the mode's values, else False
// and the variables unchanged.
void GetDisplayMode(TSysCall& call) {
  TDisplayMode mode;
  const bool found = call.Ports().screen.GetDisplayMode(call.Int(0), mode);
  if (found) {
    call.Var(1).SetInt(mode.Width);
    call.Var(2).SetInt(mode.Height);
    call.Var(3).SetInt(mode.Bits);
    call.Var(4).SetInt(mode.Rate);
  }
  call.Dest().SetFlag(found);
}

void InPrimary(TSysCall& call) {
  const std::string name = call.Str(0);
  call.Dest().SetFlag(!name.empty() && call.Ports().scene.InPrimary(name));
}

void FileExists(TSysCall& call) {
  const std::string name = call.Str(0);
  call.Dest().SetFlag(!name.empty() && call.Ports().files.FileExists(name));
}

// LoadTextFile(var v, name): the game file's lines (CR LF, LF or CR) into v; False when the
// project does not find the file or it holds no line.
void LoadTextFile(TSysCall& call) {
  const std::string name = call.Str(1);
  TVrFileManager& files = call.Ports().files;
  if (!call.Ports().GameFileExists(name)) {
    call.Dest().SetFlag(false);
    return;
  }
  TMemoryStream contents;
  files.LoadFile(contents, name);
  const std::span<const uint8_t> bytes = contents.Bytes();
  std::vector<std::string> lines =
      SplitLines(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  if (lines.empty()) {
    call.Dest().SetFlag(false);
    return;
  }
  StoreStrings(call.Var(0), std::move(lines));
  call.Dest().SetFlag(true);
}

// SetWallPaper(name, style): writes the active layer's picture (empty name) or the named game
// picture to "kovawall.bmp" in the player's data folder and asks the desktop to show it; the
// desktop's answer is the result. A picture that could not be written never reaches the desktop.
void SetWallPaper(TSysCall& call) {
  const std::string name = call.Str(0);
  const auto style = static_cast<uint8_t>(call.Int(1) & 0xFF);
  bool result = false;
  if (name.empty() || call.Ports().GameFileExists(name)) {
    if (const std::optional<std::string> folder = plat::UserDataFolder(true)) {
      const std::string path = *folder + std::string(kWallpaperFile);
      const bool written = name.empty() ? call.Ports().scene.SaveLayerBitmap(path) : call.Ports().scene.SavePictureBitmap(name, path);
      if (written) result = SetWallPaperImpl(*call.Ports().platform.wallpaper, path, style);
    }
  }
  call.Dest().SetFlag(result);
}

// OpenUrl(url): an address that begins with "http" or "ftp" (with regard to case) goes to the
// desktop's URL handler; other text is ignored.
void OpenUrl(TSysCall& call) {
  const std::string url = call.Str(0);
  if (url.starts_with("http") || url.starts_with("ftp")) call.Ports().platform.urls->OpenUrl(plat::Cp932ToUtf8(url));
}

}  // namespace sysfunc
}  // namespace kova
