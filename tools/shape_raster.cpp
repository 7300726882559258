#include "tools/shape_raster.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cwchar>
#ifdef __SSE2__
#include <emmintrin.h>
#endif
#include <mutex>
#include <numbers>
#include <optional>

#include "core/bands.h"
#include "core/region_clipped_image.h"

namespace varnel {
namespace {

// Rows rendered together: the accumulation buffer stays in the cache however tall the shape.
constexpr int32_t kBandRows = 32;
// Below this many pixels of bounding box a second thread costs more than it saves.
constexpr int64_t kTwoHalvesPixels = int64_t{1} << 18;
// Columns per flag of the touched-cell map: runs of untouched blocks keep the winding of their
// left neighbour, so the interior of a large shape costs a fill, not a sum per pixel.
constexpr int32_t kBlockShift = 5;
// Enough points for any ellipse a layer can hold, and no more than a caller can afford.
constexpr int32_t kMaxEllipsePoints = 1 << 16;
constexpr int32_t kMaxCubicSegments = 4096;
constexpr double kLimit = 1 << 30;

uint8_t CoverageOf(float winding, FillRule rule) {
  float a = std::fabs(winding);
  if (rule == FillRule::kEvenOdd) {
    a = std::fmod(a, 2.0f);
    if (a > 1.0f) a = 2.0f - a;
  } else if (a > 1.0f) {
    a = 1.0f;
  }
  return static_cast<uint8_t>(a * 255.0f + 0.5f);
}

struct BandEdge {
  double x0, y0, x1, y1;  // y0 < y1, relative to the mask's corner
  float direction;        // +1 downwards, −1 upwards
};

// The exact signed area each edge leaves in the cells of a band of rows. Cell x of a row
// receives the change in winding coverage between pixel x − 1 and pixel x; the running sum along
// the row is each pixel's covered area.
class Accumulator {
 public:
  Accumulator(int32_t width) : m_width(width), m_stride(width + 2), m_blocks((width + 2 + 31) >> kBlockShift) {
    m_cells.assign(static_cast<size_t>(m_stride) * kBandRows, 0.0f);
    m_touched.assign(static_cast<size_t>(m_blocks) * kBandRows, 0);
  }

  // The part of the edge within rows top … top + rows of the band.
  void AddEdge(const BandEdge& e, int32_t top, int32_t rows) {
    const double bandTop = top, bandBottom = top + rows;
    const double ya = std::max(e.y0, bandTop), yb = std::min(e.y1, bandBottom);
    if (ya >= yb) return;
    const double dxdy = (e.x1 - e.x0) / (e.y1 - e.y0);
    // Each row's ends straight from the edge, not stepped from the band's top: a row's coverage
    // is then the same whichever band, or whichever half of a split shape, it falls in.
    for (int32_t y = static_cast<int32_t>(std::floor(ya)); y < bandBottom && y < yb; ++y) {
      const double from = std::max<double>(y, ya), to = std::min<double>(y + 1, yb);
      Deposit(y - top, e.x0 + (from - e.y0) * dxdy, e.x0 + (to - e.y0) * dxdy, static_cast<float>(to - from) * e.direction);
    }
  }

  // Turns the band's cells into coverage rows of out (width bytes each, stride apart) and leaves
  // the cells zero for the next band.
  void Resolve(int32_t rows, uint8_t* out, size_t stride, FillRule rule) {
    for (int32_t r = 0; r < rows; ++r) {
      float* cells = m_cells.data() + static_cast<size_t>(r) * m_stride;
      uint8_t* touched = m_touched.data() + static_cast<size_t>(r) * m_blocks;
      uint8_t* row = out + static_cast<size_t>(r) * stride;
      float winding = 0.0f;
      int32_t x = 0;
      while (x < m_width) {
        int32_t block = x >> kBlockShift;
        if (!touched[block]) {
          // Untouched blocks keep the winding: one fill up to the next touched block.
          while ((block + 1) << kBlockShift < m_width && !touched[block + 1]) ++block;
          const int32_t end = std::min(m_width, (block + 1) << kBlockShift);
          std::memset(row + x, CoverageOf(winding, rule), static_cast<size_t>(end - x));
          x = end;
        } else {
          const int32_t end = std::min(m_width, (block + 1) << kBlockShift);
          for (int32_t i = x; i < end; ++i) {
            winding += cells[i];
            cells[i] = 0.0f;
            row[i] = CoverageOf(winding, rule);
          }
          x = end;
        }
      }
      // Whatever reached the cells right of the mask (clamped there) is dropped.
      for (int32_t b = 0; b < m_blocks; ++b) {
        if (!touched[b]) continue;
        const int32_t from = std::max(m_width, b << kBlockShift), to = std::min(m_stride, (b + 1) << kBlockShift);
        for (int32_t i = from; i < to; ++i) cells[i] = 0.0f;
        touched[b] = 0;
      }
    }
  }

