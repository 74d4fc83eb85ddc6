#include "components/scene/kova_object.h"

#include <string>
#include <utility>

#include "components/scene/kova_base.h"
#include "components/scene/kova_base_list.h"
#include "core/array_string.h"
#include "core/record_io.h"
#include "core/stream_records.h"
#include "core/utils.h"
#include "core/vocabulary.h"

namespace kova {

TKovaObject::TKovaObject(TKovaObject* owner) : owner_(owner) {
  if (!owner_) return;
  if (owner_->GeneratesNames()) {
    if (TKovaBaseList* root = owner_->AsRoot()) name_ = root->UniqueName(owner_, "object");
  }
  owner_->AddChild(this);
}

TKovaObject::~TKovaObject() = default;

void TKovaObject::SetName(const std::string& name) {
  if (name == name_) return;
  if (TKovaBaseList* root = Root()) {
    if (TKovaObject* other = root->FindChildNamed(owner_, name, this)) other->RemoveFromOwner();
  }
  StoreName(name);
}

void TKovaObject::StoreName(std::string name) {
  TKovaBaseList* root = root_serial_ ? Root() : nullptr;
  if (!root) {
    name_ = std::move(name);
    return;
  }
  const std::string old = std::exchange(name_, std::move(name));
  root->NameChanged(this, old);
}

TCustomDIBX* TKovaObject::GetTargetDIB() {
  TKovaControl* parent = GetParent();
  return parent ? parent->GetTargetDIB() : nullptr;
}

TKovaBase* TKovaObject::GetBase() {
  TKovaControl* parent = GetParent();
  return parent ? parent->GetBase() : nullptr;
}

TRect TKovaObject::GetBoundsRect() const {
  const int32_t x = GetScreenLeft(), y = GetScreenTop();
  return TRect{x, y, x + GetWidth(), y + GetHeight()};
}

TRect TKovaObject::GetBounds() const {
  const int32_t x = GetLeft(), y = GetTop();
  return TRect{x, y, x + GetWidth(), y + GetHeight()};
}

TRect TKovaObject::GetClipRect() const {
  const int32_t w = GetClipWidth(), h = GetClipHeight();
  if (w <= 0 || h <= 0) return TRect{};
  const int32_t x = GetScreenLeft() + GetClipLeft(), y = GetScreenTop() + GetClipTop();
  return TRect{x, y, x + w, y + h};
}

bool TKovaObject::ClipRect(TRect& r, const TRect& clip) {
  if (IsRectEmpty(r) || IsRectEmpty(clip) || !RectsOverlap(r, clip)) return false;
  r = IntersectRects(r, clip);
  return true;
}

bool TKovaObject::ClipToBounds(TRect& r) const {
  r = IntersectRects(r, GetBoundsRect());
  return !IsRectEmpty(r);
}

void TKovaObject::InvalidateParent(const TRect& r) {
  if (TKovaControl* parent = GetParent()) parent->InvalidateParent(r);
}

bool TKovaObject::IsOnActiveBase() {
  if (!GetVisible()) return false;
  TKovaBaseList* root = Root();
  TKovaBase* base = GetBase();
  if (!root || !base || base != root->ActiveBase()) return false;
  for (TKovaControl* p = GetParent(); p; p = p->GetParent()) {
    if (!p->GetVisible()) return false;
  }
  return true;
}

void TKovaObject::SetPriority(int32_t v) {
  if (v == priority_) return;
  priority_ = v;
  order_ = 0;
  if (TKovaControl* parent = GetParent()) parent->SortControls();
  Invalidate();
}

void TKovaObject::SetOrder(int32_t v) {
  if (v == order_) return;
  order_ = v;
  if (TKovaControl* parent = GetParent()) parent->SortControls();
  Invalidate();
}

void TKovaObject::RemoveFromOwner() {
  if (owner_) owner_->ChildRemoved(this);
  StoreName(std::string());
}

void TKovaObject::PointerParams(TArrayString& params) {
  TKovaBase* base = GetBase();
  const TPoint p = base ? base->MousePos() : TPoint{};
  params.Add(std::to_string(p.X - GetScreenLeft()));
  params.Add(std::to_string(p.Y - GetScreenTop()));
}

void TKovaObject::QueueEvent(const std::string& handler, uint8_t code, const TArrayString* params) {
  if (TKovaBaseList* root = Root()) root->Events().AddEvent(handle_, handler, params, code);
}

bool TKovaObject::EventQueued(uint8_t code) const {
  TKovaBaseList* root = Root();
  return root && root->Events().IndexOfEvent(handle_, code) >= 0;
}

// ---- Default mouse handlers ----

void TKovaObject::MouseLDown() {
  if (GetEventLock()) return;
  const uint8_t ignore = GetIgnoreMouse();
  const bool takes = ignore == 0 || ignore == 4;
  TKovaBase* base = GetBase();
  if (takes && !GetPaused() && !EventQueued(PR_ONLBTNDOWN) && !IsBase()) {
    const std::string handler = GetOnLBtnDown();
    if (!handler.empty()) {
      TArrayString params;
      PointerParams(params);
      QueueEvent(handler, PR_ONLBTNDOWN, &params);
    }
    if (base) {
      base->ButtonBits |= 4;
      base->LeftClick = false;
    }
  } else if (takes && !IsBase() && base) {
    base->LeftClick = false;
  }
}

void TKovaObject::MouseLUp() {
  if (GetEventLock()) return;
  const std::string handler = GetOnLBtnUp();
  if (!handler.empty()) {
    TArrayString params;
    PointerParams(params);
    QueueEvent(handler, PR_ONLBTNUP, &params);
  }
  if (TKovaBase* base = GetBase()) base->ButtonBits &= uint8_t(~4u);
}

void TKovaObject::MouseRDown() {
  if (GetEventLock()) return;
  const uint8_t ignore = GetIgnoreMouse();
  const bool takes = ignore == 0 || ignore == 3;
  TKovaBase* base = GetBase();
  if (takes && !GetPaused() && !EventQueued(PR_ONRBTNDOWN) && !IsBase()) {
    const std::string handler = GetOnRBtnDown();
    if (!handler.empty()) {
      TArrayString params;
      PointerParams(params);
      QueueEvent(handler, PR_ONRBTNDOWN, &params);
    }
    if (base) {
      base->ButtonBits |= 8;
      base->RightClick = false;
    }
  } else if (takes && !IsBase() && base) {
    base->RightClick = false;
  }
}

void TKovaObject::MouseRUp() {
  if (GetEventLock()) return;
  const std::string handler = GetOnRBtnUp();
  if (!handler.empty()) {
    TArrayString params;
    PointerParams(params);
    QueueEvent(handler, PR_ONRBTNUP, &params);
  }
  if (TKovaBase* base = GetBase()) base->ButtonBits &= uint8_t(~8u);
}

void TKovaObject::MouseMove() {
  if (GetEventLock()) return;
  const std::string handler = GetOnMouseMove();
  if (handler.empty() || EventQueued(PR_ONMOUSEMOVE)) return;
  TArrayString params;
  PointerParams(params);
  QueueEvent(handler, PR_ONMOUSEMOVE, &params);
}

void TKovaObject::MouseIn(TKovaControl*) {
  if (GetEventLock()) return;
  const std::string handler = GetOnMouseIn();
  if (!handler.empty()) QueueEvent(handler, PR_ONMOUSEIN);
}

void TKovaObject::MouseOut(TKovaControl*) {
  if (GetEventLock()) return;
  const std::string handler = GetOnMouseOut();
  if (!handler.empty()) QueueEvent(handler, PR_ONMOUSEOUT);
}

// ---- Save form ----

template <class IO, class R>
void TKovaObject::Transfer(IO& io, R& r) {
  io.Str(r.name_, [&](auto v) { r.StoreName(std::move(v)); });
  io.Int(r.priority_);
  if constexpr (IO::kLoading) {
    r.order_ = 0;
    r.tag_.clear();
  }
  if (io.Since(104)) io.Int(r.order_);
  if (io.Since(120)) io.Str(r.tag_);
}

void TKovaObject::SaveToStream(TStream& stream) const {
  TRecordSaver io(stream);
  Transfer(io, *this);
}

void TKovaObject::LoadFromStream(TStream& stream, int32_t version) {
  TRecordLoader io(stream, version);
  Transfer(io, *this);
}

// ---- TKovaComponent ----

TKovaComponent::TKovaComponent(TKovaObject* owner) : TKovaObject(owner) {}

TKovaComponent::~TKovaComponent() {
  if (TKovaBaseList* root = Root()) root->Events().RemoveWaiting(Handle());
}

}  // namespace kova
