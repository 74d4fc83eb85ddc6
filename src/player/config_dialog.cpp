#include "player/config_dialog.h"

#include <algorithm>
#include <cstdio>

#include "core/messages.h"
#include "platform/text/text_codec.h"
#include "player/desktop.h"
#include "player/screen_manager.h"

namespace kova {

namespace {

// Colour references ($00BBGGRR).
constexpr uint32_t kFace = 0xC8D0D4;
constexpr uint32_t kHighlight = 0xFFFFFF;
constexpr uint32_t kShadow = 0x808080;
constexpr uint32_t kDarkShadow = 0x404040;
constexpr uint32_t kText = 0x000000;
constexpr uint32_t kGreyText = 0x808080;
constexpr uint32_t kWindow = 0xFFFFFF;

constexpr int32_t kKeyTab = 0x09, kKeyEnter = 0x0D, kKeyShift = 0x10, kKeyEscape = 0x1B, kKeySpace = 0x20,
                  kKeyPageUp = 0x21, kKeyPageDown = 0x22, kKeyEnd = 0x23, kKeyHome = 0x24, kKeyLeft = 0x25,
                  kKeyUp = 0x26, kKeyRight = 0x27, kKeyDown = 0x28, kKeyD = 0x44, kKeyS = 0x53;

// The track bar's channel runs between these x; the thumb is 11 x 18.
constexpr int32_t kChannelLeft = TConfigDialog::kTrack.Left + 12;
constexpr int32_t kChannelRight = TConfigDialog::kTrack.Right - 12;

bool Inside(const TRect& r, TPoint p) { return p.X >= r.Left && p.X < r.Right && p.Y >= r.Top && p.Y < r.Bottom; }

uint32_t Pixel(const TCustomDIBX& s, uint32_t color) { return uint32_t(s.ColorToPixel(int32_t(color))); }

// A sunken or raised edge one pixel wide: `top_left` colour along the top and left, the other
// along the bottom and right.
void Edge(TCustomDIBX& s, const TRect& r, uint32_t top_left, uint32_t bottom_right) {
  s.FillRect(TRect{r.Left, r.Top, r.Right - 1, r.Top + 1}, Pixel(s, top_left));
  s.FillRect(TRect{r.Left, r.Top, r.Left + 1, r.Bottom - 1}, Pixel(s, top_left));
  s.FillRect(TRect{r.Left, r.Bottom - 1, r.Right, r.Bottom}, Pixel(s, bottom_right));
  s.FillRect(TRect{r.Right - 1, r.Top, r.Right, r.Bottom}, Pixel(s, bottom_right));
}

TRect Inflate(const TRect& r, int32_t d) { return TRect{r.Left - d, r.Top - d, r.Right + d, r.Bottom + d}; }

// The dotted frame of the focused control.
void FocusFrame(TCustomDIBX& s, const TRect& r) {
  const uint32_t p = Pixel(s, kText);
  for (int32_t x = r.Left; x < r.Right; x += 2) {
    s.SetPixel(x, r.Top, p);
    s.SetPixel(x, r.Bottom - 1, p);
  }
  for (int32_t y = r.Top; y < r.Bottom; y += 2) {
    s.SetPixel(r.Left, y, p);
    s.SetPixel(r.Right - 1, y, p);
  }
}

}  // namespace

TConfigDialog::TConfigDialog(TConfigModel& model, plat::IGlyphFonts& fonts) : model_(model) {
  // The dialog's font: 12 pixels to the em, as the dialog was laid out for.
  const std::string& face = MsgText(TMsg::DialogFontFace);
  font_ = fonts.OpenFont(plat::TFontRequest{face, 12, 0, true});
}

TConfigDialog::~TConfigDialog() = default;

int32_t TConfigDialog::ThumbCentre(int32_t position) {
  const int32_t p = std::clamp(position, TConfigModel::kMinPosition, TConfigModel::kMaxPosition) - 1;
  return kChannelLeft + p * (kChannelRight - kChannelLeft) / (TConfigModel::kMaxPosition - 1);
}

bool TConfigDialog::CanFocus(TControl control) const { return control != TControl::Track || model_.DelayEnabled(); }

void TConfigDialog::MoveFocus(int step) {
  int i = int(focus_);
  for (int n = 0; n < 4; ++n) {
    i = (i + step + 4) % 4;
    if (CanFocus(TControl(i))) break;
  }
  focus_ = TControl(i);
}

void TConfigDialog::Press(TControl control) {
  switch (control) {
    case TControl::Check:
      model_.SetChecked(!model_.Checked());
      // The track bar cannot keep the focus once it is disabled.
      if (!CanFocus(focus_)) focus_ = TControl::Check;
      break;
    case TControl::Ok:
      if (!model_.Ok() && error_sink_) error_sink_(model_.Error());
      break;
    case TControl::Cancel:
      model_.Cancel();
      break;
    case TControl::Track:
      break;
  }
}

void TConfigDialog::SetTrackFromX(int32_t x) {
  const int32_t span = kChannelRight - kChannelLeft;
  const int32_t steps = TConfigModel::kMaxPosition - TConfigModel::kMinPosition;
  const int32_t offset = std::clamp(x - kChannelLeft, 0, span);
  model_.SetPosition(TConfigModel::kMinPosition + (offset * steps + span / 2) / span);
}

void TConfigDialog::KeyDown(int32_t key) {
  switch (key) {
    case kKeyShift:
      shift_ = true;
      return;
    case kKeyTab:
      MoveFocus(shift_ ? -1 : 1);
      return;
    case kKeySpace:
      if (focus_ != TControl::Track) Press(focus_);
      return;
    case kKeyEnter:
      Press(focus_ == TControl::Cancel ? TControl::Cancel : TControl::Ok);
      return;
    case kKeyEscape:
      Press(TControl::Cancel);
      return;
    case kKeyS:
      focus_ = TControl::Check;
      Press(TControl::Check);
      return;
    case kKeyD:
      if (CanFocus(TControl::Track)) focus_ = TControl::Track;
      return;
    default:
      break;
  }
  if (focus_ != TControl::Track) return;
  switch (key) {
    case kKeyLeft:
    case kKeyUp:
    case kKeyPageUp:
      model_.SetPosition(model_.Position() - 1);
      break;
    case kKeyRight:
    case kKeyDown:
    case kKeyPageDown:
      model_.SetPosition(model_.Position() + 1);
      break;
    case kKeyHome:
      model_.SetPosition(TConfigModel::kMinPosition);
      break;
    case kKeyEnd:
      model_.SetPosition(TConfigModel::kMaxPosition);
      break;
    default:
      break;
  }
}

void TConfigDialog::KeyUp(int32_t key) {
  if (key == kKeyShift) shift_ = false;
}

void TConfigDialog::MouseDown(TPoint p) {
  press_ = TPress::None;
  if (Inside(kCheck, p)) {
    press_ = TPress::Check;
    focus_ = TControl::Check;
  } else if (Inside(kTrack, p) && model_.DelayEnabled()) {
    press_ = TPress::Track;
    focus_ = TControl::Track;
    SetTrackFromX(p.X);
  } else if (Inside(kOk, p)) {
    press_ = TPress::Ok;
    focus_ = TControl::Ok;
  } else if (Inside(kCancel, p)) {
    press_ = TPress::Cancel;
    focus_ = TControl::Cancel;
  }
  press_inside_ = press_ != TPress::None;
}

void TConfigDialog::MouseMove(TPoint p) {
  switch (press_) {
    case TPress::Track:
      SetTrackFromX(p.X);
      break;
    case TPress::Check:
      press_inside_ = Inside(kCheck, p);
      break;
    case TPress::Ok:
      press_inside_ = Inside(kOk, p);
      break;
    case TPress::Cancel:
      press_inside_ = Inside(kCancel, p);
      break;
    case TPress::None:
      break;
  }
}

void TConfigDialog::MouseUp(TPoint p) {
  MouseMove(p);
  const TPress press = press_;
  const bool inside = press_inside_;
  press_ = TPress::None;
  press_inside_ = false;
  if (!inside) return;
  if (press == TPress::Check) Press(TControl::Check);
  if (press == TPress::Ok) Press(TControl::Ok);
  if (press == TPress::Cancel) Press(TControl::Cancel);
}

// ---- Drawing ----

int32_t TConfigDialog::TextWidth(std::string_view text) {
  int32_t width = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    auto c = static_cast<unsigned char>(text[i]);
    if (c == '&' && i + 1 < text.size()) c = static_cast<unsigned char>(text[++i]);
    uint16_t code = c;
    if (plat::IsCp932LeadByte(c) && i + 1 < text.size()) code = uint16_t(c << 8 | static_cast<unsigned char>(text[++i]));
    width += font_->Advance(code);
  }
  return width;
}

