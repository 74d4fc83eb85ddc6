// kovademo: writes the demo game into a folder, for the player, kovarun and the end-to-end tests.
//
//   kovademo OUT_FOLDER
//   kovademo --help | -h                   this usage on standard output
//
// OUT_FOLDER/game.dat holds the project file "kova.kpb", the install set "install.dat", the
// pages and the pictures. The game (640 x 480): a title screen with four buttons, Settings, Start,
// Full screen (its caption "Window" while in full screen) and Quit; Start changes to the second
// scene, whose buttons are Back (to the title), Save (slot 1) and Load (slot 1), each leaving a
// short notice; Settings to the settings screen: a slider sets the volume (0 .. 1000, kept in the
// variable "volume"; Left and Right step it), a menu the text speed ("@TextDelay"; Up and Down
// step it, and the screen names the speed in use), and its button Done (or Escape) goes back to
// the title. Music loops from the start (at the slider's volume) and every button clicks. Each
// button is a button component with its own picture (a face inside a border: a BMP
// file named "NAME.wxa", which an image set loads like a layered picture) and a notify handler
// ("on_NAME.ksb") that tells the start page's loop which button was clicked. The second scene
// also shows a message window: a story in Japanese, one page per text, its English lines in a
// caption over the window (drawn proportionally: the window's square cells would letter-space
// them), read by clicks, Enter or Space (the first completes the page being revealed, the next
// shows the next page), at the text speed chosen; a choice of two links; and a History button
// (or the wheel, or Up) that shows the newest window's height of the message history, which the
// wheel (or Up and Down) pages through; a click, Enter, Space, Escape or the button goes back to
// the page being read.
// Escape on the story goes back to the title. Each change of scene goes through a screen
// transition of its own (see demo_game.h): the next scene is made on the hidden layer and the flip
// command shows it. Everything is written with the fixture writers of the test suite.
//
// The places and colours below are what the end-to-end tests click and look for.
#include <algorithm>
#include <cmath>
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
#include "platform/text/text_codec.h"
#include "support/archive_builder.h"
#include "support/bmp_writer.h"
#include "support/demo_game.h"
#include "support/expr_builder.h"
#include "support/film_writer.h"
#include "support/glyph_list_writer.h"
#include "support/install_set_builder.h"
#include "support/page_writer.h"
#include "support/project_writer.h"
#include "support/sound_writer.h"
#include "support/video_writer.h"

