#include "tools/gradient_tool.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <utility>

#include "brush/brush_tool.h"
#include "core/bands.h"
#include "core/blend.h"
#include "tools/brush_path.h"
#include "tools/line_tool.h"

namespace varnel {
namespace {

using Settings = GradientSettings;

const ToolStateKey<Settings> kKeys[] = {
    {"Shape", &Settings::shape},
    {"Pattern", &Settings::pattern},
    {"DrawMode", &Settings::drawing},
};

constexpr Rect kNothing{0, 0, -1, -1};

// Below this many pixels a second thread costs more than it saves.
constexpr int64_t kTwoBandPixels = int64_t{1} << 18;
// A band painted aside is written with one SetRect: as many rows as keep it near this many
// pixels, at most one tile row.
constexpr int64_t kBandPixels = int64_t{1} << 16;
// Rows that are the row above moved by at most this many pixels are copied from it.
constexpr int64_t kMaxRowShift = 16;

// Products of int32 coordinates reach 2^65: the line's arithmetic is done in 128 bits.
using Wide = __int128;

// Quotients rounded toward minus infinity, for b > 0.
template <typename Integer>
Integer FloorDiv(Integer a, Integer b) {
  Integer q = a / b;
  if (a % b != 0 && a < 0) --q;
  return q;
}

Wide CeilDiv(Wide a, Wide b) { return -FloorDiv<Wide>(-a, b); }

int32_t HeldPosition(Wide along, Wide length) {
  if (along <= 0) return 0;
  if (along >= length) return kGradientSteps;
  return static_cast<int32_t>(along * kGradientSteps / length);
}

// The line prepared for rows: pixel x of row y lies at along = c + x dx with c linear in y, and
// its position is floor(along × 65536 / length). Along a row the position is stepped as a
// fraction with a whole part and a remainder below length, so no pixel divides.
class LineSteps {
 public:
  explicit LineSteps(const GradientLine& line)
      : m_x0(line.x0), m_y0(line.y0), m_dx(int64_t{line.x1} - line.x0), m_dy(int64_t{line.y1} - line.y0),
        m_length(Wide{m_dx} * m_dx + Wide{m_dy} * m_dy) {
    if (m_length == 0) return;
    const Wide step = Wide{m_dx} * kGradientSteps;
    m_whole = static_cast<int64_t>(FloorDiv<Wide>(step, m_length));
    m_remainder = step - Wide{m_whole} * m_length;
  }
  bool HasLength() const { return m_length != 0; }
  // When dx divides dy, a row is the one above moved by dy / dx pixels (along grows by dy from
  // row to row, by dx from column to column): the shift, for shifts up to limit; 0 for a line
  // across, whose rows are all alike.
  std::optional<int64_t> RowShift(int64_t limit) const {
    if (m_dx == 0 || m_dy % m_dx != 0 || m_dy / m_dx < -limit || m_dy / m_dx > limit) return std::nullopt;
    return m_dy / m_dx;
  }

  // The count pixels from (left, y): map(position) of each into out.
  template <typename Out, typename Map>
  void Row(Map map, int32_t left, int32_t y, int32_t count, Out* out) const {
    const Wide c = Wide{int64_t{left} - m_x0} * m_dx + Wide{int64_t{y} - m_y0} * m_dy;
    if (m_dx == 0) {
      std::fill_n(out, count, map(HeldPosition(c, m_length)));
      return;
    }
    // [begin, end): the pixels with 0 <= along < length; the rest take an end's colour.
    Wide begin, end;
    Out first, last;
    if (m_dx > 0) {
      begin = CeilDiv(-c, m_dx);
      end = CeilDiv(m_length - c, m_dx);
      first = map(0);
      last = map(kGradientSteps);
    } else {
      begin = FloorDiv<Wide>(c - m_length, -m_dx) + 1;
      end = FloorDiv<Wide>(c, -m_dx) + 1;
      first = map(kGradientSteps);
      last = map(0);
    }
    const int32_t b = static_cast<int32_t>(std::clamp<Wide>(begin, 0, count));
    const int32_t e = static_cast<int32_t>(std::clamp<Wide>(end, b, count));
    std::fill_n(out, b, first);
    std::fill_n(out + e, count - e, last);
    if (b == e) return;
    const Wide along = (c + Wide{b} * m_dx) * kGradientSteps;
    const int64_t position = static_cast<int64_t>(along / m_length);
    const Wide remainder = along - Wide{position} * m_length;
    // Below 2^62 the remainder and its step stay in 64 bits, with a carry bit to spare.
    if (m_length < (Wide{1} << 62))
      Step<uint64_t>(map, position, remainder, out + b, e - b);
    else
      Step<unsigned __int128>(map, position, remainder, out + b, e - b);
  }

