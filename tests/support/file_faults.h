// File calls that fail on demand: the Nth write, flush or rename from the time they are armed
// fails as a full disk, a failing disk or a crash before the rename would. Disarmed, they are the
// system's calls.
#pragma once

#include <cstdint>

#include "platform/files/file_calls.h"

namespace kova::test {

class FileFaults : public plat::IFileCalls {
 public:
  enum class Step { Write, Sync, Rename };

  // The `nth` call (from 1) of `step` from now on fails with `error`; one fault at a time.
  void Arm(Step step, int32_t nth, int error = 28 /* ENOSPC */);
  void Disarm() { armed_ = false; }
  // Whether the armed fault has happened.
  bool Fired() const { return fired_; }
  // The calls of each kind since the last Arm or Count reset.
  int32_t Calls(Step step) const { return counts_[static_cast<int>(step)]; }
  void ResetCounts() { counts_[0] = counts_[1] = counts_[2] = 0; }

  int64_t Write(int fd, const void* buffer, size_t count) override;
  int Sync(int fd) override;
  int Rename(const char* from, const char* to) override;

 private:
  bool Fail(Step step);

  plat::TSystemFileCalls system_;
  bool armed_ = false;
  bool fired_ = false;
  Step step_ = Step::Write;
  int32_t nth_ = 0;
  int error_ = 0;
  int32_t counts_[3] = {};
};

}  // namespace kova::test
