// The shared cache of loaded pictures. Every component that shows a picture file asks the cache
// for it by file name and two flags (a mask built from the colour key, frames trimmed to their
// opaque area), keeps the item while it needs it and releases it when done. A picture is read
// once however many components hold it; an item nobody holds waits in a pending list, oldest
// first, until the pixels pending exceed the budget, so that a picture that comes back soon is
// not read again. The cache also carries the picture mode behind "@CGDither" (status save).
//
// The cache reads through an IPictureSource: the game's file test, its files and the picture seed
// of the project (the project in turn uses the cache, so they are handed in, not looked up).
// Main thread only.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/hash.h"
#include "core/stream.h"
#include "core/types.h"
#include "graphics/dibx.h"

namespace kova {

class TSceneHost;
class TWexaCollection;
class TWexaFrameList;

// What the cache reads pictures from.
class IPictureSource {
 public:
  virtual ~IPictureSource() = default;
  // True when the game file exists.
  virtual bool PictureExists(std::string_view name) = 0;
  // Reads the whole game file into `dest` (raises the file system's error when it cannot).
  virtual void LoadPicture(TStream& dest, std::string_view name) = 0;
  // The project's picture seed (for old layered pictures).
  virtual uint32_t PictureSeed() = 0;
};

// One frame of a cached picture. The surfaces belong to the cache: holders draw from them and
// never change them.
class TWexaItemFrame {
 public:
  TWexaItemFrame();
  ~TWexaItemFrame();
  TWexaItemFrame(const TWexaItemFrame&) = delete;
  TWexaItemFrame& operator=(const TWexaItemFrame&) = delete;

  // The frame's pixels, at the screen's depth.
  TDIBX& Surface() const { return *surface_; }
  // The 8-bit mask (alpha plane), nullptr when the frame draws without one.
  TDIBX* Mask() const { return mask_.get(); }
  TDIBX& MakeMask();
  void DropMask() { mask_.reset(); }
  void NewSurface(int32_t bit_count);

  // The colour reference the picture names transparent; below 0 none.
  int32_t TransparentColor = -1;
  // Display time in milliseconds (at least 1).
  int32_t Duration = 1;
  // The top-left corner of the opaque area when the item was trimmed, else (0, 0).
  int32_t OffsetX = 0, OffsetY = 0;

  // Bytes of pixel data of the surface and the mask.
  int64_t MemorySize() const;

  // Draws `src` of the frame at (x, y): levels below 255 blend, 255 copies, above 255 add with
  // level - 256; through the mask when the frame has one, else with its colour key.
  void Draw(TCustomDIBX& target, int32_t x, int32_t y, const TRect& src, bool mirror_x, bool mirror_y,
            int32_t level) const;
  // Repeats `src` over `dest` starting at phase (phase_x, phase_y) inside it; mirrored axes place
  // the pieces from the far edge. Nothing for an empty source.
  void DrawTiled(TCustomDIBX& target, const TRect& dest, const TRect& src, int32_t phase_x, int32_t phase_y,
                 bool mirror_x, bool mirror_y, int32_t level) const;

 private:
  std::unique_ptr<TDIBX> surface_;
  std::unique_ptr<TDIBX> mask_;
};

// One cached picture, keyed by file name + "?m" (mask flag) + "?t" (trim flag).
class TWexaItem : public THashCollectionItem {
 public:
  TWexaItem();
  ~TWexaItem() override;

  // Stores the key and loads the picture it names (raises what the file system or the picture
  // reader raises).
  void SetName(std::string_view key) override;
  std::string ClassName() const override { return "TWexaItem"; }

  int32_t GetFrameCount() const { return int32_t(frames_.size()); }
  TWexaItemFrame& Frame(int32_t i) const { return *frames_.at(size_t(i)); }
  // Size of the first frame's picture; 0 x 0 when the file was missing.
  int32_t Width = 0, Height = 0;
  // The sum of the frames' durations.
  int32_t TotalDuration = 0;

  // Takes `owner` as a holder (once) and leaves the pending list.
  void AddOwner(const void* owner);
  // Lets `owner` go; the last holder leaving puts the item into the pending list. An owner the
  // item does not hold changes nothing.
  void Release(const void* owner);
  int32_t OwnerCount() const { return int32_t(owners_.size()); }
  bool HasOwner(const void* owner) const;
  bool Pending() const { return pending_; }

  // Reads the file again into the existing frames: with `recreate` every frame gets a new
  // surface; without, frames with a colour key and no alpha plane are left as they are. A file
  // that has gone missing, or yields no frames, changes nothing.
  void Reload(bool recreate);
  int64_t MemorySize() const;

 private:
  friend class TWexaCollection;
  TWexaCollection& Cache() const;
  void Load();
  // Fills `frame` from the loaded picture frame (pixels, the colour key `key`, mask, offset).
  void CopyFrame(TWexaItemFrame& frame, class TWexaFrame& source, int32_t key, bool mask_flag, bool trim_flag);

  std::vector<const void*> owners_;
  std::vector<std::unique_ptr<TWexaItemFrame>> frames_;
  bool pending_ = false;
  std::list<TWexaItem*>::iterator pending_at_;
};

class TWexaCollection : public THashCollectionOf<TWexaItem> {
 public:
  // Pictures nobody holds are freed, oldest first, while more than this many bytes of them wait.
  static constexpr int64_t kPendingBudget = 5'760'000;

  // `host` gives the screen's depth (nullptr: 15 bits); `source` is where pictures are read from
  // (not owned; nullptr: every picture is missing).
  explicit TWexaCollection(TSceneHost* host = nullptr, IPictureSource* source = nullptr);
  ~TWexaCollection() override;

  IPictureSource* Source() const { return source_; }

  // The item of the key name + "?m" (mask) + "?t" (trim), loaded on first use; `owner` becomes
  // one of its holders. A missing file gives an item with one blank 8 x 8 frame that draws
  // nothing; a damaged one raises the reader's error and leaves no item behind.
  TWexaItem* Acquire(const void* owner, std::string_view file_name, bool mask, bool trim);

  uint8_t CacheMode() const { return cache_mode_; }
  // A different mode is stored and every item reloads the frames the screen depth affects.
  void SetCacheMode(uint8_t mode);
  // The status save's byte: written raw; read only from data version 101 on, without reloading.
  void SaveMode(TStream& stream) const;
  void LoadMode(TStream& stream, int32_t version);

  // Around a display-mode change: device surfaces go, then every item is read again into new
  // surfaces.
  void FreeDIBs();
  void RecreateDIBs();

  // Pixel bytes of the items nobody holds.
  int64_t PendingSize() const;
  int32_t PendingCount() const { return int32_t(pending_.size()); }

  // The depth new surfaces take.
  int32_t ScreenBitCount() const;

 private:
  friend class TWexaItem;
  // The mode byte's one description, run by SaveMode and LoadMode.
  template <class IO, class R>
  static void TransferMode(IO& io, R& r);
  void AddPending(TWexaItem* item);
  void RemovePending(TWexaItem* item);
  // A frame list set up for the current mode and seed.
  std::unique_ptr<TWexaFrameList> NewFrameList() const;

  TSceneHost* host_;
  IPictureSource* source_ = nullptr;
  uint8_t cache_mode_ = 0;
  std::list<TWexaItem*> pending_;
  int64_t pending_size_ = 0;
};

}  // namespace kova
