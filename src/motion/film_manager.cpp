#include "motion/film_manager.h"

#include <algorithm>
#include <cstring>

#include "components/scene/image_cache.h"
#include "components/scene/kova_base.h"
#include "components/scene/kova_base_list.h"
#include "components/scene/kova_control.h"
#include "components/scene/kova_film_layers.h"
#include "core/errors.h"
#include "core/messages.h"
#include "core/stream.h"
#include "core/string_list.h"
#include "motion/film_reader.h"
#include "motion/film_tracks.h"

namespace kova {

namespace {

constexpr char kCinemaSignature[] = "KovaCinema";
constexpr char kMotionSignature[] = "KovaMotion";
constexpr size_t kSignatureSize = 10;
constexpr size_t kHeaderSize = 13;
// The least bytes one track takes in the file: its kind byte and the base record.
constexpr uint64_t kLeastTrackBytes = 1 + 27;

// The folder of `name`: up to and including its last path delimiter.
std::string FolderOf(std::string_view name) {
  const size_t slash = name.find_last_of("\\/:");
  return slash == std::string_view::npos ? std::string() : std::string(name.substr(0, slash + 1));
}

// The base record every track begins with; answers the link index.
int32_t ReadBaseRecord(TFilmReader& in, TCustomFrameList& track, int32_t version) {
  const int32_t link = in.Int32();
  track.Duration = in.Int32();
  track.Reserved = in.Int32();
  track.Start = in.Int32();
  track.Cycle = in.Int32();
  track.Order = in.Int32();
  track.FlipH = in.Bool();
  track.FlipV = in.Bool();
  track.OtherLayer = in.Bool();
  if (version < 107) {
    // Ticks of 1/30 s; held at the Int32 bounds when doubled.
    auto twice = [](int32_t v) {
      return static_cast<int32_t>(std::clamp<int64_t>(int64_t{v} * 2, INT32_MIN, INT32_MAX));
    };
    track.Start = twice(track.Start);
    track.Duration = twice(track.Duration);
    track.Cycle = twice(track.Cycle);
  }
  return link;
}

}  // namespace

TFilmManager::TFilmManager() = default;

TFilmManager::~TFilmManager() { Clear(); }

void TFilmManager::Clear() {
  // Each track removes what it shows before it goes.
  for (auto& track : tracks_) track->HideSprite();
  tracks_.clear();
  wipes_.clear();
  followers_valid_ = false;
  current_wipe_ = nullptr;
  relative_ = false;
  LoopStart = 0;
  origin_ = {};
}

TCustomFrameList* TFilmManager::GetTrack(int32_t index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return tracks_[static_cast<size_t>(index)].get();
}

void TFilmManager::LoadFromFile(IPictureSource& files, std::string_view name) {
  TMemoryStream bytes;
  files.LoadPicture(bytes, name);
  LoadFromStream(bytes.Bytes(), name);
}

void TFilmManager::LoadFromStream(std::span<const uint8_t> bytes, std::string_view name) {
  Clear();
  const std::string folder = FolderOf(name);
  TFilmReader in(bytes);
  // Fewer bytes than a signature match neither; a signature without its digits is cut short.
  const std::string_view head(reinterpret_cast<const char*>(bytes.data()), std::min(bytes.size(), kSignatureSize));
  if (head == kCinemaSignature) {
    Signature = 0;
  } else if (head == kMotionSignature) {
    Signature = 1;
  } else {
    Signature = 2;
    return;
  }
  const std::string digits = in.Raw(kHeaderSize).substr(kSignatureSize);
  int32_t version = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') Raise<EReadError>(TMsg::PictureBadVersion, digits.c_str());
    version = version * 10 + (c - '0');
  }
  try {
    Width = in.Int32();
    Height = in.Int32();
    Color = in.Int32();
    if (version >= 102) relative_ = in.Bool();
    if (version >= 104) origin_ = in.Point();
    if (version >= 106) {
      const int64_t loop = in.Int32();
      LoopStart = static_cast<int32_t>(std::clamp<int64_t>(version < 107 ? loop * 2 : loop, INT32_MIN, INT32_MAX));
    }
    const int32_t count = in.Int32();
    if (count < 0) Raise<EReadError>(TMsg::StreamReadError);
    in.Need(uint64_t(count) * kLeastTrackBytes);
    const TFilmRecordContext context{version, folder};
    std::vector<int32_t> links;
    links.reserve(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) {
      const uint8_t kind = in.Byte() & 0x7F;
      std::unique_ptr<TCustomFrameList> track = CreateFilmTrack(kind, this);
      if (!track) Raise<EReadError>(TMsg::StreamReadError);
      links.push_back(ReadBaseRecord(in, *track, version));
      track->ReadRecord(in, context);
      if (kind == kTrackWipe) wipes_.push_back(static_cast<TWipeFrameList*>(track.get()));
      tracks_.push_back(std::move(track));
      followers_valid_ = false;
    }
    std::vector<TCustomFrameList*> list;
    list.reserve(tracks_.size());
    for (auto& track : tracks_) list.push_back(track.get());
    ResolveTrackLinks(list, links);
    for (auto& track : tracks_) track->LoadResources();
    int64_t length = 0;
    for (auto& track : tracks_) length = std::max(length, track->GetStartTick() + track->Duration);
    Length = static_cast<int32_t>(std::clamp<int64_t>(length, 0, INT32_MAX));
  } catch (...) {
    Clear();
    Length = 0;
    throw;
  }
}

