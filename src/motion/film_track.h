// The tracks of a motion film: what every track kind shares. A film is a list of tracks in film
// order; each animates one thing over a span of ticks (1/60 s). This file gives the track's data,
// when it is active, which frame it shows at a tick, the links that chain tracks one after
// another, the three interpolation modes and the linked start values of the image-like tracks.
// The film manager, the film file and the concrete track kinds build on it.
//
// Links never form a cycle: `SetLink` drops a link that would close one, so every walk along a
// chain ends in a track without a link, and the walks are loops, never recursion.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "core/types.h"
#include "core/vocabulary.h"

namespace kova {

class TCustomFrameList;
class TFilmReader;
class TKovaBaseList;
class TKovaControl;
class TKovaObject;
class TStringList;

// The length of one tick in milliseconds (1000 / 60 as a double).
inline constexpr double kFilmTickMs = 16.666666666666668;

// Interpolation modes are the script's MT_NORMAL (linear), MT_INC and MT_DEC (sine easings) of
// core/vocabulary.h; any mode value other than MT_NORMAL and MT_INC behaves as MT_DEC.

// Track kinds as the film file numbers them.
inline constexpr uint8_t kTrackImage = 0, kTrackLabel = 1, kTrackBox = 2, kTrackWipe = 3, kTrackSound = 4,
                         kTrackTile = 5, kTrackParticle = 6, kTrackFire = 7;

// What a track asks of the film that owns it; the film manager answers.
class IFilmOfTracks {
 public:
  virtual ~IFilmOfTracks() = default;
  // The film's tracks in film order; an index outside 0 .. TrackCount() - 1 answers nullptr.
  virtual int32_t TrackCount() const = 0;
  virtual TCustomFrameList* TrackAt(int32_t index) const = 0;
  // The film drives a control (its tracks move it instead of sprites of their own).
  virtual bool MotionMode() const { return false; }
  // With MotionMode: positions are offsets from Origin().
  virtual bool Relative() const { return false; }
  virtual TPoint Origin() const { return {}; }
  // The film draws into a target component of its own (then its tracks choose no layer).
  virtual bool DrawsTarget() const { return false; }
  // 0 or 1: the parity of the screen transitions the film has started by `tick`.
  virtual int32_t WipeParityAt(int64_t /*tick*/) const { return 0; }
  // Makes `sprite` a child of layer `layer` (0 or 1) of the film's root container.
  virtual void PlaceOnLayer(TKovaObject& /*sprite*/, int32_t /*layer*/) {}

  // The root container the tracks' sprites belong to (in motion mode: the driven control's);
  // nullptr: the tracks make no sprites and load no pictures.
  virtual TKovaBaseList* Owner() const { return nullptr; }
  // The component the film draws for when it shares the global screen, else nullptr.
  virtual TKovaControl* Target() const { return nullptr; }
  // In motion mode: the control the tracks drive, and its priority (tracks add their Order).
  virtual TKovaControl* Control() const { return nullptr; }
  virtual int32_t PriorityBase() const { return 0; }
  // The film's size in pixels.
  virtual int32_t FilmWidth() const { return 0; }
  virtual int32_t FilmHeight() const { return 0; }
  // Forgets the transition the film runs, so that the next SetTime starts it anew (a wipe
  // track's settings changed).
  virtual void ClearCurrentWipe() {}
  // The first track, in film order, whose link is `track`; nullptr without one. The base walks
  // the tracks; a film may answer from what it keeps of its links.
  virtual TCustomFrameList* FollowerOf(const TCustomFrameList& track) const;
  // A track's link changed: what the film keeps of its links is stale.
  virtual void LinksChanged() {}
  // What sound tracks read of the film: its length and loop start in ticks, its master volume
  // (per mille) and its sound switch.
  virtual int32_t FilmLength() const { return 0; }
  virtual int32_t FilmLoopStart() const { return 0; }
  virtual int32_t FilmMasterVolume() const { return 1000; }
  virtual bool FilmSoundEnabled() const { return true; }
  // The root container sound tracks make their sounds in: the global one, whichever root the
  // film's sprites belong to; nullptr: the tracks play nothing.
  virtual TKovaBaseList* SoundOwner() const { return nullptr; }
};

// What a track's record in the film file is read with: the file's version (gating fields) and
// the folder of the film (relative file names are resolved against it).
struct TFilmRecordContext {
  int32_t version = 108;
  std::string folder;
};

// One frame of a track. The base has no size, offset (0, 0) and lasts one tick; its setters do
// nothing.
class TCustomFrame {
 public:
  explicit TCustomFrame(TCustomFrameList& track) : Track(track) {}
  virtual ~TCustomFrame() = default;
  TCustomFrame(const TCustomFrame&) = delete;
  TCustomFrame& operator=(const TCustomFrame&) = delete;

