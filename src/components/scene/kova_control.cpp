#include "components/scene/kova_control.h"

#include <algorithm>
#include <limits>
#include <string>
#include <string_view>

#include "components/scene/component_names.h"
#include "components/scene/kova_base.h"
#include "components/scene/kova_base_list.h"
#include "components/scene/kova_motion.h"
#include "core/errors.h"
#include "core/record_io.h"
#include "core/stream_records.h"
#include "core/utils.h"
#include "core/vocabulary.h"
#include "graphics/dibx.h"

namespace kova {
namespace {

// The flip command's snapshot of the screen: drawn over everything.
bool IsFlipSnapshot(std::string_view name) { return name == std::string_view("\x01\x01", 2); }

// Sorting rule of siblings: the flip snapshot last, internal names first, then priority plus
// order, then the names' bytes.
bool SortsBefore(const TKovaControl* a, const TKovaControl* b) {
  if (a == b) return false;
  const std::string& an = a->GetName();
  const std::string& bn = b->GetName();
  const bool a_snap = IsFlipSnapshot(an), b_snap = IsFlipSnapshot(bn);
  if (a_snap != b_snap) return b_snap;
  const bool a_int = TKovaObject::IsInternalName(an), b_int = TKovaObject::IsInternalName(bn);
  if (a_int != b_int) return a_int;
  const int64_t ka = int64_t(a->Priority()) + a->Order(), kb = int64_t(b->Priority()) + b->Order();
  if (ka != kb) return ka < kb;
  return std::lexicographical_compare(an.begin(), an.end(), bn.begin(), bn.end(), [](char x, char y) {
    return static_cast<uint8_t>(x) < static_cast<uint8_t>(y);
  });
}

int32_t ScaleBy(int32_t v, int32_t zoom) { return int32_t(int64_t(v) * zoom / 256); }

}  // namespace

TKovaControl::TKovaControl(TKovaObject* owner) : TKovaComponent(owner) {
  if (TKovaBaseList* root = Root()) {
    if (!root->FocusControl()) root->RequestFocusRecalc(true);
  }
}

TKovaControl::~TKovaControl() {
  motion_.reset();
  TKovaBaseList* root = Root();
  EnsureOrder();
  while (!controls_.empty()) {
    TKovaControl* child = controls_.back();
    if (!child) {
      controls_.pop_back();
      --holes_;
    } else if (root && root->Contains(child)) {
      root->DeleteComponent(child);
    } else {
      controls_.pop_back();
      child->parent_ = nullptr;
    }
  }
  if (parent_) parent_->RemoveControl(this);
  if (root) root->ForgetControl(this);
}

// ---- Tree ----

bool TKovaControl::GetVisible() const { return visible_ && parent_ && parent_->GetVisible(); }

void TKovaControl::SetVisible(bool v) {
  if (v == visible_) return;
  TKovaBaseList* root = Root();
  if (!v) {
    Invalidate();
    visible_ = false;
    if (root) {
      TKovaControl* focus = root->FocusControl();
      if (focus && (focus == this || ContainsControl(focus))) {
        root->SetFocusControl(nullptr);
        root->RequestFocusRecalc(true);
      }
    }
  } else {
    visible_ = true;
    Invalidate();
    if (root && !root->FocusControl()) root->RequestFocusRecalc(true);
  }
}

TKovaControl* TKovaControl::GetControl(int32_t i) const {
  return i >= 0 && i < GetControlCount() ? Controls()[static_cast<size_t>(i)] : nullptr;
}

int32_t TKovaControl::SubtreeHeight() const {
  int32_t height = 0;
  std::vector<const TKovaControl*> level{this}, next;
  for (;;) {
    next.clear();
    for (const TKovaControl* c : level) {
      for (const TKovaControl* child : c->controls_) {
        if (child) next.push_back(child);
      }
    }
    if (next.empty()) return height;
    ++height;
    level.swap(next);
  }
}

TCustomDIBX* TKovaControl::GetTargetDIB() { return parent_ ? parent_->GetTargetDIB() : nullptr; }

TKovaBase* TKovaControl::GetBase() { return parent_ ? parent_->GetBase() : nullptr; }

void TKovaControl::SetParent(TKovaControl* p) {
  if (p == parent_ || p == this || (p && ContainsControl(p))) return;
  if (p) {
    int32_t depth = 1;
    for (const TKovaControl* a = p->parent_; a; a = a->parent_) ++depth;
    if (depth + SubtreeHeight() > kMaxTreeDepth) Raise<EListError>(TMsg::TreeTooDeep, int(kMaxTreeDepth));
  }
  Invalidate();
  TKovaControl* old = parent_;
  if (old) old->RemoveControl(this);
  if (old && old->GetCompoType() == KT_CABINET) MediaResume();
  parent_ = p;
  if (p) {
    p->AddControl(this);
    p->SortControls();
    if (p->GetCompoType() == KT_CABINET) MediaPause();
  }
  Invalidate();
  TKovaBaseList* root = Root();
  if (!root) return;
  TKovaControl* focus = root->FocusControl();
  const bool on_active = GetBase() == root->ActiveBase();
  if (focus && (focus == this || ContainsControl(focus)) && !on_active) {
    root->SetFocusControl(nullptr);
    root->RequestFocusRecalc(true);
  } else if (!focus && on_active) {
    root->RequestFocusRecalc(true);
  }
}

void TKovaControl::SetName(const std::string& name) {
  if (name == GetName()) return;
  TKovaBaseList* root = Root();
  TKovaObject* other = root ? root->FindChildNamed(Owner(), name, this) : nullptr;
  if (other) {
    std::string base;
    int64_t counter = 2;
    SplitRenameCounter(other->GetName(), base, counter);
    other->StoreName(root->RenameCandidate(Owner(), base, counter));
  }
  StoreName(name);
}

void TKovaControl::AddControl(TKovaControl* c) {
  c->slot_in_parent_ = controls_.size();
  controls_.push_back(c);
}

void TKovaControl::RemoveControl(TKovaControl* c) {
  // A child knows its place: one that is not there (taken out before) is not in the list.
  if (!c) return;
  const size_t i = c->slot_in_parent_;
  if (i >= controls_.size() || controls_[i] != c) return;
  controls_[i] = nullptr;
  ++holes_;
  while (!controls_.empty() && !controls_.back()) {
    controls_.pop_back();
    --holes_;
  }
  sorted_count_ = std::min(sorted_count_, controls_.size());
}

void TKovaControl::SortControls() { sort_pending_ = true; }

void TKovaControl::EnsureOrder() const {
  if (holes_ == 0 && !sort_pending_) return;
  if (holes_ != 0) {
    size_t n = 0, sorted = 0;
    for (size_t i = 0; i < controls_.size(); ++i) {
      if (!controls_[i]) continue;
      if (i < sorted_count_) ++sorted;
      controls_[n++] = controls_[i];
    }
    controls_.resize(n);
    sorted_count_ = sorted;
    holes_ = 0;
  }
  if (sort_pending_) {
    sort_pending_ = false;
    // A stable sort, as one child added or moved at a time would give: the part sorted before
    // keeps its order among equals and the newcomers follow it.
    const auto mid = controls_.begin() + std::ptrdiff_t(sorted_count_);
    if (std::is_sorted(controls_.begin(), mid, SortsBefore)) {
      std::stable_sort(mid, controls_.end(), SortsBefore);
      std::inplace_merge(controls_.begin(), mid, controls_.end(), SortsBefore);
    } else {
      std::stable_sort(controls_.begin(), controls_.end(), SortsBefore);
    }
    sorted_count_ = controls_.size();
  }
  for (size_t i = 0; i < controls_.size(); ++i) controls_[i]->slot_in_parent_ = i;
}

void TKovaControl::ClipChanged() {
  for (TKovaControl* c : Controls()) c->ClipChanged();
}

bool TKovaControl::ContainsControl(const TKovaControl* c) const {
  if (!c) return false;
  for (const TKovaControl* p = c->parent_; p; p = p->parent_) {
    if (p == this) return true;
  }
  return false;
}

bool TKovaControl::IsInCabinet() const {
  for (const TKovaControl* p = parent_; p; p = p->parent_) {
    if (p->GetCompoType() == KT_CABINET) return true;
  }
  return false;
}

// ---- Accessors ----

#define KOVA_INVALIDATE_TWICE(field, v) \
  if ((v) == field) return;             \
  Invalidate();                         \
  field = (v);                          \
  Invalidate();

void TKovaControl::SetLeft(int32_t v) {
  KOVA_INVALIDATE_TWICE(left_, v)
  motion_x_ = 0;
  PositionChanged();
}

void TKovaControl::SetTop(int32_t v) {
  KOVA_INVALIDATE_TWICE(top_, v)
  motion_y_ = 0;
  PositionChanged();
}

void TKovaControl::SetWidth(int32_t v) { KOVA_INVALIDATE_TWICE(width_, v) }
void TKovaControl::SetHeight(int32_t v) { KOVA_INVALIDATE_TWICE(height_, v) }
void TKovaControl::SetMotionX(int32_t v) { KOVA_INVALIDATE_TWICE(motion_x_, v) }
void TKovaControl::SetMotionY(int32_t v) { KOVA_INVALIDATE_TWICE(motion_y_, v) }
void TKovaControl::SetPosZoomed(bool v) { KOVA_INVALIDATE_TWICE(pos_zoomed_, v) }

void TKovaControl::SetOffsetX(int32_t v) {
  KOVA_INVALIDATE_TWICE(offset_x_, v)
  PositionChanged();
}

void TKovaControl::SetOffsetY(int32_t v) {
  KOVA_INVALIDATE_TWICE(offset_y_, v)
  PositionChanged();
}

void TKovaControl::SetClipLeft(int32_t v) {
  KOVA_INVALIDATE_TWICE(clip_left_, v)
  ClipChanged();
}
void TKovaControl::SetClipTop(int32_t v) {
  KOVA_INVALIDATE_TWICE(clip_top_, v)
  ClipChanged();
}
void TKovaControl::SetClipWidth(int32_t v) {
  KOVA_INVALIDATE_TWICE(clip_width_, v)
  ClipChanged();
}
void TKovaControl::SetClipHeight(int32_t v) {
  KOVA_INVALIDATE_TWICE(clip_height_, v)
  ClipChanged();
}
#undef KOVA_INVALIDATE_TWICE

void TKovaControl::SetColor(int32_t v) {
  if (v == color_) return;
  color_ = v;
  Invalidate();
}

void TKovaControl::SetFramed(bool v) {
  if (v == framed_) return;
  framed_ = v;
  Invalidate();
}

void TKovaControl::SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) {
  if (left == left_ && top == top_ && width == width_ && height == height_) return;
  Invalidate();
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  Invalidate();
}