TFilmManager::TActiveWipe TFilmManager::ActiveWipeAt(int64_t tick) const {
  TActiveWipe active;
  for (TWipeFrameList* wipe : wipes_) {
    const int64_t s = wipe->GetStartTick();
    const int64_t d = wipe->Duration;
    if (s <= tick && tick < s + d) {
      active.wipe = wipe;
    } else if (s + d - 1 <= tick) {
      active.parity ^= 1;
    }
  }
  return active;
}

int32_t TFilmManager::WipeParityAt(int64_t tick) const {
  int32_t parity = 0;
  for (const TWipeFrameList* wipe : wipes_) {
    if (wipe->GetStartTick() + wipe->Duration - 1 <= tick) parity ^= 1;
  }
  return parity;
}

TCustomFrameList* TFilmManager::FollowerOf(const TCustomFrameList& track) const {
  if (!followers_valid_) {
    followers_.clear();
    for (const auto& t : tracks_) {
      if (t->Link()) followers_.emplace(t->Link(), t.get());  // the first in film order stays
    }
    followers_valid_ = true;
  }
  const auto it = followers_.find(&track);
  return it == followers_.end() ? nullptr : it->second;
}

void TFilmManager::SetTime(int32_t tick) {
  for (auto& track : tracks_) track->Update(tick);
  if (!motion_mode_ && !target_ && owner_) {
    const TActiveWipe active = ActiveWipeAt(tick);
    if (TWipeFrameList* w = active.wipe) {
      const int64_t s = w->GetStartTick();
      const bool fresh = w != current_wipe_;
      ISceneWipe* wipe = owner_->Flip(active.parity, w->WipeKind, w->Duration,
                                      static_cast<int32_t>(std::clamp<int64_t>(tick - s, INT32_MIN, INT32_MAX)),
                                      fresh, w->Reverse);
      // Flip answers the running transition; only one it has just made is set up.
      if (wipe && fresh && w->WipeKind != 0) {
        wipe->SetParam(0, w->Param0);
        wipe->SetParam(1, w->Param1);
        wipe->SetMaskName(w->MaskName);
        wipe->Prepare();
      }
    } else {
      owner_->Flip(active.parity, 0, 0, 0, current_wipe_ != nullptr, false);
    }
    if (TKovaBase* layer = owner_->ActiveBase()) layer->SortControls();
    current_wipe_ = active.wipe;
  }
  Tick = tick;
}

bool TFilmManager::NeedsOwnLayers() const {
  return std::any_of(tracks_.begin(), tracks_.end(),
                     [](const auto& t) { return t->Kind() == kTrackWipe || t->OtherLayer; });
}

void TFilmManager::ApplyInitialState() {
  if (!motion_mode_ && !target_ && owner_) {
    owner_->SetWidth(Width);
    owner_->SetHeight(Height);
    owner_->SetColor(Color);
  }
  for (auto& track : tracks_) {
    if (track->Kind() == kTrackSound) static_cast<TSoundFrameList&>(*track).StartSound();
  }
}

TCustomFrameList* TFilmManager::FirstTrackAtZero() const {
  for (auto& track : tracks_) {
    if (track->GetStartTick() == 0) return track.get();
  }
  return nullptr;
}

void TFilmManager::SetPaused(bool paused) {
  if (paused == Paused) return;
  Paused = paused;
  for (auto& track : tracks_) track->SetPaused(paused);
}

void TFilmManager::SetSoundEnabled(bool enabled) {
  SoundEnabled = enabled;
  if (enabled) return;
  for (auto& track : tracks_) {
    if (track->Kind() != kTrackSound) continue;
    if (TKovaObject* sound = static_cast<TSoundFrameList&>(*track).OwnSound()) sound->SetPaused(true);
  }
}

TKovaBaseList* TFilmManager::SoundOwner() const {
  // A film player's private root belongs to the player, which lives in the scene's root (or in
  // another player's); the sounds go to the outermost one.
  TKovaBaseList* root = owner_;
  for (int depth = 0; root && depth < 64; ++depth) {
    auto* film_root = dynamic_cast<TKovaBaseListCinema*>(root);
    TKovaControl* host = film_root ? film_root->HostControl() : nullptr;
    TKovaBaseList* outer = host ? host->Root() : nullptr;
    if (!outer) break;
    root = outer;
  }
  return root;
}

void TFilmManager::EnumFileNames(TStringList& names) const {
  for (auto& track : tracks_) track->EnumFileNames(names);
}

void TFilmManager::SetMotion(TKovaControl* control, int32_t priority_base) {
  motion_mode_ = true;
  control_ = control;
  priority_base_ = priority_base;
  owner_ = control ? control->Root() : nullptr;
}

void TFilmManager::PlaceOnLayer(TKovaObject& sprite, int32_t layer) {
  if (!owner_) return;
  TKovaBase* base = owner_->Bases(layer);
  if (base && sprite.GetParent() != base) sprite.SetParent(base);
}

}  // namespace kova