void TConfigDialog::DrawText(TCustomDIBX& s, int32_t x, int32_t y, std::string_view text, uint32_t color) {
  const plat::TFontMetrics& m = font_->Metrics();
  const int32_t baseline = y + m.tm.Ascent;
  const uint32_t pixel = Pixel(s, color);
  const int32_t max_level = plat::MaxLevel(plat::TGlyphFormat::Grey8);
  for (size_t i = 0; i < text.size(); ++i) {
    auto c = static_cast<unsigned char>(text[i]);
    bool key = false;
    if (c == '&' && i + 1 < text.size()) {
      c = static_cast<unsigned char>(text[++i]);
      key = c != '&';
    }
    uint16_t code = c;
    if (plat::IsCp932LeadByte(c) && i + 1 < text.size()) code = uint16_t(c << 8 | static_cast<unsigned char>(text[++i]));
    if (font_->Glyph(code, plat::TGlyphFormat::Grey8, glyph_) && !glyph_.Blank()) {
      mask_.SetSize(glyph_.width, glyph_.height, 8);
      for (int32_t gy = 0; gy < glyph_.height; ++gy) {
        for (int32_t gx = 0; gx < glyph_.width; ++gx) mask_.SetPixel(gx, gy, uint32_t(glyph_.At(gx, gy)) * 255 / max_level);
      }
      s.FillMask(x + glyph_.origin_x, baseline - glyph_.origin_y, mask_, TRect{0, 0, glyph_.width, glyph_.height},
                 false, false, pixel, 255);
    }
    const int32_t advance = font_->Advance(code);
    if (key) {
      const int32_t bar = std::max(1, m.UnderscoreSize);
      const int32_t top = baseline - m.UnderscorePosition;
      s.FillRect(TRect{x, top, x + advance, top + bar}, pixel);
    }
    x += advance;
  }
}

