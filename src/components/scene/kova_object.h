// The scene's object model. Every object a script can create, find, read or change is a
// TKovaObject: it has an owner (the root container that holds it), a name unique among the owner's
// children, a tag, a drawing order (priority plus a second order value), one virtual getter and
// setter per script property answering neutrally unless a class overrides it, and the virtual
// behaviour the root container drives (draw, hit test, update, mouse and key handlers, save and
// load). TKovaComponent adds the child-list operations the root container gives meaning to.
//
// Objects are made by their class's constructor with the owner (the factory of the root
// container calls it by type code) and are freed only by the root container.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/object_handle.h"
#include "core/stream.h"
#include "core/types.h"

namespace kova {

class TArrayString;
class TComComponent;
class TCustomDIBX;
struct TClipData;
class TKovaBase;
class TKovaBaseList;
class TKovaControl;

class TKovaObject {
 public:
  // Stores the owner; with an owner that generates names the object is named by the root
  // container's UniqueName(owner, "object"); then the owner's AddChild takes it.
  explicit TKovaObject(TKovaObject* owner);
  virtual ~TKovaObject();
  TKovaObject(const TKovaObject&) = delete;
  TKovaObject& operator=(const TKovaObject&) = delete;

  // ---- Fields ----
  TKovaObject* Owner() const { return owner_; }
  const std::string& GetName() const { return name_; }
  const std::string& Tag() const { return tag_; }
  void SetTag(std::string tag) { tag_ = std::move(tag); }
  int32_t Priority() const { return priority_; }
  int32_t Order() const { return order_; }
  // The handle the root container issued for this object (its components and its layers); the
  // null handle for an object it does not hold. It resolves to nothing once the object is freed.
  TObjectHandle Handle() const { return handle_; }

  // The root container that owns this object (the owner, for every component), or nullptr.
  TKovaBaseList* Root() const { return owner_ ? owner_->AsRoot() : nullptr; }
  // Cheap type tests in place of casts.
  virtual TKovaBaseList* AsRoot() { return nullptr; }
  virtual TKovaControl* AsControl() { return nullptr; }
  virtual TKovaBase* AsBase() { return nullptr; }
  const TKovaControl* AsControl() const { return const_cast<TKovaObject*>(this)->AsControl(); }
  bool IsBase() const { return const_cast<TKovaObject*>(this)->AsBase() != nullptr; }
  // True for a name that marks an internal object (first byte 1): left out of saves and sorting.
  static bool IsInternalName(std::string_view name) { return !name.empty() && name[0] == '\x01'; }

  // ---- Identity and tree ----
  // A name another child of the owner holds is taken from it: that child loses its name and is
  // scheduled for deletion (controls rename the other holder instead).
  virtual void SetName(const std::string& name);
  // Stores the name as it is (loading; the root container's own renames).
  void StoreName(std::string name);
  // The surface this object draws into: the parent's answer; nullptr without parent.
  virtual TCustomDIBX* GetTargetDIB();
  // The KT_ type code.
  virtual uint8_t GetCompoType() const { return 0; }
  virtual bool GetVisible() const { return false; }
  virtual void SetVisible(bool) {}
  virtual TKovaControl* GetParent() const { return nullptr; }
  virtual void SetParent(TKovaControl*) {}
  virtual TKovaObject* GetComponent(int32_t) const { return nullptr; }
  virtual int32_t GetComponentCount() const { return 0; }
  virtual TKovaControl* GetControl(int32_t) const { return nullptr; }
  virtual int32_t GetControlCount() const { return 0; }
  // The screen layer the object lies on: the parent's answer; nullptr without parent.
  virtual TKovaBase* GetBase();
  // A stream of fetched data (the HTTP component); nullptr.
  virtual TStream* GetDataStream() { return nullptr; }

  // ---- Property accessors ----
#define KOVA_PAIR(T, N, D)       \
  virtual T Get##N() const { return D; } \
  virtual void Set##N(T) {}
#define KOVA_PAIR_S(N)                                  \
  virtual std::string Get##N() const { return {}; } \
  virtual void Set##N(const std::string&) {}
#define KOVA_GETTER(T, N, D) \
  virtual T Get##N() const { return D; }
#define KOVA_INDEXED(T, N, D)                 \
  virtual T Get##N(int32_t) const { return D; } \
  virtual void Set##N(int32_t, T) {}
#define KOVA_INDEXED_S(N)                                      \
  virtual std::string Get##N(int32_t) const { return {}; } \
  virtual void Set##N(int32_t, const std::string&) {}
#include "components/scene/kova_accessors.def"
#undef KOVA_PAIR
#undef KOVA_PAIR_S
#undef KOVA_GETTER
#undef KOVA_INDEXED
#undef KOVA_INDEXED_S

  virtual int32_t GetOrigWidth() const { return GetWidth(); }
  virtual int32_t GetOrigHeight() const { return GetHeight(); }
  virtual void SetOrigWidth(int32_t) {}
  virtual void SetOrigHeight(int32_t) {}
  virtual int32_t GetScreenLeft() const { return GetLeft() - GetOffsetX(); }
  virtual int32_t GetScreenTop() const { return GetTop() - GetOffsetY(); }
  virtual int32_t GetDrawLeft() const { return GetLeft() - GetOffsetX(); }
  virtual int32_t GetDrawTop() const { return GetTop() - GetOffsetY(); }
  // At (GetScreenLeft, GetScreenTop), GetWidth x GetHeight.
  virtual TRect GetBoundsRect() const;
  virtual TRect GetAuxRect() const { return TRect{0, 0, 1, 1}; }
  virtual void SetAuxRect(const TRect&) {}
  virtual TPoint GetAnchorPos() const { return {}; }
  virtual TPoint GetCaretPos() const { return {}; }
  virtual std::string GetPlainText() const { return GetText(); }
  virtual void AddText(const std::string& s) { SetText(GetText() + s); }
  // The message window stops recording the pages of a text a script sets; nothing elsewhere.
  virtual void ResetRecordMode() {}

