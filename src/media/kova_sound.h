// The sound component (KT_SOUND): a component without a picture that plays one sound, piece of
// music or CD track through the media manager of its source's kind, with volume, balance, fades,
// repeat, the end event and the scrap rename on fade-out; it joins saved games.
//
// The manager comes from the source's lower-case extension: ".mid" and ".sgt" MIDI, ".wma", ".asf"
// and ".wmv" WMA, ".ogg" and ".wav" Ogg/WAV, else a name beginning "CD_" a CD track; anything else
// (or an absent manager) plays nothing. Play states: 0 play, 1 play with a fade-in, 2 stopped
// (the default), 3 fade-out. The script volume 0 .. 1000 becomes the item's level in hundredths of
// a decibel (see ItemLevel).
//
// The end event: PR_ONPLAYEND is queued once for each end the item reports (in the update that
// first sees it, and only while no such event of the sound is queued or being handled), whether
// the item's kind reports an end once or on every frame until it moves again: the same game gives
// the same events whatever kind plays its sounds. Main thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "components/scene/kova_object.h"
#include "core/vocabulary.h"
#include "media/media_layer.h"

namespace kova {

class TComponentFactory;
class TDMediaItem;

// A volume fade of one media item on the game clock. The first Step starts the fade and answers
// false; each further Step sets the item's level of the time and answers true once the fade is
// over. The item is not owned: whoever removes the item frees the fader first.
class TKovaMixer {
 public:
  TKovaMixer(TDMediaItem& item, int32_t target, int32_t duration) : item_(item), target_(target), duration_(duration) {}
  virtual ~TKovaMixer() = default;
  TKovaMixer(const TKovaMixer&) = delete;
  TKovaMixer& operator=(const TKovaMixer&) = delete;

  // `clock`: the game clock in milliseconds. The base never ends.
  virtual bool Step(int32_t /*clock*/) { return false; }
  virtual bool IsFadeOut() const { return false; }

  // The level at `clock`: the target once the duration has passed; otherwise from the start
  // level toward the target, rising from the middle of the range for a stream and from the start
  // for a MIDI song, falling over half the range for a stream and over all of it for MIDI.
  int32_t LevelAt(int32_t clock) const;
  // Milliseconds since the start (the clock's difference taken modulo 2^32).
  uint32_t Elapsed(int32_t clock) const { return uint32_t(clock) - start_time_; }
  bool Done(int32_t clock) const { return int64_t(Elapsed(clock)) >= int64_t(duration_); }

  TDMediaItem& Item() const { return item_; }
  int32_t Target() const { return target_; }
  // A new level to reach (a volume change while a fade-in runs).
  void SetTarget(int32_t target) { target_ = target; }
  int32_t Duration() const { return duration_; }
  int32_t StartLevel() const { return start_level_; }
  bool Started() const { return started_; }

 protected:
  void Start(int32_t clock, int32_t start_level) {
    start_time_ = uint32_t(clock);
    start_level_ = start_level;
    started_ = true;
  }

  TDMediaItem& item_;
  int32_t target_;
  int32_t duration_;
  uint32_t start_time_ = 0;
  int32_t start_level_ = 0;
  bool started_ = false;
};

// Starts silent and playing, then rises to the target; at the end the item holds the target.
class TKovaMixerFadein : public TKovaMixer {
 public:
  using TKovaMixer::TKovaMixer;
  bool Step(int32_t clock) override;
};

// Falls from the item's level at the start toward silence; nothing is set at the end (the sound
// that owns it is freed then).
class TKovaMixerFadeout : public TKovaMixer {
 public:
  TKovaMixerFadeout(TDMediaItem& item, int32_t duration) : TKovaMixer(item, -10000, duration) {}
  bool Step(int32_t clock) override;
  bool IsFadeOut() const override { return true; }
};

class TKovaSound : public TKovaComponent {
 public:
  static constexpr int32_t kPlay = 0, kFadeIn = 1, kStopped = 2, kFadeOut = 3;
  static constexpr int32_t kSilent = -10000;

  TKovaSound(TKovaObject* owner, TMediaLayer& media) : TKovaComponent(owner), media_(media) {}
  // Silences the item, frees the fader and gives the item back to its manager.
  ~TKovaSound() override;

  uint8_t GetCompoType() const override { return KT_SOUND; }

