// The cinema: a control that plays a film file. Its source names the film; each frame the film's
// time advances by the frame delta (after two frames of grace following a load or a seek), the
// film loops from its loop start or stops at its end (queueing the play-end event, or removing the
// component with AutoScrap), and the film is set to the tick the time gives.
//
// Where the film's sprites live: a film with transitions or layers of its own, or with a
// background colour, runs on the cinema's private root container (two film layers that draw into
// the cinema's rectangle); a film without background puts its sprites into the global scene as
// children of the cinema. The save record keeps the source, the flags and the tick, so that a
// loaded game shows the film at the same tick (unless RewindOnLoad) and at volume 0 with
// MuteOnLoad. Main thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "components/scene/kova_control.h"
#include "core/vocabulary.h"

namespace kova {

class TFilmManager;
class TKovaBaseListCinema;

class TKovaCinema : public TKovaControl {
 public:
  // One tick of a film in milliseconds (1000 / 60).
  static constexpr double kTickMs = 1000.0 / 60.0;

  explicit TKovaCinema(TKovaObject* owner);
  // Invalidates its area, frees the film, then the private root.
  ~TKovaCinema() override;

  uint8_t GetCompoType() const override { return KT_CINEMA; }

  // Loads the film file of that name (a name equal to the source only invalidates); a missing
  // file leaves no film. The film reader's errors pass to the caller.
  std::string GetSource() const override { return source_; }
  void SetSource(const std::string& v) override;
  // The private root's size; setting passes the size to it.
  int32_t GetWidth() const override;
  int32_t GetHeight() const override;
  void SetWidth(int32_t v) override;
  void SetHeight(int32_t v) override;
  // The film's current tick; setting seeks there (two frames of grace follow).
  int32_t GetIndex() const override;
  void SetIndex(int32_t tick) override;
  // The film's length in ticks (0 without a film).
  int32_t GetCount() const override;
  bool GetPlaying() const override;
  bool GetRepeat() const override { return repeat_; }
  void SetRepeat(bool v) override;
  bool GetPaused() const override { return paused_; }
  void SetPaused(bool v) override;
  void SetAniPaused(bool v) override;
  // Per mille; negative values store 0.
  int32_t GetVolume() const override { return volume_; }
  void SetVolume(int32_t v) override;
  bool GetAutoScrap() const override { return auto_scrap_; }
  void SetAutoScrap(bool v) override { auto_scrap_ = v; }
  std::string GetOnPlayEnd() const override { return on_play_end_; }
  void SetOnPlayEnd(const std::string& v) override { on_play_end_ = v; }
  std::string GetOnIdle() const override { return on_idle_; }
  void SetOnIdle(const std::string& v) override { on_idle_ = v; }
  bool GetRewindOnLoad() const override { return rewind_on_load_; }
  void SetRewindOnLoad(bool v) override { rewind_on_load_ = v; }
  bool GetMuteOnLoad() const override { return mute_on_load_; }
  void SetMuteOnLoad(bool v) override { mute_on_load_ = v; }

  bool Update() override;
  void Draw() override;
  // The children are tried from the top down, leaving out the internal ones (the film's own
  // sprites); then the cinema itself.
  TKovaControl* HitTest(TPoint point, uint32_t mask) override;
  void RecreateDIB() override;
  void SaveToStream(TStream& stream) const override;
  void LoadFromStream(TStream& stream, int32_t version) override;

  // For the player's logo and the tests.
  TFilmManager* Film() const { return film_.get(); }
  TKovaBaseListCinema& PrivateRoot() const { return *private_root_; }
  int32_t Time() const { return time_; }
  bool Ended() const { return ended_; }
  int32_t StartFrames() const { return start_frames_; }

 private:
  // The record's one description, run by SaveToStream and LoadFromStream.
  template <class IO, class R>
  static void Transfer(IO& io, R& r);
  void LoadFilm();
  void ApplyPaused();

  std::unique_ptr<TKovaBaseListCinema> private_root_;
  std::unique_ptr<TFilmManager> film_;
  std::string source_;
  int32_t time_ = 0;
  bool repeat_ = false;
  bool paused_ = false;
  bool auto_scrap_ = false;
  std::string on_play_end_;
  std::string on_idle_;
  bool ended_ = false;
  int32_t start_frames_ = 0;
  int32_t volume_ = 1000;
  bool rewind_on_load_ = false;
  bool mute_on_load_ = false;
};

}  // namespace kova
