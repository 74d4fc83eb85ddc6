#include "components/widgets/map_regions.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/errors.h"
#include "core/messages.h"
#include "core/stream.h"
#include "core/stream_records.h"
#include "core/utils.h"

namespace kova {

namespace {

int32_t Clamp32(int64_t v) {
  return int32_t(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

// The box of a rectangle or ellipse entry; an entry whose right or bottom lies before its left
// or top covers nothing.
TRect EntryBox(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  const int32_t r = Clamp32(int64_t(right) + 1), b = Clamp32(int64_t(bottom) + 1);
  if (r <= left || b <= top) return TRect{};
  return TRect{left, top, r, b};
}

// The first integer x with x + 0.5 >= v: a pixel whose centre lies at or right of v.
int64_t FirstCentreAtOrAfter(double v) { return int64_t(std::ceil(v - 0.5)); }

}  // namespace

TMapRegion TMapRegion::Rect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  TMapRegion r;
  r.shape_ = TShape::Rectangle;
  r.box_ = EntryBox(left, top, right, bottom);
  return r;
}

TMapRegion TMapRegion::Ellipse(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  TMapRegion r;
  r.shape_ = TShape::Ellipse;
  r.box_ = EntryBox(left, top, right, bottom);
  return r;
}

TMapRegion TMapRegion::Polygon(std::vector<TPoint> points) {
  TMapRegion r;
  r.shape_ = TShape::Polygon;
  if (points.size() >= 3) {
    int32_t x0 = points[0].X, x1 = x0, y0 = points[0].Y, y1 = y0;
    for (const TPoint& p : points) {
      x0 = std::min(x0, p.X);
      x1 = std::max(x1, p.X);
      y0 = std::min(y0, p.Y);
      y1 = std::max(y1, p.Y);
    }
    // Pixels are covered by their centres: those of the vertices' box at most.
    if (x1 > x0 && y1 > y0) r.box_ = TRect{x0, y0, x1, y1};
  }
  if (!IsRectEmpty(r.box_)) r.points_ = std::move(points);
  return r;
}


void TMapRegion::RowSpans(int32_t y, std::vector<TMapSpan>& out, TMapRowScratch& scratch) const {
  out.clear();
  if (IsRectEmpty(box_) || y < box_.Top || y >= box_.Bottom) return;
  switch (shape_) {
    case TShape::Rectangle:
      out.push_back(TMapSpan{box_.Left, box_.Right});
      return;
    case TShape::Ellipse: {
      // The ellipse inscribed in the box, sampled at pixel centres.
      const double w = double(box_.Right) - box_.Left, h = double(box_.Bottom) - box_.Top;
      const double cx = (double(box_.Left) + box_.Right) / 2, cy = (double(box_.Top) + box_.Bottom) / 2;
      const double v = (y + 0.5 - cy) / (h / 2);
      if (v * v > 1) return;
      const double half = w / 2 * std::sqrt(1 - v * v);
      const int64_t x0 = std::max<int64_t>(FirstCentreAtOrAfter(cx - half), box_.Left);
      // Centres up to cx + half inclusive.
      const int64_t x1 = std::min<int64_t>(int64_t(std::floor(cx + half - 0.5)) + 1, box_.Right);
      if (x1 > x0) out.push_back(TMapSpan{int32_t(x0), int32_t(x1)});
      return;
    }
    case TShape::Polygon: {
      // Edges crossing the row's centre line, with their direction; the winding rule keeps the
      // runs where the sum of directions left of a centre is not 0.
      const double yc = y + 0.5;
      using TCross = TMapRowScratch::TCross;
      std::vector<TCross>& crossings = scratch.crossings;
      crossings.clear();
      const size_t n = points_.size();
      for (size_t i = 0; i < n; ++i) {
        const TPoint a = points_[i], b = points_[(i + 1) % n];
        if ((a.Y <= yc) == (b.Y <= yc)) continue;
        const double x = a.X + (yc - a.Y) * (double(b.X) - a.X) / (double(b.Y) - a.Y);
        crossings.push_back(TCross{x, b.Y > a.Y ? 1 : -1});
      }
      std::sort(crossings.begin(), crossings.end(), [](const TCross& l, const TCross& r) { return l.x < r.x; });
      int32_t winding = 0;
      double start = 0;
      for (const TCross& c : crossings) {
        const int32_t before = winding;
        winding += c.dir;
        if (before == 0 && winding != 0) {
          start = c.x;
        } else if (before != 0 && winding == 0) {
          const int64_t x0 = std::max<int64_t>(FirstCentreAtOrAfter(start), box_.Left);
          const int64_t x1 = std::min<int64_t>(FirstCentreAtOrAfter(c.x), box_.Right);
          if (x1 > x0) {
            if (!out.empty() && out.back().x1 >= x0) {
              out.back().x1 = std::max(out.back().x1, int32_t(x1));
            } else {
              out.push_back(TMapSpan{int32_t(x0), int32_t(x1)});
            }
          }
        }
      }
      return;
    }
  }
}

bool TMapRegion::Contains(TPoint p) const {
  if (IsRectEmpty(box_) || p.X < box_.Left || p.X >= box_.Right || p.Y < box_.Top || p.Y >= box_.Bottom) {
    return false;
  }
  std::vector<TMapSpan> spans;
  TMapRowScratch scratch;
  RowSpans(p.Y, spans, scratch);
  return std::any_of(spans.begin(), spans.end(), [&](const TMapSpan& s) { return p.X >= s.x0 && p.X < s.x1; });
}

std::vector<TMapEntry> ReadMapFile(std::span<const uint8_t> bytes) {
  TSpanStream s(bytes);
  auto left = [&] { return s.GetSize() - s.GetPosition(); };
  const int32_t count = ReadStreamInteger(s);
  // The smallest entry: an empty text, the kind and a polygon of no points.
  constexpr int64_t kSmallestEntry = 4 + 1 + 4;
  if (count < 0 || count > left() / kSmallestEntry) Raise<EReadError>(TMsg::StreamReadError);
  std::vector<TMapEntry> entries;
  entries.reserve(size_t(count));
  for (int32_t i = 0; i < count; ++i) {
    TMapEntry e;
    e.text = ReadStreamString(s);
    const uint8_t kind = ReadStreamByte(s);
    if (kind == 0 || kind == 1) {
      const int32_t l = ReadStreamInteger(s), t = ReadStreamInteger(s), r = ReadStreamInteger(s),
                    b = ReadStreamInteger(s);
      e.region = kind == 0 ? TMapRegion::Rect(l, t, r, b) : TMapRegion::Ellipse(l, t, r, b);
    } else {
      const int32_t n = ReadStreamInteger(s);
      if (n < 0 || n > left() / 8) Raise<EReadError>(TMsg::StreamReadError);
      std::vector<TPoint> points(size_t(n), TPoint{});
      for (TPoint& p : points) {
        p.X = ReadStreamInteger(s);
        p.Y = ReadStreamInteger(s);
      }
      e.region = TMapRegion::Polygon(std::move(points));
    }
    entries.push_back(std::move(e));
  }
  return entries;
}

}  // namespace kova