  // ---- Behaviour ----
  virtual void Invalidate() {}
  virtual void Draw() {}
  // The object or child control hit at `point` by an action whose IgnoreMouse mask is `mask` (bit v
  // set: IgnoreMouse value v is hit); nullptr.
  virtual TKovaControl* HitTest(TPoint, uint32_t /*mask*/) { return nullptr; }
  // Per frame; true when the object has finished (the root container frees it).
  virtual bool Update() { return false; }
  virtual void MouseLDown();
  virtual void MouseLUp();
  virtual void MouseRDown();
  virtual void MouseRUp();
  virtual void MouseMove();
  virtual void MouseOut(TKovaControl* next);
  virtual void MouseIn(TKovaControl* previous);
  virtual void MouseCancel() {}
  virtual void GroupSetDown(bool) {}
  virtual void GroupSetFlag(bool) {}
  // Name, Priority, Order, Tag.
  virtual void SaveToStream(TStream& stream) const;
  // `version` is the game-save data version: Order from 104, Tag from 120.
  virtual void LoadFromStream(TStream& stream, int32_t version);
  virtual TPoint GetDrawOrigin() const { return {}; }
  virtual TPoint ClientToScreen(TPoint p) const { return p; }
  virtual TPoint ScreenToClient(TPoint p) const { return p; }
  virtual bool GeneratesNames() const { return true; }
  virtual void LoadMotion(const std::string&) {}
  virtual void RestartMotion() {}
  virtual void Rewind() {}
  // Adds the rectangles the object draws to `clip.Rects1`, those it covers opaquely also to
  // `clip.Rects2` (the clip manager's question); nothing here.
  virtual void BuildFillRects(TClipData& /*clip*/) {}
  virtual bool ItemHitTest(TPoint) { return false; }
  // Called by a creating command on the component it made, before the properties are applied:
  // kinds that keep some of the command's expressions (delays, appear positions) copy them here.
  virtual void TakeCommandExpressions(TComComponent&) {}
  // r := r ∩ GetBoundsRect; true when something is left.
  virtual bool ClipToBounds(TRect& r) const;
  virtual void FreeDIB() {}
  virtual void RecreateDIB() {}
  virtual TKovaControl* FindKeyControl() { return nullptr; }
  virtual void KeyDown(int32_t) {}
  virtual void KeyUp(int32_t) {}
  virtual void KeyRepeat(int32_t) {}
  virtual bool ContainsControl(const TKovaControl*) const { return false; }
  // Passed up the parent chain; nothing without parent.
  virtual void InvalidateParent(const TRect& r);
  virtual bool IsInCabinet() const { return false; }
  virtual std::string GetCursorAt(TPoint) const { return GetCursor(); }
  virtual void SyncNative() {}
  virtual void MediaPause() {}
  virtual void MediaResume() {}
  // Visible, on the root container's active layer, with every parent up the chain visible.
  virtual bool IsOnActiveBase();
  // Tells every child control that its screen position changed.
  virtual void PositionChanged() {}

  // ---- Child list (the root container's) ----
  virtual int32_t AddChild(TKovaObject*) { return -1; }
  virtual void RemoveChild(TKovaObject*) {}
  virtual bool IsPendingDelete(const TKovaObject*) const { return false; }
  virtual void ChildRemoved(TKovaObject*) {}

  // ---- Non-virtual operations ----
  // Priority := v and Order := 0 when v differs; the parent re-sorts; Invalidate.
  void SetPriority(int32_t v);
  void SetOrder(int32_t v);
  // At (GetLeft, GetTop), GetWidth x GetHeight (parent coordinates).
  TRect GetBounds() const;
  // The clip rectangle in screen coordinates; empty (no clipping) unless both sizes are positive.
  TRect GetClipRect() const;
  // False when r or clip is empty or they do not meet; otherwise r := r ∩ clip.
  static bool ClipRect(TRect& r, const TRect& clip);
  bool IsPendingDeleteSelf() const { return owner_ && owner_->IsPendingDelete(this); }
  // Hands the object to the owner for deletion at the end of the update and clears its name.
  void RemoveFromOwner();
  // The script coordinates of the layer's pointer relative to this object ("X", "Y").
  void PointerParams(TArrayString& params);

 protected:
  // Queues an event of this object in the root container's queue (nothing without one).
  void QueueEvent(const std::string& handler, uint8_t code, const TArrayString* params = nullptr);
  // True when an event of this object with that code is queued or being handled.
  bool EventQueued(uint8_t code) const;
  // For the root container's own parts (layers) that have no owner list entry.
  void SetOwnerDirect(TKovaObject* owner) { owner_ = owner; }

 private:
  friend class TKovaBaseList;
  // The record's one description, run by SaveToStream and LoadFromStream.
  template <class IO, class R>
  static void Transfer(IO& io, R& r);

  TKovaObject* owner_;
  std::string name_;
  // The root container's bookkeeping: the place in its list and the creation serial (0: not in
  // the list).
  size_t root_slot_ = 0;
  uint64_t root_serial_ = 0;
  TObjectHandle handle_;
  std::string tag_;
  int32_t priority_ = 0;
  int32_t order_ = 0;
};

class TKovaComponent : public TKovaObject {
 public:
  explicit TKovaComponent(TKovaObject* owner);
  // Removes the component's waiting events from the queue (its handled events keep a handle that
  // no longer resolves).
  ~TKovaComponent() override;
};

}  // namespace kova
