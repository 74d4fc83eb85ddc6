// The video component (KT_VIDEO): plays one video file through the video manager. In overlay mode
// (the default) the manager draws the video over the presented picture in a rectangle computed
// from the component's place, zoom and clipping; otherwise each new picture is copied into the
// component's own surface and drawn like an image. Play states, volume, balance, fades, repeat,
// pause, the end event and saved games follow the sound component. Main thread only.
//
// A zoom of 0 (a width or height set by hand) keeps the hand-set size, and the part of the
// picture shown follows the picture's size over the control's size. The end event goes once per
// end, as the sound's does. A fade-out keeps its item until the fade ends (or the component is
// freed), then gives it back to the video manager.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "components/widgets/kova_custom_image.h"
#include "core/vocabulary.h"
#include "media/kova_sound.h"
#include "media/media_layer.h"

namespace kova {

class TComponentFactory;
class TVideoItem;
class TVideoManager;

class TKovaVideo : public TKovaCustomImage {
 public:
  static constexpr int32_t kPlay = 0, kFadeIn = 1, kStopped = 2, kFadeOut = 3;
  // The picture check's interval in ms of the game clock.
  static constexpr int32_t kPictureInterval = 33;

  TKovaVideo(TKovaObject* owner, TMediaLayer& media);
  // Frees the fader, gives the item (and a fading one) back to the video manager.
  ~TKovaVideo() override;

  uint8_t GetCompoType() const override { return KT_VIDEO; }

  std::string GetSource() const override { return source_; }
  void SetSource(const std::string& v) override;
  int32_t GetPlayState() const override { return play_state_; }
  void SetPlayState(int32_t v) override;
  // A move (of the control or a parent) or a change of visibility places the overlay again.
  void SetVisible(bool v) override;
  void SetZoomX(int32_t v) override;
  void SetZoomY(int32_t v) override;
  bool GetRepeat() const override { return repeat_; }
  void SetRepeat(bool v) override;
  bool GetPaused() const override { return paused_; }
  void SetPaused(bool v) override;
  // The flag is the control's (it joins the control's record).
  void SetAniPaused(bool v) override;
  int32_t GetVolume() const override { return volume_; }
  void SetVolume(int32_t v) override;
  int32_t GetBalance() const override { return balance_; }
  void SetBalance(int32_t v) override;
  int32_t GetIndex() const override;
  void SetIndex(int32_t v) override;
  // The length in ms; without an item a temporary one of an existing file is measured.
  int32_t GetCount() const override;
  bool GetPlaying() const override;
  bool GetOverlay() const override { return overlay_; }
  // Switching with an item restarts the video at the same position in the new mode.
  void SetOverlay(bool v) override;
  int32_t GetDelay() const override { return delay_; }
  void SetDelay(int32_t v) override { delay_ = v; }
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
  void Rewind() override;
  void MediaPause() override;
  void MediaResume() override;
  void PositionChanged() override;

  // The overlay placement, the picture check, the end and the fader; true when done.
  bool Update() override;
  // Takes a new picture into the frame surface, then draws as an image.
  void Draw() override;
  void FreeDIB() override;
  void RecreateDIB() override;

  // After the image's record: source, repeat, auto-scrap, paused (bytes but the first), volume,
  // balance, delay, position (int32), play state (byte), the end and idle handlers,
  // rewind-on-load (from data version 108), overlay (from 112) and mute-on-load (from 129).
  void SaveToStream(TStream& stream) const override;
  void LoadFromStream(TStream& stream, int32_t version) override;

  // The item while the video manager holds it (nullptr otherwise), the running fader, the item a
  // fade-out holds, and the frame surface.
  TVideoItem* Item() const;
  TKovaMixer* Fader() const { return fader_.get(); }
  TVideoItem* FadingItem() const;
  TCustomDIBX* FrameSurface() const { return frame_.get(); }
  int32_t StartPosition() const { return start_pos_; }
  int32_t PlayStartTime() const { return play_start_; }
  // Places the overlay rectangle (overlay mode, with an item).
  void PlaceVideo();

  struct TRecord;

 private:
  TVideoManager* Manager() const;
  bool Running() const { return !paused_ && !GetAniPaused(); }
  // After a pause flag changed: pauses the item, or plays it (a new fade-in in play state 1).
  void RunChanged(bool was_running);
  int32_t Level() const { return TKovaSound::ItemLevel(volume_, false); }
  int32_t Clock() const;
  bool SourceExists() const;
  // Frees the fader; a fade-out's item goes back to the manager with it.
  void DropFader();
  // Frees the fader, then gives the item back to the manager.
  void RemoveItem();
  void StartFadeIn(TVideoItem& item);
  // A new frame surface of the video's size at the screen's depth, made the drawn surface.
  void MakeFrameSurface(TVideoItem& item);
  void FreeFrameSurface();
  // The control's size from the video's and the zoom (an axis of zoom 0 keeps its size).
  void SizeFromVideo();
  void CopyPicture();

  TMediaLayer& media_;
  std::string source_;
  int32_t play_state_ = kStopped;
  TVideoItem* item_ = nullptr;
  std::unique_ptr<TCustomDIBX> frame_;
  bool repeat_ = false;
  bool paused_ = false;
  int32_t volume_ = 1000;
  int32_t balance_ = 0;
  std::unique_ptr<TKovaMixer> fader_;
  // The item a fade-out took from the component.
  TVideoItem* fading_ = nullptr;
  int32_t delay_ = 0;
  int32_t start_pos_ = 0;
  bool auto_scrap_ = false;
  std::string on_play_end_;
  std::string on_idle_;
  int32_t play_start_ = 0;
  bool rewind_on_load_ = false;
  bool mute_on_load_ = false;
  bool overlay_ = true;
  int32_t last_check_ = 0;
  bool checked_ = false;
  // The picture check found a new picture for the next draw.
  bool new_picture_ = false;
  // The item reported its end in the last update (the end event goes once per end).
  bool end_seen_ = false;
};

// Registers KT_VIDEO: every video made plays through `media`'s video manager (which outlives the
// factory's use).
void RegisterVideoKind(TComponentFactory& kinds, TMediaLayer& media);

}  // namespace kova
