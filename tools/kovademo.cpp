// kovademo: writes the demo game into a folder, for the player, kovarun and the end-to-end tests.
//
//   kovademo OUT_FOLDER
//   kovademo --help | -h                   this usage on standard output
//
// OUT_FOLDER/game.dat holds the project file "kova.kpb", the install set "install.dat", the
// pages and the pictures. The game (640 x 480): a title screen with four buttons, Settings, Start,
// Full screen (a window again when in full screen) and Quit; Start changes to the second scene,
// whose buttons are Back (to the title), Save (slot 1) and Load (slot 1); Settings to the settings
// screen: a slider sets the volume (0 .. 1000, kept in the variable "volume"), a menu the text
// speed ("@TextDelay"), and its button Done goes back to the title. Each button is a button
// component with its own picture (a face inside a border: a BMP file named "NAME.wxa", which an
// image set loads like a layered picture) and a notify handler ("on_NAME.ksb")
// that tells the start page's loop which button was clicked. The second scene also shows a
// message window: a story in Japanese and English, read by clicks (a click completes the page
// being revealed, the next one shows the next page), a choice of two links, and a History button
// that shows the end of the message history in the window. Everything is written with the
// fixture writers of the test suite.
//
// The places and colours below are what the end-to-end tests click and look for.
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <filesystem>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/replace_file.h"
#include "core/sjis.h"
#include "core/vocabulary.h"
#include "platform/text_codec.h"
#include "support/archive_builder.h"
#include "support/bmp_writer.h"
#include "support/demo_game.h"
#include "support/expr_builder.h"
#include "support/glyph_list_writer.h"
#include "support/install_set_builder.h"
#include "support/page_writer.h"
#include "support/project_writer.h"