bool TKovaControl::GetAniPaused() const {
  if (IsInternalName(GetName()) && parent_) return parent_->GetAniPaused();
  return ani_paused_;
}

void TKovaControl::SetHandleKey(bool v) {
  if (v == handle_key_) return;
  handle_key_ = v;
  TKovaBaseList* root = Root();
  if (!root) return;
  if ((v && !root->FocusControl()) || (!v && root->FocusControl() == this)) root->RequestFocusRecalc(true);
}

bool TKovaControl::GetPlaying() const {
  return motion_ && !motion_->Ended() && !GetPaused() && !GetAniPaused();
}

// ---- Geometry ----

int32_t TKovaControl::ZoomedOffsetX(bool for_draw) const {
  const int32_t zoom = GetZoomX();
  int32_t v = zoom != 256 ? ScaleBy(offset_x_, zoom) : offset_x_;
  if (GetFlipH()) v = for_draw ? width_ - v : width_ - 1 - v;
  return v;
}

int32_t TKovaControl::ZoomedOffsetY(bool for_draw) const {
  const int32_t zoom = GetZoomY();
  int32_t v = zoom != 256 ? ScaleBy(offset_y_, zoom) : offset_y_;
  if (GetFlipV()) v = for_draw ? height_ - v : height_ - 1 - v;
  return v;
}