 private:
  template <typename Remainder, typename Out, typename Map>
  void Step(Map map, int64_t position, Wide remainder, Out* out, int32_t count) const {
    const auto length = static_cast<Remainder>(m_length);
    const auto step = static_cast<Remainder>(m_remainder);
    auto r = static_cast<Remainder>(remainder);
    // Exact arithmetic keeps every position within 0…65535 here. The positions only rise (or
    // only fall), so the two ends vouch for the run and the table needs no guard per pixel.
    const Wide last = position + Wide{count - 1} * m_whole + (remainder + Wide{count - 1} * m_remainder) / m_length;
    const bool inside = position >= 0 && position <= kGradientSteps && last >= 0 && last <= kGradientSteps;
    const auto advance = [&] {
      position += m_whole;
      r += step;
      if (r >= length) {
        r -= length;
        ++position;
      }
    };
    if (inside) {
      for (int32_t i = 0; i < count; ++i) {
        out[i] = map(static_cast<int32_t>(position));
        advance();
      }
      return;
    }
    for (int32_t i = 0; i < count; ++i) {
      out[i] = map(static_cast<int32_t>(std::min<uint64_t>(static_cast<uint64_t>(position), kGradientSteps)));
      advance();
    }
  }

  int64_t m_x0, m_y0, m_dx, m_dy;
  Wide m_length;
  int64_t m_whole = 0;   // floor(dx × 65536 / length)
  Wide m_remainder = 0;  // dx × 65536 − whole × length, 0 <= it < length
};

uint8_t Channel(uint32_t pixel, int shift) { return static_cast<uint8_t>(pixel >> shift); }

GradientPatternSource& PatternSource() {
  static GradientPatternSource source;
  return source;
}

}  // namespace

void GradientSettings::WriteToolState(ToolStateWriter& writer) const {
  WriteToolStateKeys<Settings>(writer, kKeys, *this);
}

void GradientSettings::ReadToolState(ToolStateReader& reader) {
  ReadToolStateKeys<Settings>(reader, kKeys, *this);
  shape = std::clamp(shape, kGradientShapeLinear, kGradientShapeUser);
  pattern = std::max(pattern, 0);
  drawing = std::clamp(drawing, kGradientDrawSolid, kGradientDrawBrush);
}

GradientSettings& ProgramGradientSettings() {
  static GradientSettings settings;
  return settings;
}

void SetProgramGradientPatterns(GradientPatternSource source) { PatternSource() = std::move(source); }

std::optional<GradientPattern> ProgramGradientPattern(int32_t index) {
  const GradientPatternSource& source = PatternSource();
  if (!source || index < 0) return std::nullopt;
  return source(index);
}

int32_t GradientPosition(const GradientLine& line, int32_t x, int32_t y) {
  const int64_t dx = int64_t{line.x1} - line.x0, dy = int64_t{line.y1} - line.y0;
  const Wide length = Wide{dx} * dx + Wide{dy} * dy;
  if (length == 0) return -1;
  return HeldPosition(Wide{int64_t{x} - line.x0} * dx + Wide{int64_t{y} - line.y0} * dy, length);
}

void GradientRowPositions(const GradientLine& line, int32_t left, int32_t y, int32_t count, int32_t* positions) {
  if (count <= 0 || positions == nullptr) return;
  const LineSteps steps(line);
  if (!steps.HasLength()) {
    std::fill_n(positions, count, -1);
    return;
  }
  steps.Row([](int32_t position) { return position; }, left, y, count, positions);
}

std::vector<uint32_t> GradientTable(std::span<const GradientStop> stops) {
  std::vector<uint32_t> table(static_cast<size_t>(kGradientSteps) + 1, 0);
  if (stops.empty()) return table;
  GradientPattern sorted(stops.begin(), stops.end());
  for (GradientStop& stop : sorted) stop.position = std::clamp(stop.position, 0, kGradientStopScale);
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const GradientStop& a, const GradientStop& b) { return a.position < b.position; });
  size_t reached = 0;  // the stops at or before the position
  for (int64_t p = 0; p <= kGradientSteps; ++p) {
    const int64_t at = p * kGradientStopScale;
    while (reached < sorted.size() && int64_t{sorted[reached].position} * kGradientSteps <= at) ++reached;
    uint32_t& entry = table[static_cast<size_t>(p)];
    if (reached == 0) {
      entry = sorted.front().pixel;
    } else if (reached == sorted.size()) {
      entry = sorted.back().pixel;
    } else {
      const GradientStop& a = sorted[reached - 1];
      const GradientStop& b = sorted[reached];
      const int64_t n = at - int64_t{a.position} * kGradientSteps;
      const int64_t d = int64_t{b.position - a.position} * kGradientSteps;
      entry = 0;
      for (int shift = 0; shift < 32; shift += 8) {
        const int64_t from = Channel(a.pixel, shift), to = Channel(b.pixel, shift);
        const int64_t value = from + FloorDiv<int64_t>(2 * (to - from) * n + d, 2 * d);
        entry |= static_cast<uint32_t>(value) << shift;
      }
    }
  }
  return table;
}

