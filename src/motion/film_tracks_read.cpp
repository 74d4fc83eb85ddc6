// The track kinds' records in the film file, after the base record the film manager reads.
// The file's version gates fields: clip blocks from 101, the label's alignment (and its line
// space) from 103, the y zoom from 105; sound volumes before 108 are stored in another scale.
#include "core/path_parser.h"
#include "motion/film_reader.h"
#include "motion/film_tracks.h"

namespace kova {

namespace {

// A file name of the film resolved against the film's folder; an empty name stays empty.
std::string FilmFileName(TFilmReader& in, const TFilmRecordContext& context) {
  std::string name = in.String();
  if (name.empty()) return name;
  return ExpandRelativePath(name, context.folder);
}

void ReadClip(TFilmReader& in, TPoint& origin_start, TPoint& size_start, TPoint& origin_end, TPoint& size_end,
              uint8_t& x_mode, uint8_t& y_mode) {
  origin_start = in.Point();
  size_start = in.Point();
  origin_end = in.Point();
  size_end = in.Point();
  x_mode = in.Byte();
  y_mode = in.Byte();
}

void ReadImageBlock(TFilmReader& in, const TFilmRecordContext& context, TCustomImageFrameList& t) {
  t.Center = in.Point();
  t.PosStart = in.Point();
  t.PosEnd = in.Point();
  t.XMode = in.Byte();
  t.YMode = in.Byte();
  t.RotationStart = in.Int32();
  t.RotationEnd = in.Int32();
  t.ZoomXStart = in.Double();
  t.ZoomXEnd = in.Double();
  t.ZoomXMode = in.Byte();
  t.AlphaStart = in.Int32();
  t.AlphaEnd = in.Int32();
  t.RotationMode = in.Byte();
  if (context.version >= 101) {
    ReadClip(in, t.ClipOriginStart, t.ClipSizeStart, t.ClipOriginEnd, t.ClipSizeEnd, t.ClipXMode, t.ClipYMode);
  }
  if (context.version >= 105) {
    t.ZoomYStart = in.Double();
    t.ZoomYEnd = in.Double();
    t.ZoomYMode = in.Byte();
  } else {
    t.ZoomYStart = t.ZoomXStart;
    t.ZoomYEnd = t.ZoomXEnd;
    t.ZoomYMode = t.ZoomXMode;
  }
}

// Position, mode and size of the rectangle kinds (the box keeps its alpha between them).
void ReadRectPos(TFilmReader& in, TRectFrameList& t) {
  t.PosStart = in.Point();
  t.PosEnd = in.Point();
  t.XMode = in.Byte();
  t.YMode = in.Byte();
}

void ReadRectSize(TFilmReader& in, TRectFrameList& t) {
  t.WidthStart = in.Int32();
  t.HeightStart = in.Int32();
  t.WidthEnd = in.Int32();
  t.HeightEnd = in.Int32();
}

void ReadRectClip(TFilmReader& in, TRectFrameList& t) {
  ReadClip(in, t.ClipOriginStart, t.ClipSizeStart, t.ClipOriginEnd, t.ClipSizeEnd, t.ClipXMode, t.ClipYMode);
}

// Volumes of files before 108: v div 10 + 1000, truncating toward zero (held in Int32).
int32_t OldVolume(int32_t v) { return static_cast<int32_t>(int64_t{v} / 10 + 1000); }

}  // namespace

void TImageFrameList::ReadRecord(TFilmReader& in, const TFilmRecordContext& context) {
  ReadImageBlock(in, context, *this);
  FileName = FilmFileName(in, context);
}

void TTileFrameList::ReadRecord(TFilmReader& in, const TFilmRecordContext& context) {
  TImageFrameList::ReadRecord(in, context);
  WidthStart = in.Int32();
  HeightStart = in.Int32();
  WidthEnd = in.Int32();
  HeightEnd = in.Int32();
  ScrollXStart = in.Int32();
  ScrollYStart = in.Int32();
  ScrollXEnd = in.Int32();
  ScrollYEnd = in.Int32();
  ScrollXMode = in.Byte();
  ScrollYMode = in.Byte();
  DistanceX = in.Int32();
  DistanceY = in.Int32();
  // The tile's own clip block replaces the one of the image-like block.
  if (context.version >= 101) {
    ReadClip(in, ClipOriginStart, ClipSizeStart, ClipOriginEnd, ClipSizeEnd, ClipXMode, ClipYMode);
  }
}

void TLabelFrameList::ReadRecord(TFilmReader& in, const TFilmRecordContext& context) {
  ReadImageBlock(in, context, *this);
  Text = in.String();
  Antialias = in.Bool();
  FontName = in.String();
  FontHeight = in.Int32();
  if (context.version >= 103) {
    LineSpace = in.Int32();
  } else {
    in.Skip(4);
  }
  FontStyle = in.Byte();
  FontColor = in.Int32();
  if (context.version >= 103) HAlign = in.Byte();
}

void TBoxFrameList::ReadRecord(TFilmReader& in, const TFilmRecordContext& context) {
  ReadRectPos(in, *this);
  AlphaStart = in.Int32();
  AlphaEnd = in.Int32();
  ReadRectSize(in, *this);
  ColorStart = in.Int32();
  ColorEnd = in.Int32();
  BorderWidthStart = in.Int32();
  BorderWidthEnd = in.Int32();
  BorderColorStart = in.Int32();
  BorderColorEnd = in.Int32();
  if (context.version >= 101) ReadRectClip(in, *this);
}

void TWipeFrameList::ReadRecord(TFilmReader& in, const TFilmRecordContext& context) {
  // Read into the fields directly: the film has no transition running while it loads.
  WipeKind = in.Byte();
  if (context.version < 101) return;
  std::string mask = in.String();
  // A name that is neither rooted ("\...") nor on a drive ("X:...") lies in the film's folder.
  if (!mask.empty() && mask[0] != '\\' && !(mask.size() > 1 && mask[1] == ':')) mask = context.folder + mask;
  MaskName = std::move(mask);
  Param0 = in.Int32();
  Param1 = in.Int32();
  Reverse = in.Bool();
}

void TSoundFrameList::ReadRecord(TFilmReader& in, const TFilmRecordContext& context) {
  FileName = FilmFileName(in, context);
  VolumeStart = in.Int32();
  VolumeEnd = in.Int32();
  BalanceStart = in.Int32();
  BalanceEnd = in.Int32();
  VolumeMode = in.Byte();
  BalanceMode = in.Byte();
  if (context.version < 108) {
    VolumeStart = OldVolume(VolumeStart);
    VolumeEnd = OldVolume(VolumeEnd);
  }
}

void TParticleFrameList::ReadRecord(TFilmReader& in, const TFilmRecordContext& context) {
  FileName = FilmFileName(in, context);
  PartMotion = in.Bool();
  Index = in.Int32();
  EmitCenterStart = in.Int32();
  EmitCenterEnd = in.Int32();
  EmitSpreadStart = in.Int32();
  EmitSpreadEnd = in.Int32();
  EmitValue1Start = in.Int32();
  EmitValue2Start = in.Int32();
  EmitValue1End = in.Int32();
  EmitValue2End = in.Int32();
  EmitValue3Start = in.Int32();
  EmitValue4Start = in.Int32();
  EmitValue3End = in.Int32();
  EmitValue4End = in.Int32();
  EmitValue1Mode = in.Byte();
  EmitValue2Mode = in.Byte();
  Param0Start = in.Double();
  Param1Start = in.Double();
  Param2Start = in.Double();
  Param0End = in.Double();
  Param1End = in.Double();
  Param2End = in.Double();
  ReadRectPos(in, *this);
  ReadRectSize(in, *this);
  ReadRectClip(in, *this);
  AlphaStart = in.Int32();
  AlphaEnd = in.Int32();
}

void TFireFrameList::ReadRecord(TFilmReader& in, const TFilmRecordContext&) {
  ReadRectPos(in, *this);
  ReadRectSize(in, *this);
  ReadRectClip(in, *this);
  ZoomXStart = in.Double();
  ZoomYStart = in.Double();
  ZoomXEnd = in.Double();
  ZoomYEnd = in.Double();
  ZoomXMode = in.Byte();
  ZoomYMode = in.Byte();
  Power = in.Int32();
}

}  // namespace kova