namespace {

using namespace kova;
using namespace kova::test;
using E = ExprBuilder;
namespace demo = kova::test::demo;

std::string Text(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

// A colour reference ($00BBGGRR) of an 0xRRGGBB colour.
int32_t ColourRef(uint32_t rgb) { return int32_t((rgb >> 16 & 0xFF) | (rgb & 0xFF00) | (rgb & 0xFF) << 16); }

// "SetProp(the active layer, PR_COLOR, colour)".
ExprBuilder LayerColour(uint32_t rgb) {
  return ExprBuilder().Call(3, "____0", {S("BASE0"), I(8), I(ColourRef(rgb))});
}

// The demo's buttons: the name of the component (also of its picture and its handler page), the
// number its handler gives "clicked", where it is and on which scene it shows.
struct Button {
  const char* name;
  int32_t id;
  demo::Rect rect;
  int32_t scene;  // 0 the title, 1 the second scene
  const char* caption;
};
enum : int32_t { kStart = 1, kFullScreen, kQuit, kBack, kSave, kLoad, kSettings, kDone };
constexpr Button kButtons[] = {
    {"start", kStart, demo::kStartButton, 0, "Start"},
    {"fullscreen", kFullScreen, demo::kFullScreenButton, 0, "Full screen"},
    {"quit", kQuit, demo::kQuitButton, 0, "Quit"},
    {"back", kBack, demo::kBackButton, 1, "Back"},
    {"save", kSave, demo::kSaveButton, 1, "Save"},
    {"load", kLoad, demo::kLoadButton, 1, "Load"},
    {"settings", kSettings, demo::kSettingsButton, 0, "Settings"},
    {"done", kDone, demo::kDoneButton, 2, "Done"},
};

// The creating commands used.
constexpr int32_t kButtonType = 30, kMenuType = 25, kSliderType = 51, kLabelType = 24;
constexpr int32_t kMesType = 10;  // the message window's

// A button's picture: 24-bit BMP, the face inside the border.
std::vector<uint8_t> ButtonPicture(const demo::Rect& r) {
  BmpFields bmp;
  bmp.width = r.right - r.left;
  bmp.height = r.bottom - r.top;
  const int32_t b = demo::kButtonBorderWidth;
  for (int32_t y = 0; y < bmp.height; ++y) {
    for (int32_t x = 0; x < bmp.width; ++x) {
      const bool border = x < b || y < b || x >= bmp.width - b || y >= bmp.height - b;
      bmp.pixels.push_back(border ? demo::kButtonBorder : demo::kButtonFace);
    }
  }
  return BuildBmp(bmp);
}

void SetProp(PageWriter& p, const std::string& name, int32_t id, const Operand& v) {
  p.SetProp(Value(S(name)), Value(I(id)), Value(v));
}

// A button's caption: a label centred on it (its letters are half-width, half as wide as the font
// is high), hidden until its button shows, that the mouse passes through to the button.
constexpr int32_t kButtonFontHeight = 16;
void MakeButtonCaption(PageWriter& p, const std::string& button, const char* text, const demo::Rect& r) {
  const int32_t width = int32_t(std::strlen(text)) * kButtonFontHeight / 2;
  p.Component(kLabelType, {{PR_NAME, Value(S(button + "_caption"))}, {PR_TEXT, Value(S(text))},
                           {PR_LEFT, Value(I(r.left + (r.right - r.left - width) / 2))},
                           {PR_TOP, Value(I(r.top + (r.bottom - r.top - kButtonFontHeight) / 2))},
                           {PR_FONTHEIGHT, Value(I(kButtonFontHeight))},
                           {PR_FONTCOLOR, Value(I(ColourRef(0x202040)))}, {PR_ANTIALIAS, Value(B(true))},
                           {PR_IGNOREMOUSE, Value(I(IM_ALL))}, {PR_VISIBLE, Value(B(false))}});
}

// A picture of cells w x h side by side, each of one colour.
std::vector<uint8_t> CellsPicture(int32_t w, int32_t h, std::initializer_list<uint32_t> colours) {
  BmpFields bmp;
  bmp.width = w * int32_t(colours.size());
  bmp.height = h;
  for (int32_t y = 0; y < h; ++y) {
    for (uint32_t c : colours) bmp.pixels.insert(bmp.pixels.end(), size_t(w), c);
  }
  return BuildBmp(bmp);
}

// The volume slider's pictures: the track's two halves (empty, filled), the thumb's three cells
// and the step buttons' six (the lower button's three states, then the higher one's).
std::vector<uint8_t> TrackPicture() {
  return CellsPicture(demo::kTrackLength, demo::kTrackHeight, {demo::kTrackEmpty, demo::kTrackFilled});
}
std::vector<uint8_t> ThumbPicture() {
  const auto& c = demo::kThumbColours;
  return CellsPicture(demo::kThumbWidth, demo::kThumbHeight, {c[0], c[1], c[2]});
}
std::vector<uint8_t> StepPicture() {
  const auto& c = demo::kStepColours;
  return CellsPicture(demo::kStepSize, demo::kStepSize, {c[0], c[1], c[2], c[0], c[1], c[2]});
}

// The settings screen's volume slider, hidden until the screen shows; its handler keeps the value.
void SetUpVolume(PageWriter& p) {
  p.Component(kSliderType, {{PR_NAME, Value(S("volume_slider"))}, {PR_VISIBLE, Value(B(false))},
                            {PR_SOURCE, Value(S("volume_track.bmp"))}, {PR_THUMBSOURCE, Value(S("volume_thumb.bmp"))},
                            {PR_BUTTONSOURCE, Value(S("volume_steps.bmp"))}, {PR_LEFT, Value(I(demo::kVolumeLeft))},
                            {PR_TOP, Value(I(demo::kVolumeTop))}, {PR_MIN, Value(I(0))},
                            {PR_MAX, Value(I(demo::kVolumeMax))}, {PR_VALUE, Value(V("volume"))},
                            {PR_SMALLCHANGE, Value(I(demo::kVolumeStep))}, {PR_HANDLEKEY, Value(B(true))},
                            {PR_ONNOTIFY, Value(S("on_volume.ksb"))}});
}

// The text-speed menu of the settings screen: open while the screen shows, its items chosen by
// the mouse or the keys.
void OpenSpeedMenu(PageWriter& p) {
  p.Component(kMenuType, {{PR_NAME, Value(S("speed"))}, {PR_TEXT, Value(S(demo::kSpeedItems))},
                          {PR_LEFT, Value(I(demo::kSpeedLeft))}, {PR_TOP, Value(I(demo::kSpeedTop))},
                          {PR_FONTHEIGHT, Value(I(demo::kSpeedRowHeight))}, {PR_ROWCOUNT, Value(I(3))},
                          {PR_MARGINX, Value(I(demo::kSpeedMarginX))}, {PR_MARGINY, Value(I(demo::kSpeedMarginY))},
                          {PR_BORDERWIDTH, Value(I(demo::kSpeedBorder))},
                          {PR_BORDERCOLOR, Value(I(ColourRef(demo::kButtonBorder)))},
                          {PR_COLOR, Value(I(ColourRef(0x303040)))}, {PR_HOVERCOLOR, Value(I(ColourRef(0x5060A0)))},
                          {PR_FONTCOLOR, Value(I(ColourRef(0xF0F0F0)))}, {PR_HANDLEKEY, Value(B(true))},
                          {PR_ONSELECT, Value(S("on_speed.ksb"))}});
}

// The settings screen's captions, made when it shows and deleted when it goes.
struct Caption {
  const char* name;
  const char* text;
  int32_t top;
};
constexpr Caption kCaptions[] = {{"volume_caption", "Volume", demo::kVolumeTop + 2},
                                 {"speed_caption", "Text speed", demo::kSpeedTop + 8}};

void MakeCaptions(PageWriter& p) {
  for (const Caption& c : kCaptions) {
    p.Component(kLabelType, {{PR_NAME, Value(S(c.name))}, {PR_TEXT, Value(S(c.text))}, {PR_LEFT, Value(I(60))},
                               {PR_TOP, Value(I(c.top))}, {PR_FONTHEIGHT, Value(I(20))},
                               {PR_FONTCOLOR, Value(I(ColourRef(0xF0F0F0)))}, {PR_ANTIALIAS, Value(B(true))}});
  }
}

void DeleteCaptions(PageWriter& p) {
  for (const Caption& c : kCaptions) p.ObjDel(Value(S(c.name)));
}

// The slider's handler: "volume" := the slider's value.
std::vector<uint8_t> VolumePage() {
  PageWriter p;
  p.Calc(ExprBuilder().Call(2, "volume", {S("volume_slider"), I(PR_VALUE)}));  // GetProp
  return p.Bytes();
}

// The menu's handler: "@TextDelay" := 90, 50 or 10 for the item chosen (0, 1, 2).
std::vector<uint8_t> SpeedPage() {
  static_assert(demo::kTextDelays[0] == 90 && demo::kTextDelays[1] == 50 && demo::kTextDelays[2] == 10);
  PageWriter p;
  p.Calc(ExprBuilder()
             .Op(E::Minus, "____0", {I(2), V("@SelIndex")})
             .Op(E::Mul, "____1", {V("____0"), I(40)})
             .Op(E::Plus, "____2", {V("____1"), I(10)})
             .Op(E::To, "@TextDelay", {V("____2")}));
  return p.Bytes();
}

// ---- The message window of the second scene ----

// A compiled message text: the UTF-8 lines in code page 932, one character every 40 ms.
std::string MessageText(std::initializer_list<const char*> lines) {
  GlyphListWriter w(102);  // the newest stored form of glyph lists
  w.Decorate({});
  size_t n = 0;
  for (const char* line : lines) {
    const std::string sj = plat::Utf8ToCp932(line);
    for (size_t i = 0; i < sj.size(); ++i) {
      const bool lead = IsSjisLeadByte(sj[i]) && i + 1 < sj.size();
      w.Char(lead ? uint16_t(uint8_t(sj[i]) << 8 | uint8_t(sj[i + 1])) : uint8_t(sj[i]), 0, 40);
      if (lead) ++i;
    }
    if (++n < lines.size()) w.Return();
  }
  return Text(w.Bytes());
}

void MesProp(PageWriter& p, int32_t id, const Operand& v) { SetProp(p, "mes", id, v); }

// "TextIns" of a text into the window, recorded for the history and the read marks.
void ShowText(PageWriter& p, const std::string& text) { p.TextIns(text, Value(S("mes")), Yes(), NoResult()); }

// The message window and the History button, hidden until the second scene shows.
void SetUpMessage(PageWriter& p) {
  const demo::Rect& r = demo::kMessageWindow;
  p.VarNew("story", 1, Value(I(0)));
  p.VarNew("page_done", 1, Value(I(0)));
  p.VarNew("history_first", 1, Value(I(0)));
  p.Component(kMesType, {{PR_NAME, Value(S("mes"))}});
  for (const auto& [id, v] : {std::pair{PR_LEFT, r.left}, {PR_TOP, r.top}, {PR_WIDTH, r.right - r.left},
                              {PR_HEIGHT, r.bottom - r.top}, {PR_FONTHEIGHT, demo::kMessageFontHeight},
                              {PR_FONTCOLOR, ColourRef(demo::kMessageColour)},
                              {PR_FONTLINKCOLOR, ColourRef(demo::kLinkColour)},
                              {PR_FONTHOVERCOLOR, ColourRef(demo::kLinkHoverColour)}}) {
    MesProp(p, id, I(v));
  }
  MesProp(p, PR_FONTNAME, S(plat::Utf8ToCp932("ＭＳ ゴシック")));
  MesProp(p, PR_VISIBLE, B(false));
  MesProp(p, PR_ONPLAYSTART, S("on_mes_start.ksb"));
  MesProp(p, PR_ONPLAYEND, S("on_mes_end.ksb"));
  MesProp(p, PR_ONLBTNDOWN, S("on_mes.ksb"));
  MesProp(p, PR_ONLINK, S("on_mes_link.ksb"));
  p.FormatHist(Value(S("mes")));  // the history lays its pages out as the window does
  p.Component(kButtonType, {{PR_NAME, Value(S("history"))}});
  SetProp(p, "history", PR_SOURCE, S("history.wxa"));
  SetProp(p, "history", PR_LEFT, I(demo::kHistoryButton.left));
  SetProp(p, "history", PR_TOP, I(demo::kHistoryButton.top));
  SetProp(p, "history", PR_VISIBLE, B(false));
  SetProp(p, "history", PR_ONNOTIFY, S("on_history.ksb"));
  MakeButtonCaption(p, "history", "History", demo::kHistoryButton);
}

// The window and its button show with the second scene, which starts the story again.
void ShowMessage(PageWriter& p, int32_t scene) {
  MesProp(p, PR_VISIBLE, B(scene == 1));
  SetProp(p, "history", PR_VISIBLE, B(scene == 1));
  SetProp(p, "history_caption", PR_VISIBLE, B(scene == 1));
  if (scene != 1) return;
  p.Calc(Assign("story", I(0)));
  MesProp(p, PR_TEXTDELAY, I(256));
  ShowText(p, MessageText({"ようこそ、コーヴァの世界へ。", "Welcome to the world of Kova.", "ここは小さな港町。",
                           "This is a small harbour town.", "道が二つに分かれている。", "The road splits in two."}));
}

ExprBuilder Equals(const char* var, int32_t v) { return Compare(E::Equal, V(var), I(v)); }

// A click on the window: the page being revealed is completed at once; a page shown whole gives
// way to the next; after the last page the story goes on (the choice, or the ending).
std::vector<uint8_t> MessageClickPage() {
  PageWriter p;
  p.If(Equals("page_done", 0));
  MesProp(p.Indent(1), PR_TEXTDELAY, I(0));
  p.Indent(0).Else();
  MesProp(p.Indent(1), PR_TEXTDELAY, I(256));
  p.GetProp(Value(S("mes")), Value(I(PR_INDEX)), "mes_index");
  p.GetProp(Value(S("mes")), Value(I(PR_COUNT)), "mes_count");
  p.Calc(Step("mes_index", E::Plus, I(1)));
  p.If(Compare(E::Small, V("mes_index"), V("mes_count")));
  MesProp(p.Indent(2), PR_INDEX, V("mes_index"));
  p.Indent(1).Elseif(Equals("story", 0));
  p.Indent(2).Calc(Assign("story", I(1)));
  MesProp(p, PR_TEXT, S(plat::Utf8ToCp932("<A HREF=\"sea\">海へ行く  Go to the sea</A><BR>"
                                          "<A HREF=\"hill\">丘へ登る  Climb the hill</A>")));
  p.Indent(1).Elseif(Equals("story", 2));
  p.Indent(2).Calc(Assign("story", I(3)));
  ShowText(p, MessageText({"ここまでがデモです。", "That is the end of the demo.", "History で読み返せます。",
                           "Press History to read it all again."}));
  return p.Bytes();
}

// A link of the choice: its first HREF line names the way taken.
std::vector<uint8_t> MessageLinkPage() {
  PageWriter p;
  ExprBuilder way;
  way.Op(E::DimTo, "____0", {V("@ParamStr"), I(1)}).Op(E::Equal, "____1", {V("____0"), S("sea")});
  way.Result(V("____1"));
  p.Calc(Assign("story", I(2)));
  p.If(way);
  ShowText(p.Indent(1), MessageText({"波の音が聞こえる。", "You hear the waves."}));
  p.Indent(0).Else();
  ShowText(p.Indent(1), MessageText({"町が小さく見える。", "The town looks small below."}));
  return p.Bytes();
}

std::vector<uint8_t> FlagPage(const char* var, int32_t v) {
  PageWriter p;
  p.Calc(Assign(var, I(v)));
  return p.Bytes();
}

// The History button: the last window's height of the history (its count is in pixels), shown
// whole at once.
std::vector<uint8_t> HistoryPage() {
  const int32_t height = demo::kMessageWindow.bottom - demo::kMessageWindow.top;
  PageWriter p;
  ExprBuilder first;
  first.Op(E::Minus, "history_first", {V("@HistoryCount"), I(height)});
  p.Calc(first);
  p.CallHist(Value(S("mes")), Value(V("history_first")), Value(I(height)), No());
  MesProp(p, PR_TEXTDELAY, I(0));
  return p.Bytes();
}

void AddMessagePages(ArchiveBuilder& archive) {
  archive.Add("on_mes.ksb", Text(MessageClickPage()));
  archive.Add("on_mes_link.ksb", Text(MessageLinkPage()));
  archive.Add("on_mes_start.ksb", Text(FlagPage("page_done", 0)));
  archive.Add("on_mes_end.ksb", Text(FlagPage("page_done", 1)));
  archive.Add("on_history.ksb", Text(HistoryPage()));
  archive.Add("history.wxa", Text(ButtonPicture(demo::kHistoryButton)));
}

// Creates every button, each at its place with its picture and its handler.
void SetUp(PageWriter& p) {
  for (const Button& b : kButtons) {
    const std::string name = b.name;
    p.Component(kButtonType, {{PR_NAME, Value(S(name))}});
    SetProp(p, name, PR_SOURCE, S(name + ".wxa"));
    SetProp(p, name, PR_LEFT, I(b.rect.left));
    SetProp(p, name, PR_TOP, I(b.rect.top));
    SetProp(p, name, PR_ONNOTIFY, S("on_" + name + ".ksb"));
    MakeButtonCaption(p, name, b.caption, b.rect);
  }
  SetUpMessage(p);
}

// Shows a scene (0 the title, 1 the second scene, 2 the settings): its background and only its
// buttons and controls.
void Show(PageWriter& p, int32_t scene) {
  p.Calc(LayerColour(scene == 0 ? demo::kTitleColour : scene == 1 ? demo::kSceneColour : demo::kSettingsColour));
  for (const Button& b : kButtons) {
    SetProp(p, b.name, PR_VISIBLE, B(b.scene == scene));
    SetProp(p, std::string(b.name) + "_caption", PR_VISIBLE, B(b.scene == scene));
  }
  SetProp(p, "volume_slider", PR_VISIBLE, B(scene == 2));
  ShowMessage(p, scene);
}

// A button's handler: tells the start page which button was clicked.
std::vector<uint8_t> HandlerPage(int32_t id) {
  PageWriter p;
  p.Calc(Assign("clicked", I(id)));
  return p.Bytes();
}

ExprBuilder Is(int32_t id) { return Compare(E::Equal, V("choice"), I(id)); }

// The start page: sets the buttons up, shows the title, then waits for a button's handler and
// does what the button asks. `end` is the index after the main loop (the page is written twice:
// once to learn it).
std::vector<uint8_t> StartPage(int32_t end = 0) {
  ExprBuilder toggle;  // @FullScr := (@FullScr = 0)
  toggle.Op(E::Equal, "____0", {V("@FullScr"), I(0)}).Op(E::To, "@FullScr", {V("____0")});
  PageWriter p;
  p.VarNew("clicked", 1, Value(I(0)));
  p.VarNew("choice", 1, Value(I(0)));
  p.VarNew("volume", 1, Value(I(demo::kVolumeMax)));
  SetUp(p);
  SetUpVolume(p);
  Show(p, 0);
  const int32_t loop = p.Next();
  p.While(Yes(), end);
  const int32_t wait = p.Next();
  p.Indent(1).While(Compare(E::Equal, V("clicked"), I(0)), wait + 3);
  p.Indent(2).Wait(NoResult(), Value(I(16)));
  p.Indent(1).WhileLoop(NoResult(), wait);
  p.Calc(Assign("choice", V("clicked")));
  p.Calc(Assign("clicked", I(0)));
  p.If(Is(kStart));
  Show(p.Indent(2), 1);
  p.Indent(1).Elseif(Is(kFullScreen));
  p.Indent(2).Calc(toggle);
  p.Indent(1).Elseif(Is(kQuit));
  p.Indent(2).Terminate();
  p.Indent(1).Elseif(Is(kBack));
  Show(p.Indent(2), 0);
  p.Indent(1).Elseif(Is(kSave));
  p.Indent(2).GameSave(Value(I(1)), "", 0, Value(S("Demo")));
  p.Indent(1).Elseif(Is(kLoad));
  p.Indent(2).GameLoad(Value(I(1)));
  p.Indent(1).Elseif(Is(kSettings));
  Show(p.Indent(2), 2);
  MakeCaptions(p);
  OpenSpeedMenu(p);
  p.Indent(1).Elseif(Is(kDone));
  p.Indent(2).MenuClose(Value(S("speed")));
  DeleteCaptions(p);
  Show(p, 0);
  p.Indent(0).WhileLoop(NoResult(), loop);
  return end == p.Next() ? p.Bytes() : StartPage(p.Next());
}

ArchiveBuilder DemoArchive() {
  ProjectBuilder project;
  project.title = "\x83\x66\x83\x82\x83\x51\x81\x5B\x83\x80";  // "デモゲーム"
  project.start_page = "start.ksb";
  project.screen_width = demo::kWidth;
  project.screen_height = demo::kHeight;
  project.value1 = demo::kWidth;  // the preferred full-screen size
  project.value2 = demo::kHeight;
  project.frame_pacing = 1;

  InstallSetBuilder install;
  install.version = 107;
  install.game_key = "KOVA-DEMO";
  install.complete = 1;

  ArchiveBuilder archive;
  archive.Add("kova.kpb", Text(project.Build()));
  archive.Add("install.dat", Text(install.Build()));
  archive.Add("start.ksb", Text(StartPage()));
  for (const Button& b : kButtons) {
    archive.Add("on_" + std::string(b.name) + ".ksb", Text(HandlerPage(b.id)));
    archive.Add(std::string(b.name) + ".wxa", Text(ButtonPicture(b.rect)));
  }
  archive.Add("on_volume.ksb", Text(VolumePage()));
  archive.Add("on_speed.ksb", Text(SpeedPage()));
  archive.Add("volume_track.bmp", Text(TrackPicture()));
  archive.Add("volume_thumb.bmp", Text(ThumbPicture()));
  archive.Add("volume_steps.bmp", Text(StepPicture()));
  AddMessagePages(archive);
  return archive;
}

constexpr const char* kUsage =
    "usage: kovademo OUT_FOLDER\n"
    "  writes the demo game into OUT_FOLDER/game.dat (the folder is made when missing;\n"
    "  \"--\" before a folder whose name starts with \"-\")\n"
    "  -h, --help  show this and end\n";

}  // namespace

int main(int argc, char** argv) {
  // One folder; an option other than the help is refused, so that no folder is named after it.
  std::vector<std::string> folders;
  bool options_end = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (!options_end && (arg == "--help" || arg == "-h")) {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (!options_end && arg == "--") {
      options_end = true;
    } else if (!options_end && arg.starts_with("-")) {
      std::fprintf(stderr, "kovademo: unknown option %s\n", arg.c_str());
      folders.clear();
      break;
    } else {
      folders.push_back(arg);
    }
  }
  if (folders.size() != 1) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const std::string folder = folders.front();
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) {
    std::fprintf(stderr, "kovademo: %s: %s\n", folder.c_str(), ec.message().c_str());
    return 1;
  }
  const std::vector<uint8_t> bytes = DemoArchive().Build();
  const std::string path = folder + "/game.dat";
  try {
    // A new file beside the old one, renamed over it once whole: an existing game.dat (or a link
    // in its place) is never truncated or written through.
    kova::ReplaceFileContents(path, bytes);
  } catch (const kova::EKovaError& e) {
    std::fprintf(stderr, "kovademo: %s: %s\n", path.c_str(), kova::plat::Cp932ToUtf8(e.Message()).c_str());
    return 1;
  }
  std::printf("kovademo: wrote %s (%zu bytes)\n", path.c_str(), bytes.size());
  return 0;
}