  virtual int32_t Width() const { return 0; }
  virtual void SetWidth(int32_t) {}
  virtual int32_t Height() const { return 0; }
  virtual void SetHeight(int32_t) {}
  virtual TPoint Offset() const { return {}; }
  virtual void SetOffset(TPoint) {}
  // In ticks.
  virtual int32_t Duration() const { return 1; }
  virtual void SetDuration(int32_t) {}

  TCustomFrameList& Track;
};

// The value at step i of n of a span from start to end, as the interpolation modes give it:
// step 0 gives start and step n - 1 gives end before any arithmetic. The linear integer mode
// divides by n - 1, the floating-point one by n, and the sine modes use (pi / 2) / n.
// The products are taken in 64 bits and the sines in extended precision, rounded to the nearest
// with halves to even. A step beyond a span with no room to divide (n - 1 = 0 for the linear
// integer mode, n = 0 otherwise) gives end; an integer result beyond the Int32 range is held at
// its bound, and so are i and n (a track's span has at most Int32 + 1 steps).
int32_t InterpolateSteps(uint8_t mode, int32_t start, int32_t end, int64_t i, int64_t n);
double InterpolateStepsFloat(uint8_t mode, int64_t i, double start, double end, int64_t n);

// A track: the base of every track kind.
class TCustomFrameList {
 public:
  explicit TCustomFrameList(IFilmOfTracks* film) : Film(film) {}
  virtual ~TCustomFrameList();
  TCustomFrameList(const TCustomFrameList&) = delete;
  TCustomFrameList& operator=(const TCustomFrameList&) = delete;

  // The film file's kind byte of this track.
  virtual uint8_t Kind() const { return kTrackImage; }
  // Only the sound track pauses.
  virtual bool GetPaused() const { return false; }
  virtual void SetPaused(bool) {}
  // The file the track shows or plays; the base names none.
  virtual std::string GetFileName() const { return {}; }
  virtual void SetFileName(std::string) {}
  // Three 32-bit words naming the properties the kind supports (not consulted in playback).
  virtual std::array<uint32_t, 3> PropertySet() const { return {}; }
  // Loads the pictures or sounds the track names; the base loads nothing.
  virtual void LoadResources() {}
  // LoadResources when `tick` lies inside the track.
  void LoadIfActive(int64_t tick) {
    if (IsActiveAt(tick)) LoadResources();
  }
  // Adds the track's file names, each once, to `names`; the base has none.
  virtual void EnumFileNames(TStringList& /*names*/) const {}
  // Reads the kind's record, after the base record, from the film file; the base has none.
  virtual void ReadRecord(TFilmReader& /*in*/, const TFilmRecordContext& /*context*/) {}
  // Brings the track to `tick`: answers whether it is active then. The base does nothing and is
  // active inside its span.
  virtual bool Update(int64_t tick) { return IsActiveAt(tick); }
  // Removes what the track shows or plays (its sprite, its sound); the base has nothing.
  virtual void HideSprite() {}