 private:
  void Add(int32_t row, int32_t x, float value) {
    m_cells[static_cast<size_t>(row) * m_stride + static_cast<size_t>(x)] += value;
    m_touched[static_cast<size_t>(row) * m_blocks + static_cast<size_t>(x >> kBlockShift)] = 1;
  }

  // One row's piece of an edge from x to xnext (both within 0 … width) with winding change d.
  void Deposit(int32_t row, double x, double xnext, float d) {
    const double lo = std::min(x, xnext), hi = std::max(x, xnext);
    const double loFloor = std::floor(lo);
    const int32_t i0 = static_cast<int32_t>(loFloor);
    const int32_t i1 = static_cast<int32_t>(std::ceil(hi));
    if (i1 <= i0 + 1) {
      // Within one pixel column: the area right of the edge's middle is covered.
      const float mid = static_cast<float>(0.5 * (x + xnext) - loFloor);
      Add(row, i0, d - d * mid);
      Add(row, i0 + 1, d * mid);
      return;
    }
    // Across several columns: the covered area grows as a trapezoid over the crossed pixels.
    const double s = 1.0 / (hi - lo);
    const double f0 = lo - loFloor;
    const double a0 = 0.5 * s * (1.0 - f0) * (1.0 - f0);
    const double f1 = hi - std::ceil(hi) + 1.0;
    const double am = 0.5 * s * f1 * f1;
    Add(row, i0, static_cast<float>(d * a0));
    if (i1 == i0 + 2) {
      Add(row, i0 + 1, static_cast<float>(d * (1.0 - a0 - am)));
    } else {
      const double a1 = s * (1.5 - f0);
      Add(row, i0 + 1, static_cast<float>(d * (a1 - a0)));
      const float step = static_cast<float>(d * s);
      for (int32_t i = i0 + 2; i < i1 - 1; ++i) Add(row, i, step);
      const double a2 = a1 + (i1 - i0 - 3) * s;
      Add(row, i1 - 1, static_cast<float>(d * (1.0 - a2 - am)));
    }
    Add(row, i1, static_cast<float>(d * am));
  }

  int32_t m_width, m_stride, m_blocks;
  std::vector<float> m_cells;
  std::vector<uint8_t> m_touched;
};

// Splits an edge at the vertical lines x = 0 and x = width and brings the outer parts onto
// those lines: what lies left of the mask still counts for every pixel right of it, what lies
// right counts for none.
void ClampEdge(BandEdge e, double width, std::vector<BandEdge>& out) {
  double cuts[2];
  int n = 0;
  for (const double line : {0.0, width}) {
    if ((e.x0 < line) != (e.x1 < line) && e.x0 != e.x1) cuts[n++] = e.y0 + (line - e.x0) * (e.y1 - e.y0) / (e.x1 - e.x0);
  }
  if (n == 2 && cuts[0] > cuts[1]) std::swap(cuts[0], cuts[1]);
  double y = e.y0;
  auto xAt = [&](double yy) {
    const double x = e.x0 + (yy - e.y0) * (e.x1 - e.x0) / (e.y1 - e.y0);
    return std::clamp(x, 0.0, width);
  };
  for (int i = 0; i <= n; ++i) {
    const double yEnd = i < n ? std::clamp(cuts[i], e.y0, e.y1) : e.y1;
    if (yEnd > y) out.push_back({xAt(y), y, xAt(yEnd), yEnd, e.direction});
    y = yEnd;
  }
}

// The last index from x on (x itself at full coverage) before the coverage drops, sixteen at a
// time: the interior of a large shape is long runs of 255.
int32_t FullRunEnd(const uint8_t* cover, int32_t x, int32_t last) {
  int32_t end = x;
#ifdef __SSE2__
  const __m128i full = _mm_set1_epi8(static_cast<char>(-1));
  while (end + 16 <= last) {
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cover + end + 1));
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, full)) != 0xFFFF) break;
    end += 16;
  }
