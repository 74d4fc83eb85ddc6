// One sound, piece of music or video the game plays: a media item, made and owned by the manager
// of its kind (media_manager.h) and driven by the sound and video components through these
// operations. Positions and lengths are milliseconds; volume and pan are hundredths of a decibel
// (volume 0 = full level, -10000 = silent; pan 0 = centre, negative = left, positive = right).
// The base answers 0 or false and does nothing. Main thread only.
#pragma once

#include <cstdint>

namespace kova {

class TMediaManager;

class TDMediaItem {
 public:
  explicit TDMediaItem(TMediaManager& owner) : owner_(owner) {}
  virtual ~TDMediaItem() = default;
  TDMediaItem(const TDMediaItem&) = delete;
  TDMediaItem& operator=(const TDMediaItem&) = delete;

  virtual bool GetAutoRepeat() { return false; }
  virtual void SetAutoRepeat(bool) {}
  virtual int32_t GetPan() { return 0; }
  virtual int32_t GetVol() { return 0; }
  virtual void SetPan(int32_t) {}
  virtual void SetVol(int32_t) {}
  virtual int32_t GetPosition() { return 0; }
  virtual void SetPosition(int32_t) {}
  virtual int32_t GetLen() { return 0; }
  // The item reached its end (the kinds that latch report one end once).
  virtual bool IsEnd() { return false; }
  // No kind gives it a body: the sound component calls it with false after it saw the end.
  virtual void SetEnded(bool) {}
  virtual bool IsPlaying() { return false; }
  virtual bool IsPaused() { return false; }
  // Starts or resumes.
  virtual void Play() {}
  virtual void Pause() {}

  // A MIDI song (the sound component's level and fade rules differ for it).
  virtual bool IsMidi() const { return false; }

  // The manager that made the item (the one to give it back to).
  TMediaManager& Owner() const { return owner_; }
  // The mark of the manager's PauseAll and ResumeAll (and of Play while the manager is disabled).
  bool Mark = false;

 private:
  TMediaManager& owner_;
};

}  // namespace kova