namespace {

using namespace kova;
using namespace kova::test;
using E = ExprBuilder;
namespace demo = kova::test::demo;

std::string Text(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

// A colour reference ($00BBGGRR) of an 0xRRGGBB colour.
int32_t ColourRef(uint32_t rgb) { return int32_t((rgb >> 16 & 0xFF) | (rgb & 0xFF00) | (rgb & 0xFF) << 16); }

// "SetProp(the active layer, PR_COLOR, colour)" ("BASE1": the hidden layer).
ExprBuilder LayerColour(uint32_t rgb, const char* layer = "BASE0") {
  return ExprBuilder().Call(3, "____0", {S(layer), I(8), I(ColourRef(rgb))});
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
constexpr int32_t kSoundType = 42;
constexpr int32_t kMovieType = 12;

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

// Every caption is drawn in the proportional Gothic face, under which English
// reads naturally.
const std::string& CaptionFace() {
  static const std::string face = plat::Utf8ToCp932("ＭＳ Ｐゴシック");
  return face;
}

// "SetProp(name, PR_TEXT, text)", then the label centred at (x, its top) by its
// width as laid out.
void CentreCaption(PageWriter& p, const std::string& label, const char* text, int32_t centre_x) {
  SetProp(p, label, PR_TEXT, S(text));
  p.GetProp(Value(S(label)), Value(I(PR_WIDTH)), "caption_width");
  p.Calc(ExprBuilder()
             .Op(E::Div, "____0", {V("caption_width"), I(2)})
             .Op(E::Minus, "____1", {I(centre_x), V("____0")})
             .Op(E::To, "caption_left", {V("____1")}));
  SetProp(p, label, PR_LEFT, V("caption_left"));
}

// A button's caption: a label centred on it, hidden until its button shows,
// that the mouse passes through to the button.
constexpr int32_t kButtonFontHeight = 16;
void MakeButtonCaption(PageWriter& p, const std::string& button, const char* text, const demo::Rect& r) {
  const std::string label = button + "_caption";
  p.Component(kLabelType, {{PR_NAME, Value(S(label))},
                           {PR_TOP, Value(I(r.top + (r.bottom - r.top - kButtonFontHeight) / 2))},
                           {PR_FONTHEIGHT, Value(I(kButtonFontHeight))},
                           {PR_FONTCOLOR, Value(I(ColourRef(0x202040)))},
                           {PR_ANTIALIAS, Value(B(true))},
                           {PR_IGNOREMOUSE, Value(I(IM_ALL))},
                           {PR_VISIBLE, Value(B(false))}});
  SetProp(p, label, PR_FONTNAME, S(CaptionFace()));
  CentreCaption(p, label, text, r.CentreX());
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

// The volume slider's pictures: the track's two halves (empty, filled), the
// thumb's three cells and the step buttons' six (the lower button's three
// states, then the higher one's).
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

ExprBuilder Equals(const char* var, int32_t v) { return Compare(E::Equal, V(var), I(v)); }

// "@KeyClick(vk)": a press of the key is latched for this frame.
ExprBuilder KeyClicked(int32_t vk) {
  return ExprBuilder().Op(E::DimTo, "____0", {V("@KeyClick"), I(vk)}).Result(V("____0"));
}
ExprBuilder KeyClicked(int32_t vk, int32_t other) {
  return ExprBuilder()
      .Op(E::DimTo, "____0", {V("@KeyClick"), I(vk)})
      .Op(E::DimTo, "____1", {V("@KeyClick"), I(other)})
      .Op(E::Or, "____2", {V("____0"), V("____1")})
      .Result(V("____2"));
}

// The settings screen's volume slider, hidden until the screen shows; its
// handler keeps the value. It holds the keyboard on that screen: Left and Right
// step the volume, and its key handler takes Up and Down for the text speed and
// Escape for Done.
void SetUpVolume(PageWriter& p) {
  p.Component(kSliderType, {{PR_NAME, Value(S("volume_slider"))},
                            {PR_VISIBLE, Value(B(false))},
                            {PR_SOURCE, Value(S("volume_track.bmp"))},
                            {PR_THUMBSOURCE, Value(S("volume_thumb.bmp"))},
                            {PR_BUTTONSOURCE, Value(S("volume_steps.bmp"))},
                            {PR_LEFT, Value(I(demo::kVolumeLeft))},
                            {PR_TOP, Value(I(demo::kVolumeTop))},
                            {PR_MIN, Value(I(0))},
                            {PR_MAX, Value(I(demo::kVolumeMax))},
                            {PR_VALUE, Value(V("volume"))},
                            {PR_SMALLCHANGE, Value(I(demo::kVolumeStep))},
                            {PR_HANDLEKEY, Value(B(true))},
                            {PR_ONNOTIFY, Value(S("on_volume.ksb"))}});
  SetProp(p, "volume_slider", PR_ONKEYDOWN, S("on_settings_key.ksb"));
}

// The text-speed menu of the settings screen: opened on the hidden layer as the screen is made
// and open while it shows, its
// items chosen by the mouse (the keys choose the speed through the slider's key
// handler: a menu lights no item until the pointer or a first key reaches it,
// so a key press would only light "Slow").
void OpenSpeedMenu(PageWriter& p) {
  p.Component(kMenuType, {{PR_NAME, Value(S("speed"))},
                          {PR_PARENT, Value(S("\x01"))},  // the hidden layer
                          {PR_TEXT, Value(S(demo::kSpeedItems))},
                          {PR_LEFT, Value(I(demo::kSpeedLeft))},
                          {PR_TOP, Value(I(demo::kSpeedTop))},
                          {PR_FONTHEIGHT, Value(I(demo::kSpeedRowHeight))},
                          {PR_ROWCOUNT, Value(I(3))},
                          {PR_MARGINX, Value(I(demo::kSpeedMarginX))},
                          {PR_MARGINY, Value(I(demo::kSpeedMarginY))},
                          {PR_BORDERWIDTH, Value(I(demo::kSpeedBorder))},
                          {PR_BORDERCOLOR, Value(I(ColourRef(demo::kButtonBorder)))},
                          {PR_COLOR, Value(I(ColourRef(0x303040)))},
                          {PR_HOVERCOLOR, Value(I(ColourRef(0x5060A0)))},
                          {PR_FONTCOLOR, Value(I(ColourRef(0xF0F0F0)))},
                          {PR_ONSELECT, Value(S("on_speed.ksb"))}});
}

// The settings screen's captions, made on the hidden layer before it shows and deleted once it has
// gone;
// "speed_value" names the text speed in use.
struct Caption {
  const char* name;
  const char* text;
  int32_t left, top;
};
constexpr Caption kCaptions[] = {{"volume_caption", "Volume", 60, demo::kVolumeTop + 2},
                                 {"speed_caption", "Text speed", 60, demo::kSpeedTop + 8},
                                 {"speed_value", "", demo::kSpeedValueLeft, demo::kSpeedTop + 8}};

// "speed_value" := the name of the speed "@TextDelay" gives.
void ShowSpeed(PageWriter& p, int32_t d) {
  p.Indent(d).If(Compare(E::EBig, V("@TextDelay"), I(demo::kTextDelays[0])));
  SetProp(p.Indent(d + 1), "speed_value", PR_TEXT, S("Now: Slow"));
  p.Indent(d).Elseif(Compare(E::ESmall, V("@TextDelay"), I(demo::kTextDelays[2])));
  SetProp(p.Indent(d + 1), "speed_value", PR_TEXT, S("Now: Fast"));
  p.Indent(d).Else();
  SetProp(p.Indent(d + 1), "speed_value", PR_TEXT, S("Now: Normal"));
  p.Indent(d);
}

void MakeCaptions(PageWriter& p, int32_t d) {
  for (const Caption& c : kCaptions) {
    p.Component(kLabelType, {{PR_NAME, Value(S(c.name))},
                             {PR_PARENT, Value(S("\x01"))},  // the hidden layer
                             {PR_TEXT, Value(S(c.text))},
                             {PR_LEFT, Value(I(c.left))},
                             {PR_TOP, Value(I(c.top))},
                             {PR_FONTHEIGHT, Value(I(20))},
                             {PR_FONTCOLOR, Value(I(ColourRef(0xF0F0F0)))},
                             {PR_ANTIALIAS, Value(B(true))}});
    SetProp(p, c.name, PR_FONTNAME, S(CaptionFace()));
  }
  ShowSpeed(p, d);
}

void DeleteCaptions(PageWriter& p) {
  for (const Caption& c : kCaptions) p.ObjDel(Value(S(c.name)));
}

// The slider's handler: "volume" := the slider's value, which the music takes.
std::vector<uint8_t> VolumePage() {
  PageWriter p;
  p.Calc(ExprBuilder().Call(2, "volume", {S("volume_slider"), I(PR_VALUE)}));  // GetProp
  SetProp(p, "music", PR_VOLUME, V("volume"));
  return p.Bytes();
}

// The title's clip.
std::vector<uint8_t> ClipVideo() {
  VideoSpec wanted;
  wanted.width = demo::kClip.right - demo::kClip.left;
  wanted.height = demo::kClip.bottom - demo::kClip.top;
  wanted.fps = demo::kClipFps;
  wanted.colours.assign(std::begin(demo::kClipColours), std::end(demo::kClipColours));
  wanted.pictures_per_colour = demo::kClipPicturesPerColour;
  wanted.sound = false;
  wanted.pattern = "bar";
  return VideoBytes(wanted);
}

// The music: each note a sine with a short rise and a longer fall, in both channels.
std::vector<uint8_t> MusicOgg() {
  std::vector<int16_t> samples;
  for (double f : demo::kMusicNotes) {
    for (int64_t i = 0; i < demo::kNoteFrames; ++i) {
      const double t = double(i) / 44100.0;
      const double rise = std::min(1.0, double(i) / 441.0);
      const double fall = 1.0 - double(i) / double(demo::kNoteFrames);
      const double v = 0.3 * rise * fall * std::sin(2.0 * 3.14159265358979323846 * f * t);
      const auto sample = int16_t(std::lround(v * 32767.0));
      samples.push_back(sample);
      samples.push_back(sample);
    }
  }
  return OggBytes(samples, 2, 44100);
}

// The click: a short falling tone.
std::vector<uint8_t> ClickOgg() {
  std::vector<int16_t> samples;
  for (int64_t i = 0; i < demo::kClickFrames; ++i) {
    const double fall = 1.0 - double(i) / double(demo::kClickFrames);
    const double phase = 2.0 * 3.14159265358979323846 * demo::kClickFrequency * double(i) / 44100.0;
    const double v = 0.4 * fall * fall * std::sin(phase);
    samples.push_back(int16_t(std::lround(v * 32767.0)));
  }
  return OggBytes(samples, 1, 44100);
}

// The music, made once at the start; it repeats by itself.
void StartMusic(PageWriter& p) {
  p.Component(kSoundType, {{PR_NAME, Value(S("music"))},
                           {PR_SOURCE, Value(S(demo::kMusicName))},
                           {PR_REPEAT, Value(B(true))},
                           {PR_VOLUME, Value(V("volume"))}});
}

// A click: a sound that frees itself at its end.
void Click(PageWriter& p) {
  p.Component(kSoundType, {{PR_NAME, Value(S("click"))},
                           {PR_SOURCE, Value(S(demo::kClickName))},
                           {PR_AUTOSCRAP, Value(B(true))}});
}

// The menu's handler: "@TextDelay" := 90, 50 or 10 for the item chosen (0, 1,
// 2).
std::vector<uint8_t> SpeedPage() {
  static_assert(demo::kTextDelays[0] == 90 && demo::kTextDelays[1] == 50 && demo::kTextDelays[2] == 10);
  PageWriter p;
  p.Calc(ExprBuilder()
             .Op(E::Minus, "____0", {I(2), V("@SelIndex")})
             .Op(E::Mul, "____1", {V("____0"), I(40)})
             .Op(E::Plus, "____2", {V("____1"), I(10)})
             .Op(E::To, "@TextDelay", {V("____2")}));
  ShowSpeed(p, 0);
  return p.Bytes();
}

// The settings screen's keys (the slider's key handler): Down one speed faster,
// Up one slower, Escape back to the title as Done does.
std::vector<uint8_t> SettingsKeyPage() {
  PageWriter p;
  p.If(KeyClicked(demo::kKeyDown));
  p.Indent(1).If(Compare(E::Big, V("@TextDelay"), I(demo::kTextDelays[2])));
  p.Indent(2).Calc(Step("@TextDelay", E::Minus, I(40)));
  p.Indent(0).Elseif(KeyClicked(demo::kKeyUp));
  p.Indent(1).If(Compare(E::Small, V("@TextDelay"), I(demo::kTextDelays[0])));
  p.Indent(2).Calc(Step("@TextDelay", E::Plus, I(40)));
  p.Indent(0).Elseif(KeyClicked(demo::kKeyEscape));
  p.Indent(1).Calc(Assign("clicked", I(kDone)));
  ShowSpeed(p, 0);
  return p.Bytes();
}

// ---- The message window of the second scene ----

// A compiled message text: the UTF-8 lines in code page 932, each character
// costing the WAIT base a text starts with (the window scales it by the
// player's text speed, see ShowStory).
std::string MessageText(std::initializer_list<const char*> lines) {
  GlyphListWriter w(102);  // the newest stored form of glyph lists
  w.Decorate({});
  size_t n = 0;
  for (const char* line : lines) {
    const std::string sj = plat::Utf8ToCp932(line);
    for (size_t i = 0; i < sj.size(); ++i) {
      const bool lead = IsSjisLeadByte(sj[i]) && i + 1 < sj.size();
      w.Char(lead ? uint16_t(uint8_t(sj[i]) << 8 | uint8_t(sj[i + 1])) : uint8_t(sj[i]), 0, demo::kGlyphDelay);
      if (lead) ++i;
    }
    if (++n < lines.size()) w.Return();
  }
  return Text(w.Bytes());
}

void MesProp(PageWriter& p, int32_t id, const Operand& v) { SetProp(p, "mes", id, v); }

// The message window, the caption of its English lines, its History button and
// the notice that Save and Load leave, hidden until the second scene shows. The
// window holds the keyboard there (Enter and Space go on, Escape goes back, Up
// and Down page through the history) and its wheel pages through the history.
void SetUpMessage(PageWriter& p) {
  const demo::Rect& r = demo::kMessageWindow;
  p.Component(kMesType, {{PR_NAME, Value(S("mes"))}});
  for (const auto& [id, v] : {std::pair{PR_LEFT, r.left},
                              {PR_TOP, r.top},
                              {PR_WIDTH, r.right - r.left},
                              {PR_HEIGHT, r.bottom - r.top},
                              {PR_FONTHEIGHT, demo::kMessageFontHeight},
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
  MesProp(p, PR_ONWHEELUP, S("on_mes_wheelup.ksb"));
  MesProp(p, PR_ONWHEELDOWN, S("on_mes_wheeldown.ksb"));
  MesProp(p, PR_HANDLEKEY, B(true));
  MesProp(p, PR_ONKEYDOWN, S("on_mes_key.ksb"));
  p.FormatHist(Value(S("mes")));  // the history lays its pages out as the window does
  const demo::Rect& e = demo::kEnglishCaption;
  p.Component(kLabelType, {{PR_NAME, Value(S("english"))},
                           {PR_LEFT, Value(I(e.left))},
                           {PR_TOP, Value(I(e.top))},
                           {PR_FONTHEIGHT, Value(I(demo::kEnglishFontHeight))},
                           {PR_LINESPACE, Value(I(demo::kEnglishLineSpace))},
                           {PR_FONTCOLOR, Value(I(ColourRef(demo::kEnglishColour)))},
                           {PR_ANTIALIAS, Value(B(true))},
                           {PR_IGNOREMOUSE, Value(I(IM_ALL))},
                           {PR_VISIBLE, Value(B(false))}});
  SetProp(p, "english", PR_FONTNAME, S(CaptionFace()));
  p.Component(kButtonType, {{PR_NAME, Value(S("history"))}});
  SetProp(p, "history", PR_SOURCE, S("history.wxa"));
  SetProp(p, "history", PR_LEFT, I(demo::kHistoryButton.left));
  SetProp(p, "history", PR_TOP, I(demo::kHistoryButton.top));
  SetProp(p, "history", PR_VISIBLE, B(false));
  SetProp(p, "history", PR_ONNOTIFY, S("on_history.ksb"));
  MakeButtonCaption(p, "history", "History", demo::kHistoryButton);
  const demo::Rect& n = demo::kNotice;
  p.Component(kLabelType, {{PR_NAME, Value(S("notice"))},
                           {PR_LEFT, Value(I(n.left))},
                           {PR_TOP, Value(I(n.top))},
                           {PR_FONTHEIGHT, Value(I(demo::kNoticeFontHeight))},
                           {PR_FONTCOLOR, Value(I(ColourRef(demo::kNoticeColour)))},
                           {PR_ANTIALIAS, Value(B(true))},
                           {PR_IGNOREMOUSE, Value(I(IM_ALL))},
                           {PR_VISIBLE, Value(B(false))}});
  SetProp(p, "notice", PR_FONTNAME, S(CaptionFace()));
}

// Shows the notice for a while (the main loop hides it again).
void ShowNotice(PageWriter& p, int32_t d, const char* text) {
  SetProp(p.Indent(d), "notice", PR_TEXT, S(text));
  SetProp(p, "notice", PR_VISIBLE, B(true));
  p.Calc(Assign("notice_left", I(demo::kNoticeFrames)));
}

// Shows the story's step "story": its Japanese text in the window and its
// English lines (a line for each Japanese one, in the same order) in the
// caption over it, its last line just over the window's first. Steps: 0 and 1
// the opening, 2 the choice, 3 and 4 the way taken, 5 the end. Every text but
// the choice is one page of compiled text (`record`: whether the window notes
// it for the history); its characters cost the WAIT base, which the window
// scales by "@TextDelay" against that base. The choice is markup, whose
// characters take "@TextDelay" itself.
void ShowStory(PageWriter& p, int32_t d, bool record) {
  const auto english = [&](const char* lines) {
    int32_t count = 1;
    for (const char* c = lines; *c; ++c) count += *c == '\n';
    SetProp(p.Indent(d + 1), "english", PR_TEXT, S(lines));
    SetProp(p, "english", PR_TOP,
            I(demo::kEnglishCaption.bottom - count * (demo::kEnglishFontHeight + demo::kEnglishLineSpace)));
  };
  const auto show = [&](std::initializer_list<const char*> lines, const char* english_lines) {
    p.Indent(d + 1).TextIns(MessageText(lines), Value(S("mes")), Value(B(record)), NoResult());
    english(english_lines);
  };
  p.Indent(d).Calc(ExprBuilder()
                       .Op(E::Mul, "____0", {V("@TextDelay"), I(256)})
                       .Op(E::Div, "____1", {V("____0"), I(demo::kGlyphDelay)})
                       .Op(E::To, "mes_delay", {V("____1")}));
  MesProp(p, PR_TEXTDELAY, V("mes_delay"));
  p.If(Equals("story", 0));
  show({"ようこそ、コーヴァの世界へ。", "ここは小さな港町。"},
       "Welcome to the world of Kova.\r\nThis is a small harbour town.");
  p.Indent(d).Elseif(Equals("story", 1));
  show({"道が二つに分かれている。"}, "The road splits in two.");
  p.Indent(d).Elseif(Equals("story", 2));
  MesProp(p.Indent(d + 1), PR_TEXTDELAY, I(256));
  MesProp(p, PR_TEXT,
          S(plat::Utf8ToCp932("<A HREF=\"sea\">海へ行く</A><BR>"
                              "<A HREF=\"hill\">丘へ登る</A>")));
  english("Go to the sea\r\nClimb the hill");
  p.Indent(d).Elseif(Equals("story", 3));
  show({"波の音が聞こえる。"}, "You hear the waves.");
  p.Indent(d).Elseif(Equals("story", 4));
  show({"町が小さく見える。"}, "The town looks small below.");
  p.Indent(d).Elseif(Equals("story", 5));
  show({"ここまでがデモです。", "「ヒストリー」で読み返せます。"},
       "That is the end of the demo.\r\nPress History to read it again.");
  p.Indent(d);
  SetProp(p, "english", PR_VISIBLE, B(true));
}

constexpr int32_t kHistoryHeight = demo::kMessageWindow.bottom - demo::kMessageWindow.top;

// Shows the window's height of the history from "history_first" at once.
void RecallHistory(PageWriter& p, int32_t d) {
  MesProp(p.Indent(d), PR_TEXTDELAY, I(0));
  p.CallHist(Value(S("mes")), Value(V("history_first")), Value(I(kHistoryHeight)), No());
}

// History: the page being read joins the history (the window leaves it), and
// the history's last window height shows, the newest text at the bottom
// ("@HistoryCount" is the history's height in pixels); the English caption,
// which follows the page, hides; the button's caption offers the way back.
void OpenHistory(PageWriter& p, int32_t d) {
  p.Indent(d).Calc(Assign("history_shown", I(1)));
  SetProp(p, "english", PR_VISIBLE, B(false));
  MesProp(p, PR_TEXT, S(""));
  p.Calc(ExprBuilder()
             .Op(E::Minus, "____0", {V("@HistoryCount"), I(kHistoryHeight)})
             .Op(E::To, "history_first", {V("____0")}));
  p.If(Compare(E::Small, V("history_first"), I(0)));
  p.Indent(d + 1).Calc(Assign("history_first", I(0)));
  RecallHistory(p, d);
  CentreCaption(p, "history_caption", "Back to story", demo::kHistoryButton.CentreX());
}

// Back from the history: the page that was being read shows again, whole (it is
// in the history already, so it is not noted again), and nothing of the story
// moves on.
void CloseHistory(PageWriter& p, int32_t d) {
  p.Indent(d).Calc(Assign("history_shown", I(0)));
  ShowStory(p, d, false);
  MesProp(p.Indent(d), PR_TEXTDELAY, I(0));
  CentreCaption(p, "history_caption", "History", demo::kHistoryButton.CentreX());
}

void ToggleHistory(PageWriter& p, int32_t d) {
  p.Indent(d).If(Equals("history_shown", 0));
  OpenHistory(p, d + 1);
  p.Indent(d).Else();
  CloseHistory(p, d + 1);
  p.Indent(d);
}

// The wheel up (or Up): opens the history, or shows older text in it.
void HistoryBack(PageWriter& p, int32_t d) {
  p.Indent(d).If(Equals("history_shown", 0));
  OpenHistory(p, d + 1);
  p.Indent(d).Else();
  p.Indent(d + 1).Calc(Step("history_first", E::Minus, I(demo::kHistoryStep)));
  p.If(Compare(E::Small, V("history_first"), I(0)));
  p.Indent(d + 2).Calc(Assign("history_first", I(0)));
  RecallHistory(p, d + 1);
  p.Indent(d);
}

// The wheel down (or Down) in the history: newer text, and back to the story
// from its end.
void HistoryOn(PageWriter& p, int32_t d) {
  p.Indent(d).If(Equals("history_shown", 1));
  p.Indent(d + 1).Calc(ExprBuilder()
                           .Op(E::Plus, "____0", {V("history_first"), I(kHistoryHeight)})
                           .Op(E::EBig, "____1", {V("____0"), V("@HistoryCount")})
                           .Op(E::To, "history_end", {V("____1")}));
  p.If(Compare(E::Equal, V("history_end"), B(true)));
  CloseHistory(p, d + 2);
  p.Indent(d + 1).Else();
  p.Indent(d + 2).Calc(Step("history_first", E::Plus, I(demo::kHistoryStep)));
  p.Calc(ExprBuilder()
             .Op(E::Minus, "____0", {V("@HistoryCount"), I(kHistoryHeight)})
             .Op(E::To, "history_last", {V("____0")}));
  p.If(Compare(E::Big, V("history_first"), V("history_last")));
  p.Indent(d + 3).Calc(Assign("history_first", V("history_last")));
  RecallHistory(p, d + 2);
  p.Indent(d);
}

// A click on the window, Enter or Space: back from the history; else the page
// being revealed is completed at once; else the story goes on (the choice waits
// for a link, the end for nothing).
void GoOn(PageWriter& p, int32_t d) {
  p.Indent(d).If(Equals("history_shown", 1));
  CloseHistory(p, d + 1);
  p.Indent(d).Elseif(Equals("page_done", 0));
  MesProp(p.Indent(d + 1), PR_TEXTDELAY, I(0));
  for (const auto& [from, to] : {std::pair{0, 1}, {1, 2}, {3, 5}, {4, 5}}) {
    p.Indent(d).Elseif(Equals("story", from));
    p.Indent(d + 1).Calc(Assign("story", I(to)));
    ShowStory(p, d + 1, true);
  }
  p.Indent(d);
}

std::vector<uint8_t> MessageClickPage() {
  PageWriter p;
  GoOn(p, 0);
  return p.Bytes();
}

// The window's keys: Enter and Space go on, Escape leaves the history or goes
// back to the title, Up and Down page through the history.
std::vector<uint8_t> MessageKeyPage() {
  PageWriter p;
  p.If(KeyClicked(demo::kKeyEnter, demo::kKeySpace));
  GoOn(p, 1);
  p.Indent(0).Elseif(KeyClicked(demo::kKeyEscape));
  p.Indent(1).If(Equals("history_shown", 1));
  CloseHistory(p, 2);
  p.Indent(1).Else();
  p.Indent(2).Calc(Assign("clicked", I(kBack)));
  p.Indent(0).Elseif(KeyClicked(demo::kKeyUp));
  HistoryBack(p, 1);
  p.Indent(0).Elseif(KeyClicked(demo::kKeyDown));
  HistoryOn(p, 1);
  return p.Bytes();
}

std::vector<uint8_t> WheelUpPage() {
  PageWriter p;
  HistoryBack(p, 0);
  return p.Bytes();
}

std::vector<uint8_t> WheelDownPage() {
  PageWriter p;
  HistoryOn(p, 0);
  return p.Bytes();
}

// A link of the choice: its first HREF line names the way taken.
std::vector<uint8_t> MessageLinkPage() {
  PageWriter p;
  ExprBuilder way;
  way.Op(E::DimTo, "____0", {V("@ParamStr"), I(1)}).Op(E::Equal, "____1", {V("____0"), S("sea")});
  way.Result(V("____1"));
  p.If(Equals("story", 2));
  p.Indent(1).If(way);
  p.Indent(2).Calc(Assign("story", I(3)));
  p.Indent(1).Else();
  p.Indent(2).Calc(Assign("story", I(4)));
  ShowStory(p, 1, true);
  return p.Bytes();
}

std::vector<uint8_t> FlagPage(const char* var, int32_t v) {
  PageWriter p;
  p.Calc(Assign(var, I(v)));
  return p.Bytes();
}

std::vector<uint8_t> HistoryPage() {
  PageWriter p;
  ToggleHistory(p, 0);
  return p.Bytes();
}

void AddMessagePages(ArchiveBuilder& archive) {
  archive.Add("on_mes.ksb", Text(MessageClickPage()));
  archive.Add("on_mes_key.ksb", Text(MessageKeyPage()));
  archive.Add("on_mes_wheelup.ksb", Text(WheelUpPage()));
  archive.Add("on_mes_wheeldown.ksb", Text(WheelDownPage()));
  archive.Add("on_mes_link.ksb", Text(MessageLinkPage()));
  archive.Add("on_mes_start.ksb", Text(FlagPage("page_done", 0)));
  archive.Add("on_mes_end.ksb", Text(FlagPage("page_done", 1)));
  archive.Add("on_history.ksb", Text(HistoryPage()));
  archive.Add("on_loaded.ksb", Text(FlagPage("just_loaded", 1)));
  archive.Add("history.wxa", Text(ButtonPicture(demo::kHistoryButton)));
}

// The window and its button show with the second scene, which starts the story
// again.
void StartStory(PageWriter& p, int32_t d) {
  p.Indent(d).Calc(Assign("story", I(0)));
  p.Calc(Assign("history_shown", I(0)));
  CentreCaption(p, "history_caption", "History", demo::kHistoryButton.CentreX());
  ShowStory(p, d, true);
}

// "Full screen" on the title while in a window, "Window" in full screen.
void ShowScreenMode(PageWriter& p, int32_t d) {
  p.Indent(d).If(Compare(E::Equal, V("@FullScr"), B(true)));
  CentreCaption(p.Indent(d + 1), "fullscreen_caption", "Window", demo::kFullScreenButton.CentreX());
  p.Indent(d).Else();
  CentreCaption(p.Indent(d + 1), "fullscreen_caption", "Full screen", demo::kFullScreenButton.CentreX());
  p.Indent(d);
}

// Creates every button, each at its place with its picture and its handler.
void SetUp(PageWriter& p) {
  constexpr int32_t kCinemaNew = 23;
  p.Component(kCinemaNew, {{PR_NAME, Value(S("title_film"))},
                           {PR_SOURCE, Value(S(demo::kTitleFilmName))},
                           {PR_LEFT, Value(I(demo::kTitleFilm.left))},
                           {PR_TOP, Value(I(demo::kTitleFilm.top))},
                           {PR_REPEAT, Value(B(true))}});
  p.Component(kMovieType, {{PR_NAME, Value(S("clip"))},
                           {PR_SOURCE, Value(S(demo::kClipName))},
                           {PR_LEFT, Value(I(demo::kClip.left))},
                           {PR_TOP, Value(I(demo::kClip.top))},
                           {PR_REPEAT, Value(B(true))}});
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

// The controls of each scene (0 the title, 1 the second scene, 2 the settings) besides the
// buttons, and whether each shows with its scene (the notice shows only when Save or Load leaves
// it).
struct SceneControl {
  const char* name;
  int32_t scene;
  bool shown;
};
constexpr SceneControl kSceneControls[] = {
    {"volume_slider", 2, true}, {"mes", 1, true},     {"history", 1, true}, {"history_caption", 1, true},
    {"english", 1, true},       {"notice", 1, false}, {"title_film", 0, true},
    {"clip", 0, true},
};

// Each control of `scene` shown (or hidden) on `layer` (a name for the PR_PARENT property: "" the
// active layer, the one-byte name 1 the hidden one), each other control hidden where it is.
void SetSceneControls(PageWriter& p, int32_t scene, const char* layer, bool others) {
  auto set = [&](const std::string& name, int32_t of, bool shown) {
    if (of == scene && !others) {
      if (*layer) SetProp(p, name, PR_PARENT, S(layer));
      SetProp(p, name, PR_VISIBLE, B(shown));
    } else if (of != scene && others) {
      SetProp(p, name, PR_VISIBLE, B(false));
    }
  };
  for (const Button& b : kButtons) {
    set(b.name, b.scene, true);
    set(std::string(b.name) + "_caption", b.scene, true);
  }
  for (const SceneControl& c : kSceneControls) set(c.name, c.scene, c.shown);
}

// Shows the first scene at once: the title's background and only its buttons.
void ShowFirst(PageWriter& p) {
  p.Indent(0).Calc(LayerColour(demo::kTitleColour));
  SetSceneControls(p, 0, "", false);
  SetSceneControls(p, 0, "", true);
}

// Changes to a scene through a transition: the scene is made on the hidden layer (its background,
// its controls carried over and shown, the story started), the flip shows it, and then the
// controls left on the old layer are hidden.
void Show(PageWriter& p, int32_t d, int32_t scene, const demo::Transition& transition) {
  p.Indent(d).Calc(LayerColour(scene == 0   ? demo::kTitleColour
                               : scene == 1 ? demo::kSceneColour
                                            : demo::kSettingsColour,
                               "BASE1"));
  SetSceneControls(p, scene, "\x01", false);
  if (scene == 1) StartStory(p, d);
  PageWriter::FlipRecord flip;
  flip.kind = Value(I(transition.kind));
  flip.length = Value(I(demo::kTransitionMs));
  if (transition.mask) flip.mask = Value(S(transition.mask));
  p.Indent(d).Flip(flip);
  SetSceneControls(p, scene, "", true);
  p.Indent(d);
}

// The mask fade's grey picture: brightest at the top left corner, darkest at the bottom right,
// tiled over the screen.
std::vector<uint8_t> MaskPicture() {
  BmpFields bmp;
  bmp.width = demo::kMaskWidth;
  bmp.height = demo::kMaskHeight;
  const int32_t span = bmp.width + bmp.height - 2;
  for (int32_t y = 0; y < bmp.height; ++y) {
    for (int32_t x = 0; x < bmp.width; ++x) {
      const uint32_t g = uint32_t(255 - 255 * (x + y) / span);
      bmp.pixels.push_back(g << 16 | g << 8 | g);
    }
  }
  return BuildBmp(bmp);
}

// A film colour (red in the low byte) from 0xRRGGBB.
int32_t FilmColour(uint32_t rgb) { return int32_t((rgb & 0xFF) << 16 | (rgb & 0xFF00) | rgb >> 16); }

// The title's film (see demo_game.h): a panel swinging between two colours over two linked
// tracks, a square running round the panel's edge over four linked tracks, and the demo's name
// sliding in and out, in a film as large as kTitleFilm.
std::vector<uint8_t> TitleFilm() {
  const int32_t w = demo::kTitleFilm.right - demo::kTitleFilm.left;
  const int32_t h = demo::kTitleFilm.bottom - demo::kTitleFilm.top;
  const int32_t half = demo::kTitleFilmTicks / 2, quarter = demo::kTitleFilmTicks / 4;
  FilmWriter film;
  film.width = w;
  film.height = h;
  for (int32_t i = 0; i < 2; ++i) {
    FilmBox panel;
    panel.base.duration = half;
    panel.base.link = i == 0 ? -1 : 0;
    panel.rect.pos_start = panel.rect.pos_end = {10, 10};
    panel.rect.width_start = panel.rect.width_end = w - 20;
    panel.rect.height_start = panel.rect.height_end = h - 20;
    panel.color_start = FilmColour(demo::kTitleFilmPanel[i]);
    panel.color_end = FilmColour(demo::kTitleFilmPanel[1 - i]);
    panel.border_width_start = panel.border_width_end = 2;
    panel.border_color_start = panel.border_color_end = FilmColour(demo::kButtonBorder);
    film.Add(panel);
  }
  const int32_t side = 12, lo = 14, hi_x = w - 14 - side, hi_y = h - 14 - side;
  const FilmPoint corners[5] = {{lo, lo}, {hi_x, lo}, {hi_x, hi_y}, {lo, hi_y}, {lo, lo}};
  for (int32_t i = 0; i < 4; ++i) {
    FilmBox square;
    square.base.duration = quarter;
    square.base.link = i == 0 ? -1 : 2 + i - 1;
    square.base.order = 1;
    square.rect.pos_start = corners[i];
    square.rect.pos_end = corners[i + 1];
    square.rect.width_start = square.rect.width_end = side;
    square.rect.height_start = square.rect.height_end = side;
    square.color_start = square.color_end = FilmColour(demo::kTitleFilmSquare);
    film.Add(square);
  }
  FilmLabel name;
  name.base.duration = demo::kTitleFilmTicks;
  name.base.order = 2;
  name.block.pos_start = {30, h / 2 - 12};
  name.block.pos_end = {46, h / 2 - 12};
  name.block.alpha_start = 80;
  name.block.alpha_end = 255;
  name.text = "KovaPlayer";
  name.font_height = 20;
  name.font_color = 0xFFFFFF;
  name.antialias = true;
  film.Add(name);
  return film.Bytes();
}

// A button's handler: tells the start page which button was clicked.
std::vector<uint8_t> HandlerPage(int32_t id) {
  PageWriter p;
  p.Calc(Assign("clicked", I(id)));
  return p.Bytes();
}

ExprBuilder Is(int32_t id) { return Compare(E::Equal, V("choice"), I(id)); }

// The start page: sets the buttons up, shows the title, then waits for a
// button's handler (or a key handler) and does what the button asks. While it
// waits, a notice counts down and hides. `end` is the index after the main loop
// and `wait_end` the one after its waiting loop (the page is written again
// until both are known).
std::vector<uint8_t> StartPage(int32_t end = 0, int32_t wait_end = 0) {
  ExprBuilder toggle;  // @FullScr := (@FullScr = 0)
  toggle.Op(E::Equal, "____0", {V("@FullScr"), I(0)}).Op(E::To, "@FullScr", {V("____0")});
  PageWriter p;
  p.VarNew("clicked", 1, Value(I(0)));
  p.VarNew("choice", 1, Value(I(0)));
  p.VarNew("volume", 1, Value(I(demo::kVolumeMax)));
  for (const char* var : {"story", "page_done", "history_shown", "history_first", "history_end", "history_last",
                          "mes_delay", "notice_left", "just_loaded", "caption_width", "caption_left"}) {
    p.VarNew(var, 1, Value(I(0)));
  }
  SetUp(p);
  SetUpVolume(p);
  StartMusic(p);
  ShowFirst(p);
  ShowScreenMode(p, 0);
  const int32_t loop = p.Next();
  p.While(Yes(), end);
  const int32_t wait = p.Next();
  p.Indent(1).While(Equals("clicked", 0), wait_end);
  p.Indent(2).Wait(NoResult(), Value(I(16)));
  p.If(Compare(E::Big, V("notice_left"), I(0)));
  p.Indent(3).Calc(Step("notice_left", E::Minus, I(1)));
  p.If(Equals("notice_left", 0));
  SetProp(p.Indent(4), "notice", PR_VISIBLE, B(false));
  p.Indent(1).WhileLoop(NoResult(), wait);
  const int32_t after_wait = p.Next();
  p.Calc(Assign("choice", V("clicked")));
  p.Calc(Assign("clicked", I(0)));
  Click(p);
  p.If(Is(kStart));
  Show(p, 2, 1, demo::kToStory);
  p.Indent(1).Elseif(Is(kFullScreen));
  p.Indent(2).Calc(toggle);
  ShowScreenMode(p, 2);
  p.Indent(1).Elseif(Is(kQuit));
  p.Indent(2).Terminate();
  p.Indent(1).Elseif(Is(kBack));
  Show(p, 2, 0, demo::kToTitle);
  p.Indent(1).Elseif(Is(kSave));
  // A game loaded later goes on here, after its resume page has set
  // "just_loaded".
  p.Indent(2).GameSave(Value(I(1)), "on_loaded.ksb", 0, Value(S("Demo")));
  p.If(Equals("just_loaded", 1));
  p.Indent(3).Calc(Assign("just_loaded", I(0)));
  ShowNotice(p, 3, "Loaded slot 1.");
  p.Indent(2).Else();
  ShowNotice(p, 3, "Saved in slot 1.");
  p.Indent(1).Elseif(Is(kLoad));
  p.Indent(2).GameLoad(Value(I(1)));
  // Only reached when there was nothing to load: a load replaces this running
  // page.
  ShowNotice(p, 2, "Nothing saved in slot 1 yet.");
  p.Indent(1).Elseif(Is(kSettings));
  // The screen's own captions and menu are made on the hidden layer before it shows.
  MakeCaptions(p.Indent(2), 2);
  OpenSpeedMenu(p.Indent(2));
  Show(p, 2, 2, demo::kToSettings);
  p.Indent(1).Elseif(Is(kDone));
  // They go once the title shows.
  Show(p, 2, 0, demo::kFromSettings);
  p.Indent(2).MenuClose(Value(S("speed")));
  DeleteCaptions(p);
  p.Indent(0).WhileLoop(NoResult(), loop);
  if (end == p.Next() && wait_end == after_wait) return p.Bytes();
  return StartPage(p.Next(), after_wait);
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
  archive.Add("on_settings_key.ksb", Text(SettingsKeyPage()));
  archive.Add("volume_track.bmp", Text(TrackPicture()));
  archive.Add("volume_thumb.bmp", Text(ThumbPicture()));
  archive.Add("volume_steps.bmp", Text(StepPicture()));
  archive.Add(demo::kMaskPicture, Text(MaskPicture()));
  archive.Add(demo::kTitleFilmName, Text(TitleFilm()));
  archive.Add(demo::kMusicName, Text(MusicOgg()));
  archive.Add(demo::kClickName, Text(ClickOgg()));
  archive.Add(demo::kClipName, Text(ClipVideo()));
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