#endif
  uint64_t eight;
  while (end + 8 <= last) {
    std::memcpy(&eight, cover + end + 1, sizeof eight);
    if (eight != ~uint64_t{0}) break;
    end += 8;
  }
  while (end < last && cover[end + 1] == 255) ++end;
  return end;
}

// count pixels of one colour: a run across a large shape is most of its cost. The C library's
// wide-character fill is a 32-bit fill tuned for the processor it runs on (wider stores than
// the baseline build may use).
void FillPixels(uint32_t* pixels, int32_t count, uint32_t colour) {
  static_assert(sizeof(wchar_t) == sizeof(uint32_t));
  if (count > 0) std::wmemset(reinterpret_cast<wchar_t*>(pixels), static_cast<wchar_t>(colour), static_cast<size_t>(count));
}

// The first and last index of a row of coverage that is not 0 (first > last for none), eight
// at a time: most of a shape's bounding box beside its outline is empty.
void CoveredSpan(const uint8_t* cover, int32_t width, int32_t& first, int32_t& last) {
  first = 0;
  last = width - 1;
  uint64_t eight;
  while (first + 8 <= width && (std::memcpy(&eight, cover + first, sizeof eight), eight == 0)) first += 8;
  while (first < width && cover[first] == 0) ++first;
  while (last - 7 > first && (std::memcpy(&eight, cover + last - 7, sizeof eight), eight == 0)) last -= 8;
  while (last >= first && cover[last] == 0) --last;
}

// Paints rows of coverage into a target. Runs at full coverage take the colour; only the pixels
// that blend are read. A target with plain rows is painted in place, each tile row's tiles
// backed up first, so two painters may share it a tile row apart; any other target (a selection
// facade) goes through GetRect/SetRect, a stretch at a time.
class PaintRows {
 public:
  // records: taken around the target's records when another painter shares the target.
  PaintRows(ImageSurface& target, uint32_t pixel, int32_t opacity, int32_t left, int32_t width,
            std::mutex* records = nullptr)
      : m_target(target),
        m_pixel(pixel),
        m_opacity(std::clamp(opacity, 0, 255)),
        m_left(left),
        m_width(width),
        m_direct(target.HasPlainRows()),
        m_records(records),
        m_solid(m_direct ? 0 : static_cast<size_t>(width), pixel),
        m_blend(m_direct ? 0 : static_cast<size_t>(width)),
        m_scaled(m_opacity != 255 ? static_cast<size_t>(width) : 0) {}

  // count rows of coverage from row y on, stride bytes apart, each the width pixels from the
  // left.
  void Rows(int32_t y, int32_t count, const uint8_t* cover, size_t stride) {
    m_spans.resize(static_cast<size_t>(count));
    for (int32_t r = 0; r < count; ++r) {
      Span& span = m_spans[static_cast<size_t>(r)];
      CoveredSpan(cover + static_cast<size_t>(r) * stride, m_width, span.first, span.last);
    }
    if (m_direct) BackUp(y, count);
    for (int32_t r = 0; r < count; ++r) {
      const Span& span = m_spans[static_cast<size_t>(r)];
      if (span.first > span.last) continue;
      const uint8_t* row = cover + static_cast<size_t>(r) * stride;
      if (m_opacity != 255) {
        for (int32_t i = span.first; i <= span.last; ++i)
          m_scaled[static_cast<size_t>(i)] = static_cast<uint8_t>((row[i] * m_opacity + 127) / 255);
        row = m_scaled.data();
      }
      if (m_direct)
        PaintInPlace(y + r, row, span);
      else
        PaintThrough(y + r, row, span);
      m_changed = m_changed.United({m_left + span.first, y + r, m_left + span.last, y + r});
    }
  }

