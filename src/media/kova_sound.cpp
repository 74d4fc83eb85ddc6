#include "media/kova_sound.h"

#include <algorithm>

#include "components/scene/component_factory.h"
#include "components/scene/kova_base_list.h"
#include "core/record_io.h"
#include "core/sjis.h"
#include "core/utils.h"
#include "media/media_item.h"
#include "script/param_collection.h"
#include "script/script_ports.h"

namespace kova {

// ---- The fader ----

int32_t TKovaMixer::LevelAt(int32_t clock) const {
  const int64_t elapsed = Elapsed(clock);
  if (elapsed >= int64_t(duration_)) return target_;
  int64_t d = int64_t(target_) - start_level_;
  const bool midi = item_.IsMidi();
  if (!midi) d /= 2;
  // 64 bits: a long fade would overflow the product in 32.
  const int64_t step = elapsed * d / duration_;
  if (start_level_ <= target_ && !midi) return int32_t(start_level_ + d + step);
  return int32_t(start_level_ + step);
}

bool TKovaMixerFadein::Step(int32_t clock) {
  if (!started_) {
    item_.SetVol(TKovaSound::kSilent);
    item_.Play();
    Start(clock, TKovaSound::kSilent);
    return false;
  }
  const bool done = Done(clock);
  item_.SetVol(done ? target_ : LevelAt(clock));
  return done;
}

bool TKovaMixerFadeout::Step(int32_t clock) {
  if (!started_) {
    Start(clock, item_.GetVol());
    target_ = TKovaSound::kSilent;
    return false;
  }
  const bool done = Done(clock);
  if (!done) item_.SetVol(LevelAt(clock));
  return done;
}

// ---- The sound ----

TKovaSound::~TKovaSound() {
  if (TDMediaItem* item = Item()) item->SetVol(kSilent);
  RemoveItem();
}

int32_t TKovaSound::ItemLevel(int32_t volume, bool midi) {
  if (midi) return int32_t(std::clamp<int64_t>(int64_t(volume) * 10 - 10000, kSilent, 0));
  const int64_t v = int64_t(volume) * 5 - 5000;
  if (v < -4999) return kSilent;
  return int32_t(std::min<int64_t>(v, 0));
}

bool TKovaSound::KindOf(const std::string& source, TMediaKind& kind) {
  const std::string ext = SjisAsciiLowerCase(GameFileExtension(source));
  if (ext == ".mid" || ext == ".sgt") {
    kind = TMediaKind::Midi;
  } else if (ext == ".wma" || ext == ".asf" || ext == ".wmv") {
    kind = TMediaKind::Wmp;
  } else if (ext == ".ogg" || ext == ".wav") {
    kind = TMediaKind::Ogg;
  } else if (source.starts_with("CD_")) {
    kind = TMediaKind::Cdda;
  } else {
    return false;
  }
  return true;
}

int32_t TKovaSound::Level(const TDMediaItem& item) const { return ItemLevel(volume_, item.IsMidi()); }

int32_t TKovaSound::Clock() const {
  const TKovaBaseList* root = Root();
  return root ? root->GameClock() : 0;
}

TDMediaItem* TKovaSound::Item() const {
  if (!item_) return nullptr;
  // The manager may have been replaced or stopped, freeing its items with it.
  const TMediaManager* manager = media_.Manager(kind_);
  if (manager && manager->Contains(item_)) return item_;
  auto* self = const_cast<TKovaSound*>(this);
  self->fader_.reset();
  self->item_ = nullptr;
  return nullptr;
}

void TKovaSound::RemoveItem() {
  TDMediaItem* item = Item();
  fader_.reset();
  item_ = nullptr;
  if (item) item->Owner().Remove(item);
}

bool TKovaSound::SourceExists() const {
  const TKovaBaseList* root = Root();
  const TParamCollection* store = root ? root->Store() : nullptr;
  return store && store->Ports().GameFileExists(source_);
}

TDMediaItem* TKovaSound::OpenItem() {
  if (!source_.starts_with("CD_") && !SourceExists()) return nullptr;
  TMediaKind kind{};
  if (!KindOf(source_, kind)) return nullptr;
  TMediaManager* manager = media_.Manager(kind);
  if (!manager) return nullptr;
  TDMediaItem* item = manager->Add(source_);
  if (!item) return nullptr;
  item_ = item;
  kind_ = kind;
  return item;
}

void TKovaSound::StartFadeIn(TDMediaItem& item) {
  fader_ = std::make_unique<TKovaMixerFadein>(item, Level(item), delay_);
}

void TKovaSound::SetSource(const std::string& v) {
  if (v == source_) return;
  RemoveItem();
  source_ = v;
  play_state_ = kStopped;
  paused_ = false;
  start_pos_ = 0;
  ended_ = false;
}

void TKovaSound::SetPlayState(int32_t v) {
  fader_.reset();
  ended_ = false;
  play_state_ = v;
  if (v == kFadeIn && delay_ < 1) play_state_ = kPlay;
  TDMediaItem* item = Item();
  switch (play_state_) {
    case kStopped:
      if (!item) return;
      RemoveItem();
      start_pos_ = 0;
      RemoveFromOwner();
      return;
    case kPlay:
    case kFadeIn:
      if (item) return;
      item = OpenItem();
      if (!item) return;
      item->SetPan(balance_);
      if (start_pos_ > 0) item->SetPosition(start_pos_);
      item->SetAutoRepeat(repeat_);
      if (play_state_ == kPlay) {
        item->SetVol(Level(*item));
        if (paused_) {
          item->Pause();
        } else {
          item->Play();
        }
        if (start_pos_ > 0) item->SetPosition(start_pos_);
      } else if (!paused_) {
        StartFadeIn(*item);
      }
      return;
    case kFadeOut:
      if (!item) {
        RemoveFromOwner();
        return;
      }
      fader_ = std::make_unique<TKovaMixerFadeout>(*item, delay_);
      start_pos_ = 0;
      // The name is free for a new sound meanwhile, and the fading one stays out of saves.
      SetName("\x01" "SCRAP_" + GetName());
      return;
    default:
      return;
  }
}

void TKovaSound::SetRepeat(bool v) {
  repeat_ = v;
  TDMediaItem* item = Item();
  if (!item) return;
  item->SetAutoRepeat(v);
  if (v && !paused_ && int64_t(item->GetPosition()) >= int64_t(item->GetLen()) - 1) {
    item->SetPosition(0);
    ended_ = false;
  }
}

void TKovaSound::SetPaused(bool v) {
  if (v == paused_) return;
  paused_ = v;
  ApplyPause();
}

void TKovaSound::SetAniPaused(bool v) {
  if (v == ani_paused_) return;
  ani_paused_ = v;
  ApplyPause();
}

void TKovaSound::ApplyPause() {
  TDMediaItem* item = Item();
  if (!item) return;
  if (!paused_ && !ani_paused_) {
    if (play_state_ != kFadeIn) {
      item->SetVol(Level(*item));
      item->Play();
    } else {
      StartFadeIn(*item);
    }
  } else {
    item->Pause();
    item->SetVol(kSilent);
  }
}

void TKovaSound::SetVolume(int32_t v) {
  if (v == volume_) return;
  volume_ = v;
  if (TDMediaItem* item = Item()) item->SetVol(Level(*item));
}

void TKovaSound::SetBalance(int32_t v) {
  v = std::clamp(v, -10000, 10000);
  if (v == balance_) return;
  balance_ = v;
  if (TDMediaItem* item = Item()) item->SetPan(v);
}

int32_t TKovaSound::GetIndex() const {
  const TDMediaItem* item = Item();
  return item ? const_cast<TDMediaItem*>(item)->GetPosition() : 0;
}

void TKovaSound::SetIndex(int32_t v) {
  start_pos_ = v;
  TDMediaItem* item = Item();
  if (!item) return;
  item->SetPosition(v);
  ended_ = false;
  if (!paused_ && !item->IsPlaying()) item->Play();
}

int32_t TKovaSound::GetCount() const {
  if (TDMediaItem* item = Item()) return item->GetLen();
  if (!SourceExists()) return 0;
  TMediaKind kind{};
  if (!KindOf(source_, kind)) return 0;
  TMediaManager* manager = media_.Manager(kind);
  TDMediaItem* probe = manager ? manager->Add(source_) : nullptr;
  if (!probe) return 0;
  const int32_t length = probe->GetLen();
  manager->Remove(probe);
  return length;
}

bool TKovaSound::GetPlaying() const {
  TDMediaItem* item = Item();
  return item && item->IsPlaying();
}

void TKovaSound::Rewind() {
  start_pos_ = 0;
  paused_ = false;
  ended_ = false;
  play_state_ = delay_ < 1 ? kPlay : kFadeIn;
  TDMediaItem* item = Item();
  if (!item) return;
  fader_.reset();
  if (delay_ > 0) {
    item->Pause();
    item->SetVol(kSilent);
    item->SetPosition(0);
    StartFadeIn(*item);
  } else {
    item->SetVol(Level(*item));
    item->SetPosition(0);
    if (!item->IsPlaying()) item->Play();
  }
}

bool TKovaSound::Update() {
  bool finished = false;
  TDMediaItem* item = Item();
  if (item && item->IsEnd()) {
    const bool first = !end_seen_;
    end_seen_ = true;
    ended_ = true;
    if (repeat_) {
      item->SetPosition(0);
    } else if (auto_scrap_) {
      finished = true;
    } else if (first && !on_play_end_.empty() && !EventQueued(PR_ONPLAYEND)) {
      QueueEvent(on_play_end_, PR_ONPLAYEND);
    }
    item->SetEnded(false);
  } else {
    end_seen_ = false;
  }
  if (fader_ && fader_->Step(Clock())) {
    if (fader_->IsFadeOut()) finished = true;
    fader_.reset();
  }
  return finished;
}

// ---- Save and load ----

struct TKovaSound::TRecord {
  std::string source;
  bool repeat = false, auto_scrap = false, paused = false, ani_paused = false, ended = false;
  int32_t volume = 0, balance = 0, delay = 0, position = 0;
  uint8_t play_state = kStopped;
  std::string on_play_end;
  bool rewind_on_load = false, mute_on_load = false;
};

namespace {

template <class IO, class R>
void TransferSound(IO& io, R& r) {
  io.Str(r.source);
  io.Bool(r.repeat);
  io.Bool(r.auto_scrap);
  io.Bool(r.paused);
  io.Bool(r.ani_paused);
  io.Bool(r.ended);
  io.Int(r.volume);
  io.Int(r.balance);
  io.Int(r.delay);
  io.Int(r.position);
  io.Byte(r.play_state);
  io.Str(r.on_play_end);
  if (io.Since(108)) io.Bool(r.rewind_on_load);
  if (io.Since(129)) io.Bool(r.mute_on_load);
}

}  // namespace

void TKovaSound::SaveToStream(TStream& stream) const {
  TKovaComponent::SaveToStream(stream);
  const TRecord r{source_, repeat_, auto_scrap_, paused_, ani_paused_, ended_, volume_, balance_, delay_,
                  GetIndex(), uint8_t(play_state_), on_play_end_, rewind_on_load_, mute_on_load_};
  TRecordSaver io(stream);
  TransferSound(io, r);
}

void TKovaSound::LoadFromStream(TStream& stream, int32_t version) {
  TKovaComponent::LoadFromStream(stream, version);
  TRecord r;
  TRecordLoader io(stream, version);
  TransferSound(io, r);
  repeat_ = r.repeat;
  auto_scrap_ = r.auto_scrap;
  volume_ = r.volume;
  balance_ = std::clamp(r.balance, -10000, 10000);
  on_play_end_ = r.on_play_end;
  rewind_on_load_ = r.rewind_on_load;
  mute_on_load_ = r.mute_on_load;
  // The saved delay waits while the sound starts again, so that it starts at once.
  delay_ = 0;
  if (mute_on_load_) volume_ = 0;
  SetSource(r.source);
  start_pos_ = rewind_on_load_ ? 0 : r.position;
  paused_ = r.paused;
  ani_paused_ = r.ani_paused;
  ended_ = r.ended;
  if (r.play_state == kFadeOut) SetPlayState(kPlay);
  delay_ = r.delay;
  if (ended_) {
    play_state_ = r.play_state;
  } else {
    SetPlayState(r.play_state);
  }
  if (paused_ || ani_paused_) ApplyPause();
}

void RegisterSoundKind(TComponentFactory& kinds, TMediaLayer& media) {
  kinds.Register(KT_SOUND, [&media](TKovaObject* owner) -> TKovaObject* { return new TKovaSound(owner, media); });
}

}  // namespace kova
