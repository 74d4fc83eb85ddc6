// The sound track: its sound component, made in the global root container and driven through the
// object model's accessors.
#include <algorithm>
#include <cstdlib>

#include "components/scene/image_cache.h"
#include "components/scene/kova_base_list.h"
#include "core/string_list.h"
#include "core/vocabulary.h"
#include "motion/film_tracks.h"

namespace kova {

namespace {

// The sound component's play state of a stopped sound.
constexpr int32_t kSoundStopped = 2;
// The film's time and the sound's position may differ this much before the sound is moved.
constexpr int64_t kDriftMs = 3000;

const TSoundFrameList* SoundLink(const TSoundFrameList& track) {
  return dynamic_cast<const TSoundFrameList*>(track.Link());
}

}  // namespace

TSoundFrameList::~TSoundFrameList() { HideSprite(); }

int32_t TSoundFrameList::GetVolumeStart() const {
  const TSoundFrameList* link = SoundLink(*this);
  return link ? link->VolumeEnd : VolumeStart;
}

int32_t TSoundFrameList::GetBalanceStart() const {
  const TSoundFrameList* link = SoundLink(*this);
  return link ? link->BalanceEnd : BalanceStart;
}

const TSoundFrameList& TSoundFrameList::ChainRoot() const {
  const TSoundFrameList* track = this;
  // Links never form a cycle, so the walk ends.
  while (const TSoundFrameList* link = SoundLink(*track)) track = link;
  return *track;
}

TKovaObject* TSoundFrameList::OwnSound() {
  if (!sound_) return nullptr;
  if (!sound_root_ || sound_root_->Resolve(sound_handle_) != sound_ || sound_root_->IsPendingDelete(sound_)) {
    sound_ = nullptr;
    sound_handle_ = {};
    sound_root_ = nullptr;
  }
  return sound_;
}

void TSoundFrameList::HideSprite() {
  if (TKovaObject* sound = OwnSound()) sound->RemoveFromOwner();
  sound_ = nullptr;
  sound_handle_ = {};
  sound_root_ = nullptr;
}

void TSoundFrameList::SetFileName(std::string name) {
  if (name == FileName) return;
  FileName = std::move(name);
  HideSprite();
}

void TSoundFrameList::SetPaused(bool paused) {
  if (paused == Paused) return;
  Paused = paused;
  if (TKovaObject* sound = OwnSound()) sound->SetPaused(paused);
}

void TSoundFrameList::LoadResources() {
  const int32_t duration = Duration;
  SetFileName(FileName);
  Duration = duration;
}

void TSoundFrameList::EnumFileNames(TStringList& names) const {
  TKovaBaseList* root = Film ? Film->Owner() : nullptr;
  TWexaCollection* cache = root ? root->ImageCache() : nullptr;
  IPictureSource* source = cache ? cache->Source() : nullptr;
  if (FileName.empty() || !source || !source->PictureExists(FileName)) return;
  if (names.IndexOf(FileName) < 0) names.Add(FileName);
}

TKovaObject* TSoundFrameList::ChainSound() {
  // Walked as a loop: a linked track lets its own sound go and the first of the chain answers.
  TSoundFrameList* track = this;
  while (auto* link = const_cast<TSoundFrameList*>(SoundLink(*track))) {
    track->HideSprite();
    track = link;
  }
  return track->OwnSound();
}

TKovaObject* TSoundFrameList::StartSound() {
  if (TKovaObject* sound = ChainSound()) return sound;
  auto& first = const_cast<TSoundFrameList&>(ChainRoot());
  if (&first != this) return first.StartSound();
  TKovaBaseList* root = Film ? Film->SoundOwner() : nullptr;
  // A scene without the sound kind plays its films' sounds silently.
  if (!root || !root->Factory().Has(KT_SOUND)) return nullptr;
  TKovaObject* sound = root->CreateComponent(KT_SOUND);
  if (!sound) return nullptr;
  sound->SetName(root->UniqueName(root, FilmSpritePrefix(*Film)));
  // Held before it is set up: a sound whose data is refused stays (silent) and is not made again.
  sound_ = sound;
  sound_handle_ = sound->Handle();
  sound_root_ = root;

  const int32_t master = Film->FilmMasterVolume();
  sound->SetSource(GetFileName());
  sound->SetVolume(int32_t(int64_t(GetVolumeStart()) * master / 1000));
  const int64_t length_ms = sound->GetCount();
  const auto span_ms = int64_t(double(Duration) * kFilmTickMs);
  const int64_t start = GetStartTick(), end = start + Duration;
  const int64_t film_length = Film->FilmLength(), loop = Film->FilmLoopStart();
  const bool repeat = span_ms > length_ms ||
                      (end >= film_length && start <= loop && end > loop && film_length - 1 > loop && loop > 0);
  sound->SetRepeat(repeat);
  sound->SetBalance(GetBalanceStart());
  // It waits, paused, for its first active tick.
  sound->SetPaused(true);
  sound->SetPlayState(0);
  return sound;
}

bool TSoundFrameList::Update(int64_t tick) {
  StartSound();
  if (tick < LastTick && Film && Film->FilmSoundEnabled()) {
    if (TKovaObject* own = OwnSound()) own->SetPaused(true);
  }
  LastTick = int32_t(std::clamp<int64_t>(tick, INT32_MIN, INT32_MAX));
  const int64_t start = GetStartTick();
  const int64_t film_length = Film ? Film->FilmLength() : 0;
  const int64_t span_end = std::min(start + Duration, film_length - 1);
  const int64_t root_start = ChainRoot().GetStartTick();
  if (start <= tick && tick < span_end) {
    const auto i = int32_t(std::clamp<int64_t>(tick - start, INT32_MIN, INT32_MAX));
    const int32_t v = InterpolateInt(VolumeMode, GetVolumeStart(), VolumeEnd, i);
    const int32_t b = InterpolateInt(BalanceMode, GetBalanceStart(), BalanceEnd, i);
    TKovaObject* sound = ChainSound();
    if (!sound) return true;
    sound->SetVolume(int32_t(int64_t(v) * Film->FilmMasterVolume() / 1000));
    sound->SetBalance(b);
    if (!Film->FilmSoundEnabled()) {
      sound->SetPaused(true);
      return true;
    }
    if (!sound->GetPaused() && sound->GetPlayState() != kSoundStopped) {
      const int64_t expected = (tick - root_start) * 1000 / 60;
      if (std::llabs(int64_t(sound->GetIndex()) - expected) >= kDriftMs) {
        sound->SetIndex(int32_t(std::clamp<int64_t>(expected, INT32_MIN, INT32_MAX)));
      }
    } else {
      sound->Rewind();
    }
    return true;
  }
  TKovaObject* sound = ChainSound();
  if (sound && !FindFollower() && !(root_start <= tick && tick < span_end)) sound->SetPaused(true);
  return false;
}

}  // namespace kova