  // The changed rectangle; the target is marked modified when there is one. With several
  // painters on one target, each finishes after all have painted.
  Rect Finish() {
    if (!m_changed.IsEmpty()) {
      if (m_direct) m_target.AddDirtyRect(m_changed.left, m_changed.top, m_changed.right, m_changed.bottom);
      m_target.SetModified();
    }
    return m_changed;
  }

 private:
  struct Span {
    int32_t first, last;
  };

  // The unsaved tiles under the rows' spans, a tile row at a time: exactly the tiles a SetRect
  // of each row's span would back up.
  void BackUp(int32_t y, int32_t count) {
    constexpr int32_t kTile = ImageSurface::kTileSize;
    const int32_t firstColumn = m_left / kTile;
    for (int32_t r = 0; r < count;) {
      const int32_t end = std::min(count, (y + r) / kTile * kTile + kTile - y);
      m_needed.assign(static_cast<size_t>((m_left + m_width - 1) / kTile - firstColumn + 1), 0);
      for (int32_t i = r; i < end; ++i) {
        const Span& span = m_spans[static_cast<size_t>(i)];
        if (span.first > span.last) continue;
        std::fill(m_needed.begin() + ((m_left + span.first) / kTile - firstColumn),
                  m_needed.begin() + ((m_left + span.last) / kTile - firstColumn + 1), uint8_t{1});
      }
      for (size_t c = 0; c < m_needed.size();) {
        if (m_needed[c] == 0) {
          ++c;
          continue;
        }
        size_t e = c;
        while (e + 1 < m_needed.size() && m_needed[e + 1] != 0) ++e;
        const int32_t left = (firstColumn + static_cast<int32_t>(c)) * kTile;
        const int32_t right = (firstColumn + static_cast<int32_t>(e)) * kTile + kTile - 1;
        m_target.CopyUnsavedTiles({left, y + r, right, y + end - 1}, m_backups);
        std::unique_lock<std::mutex> lock;
        if (m_records != nullptr) lock = std::unique_lock(*m_records);
        m_target.KeepBackups(m_backups);
        c = e + 1;
      }
      r = end;
    }
  }

  void PaintInPlace(int32_t y, const uint8_t* cover, const Span& span) {
    uint32_t* pixels = m_target.Row(y) + m_left;
    for (int32_t x = span.first; x <= span.last; ++x) {
      const uint8_t c = cover[x];
      if (c == 255) {
        const int32_t end = FullRunEnd(cover, x, span.last);
        FillPixels(pixels + x, end - x + 1, m_pixel);
        x = end;
      } else if (c != 0) {
        pixels[x] = RegionClippedImage::BlendCovered(pixels[x], m_pixel, c);
      }
    }
  }

  void PaintThrough(int32_t y, const uint8_t* cover, const Span& span) {
    const int32_t last = span.last;
    int32_t x = span.first;
    while (x <= last) {
      int32_t end = x;
      if (cover[x] == 255) {
        end = FullRunEnd(cover, x, last);
        m_target.SetRect({m_left + x, y, m_left + end, y}, m_solid.data());
      } else {
        // A stretch up to the next run of full coverage worth writing whole.
        while (end < last && !(cover[end + 1] == 255 && end + 8 <= last && cover[end + 8] == 255)) ++end;
        const Rect stretch{m_left + x, y, m_left + end, y};
        m_target.GetRect(stretch, m_blend.data());
        for (int32_t i = x; i <= end; ++i) {
          const uint8_t c = cover[i];
          uint32_t& p = m_blend[static_cast<size_t>(i - x)];
          if (c == 255)
            p = m_pixel;
          else if (c != 0)
            p = RegionClippedImage::BlendCovered(p, m_pixel, c);
        }
        m_target.SetRect(stretch, m_blend.data());
      }
      x = end + 1;
    }
  }

