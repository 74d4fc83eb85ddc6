// A media manager: the owning list of the items of one kind, with the kind's pause, resume and
// enable rules. PauseAll pauses and marks what plays (once, until ResumeAll); ResumeAll plays the
// marked items again; SetEnabled(false) pauses like PauseAll and then disables, SetEnabled(true)
// enables and resumes. A kind without an enable switch (video) is always enabled. Main thread only.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "media/media_item.h"

namespace kova {

class TMediaManager {
 public:
  // `has_enabled`: the kind has an Enabled switch (every kind but video).
  explicit TMediaManager(bool has_enabled = true) : has_enabled_(has_enabled) {}
  virtual ~TMediaManager();
  TMediaManager(const TMediaManager&) = delete;
  TMediaManager& operator=(const TMediaManager&) = delete;

  // Makes the item of this kind for the game file `name` and appends it; an error making it (an
  // unreadable file, data that is no sound) passes to the caller and nothing is added.
  TDMediaItem* Add(const std::string& name);
  // Frees `item` when the list holds it; an item it does not hold is left alone.
  void Remove(TDMediaItem* item);
  bool Contains(const TDMediaItem* item) const;
  // Frees every item, in list order.
  void Clear();
  const std::vector<std::unique_ptr<TDMediaItem>>& Items() const { return items_; }

  void PauseAll();
  void ResumeAll();
  void SetEnabled(bool enabled);
  bool Enabled() const { return enabled_; }
  bool Suspended() const { return suspended_; }
  // The sound device was opened anew: the kind's voices play on again.
  virtual void Restore() {}
  // The window lost the user's attention (after the kind's PauseAll, whether enabled or not), and
  // is regaining it (before its ResumeAll). The CD kind puts back and reads the user's CD level.
  virtual void LostAttention() {}
  virtual void GainingAttention() {}

 protected:
  virtual std::unique_ptr<TDMediaItem> CreateItem(const std::string& name) = 0;

 private:
  bool has_enabled_;
  bool enabled_ = true;
  bool suspended_ = false;
  std::vector<std::unique_ptr<TDMediaItem>> items_;
};

}  // namespace kova