GradientPattern LinearPattern(ColourRef foreground, ColourRef background) {
  return {{0, ToPixel(foreground, 255)}, {kGradientStopScale, ToPixel(background, 255)}};
}

Rect PaintGradient(ImageSurface& target, const Rect& area, const GradientPaint& paint) {
  const Size size = target.GetSize();
  if (size.width <= 0 || size.height <= 0 || paint.stops.empty()) return kNothing;
  const Rect rect = area.Normalized().Intersected({0, 0, size.width - 1, size.height - 1});
  const LineSteps line(paint.line);
  if (rect.IsEmpty() || !line.HasLength()) return kNothing;

  const bool brush = paint.drawing == kGradientDrawBrush;
  std::vector<uint32_t> table = GradientTable(paint.stops);
  if (!brush)
    for (uint32_t& pixel : table) pixel |= 0xFF000000u;
  const int32_t opacity = std::clamp(paint.opacity, 0, 256);
  const auto colour = [&table](int32_t position) { return table[static_cast<size_t>(position)]; };

  const int32_t width = rect.Width();
  // On a surface with plain rows each band is one tile row, written in place: its tiles are
  // backed up first while the band's pixels come into the cache, and the two threads never share
  // a tile. Otherwise (a selection in between) a band is painted aside and written with SetRect.
  const bool direct = target.HasPlainRows();
  constexpr int32_t kTile = ImageSurface::kTileSize;
  const int32_t bandRows =
      direct ? kTile : static_cast<int32_t>(std::clamp<int64_t>(kBandPixels / width, 1, kTile));
  const int32_t firstRow = direct ? rect.top / kTile * kTile : rect.top;
  const int32_t bands = (rect.bottom - firstRow) / bandRows + 1;
  const size_t bandPixels = static_cast<size_t>(width) * static_cast<size_t>(bandRows);
  // The surface's records (its backups and dirty rectangle) take one writer at a time; the
  // gradient of the next band is worked out meanwhile.
  std::mutex surface;
  const bool split = int64_t{width} * rect.Height() >= kTwoBandPixels;
  // Rows moved copies of the one above are copied, not stepped again.
  const std::optional<int64_t> shift = line.RowShift(kMaxRowShift);
  RunInTwoBands(split, 0, bands, [&](int32_t firstBand, int32_t endBand) {
    std::vector<uint32_t> upper(direct && !brush ? 0 : bandPixels);
    std::vector<uint32_t> lower(brush && !direct ? bandPixels : 0);
    std::vector<uint8_t> coverage(brush ? static_cast<size_t>(width) : 0);
    std::vector<uint32_t> moved(shift && *shift != 0 ? static_cast<size_t>(width + kMaxRowShift * bandRows) : 0);
    std::vector<uint32_t> same(shift && *shift == 0 ? static_cast<size_t>(width) : 0);
    std::vector<TileBackup*> backups;
    if (!same.empty()) line.Row(colour, rect.left, rect.top, width, same.data());
    for (int32_t band = firstBand; band < endBand; ++band) {
      const int32_t top = std::max(rect.top, firstRow + band * bandRows);
      const Rect rows{rect.left, top, rect.right, std::min(rect.bottom, firstRow + (band + 1) * bandRows - 1)};
      const int32_t count = rows.Height();
      if (direct) {
        target.CopyUnsavedTiles(rows, backups);
        std::lock_guard lock(surface);
        target.KeepBackups(backups);
      }
      // Where row r of the band's gradient goes: the layer's row itself, or the band aside.
      const auto out = [&](int32_t r) {
        return direct && !brush ? target.Row(top + r) + rect.left : upper.data() + static_cast<size_t>(r) * width;
      };
      if (!shift) {
        for (int32_t r = 0; r < count; ++r) line.Row(colour, rect.left, top + r, width, out(r));
      } else if (*shift != 0) {
        // The first row of the band widened by the shifts of the rows below, then a window of it
        // per row.
        const int64_t reach = int64_t{count - 1} * *shift;
        const int64_t from = rect.left + std::min<int64_t>(0, reach);
        line.Row(colour, static_cast<int32_t>(from), top, width + static_cast<int32_t>(std::abs(reach)), moved.data());
        for (int32_t r = 0; r < count; ++r) std::copy_n(moved.data() + (rect.left + r * *shift - from), width, out(r));
      } else {
        for (int32_t r = 0; r < count; ++r) std::copy_n(same.data(), width, out(r));
      }
      if (!brush) {
        if (!direct) {
          std::lock_guard lock(surface);
          target.SetRect(rows, upper.data());
        }
        continue;
      }
      if (!direct) {
        std::lock_guard lock(surface);
        target.GetRect(rows, lower.data());
      }
      for (int32_t r = 0; r < count; ++r) {
        const size_t offset = static_cast<size_t>(r) * width;
        uint32_t* below = direct ? target.Row(top + r) + rect.left : lower.data() + offset;
        CoverageFromAlpha(upper.data() + offset, coverage.data(), static_cast<size_t>(width));
        MergeRun(ModeNumber(BlendMode::kNormal), below, upper.data() + offset, coverage.data(), opacity, below,
                 static_cast<size_t>(width));
      }
      if (!direct) {
        std::lock_guard lock(surface);
        target.SetRect(rows, lower.data());
      }
    }
  });
  if (direct) target.AddDirtyRect(rect.left, rect.top, rect.right, rect.bottom);
  target.SetModified();
  return rect;
}

