// The track kinds of a film: what each holds, as the film file stores it, and how each drives the
// scene. Image, tile and label tracks move sprites with the image-like interpolation; box,
// particle and fire tracks share the rectangle base; wipe tracks name the screen transitions the
// film manager runs; sound tracks name the sounds played with the film. A film creates its tracks
// from the kind bytes of its file (CreateFilmTrack).
//
// In motion mode (the film drives one control) no track makes sprites: their values go to the
// film's control. Otherwise each track makes its sprite in the film's owner container when it
// becomes active and removes it when it is not.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/object_handle.h"
#include "motion/film_image_frame.h"
#include "motion/film_track.h"

namespace kova {

class TWexaItem;

// The track of `kind` (the film file's kind byte, bit 7 ignored) for `film`; nullptr for a kind
// above 7, which has no track.
std::unique_ptr<TCustomFrameList> CreateFilmTrack(uint8_t kind, IFilmOfTracks* film);

// The sprite name prefix of a film's tracks: the character of code 1, then, when the film draws
// for a target, the target's name and that character again (no script name can collide).
std::string FilmSpritePrefix(const IFilmOfTracks& film);

// Kind 0: a picture of the image cache, or each frame of a layered picture in turn.
class TImageFrameList : public TCustomImageFrameList {
 public:
  using TCustomImageFrameList::TCustomImageFrameList;
  ~TImageFrameList() override;

  uint8_t Kind() const override { return kTrackImage; }
  std::string GetFileName() const override { return FileName; }
  // A different name: the sprite is removed, the frames and the cached picture let go, the
  // picture acquired and one frame made per picture frame (Cycle := their durations' sum;
  // Duration too when below 1).
  void SetFileName(std::string name) override;
  void LoadResources() override;
  void EnumFileNames(TStringList& names) const override;
  void ReadRecord(TFilmReader& in, const TFilmRecordContext& context) override;

  TKovaObject* CreateSprite() override;
  void HideSprite() override;
  void Apply(const TCustomFrame& frame, const TPose& pose) override;

  // Frees the frames and lets go of the cached picture.
  void ClearPicture();

  // Resolved against the film's folder when read.
  std::string FileName;
  int32_t ImageWidth = 0, ImageHeight = 0;
  // The cached picture, held with the track as its owner (nullptr: none).
  TWexaItem* Picture = nullptr;
  // The sprite's handle in the owner container: a sprite freed by others is noticed through it.
  TObjectHandle SpriteHandle;
};

// Kind 5: the picture tiled over an interpolated rectangle with an interpolated scroll.
class TTileFrameList : public TImageFrameList {
 public:
  using TImageFrameList::TImageFrameList;

  uint8_t Kind() const override { return kTrackTile; }
  // As the image track's; a first picture fills the sizes stored as 0 with the picture's.
  void SetFileName(std::string name) override;
  void ReadRecord(TFilmReader& in, const TFilmRecordContext& context) override;
  TKovaObject* CreateSprite() override;
  bool Update(int64_t tick) override;

  // Linked start values: the link's end values (when the link is a tile track).
  int32_t GetWidthStart() const;
  int32_t GetHeightStart() const;
  int32_t GetScrollXStart() const;
  int32_t GetScrollYStart() const;

  int32_t WidthStart = 0, HeightStart = 0, WidthEnd = 0, HeightEnd = 0;
  int32_t ScrollXStart = 0, ScrollYStart = 0, ScrollXEnd = 0, ScrollYEnd = 0;
  uint8_t ScrollXMode = MT_NORMAL, ScrollYMode = MT_NORMAL;
  int32_t DistanceX = 0, DistanceY = 0;
};

// Kind 1: a text with the image-like interpolation.
class TLabelFrameList : public TCustomImageFrameList {
 public:
  // Holds one frame, lasts 5 ticks.
  explicit TLabelFrameList(IFilmOfTracks* film);
  ~TLabelFrameList() override;

  uint8_t Kind() const override { return kTrackLabel; }
  // Measures the text.
  void LoadResources() override;
  void ReadRecord(TFilmReader& in, const TFilmRecordContext& context) override;
  TKovaObject* CreateSprite() override;
  void HideSprite() override;
  void Apply(const TCustomFrame& frame, const TPose& pose) override;

  // Sets LabelWidth and LabelHeight from the text, its font and its lines.
  void Measure();
  // A different value is stored and the text measured again.
  void SetText(std::string text);
  void SetAntialias(bool v);
  void SetFontName(std::string name);
  void SetFontHeight(int32_t v);
  void SetFontStyle(uint8_t v);
  void SetLineSpace(int32_t v);

