#include "components/scene/kova_base.h"

#include "components/scene/kova_base_list.h"
#include "core/array_string.h"
#include "core/utils.h"
#include "core/vocabulary.h"
#include "graphics/dibx.h"

namespace kova {
namespace {

// The work surface's colour key: red 128, green 0, blue 128.
constexpr int32_t kWorkKeyColor = 0x800080;

}  // namespace

TKovaBase::TKovaBase(TKovaBaseList* root, std::string name) : TKovaControl(nullptr) {
  SetOwnerDirect(root);
  StoreName(std::move(name));
  if (root) {
    surface_ = root->SceneHost().CreateLayerSurface();
    work_surface_ = root->SceneHost().CreateLayerSurface();
  }
}

TKovaBase::~TKovaBase() = default;

TCustomDIBX* TKovaBase::GetTargetDIB() {
  TKovaBaseList* root = Root();
  if (root && root->ActiveBase() == this && root->TransitionKind() == 0) return root->DrawTarget();
  return surface_.get();
}

TCustomDIBX* TKovaBase::GetDIB() const { return const_cast<TKovaBase*>(this)->GetTargetDIB(); }

void TKovaBase::SetWidth(int32_t v) {
  TKovaControl::SetWidth(v);
  ResizeSurfaces();
}

void TKovaBase::SetHeight(int32_t v) {
  TKovaControl::SetHeight(v);
  ResizeSurfaces();
}

bool SceneSurfaceSizeAllowed(int32_t width, int32_t height) {
  return width > 0 && height > 0 && width <= kMaxSceneSide && height <= kMaxSceneSide &&
         int64_t(width) * height <= kMaxScenePixels;
}

void TKovaBase::ResizeSurfaces() {
  TKovaBaseList* root = Root();
  // A size no screen has (a script may set any) leaves the surfaces as they are.
  if (!root || !surface_ || !SceneSurfaceSizeAllowed(GetWidth(), GetHeight())) return;
  const int32_t bits = root->SceneHost().ScreenBitCount();
  if (surface_->Width() != GetWidth() || surface_->Height() != GetHeight() || surface_->BitCount() != bits) {
    surface_->SetSize(GetWidth(), GetHeight(), bits);
  }
  if (work_surface_) {
    work_surface_->SetSize(GetWidth(), GetHeight(), bits);
    work_surface_->TransparentColor = work_surface_->ColorToPixel(kWorkKeyColor);
  }
}

void TKovaBase::FreeDIB() {
  if (surface_) surface_->ReleaseSurface();
  if (work_surface_) work_surface_->ReleaseSurface();
}

void TKovaBase::RecreateDIB() {
  if (surface_) surface_->Clear();
  if (work_surface_) work_surface_->Clear();
  ResizeSurfaces();
  InvalidateAll();
}

bool TKovaBase::Update() { return TKovaControl::Update(); }

void TKovaBase::InvalidateRect(const TRect& r) {
  const TRect cut = IntersectRects(r, TRect{0, 0, GetWidth(), GetHeight()});
  if (!IsRectEmpty(cut)) dirty_.Add(cut);
}

void TKovaBase::Draw() {
  if (!GetVisible()) return;
  TCustomDIBX* target = GetTargetDIB();
  if (!target || target->IsEmpty()) return;
  const TRect saved = target->ClipRect;
  const int32_t color = GetColor();
  TRect fill_area = GetBoundsRect();
  const TRect own_clip = GetClipRect();
  if (!IsRectEmpty(own_clip)) fill_area = IntersectRects(fill_area, own_clip);
  for (const TRect& rect : dirty_.Items()) {
    const TRect area = IntersectRects(rect, target->BoundsRect());
    if (IsRectEmpty(area)) continue;
    target->ResetClipRect();
    target->AddClipRect(area);
    if (color >= 0) target->FillRect(fill_area, uint32_t(target->ColorToPixel(color)));
    DrawChildren();
  }
  target->ClipRect = saved;
}

void TKovaBase::SetMousePos(TPoint p) {
  mouse_pos_ = p;
  Moved = true;
}

void TKovaBase::UpdateCursor(TKovaControl* hit) {
  TKovaBaseList* root = Root();
  if (!root) return;
  std::string wanted = hit->GetCursorAt(mouse_pos_);
  if (wanted.empty()) wanted = root->SceneHost().DefaultCursor();
  if (!wanted.empty()) cursor_name_ = wanted;
  if (wanted == shown_cursor_) return;
  shown_cursor_ = wanted;
  root->SceneHost().ShowCursor(wanted);
}

void TKovaBase::MouseStep() {
  TKovaBaseList* root = Root();
  if (!root) return;
  // Layers count as live hover targets too: they are not in the component list, but a script may
  // give a layer its own mouse handlers.
  auto live = [root](const TKovaObject* c) { return c && root->HasComponent(c); };

  // 1. Latch this frame's presses.
  LeftClick = LeftPress;
  RightClick = RightPress;
  WheelDownClick = WheelDownPress;
  WheelUpClick = WheelUpPress;
  LeftPress = RightPress = WheelDownPress = WheelUpPress = false;

  // 2. Right-click scrap: the first component that takes the right click as its own.
  if (RightClick) {
    TKovaList& scrap = root->ScrapList();
    for (int32_t i = 0; i < scrap.Count(); ++i) {
      TKovaObject* c = scrap.Items(i);
      if (!live(c) || !c->GetRClickScrap() || !c->GetVisible() || c->GetBase() != this || c->GetPaused()) continue;
      const uint8_t ignore = c->GetIgnoreMouse();
      if ((ignore == 0 || ignore == 3) && c->ItemHitTest(mouse_pos_)) {
        RightClick = false;
        break;
      }
    }
  }

  TKovaControl* h = nullptr;
  bool hit_done = false;
  // 3. Capture.
  if (ButtonBits != 0 && live(hover_)) {
    if ((ButtonBits & (4 | 8)) == 0) {
      h = hover_;
      hit_done = true;
    } else {
      if (ButtonBits & 4) {
        if (!LeftHeld) {
          hover_->MouseLUp();
          ButtonBits &= uint8_t(~4u);
        }
      } else if (!RightHeld) {
        hover_->MouseRUp();
        ButtonBits &= uint8_t(~8u);
      }
      if (Moved && live(hover_)) hover_->MouseMove();
      if (live(hover_)) hover_->MouseCancel();
      Moved = false;
      return;
    }
  }
  // 4. Hit.
  if (!hit_done) {
    const uint32_t mask = LeftClick ? kMaskLeftPress : RightClick ? kMaskRightPress : kMaskOther;
    h = HitTest(mouse_pos_, mask);
    ButtonBits = 0;
  }
  // 5. The hit control: pointer shape, presses, releases tracked by a kind, wheel.
  if (h) {
    UpdateCursor(h);
    if (LeftClick) {
      h->MouseLDown();
      if (!live(h)) {
        h = nullptr;
      } else if (!h->GetPaused() && h->GetHandleKey()) {
        root->SetFocusControl(h);
      }
    } else if (RightClick) {
      h->MouseRDown();
      if (!live(h)) h = nullptr;
    } else if ((ButtonBits & 1) && !LeftHeld) {
      const std::string handler = h->GetOnLBtnUp();
      if (!handler.empty() && root->Events().IndexOfEvent(h->Handle(), PR_ONLBTNUP) < 0 && !h->GetEventLock()) {
        TArrayString params;
        h->PointerParams(params);
        root->Events().AddEvent(h->Handle(), handler, &params, PR_ONLBTNUP);
      }
      ButtonBits = 0;
    } else if ((ButtonBits & 2) && !RightHeld) {
      const std::string handler = h->GetOnRBtnUp();
      if (!handler.empty() && root->Events().IndexOfEvent(h->Handle(), PR_ONRBTNUP) < 0 && !h->GetEventLock()) {
        TArrayString params;
        h->PointerParams(params);
        root->Events().AddEvent(h->Handle(), handler, &params, PR_ONRBTNUP);
      }
      ButtonBits = 0;
    } else if (WheelDownClick) {
      const std::string handler = h->GetOnWheelDown();
      if (!handler.empty() && root->Events().IndexOfEvent(h->Handle(), PR_ONWHEELDOWN) < 0 && !h->GetEventLock()) {
        root->Events().AddEvent(h->Handle(), handler, nullptr, PR_ONWHEELDOWN);
      }
    } else if (WheelUpClick) {
      const std::string handler = h->GetOnWheelUp();
      if (!handler.empty() && root->Events().IndexOfEvent(h->Handle(), PR_ONWHEELUP) < 0 && !h->GetEventLock()) {
        root->Events().AddEvent(h->Handle(), handler, nullptr, PR_ONWHEELUP);
      }
    }
  }
  // 6. Hover.
  TKovaControl* previous = hover_;
  if (previous && previous != h && live(previous)) {
    previous->MouseOut(h);
    if (h && !live(h)) h = nullptr;
  }
  if (h) {
    if (!Moved && h == previous) {
      hover_ = h;
      Moved = false;
      return;
    }
    if (h != previous) {
      h->MouseIn(previous);
      if (!live(h)) h = nullptr;
    }
    // The control may have gone in its own MouseIn: only a live one hears the move.
    if (h) h->MouseMove();
    if (h && !live(h)) h = nullptr;
  }
  // 7.
  hover_ = h;
  Moved = false;
}

}  // namespace kova