void TConfigDialog::DrawButton(TCustomDIBX& s, const TRect& r, std::string_view caption, bool focused, bool pressed,
                               bool default_frame) {
  TRect body = r;
  if (default_frame) {
    s.FrameRect(body, 1, Pixel(s, kText));
    body = Inflate(body, -1);
  }
  if (pressed) {
    s.FrameRect(body, 1, Pixel(s, kShadow));
  } else {
    Edge(s, body, kHighlight, kDarkShadow);
    Edge(s, Inflate(body, -1), kFace, kShadow);
  }
  const int32_t height = font_->Metrics().tm.Height;
  const int32_t shift = pressed ? 1 : 0;
  DrawText(s, (r.Left + r.Right - TextWidth(caption)) / 2 + shift, (r.Top + r.Bottom - height) / 2 + shift, caption,
           kText);
  if (focused) FocusFrame(s, Inflate(r, -4));
}

void TConfigDialog::DrawTrack(TCustomDIBX& s) {
  const bool enabled = model_.DelayEnabled();
  const int32_t top = kTrack.Top;
  // The channel, sunken.
  const TRect channel{kChannelLeft - 2, top + 8, kChannelRight + 3, top + 12};
  Edge(s, channel, kShadow, kHighlight);
  Edge(s, Inflate(channel, -1), kDarkShadow, kFace);
  // The ticks below, one per position.
  const uint32_t tick = Pixel(s, kText);
  for (int32_t p = TConfigModel::kMinPosition; p <= TConfigModel::kMaxPosition; ++p) {
    const int32_t x = ThumbCentre(p);
    s.FillRect(TRect{x, top + 21, x + 1, top + 24}, tick);
  }
  // The thumb, raised (flat grey when disabled), pointing down.
  const int32_t c = ThumbCentre(model_.Position());
  const TRect thumb{c - 5, top + 1, c + 6, top + 19};
  s.FillRect(thumb, Pixel(s, kFace));
  if (enabled) {
    Edge(s, thumb, kHighlight, kDarkShadow);
    Edge(s, Inflate(thumb, -1), kFace, kShadow);
  } else {
    s.FrameRect(thumb, 1, Pixel(s, kShadow));
  }
  if (focus_ == TControl::Track) FocusFrame(s, kTrack);
}