  ImageSurface& m_target;
  uint32_t m_pixel;
  int32_t m_opacity, m_left, m_width;
  bool m_direct;
  std::mutex* m_records;
  std::vector<uint32_t> m_solid, m_blend;
  std::vector<uint8_t> m_scaled;
  std::vector<Span> m_spans;
  std::vector<uint8_t> m_needed;  // per tile column from m_left's: a row of the tile row touches it
  std::vector<TileBackup*> m_backups;
  Rect m_changed{0, 0, -1, -1};
};

bool Finite(const ShapePoint& p) { return std::isfinite(p.x) && std::isfinite(p.y); }

}  // namespace

uint8_t CoverageMask::At(int32_t x, int32_t y) const {
  if (x < bounds.left || x > bounds.right || y < bounds.top || y > bounds.bottom) return 0;
  return coverage[static_cast<size_t>(y - bounds.top) * static_cast<size_t>(bounds.Width()) +
                  static_cast<size_t>(x - bounds.left)];
}

void ShapeCoverage::AddPolygon(std::span<const ShapePoint> points) {
  if (points.size() < 2 || !std::all_of(points.begin(), points.end(), Finite)) return;
  for (size_t i = 0; i < points.size(); ++i) {
    const ShapePoint& a = points[i];
    const ShapePoint& b = points[(i + 1) % points.size()];
    if (a.y != b.y) m_edges.push_back({a.x, a.y, b.x, b.y});
  }
}

void ShapeCoverage::AddEllipse(double cx, double cy, double rx, double ry, double thetaDegrees) {
  rx = std::fabs(rx);
  ry = std::fabs(ry);
  if (!std::isfinite(cx) || !std::isfinite(cy) || !std::isfinite(rx) || !std::isfinite(ry) ||
      !std::isfinite(thetaDegrees) || rx == 0 || ry == 0)
    return;
  // A chord of angle a strays r (1 − cos(a / 2)) from the arc.
  const double r = std::max(rx, ry);
  const double tolerance = 1.0 / 32;
  const double step = r > tolerance ? 2.0 * std::acos(1.0 - tolerance / r) : std::numbers::pi / 4;
  const int32_t n = std::clamp(static_cast<int32_t>(std::ceil(2.0 * std::numbers::pi / step)), 8, kMaxEllipsePoints);
  const double t = thetaDegrees * std::numbers::pi / 180.0;
  const double ct = std::cos(t), st = std::sin(t);
  std::vector<ShapePoint> points(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) {
    const double a = 2.0 * std::numbers::pi * i / n;
    const double ex = rx * std::cos(a), ey = ry * std::sin(a);
    points[static_cast<size_t>(i)] = {cx + ex * ct - ey * st, cy + ex * st + ey * ct};
  }
  AddPolygon(points);
}

Rect ShapeCoverage::Bounds() const {
  if (m_edges.empty()) return {0, 0, -1, -1};
  double left = m_edges[0].x0, right = left, top = m_edges[0].y0, bottom = top;
  for (const Edge& e : m_edges) {
    left = std::min({left, e.x0, e.x1});
    right = std::max({right, e.x0, e.x1});
    top = std::min({top, e.y0, e.y1});
    bottom = std::max({bottom, e.y0, e.y1});
  }
  // Far-off coordinates are cut to what a surface can hold.
  auto cut = [](double v) { return std::clamp(v, -kLimit, kLimit); };
  return {static_cast<int32_t>(std::floor(cut(left))), static_cast<int32_t>(std::floor(cut(top))),
          static_cast<int32_t>(std::ceil(cut(right))) - 1, static_cast<int32_t>(std::ceil(cut(bottom))) - 1};
}