int32_t TKovaControl::PositionX() const {
  int32_t x = (pos_zoomed_ && !motion_) ? ScaleBy(left_, GetZoomX()) : left_;
  if (motion_) x += motion_x_;
  return x;
}

int32_t TKovaControl::PositionY() const {
  int32_t y = (pos_zoomed_ && !motion_) ? ScaleBy(top_, GetZoomY()) : top_;
  if (motion_) y += motion_y_;
  return y;
}

int32_t TKovaControl::GetDrawLeft() const { return PositionX() - ZoomedOffsetX(true); }
int32_t TKovaControl::GetDrawTop() const { return PositionY() - ZoomedOffsetY(true); }

namespace {

// The position of a zoomed child on its parent's picture grid: d scaled by parent picture width /
// parent width (16.16). False when the grid is undefined (a zero width), so the plain rule holds.
bool GridPosition(int32_t d, int32_t picture_size, int32_t parent_size, int32_t& out) {
  if (picture_size <= 0 || parent_size <= 0) return false;
  const int64_t s = (int64_t(picture_size) << 16) / parent_size;
  if (s <= 0) return false;
  const int64_t n = int64_t(d) * 65536;
  int64_t x = n / s;
  if (n % s > 32767) ++x;
  out = int32_t(std::clamp<int64_t>(x, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
  return true;
}

}  // namespace

int32_t TKovaControl::GetScreenLeft() const {
  if (!parent_) return PositionX() - ZoomedOffsetX(false);
  const int32_t origin = parent_->GetScreenLeft() - parent_->GetScrollX();
  TCustomDIBX *own = nullptr, *theirs = nullptr;
  if (pos_zoomed_ && !motion_ && !parent_->IsBase() && parent_->GetZoomX() == GetZoomX() &&
      (theirs = parent_->GetDIB()) != nullptr && (own = GetDIB()) != nullptr) {
    int32_t d = left_ - offset_x_;
    if (GetFlipH()) d = theirs->Width() - d - own->Width();
    int32_t x = 0;
    if (GridPosition(d, theirs->Width(), parent_->GetWidth(), x)) return origin + x;
  }
  return origin + PositionX() - ZoomedOffsetX(false);
}

int32_t TKovaControl::GetScreenTop() const {
  if (!parent_) return PositionY() - ZoomedOffsetY(false);
  const int32_t origin = parent_->GetScreenTop() - parent_->GetScrollY();
  TCustomDIBX *own = nullptr, *theirs = nullptr;
  if (pos_zoomed_ && !motion_ && !parent_->IsBase() && parent_->GetZoomY() == GetZoomY() &&
      (theirs = parent_->GetDIB()) != nullptr && (own = GetDIB()) != nullptr) {
    int32_t d = top_ - offset_y_;
    if (GetFlipV()) d = theirs->Height() - d - own->Height();
    int32_t y = 0;
    if (GridPosition(d, theirs->Height(), parent_->GetHeight(), y)) return origin + y;
  }
  return origin + PositionY() - ZoomedOffsetY(false);
}

TPoint TKovaControl::GetAnchorPos() const {
  TPoint p{PositionX(), PositionY()};
  if (parent_) {
    p.X += parent_->GetScreenLeft() - parent_->GetScrollX();
    p.Y += parent_->GetScreenTop() - parent_->GetScrollY();
  }
  return p;
}

TPoint TKovaControl::ClientToScreen(TPoint p) const { return TPoint{p.X + GetScreenLeft(), p.Y + GetScreenTop()}; }
TPoint TKovaControl::ScreenToClient(TPoint p) const { return TPoint{p.X - GetScreenLeft(), p.Y - GetScreenTop()}; }

void TKovaControl::PositionChanged() {
  for (TKovaControl* c : Controls()) c->PositionChanged();
}

// ---- Behaviour ----

TKovaControl* TKovaControl::FindKeyControl() {
  const std::vector<TKovaControl*>& children = Controls();
  for (auto it = children.rbegin(); it != children.rend(); ++it) {
    if (!(*it)->GetVisible()) continue;
    if (TKovaControl* found = (*it)->FindKeyControl()) return found;
  }
  return (GetHandleKey() && !GetPaused()) ? this : nullptr;
}

TKovaControl* TKovaControl::HitTest(TPoint point, uint32_t mask) {
  if (!GetVisible() || !PointInRect(point, GetBoundsRect())) return nullptr;
  const uint8_t ignore = GetIgnoreMouse();
  TKovaControl* candidate = (ignore < 32 && (mask >> ignore) & 1u) ? this : nullptr;
  const std::vector<TKovaControl*>& children = Controls();
  for (auto it = children.rbegin(); it != children.rend(); ++it) {
    if (TKovaControl* hit = (*it)->HitTest(point, mask)) return hit;
  }
  return candidate;
}

void TKovaControl::Invalidate() {
  if (!GetVisible()) return;
  TKovaBase* base = GetBase();
  if (!base) return;
  TRect r = GetBoundsRect();
  if (parent_ && !parent_->ClipToBounds(r)) return;
  const TRect clip = GetClipRect();
  if (!IsRectEmpty(clip) && !ClipRect(r, clip)) return;
  InvalidateParent(r);
  base->InvalidateRect(r);
}

void TKovaControl::DrawChildren() {
  TCustomDIBX* target = GetTargetDIB();
  if (!target) return;
  const TRect saved = target->ClipRect;
  // A surface that passes its drawing on to another (a wave) has no bounds of its own in the
  // coordinates drawn in: its clip alone limits the children.
  const TRect c = target->BaseSurface() == target ? IntersectRects(target->GetClipRect(), target->BoundsRect())
                                                  : target->GetClipRect();
  const TRect r = IntersectRects(GetBoundsRect(), c);
  if (!IsRectEmpty(r)) {
    // Children may be re-sorted or re-parented by what they draw: walk a copy.
    const std::vector<TKovaControl*> children = Controls();
    for (TKovaControl* child : children) {
      if (!child->GetVisible()) continue;
      TRect area = r;
      const TRect clip = child->GetClipRect();
      // A child's own clip rectangle also crops what it draws, not only whether it is drawn.
      if (!IsRectEmpty(clip) && !ClipRect(area, clip)) continue;
      target->ResetClipRect();
      target->AddClipRect(area);
      child->Draw();
      target->ResetClipRect();
    }
  }
  target->ClipRect = saved;
  if (framed_ && GetCompoType() != KT_VIDEO) {
    TKovaBaseList* root = Root();
    TCustomDIBX* pattern = root ? root->PatternSurface() : nullptr;
    const TRect frame = IntersectRects(GetBoundsRect(), c);
    if (pattern && !IsRectEmpty(frame)) target->FramePattern(frame, 2, *pattern, TRect{}, 0, 0, 0);
  }
}

void TKovaControl::Draw() { DrawChildren(); }

bool TKovaControl::Update() {
  TKovaBaseList* root = Root();
  if (motion_ && motion_->Step(root ? root->FrameDelta() : 0)) {
    if (GetAutoScrap()) return true;
    const std::string handler = GetOnPlayEnd();
    if (!handler.empty()) QueueEvent(handler, PR_ONPLAYEND);
  }
  return false;
}

namespace {

bool MayQueueKey(TKovaControl& c, const std::string& handler, bool queued) {
  return !handler.empty() && !c.GetPaused() && !queued && !c.IsBase() && !c.GetEventLock();
}

}  // namespace

void TKovaControl::KeyDown(int32_t) {
  if (MayQueueKey(*this, on_key_down_, EventQueued(PR_ONKEYDOWN))) QueueEvent(on_key_down_, PR_ONKEYDOWN);
}

void TKovaControl::KeyUp(int32_t) {
  if (MayQueueKey(*this, on_key_up_, EventQueued(PR_ONKEYUP))) QueueEvent(on_key_up_, PR_ONKEYUP);
}

void TKovaControl::KeyRepeat(int32_t) {
  if (MayQueueKey(*this, on_key_repeat_, EventQueued(PR_ONKEYREPEAT))) {
    QueueEvent(on_key_repeat_, PR_ONKEYREPEAT);
  }
}

void TKovaControl::LoadMotion(const std::string& name) {
  auto motion = std::make_unique<TKovaMotion>(*this);
  motion->LoadFile(name);
  motion_ = std::move(motion);
}

void TKovaControl::RestartMotion() {
  if (motion_) motion_->Restart();
}

void TKovaControl::FreeMotion() { motion_.reset(); }

void TKovaControl::GroupSetFlags(int32_t group, bool flag) {
  if (group == 0) return;
  for (TKovaControl* c : std::vector<TKovaControl*>(Controls())) {
    if (c->GetGroupIndex() == group) c->GroupSetFlag(flag);
  }
}

void TKovaControl::GroupSelect(TKovaControl* control, int32_t group) {
  if (group == 0) return;
  std::vector<TKovaControl*> members;
  for (TKovaControl* c : Controls()) {
    if (c->GetGroupIndex() == group) members.push_back(c);
  }
  if (members.empty()) return;
  TKovaControl* chosen = nullptr;
  const bool given_member = std::find(members.begin(), members.end(), control) != members.end();
  if (given_member && control->GetSelected()) {
    chosen = control;
  } else {
    for (TKovaControl* m : members) {
      if (m->GetSelected()) {
        chosen = m;
        break;
      }
    }
  }
  if (!chosen && control && !control->GetAllowAllUp()) chosen = members.front();
  for (TKovaControl* m : members) {
    const bool want = m == chosen;
    if (m->GetSelected() != want) m->GroupSetDown(want);
  }
}

// ---- Save form ----

template <class IO, class R>
void TKovaControl::Transfer(IO& io, R& r) {
  for (auto* v : {&r.left_, &r.top_, &r.width_, &r.height_, &r.offset_x_, &r.offset_y_}) io.Int(*v);
  io.Bool(r.pos_zoomed_);
  if (io.Since(104)) {
    for (auto* v : {&r.clip_left_, &r.clip_top_, &r.clip_width_, &r.clip_height_}) io.Int(*v);
    io.Bool(r.ani_paused_);
  }
  io.Bool(r.visible_);
  io.Int(r.color_);
  for (auto* v : {&r.aux_rect_.Left, &r.aux_rect_.Top, &r.aux_rect_.Right, &r.aux_rect_.Bottom}) io.Int(*v);
  io.Byte(r.ignore_mouse_);
  io.Str(r.cursor_);
  io.Str(r.on_mouse_move_);
  if (io.Since(102)) io.Str(r.on_mouse_in_);
  for (auto* s : {&r.on_mouse_out_, &r.on_lbtn_down_, &r.on_lbtn_up_, &r.on_rbtn_down_, &r.on_rbtn_up_,
                  &r.on_wheel_down_, &r.on_wheel_up_}) {
    io.Str(*s);
  }
  if (io.Since(118)) {
    io.Bool(r.handle_key_);
    for (auto* s : {&r.on_key_down_, &r.on_key_up_, &r.on_key_repeat_, &r.on_focus_in_, &r.on_focus_out_}) io.Str(*s);
  }
  r.TransferChildren(io);
}

void TKovaControl::SaveToStream(TStream& stream) const {
  TKovaComponent::SaveToStream(stream);
  TRecordSaver io(stream);
  Transfer(io, *this);
}

void TKovaControl::LoadFromStream(TStream& stream, int32_t version) {
  TKovaComponent::LoadFromStream(stream, version);
  TRecordLoader io(stream, version);
  Transfer(io, *this);
}

// The children: a count, then the code and record of each. The smallest record of a child: its
// code (1), name and priority (8), position and size (24), two flags (2), colour (4), rectangle
// (16), mouse mode (1), nine handler names (36) and its own children's count (4).
constexpr int64_t kMinChildBytes = 1 + 8 + 24 + 2 + 4 + 16 + 1 + 36 + 4;

void TKovaControl::TransferChildren(TRecordSaver& io) const {
  std::vector<const TKovaControl*> saved;
  for (const TKovaControl* c : Controls()) {
    if (!c->IsPendingDeleteSelf() && c->GetCompoType() != KT_NONE && !IsInternalName(c->GetName())) saved.push_back(c);
  }
  io.Count(int32_t(saved.size()), kMinChildBytes);
  for (const TKovaControl* c : saved) {
    io.Byte(c->GetCompoType());
    io.Versioned(*c);
  }
}

void TKovaControl::TransferChildren(TRecordLoader& io) {
  TKovaBaseList* root = Root();
  int32_t depth = 0;
  for (const TKovaControl* p = parent_; p; p = p->parent_) ++depth;
  int32_t count = 0;
  io.Count(count, kMinChildBytes);
  if (count == 0) return;
  if (depth >= kMaxTreeDepth || !root) Raise<EReadError>(TMsg::StreamReadError);
  for (int32_t i = 0; i < count; ++i) {
    uint8_t code = 0;
    io.Byte(code);
    TKovaObject* made = root->CreateComponent(code);
    TKovaControl* child = made ? made->AsControl() : nullptr;
    if (!child) {
      if (made) root->DeleteComponent(made);
      Raise<EReadError>(TMsg::StreamReadError);
    }
    child->SetParent(this);
    io.Versioned(*child);
  }
  SortControls();
}

}  // namespace kova
