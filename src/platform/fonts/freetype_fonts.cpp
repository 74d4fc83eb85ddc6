#include "platform/fonts/freetype_fonts.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_SIZES_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <string>
#include <tuple>
#include <unordered_map>
#include <utility>

#include "platform/text/blank_glyph_fonts.h"
#include "platform/fonts/fontconfig_source.h"
#include "platform/text/sjis_unicode.h"
#include "platform/text/text_codec.h"

namespace kova::plat {
namespace {

// Light hinting for every format: the same outline, box and advance in mono and grey.
constexpr FT_Int32 kLoadFlags = FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_LIGHT;

// Keep at most this many font objects that nobody holds, and this many resolved names.
constexpr size_t kIdleFontLimit = 64;
constexpr size_t kResolvedNameLimit = 256;

int32_t RoundToInt(double v) { return static_cast<int32_t>(std::lround(v)); }
int32_t Pixels26(FT_Pos v) { return static_cast<int32_t>((v + 32) >> 6); }

// The level tables of the formats: coverage 0..255 to level.
struct TLevelTables {
  uint8_t grey[3][256] = {};
  constexpr TLevelTables() {
    const int max[3] = {MaxLevel(TGlyphFormat::Grey2), MaxLevel(TGlyphFormat::Grey4),
                        MaxLevel(TGlyphFormat::Grey8)};
    for (int f = 0; f < 3; ++f) {
      for (int v = 0; v < 256; ++v) grey[f][v] = CoverageToLevel(static_cast<uint8_t>(v), max[f]);
    }
  }
  constexpr const uint8_t* For(TGlyphFormat format) const {
    return format == TGlyphFormat::Grey2   ? grey[0]
           : format == TGlyphFormat::Grey4 ? grey[1]
                                           : grey[2];
  }
};
constexpr TLevelTables kLevelTables;

// Each byte of a mono row as its eight levels, most significant bit first.
struct TMonoBytes {
  uint8_t bits[256][8] = {};
  constexpr TMonoBytes() {
    for (int v = 0; v < 256; ++v) {
      for (int b = 0; b < 8; ++b) bits[v][b] = (v >> (7 - b)) & 1;
    }
  }
};
constexpr TMonoBytes kMonoBytes;

class TFtLibrary {
 public:
  TFtLibrary() {
    if (FT_Init_FreeType(&lib_) != 0) lib_ = nullptr;
  }
  ~TFtLibrary() {
    if (lib_) FT_Done_FreeType(lib_);
  }
  TFtLibrary(const TFtLibrary&) = delete;
  TFtLibrary& operator=(const TFtLibrary&) = delete;
  FT_Library Get() const { return lib_; }

 private:
  FT_Library lib_ = nullptr;
};

// The design-unit values a face's metrics are made from.
struct TFaceUnits {
  double em = 1000;
  double win_ascent = 800;
  double win_descent = 200;
  const TT_OS2* os2 = nullptr;
  const TT_HoriHeader* hhea = nullptr;
  const TT_Postscript* post = nullptr;
  const TT_Header* head = nullptr;
};

// One opened font file.
class TFtFace {
 public:
  TFtFace(std::shared_ptr<TFtLibrary> lib, FT_Face face) : lib_(std::move(lib)), face_(face) {
    units_.em = face->units_per_EM > 0 ? face->units_per_EM : 1000;
    auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    units_.os2 = os2 && os2->version != 0xFFFF ? os2 : nullptr;
    units_.hhea = static_cast<TT_HoriHeader*>(FT_Get_Sfnt_Table(face, FT_SFNT_HHEA));
    units_.post = static_cast<TT_Postscript*>(FT_Get_Sfnt_Table(face, FT_SFNT_POST));
    units_.head = static_cast<TT_Header*>(FT_Get_Sfnt_Table(face, FT_SFNT_HEAD));
    double a = units_.os2 ? units_.os2->usWinAscent : 0;
    double d = units_.os2 ? units_.os2->usWinDescent : 0;
    if (a + d <= 0) {
      a = face->ascender;
      d = -face->descender;
    }
    if (a + d <= 0 || a < 0 || d < 0) {
      a = units_.em * 0.8;
      d = units_.em * 0.2;
    }
    units_.win_ascent = a;
    units_.win_descent = d;
  }
  ~TFtFace() { FT_Done_Face(face_); }
  TFtFace(const TFtFace&) = delete;
  TFtFace& operator=(const TFtFace&) = delete;

  FT_Face Get() const { return face_; }
  const TFaceUnits& Units() const { return units_; }