void ShapeCoverage::RenderBands(const Rect& bounds, bool antialias, FillRule rule, const BandSink& sink) const {
  const int32_t width = bounds.Width(), height = bounds.Height();
  // Edges top-down in the bounds' coordinates, each with its winding direction.
  std::vector<BandEdge> edges;
  edges.reserve(m_edges.size());
  for (const Edge& e : m_edges) {
    BandEdge b{e.x0 - bounds.left, e.y0 - bounds.top, e.x1 - bounds.left, e.y1 - bounds.top, 1.0f};
    if (b.y0 > b.y1) {
      std::swap(b.x0, b.x1);
      std::swap(b.y0, b.y1);
      b.direction = -1.0f;
    }
    if (b.y1 <= 0 || b.y0 >= height) continue;
    if (antialias)
      ClampEdge(b, width, edges);
    else
      edges.push_back(b);
  }
  std::sort(edges.begin(), edges.end(), [](const BandEdge& a, const BandEdge& b) { return a.y0 < b.y0; });

  std::vector<const BandEdge*> active;
  size_t next = 0;
  if (antialias) {
    Accumulator accumulator(width);
    for (int32_t top = 0; top < height; top += kBandRows) {
      const int32_t rows = std::min(kBandRows, height - top);
      while (next < edges.size() && edges[next].y0 < top + rows) active.push_back(&edges[next++]);
      std::erase_if(active, [top](const BandEdge* e) { return e->y1 <= top; });
      for (const BandEdge* e : active) accumulator.AddEdge(*e, top, rows);
      uint8_t* rowsOut = sink.rows(top, rows);
      accumulator.Resolve(rows, rowsOut, static_cast<size_t>(width), rule);
      if (sink.done) sink.done(top, rows, rowsOut);
    }
    return;
  }

  // Without anti-aliasing a pixel is inside when its centre is.
  struct Crossing {
    double x;
    int32_t direction;
  };
  std::vector<Crossing> crossings;
  for (int32_t top = 0; top < height; top += kBandRows) {
    const int32_t rows = std::min(kBandRows, height - top);
    uint8_t* rowsOut = sink.rows(top, rows);
    std::memset(rowsOut, 0, static_cast<size_t>(rows) * static_cast<size_t>(width));
    for (int32_t y = top; y < top + rows; ++y) {
      const double centre = y + 0.5;
      while (next < edges.size() && edges[next].y0 <= centre) active.push_back(&edges[next++]);
      std::erase_if(active, [centre](const BandEdge* e) { return e->y1 <= centre; });
      crossings.clear();
      for (const BandEdge* e : active)
        crossings.push_back({e->x0 + (centre - e->y0) * (e->x1 - e->x0) / (e->y1 - e->y0), e->direction > 0 ? 1 : -1});
      std::sort(crossings.begin(), crossings.end(), [](const Crossing& a, const Crossing& b) { return a.x < b.x; });
      uint8_t* row = rowsOut + static_cast<size_t>(y - top) * width;
      int32_t winding = 0;
      for (size_t i = 0; i + 1 < crossings.size(); ++i) {
        winding += crossings[i].direction;
        const bool inside = rule == FillRule::kEvenOdd ? (winding & 1) != 0 : winding != 0;
        if (!inside) continue;
        // Pixels whose centre x + 0.5 lies in [from, to).
        const double from = std::clamp(std::ceil(crossings[i].x - 0.5), 0.0, static_cast<double>(width));
        const double to = std::clamp(std::ceil(crossings[i + 1].x - 0.5), 0.0, static_cast<double>(width));
        if (to > from) std::memset(row + static_cast<size_t>(from), 255, static_cast<size_t>(to - from));
      }
    }
    if (sink.done) sink.done(top, rows, rowsOut);
  }
}

CoverageMask ShapeCoverage::Render(const Rect& clip, bool antialias, FillRule rule) const {
  CoverageMask mask;
  const Rect bounds = Bounds().Intersected(clip);
  if (bounds.IsEmpty()) return mask;
  mask.bounds = bounds;
  const size_t width = static_cast<size_t>(bounds.Width());
  mask.coverage.resize(width * static_cast<size_t>(bounds.Height()));
  RenderBands(bounds, antialias, rule,
              {[&](int32_t top, int32_t) { return mask.coverage.data() + static_cast<size_t>(top) * width; }, nullptr});
  return mask;
}

