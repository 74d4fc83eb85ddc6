#include "platform/text/glyph_fonts.h"

namespace kova::plat {
namespace {

class TRecordWriter {
 public:
  explicit TRecordWriter(std::array<uint8_t, kOutlineMetricsRecordSize>& out) : out_(out) {}
  void U8(uint8_t v) { out_[pos_++] = v; }
  void U32(uint32_t v) {
    for (int i = 0; i < 4; ++i) U8(static_cast<uint8_t>(v >> (8 * i)));
  }
  void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
  void AlignTo4() {
    while (pos_ % 4 != 0) U8(0);
  }
  size_t Pos() const { return pos_; }

 private:
  std::array<uint8_t, kOutlineMetricsRecordSize>& out_;
  size_t pos_ = 0;
};

}  // namespace

std::array<uint8_t, kOutlineMetricsRecordSize> OutlineMetricsRecord(const TFontMetrics& m) {
  std::array<uint8_t, kOutlineMetricsRecordSize> out{};
  TRecordWriter w(out);
  w.U32(kOutlineMetricsRecordSize);
  const TTextMetrics& t = m.tm;
  for (int32_t v :
       {t.Height, t.Ascent, t.Descent, t.InternalLeading, t.ExternalLeading, t.AveCharWidth,
        t.MaxCharWidth, t.Weight, t.Overhang, t.DigitizedAspectX, t.DigitizedAspectY}) {
    w.I32(v);
  }
  for (uint8_t v : {t.FirstChar, t.LastChar, t.DefaultChar, t.BreakChar, t.Italic, t.Underlined,
                    t.StruckOut, t.PitchAndFamily, t.CharSet}) {
    w.U8(v);
  }
  w.AlignTo4();  // the text metrics end at 60
  w.U8(0);       // filler
  for (uint8_t v : m.Panose) w.U8(v);
  w.AlignTo4();  // 72
  w.U32(m.FsSelection);
  w.U32(m.FsType);
  w.I32(m.CharSlopeRise);
  w.I32(m.CharSlopeRun);
  w.I32(m.ItalicAngle);
  w.U32(m.EmSquare);  // 92
  w.I32(m.TypoAscent);
  w.I32(m.TypoDescent);
  w.U32(m.LineGap);
  w.U32(m.CapEmHeight);
  w.U32(m.XHeight);
  for (int32_t v : {m.FontBoxLeft, m.FontBoxTop, m.FontBoxRight, m.FontBoxBottom}) w.I32(v);
  w.I32(m.MacAscent);
  w.I32(m.MacDescent);
  w.U32(m.MacLineGap);
  w.U32(m.MinimumPpem);
  for (int32_t v :
       {m.SubscriptSizeX, m.SubscriptSizeY, m.SubscriptOffsetX, m.SubscriptOffsetY,
        m.SuperscriptSizeX, m.SuperscriptSizeY, m.SuperscriptOffsetX, m.SuperscriptOffsetY}) {
    w.I32(v);
  }
  w.U32(m.StrikeoutSize);  // 180
  w.I32(m.StrikeoutPosition);
  w.I32(m.UnderscoreSize);
  w.I32(m.UnderscorePosition);
  // The four name offsets (196..211) stay 0.
  return out;
}

}  // namespace kova::plat
