// The picture kinds on the image base: the single picture (TKovaImage, set up by film image
// tracks), the picture set of cached frames with its frame clock (TKovaImageData, TKovaImageList;
// image sets, buttons, tiles, map images, list boxes and pictures inside rich text use it), and the
// animated image set a script creates (TKovaCustomImages, TKovaImages): a layered picture (".wxa")
// or a motion file (".kmt") with index, count, repeat, pause, auto-scrap and a play-end event.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "components/scene/image_cache.h"
#include "components/widgets/kova_custom_image.h"
#include "script/parser.h"

namespace kova {

// ---- The single picture ----

class TKovaImage : public TKovaCustomImage {
 public:
  explicit TKovaImage(TKovaObject* owner);
  ~TKovaImage() override;

  std::string GetSource() const override { return source_; }
  // A different name is stored and the picture loaded.
  void SetSource(const std::string& v) override;
  int32_t GetBrightness() const override { return brightness_; }
  // 0 .. 255: 255 shows the picture as stored, lower values darken it.
  void SetBrightness(int32_t v) override;

  // What a film's image track sets for one frame.
  struct TTrackFrame {
    TCustomDIBX* surface = nullptr;
    TKovaControl* parent = nullptr;
    TCustomDIBX* mask = nullptr;
    int32_t transparent_color = -1;
    int32_t zoom_x = 256, zoom_y = 256, priority = 0;
    bool flip_h = false, flip_v = false;
    int32_t offset_x = 0, offset_y = 0, left = 0, top = 0, angle = 0, alpha = 255;
    TRect clip;
  };
  void SetupFromTrack(const TTrackFrame& f);

  void RecreateDIB() override;
  // After the image record: source, brightness.
  void SaveToStream(TStream& stream) const override;
  void LoadFromStream(TStream& stream, int32_t version) override;

 private:
  // The record's one description, run by SaveToStream and LoadFromStream.
  template <class IO, class R>
  static void Transfer(IO& io, R& r);

  void LoadPicture();

  std::string source_;
  int32_t brightness_ = 255;
};

// ---- Picture sets ----

// One frame of a picture set: the cached frame, or a private copy shifted in brightness.
class TKovaImageData {
 public:
  explicit TKovaImageData(const TWexaItemFrame& frame) : frame_(&frame) {}
  TKovaImageData(const TKovaImageData&) = delete;
  TKovaImageData& operator=(const TKovaImageData&) = delete;

  TCustomDIBX* GetDIB() const { return shift_ != 0 && private_ ? private_.get() : &frame_->Surface(); }
  TCustomDIBX* Mask() const { return frame_->Mask(); }
  int32_t FrameTime() const { return frame_->Duration; }
  int32_t TransparentColor() const { return frame_->TransparentColor; }
  const TWexaItemFrame& CacheFrame() const { return *frame_; }
  int32_t Shift() const { return shift_; }

  // A different shift is stored; a non-zero one makes a private copy of the frame with every
  // colour channel moved by it (the colour key stays transparent).
  void SetShift(int32_t shift);
  void FreeDIB() { private_.reset(); }
  void RecreateDIB();

  // This frame drawn as the control draws its own surface (without the content-rectangle pass).
  void DrawFor(TKovaCustomImage& control) const;
  // The source rectangle of this frame at (x, y), unscaled, with the control's level and flips.
  void DrawAt(TKovaCustomImage& control, int32_t x, int32_t y, const TRect& src) const;
  // The same into `target` at `alpha` (0 and below draw nothing) with the flips given.
  void DrawAt(TCustomDIBX& target, int32_t x, int32_t y, const TRect& src, bool flip_h, bool flip_v,
              int32_t alpha) const;
  // This frame repeated over `rect` of the target, unmirrored, shifted by the scroll values.
  void DrawPattern(TCustomDIBX& target, const TRect& rect, int32_t alpha, int32_t scroll_x, int32_t scroll_y) const;

 private:
  void BuildPrivate();

  const TWexaItemFrame* frame_;
  std::unique_ptr<TDIBX> private_;
  int32_t shift_ = 0;
};

// The frames of one picture from the cache, with the current index and the time left on it.
class TKovaImageList {
 public:
  TKovaImageList() = default;
  ~TKovaImageList();
  TKovaImageList(const TKovaImageList&) = delete;
  TKovaImageList& operator=(const TKovaImageList&) = delete;