Rect FillShape(ImageSurface& target, const ShapeCoverage& shape, bool antialias, FillRule rule, uint32_t pixel,
               int32_t opacity) {
  const Size size = target.GetSize();
  const Rect bounds = shape.Bounds().Intersected({0, 0, size.width - 1, size.height - 1});
  if (bounds.IsEmpty() || opacity <= 0) return {0, 0, -1, -1};
  // A large shape on plain rows is rendered and painted in two halves, one per core, split at
  // a tile row so that no tile is backed up by both.
  constexpr int32_t kTile = ImageSurface::kTileSize;
  const int32_t middle = (bounds.top + bounds.Height() / 2) / kTile * kTile;
  const bool split = target.HasPlainRows() && int64_t{bounds.Width()} * bounds.Height() >= kTwoHalvesPixels &&
                     middle > bounds.top;
  const Rect halves[2] = {{bounds.left, bounds.top, bounds.right, split ? middle - 1 : bounds.bottom},
                          {bounds.left, middle, bounds.right, bounds.bottom}};
  std::mutex records;
  std::optional<PaintRows> painters[2];
  RunInTwoBands(split, 0, split ? 2 : 1, [&](int32_t first, int32_t end) {
    for (int32_t half = first; half < end; ++half) {
      const Rect& part = halves[half];
      // One band of coverage at a time, painted while it is still in the cache.
      const size_t width = static_cast<size_t>(part.Width());
      std::vector<uint8_t> band(width * kBandRows);
      PaintRows& painter = painters[half].emplace(target, pixel, opacity, part.left, part.Width(), &records);
      shape.RenderBands(part, antialias, rule,
                        {[&](int32_t, int32_t) { return band.data(); },
                         [&](int32_t top, int32_t rows, const uint8_t* cover) {
                           painter.Rows(part.top + top, rows, cover, width);
                         }});
    }
  });
  Rect changed{0, 0, -1, -1};
  for (std::optional<PaintRows>& painter : painters) {
    if (!painter) continue;
    changed = changed.United(painter->Finish());
  }
  return changed;
}

Rect FillOutline(ImageSurface& target, std::span<const ShapePoint> outline, uint32_t pixel, bool antialias,
                 FillRule rule, int32_t opacity) {
  if (outline.size() < 3) return {0, 0, -1, -1};
  ShapeCoverage coverage;
  coverage.AddPolygon(outline);
  return FillShape(target, coverage, antialias, rule, pixel, opacity);
}

void FlattenCubic(ShapePoint p0, ShapePoint p1, ShapePoint p2, ShapePoint p3, std::vector<ShapePoint>& out) {
  if (!Finite(p0) || !Finite(p1) || !Finite(p2) || !Finite(p3)) return;
  // With n equal steps a cubic strays at most 3/4 · L / n² from its chords, L the larger second
  // difference of the control points.
  const double l = std::max(std::hypot(p0.x - 2 * p1.x + p2.x, p0.y - 2 * p1.y + p2.y),
                            std::hypot(p1.x - 2 * p2.x + p3.x, p1.y - 2 * p2.y + p3.y));
  const double tolerance = 1.0 / 8;
  const int32_t n =
      std::clamp(static_cast<int32_t>(std::ceil(std::sqrt(0.75 * l / tolerance))), 1, kMaxCubicSegments);
  for (int32_t i = 1; i <= n; ++i) {
    const double t = static_cast<double>(i) / n, u = 1 - t;
    const double a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, d = t * t * t;
    out.push_back({a * p0.x + b * p1.x + c * p2.x + d * p3.x, a * p0.y + b * p1.y + c * p2.y + d * p3.y});
  }
}

Rect PaintCoverage(ImageSurface& target, const CoverageMask& mask, uint32_t pixel, int32_t opacity) {
  const Size size = target.GetSize();
  const Rect area = mask.bounds.Intersected({0, 0, size.width - 1, size.height - 1});
  if (area.IsEmpty() || opacity <= 0) return {0, 0, -1, -1};
  const size_t maskWidth = static_cast<size_t>(mask.bounds.Width());
  PaintRows painter(target, pixel, opacity, area.left, area.Width());
  // A tile row at a time, so its tiles are backed up together.
  for (int32_t y = area.top; y <= area.bottom;) {
    const int32_t end = std::min(area.bottom + 1, (y / ImageSurface::kTileSize + 1) * ImageSurface::kTileSize);
    painter.Rows(y, end - y,
                 mask.coverage.data() + static_cast<size_t>(y - mask.bounds.top) * maskWidth + (area.left - mask.bounds.left),
                 maskWidth);
    y = end;
  }
  return painter.Finish();
}

}  // namespace varnel