  // The size object of a cell height, made at `ppem` pixels per em on first use; null when the
  // face cannot be sized.
  FT_Size SizeOf(int32_t cell, double ppem) {
    auto it = sizes_.find(cell);
    if (it != sizes_.end()) return it->second;
    FT_Size size = nullptr;
    if (FT_New_Size(face_, &size) != 0) return nullptr;
    const FT_F26Dot6 ppem26 =
        std::max<FT_F26Dot6>(1, static_cast<FT_F26Dot6>(std::lround(ppem * 64)));
    if (FT_Activate_Size(size) != 0 || FT_Set_Char_Size(face_, 0, ppem26, 72, 72) != 0) {
      FT_Done_Size(size);
      return nullptr;
    }
    sizes_.emplace(cell, size);
    return size;
  }

 private:
  std::shared_ptr<TFtLibrary> lib_;  // outlives the face
  FT_Face face_;
  TFaceUnits units_;
  std::map<int32_t, FT_Size> sizes_;  // freed with the face
};

// The metrics of a face at a cell height and style (scale: pixels per design unit).
TFontMetrics MakeMetrics(const TFtFace& ftface, int32_t cell, double scale, uint8_t style,
                         const TFaceFile& file) {
  const TFaceUnits& u = ftface.Units();
  const FT_Face face = ftface.Get();
  const TT_OS2* os2 = u.os2;
  auto px = [scale](double units) { return RoundToInt(units * scale); };
  const bool bold = (style & kFontBold) != 0;
  const bool italic = (style & kFontItalic) != 0;

  TFontMetrics m;
  TTextMetrics& t = m.tm;
  t.Height = cell;
  t.Ascent = std::clamp(px(u.win_ascent), 0, cell);
  t.Descent = cell - t.Ascent;
  const int32_t em_px = px(u.em);
  t.InternalLeading = std::max(0, cell - em_px);
  if (u.hhea) {
    const double hhea_height = u.hhea->Ascender - u.hhea->Descender;
    t.ExternalLeading =
        std::max(0, px(u.hhea->Line_Gap - ((u.win_ascent + u.win_descent) - hhea_height)));
  }
  t.AveCharWidth = os2 && os2->xAvgCharWidth > 0 ? px(os2->xAvgCharWidth) : std::max(1, em_px / 2);
  t.MaxCharWidth = std::max(1, px(face->max_advance_width));
  if (file.synthetic_bold) {
    t.AveCharWidth += kBoldWidening;
    t.MaxCharWidth += kBoldWidening;
  }
  t.Weight = bold ? 700 : 400;
  t.Italic = italic ? 255 : 0;
  t.Underlined = (style & kFontUnderline) ? 255 : 0;
  t.StruckOut = (style & kFontStrikeOut) ? 255 : 0;
  t.PitchAndFamily =
      kTmVector | kTmOutline | (file.fixed_pitch ? kTmFamilyModern : kTmVariablePitch);

  if (os2) std::copy(std::begin(os2->panose), std::end(os2->panose), m.Panose.begin());
  m.FsSelection = (os2 ? os2->fsSelection : 0) & ~0x73u;
  if (italic) m.FsSelection |= 0x01;
  if (style & kFontUnderline) m.FsSelection |= 0x02;
  if (style & kFontStrikeOut) m.FsSelection |= 0x10;
  if (bold) m.FsSelection |= 0x20;
  if (!bold && !italic) m.FsSelection |= 0x40;
  m.FsType = os2 ? os2->fsType : 0;
  if (file.synthetic_italic) {
    m.CharSlopeRise = 5;  // run / rise = kItalicShear
    m.CharSlopeRun = 1;
    m.ItalicAngle = -RoundToInt(std::atan(kItalicShear) * 1800 / M_PI);
  } else if (italic && u.post && u.post->italicAngle != 0) {
    m.ItalicAngle = RoundToInt(u.post->italicAngle / 65536.0 * 10);
    m.CharSlopeRise = 100;
    m.CharSlopeRun = RoundToInt(-std::tan(u.post->italicAngle / 65536.0 * M_PI / 180) * 100);
  }
  m.EmSquare = static_cast<uint32_t>(u.em);
  if (os2) {
    m.TypoAscent = px(os2->sTypoAscender);
    m.TypoDescent = px(os2->sTypoDescender);
    m.LineGap = static_cast<uint32_t>(std::max(0, px(os2->sTypoLineGap)));
    if (os2->version >= 2) {
      m.CapEmHeight = static_cast<uint32_t>(std::max(0, px(os2->sCapHeight)));
      m.XHeight = static_cast<uint32_t>(std::max(0, px(os2->sxHeight)));
    }
    m.SubscriptSizeX = px(os2->ySubscriptXSize);
    m.SubscriptSizeY = px(os2->ySubscriptYSize);
    m.SubscriptOffsetX = px(os2->ySubscriptXOffset);
    m.SubscriptOffsetY = px(os2->ySubscriptYOffset);
    m.SuperscriptSizeX = px(os2->ySuperscriptXSize);
    m.SuperscriptSizeY = px(os2->ySuperscriptYSize);
    m.SuperscriptOffsetX = px(os2->ySuperscriptXOffset);
    m.SuperscriptOffsetY = px(os2->ySuperscriptYOffset);
  } else {
    m.TypoAscent = px(face->ascender);
    m.TypoDescent = px(face->descender);
  }
  m.FontBoxLeft = px(face->bbox.xMin);
  m.FontBoxTop = px(face->bbox.yMax);
  m.FontBoxRight = px(face->bbox.xMax);
  m.FontBoxBottom = px(face->bbox.yMin);
  if (u.hhea) {
    m.MacAscent = px(u.hhea->Ascender);
    m.MacDescent = px(u.hhea->Descender);
    m.MacLineGap = static_cast<uint32_t>(std::max(0, px(u.hhea->Line_Gap)));
  }
  m.MinimumPpem = u.head ? u.head->Lowest_Rec_PPEM : 0;

  // The bars: at least one pixel thick, no thicker than the cell, and inside the cell.
  const int32_t max_bar = std::max(1, cell);
  const double strike_size =
      os2 && os2->yStrikeoutSize > 0 ? os2->yStrikeoutSize : face->underline_thickness;
  const double strike_pos =
      os2 && os2->yStrikeoutPosition > 0 ? os2->yStrikeoutPosition : u.em * 0.3;
  const int32_t strike = std::clamp(px(strike_size), 1, max_bar);
  m.StrikeoutSize = static_cast<uint32_t>(strike);
  m.StrikeoutPosition = std::clamp(px(strike_pos), strike - t.Descent, t.Ascent);
  const double under_size = u.post && u.post->underlineThickness > 0 ? u.post->underlineThickness
                                                                     : face->underline_thickness;
  const double under_pos = u.post ? u.post->underlinePosition : face->underline_position;
  m.UnderscoreSize = std::clamp(px(under_size), 1, max_bar);
  m.UnderscorePosition = std::clamp(px(under_pos), m.UnderscoreSize - t.Descent, t.Ascent);
  return m;
}

// A font drawn by FreeType.
class TFtFont : public IGlyphFont {
 public:
  TFtFont(std::shared_ptr<TFtFace> face, FT_Size size, const TFaceFile& file, TFontMetrics metrics,
          std::shared_ptr<const TSjisUnicodeTable> unicode)
      : face_(std::move(face)),
        size_(size),
        file_(file),
        metrics_(std::move(metrics)),
        unicode_(std::move(unicode)) {}