void TConfigDialog::Draw(TCustomDIBX& s) {
  s.ResetClipRect();
  s.FillRect(TRect{0, 0, kWidth, kHeight}, Pixel(s, kFace));
  // The group's etched frame.
  s.FrameRect(kBevel, 1, Pixel(s, kShadow));
  s.FrameRect(TRect{kBevel.Left + 1, kBevel.Top + 1, kBevel.Right + 1, kBevel.Bottom + 1}, 1, Pixel(s, kHighlight));
  s.FrameRect(TRect{kBevel.Left, kBevel.Top, kBevel.Right - 1, kBevel.Bottom - 1}, 1, Pixel(s, kShadow));

  const int32_t text_height = font_->Metrics().tm.Height;
  // The check box: a sunken white box, ticked when checked, its caption beside it.
  const TRect box{kCheck.Left, kCheck.Top + 2, kCheck.Left + 13, kCheck.Top + 15};
  const bool box_pressed = press_ == TPress::Check && press_inside_;
  s.FillRect(box, Pixel(s, box_pressed ? kFace : kWindow));
  Edge(s, box, kShadow, kHighlight);
  Edge(s, Inflate(box, -1), kDarkShadow, kFace);
  if (model_.Checked()) {
    const uint32_t ink = Pixel(s, kText);
    for (int32_t i = 0; i < 7; ++i) {  // a tick: down three pixels, then up four
      const int32_t x = box.Left + 3 + i;
      const int32_t y = box.Top + (i < 3 ? 5 + i : 9 - i);
      s.FillRect(TRect{x, y, x + 1, y + 3}, ink);
    }
  }
  const std::string& check_caption = MsgText(TMsg::ConfigUseDirectSound);
  const int32_t caption_x = box.Right + 4;
  const int32_t caption_y = kCheck.Top + (kCheck.Height() - text_height) / 2;
  DrawText(s, caption_x, caption_y, check_caption, kText);
  if (focus_ == TControl::Check) {
    FocusFrame(s, TRect{caption_x - 2, caption_y - 1, caption_x + TextWidth(check_caption) + 2,
                        caption_y + text_height + 1});
  }

  // The delay: label, value (right-aligned) and track bar, greyed while the sound device is used.
  const uint32_t delay_color = model_.DelayEnabled() ? kText : kGreyText;
  DrawText(s, kDelayLabel.Left, kDelayLabel.Top, MsgText(TMsg::ConfigDelayLabel), delay_color);
  const std::string value = model_.DelayText();
  DrawText(s, kDelayValue.Right - TextWidth(value), kDelayValue.Top, value, delay_color);
  DrawTrack(s);

  // The buttons; OK is the default button unless Cancel has the focus.
  const bool cancel_focused = focus_ == TControl::Cancel;
  DrawButton(s, kOk, MsgText(TMsg::ConfigOk), focus_ == TControl::Ok, press_ == TPress::Ok && press_inside_,
             !cancel_focused);
  DrawButton(s, kCancel, MsgText(TMsg::ConfigCancel), cancel_focused, press_ == TPress::Cancel && press_inside_,
             cancel_focused);
}

// ---- The dialog's window ----

int RunConfigDialog(IDesktop& desktop, TSettingsFile& file) {
  TConfigModel model(file);
  TConfigDialog dialog(model, desktop.Glyphs());
  TDesktopWindow w;
  std::string error;
  const plat::TSize size{TConfigDialog::kWidth, TConfigDialog::kHeight};
  if (!desktop.OpenWindow(MsgText(TMsg::ConfigCaption), size, size, false, w, error)) {
    std::fprintf(stderr, "kovaplayer: the settings window cannot be opened: %s\n", error.c_str());
    return 1;
  }
  plat::IWindow& window = *w.window;
  dialog.SetErrorSink([&](std::string_view text) { window.ShowWarning(MsgText(TMsg::CaptionWarning), text); });
  // Centred on the desktop.
  const plat::TDisplayMode screen = desktop.Display().DesktopMode().mode;
  window.Show();
  const plat::TSize frame = window.FrameSize();
  window.SetPosition(plat::TPoint{(screen.Width - frame.width) / 2, (screen.Height - frame.height) / 2});

  TDIBX picture;
  picture.SetSize(size.width, size.height, 32);
  auto show = [&] {
    dialog.Draw(picture);
    if (w.presenter) w.presenter->RepaintAll(FrameOf(picture));
  };
  show();
  while (model.IsOpen()) {
    plat::TEvent e;
    if (!w.events->Wait(e)) continue;
    const TPoint at{e.pos.x, e.pos.y};
    switch (e.kind) {
      case plat::TEventKind::KeyDown: dialog.KeyDown(e.key); break;
      case plat::TEventKind::KeyUp: dialog.KeyUp(e.key); break;
      case plat::TEventKind::MouseDown:
        if (e.button == plat::TMouseButton::Left) dialog.MouseDown(at);
        break;
      case plat::TEventKind::MouseMove: dialog.MouseMove(at); break;
      case plat::TEventKind::MouseUp:
        if (e.button == plat::TMouseButton::Left) dialog.MouseUp(at);
        break;
      case plat::TEventKind::Close: dialog.CloseBox(); break;
      case plat::TEventKind::Expose: break;
      default: continue;
    }
    if (model.IsOpen()) show();
  }
  return 0;
}

}  // namespace kova
