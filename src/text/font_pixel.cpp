#include "text/font_pixel.h"

#include <algorithm>
#include <cmath>

namespace kova {
namespace {

constexpr uint8_t kMonoAlpha[] = {0, 255};
constexpr uint8_t kGrey2Alpha[] = {0, 79, 127, 207, 255};
constexpr uint8_t kGrey4Alpha[] = {0, 43, 55, 67, 79, 91, 103, 115, 159, 171, 183, 195, 207, 219, 231, 243, 255};
constexpr uint8_t kGrey8Alpha[] = {0,   18,  21,  24,  27,  30,  33,  36,  55,  58,  61,  64,  67,  70,  73,  76,  79,
                                   82,  85,  88,  91,  94,  97,  100, 119, 122, 125, 128, 131, 134, 137, 140, 143, 146,
                                   149, 152, 155, 158, 161, 164, 183, 186, 189, 192, 195, 198, 201, 204, 207, 210, 213,
                                   216, 219, 222, 225, 228, 231, 234, 237, 240, 243, 246, 249, 252, 255};
static_assert(sizeof(kGrey8Alpha) == 65);

TGlyphFormat FormatOf(int32_t quality) {
  switch (quality) {
    case 0: return TGlyphFormat::Mono;
    case 1: return TGlyphFormat::Gray2;
    case 2: return TGlyphFormat::Gray4;
    default: return TGlyphFormat::Gray8;
  }
}

}  // namespace

uint8_t GlyphLevelAlpha(int32_t quality, int32_t level) {
  const uint8_t* table = kGrey8Alpha;
  int32_t last = 64;
  switch (std::clamp(quality, 0, 3)) {
    case 0: table = kMonoAlpha, last = 1; break;
    case 1: table = kGrey2Alpha, last = 4; break;
    case 2: table = kGrey4Alpha, last = 16; break;
    default: break;
  }
  return table[std::clamp(level, 0, last)];
}

// ---- TFontPixel ----

void TFontPixel::SetCoverage(int32_t width, int32_t height, std::vector<uint8_t> alpha) {
  width_ = std::max(0, width);
  height_ = std::max(0, height);
  coverage_ = std::move(alpha);
  coverage_.resize(size_t(width_) * size_t(height_));
  dilated_border_ = -1;
  dilated_.clear();
}

const std::vector<uint8_t>& TFontPixel::Dilated(int32_t b) const {
  if (dilated_border_ == b) return dilated_;
  const int32_t w = width_ + 2 * b, h = height_ + 2 * b;
  // Rows first: a pixel is set when a covered pixel of its row lies within b; then columns.
  std::vector<uint8_t> rows(size_t(w) * size_t(height_), 0);
  for (int32_t y = 0; y < height_; ++y) {
    const uint8_t* in = coverage_.data() + size_t(y) * size_t(width_);
    uint8_t* out = rows.data() + size_t(y) * size_t(w);
    int32_t last = -1;  // last covered column seen, in output columns
    for (int32_t x = 0; x < width_; ++x) {
      if (!in[x]) continue;
      const int32_t from = std::max(last + 1, x);  // x - b + b
      const int32_t to = x + 2 * b;
      for (int32_t i = from; i <= to; ++i) out[i] = 1;
      last = to;
    }
  }
  dilated_.assign(size_t(w) * size_t(h), 0);
  for (int32_t x = 0; x < w; ++x) {
    int32_t last = -1;
    for (int32_t y = 0; y < height_; ++y) {
      if (!rows[size_t(y) * size_t(w) + size_t(x)]) continue;
      const int32_t from = std::max(last + 1, y), to = y + 2 * b;
      for (int32_t i = from; i <= to; ++i) dilated_[size_t(i) * size_t(w) + size_t(x)] = 1;
      last = to;
    }
  }
  dilated_border_ = b;
  return dilated_;
}

TPoint TFontPixel::Placement(const TRect& cell, int32_t border) const {
  const int32_t free = std::min(cell.Width(), Height) - width_;
  int32_t shift = 0;
  if (LeftBearing + AdvanceRemainder < free) {
    const int64_t a = Abc.A, b = Abc.B, c = Abc.C;
    if (a + c == 0 || a + b + c <= 0) {
      shift = free / 2;
    } else {
      shift = int32_t(std::nearbyint(double(b / 2 + a) * free / double(a + b + c)));
    }
    shift = std::max(0, shift - LeftBearing);
  }
  return TPoint{cell.Left + shift + LeftBearing + border, cell.Top + TopOffset + border};
}

// TFontPixel::Draw is in font_pixel_draw.cpp.

// ---- TFontPixelManager ----

TFontPixelManager::TFontPixelManager(TTextFont& font) : font_(font) {}
TFontPixelManager::~TFontPixelManager() = default;

void TFontPixelManager::SetQuality(int32_t quality) { quality_ = smoothing_failed_ ? 0 : std::clamp(quality, 0, 3); }

TFontPixelRef TFontPixelManager::FindGlyph(uint16_t code, const std::string& font_name, int32_t height, uint8_t style,
                                           int32_t quality) const {
  for (const auto& it : buckets_[code & 0xFF]) {
    const TFontPixel& g = **it;
    if (g.Code == code && g.Height == height && g.Style == style && g.Quality == quality && g.FontName == font_name) {
      return *it;
    }
  }
  return nullptr;
}

TFontPixelRef TFontPixelManager::GetGlyph(uint16_t code, const std::string& font_name, int32_t height, uint8_t style) {
  for (const auto& it : buckets_[code & 0xFF]) {
    const TFontPixel& g = **it;
    if (g.Code == code && g.Height == height && g.Style == style && g.Quality == quality_ && g.FontName == font_name) {
      all_.splice(all_.begin(), all_, it);
      return *it;
    }
  }
  auto glyph = std::make_shared<TFontPixel>();
  glyph->Code = code;
  glyph->FontName = font_name;
  glyph->Height = height;
  glyph->Style = style;
  glyph->Quality = quality_;
  Make(*glyph);
  all_.push_front(glyph);
  buckets_[code & 0xFF].push_back(all_.begin());
  coverage_bytes_ += glyph->Coverage().size();
  while (all_.size() > kMaxGlyphs || (coverage_bytes_ > kMaxCoverageBytes && all_.size() > 1)) {
    Drop(std::prev(all_.end()));
  }
  return glyph;
}

void TFontPixelManager::Drop(std::list<std::shared_ptr<TFontPixel>>::iterator it) {
  auto& bucket = buckets_[(*it)->Code & 0xFF];
  bucket.erase(std::find(bucket.begin(), bucket.end(), it));
  coverage_bytes_ -= (*it)->Coverage().size();
  all_.erase(it);
}

bool TFontPixelManager::SelectFont(const std::string& font_name, int32_t height, uint8_t style) {
  const TTextFontKey key{font_name, height, style};
  if (selected_ && key == key_) return select_ok_;
  selected_ = true;
  key_ = key;
  select_ok_ = font_.Select(key);
  outline_ = select_ok_ ? font_.OutlineRecord() : std::array<uint8_t, 212>{};
  return select_ok_;
}

void TFontPixelManager::Make(TFontPixel& glyph) {
  if (!SelectFont(glyph.FontName, glyph.Height, glyph.Style)) {
    // No outline face at all: an empty glyph that still advances.
    glyph.AdvanceRemainder = std::max(0, glyph.Height / 2);
    return;
  }
  const TTextFontMetrics& m = font_.Metrics();
  bool ok = font_.Glyph(glyph.Code, FormatOf(glyph.Quality), scratch_);
  if (!ok && glyph.Quality != 0) {
    // The platform has no smoothed outlines: mono from now on.
    smoothing_failed_ = true;
    quality_ = 0;
    glyph.Quality = 0;
    ok = font_.Glyph(glyph.Code, TGlyphFormat::Mono, scratch_);
  }
  glyph.Abc = font_.AbcWidths(glyph.Code);
  if (glyph.Style & kStyleUnderline) {
    glyph.UnderlineThickness = std::max(1, m.UnderscoreSize);
    glyph.UnderlineTop = m.Ascent - m.UnderscorePosition;
  }
  if (glyph.Style & kStyleStrikeOut) {
    glyph.StrikeOutThickness = std::max(1, m.StrikeoutSize);
    glyph.StrikeOutTop = m.Ascent - m.StrikeoutPosition;
  }
  if (!ok || scratch_.BlackBoxX <= 0 || scratch_.BlackBoxY <= 0) {
    glyph.AdvanceRemainder = ok ? font_.TextWidth(glyph.Code) : std::max(0, glyph.Height / 2);
    return;
  }
  const int32_t w = scratch_.BlackBoxX, h = scratch_.BlackBoxY;
  std::vector<uint8_t> alpha(size_t(w) * size_t(h));
  const size_t n = std::min(alpha.size(), scratch_.Levels.size());
  for (size_t i = 0; i < n; ++i) alpha[i] = GlyphLevelAlpha(glyph.Quality, scratch_.Levels[i]);
  glyph.SetCoverage(w, h, std::move(alpha));
  glyph.LeftBearing = std::max(0, scratch_.OriginX);
  glyph.TopOffset = std::max(0, m.Ascent - scratch_.OriginY);
  glyph.AdvanceRemainder = std::max(0, scratch_.CellIncX - (w + glyph.LeftBearing));
}

}  // namespace kova
