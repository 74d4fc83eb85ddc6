#include "components/widgets/kova_menu.h"

#include "components/scene/kova_base.h"
#include "components/scene/kova_base_list.h"
#include "core/record_io.h"
#include "core/stream_records.h"

namespace kova {
namespace {

constexpr int32_t kVkEnter = 13, kVkEscape = 27, kVkSpace = 32;

}  // namespace

TKovaMenu::TKovaMenu(TKovaObject* owner) : TKovaCustomListBox(owner) {
  if (TKovaBaseList* root = Root()) root->ScrapList().AddUnique(this);
}

TKovaMenu::~TKovaMenu() {
  if (TKovaBaseList* root = Root()) root->ScrapList().Remove(this);
}

// ---- Properties ----

void TKovaMenu::SetFontHoverStyle(TFontStyles v) {
  if (v.bits == hover_.Style) return;
  hover_.Style = v.bits;
  hover_.Invalidate();
  Relayout();
}

void TKovaMenu::SetFontHoverColor(int32_t v) {
  if (v == hover_.Color) return;
  hover_.Color = v;
  hover_.Invalidate();
  Invalidate();
}

void TKovaMenu::SetHoverColor(int32_t v) {
  if (v == hover_color_) return;
  hover_color_ = v;
  Invalidate();
}

int32_t TKovaMenu::GetOrigHeight() const {
  return play_state_ == kOpening || play_state_ == kClosing ? full_height_ : GetHeight();
}

void TKovaMenu::QueueIfSet(const std::string& handler, uint8_t code) {
  if (!handler.empty()) QueueEvent(handler, code);
}

void TKovaMenu::TakeFocus() {
  TKovaBaseList* root = Root();
  if (root && GetVisible() && !GetPaused() && GetHandleKey()) root->SetFocusControl(this);
}

void TKovaMenu::GiveUpFocus() {
  TKovaBaseList* root = Root();
  if (!root || root->FocusControl() != this) return;
  root->SetFocusControl(nullptr);
  root->RequestFocusRecalc(true);
}

void TKovaMenu::SetPlayState(int32_t v) {
  if (v < kOpen || v > kClosing || v == play_state_) return;
  if ((v == kOpening && play_state_ == kOpen) || (v == kClosing && play_state_ == kClosed)) return;
  // A menu already closing (after a selection that closes it, or an animated close) is not
  // closed again: its closing events are queued once.
  if (v == kClosing && menu_state_ >= kStepCloseStart) return;
  play_state_ = v;
  switch (v) {
    case kOpen:
      Layout();
      full_height_ = GetHeight();
      menu_state_ = kStepIdle;
      TakeFocus();
      QueueIfSet(on_opening_, PR_ONOPENING);
      QueueIfSet(on_opened_, PR_ONOPENED);
      break;
    case kOpening:
      menu_state_ = kStepOpenStart;
      TakeFocus();
      break;
    case kClosed:
      SetHeight(0);
      menu_state_ = kStepIdle;
      GiveUpFocus();
      QueueIfSet(on_closing_, PR_ONCLOSING);
      QueueIfSet(on_closed_, PR_ONCLOSED);
      break;
    default:
      menu_state_ = kStepCloseStart;
      GiveUpFocus();
      break;
  }
  Invalidate();
}

// ---- The opening and closing ----

bool TKovaMenu::Update() {
  TKovaCustomListBox::Update();
  TKovaBaseList* root = Root();
  const int32_t clock = root ? root->GameClock() : 0;
  const int64_t t = int64_t(clock) - anim_start_;
  switch (menu_state_) {
    case kStepCloseRequested:
      SetPlayState(kClosing);
      break;
    case kStepOpenStart:
      Layout();
      QueueIfSet(on_opening_, PR_ONOPENING);
      full_height_ = GetHeight();
      SetHeight(0);
      menu_state_ = kStepOpenClock;
      break;
    case kStepOpenClock:
      anim_start_ = clock;
      menu_state_ = kStepOpening;
      break;
    case kStepOpening:
      if (delay_ > 0 && t < delay_) {
        SetHeight(int32_t(int64_t(full_height_) * t / delay_));
      } else {
        SetHeight(full_height_);
        menu_state_ = kStepIdle;
        QueueIfSet(on_opened_, PR_ONOPENED);
      }
      break;
    case kStepCloseStart:
      event_lock_ = true;
      anim_start_ = clock;
      QueueIfSet(on_closing_, PR_ONCLOSING);
      menu_state_ = kStepClosing;
      break;
    case kStepClosing:
      event_lock_ = true;
      if (delay_ > 0 && t < delay_) {
        SetHeight(int32_t(full_height_ - int64_t(full_height_) * t / delay_));
      } else {
        QueueIfSet(on_closed_, PR_ONCLOSED);
        menu_state_ = kStepClosed;
      }
      break;
    case kStepCloseNow:
      event_lock_ = true;
      QueueIfSet(on_closing_, PR_ONCLOSING);
      QueueIfSet(on_closed_, PR_ONCLOSED);
      menu_state_ = kStepCloseNext;
      break;
    case kStepCloseNext:
      menu_state_ = kStepClosed;
      break;
    case kStepClosed:
      return !EventQueued(PR_ONCLOSING) && !EventQueued(PR_ONCLOSED);
    default:
      break;
  }
  return false;
}

// ---- Input ----

TKovaControl* TKovaMenu::FindKeyControl() {
  if (play_state_ == kClosed || play_state_ == kClosing) return nullptr;
  return TKovaCustomListBox::FindKeyControl();
}

void TKovaMenu::SelectItem() {
  if (!HoverIsItem()) return;
  TKovaCustomListBox::SelectItem();
  if (auto_scrap_) {
    event_lock_ = true;
    menu_state_ = kStepCloseNow;
  }
}

void TKovaMenu::KeyRepeat(int32_t key) {
  if (play_state_ == kClosed || play_state_ == kClosing) return;
  TKovaBaseList* root = Root();
  if (root) {
    if ((root->GetKeyRepeat(kVkEnter) || root->GetKeyRepeat(kVkSpace)) && HoverIndex() >= 0 && !event_lock_) {
      SelectItem();
    }
    if (root->GetKeyRepeat(kVkEscape) && rclick_scrap_ && play_state_ != kClosed && !event_lock_) {
      menu_state_ = kStepCloseRequested;
    }
  }
  TKovaCustomListBox::KeyRepeat(key);
}

void TKovaMenu::Cancel() {
  SetSelection(std::string(), -1);
  SetPlayState(kClosing);
}

void TKovaMenu::MouseRDown() {
  if (!GetPaused() && rclick_scrap_) {
    Cancel();
    if (TKovaBase* base = GetBase()) base->RightClick = false;
    return;
  }
  TKovaCustomListBox::MouseRDown();
}

bool TKovaMenu::ItemHitTest(TPoint) {
  const uint8_t ignore = GetIgnoreMouse();
  if (event_lock_ || (ignore != 0 && ignore != 3)) return false;
  event_lock_ = true;
  menu_state_ = kStepCloseRequested;
  return true;
}

// ---- Save form ----

template <class IO, class R>
void TKovaMenu::Transfer(IO& io, R& r) {
  io.Int(r.delay_);
  io.Int(r.hover_color_, [&](auto v) { r.SetHoverColor(v); });
  io.Bool(r.auto_scrap_);
  io.Bool(r.rclick_scrap_);
  io.Byte(uint8_t(r.play_state_), [&](auto v) { r.play_state_ = v <= kClosing ? int32_t(v) : int32_t(kClosed); });
  for (auto* s : {&r.on_opening_, &r.on_opened_, &r.on_closing_, &r.on_closed_}) io.Str(*s);
}

void TKovaMenu::SaveToStream(TStream& stream) const {
  TKovaCustomListBox::SaveToStream(stream);
  TRecordSaver io(stream);
  Transfer(io, *this);
}

void TKovaMenu::LoadFromStream(TStream& stream, int32_t version) {
  TKovaCustomListBox::LoadFromStream(stream, version);
  TRecordLoader io(stream, version);
  Transfer(io, *this);
  // The height the record holds is the one shown; the laid-out height is what the animations aim
  // at. An open menu shows its laid-out height.
  const int32_t shown = GetHeight();
  Layout();
  full_height_ = GetHeight();
  if (play_state_ != kOpen) SetHeight(shown);
  TKovaBaseList* root = Root();
  anim_start_ = root ? root->GameClock() : 0;
}

}  // namespace kova