  const TFontMetrics& Metrics() const override { return metrics_; }
  const std::string& Family() const override { return file_.family; }

  bool Glyph(uint16_t code, TGlyphFormat format, TGlyphBitmap& out) override {
    SetBlank(out, 0);
    FT_GlyphSlot slot = Load(code);
    if (!slot) {
      out.advance = Missing();
      return true;
    }
    out.advance = AdvanceOf(slot);
    // The spacing is read from this outline too: a drawn glyph is usually asked for it next.
    abc_ = AbcOf(slot);
    abc_code_ = code;
    abc_known_ = true;
    if (slot->outline.n_points == 0) return true;
    const FT_Render_Mode mode =
        format == TGlyphFormat::Mono ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL;
    if (FT_Render_Glyph(slot, mode) != 0) {
      SetBlank(out, 0);
      return false;
    }
    const FT_Bitmap& bm = slot->bitmap;
    if (bm.width == 0 || bm.rows == 0 || !bm.buffer) return true;
    out.width = static_cast<int32_t>(bm.width);
    out.height = static_cast<int32_t>(bm.rows);
    out.origin_x = slot->bitmap_left;
    out.origin_y = slot->bitmap_top;
    out.levels.resize(static_cast<size_t>(out.width) * static_cast<size_t>(out.height));
    uint8_t* dst = out.levels.data();
    // The pitch steps one row down; a bitmap that flows up keeps its top row last in memory.
    const unsigned char* top =
        bm.pitch >= 0 ? bm.buffer : bm.buffer - static_cast<ptrdiff_t>(bm.rows - 1) * bm.pitch;
    for (unsigned y = 0; y < bm.rows; ++y) {
      const unsigned char* row = top + static_cast<ptrdiff_t>(y) * bm.pitch;
      if (bm.pixel_mode == FT_PIXEL_MODE_MONO) {
        const unsigned whole = bm.width / 8;
        for (unsigned i = 0; i < whole; ++i, dst += 8) std::memcpy(dst, kMonoBytes.bits[row[i]], 8);
        const unsigned rest = bm.width % 8;
        if (rest) std::memcpy(dst, kMonoBytes.bits[row[whole]], rest);
        dst += rest;
      } else {
        const uint8_t* table = kLevelTables.For(format);
        for (unsigned x = 0; x < bm.width; ++x) *dst++ = table[row[x]];
      }
    }
    return true;
  }

