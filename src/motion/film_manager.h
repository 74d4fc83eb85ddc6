// A film: an animation stored in a file of its own, a list of tracks that drive sprites, sounds
// and screen transitions over ticks of 1/60 s. The manager reads the film file, keeps the film's
// size, background colour, loop start and length, and, once per frame, SetTime brings every track
// to a tick and starts or advances the screen transition of the wipe track that covers it.
//
// Owners: the cinema component shows a film on the screen (on its own root container, or on the
// global one with itself as Target); a control's motion drives the control with a film (motion
// mode: tracks set the control, no transition runs); preview-menu buttons use a film's first
// frame as a picture. Main thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "motion/film_track.h"

namespace kova {

class IPictureSource;
class TStringList;
class TWipeFrameList;

class TFilmManager : public IFilmOfTracks {
 public:
  // An empty film: no tracks, Color -1, MasterVolume 1000, sound enabled.
  TFilmManager();
  ~TFilmManager() override;
  TFilmManager(const TFilmManager&) = delete;
  TFilmManager& operator=(const TFilmManager&) = delete;

  // Frees every track; Relative, LoopStart and Origin go back to false, 0 and (0, 0).
  void Clear();
  // The track at `index`, nullptr outside 0 .. Count() - 1.
  TCustomFrameList* GetTrack(int32_t index) const;
  int32_t Count() const { return static_cast<int32_t>(tracks_.size()); }

  // Reads the game file `name` through `files` and loads it (LoadFromStream); a missing file
  // raises the file system's "not found" error.
  void LoadFromFile(IPictureSource& files, std::string_view name);
  // Reads a film from `bytes`; `name` only gives the folder of relative file names. A header of
  // neither signature leaves the film empty; a truncated or malformed file raises the stream's
  // read error (the film is then empty).
  void LoadFromStream(std::span<const uint8_t> bytes, std::string_view name);

  // Brings every track to `tick`; unless in motion mode or with a Target, runs the screen
  // transition of the wipe track covering it (through the owner's Flip) and re-sorts the active
  // layer.
  void SetTime(int32_t tick);
  // The wipe track covering `tick` (the last in film order; nullptr: none) and the parity of the
  // other wipe tracks finished by then.
  struct TActiveWipe {
    TWipeFrameList* wipe = nullptr;
    int32_t parity = 0;
  };
  TActiveWipe ActiveWipeAt(int64_t tick) const;
  bool NeedsOwnLayers() const;
  // Unless in motion mode or with a Target: the owner takes the film's size and colour; then
  // every sound track starts its sound.
  void ApplyInitialState();
  int32_t GetLength() const { return Length; }
  void SetOwner(TKovaBaseList* owner) { owner_ = owner; }
  // The first track starting at tick 0, or nullptr.
  TCustomFrameList* FirstTrackAtZero() const;
  void SetPaused(bool paused);
  void SetSoundEnabled(bool enabled);
  void EnumFileNames(TStringList& names) const;

  // Motion mode: the tracks drive `control` (its priority `priority_base`) instead of sprites;
  // the owner becomes the control's root container.
  void SetMotion(TKovaControl* control, int32_t priority_base);
  void SetTarget(TKovaControl* target) { target_ = target; }
  void SetOrigin(TPoint origin) { origin_ = origin; }

  // IFilmOfTracks.
  int32_t TrackCount() const override { return Count(); }
  TCustomFrameList* TrackAt(int32_t index) const override { return GetTrack(index); }
  bool MotionMode() const override { return motion_mode_; }
  bool Relative() const override { return relative_; }
  TPoint Origin() const override { return origin_; }
  bool DrawsTarget() const override { return target_ != nullptr; }
  int32_t WipeParityAt(int64_t tick) const override;
  void PlaceOnLayer(TKovaObject& sprite, int32_t layer) override;
  TKovaBaseList* Owner() const override { return owner_; }
  TKovaControl* Target() const override { return target_; }
  TKovaControl* Control() const override { return control_; }
  int32_t PriorityBase() const override { return priority_base_; }
  int32_t FilmWidth() const override { return Width; }
  int32_t FilmHeight() const override { return Height; }
  void ClearCurrentWipe() override { current_wipe_ = nullptr; }
  TCustomFrameList* FollowerOf(const TCustomFrameList& track) const override;
  void LinksChanged() override { followers_valid_ = false; }
  int32_t FilmLength() const override { return Length; }
  int32_t FilmLoopStart() const override { return LoopStart; }
  int32_t FilmMasterVolume() const override { return MasterVolume; }
  bool FilmSoundEnabled() const override { return SoundEnabled; }
  TKovaBaseList* SoundOwner() const override;

  int32_t Width = 0, Height = 0;
  // The background colour; -1 none.
  int32_t Color = -1;
  // The tick of the last SetTime.
  int32_t Tick = 0;
  bool SoundEnabled = true;
  int32_t LoopStart = 0;
  bool Paused = false;
  // Per mille, applied to every sound track.
  int32_t MasterVolume = 1000;
  // The largest end tick of the tracks.
  int32_t Length = 0;
  // 0: "KovaCinema", 1: "KovaMotion", 2: neither.
  uint8_t Signature = 2;

 private:
  std::vector<std::unique_ptr<TCustomFrameList>> tracks_;
  // The wipe tracks in film order, and each linked-to track's first follower (made again when a
  // link changed): every track asks for its follower and the parity of the wipes each tick, so
  // neither may walk the whole film.
  std::vector<TWipeFrameList*> wipes_;
  mutable std::unordered_map<const TCustomFrameList*, TCustomFrameList*> followers_;
  mutable bool followers_valid_ = false;
  TWipeFrameList* current_wipe_ = nullptr;
  bool relative_ = false;
  TPoint origin_;
  bool motion_mode_ = false;
  TKovaControl* control_ = nullptr;
  int32_t priority_base_ = 0;
  TKovaControl* target_ = nullptr;
  TKovaBaseList* owner_ = nullptr;
};

}  // namespace kova
