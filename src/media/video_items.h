// Video items and their manager. A video item plays one video file: its pictures are decoded on a
// worker thread of its own and timed on the manager's clock, its sound track plays as a voice of
// the backend on the audio bus. The video component either takes each new picture into its own
// surface (not overlay) or places the item on the screen (overlay): the manager then draws the
// item's current picture, scaled, into the presented picture after the scene.
//
// A video that cannot be decoded (damaged, truncated, of a kind the decoders do not know, or with
// pictures far larger than the game's screen) still makes an item: it has no picture, a size of
// 0 x 0, and reports its end at once, so the component's end rules run as for a video played to
// its end. Main thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/types.h"
#include "media/media_manager.h"
#include "platform/video_codecs.h"

namespace kova {

class IMediaBackend;
class TCustomDIBX;
class TVrFileManager;

// One video the game plays: the media item operations, and the drawing support of the video
// component. The base has no picture; the manager's items decode one.
class TVideoItem : public TDMediaItem {
 public:
  TVideoItem(TMediaManager& owner, bool not_overlay) : TDMediaItem(owner), not_overlay_(not_overlay) {}

  // Made for a component whose Overlay property is off: its pictures go into the component's
  // surface and the manager never draws it.
  bool NotOverlay() const { return not_overlay_; }
  // A picture newer than the last one taken is due at the clock's time.
  virtual bool NeedPaint() { return false; }
  // The picture due at the clock's time, taken (NeedPaint is false after it until a newer one is
  // due); nullptr before the first.
  virtual const plat::TVideoPicture* GetPicture() { return nullptr; }
  // The picture due at the clock's time, without taking it (the overlay's drawing).
  virtual const plat::TVideoPicture* CurrentPicture() { return nullptr; }
  virtual int32_t GetSourceWidth() { return 0; }
  virtual int32_t GetSourceHeight() { return 0; }
  // Overlay placement: where the picture goes in the presented picture (`dest`, screen pixels)
  // and which part of the picture goes there (`source`, picture pixels).
  void SetRect(const TRect& dest, const TRect& source) {
    dest_ = dest;
    source_ = source;
  }
  const TRect& DestRect() const { return dest_; }
  const TRect& SourceRect() const { return source_; }
  bool GetVisible() const { return visible_; }
  void SetVisible(bool visible) { visible_ = visible; }

 private:
  bool not_overlay_;
  TRect dest_, source_;
  bool visible_ = false;
};

// What the manager's items read and play through.
struct TVideoManagerParts {
  TVrFileManager* files = nullptr;
  plat::IVideoCodecs* codecs = nullptr;
  IMediaBackend* backend = nullptr;  // plays the sound tracks (none: the videos are silent)
  // The clock pictures are timed on, in ms (the game clock on a device pulled by its caller).
  std::function<uint32_t()> clock_ms;
  // True on a device pulled by its caller (headless runs, tests): the picture of a time is waited
  // for, so the same game shows the same pictures every run. Otherwise a picture not yet decoded
  // is shown when it is.
  bool wait_for_pictures = false;
  // The most pixels a picture may have; larger videos are refused (made as undecodable items).
  int64_t max_pixels = int64_t(1920) * 1080 * 4;
};

class TVideoManager : public TMediaManager {
 public:
  explicit TVideoManager(TVideoManagerParts parts);
  ~TVideoManager() override;

  // Makes the item of the game file `name` and appends it. Names are read as the Part's sources
  // say: a name beginning with a path delimiter is a disk file; a ".wmv", ".asf" or extension-less
  // name is opened through its host path (the archive entry's work file); any other name through
  // a range stream over the game's bytes. A file that does not exist raises the file system's
  // error and nothing is added.
  TVideoItem* Add(const std::string& name, bool not_overlay);

  // Around a switch between window and full screen: no overlay is drawn while suspended; resuming
  // draws them all again.
  void SuspendVideo();
  void ResumeVideo();
  bool VideoSuspended() const { return video_suspended_; }

  // The overlay pictures: each visible overlay item's current picture (list order), drawn scaled
  // from its source rectangle into its destination rectangle of `target`, clipped to `target`.
  // Each rectangle drawn is appended to `areas`. Nothing while suspended.
  void DrawOverlays(TCustomDIBX& target, std::vector<TRect>& areas);

  const TVideoManagerParts& Parts() const { return parts_; }
  // The host path a decoded item's bytes are read through (empty when read from the game's files).
  static std::string HostPathOf(const TVideoItem& item);

 protected:
  // The decoded item of `name` (tests make their own).
  virtual std::unique_ptr<TVideoItem> CreateVideo(const std::string& name, bool not_overlay);

 private:
  std::unique_ptr<TDMediaItem> CreateItem(const std::string& name) final;

  TVideoManagerParts parts_;
  bool pending_not_overlay_ = false;
  bool video_suspended_ = false;
};

}  // namespace kova