GradientTool::GradientTool(Canvas& canvas, GradientSettings& settings, std::function<BrushEngine*()> brush,
                           GradientPatternSource patterns)
    : m_canvas(canvas),
      m_settings(settings),
      m_brush(brush ? std::move(brush) : std::function<BrushEngine*()>(ProgramBrush)),
      m_patterns(patterns ? std::move(patterns) : GradientPatternSource(ProgramGradientPattern)) {}

void GradientTool::Track(const ToolEvent& event) {
  m_line.x1 = event.x;
  m_line.y1 = event.y;
  if ((event.flags & kToolShift) != 0) ConstrainTo45Degrees(m_line.x0, m_line.y0, m_line.x1, m_line.y1);
}

bool GradientTool::ButtonDown(const ToolEvent& event) {
  if (event.surface == nullptr) return false;
  m_dragging = true;
  m_line = {event.x, event.y, event.x, event.y};
  return true;
}

bool GradientTool::Move(const ToolEvent& event) {
  if (!m_dragging) return false;
  Track(event);
  return true;
}

std::optional<GradientPattern> GradientTool::Pattern() const {
  if (m_settings.shape == kGradientShapeLinear) return LinearPattern(m_foreground, m_background);
  return m_patterns(m_settings.pattern);
}

bool GradientTool::ButtonUp(const ToolEvent& event) {
  if (!m_dragging) return false;
  m_dragging = false;
  Track(event);
  if (event.surface == nullptr) return false;
  std::optional<GradientPattern> stops = Pattern();
  if (!stops || stops->empty()) return false;
  GradientPaint paint{m_line, std::move(*stops), m_settings.drawing, 256};
  if (paint.drawing == kGradientDrawBrush) {
    if (const BrushEngine* brush = m_brush()) paint.opacity = brush->BaseOpacity();
  }
  // Only what the selection covers can change.
  Rect area{0, 0, event.surface->GetSize().width - 1, event.surface->GetSize().height - 1};
  if (const Region* selection = m_canvas.Selection())
    area = selection->Bounds().Offset(-m_canvas.EditOffsetX(), -m_canvas.EditOffsetY());
  const Rect changed = PaintGradient(*event.surface, area, paint);
  if (changed.IsEmpty()) return false;
  FinishTargetChange(m_canvas, *event.surface, changed);
  return true;
}

bool GradientTool::KeyMessage(int32_t message, int32_t key, int32_t, uint32_t) {
  if (message != kToolKeyDown || key != kKeyEscape || !m_dragging) return false;
  m_dragging = false;
  return true;
}

std::vector<FeedbackPath> GradientTool::Feedback() const {
  if (!m_dragging) return {};
  const double ox = m_canvas.EditOffsetX() + 0.5, oy = m_canvas.EditOffsetY() + 0.5;
  return {{{{m_line.x0 + ox, m_line.y0 + oy}, {m_line.x1 + ox, m_line.y1 + oy}}, false}};
}

void GradientTool::SetColours(ColourRef foreground, ColourRef background) {
  m_foreground = foreground;
  m_background = background;
}

}  // namespace varnel