  // The item's level for a script volume: MIDI volume * 10 - 10000 (held to -10000 .. 0); a
  // stream volume * 5 - 5000, silent below -4999, at most 0.
  static int32_t ItemLevel(int32_t volume, bool midi);
  // The manager kind of a source; false when no kind plays it.
  static bool KindOf(const std::string& source, TMediaKind& kind);

  std::string GetSource() const override { return source_; }
  void SetSource(const std::string& v) override;
  int32_t GetPlayState() const override { return play_state_; }
  void SetPlayState(int32_t v) override;
  bool GetRepeat() const override { return repeat_; }
  void SetRepeat(bool v) override;
  bool GetPaused() const override { return paused_; }
  void SetPaused(bool v) override;
  // The getter stays the object model's.
  void SetAniPaused(bool v) override;
  int32_t GetVolume() const override { return volume_; }
  void SetVolume(int32_t v) override;
  int32_t GetBalance() const override { return balance_; }
  void SetBalance(int32_t v) override;
  // The item's position in milliseconds (0 without an item); setting it seeks (and plays a
  // stopped item that is not paused).
  int32_t GetIndex() const override;
  void SetIndex(int32_t v) override;
  // The length in milliseconds; without an item a temporary one of an existing file is measured.
  int32_t GetCount() const override;
  bool GetPlaying() const override;
  int32_t GetDelay() const override { return delay_; }
  void SetDelay(int32_t v) override { delay_ = v; }
  bool GetAutoScrap() const override { return auto_scrap_; }
  void SetAutoScrap(bool v) override { auto_scrap_ = v; }
  std::string GetOnPlayEnd() const override { return on_play_end_; }
  void SetOnPlayEnd(const std::string& v) override { on_play_end_ = v; }
  bool GetRewindOnLoad() const override { return rewind_on_load_; }
  void SetRewindOnLoad(bool v) override { rewind_on_load_ = v; }
  bool GetMuteOnLoad() const override { return mute_on_load_; }
  void SetMuteOnLoad(bool v) override { mute_on_load_ = v; }
  // Plays from the beginning, with a fade-in over the delay when it is above 0.
  void Rewind() override;

  // The end (repeat, auto-scrap or the end event) and the fader; true when the sound is done.
  bool Update() override;

  // After the object's record: source, repeat, auto-scrap, paused, animation-paused, ended
  // (bytes but the first), volume, balance, delay, position (int32), play state (byte), the end
  // handler, rewind-on-load (from data version 108) and mute-on-load (from 129).
  void SaveToStream(TStream& stream) const override;
  // Restores the record and starts the sound again as it played at the save.
  void LoadFromStream(TStream& stream, int32_t version) override;

  // The item while its manager holds it (nullptr otherwise), and the running fader.
  TDMediaItem* Item() const;
  TKovaMixer* Fader() const { return fader_.get(); }
  bool Ended() const { return ended_; }
  int32_t StartPosition() const { return start_pos_; }

  struct TRecord;

 private:
  int32_t Level(const TDMediaItem& item) const;
  bool SourceExists() const;
  // Makes the item of the source through its kind's manager; nullptr when none plays it.
  TDMediaItem* OpenItem();
  // Frees the fader, then gives the item back to its manager.
  void RemoveItem();
  void ApplyPause();
  void StartFadeIn(TDMediaItem& item);
  int32_t Clock() const;

  TMediaLayer& media_;
  std::string source_;
  int32_t play_state_ = kStopped;
  TDMediaItem* item_ = nullptr;
  TMediaKind kind_ = TMediaKind::Ogg;
  bool repeat_ = false;
  bool paused_ = false;
  int32_t volume_ = 1000;
  int32_t balance_ = 0;
  std::unique_ptr<TKovaMixer> fader_;
  int32_t delay_ = 0;
  int32_t start_pos_ = 0;
  bool auto_scrap_ = false;
  std::string on_play_end_;
  bool ani_paused_ = false;
  bool ended_ = false;
  bool rewind_on_load_ = false;
  bool mute_on_load_ = false;
  // The item reported its end in the last update (the end event goes once per end).
  bool end_seen_ = false;
};

// Registers KT_SOUND: every sound made plays through `media` (which outlives the factory's use).
void RegisterSoundKind(TComponentFactory& kinds, TMediaLayer& media);

}  // namespace kova