  // Size of frame 0; 0 without frames.
  int32_t FirstFrameWidth() const { return Frames.empty() ? 0 : Frames.front()->Width(); }
  int32_t FirstFrameHeight() const { return Frames.empty() ? 0 : Frames.front()->Height(); }
  int32_t FrameCount() const { return static_cast<int32_t>(Frames.size()); }
  // Frees every frame and sets Duration to 0.
  void ClearFrames();

  // The track after whose end this one starts, or nullptr. A link that would close a cycle
  // (this track itself, or a track whose chain leads back here) is dropped: Link becomes nullptr
  // and the answer is false.
  TCustomFrameList* Link() const { return link_; }
  bool SetLink(TCustomFrameList* link);

  // The tick the track starts at: its own Start without a link, else the link's start tick plus
  // the link's Duration (the sum along the chain, in 64 bits).
  int64_t GetStartTick() const;
  // StartTick <= tick < StartTick + Duration.
  bool IsActiveAt(int64_t tick) const;
  // The first track of the film, in film order, whose link is this one; nullptr without one or
  // without a film.
  TCustomFrameList* FindFollower() const;

  // The index of the frame shown t ticks after the start: t taken modulo Max(1, Cycle) (with
  // the sign of t), then the first frame whose running sum of durations passes it; the last frame
  // when none does; -1 without frames.
  int32_t FrameIndexAt(int64_t t) const;

  // Interpolation over the track's span: i ticks after its start, over Duration ticks, one step
  // more when the track has a follower (so that the follower shows the end value).
  int32_t InterpolateInt(uint8_t mode, int32_t start, int32_t end, int32_t i) const;
  double InterpolateFloat(uint8_t mode, int32_t i, double start, double end) const;
  // The clip rectangle at step i from its start origin and size to its end ones ((0, 0, 0, 0),
  // no clipping, while either size is below 1), and the opacity from start to end (0 counts as
  // 255; both 0: 255; a negative result gives 256 minus it).
  TRect ClipAt(int32_t i, TPoint origin_start, TPoint origin_end, TPoint size_start, TPoint size_end, uint8_t x_mode,
               uint8_t y_mode) const;
  int32_t AlphaAt(int32_t i, int32_t start, int32_t end) const;

  // The end values a follower takes as its start values; a kind without them answers the base
  // values.
  virtual TPoint GetPosEnd() const { return {}; }
  virtual double GetZoomXEnd() const { return 1.0; }
  virtual double GetZoomYEnd() const { return 1.0; }
  virtual int32_t GetRotationEnd() const { return 0; }
  virtual int32_t GetAlphaEnd() const { return 0; }
  virtual TPoint GetClipOriginEnd() const { return {}; }
  virtual TPoint GetClipSizeEnd() const { return {}; }

  // Ticks the track lasts.
  int32_t Duration = 0;
  // Kept from the film file and written back; no behaviour.
  int32_t Reserved = 0;
  // Start tick of a track without a link.
  int32_t Start = 0;
  // Ticks of one pass through the frames.
  int32_t Cycle = 0;
  // The stacking value the track gives its sprite.
  int32_t Order = 0;
  bool FlipH = false;
  bool FlipV = false;
  IFilmOfTracks* Film;
  // The sprite goes onto the layer other than the film's current one.
  bool OtherLayer = false;
  std::vector<std::unique_ptr<TCustomFrame>> Frames;

 private:
  TCustomFrameList* link_ = nullptr;
};

// Replaces the film file's link indexes of `tracks` (one each, -1 none) by the tracks: an index
// outside the list gives no link, and a link that would close a cycle is dropped (the tracks are
// linked in film order, so the link of the last track of a cycle is the one dropped). Answers the
// number of links dropped for closing a cycle. `links` has one index per track; extra indexes
// are ignored and missing ones count as -1.
int32_t ResolveTrackLinks(std::span<TCustomFrameList* const> tracks, std::span<const int32_t> links);

// The base of the image-like tracks (image, tile and label): position, zoom, rotation, alpha and
// clip, each from a start to an end value with its interpolation mode. A linked track's start
// getters answer its link's end values; its own start fields stay stored.
class TCustomImageFrameList : public TCustomFrameList {
 public:
  using TCustomFrameList::TCustomFrameList;