  std::string Text;
  bool Antialias = false;
  std::string FontName;
  int32_t FontHeight = 12;
  int32_t LineSpace = 0;
  // Bit 0 bold, 1 italic, 2 underline, 3 strike-out.
  uint8_t FontStyle = 0;
  int32_t FontColor = 0xFFFFFF;
  int32_t LabelWidth = 0, LabelHeight = 0;
  uint8_t HAlign = 0;
  TObjectHandle SpriteHandle;
};

// The rectangle base of the box, particle and fire tracks.
class TRectFrameList : public TCustomFrameList {
 public:
  // Lasts 1 tick.
  explicit TRectFrameList(IFilmOfTracks* film);

  TPoint GetPosStart() const;
  int32_t GetWidthStart() const;
  int32_t GetHeightStart() const;
  TPoint GetClipOriginStart() const;
  TPoint GetClipSizeStart() const;
  TPoint GetPosEnd() const override { return PosEnd; }
  TPoint GetClipOriginEnd() const override { return ClipOriginEnd; }
  TPoint GetClipSizeEnd() const override { return ClipSizeEnd; }
  void HideSprite() override;

  TPoint PosEnd, PosStart;
  uint8_t XMode = MT_NORMAL, YMode = MT_NORMAL;
  int32_t WidthStart = 0, HeightStart = 0, WidthEnd = 0, HeightEnd = 0;
  TPoint ClipOriginStart, ClipOriginEnd, ClipSizeStart, ClipSizeEnd;
  uint8_t ClipXMode = MT_NORMAL, ClipYMode = MT_NORMAL;
  TKovaObject* Sprite = nullptr;
  TObjectHandle SpriteHandle;
};

// Kind 2: a filled, bordered rectangle.
class TBoxFrameList : public TRectFrameList {
 public:
  // Holds one frame.
  explicit TBoxFrameList(IFilmOfTracks* film);
  ~TBoxFrameList() override;

  uint8_t Kind() const override { return kTrackBox; }
  void ReadRecord(TFilmReader& in, const TFilmRecordContext& context) override;
  bool Update(int64_t tick) override;
  TKovaObject* CreateSprite();

  int32_t GetAlphaStart() const;
  int32_t GetColorStart() const;
  int32_t GetBorderWidthStart() const;
  int32_t GetBorderColorStart() const;
  int32_t GetAlphaEnd() const override { return AlphaEnd; }

  // 0 stands for 255.
  int32_t AlphaStart = 0, AlphaEnd = 0;
  // Red in bits 0-7, green 8-15, blue 16-23.
  int32_t ColorStart = 0, ColorEnd = 0;
  int32_t BorderWidthStart = 0, BorderWidthEnd = 0;
  int32_t BorderColorStart = 0, BorderColorEnd = 0;
};

// Kind 3: the screen transition the film runs while the track covers the tick; the film manager
// reads it directly.
class TWipeFrameList : public TCustomFrameList {
 public:
  // Lasts 1 tick, holds one frame.
  explicit TWipeFrameList(IFilmOfTracks* film);

  uint8_t Kind() const override { return kTrackWipe; }
  void ReadRecord(TFilmReader& in, const TFilmRecordContext& context) override;
  bool Update(int64_t) override { return false; }

  // A different value clears the film's current transition.
  void SetWipeKind(uint8_t kind);
  void SetMaskName(std::string name);
  void SetParam0(int32_t v);
  void SetParam1(int32_t v);
  void SetReverse(bool reverse);

  // A transition kind 1 .. 31; 0 none.
  uint8_t WipeKind = 1;
  std::string MaskName;
  int32_t Param0 = 0, Param1 = 0;
  bool Reverse = false;
};

// Kind 4: a sound played with the film: a sound component in the global root container, made
// paused when the film starts (or at the first update), started at the track's first active tick,
// kept within 3000 ms of the film's time, paused outside its chain's span, when time runs back and
// while the film's sound is off. Tracks linked one after another share one sound: the first of
// the chain owns it, each link sets its own volume and balance. The sound is driven through the
// object model's accessors only; a scene without the sound kind plays the track silently.
class TSoundFrameList : public TCustomFrameList {
 public:
  // Holds one frame.
  explicit TSoundFrameList(IFilmOfTracks* film);
  // Frees the track's sound.
  ~TSoundFrameList() override;

