// A video item and manager for the video component's tests: the item's size, pictures, position,
// length and end are set by the test, and every call the component makes is logged.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "media/video_items.h"

namespace kova::test {

class FakeVideoItem : public TVideoItem {
 public:
  FakeVideoItem(TMediaManager& owner, bool not_overlay, int32_t width, int32_t height, int32_t len)
      : TVideoItem(owner, not_overlay), width(width), height(height), len(len) {}

  // Makes `picture` (every pixel `xrgb`) the one due; NeedPaint is true until it is taken.
  void Show(uint32_t xrgb) {
    picture.width = width;
    picture.height = height;
    picture.pixels.assign(size_t(width) * size_t(height), xrgb);
    fresh = true;
  }

  bool NeedPaint() override { return fresh; }
  const plat::TVideoPicture* GetPicture() override {
    log.push_back("GetPicture");
    fresh = false;
    return picture.pixels.empty() ? nullptr : &picture;
  }
  int32_t GetSourceWidth() override { return width; }
  int32_t GetSourceHeight() override { return height; }
  void SetAutoRepeat(bool v) override { auto_repeat = v; }
  int32_t GetVol() override { return vol; }
  void SetVol(int32_t v) override { vol = v; }
  int32_t GetPan() override { return pan; }
  void SetPan(int32_t v) override { pan = v; }
  int32_t GetPosition() override { return pos; }
  void SetPosition(int32_t v) override {
    pos = v;
    log.push_back("SetPosition " + std::to_string(v));
  }
  int32_t GetLen() override { return len; }
  bool IsEnd() override { return end; }
  bool IsPlaying() override { return playing; }
  bool IsPaused() override { return paused; }
  void Play() override {
    playing = true;
    paused = false;
    log.push_back("Play");
  }
  void Pause() override {
    playing = false;
    paused = true;
    log.push_back("Pause");
  }

  int32_t width, height, len;
  plat::TVideoPicture picture;
  bool fresh = false;
  int32_t vol = 0, pan = 0, pos = 0;
  bool auto_repeat = false, end = false, playing = false, paused = false;
  std::vector<std::string> log;
};

// Makes fake items of a set size and keeps the names and modes asked for.
class FakeVideoManager : public TVideoManager {
 public:
  FakeVideoManager() : TVideoManager(TVideoManagerParts{}) {}
  FakeVideoItem* Last() const {
    return Items().empty() ? nullptr : static_cast<FakeVideoItem*>(Items().back().get());
  }
  int32_t width = 16, height = 8, length = 10000;
  std::vector<std::string> added;  // "name overlay" or "name surface"

 protected:
  std::unique_ptr<TVideoItem> CreateVideo(const std::string& name, bool not_overlay) override {
    added.push_back(name + (not_overlay ? " surface" : " overlay"));
    return std::make_unique<FakeVideoItem>(*this, not_overlay, width, height, length);
  }
};

}  // namespace kova::test