  TPoint GetPosStart() const { return Link() ? Link()->GetPosEnd() : PosStart; }
  double GetZoomXStart() const { return Link() ? Link()->GetZoomXEnd() : ZoomXStart; }
  double GetZoomYStart() const { return Link() ? Link()->GetZoomYEnd() : ZoomYStart; }
  int32_t GetRotationStart() const { return Link() ? Link()->GetRotationEnd() : RotationStart; }
  int32_t GetAlphaStart() const { return Link() ? Link()->GetAlphaEnd() : AlphaStart; }
  TPoint GetClipOriginStart() const { return Link() ? Link()->GetClipOriginEnd() : ClipOriginStart; }
  TPoint GetClipSizeStart() const { return Link() ? Link()->GetClipSizeEnd() : ClipSizeStart; }

  TPoint GetPosEnd() const override { return PosEnd; }
  double GetZoomXEnd() const override { return ZoomXEnd; }
  double GetZoomYEnd() const override { return ZoomYEnd; }
  int32_t GetRotationEnd() const override { return RotationEnd; }
  int32_t GetAlphaEnd() const override { return AlphaEnd; }
  TPoint GetClipOriginEnd() const override { return ClipOriginEnd; }
  TPoint GetClipSizeEnd() const override { return ClipSizeEnd; }

  // The start and end positions the track moves between: the (linked) start and the end
  // position, as offsets from the film's origin when the film drives a control relatively.
  struct TStartValues {
    TPoint Start;
    TPoint End;
  };
  TStartValues GetStartValues() const;

  // What the track hands its sprite at a tick.
  struct TPose {
    int32_t X = 0, Y = 0;
    // (0, 0, 0, 0): no clipping.
    TRect Clip;
    int32_t Alpha = 255;
    // A full turn is 256.
    int32_t Rotation = 0;
    // 256 is the natural size.
    int32_t ZoomX = 256, ZoomY = 256;
    // The picture's hot spot less the frame's offset.
    TPoint Offset;
  };
  // The pose i ticks after the start with `frame` shown: position, zoom, clip, rotation and
  // alpha interpolated over the track's span.
  TPose PoseAt(const TCustomFrame& frame, int32_t i) const;

  // Drives the sprite at `tick`; answers whether the track is active then. Outside its span the
  // sprite is hidden (not in motion mode); inside, the sprite is made when missing (not in motion
  // mode), put onto its layer (when the film draws no target), and given the pose of the frame
  // shown. A track without frames is active but applies nothing.
  bool Update(int64_t tick) override;

  // The sprite the track drives; owned through its owner container.
  virtual TKovaObject* CreateSprite() { return Sprite; }
  virtual void Apply(const TCustomFrame& /*frame*/, const TPose& /*pose*/) {}

  // The hot spot of the picture.
  TPoint Center;
  TPoint PosEnd, PosStart;
  uint8_t XMode = MT_NORMAL, YMode = MT_NORMAL;
  // Degrees.
  int32_t RotationStart = 0, RotationEnd = 0;
  // 1.0 is the natural size.
  double ZoomXStart = 1.0, ZoomXEnd = 1.0, ZoomYStart = 1.0, ZoomYEnd = 1.0;
  uint8_t ZoomXMode = MT_NORMAL, ZoomYMode = MT_NORMAL;
  // Opacity 1 .. 255; 0 is unset and counts as 255.
  int32_t AlphaEnd = 0, AlphaStart = 0;
  uint8_t RotationMode = MT_NORMAL;
  TPoint ClipOriginStart, ClipOriginEnd, ClipSizeStart, ClipSizeEnd;
  uint8_t ClipXMode = MT_NORMAL, ClipYMode = MT_NORMAL;
  TKovaObject* Sprite = nullptr;
};

}  // namespace kova
