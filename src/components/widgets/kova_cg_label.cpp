#include "components/widgets/kova_cg_label.h"

#include <algorithm>
#include <unordered_map>

#include "components/scene/kova_base_list.h"
#include "core/record_io.h"
#include "core/sjis.h"
#include "core/stream_records.h"
#include "core/string_list.h"
#include "graphics/dibx.h"
#include "text/text_limits.h"

namespace kova {
namespace {

int32_t Fit(int64_t v) { return int32_t(std::clamp<int64_t>(v, 0, INT32_MAX)); }

// Cells placed farther out than this lie off every surface and are not drawn.
constexpr int64_t kFar = int64_t(1) << 24;

}  // namespace

TKovaCGLabel::TKovaCGLabel(TKovaObject* owner) : TKovaControl(owner) {}

TKovaCGLabel::~TKovaCGLabel() {
  Invalidate();
  images_.Clear();
}

// ---- Properties ----

void TKovaCGLabel::SetSource(const std::string& v) {
  if (v == source_) return;
  Invalidate();
  source_ = v;
  images_.Clear();
  TKovaBaseList* root = Root();
  TWexaCollection* cache = root ? root->ImageCache() : nullptr;
  if (!v.empty() && cache) images_.Load(*cache, this, v, false);
  if (images_.Count() > 0) images_.SetIndex(0);
  Invalidate();
}

void TKovaCGLabel::SetText(const std::string& v) {
  CheckTextBytes(v.size(), kMaxCaptionBytes);
  if (v == text_) return;
  text_ = v;
  RebuildRows();
  Layout();
}

void TKovaCGLabel::SetMapText(const std::string& v) {
  CheckTextBytes(v.size(), kMaxCaptionBytes);
  if (v == map_text_) return;
  map_text_ = v;
  RebuildRows();
  Invalidate();
}

void TKovaCGLabel::SetGlyphWidth(int32_t v) {
  v = std::max(v, 1);
  if (v == glyph_width_) return;
  glyph_width_ = v;
  Layout();
}

void TKovaCGLabel::SetGlyphHeight(int32_t v) {
  v = std::max(v, 1);
  if (v == glyph_height_) return;
  glyph_height_ = v;
  Layout();
}

void TKovaCGLabel::SetLineSpace(int32_t v) {
  if (v == line_space_) return;
  line_space_ = v;
  Layout();
}

void TKovaCGLabel::SetHAlign(uint8_t v) {
  if (v == h_align_) return;
  h_align_ = v;
  Invalidate();
}

void TKovaCGLabel::SetAlpha(int32_t v) {
  if (v == alpha_) return;
  alpha_ = v;
  Invalidate();
}

int32_t TKovaCGLabel::GetOrigWidth() const {
  const TKovaImageData* frame = CurrentFrame();
  const TCustomDIBX* s = frame ? frame->GetDIB() : nullptr;
  return s ? s->Width() : 0;
}

int32_t TKovaCGLabel::GetOrigHeight() const {
  const TKovaImageData* frame = CurrentFrame();
  const TCustomDIBX* s = frame ? frame->GetDIB() : nullptr;
  return s ? s->Height() : 0;
}

// ---- Rows and layout ----

void TKovaCGLabel::RebuildRows() {
  rows_.clear();
  TStringList lines;
  lines.SetText(text_);
  rows_.reserve(size_t(lines.Count()));
  // Each character's cell is looked up in the map once.
  std::unordered_map<uint32_t, int32_t> cells;
  for (int i = 0; i < lines.Count(); ++i) {
    const std::string& line = lines[i];
    std::vector<int32_t>& row = rows_.emplace_back();
    for (size_t at = 0; at < line.size();) {
      // A lead byte takes its trail byte with it (a lead byte at the end stands alone).
      const size_t n = IsSjisLeadByte(line[at]) && at + 1 < line.size() ? 2 : 1;
      const uint32_t key = n == 2 ? 0x10000u | uint32_t(uint8_t(line[at])) << 8 | uint8_t(line[at + 1]) : uint8_t(line[at]);
      auto [it, added] = cells.try_emplace(key, 0);
      if (added) it->second = int32_t(SjisPos(std::string_view(line).substr(at, n), map_text_)) - 1;
      row.push_back(it->second);
      at += n;
    }
  }
}

void TKovaCGLabel::Layout() {
  size_t widest = 0;
  for (const std::vector<int32_t>& row : rows_) widest = std::max(widest, row.size());
  const int64_t count = int64_t(rows_.size());
  int64_t height = int64_t(glyph_height_) * count;
  if (count >= 2) height += int64_t(line_space_) * (count - 1);
  Invalidate();
  SetWidth(Fit(int64_t(glyph_width_) * int64_t(widest)));
  SetHeight(Fit(height));
  Invalidate();
}

// ---- Drawing and update ----

void TKovaCGLabel::Draw() {
  TCustomDIBX* target = GetTargetDIB();
  const TKovaImageData* frame = CurrentFrame();
  const TCustomDIBX* sheet = frame ? frame->GetDIB() : nullptr;
  if (!target || GetWidth() == 0 || GetHeight() == 0 || !sheet || alpha_ <= 0) return;
  // A sheet narrower (or lower) than one cell has no cells.
  const int32_t columns = sheet->Width() / glyph_width_;
  if (columns < 1) return;
  const int64_t cells = int64_t(sheet->Height() / glyph_height_) * columns;
  const int32_t left = GetScreenLeft();
  int64_t y = GetScreenTop();
  for (const std::vector<int32_t>& row : rows_) {
    const int64_t line_width = int64_t(row.size()) * glyph_width_;
    int64_t x = left;
    if (h_align_ == 1) {
      x += (GetWidth() - line_width) / 2;
    } else if (h_align_ != 0) {
      x += GetWidth() - line_width;
    }
    for (int32_t index : row) {
      if (index >= 0 && index < cells && x >= -kFar && x <= kFar && y >= -kFar && y <= kFar) {
        const int32_t sx = (index % columns) * glyph_width_, sy = (index / columns) * glyph_height_;
        frame->DrawAt(*target, int32_t(x), int32_t(y), TRect{sx, sy, sx + glyph_width_, sy + glyph_height_}, false,
                      false, alpha_);
      }
      x += glyph_width_;
    }
    y += int64_t(glyph_height_) + line_space_;
  }
  DrawChildren();
}

bool TKovaCGLabel::Update() {
  const bool finished = TKovaControl::Update();
  if (!finished && !GetAniPaused()) {
    TKovaBaseList* root = Root();
    if (images_.Step(root ? root->FrameDelta() : 0)) Invalidate();
  }
  return finished;
}

// ---- Save form ----

template <class IO, class R>
void TKovaCGLabel::Transfer(IO& io, R& r) {
  io.Str(r.source_, [&](auto v) { r.SetSource(v); });
  io.Str(r.text_);
  io.Str(r.map_text_);
  // A damaged record cannot give a cell below 1 x 1.
  io.Int(r.glyph_width_, [&](auto v) { r.glyph_width_ = std::max(v, 1); });
  io.Int(r.glyph_height_, [&](auto v) { r.glyph_height_ = std::max(v, 1); });
  io.Int(r.line_space_);
  io.Bool(r.paused_);
  io.Byte(r.h_align_);
  io.Int(r.alpha_);
  if (io.Since(125)) io.Str(r.on_idle_);
}

void TKovaCGLabel::SaveToStream(TStream& stream) const {
  TKovaControl::SaveToStream(stream);
  TRecordSaver io(stream);
  Transfer(io, *this);
}

void TKovaCGLabel::LoadFromStream(TStream& stream, int32_t version) {
  TKovaControl::LoadFromStream(stream, version);
  TRecordLoader io(stream, version);
  Transfer(io, *this);
  RebuildRows();
  Layout();
}

}  // namespace kova
