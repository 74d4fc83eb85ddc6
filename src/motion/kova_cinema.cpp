#include "motion/kova_cinema.h"

#include <algorithm>
#include <cmath>

#include "components/scene/image_cache.h"
#include "components/scene/kova_base.h"
#include "components/scene/kova_base_list.h"
#include "components/scene/kova_film_layers.h"
#include "core/record_io.h"
#include "core/utils.h"
#include "graphics/dibx.h"
#include "motion/film_manager.h"

namespace kova {
namespace {

// Rounded to the nearest integer, halves to even (the default rounding mode), held in Int32.
int32_t RoundToInt32(double v) {
  const double r = std::nearbyint(v);
  if (!(r >= double(INT32_MIN))) return INT32_MIN;
  if (r > double(INT32_MAX)) return INT32_MAX;
  return int32_t(r);
}

TSceneRootParts PartsOf(TKovaObject* owner) {
  TKovaBaseList* root = owner ? owner->AsRoot() : nullptr;
  return root ? root->Parts() : TSceneRootParts{};
}

}  // namespace

TKovaCinema::TKovaCinema(TKovaObject* owner)
    : TKovaControl(owner), private_root_(std::make_unique<TKovaBaseListCinema>(PartsOf(owner), this)) {}

TKovaCinema::~TKovaCinema() {
  Invalidate();
  film_.reset();
  private_root_.reset();
}

// ---- Properties ----

int32_t TKovaCinema::GetWidth() const { return private_root_->GetWidth(); }
int32_t TKovaCinema::GetHeight() const { return private_root_->GetHeight(); }

void TKovaCinema::SetWidth(int32_t v) {
  if (v == GetWidth()) return;
  Invalidate();
  private_root_->SetWidth(v);
  TKovaControl::SetWidth(v);
  Invalidate();
}

void TKovaCinema::SetHeight(int32_t v) {
  if (v == GetHeight()) return;
  Invalidate();
  private_root_->SetHeight(v);
  TKovaControl::SetHeight(v);
  Invalidate();
}

int32_t TKovaCinema::GetIndex() const { return film_ ? film_->Tick : 0; }

void TKovaCinema::SetIndex(int32_t tick) {
  // Truncated toward zero; a tick beyond the Int32 range of milliseconds holds at its bound.
  const double ms = std::trunc(double(tick) * kTickMs);
  time_ = ms >= double(INT32_MAX) ? INT32_MAX : ms <= double(INT32_MIN) ? INT32_MIN : int32_t(ms);
  ended_ = false;
  start_frames_ = 2;
}

int32_t TKovaCinema::GetCount() const { return film_ ? film_->GetLength() : 0; }

bool TKovaCinema::GetPlaying() const {
  return film_ && film_->Tick < film_->GetLength() - 1 && !paused_ && !GetAniPaused();
}

void TKovaCinema::SetRepeat(bool v) {
  repeat_ = v;
  if (v) ended_ = false;
}

void TKovaCinema::ApplyPaused() {
  if (film_) film_->SetPaused(paused_ || GetAniPaused());
}

void TKovaCinema::SetPaused(bool v) {
  if (v == paused_) return;
  paused_ = v;
  ApplyPaused();
}

void TKovaCinema::SetAniPaused(bool v) {
  if (v == TKovaControl::GetAniPaused()) return;
  TKovaControl::SetAniPaused(v);
  ApplyPaused();
}

void TKovaCinema::SetVolume(int32_t v) {
  volume_ = std::max(v, 0);
  if (film_) film_->MasterVolume = volume_;
}

// ---- Loading ----

void TKovaCinema::SetSource(const std::string& v) {
  Invalidate();
  if (v == source_) return;
  source_ = v;
  LoadFilm();
  private_root_->Update();
  private_root_->EndFrame();
  Invalidate();
  time_ = 0;
  ended_ = false;
  start_frames_ = 2;
}

void TKovaCinema::LoadFilm() {
  TKovaBaseList* root = Root();
  TWexaCollection* cache = root ? root->ImageCache() : nullptr;
  IPictureSource* files = cache ? cache->Source() : nullptr;
  film_.reset();
  if (!files || source_.empty() || !files->PictureExists(source_)) return;
  auto film = std::make_unique<TFilmManager>();
  film->MasterVolume = volume_;
  film->SetOwner(private_root_.get());
  // A reader error leaves the cinema without a film and passes to the caller.
  film->LoadFromFile(*files, source_);
  // The private root's layers get surfaces of the film's size: a size read from the file is
  // held to the scene's, which is all of the film the screen can show at once.
  if (root->GetWidth() > 0) film->Width = std::clamp(film->Width, 0, root->GetWidth());
  if (root->GetHeight() > 0) film->Height = std::clamp(film->Height, 0, root->GetHeight());
  if (film->NeedsOwnLayers() || film->Color >= 0) {
    film->SetTarget(nullptr);
  } else {
    film->SetOwner(root);
    film->SetTarget(this);
    SetWidth(film->Width);
    SetHeight(film->Height);
  }
  film->ApplyInitialState();
  // The control's own size follows the private root's (the film may have set it).
  TKovaControl::SetWidth(private_root_->GetWidth());
  TKovaControl::SetHeight(private_root_->GetHeight());
  film_ = std::move(film);
  ApplyPaused();
}

// ---- The frame ----

bool TKovaCinema::Update() {
  bool finished = TKovaControl::Update();
  if (!film_) return finished;
  film_->SetSoundEnabled(!GetAniPaused() && !paused_);
  if (paused_) return finished;
  TKovaBaseList* root = Root();
  if (!ended_ && !GetAniPaused() && start_frames_ < 1 && root) {
    time_ = int32_t(std::clamp(int64_t(time_) + root->FrameDelta(), int64_t(INT32_MIN), int64_t(INT32_MAX)));
  }
  const int32_t length = film_->GetLength();
  int32_t tick = RoundToInt32(double(time_) / kTickMs);
  if (tick >= length) {
    if (!repeat_) {
      ended_ = true;
      if (auto_scrap_) {
        finished = true;
      } else if (!on_play_end_.empty() && !EventQueued(PR_ONPLAYEND)) {
        // Queued again in every update at the end, but never while one is still waiting.
        QueueEvent(on_play_end_, PR_ONPLAYEND);
      }
      tick = length - 1;
    } else {
      tick = int32_t(std::min(int64_t(tick % std::max(length, 1)) + film_->LoopStart, int64_t(length) - 1));
      time_ = RoundToInt32(double(tick) * kTickMs);
    }
  }
  if (start_frames_ == 2 || tick != film_->Tick) film_->SetTime(tick);
  if (start_frames_ > 0) --start_frames_;
  if (root) private_root_->SetClock(root->GameClock(), root->FrameDelta());
  private_root_->Update();
  // The film layers pass what they invalidate on to the cinema's layer as it happens; a
  // transition redraws the whole film.
  if (private_root_->Transition()) Invalidate();
  private_root_->EndFrame();
  return finished;
}

void TKovaCinema::Draw() {
  if (!GetVisible()) return;
  TCustomDIBX* target = GetTargetDIB();
  if (film_ && film_->Owner() == private_root_.get() && target) {
    const TRect saved = target->ClipRect;
    TRect area = IntersectRects(GetBoundsRect(), IntersectRects(target->GetClipRect(), target->BoundsRect()));
    const TRect clip = GetClipRect();
    if (!IsRectEmpty(clip)) area = IntersectRects(area, clip);
    if (!IsRectEmpty(area) && private_root_->Transition() && private_root_->RootSurface()) {
      // A transition: the film root mixes its layers into its own surface, shown at the
      // cinema's place.
      private_root_->Draw();
      const int32_t x = GetScreenLeft(), y = GetScreenTop();
      target->ResetClipRect();
      target->AddClipRect(area);
      target->Draw(x, y, *private_root_->RootSurface(), private_root_->RootSurface()->BoundsRect(), false, false, false);
      target->ClipRect = saved;
    } else if (!IsRectEmpty(area)) {
      // The film layers draw in screen coordinates straight into the cinema's target.
      TKovaBase* layer = private_root_->ActiveBase();
      layer->DirtyList().Clear();
      layer->DirtyList().Add(area);
      layer->Draw();
      layer->DirtyList().Clear();
      target->ClipRect = saved;
    }
  }
  DrawChildren();
}

TKovaControl* TKovaCinema::HitTest(TPoint point, uint32_t mask) {
  if (!GetVisible() || !PointInRect(point, GetBoundsRect())) return nullptr;
  const uint8_t ignore = GetIgnoreMouse();
  TKovaControl* candidate = (ignore < 32 && (mask >> ignore) & 1u) ? this : nullptr;
  const std::vector<TKovaControl*>& children = Controls();
  for (auto it = children.rbegin(); it != children.rend(); ++it) {
    if (IsInternalName((*it)->GetName())) continue;
    if (TKovaControl* hit = (*it)->HitTest(point, mask)) return hit;
  }
  return candidate;
}

void TKovaCinema::RecreateDIB() {
  TKovaControl::RecreateDIB();
  private_root_->RecreateDIB();
  if (film_ && !paused_) film_->SetTime(film_->Tick);
}

// ---- Save data ----

template <class IO, class R>
void TKovaCinema::Transfer(IO& io, R& r) {
  io.Str(r.source_, [&](auto v) { r.SetSource(v); });
  io.Bool(r.repeat_);
  io.Bool(r.paused_);
  io.Bool(r.auto_scrap_);
  io.Str(r.on_play_end_);
  if (!io.Since(104)) return;
  io.Str(r.on_idle_);
  if (!io.Since(117)) return;
  int32_t tick = r.GetIndex();
  io.Int(tick);
  io.Bool(r.rewind_on_load_);
  if constexpr (IO::kLoading) {
    if (tick >= 1 && !r.rewind_on_load_) r.SetIndex(tick);
  }
  if (!io.Since(129)) return;
  io.Int(r.volume_);
  io.Bool(r.mute_on_load_);
}

void TKovaCinema::SaveToStream(TStream& stream) const {
  TKovaControl::SaveToStream(stream);
  TRecordSaver io(stream);
  Transfer(io, *this);
}

void TKovaCinema::LoadFromStream(TStream& stream, int32_t version) {
  TKovaControl::LoadFromStream(stream, version);
  private_root_->SetWidth(TKovaControl::GetWidth());
  private_root_->SetHeight(TKovaControl::GetHeight());
  mute_on_load_ = false;
  TRecordLoader io(stream, version);
  Transfer(io, *this);
  if (mute_on_load_) volume_ = 0;
  SetVolume(volume_);
  ApplyPaused();
}

}  // namespace kova
