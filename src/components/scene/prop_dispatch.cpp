#include "components/scene/prop_dispatch.h"

#include "components/scene/kova_base_list.h"
#include "components/scene/kova_control.h"
#include "core/utils.h"
#include "core/vocabulary.h"
#include "script/params.h"
#include "script/script_errors.h"

namespace kova {
namespace {

// The accessor pair of each id that follows the naming rule (PR_LEFT: GetLeft/SetLeft), by the
// value type of the property.
#define KOVA_PROPS_BY_RULE(INT, BYTE, BOOL, STR, STYLE)                                                   \
  STR(PR_SOURCE, Source) INT(PR_LEFT, Left) INT(PR_TOP, Top) INT(PR_WIDTH, Width) INT(PR_HEIGHT, Height)    \
  INT(PR_ZOOMX, ZoomX) INT(PR_COLOR, Color) INT(PR_BORDERWIDTH, BorderWidth)                              \
  INT(PR_BORDERCOLOR, BorderColor) INT(PR_ALPHA, Alpha) INT(PR_OFFSETX, OffsetX) INT(PR_OFFSETY, OffsetY) \
  STR(PR_FONTNAME, FontName) INT(PR_FONTHEIGHT, FontHeight) STYLE(PR_FONTSTYLE, FontStyle)                \
  INT(PR_LINESPACE, LineSpace) INT(PR_FONTCOLOR, FontColor) INT(PR_FONTLINKCOLOR, FontLinkColor)          \
  INT(PR_FONTBORDERCOLOR, FontBorderColor) INT(PR_FONTHOVERCOLOR, FontHoverColor)                         \
  STYLE(PR_FONTHOVERSTYLE, FontHoverStyle) INT(PR_HOVERCOLOR, HoverColor) BOOL(PR_ANTIALIAS, Antialias)   \
  INT(PR_DELAY, Delay) BOOL(PR_PAUSED, Paused) INT(PR_VOLUME, Volume) BOOL(PR_REPEAT, Repeat)             \
  INT(PR_BALANCE, Balance) INT(PR_ANGLE, Angle) STR(PR_ONPLAYING, OnPlaying) STR(PR_ONNOTIFY, OnNotify)   \
  STR(PR_ONMOUSEMOVE, OnMouseMove) STR(PR_ONMOUSEOUT, OnMouseOut) STR(PR_ONLBTNDOWN, OnLBtnDown)          \
  STR(PR_ONLBTNUP, OnLBtnUp) STR(PR_ONRBTNDOWN, OnRBtnDown) STR(PR_ONRBTNUP, OnRBtnUp)                    \
  STR(PR_ONWHEELDOWN, OnWheelDown) STR(PR_ONWHEELUP, OnWheelUp) INT(PR_BRIGHTNESS, Brightness)            \
  STR(PR_ONPLAYEND, OnPlayEnd) INT(PR_INDEX, Index) INT(PR_COUNT, Count) STR(PR_ONLINK, OnLink)           \
  BOOL(PR_VISIBLE, Visible) INT(PR_COLCOUNT, ColCount) INT(PR_ROWCOUNT, RowCount) INT(PR_MARGINX, MarginX) \
  INT(PR_MARGINY, MarginY) BYTE(PR_HALIGN, HAlign) STR(PR_SCROLLSOURCE, ScrollSource)                     \
  STR(PR_CHECKSOURCE, CheckSource) BOOL(PR_AUTOSCRAP, AutoScrap) STR(PR_ONSELECT, OnSelect)               \
  BOOL(PR_RCLICKSCRAP, RClickScrap) STR(PR_ONOPENING, OnOpening) STR(PR_ONOPENED, OnOpened)               \
  STR(PR_ONCLOSING, OnClosing) STR(PR_ONCLOSED, OnClosed) BYTE(PR_IGNOREMOUSE, IgnoreMouse)               \
  BOOL(PR_TEXTPAUSED, TextPaused) INT(PR_TEXTDELAY, TextDelay) STR(PR_HOVERSOURCE, HoverSource)           \
  STR(PR_PRESSEDSOURCE, PressedSource) INT(PR_GROUPINDEX, GroupIndex) BOOL(PR_ALLOWALLUP, AllowAllUp)     \
  BOOL(PR_SELECTED, Selected) BOOL(PR_CAPTUREMASK, CaptureMask) INT(PR_POWER, Power)                      \
  INT(PR_ORIGWIDTH, OrigWidth) INT(PR_ORIGHEIGHT, OrigHeight) BYTE(PR_PARTMOTION, PartMotion)             \
  INT(PR_TOPINDEX, TopIndex) BOOL(PR_READONLY, ReadOnly) STR(PR_CURSOR, Cursor)                           \
  BOOL(PR_POSZOOMED, PosZoomed) STR(PR_ONPLAYSTART, OnPlayStart) STR(PR_ONMOUSEIN, OnMouseIn)             \
  STR(PR_ONMAPIN, OnMapIn) STR(PR_ONMAPOUT, OnMapOut) STR(PR_MAPSOURCE, MapSource) INT(PR_AMP, Amp)       \
  INT(PR_WAVELEN, WaveLen) INT(PR_SCROLLX, ScrollX) INT(PR_SCROLLY, ScrollY) BOOL(PR_FLIPH, FlipH)        \
  BOOL(PR_FLIPV, FlipV) STR(PR_ONIDLE, OnIdle) INT(PR_DISTANCEX, DistanceX) INT(PR_DISTANCEY, DistanceY)  \
  INT(PR_CLIPLEFT, ClipLeft) INT(PR_CLIPTOP, ClipTop) INT(PR_CLIPWIDTH, ClipWidth)                        \
  INT(PR_CLIPHEIGHT, ClipHeight) INT(PR_DURATION, Duration) STR(PR_THUMBSOURCE, ThumbSource)              \
  STR(PR_BUTTONSOURCE, ButtonSource) INT(PR_MIN, Min) INT(PR_MAX, Max) INT(PR_VALUE, Value)               \
  BYTE(PR_ORIENTATION, Orientation) INT(PR_SMALLCHANGE, SmallChange) INT(PR_LARGECHANGE, LargeChange)     \
  STR(PR_MAPTEXT, MapText) INT(PR_GLYPHWIDTH, GlyphWidth) INT(PR_GLYPHHEIGHT, GlyphHeight)                \
  INT(PR_ZOOMY, ZoomY) STR(PR_CLICKEDSOURCE, ClickedSource) BOOL(PR_ANIPAUSED, AniPaused)                 \
  STR(PR_ONHOLD, OnHold) STR(PR_ONRELEASE, OnRelease) BOOL(PR_REVERSE, Reverse)                           \
  BOOL(PR_REWINDONLOAD, RewindOnLoad) INT(PR_FONTSHADOWCOLOR, FontShadowColor)                            \
  INT(PR_FONTBORDER, FontBorder) INT(PR_FONTSHADOW, FontShadow) STR(PR_ONKEYDOWN, OnKeyDown)              \
  STR(PR_ONKEYUP, OnKeyUp) STR(PR_ONKEYREPEAT, OnKeyRepeat) BOOL(PR_HANDLEKEY, HandleKey)                 \
  STR(PR_ONFOCUSIN, OnFocusIn) STR(PR_ONFOCUSOUT, OnFocusOut) BOOL(PR_OVERLAY, Overlay)                   \
  BOOL(PR_CAPTURELINK, CaptureLink) INT(PR_FONTHOVERBORDER, FontHoverBorder)                              \
  INT(PR_FONTHOVERBORDERCOLOR, FontHoverBorderColor) INT(PR_FONTHOVERSHADOW, FontHoverShadow)             \
  INT(PR_FONTHOVERSHADOWCOLOR, FontHoverShadowColor) INT(PR_BARSIZE, BarSize) BOOL(PR_MUTEONLOAD, MuteOnLoad)

[[noreturn]] void GetPropError() { Raise<EScriptError>(TMsg::GetPropError); }
[[noreturn]] void SetPropError() { Raise<EScriptError>(TMsg::SetPropError); }

}  // namespace

void GetProp(TCustomParam& item, TKovaObject& c, int32_t id) {
  switch (id) {
#define KOVA_GET_INT(ID, N) \
  case ID: item.SetInt(c.Get##N()); return;
#define KOVA_GET_BYTE(ID, N) \
  case ID: item.SetInt(int32_t(uint8_t(c.Get##N()))); return;
#define KOVA_GET_BOOL(ID, N) \
  case ID: item.SetFlag(c.Get##N()); return;
#define KOVA_GET_STR(ID, N) \
  case ID: item.SetStr(c.Get##N()); return;
#define KOVA_GET_STYLE(ID, N) \
  case ID: item.SetInt(FlagSetToInt(c.Get##N())); return;
    KOVA_PROPS_BY_RULE(KOVA_GET_INT, KOVA_GET_BYTE, KOVA_GET_BOOL, KOVA_GET_STR, KOVA_GET_STYLE)
#undef KOVA_GET_INT
#undef KOVA_GET_BYTE
#undef KOVA_GET_BOOL
#undef KOVA_GET_STR
#undef KOVA_GET_STYLE
    case PR_NAME: item.SetStr(c.GetName()); return;
    case PR_PARENT: {
      TKovaControl* parent = c.GetParent();
      item.SetStr(parent ? parent->GetName() : std::string());
      return;
    }
    case PR_PRIORITY: item.SetInt(c.Priority()); return;
    case PR_TAG: item.SetStr(c.Tag()); return;
    case PR_TEXT: item.SetStr(c.GetText()); return;
    case PR_BORDERSOURCETL: case PR_BORDERSOURCETC: case PR_BORDERSOURCETR:
    case PR_BORDERSOURCECL: case PR_BORDERSOURCECC: case PR_BORDERSOURCECR:
    case PR_BORDERSOURCEBL: case PR_BORDERSOURCEBC: case PR_BORDERSOURCEBR:
      item.SetStr(c.GetBorderSource(id - PR_BORDERSOURCETL));
      return;
    case PR_BORDERHALIGNT: case PR_BORDERHALIGNC: case PR_BORDERHALIGNB:
      item.SetInt(c.GetBorderHAlign(1 + 3 * (id - PR_BORDERHALIGNT)));
      return;
    case PR_BORDERVALIGNL: case PR_BORDERVALIGNC: case PR_BORDERVALIGNR:
      item.SetInt(c.GetBorderVAlign(id - 63));
      return;
    case PR_CARETX: item.SetInt(c.GetCaretPos().X); return;
    case PR_CARETY: item.SetInt(c.GetCaretPos().Y); return;
    case PR_APPEARX: case PR_APPEARY: item.SetInt(0); return;
    case PR_PARAM1: item.SetFloat(c.GetParam(0)); return;
    case PR_PARAM2: item.SetFloat(c.GetParam(1)); return;
    case PR_PARAM3: item.SetFloat(c.GetParam(2)); return;
    case PR_PLAYING: item.SetFlag(c.GetPlaying()); return;
    case PR_COMPOTYPE: item.SetInt(c.GetCompoType()); return;
    default: GetPropError();
  }
}

void SetProp(TKovaObject& c, int32_t id, const TCustomParam& value) {
  switch (id) {
#define KOVA_SET_INT(ID, N) \
  case ID: c.Set##N(value.GetInt()); return;
#define KOVA_SET_BYTE(ID, N) \
  case ID: c.Set##N(uint8_t(value.GetInt())); return;
#define KOVA_SET_BOOL(ID, N) \
  case ID: c.Set##N(value.GetFlag()); return;
#define KOVA_SET_STR(ID, N) \
  case ID: c.Set##N(value.GetStr()); return;
#define KOVA_SET_STYLE(ID, N) \
  case ID: c.Set##N(IntToFlagSet(value.GetInt())); return;
    KOVA_PROPS_BY_RULE(KOVA_SET_INT, KOVA_SET_BYTE, KOVA_SET_BOOL, KOVA_SET_STR, KOVA_SET_STYLE)
#undef KOVA_SET_INT
#undef KOVA_SET_BYTE
#undef KOVA_SET_BOOL
#undef KOVA_SET_STR
#undef KOVA_SET_STYLE
    case PR_NAME: c.SetName(value.GetStr()); return;
    case PR_PARENT: {
      const std::string name = value.GetStr();
      if (c.IsBase()) return;
      TKovaBaseList* root = c.Root();
      if (TKovaControl* found = root ? root->FindControl(name) : nullptr) c.SetParent(found);
      return;
    }
    case PR_PRIORITY: c.SetPriority(value.GetInt()); return;
    case PR_TAG: c.SetTag(value.GetStr()); return;
    case PR_TEXT: {
      const std::string text = value.GetStr();
      if (c.GetCompoType() == KT_MES) c.ResetRecordMode();
      c.SetText(text);
      return;
    }
    case PR_BORDERSOURCETL: case PR_BORDERSOURCETC: case PR_BORDERSOURCETR:
    case PR_BORDERSOURCECL: case PR_BORDERSOURCECC: case PR_BORDERSOURCECR:
    case PR_BORDERSOURCEBL: case PR_BORDERSOURCEBC: case PR_BORDERSOURCEBR:
      c.SetBorderSource(id - PR_BORDERSOURCETL, value.GetStr());
      return;
    case PR_BORDERHALIGNT: case PR_BORDERHALIGNC: case PR_BORDERHALIGNB:
      c.SetBorderHAlign(1 + 3 * (id - PR_BORDERHALIGNT), uint8_t(value.GetInt()));
      return;
    case PR_BORDERVALIGNL: case PR_BORDERVALIGNC: case PR_BORDERVALIGNR:
      c.SetBorderVAlign(id - 63, uint8_t(value.GetInt()));
      return;
    case PR_CARETX: case PR_CARETY: case PR_PLAYING: case PR_COMPOTYPE: return;
    case PR_PARAM1: c.SetParam(0, value.GetFloat()); return;
    case PR_PARAM2: c.SetParam(1, value.GetFloat()); return;
    case PR_PARAM3: c.SetParam(2, value.GetFloat()); return;
    default: SetPropError();  // also PR_APPEARX and PR_APPEARY
  }
}

}  // namespace kova