  TAbcWidths AbcWidths(uint16_t code) override {
    if (abc_known_ && abc_code_ == code) return abc_;
    FT_GlyphSlot slot = Load(code);
    if (!slot) {
      TAbcWidths abc;
      abc.C = Missing();
      return abc;
    }
    return AbcOf(slot);
  }

  int32_t Advance(uint16_t code) override {
    FT_GlyphSlot slot = Load(code);
    return slot ? AdvanceOf(slot) : Missing();
  }

 private:
  static void SetBlank(TGlyphBitmap& out, int32_t advance) {
    out.width = out.height = out.origin_x = out.origin_y = 0;
    out.advance = advance;
    out.levels.clear();
  }

  // The advance of a character the font cannot show.
  int32_t Missing() const { return metrics_.tm.Height / 2; }

  int32_t AdvanceOf(FT_GlyphSlot slot) const {
    return Pixels26(slot->advance.x) + (file_.synthetic_bold ? kBoldWidening : 0);
  }

  // The spacing of a loaded (not yet rendered) outline.
  TAbcWidths AbcOf(FT_GlyphSlot slot) const {
    TAbcWidths abc;
    if (slot->outline.n_points > 0) {
      FT_BBox box;
      FT_Outline_Get_CBox(&slot->outline, &box);
      // The grey rasteriser's box: the outline's box widened to whole pixels.
      const FT_Pos left = box.xMin >> 6;
      const FT_Pos right = (box.xMax + 63) >> 6;
      abc.A = static_cast<int32_t>(left);
      abc.B = static_cast<int32_t>(right - left);
    }
    abc.C = AdvanceOf(slot) - abc.A - abc.B;
    return abc;
  }

  // Loads a character's outline with the synthesised styles applied; null when the font cannot
  // show it.
  FT_GlyphSlot Load(uint16_t code) {
    const char32_t ch = (*unicode_)(code);
    if (ch == 0) return nullptr;
    const FT_Face face = face_->Get();
    const FT_UInt index = FT_Get_Char_Index(face, ch);
    if (index == 0) return nullptr;
    if (FT_Activate_Size(size_) != 0 || FT_Load_Glyph(face, index, kLoadFlags) != 0) return nullptr;
    FT_GlyphSlot slot = face->glyph;
    if (slot->format != FT_GLYPH_FORMAT_OUTLINE) return nullptr;
    if (slot->outline.n_points > 0) {
      if (file_.synthetic_bold) {
        FT_Outline_EmboldenXY(&slot->outline, 64 * kBoldWidening, 0);
      }
      if (file_.synthetic_italic) {
        FT_Matrix shear = {0x10000, static_cast<FT_Fixed>(std::lround(kItalicShear * 0x10000)), 0,
                           0x10000};
        FT_Outline_Transform(&slot->outline, &shear);
      }
    }
    return slot;
  }

  std::shared_ptr<TFtFace> face_;
  FT_Size size_;
  TFaceFile file_;
  TFontMetrics metrics_;
  std::shared_ptr<const TSjisUnicodeTable> unicode_;
  // The spacing of the character drawn last.
  TAbcWidths abc_;
  uint16_t abc_code_ = 0;
  bool abc_known_ = false;
};


}  // namespace

struct TFreeTypeFonts::TImpl {
  explicit TImpl(TFontconfigSource& s)
      : source(s),
        lib(std::make_shared<TFtLibrary>()),
        unicode(std::make_shared<TSjisUnicodeTable>()) {}

  // A face as resolved for one requested name and style.
  struct TResolved {
    TFaceFile file;
    std::shared_ptr<TFtFace> face;  // null: no usable face at all
  };