  // Releases the picture held and takes `name` from the cache for `owner`; index 0.
  void Load(TWexaCollection& cache, const void* owner, const std::string& name, bool mask);
  // Empties the list and releases the picture.
  void Clear();
  int32_t Count() const { return int32_t(items_.size()); }
  // nullptr outside 0 .. Count() - 1.
  TKovaImageData* GetItem(int32_t i) const;
  int32_t Index() const { return index_; }
  int32_t Remaining() const { return remaining_; }
  // index := i (at most the last); a valid index starts its frame time.
  void SetIndex(int32_t i);
  // Advances the frame clock by `delta` milliseconds; true when the frame changed.
  bool Step(int32_t delta);
  void FreeDIBs();
  void RecreateDIBs();
  TWexaItem* Item() const { return item_; }

 private:
  std::vector<std::unique_ptr<TKovaImageData>> items_;
  int32_t index_ = 0;
  int32_t remaining_ = 0;
  TWexaItem* item_ = nullptr;
  const void* owner_ = nullptr;
};

// ---- Animated image sets ----

class TKovaCustomImages : public TKovaCustomImage {
 public:
  explicit TKovaCustomImages(TKovaObject* owner);
  ~TKovaCustomImages() override;

  // The picture list of the current state; nullptr here.
  virtual TKovaImageList* GetStateImage() const { return nullptr; }

  int32_t GetIndex() const override;
  void SetIndex(int32_t v) override;
  int32_t GetCount() const override;
  int32_t GetBrightness() const override { return brightness_; }
  // A signed shift of every colour channel of the frames shown.
  void SetBrightness(int32_t v) override;
  bool GetPaused() const override { return paused_; }
  void SetPaused(bool v) override;
  void SetVisible(bool v) override;
  bool GetPlaying() const override;

  // Evaluated when the last frame of a set of several starts; its integer result lengthens it.
  TKovaParser& DelayExpr() { return delay_expr_; }
  // The image-creation command hands over its delay expression.
  void TakeCommandExpressions(TComComponent& command) override;
  int32_t RemainingTime() const { return remaining_; }

  bool Update() override;
  // After the image record: remaining, index, brightness shift, paused, the delay expression.
  void SaveToStream(TStream& stream) const override;
  void LoadFromStream(TStream& stream, int32_t version) override;

 protected:
  bool ValidIndex(int32_t i) const;
  int32_t index_ = -1;
  int32_t remaining_ = 0;

 private:
  // The record's one description, run by SaveToStream and LoadFromStream.
  template <class IO, class R>
  static void Transfer(IO& io, R& r);

  int32_t brightness_ = 0;
  bool paused_ = false;
  TKovaParser delay_expr_;
};

class TKovaImages : public TKovaCustomImages {
 public:
  // `state_count` picture lists (1 for an image set; kinds with states ask for more).
  explicit TKovaImages(TKovaObject* owner, int32_t state_count = 1);
  ~TKovaImages() override;

  uint8_t GetCompoType() const override;
  TKovaImageList* GetStateImage() const override;
  virtual int32_t GetStateIndex() const { return 0; }
  virtual void SetStateIndex(int32_t) {}
  int32_t GetStateCount() const { return int32_t(lists_.size()); }
  TKovaImageList& List(int32_t state) const { return *lists_.at(size_t(state)); }

  std::string GetSource() const override { return source_; }
  // ".wxa" loads the picture set, ".kmt" the motion; other names load nothing.
  void SetSource(const std::string& v) override;
  bool GetRepeat() const override { return repeat_; }
  void SetRepeat(bool v) override;
  bool GetAutoScrap() const override { return auto_scrap_; }
  void SetAutoScrap(bool v) override { auto_scrap_ = v; }
  std::string GetOnPlayEnd() const override { return on_play_end_; }
  void SetOnPlayEnd(const std::string& v) override { on_play_end_ = v; }
  std::string GetOnIdle() const override { return on_idle_; }
  void SetOnIdle(const std::string& v) override { on_idle_ = v; }

  void FreeDIB() override;
  void RecreateDIB() override;
  // After the set record: repeat, auto-scrap, source, play-end handler, idle handler (read from
  // data version 104); loading ends by setting the saved index again.
  void SaveToStream(TStream& stream) const override;
  void LoadFromStream(TStream& stream, int32_t version) override;

 private:
  // The record's one description, run by SaveToStream and LoadFromStream.
  template <class IO, class R>
  static void Transfer(IO& io, R& r);

  std::vector<std::unique_ptr<TKovaImageList>> lists_;
  bool repeat_ = false;
  bool auto_scrap_ = false;
  std::string source_;
  std::string on_play_end_;
  std::string on_idle_;
};

// True when the name ends in `ext` (".wxa"), compared without regard to case.
bool HasExtension(const std::string& name, const char* ext);

}  // namespace kova