  uint8_t Kind() const override { return kTrackSound; }
  // With a link: the link's name, end volume and end balance.
  std::string GetFileName() const override;
  int32_t GetVolumeStart() const;
  int32_t GetBalanceStart() const;
  // A different name is stored and the track's sound freed.
  void SetFileName(std::string name) override;
  bool GetPaused() const override { return Paused; }
  // A change is stored and passed to the track's own sound.
  void SetPaused(bool paused) override;
  void ReadRecord(TFilmReader& in, const TFilmRecordContext& context) override;
  // Sets the file name again (Duration kept).
  void LoadResources() override;
  // The file name, once, when the game has the file.
  void EnumFileNames(TStringList& names) const override;
  // Frees the track's own sound (removed from its owner) and forgets it.
  void HideSprite() override;

  // The chain's sound: a linked track frees its own and answers its link's; nullptr: none.
  TKovaObject* ChainSound();
  // The chain's sound, made paused (and its repeat chosen) when there is none yet.
  TKovaObject* StartSound();
  // Volume and balance of the tick, the drift rule, pauses; true inside the track's span.
  bool Update(int64_t tick) override;
  // The sound this track made while it lives, else nullptr.
  TKovaObject* OwnSound();

  std::string FileName;
  int32_t VolumeStart = 1000, VolumeEnd = 1000;
  int32_t BalanceStart = 0, BalanceEnd = 0;
  uint8_t VolumeMode = MT_NORMAL, BalanceMode = MT_NORMAL;
  bool Paused = false;
  int32_t LastTick = 0;

 private:
  // The first track of the link chain.
  const TSoundFrameList& ChainRoot() const;

  TKovaObject* sound_ = nullptr;
  TObjectHandle sound_handle_;
  TKovaBaseList* sound_root_ = nullptr;
};

// Kind 6: a particle system. (It drives the particle component once that exists; until then it
// keeps its values and shows nothing.)
class TParticleFrameList : public TRectFrameList {
 public:
  // The rectangle is the film's size.
  explicit TParticleFrameList(IFilmOfTracks* film);

  uint8_t Kind() const override { return kTrackParticle; }
  std::string GetFileName() const override { return FileName; }
  void SetFileName(std::string name) override { FileName = std::move(name); }
  void ReadRecord(TFilmReader& in, const TFilmRecordContext& context) override;

  int32_t AlphaStart = 0, AlphaEnd = 0;
  std::string FileName;
  int32_t Index = 0;
  bool PartMotion = false;
  int32_t EmitCenterStart = 100, EmitCenterEnd = 100;
  int32_t EmitSpreadStart = 1, EmitSpreadEnd = 1;
  int32_t EmitValue1Start = 0, EmitValue2Start = 0, EmitValue1End = 0, EmitValue2End = 0;
  int32_t EmitValue3Start = 1, EmitValue4Start = 1, EmitValue3End = 1, EmitValue4End = 1;
  uint8_t EmitValue1Mode = MT_NORMAL, EmitValue2Mode = MT_NORMAL;
  double Param0Start = 0, Param0End = 0, Param1Start = 0, Param1End = 0, Param2Start = 0, Param2End = 0;
};

// Kind 7: a fire effect. (It drives the fire component once that exists; until then it keeps its
// values and shows nothing.)
class TFireFrameList : public TRectFrameList {
 public:
  // A quarter of the film's width wide and 30 high.
  explicit TFireFrameList(IFilmOfTracks* film);

  uint8_t Kind() const override { return kTrackFire; }
  void ReadRecord(TFilmReader& in, const TFilmRecordContext& context) override;

  // The size of one fire cell; 1.0 is one pixel.
  double ZoomXStart = 4.0, ZoomYStart = 4.0, ZoomXEnd = 4.0, ZoomYEnd = 4.0;
  uint8_t ZoomXMode = MT_NORMAL, ZoomYMode = MT_NORMAL;
  int32_t Power = 100;
};

// The frames of the kinds without pictures.
class TBoxFrame : public TCustomFrame {
 public:
  using TCustomFrame::TCustomFrame;
  // The rectangle's start size (a box frame has no size of its own).
  int32_t Width() const override;
  int32_t Height() const override;
};

class TLabelFrame : public TCustomFrame {
 public:
  using TCustomFrame::TCustomFrame;
  // The measured text.
  int32_t Width() const override;
  int32_t Height() const override;
};

class TSoundFrame : public TCustomFrame {
 public:
  using TCustomFrame::TCustomFrame;
  // The film's size.
  int32_t Width() const override;
  int32_t Height() const override;
};

}  // namespace kova
