// The media layer of a session: the five managers (video, WMA, Ogg/WAV, CD audio, MIDI), made at
// media start and freed at media stop, each absent (nullptr) outside that time or when its kind is
// not built; every caller tests for absence. It carries the rules that act on all of them: the
// scene's media switch, and pausing and resuming when the player's window loses and regains the
// user's attention. Main thread only.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "media/media_manager.h"

namespace kova {

enum class TMediaKind { Video, Wmp, Ogg, Cdda, Midi };
inline constexpr int kMediaKinds = 5;

class TMediaLayer {
 public:
  TMediaLayer() = default;
  ~TMediaLayer() { Stop(); }
  TMediaLayer(const TMediaLayer&) = delete;
  TMediaLayer& operator=(const TMediaLayer&) = delete;

  // The manager of `kind`, nullptr when there is none.
  TMediaManager* Manager(TMediaKind kind) const { return managers_[size_t(kind)].get(); }
  // Puts `manager` in the slot of `kind` (media start does it for every kind; tests install
  // fakes); the manager that was there is freed first, with its items.
  void Install(TMediaKind kind, std::unique_ptr<TMediaManager> manager);
  // Media stop: frees the managers in the order video, WMA, Ogg, CD, MIDI (each frees its items
  // before its own players).
  void Stop();

  // The scene's media switch: SetEnabled on the WMA, Ogg, CD and MIDI managers, in that order.
  void SetEnabled(bool enabled);
  // The window lost the user's attention: video PauseAll; WMA, Ogg and CD PauseAll when enabled;
  // MIDI PauseAll when enabled; each manager's LostAttention after its own PauseAll.
  void Deactivate();
  // The window has the user's attention again: video ResumeAll; WMA and Ogg ResumeAll when
  // enabled; CD ResumeAll when enabled; MIDI ResumeAll when enabled; each manager's
  // GainingAttention before its own ResumeAll.
  void Activate();
  // Entering and leaving a modal loop of the window (a menu, a move or a resize): PauseAll, then
  // ResumeAll, on the WMA, video, Ogg, CD and MIDI managers in that order.
  void EnterModalLoop();
  void LeaveModalLoop();
  // The sound device was opened anew: the WMA and Ogg managers' Restore.
  void Restore();
  // Around a switch between window and full screen: the video manager's suspend and resume.
  void SuspendVideo();
  void ResumeVideo();

 private:
  std::array<std::unique_ptr<TMediaManager>, kMediaKinds> managers_;
};

}  // namespace kova