  std::shared_ptr<TFtFace> OpenFace(const TFaceFile& file) {
    const auto key = std::make_pair(file.path, file.index);
    auto it = faces.find(key);
    if (it != faces.end()) return it->second;
    std::shared_ptr<TFtFace> face;
    FT_Face ft = nullptr;
    if (lib->Get() && FT_New_Face(lib->Get(), file.path.c_str(), file.index, &ft) == 0) {
      // Outline fonts only; a bitmap face is closed again and remembered as unusable.
      if (FT_IS_SCALABLE(ft) && FT_Select_Charmap(ft, FT_ENCODING_UNICODE) == 0) {
        face = std::make_shared<TFtFace>(lib, ft);
      } else {
        FT_Done_Face(ft);
      }
    }
    faces.emplace(key, face);
    return face;
  }

  const TResolved& Resolve(std::string_view face_cp932, uint8_t style) {
    std::string key(face_cp932);
    key += '\0';
    key += static_cast<char>(style & (kFontBold | kFontItalic));
    auto it = resolved.find(key);
    if (it != resolved.end()) return it->second;
    const TConvertResult utf8 = ConvertText(face_cp932, TCodePage::Cp932, TCodePage::Utf8);
    const std::string name = utf8.unmapped == 0 ? utf8.text : std::string();
    if (resolved.size() >= kResolvedNameLimit) resolved.clear();  // names made up by a script
    TResolved r;
    for (const TFaceFile& candidate :
         source.FaceCandidates(name, (style & kFontBold) != 0, (style & kFontItalic) != 0)) {
      if (std::shared_ptr<TFtFace> face = OpenFace(candidate)) {
        r.file = candidate;
        r.face = std::move(face);
        break;
      }
    }
    return resolved.emplace(std::move(key), std::move(r)).first->second;
  }

  // Drops the oldest font objects nobody holds, beyond the idle limit.
  void TrimFonts() {
    size_t idle = 0;
    for (const auto& [key, entry] : fonts) idle += entry.font.use_count() == 1 ? 1 : 0;
    while (idle > kIdleFontLimit) {
      auto oldest = fonts.end();
      for (auto it = fonts.begin(); it != fonts.end(); ++it) {
        if (it->second.font.use_count() == 1 &&
            (oldest == fonts.end() || it->second.stamp < oldest->second.stamp))
          oldest = it;
      }
      fonts.erase(oldest);
      --idle;
    }
  }

  using TFontKey = std::tuple<const TFtFace*, int32_t, uint8_t>;
  struct TFontEntry {
    std::shared_ptr<IGlyphFont> font;
    uint64_t stamp = 0;
  };

  TFontconfigSource& source;
  std::shared_ptr<TFtLibrary> lib;
  std::shared_ptr<const TSjisUnicodeTable> unicode;
  std::map<std::pair<std::string, int>, std::shared_ptr<TFtFace>> faces;
  std::unordered_map<std::string, TResolved> resolved;
  std::map<TFontKey, TFontEntry> fonts;
  uint64_t clock = 0;
};

TFreeTypeFonts::TFreeTypeFonts(TFontconfigSource& source)
    : impl_(std::make_unique<TImpl>(source)) {}

TFreeTypeFonts::~TFreeTypeFonts() {
  // Fonts still held elsewhere keep their face and the library alive; drop ours first.
  impl_->fonts.clear();
  impl_->resolved.clear();
  impl_->faces.clear();
}

std::shared_ptr<IGlyphFont> TFreeTypeFonts::OpenFont(const TFontRequest& request) {
  TImpl& m = *impl_;
  const TImpl::TResolved& r = m.Resolve(request.face, request.style);
  const int32_t asked = ClampCellHeight(request.height);
  if (!r.face) return TBlankGlyphFonts::MakeFont(asked, request.style);

  const TFaceUnits& u = r.face->Units();
  const double design_height = u.win_ascent + u.win_descent;
  const int32_t cell =
      request.em ? ClampCellHeight(RoundToInt(asked * design_height / u.em)) : asked;
  const TImpl::TFontKey key{r.face.get(), cell, static_cast<uint8_t>(request.style & 0x0F)};
  auto it = m.fonts.find(key);
  if (it != m.fonts.end()) {
    it->second.stamp = ++m.clock;
    return it->second.font;
  }
  const double scale = cell / design_height;
  FT_Size size = r.face->SizeOf(cell, scale * u.em);
  if (!size) return TBlankGlyphFonts::MakeFont(cell, request.style);
  auto font = std::make_shared<TFtFont>(
      r.face, size, r.file, MakeMetrics(*r.face, cell, scale, request.style, r.file), m.unicode);
  m.fonts.emplace(key, TImpl::TFontEntry{font, ++m.clock});
  m.TrimFonts();
  return font;
}

}  // namespace kova::plat
