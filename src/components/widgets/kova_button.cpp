#include "components/widgets/kova_button.h"

#include "components/scene/kova_base.h"
#include "components/scene/kova_base_list.h"
#include "components/scene/kova_motion.h"
#include "core/record_io.h"
#include "core/stream_records.h"
#include "core/vocabulary.h"

namespace kova {

TKovaButton::TKovaButton(TKovaObject* owner) : TKovaImages(owner, 4) {}

TKovaButton::~TKovaButton() {
  Invalidate();
  SetDIB(nullptr);
  SetSubDIB(nullptr);
  for (auto& m : motions_) m.reset();
}

uint8_t TKovaButton::GetCompoType() const { return KT_BUTTON; }

TKovaMotion* TKovaButton::StateMotion(int32_t state) const {
  if (state == kNormal) return TKovaImages::GetMotion();
  return state >= kHover && state <= kClicked ? motions_[size_t(state - 1)].get() : nullptr;
}

TKovaMotion* TKovaButton::GetMotion() const { return StateMotion(state_); }

void TKovaButton::SetStateIndex(int32_t s) {
  if (state_ == kClicked) {
    pending_ = s;
    return;
  }
  if (s == state_) return;
  if (s >= kHover && (s > kClicked || (!StateMotion(s) && List(s).Count() == 0))) return;
  if (s < kNormal) return;
  Invalidate();
  state_ = s;
  if (s == kClicked) pending_ = kNormal;
  // The first picture of the new state shows (a state with only a motion keeps the picture shown).
  index_ = -1;
  remaining_ = 0;
  if (TKovaMotion* m = StateMotion(s)) {
    m->Restart();
  } else {
    SetIndex(0);
  }
  Invalidate();
}

void TKovaButton::SetStateSource(int32_t state, const std::string& v) {
  std::string& source = sources_[size_t(state - 1)];
  if (v == source) return;
  source = v;
  const bool shown = state_ == state;
  if (shown) {
    Invalidate();
    index_ = -1;
    SetDIB(nullptr);
    SetSubDIB(nullptr);
  }
  TKovaImageList& list = List(state);
  list.Clear();
  motions_[size_t(state - 1)].reset();
  if (HasExtension(v, ".wxa")) {
    TKovaBaseList* root = Root();
    // Each list holds its picture in the cache under its own name: two states showing the same
    // picture must not release each other's hold.
    if (TWexaCollection* cache = root ? root->ImageCache() : nullptr) list.Load(*cache, &list, v, false);
  } else if (HasExtension(v, ".kmt")) {
    auto motion = std::make_unique<TKovaMotion>(*this);
    motion->LoadFile(v);
    motions_[size_t(state - 1)] = std::move(motion);
  }
  if (shown && list.Count() > 0) SetIndex(0);
}

void TKovaButton::GroupUpdate() {
  if (group_index_ == 0) return;
  if (TKovaControl* parent = GetParent()) parent->GroupSelect(this, group_index_);
}

void TKovaButton::SetGroupIndex(int32_t v) {
  if (v == group_index_) return;
  group_index_ = v;
  GroupUpdate();
}

void TKovaButton::SetSelected(bool v) {
  if (v == selected_) return;
  if (v && group_index_ == 0) return;
  selected_ = v;
  SetStateIndex(v ? kPressed : kNormal);
  GroupUpdate();
}

void TKovaButton::SetAllowAllUp(bool v) {
  allow_all_up_ = v;
  TKovaControl* parent = GetParent();
  if (!parent) return;
  parent->GroupSetFlags(group_index_, v);
  GroupUpdate();
}

void TKovaButton::GroupSetDown(bool v) {
  selected_ = v;
  SetStateIndex(v ? kPressed : kNormal);
}

void TKovaButton::SetPaused(bool v) {
  TKovaImages::SetPaused(v);
  if (!v) SetStateIndex(kNormal);
}

bool TKovaButton::PointerOnSelf() {
  TKovaBase* base = GetBase();
  return base && base->HitTest(base->MousePos(), kMaskLeftPress) == this;
}

void TKovaButton::MouseLDown() {
  const uint8_t ignore = GetIgnoreMouse();
  if (ignore != 0 && ignore != 4) {
    TKovaImages::MouseLDown();
    return;
  }
  TKovaBase* base = GetBase();
  if (!GetPaused() && state_ != kClicked) {
    if (base) base->ButtonBits |= 4;
    SetStateIndex(kPressed);
    tracking_ = 1;
  }
  if (base) base->LeftClick = false;
}

void TKovaButton::MouseMove() {
  if (tracking_ == 0) {
    if (!GetPaused() && !selected_) {
      SetStateIndex(kHover);
    } else {
      SetStateIndex(selected_ ? kPressed : kNormal);
    }
    TKovaImages::MouseMove();
  } else if (tracking_ == 1) {
    SetStateIndex(selected_ || PointerOnSelf() ? kPressed : kNormal);
  }
}

void TKovaButton::MouseOut(TKovaControl* next) {
  if (state_ != kClicked) SetStateIndex(selected_ ? kPressed : kNormal);
  TKovaImages::MouseOut(next);
}

void TKovaButton::MouseLUp() {
  if (tracking_ == 1 && PointerOnSelf()) {
    Click();
    if (tracking_ == -1) return;
  }
  tracking_ = 0;
  if (group_index_ == 0 && state_ != kClicked) SetStateIndex(kNormal);
}

void TKovaButton::KeyRepeat(int32_t key) {
  TKovaBaseList* root = Root();
  if (root && (root->GetKeyRepeat(13) || root->GetKeyRepeat(32))) Click();
  TKovaImages::KeyRepeat(key);
}

void TKovaButton::Click() {
  if (!on_notify_.empty()) QueueEvent(on_notify_, PR_ONNOTIFY);
  if (group_index_ != 0) {
    if (!allow_all_up_ && selected_) return;
    SetSelected(!selected_);
    return;
  }
  SetStateIndex(kClicked);
  if (state_ != kClicked && GetAutoScrap()) tracking_ = -1;
}

bool TKovaButton::Update() {
  if (tracking_ == -1) return true;
  if (GetReanchor()) {
    SetReanchor(false);
    Invalidate();
    RecalcHorz();
    RecalcVert();
    Invalidate();
  }
  TKovaBaseList* root = Root();
  const int32_t delta = root ? root->FrameDelta() : 0;
  bool ended = false;
  if (TKovaMotion* m = GetMotion()) {
    ended = m->Step(delta);
  } else if (ValidIndex(index_) && GetVisible() && !GetPaused() && !GetAniPaused()) {
    remaining_ -= delta;
    while (remaining_ < 1) {
      TKovaImageList* list = GetStateImage();
      const int32_t last = list->Count() - 1;
      if (index_ < last) {
        if (list->Count() < 3) remaining_ = 0;
        SetIndex(index_ + 1);
        continue;
      }
      ended = state_ == kClicked;
      if (!ended) {
        remaining_ = 0;
        SetIndex(0);
      }
      break;
    }
  }
  if (!ended) return false;
  if (GetAutoScrap()) return true;
  const std::string handler = GetOnPlayEnd();
  if (!handler.empty()) QueueEvent(handler, PR_ONPLAYEND);
  const int32_t next = pending_;
  state_ = -1;
  SetStateIndex(next);
  // A pending state that cannot be entered (no pictures, no motion) leaves the button normal.
  if (state_ == -1) SetStateIndex(kNormal);
  return false;
}

template <class IO, class R>
void TKovaButton::Transfer(IO& io, R& r) {
  bool selected = r.selected_;
  io.Str(r.sources_[0], [&](auto v) { r.SetHoverSource(v); });
  io.Str(r.sources_[1], [&](auto v) { r.SetPressedSource(v); });
  io.Int(r.group_index_);
  io.Bool(selected);
  io.Bool(r.allow_all_up_);
  io.Str(r.on_notify_);
  if (io.Since(104)) {
    io.Str(r.on_idle_);
    io.Str(r.sources_[2], [&](auto v) { r.SetClickedSource(v); });
  }
  if constexpr (IO::kLoading) {
    // The selection goes through its setter, so the button shows pressed and its group agrees.
    r.selected_ = false;
    r.SetSelected(selected);
  }
}

void TKovaButton::SaveToStream(TStream& stream) const {
  TKovaImages::SaveToStream(stream);
  TRecordSaver io(stream);
  Transfer(io, *this);
}

void TKovaButton::LoadFromStream(TStream& stream, int32_t version) {
  TKovaImages::LoadFromStream(stream, version);
  const int32_t saved_index = index_;
  const int32_t saved_remaining = remaining_;
  TRecordLoader io(stream, version);
  Transfer(io, *this);
  tracking_ = 0;
  index_ = -1;
  SetIndex(saved_index);
  remaining_ = saved_remaining;
}

}  // namespace kova
