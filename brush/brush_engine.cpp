#include "brush/brush_engine.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "brush/brush_settings.h"

namespace varnel {
namespace {

constexpr double kDiagonalStep = 1.4142135623730951;  // √2

int32_t Truncate(double value) { return static_cast<int32_t>(value); }

int32_t Sign(int64_t value) { return value > 0 ? 1 : (value < 0 ? -1 : 0); }

// A line from (x0, y0) over (dx, dy): position i along the major axis, the minor coordinate
// rounded half up from the start, so every step moves the major coordinate by one and the
// minor one by at most one.
struct LineWalk {
  int64_t x0, y0, dx, dy, steps;
  void At(int64_t i, int64_t& x, int64_t& y) const {
    if (steps == 0) {
      x = x0;
      y = y0;
      return;
    }
    const int64_t ax = std::llabs(dx), ay = std::llabs(dy);
    if (ax >= ay) {
      x = x0 + Sign(dx) * i;
      y = y0 + Sign(dy) * ((2 * i * ay + steps) / (2 * steps));
    } else {
      y = y0 + Sign(dy) * i;
      x = x0 + Sign(dx) * ((2 * i * ax + steps) / (2 * steps));
    }
  }
};

// The anti-aliased footprint: edge sub-pixels 180, inner ones 255, corners 0.
constexpr uint8_t kFootprint[4][4] = {
    {0, 180, 180, 0},
    {180, 255, 255, 180},
    {180, 255, 255, 180},
    {0, 180, 180, 0},
};

}  // namespace

Size PressureSize(Size full, int32_t minimumPercent, int32_t pressure, const Size* smoothFrom) {
  const int64_t p = std::clamp(pressure, 0, 256);
  const int64_t minWidth = (static_cast<int64_t>(minimumPercent) * full.width + 50) / 100;
  const int64_t minHeight = (static_cast<int64_t>(minimumPercent) * full.height + 50) / 100;
  int64_t w = (minWidth * (256 - p) + static_cast<int64_t>(full.width) * p + 128) / 256;
  int64_t h = (minHeight * (256 - p) + static_cast<int64_t>(full.height) * p + 128) / 256;
  if (smoothFrom != nullptr) {
    w = (smoothFrom->width + w) / 2;
    h = (smoothFrom->height + h) / 2;
  }
  return {static_cast<int32_t>(std::clamp<int64_t>(w, 1, kMaxBrushSide)),
          static_cast<int32_t>(std::clamp<int64_t>(h, 1, kMaxBrushSide))};
}

bool RepeatEdgePixels(Size surface, const Rect& rect, uint32_t* buffer) {
  const Rect clipped{std::max(rect.left, 0), std::max(rect.top, 0), std::min(rect.right, surface.width - 1),
                     std::min(rect.bottom, surface.height - 1)};
  if (clipped.left > clipped.right || clipped.top > clipped.bottom) return false;
  if (clipped == rect) return true;
  const size_t w = static_cast<size_t>(rect.Width());
  const int32_t first = clipped.left - rect.left, last = clipped.right - rect.left;
  for (int32_t y = clipped.top; y <= clipped.bottom; ++y) {
    uint32_t* row = buffer + static_cast<size_t>(y - rect.top) * w;
    std::fill(row, row + first, row[first]);
    std::fill(row + last + 1, row + w, row[last]);
  }
  const uint32_t* topRow = buffer + static_cast<size_t>(clipped.top - rect.top) * w;
  for (int32_t y = rect.top; y < clipped.top; ++y)
    std::memcpy(buffer + static_cast<size_t>(y - rect.top) * w, topRow, sizeof(uint32_t) * w);
  const uint32_t* bottomRow = buffer + static_cast<size_t>(clipped.bottom - rect.top) * w;
  for (int32_t y = clipped.bottom + 1; y <= rect.bottom; ++y)
    std::memcpy(buffer + static_cast<size_t>(y - rect.top) * w, bottomRow, sizeof(uint32_t) * w);
  return true;
}

bool ReadClamped(const ImageSurface& surface, const Rect& rect, uint32_t* buffer) {
  if (surface.GetRect(rect, buffer) == 0) return false;
  return RepeatEdgePixels(surface.GetSize(), rect, buffer);
}

BrushEngine::BrushEngine(int32_t kind, Size size) : m_kind(kind) {
  m_size = {std::clamp(size.width, 1, kMaxBrushSide), std::clamp(size.height, 1, kMaxBrushSide)};
  DabBuffers::Shared().Reserve(m_size.width, m_size.height);
}

BrushEngine::~BrushEngine() = default;

const char* BrushEngine::Name() const { return BrushKindLabel(m_kind); }

void BrushEngine::DrawCursor(DrawContext& dc, int32_t x, int32_t y, Rect* bounds, double zoom) {
  const int32_t w = Truncate(std::clamp(m_size.width * zoom, 0.0, 1e6));
  const int32_t h = Truncate(std::clamp(m_size.height * zoom, 0.0, 1e6));
  const Rect outline{x - w / 2, y - h / 2, x - w / 2 + w, y - h / 2 + h};
  if (m_kind == kBrushNormal || m_kind == kBrushRainbow) {
    dc.Rectangle(outline);
  } else {
    dc.Ellipse(outline);
  }
  if (bounds != nullptr) *bounds = outline;
}

void BrushEngine::SetColours(ColourRef foreground, ColourRef background) {
  // Kept as pixel colours with alpha 0; the kinds add the alpha they paint with.
  m_toolForeground = m_foreground = ToPixel(foreground, 0);
  m_background = ToPixel(background, 0);
  if (m_colourMask) m_colourMask->SetBackground(m_background);
}

void BrushEngine::SetColourMask(std::unique_ptr<ColourMask> mask) {
  m_colourMask = std::move(mask);
  if (m_colourMask) m_colourMask->SetBackground(m_background);
}

void BrushEngine::SetCloneColour(bool on, std::shared_ptr<const ImageSurface> source) {
  m_cloneColour = on;
  m_cloneSource = std::move(source);
}

void BrushEngine::SetBrushSize(int32_t width, int32_t height) {
  m_size = {std::clamp(width, 1, kMaxBrushSide), std::clamp(height, 1, kMaxBrushSide)};
  DabBuffers::Shared().Reserve(m_size.width, m_size.height);
  OnSizeChanged();
}

bool BrushEngine::Kernel(ImageSurface&, const Rect&, const uint32_t*, uint32_t*) { return false; }

bool BrushEngine::ColourAndMask(ImageSurface&, const Rect&, const uint32_t*, uint32_t*, uint8_t*) { return false; }

Rect BrushEngine::DabRect(int32_t x, int32_t y) const {
  const int32_t left = x - m_size.width / 2;
  const int32_t top = y - m_size.height / 2;
  return {left, top, left + m_size.width - 1, top + m_size.height - 1};
}

void BrushEngine::TakeCloneColour(int32_t x, int32_t y) {
  if (!m_cloneSource) return;
  const Size size = m_cloneSource->GetSize();
  if (size.width < 1 || size.height < 1) return;
  // The source repeats in both directions, left of and above the origin too.
  int32_t sx = x % size.width;
  int32_t sy = y % size.height;
  if (sx < 0) sx += size.width;
  if (sy < 0) sy += size.height;
  uint32_t pixel;
  if (m_cloneSource->GetPixel(sx, sy, &pixel)) m_foreground = pixel & 0x00FFFFFFu;
}

int32_t BrushEngine::StrokeOpacity(int32_t pressure) const {
  const int32_t q = m_pressureOpacity && pressure <= 256 ? std::max(pressure, 0) : 256;
  return (m_baseOpacity * q) >> 8;
}

WatercolourBuffer* BrushEngine::WetPaint(ImageSurface& layer, bool create) {
  if (WatercolourBuffer* own = WatercolourBuffer::Of(layer, create)) return own;
  if (!m_strokeWetPaint && create) m_strokeWetPaint = std::make_unique<WatercolourBuffer>();
  return m_strokeWetPaint.get();
}

void BrushEngine::DryWetPaint(ImageSurface& layer) {
  if (WatercolourBuffer* own = WatercolourBuffer::Of(layer, false)) own->Dry();
  m_strokeWetPaint.reset();
}

void BrushEngine::BeginStroke(ImageSurface& layer, int32_t x, int32_t y, int32_t pressure, bool ctrlDown) {
  if (!m_idle) return;
  if (ctrlDown) {
    if (openColourSurface) openColourSurface(x, y);
    return;
  }
  m_idle = 0;
  if (m_watercolour) WetPaint(layer, true)->Start(layer);
  if (m_colourMask) m_colourMask->TakeReference(layer, x, y);
  m_distance = 0.0;
  if (m_cloneColour) TakeCloneColour(x, y);
  if (m_fullWidth < 0 || m_fullHeight < 0) {
    m_fullWidth = m_size.width;
    m_fullHeight = m_size.height;
  }
  if (m_pressureSizing) {
    const Size pressed = PressureSize(FullSize(), m_minimumSize, pressure, nullptr);
    if (pressed != m_size) SetBrushSize(pressed.width, pressed.height);
  }
  OnStrokeBegins();
  const int32_t opacity = m_pressureOpacity ? (m_baseOpacity * std::min(pressure, 256)) >> 8 : m_baseOpacity;
  DrawDab(layer, x, y, opacity);
  m_lastX = x;
  m_lastY = y;
}

void BrushEngine::StrokeTo(ImageSurface& layer, int32_t x, int32_t y, int32_t pressure) {
  if (m_idle) return;
  // Half way from the last dab to the pointer: the brush trails the pen and smooths its path.
  const int32_t tx = Truncate((x + m_lastX + 1.0) * 0.5);
  const int32_t ty = Truncate((y + m_lastY + 1.0) * 0.5);
  if (m_cloneColour) TakeCloneColour(tx, ty);
  const Size target = m_pressureSizing ? PressureSize(FullSize(), m_minimumSize, pressure, &m_size) : m_size;
  const int32_t opacity = StrokeOpacity(pressure);
  if (m_antiAlias) {
    if (target != m_size) SetBrushSize(target.width, target.height);
    WalkAntiAliasedPath(layer, tx, ty, opacity);
  } else {
    WalkSpacedPath(layer, tx, ty, target, opacity);
  }
}

void BrushEngine::WalkSpacedPath(ImageSurface& layer, int32_t tx, int32_t ty, Size target, int32_t opacity) {
  const int32_t x0 = Truncate(m_lastX);
  const int32_t y0 = Truncate(m_lastY);
  const LineWalk line{x0, y0, static_cast<int64_t>(tx) - x0, static_cast<int64_t>(ty) - y0,
                      std::max(std::llabs(static_cast<int64_t>(tx) - x0), std::llabs(static_cast<int64_t>(ty) - y0))};
  const int64_t n = line.steps;
  const Size start = m_size;
  // The size moves by at most one pixel per step toward the target.
  const int64_t d = std::max({static_cast<int64_t>(std::abs(start.width - target.width)) + 1,
                              static_cast<int64_t>(std::abs(start.height - target.height)) + 1, n + 1});
  int64_t x = x0, y = y0;
  for (int64_t i = 0; i <= n; ++i) {
    const int64_t w = start.width - static_cast<int64_t>(start.width - target.width) * (i + 1) / d;
    const int64_t h = start.height - static_cast<int64_t>(start.height - target.height) * (i + 1) / d;
    const Size size{static_cast<int32_t>(std::max<int64_t>(w, 1)), static_cast<int32_t>(std::max<int64_t>(h, 1))};
    if (size != m_size) SetBrushSize(size.width, size.height);
    const double threshold = std::trunc(((m_size.width + m_size.height + 1) / 2) * m_spacing);
    if (m_distance >= threshold) {
      if (m_cloneColour) TakeCloneColour(static_cast<int32_t>(x), static_cast<int32_t>(y));
      if (x != x0 || y != y0) {
        DrawDab(layer, static_cast<int32_t>(x), static_cast<int32_t>(y), opacity);
        m_lastX = static_cast<double>(x);
        m_lastY = static_cast<double>(y);
      }
      m_distance = 0.0;
    }
    // The step to the next position; the one after the end point is counted too.
    int64_t nextX = x, nextY = y;
    if (n == 0) {
      nextX = x + 1;
    } else {
      line.At(i + 1, nextX, nextY);
    }
    m_distance += (nextX != x && nextY != y) ? kDiagonalStep : 1.0;
    x = nextX;
    y = nextY;
  }
}

void BrushEngine::WalkAntiAliasedPath(ImageSurface& layer, int32_t tx, int32_t ty, int32_t opacity) {
  const int32_t x0 = Truncate(m_lastX);
  const int32_t y0 = Truncate(m_lastY);
  const int32_t left = std::min(x0, tx), right = std::max(x0, tx);
  const int32_t top = std::min(y0, ty), bottom = std::max(y0, ty);
  const int64_t pixelsAcross = static_cast<int64_t>(right) - left + 1;
  // Sub-pixel cells: pixel p covers cells 4p … 4p + 3 (plus one spare cell on each side); a
  // line point sits at 4p + 1 + 1 so its footprint (point − 1 … point + 2) covers the pixel.
  const int64_t cellsAcross = pixelsAcross * 4 + 2;
  const int64_t sx0 = (static_cast<int64_t>(x0) - left) * 4 + 2;
  const int64_t sy0 = (static_cast<int64_t>(y0) - top) * 4 + 2;
  const int64_t sdx = (static_cast<int64_t>(tx) - x0) * 4;
  const int64_t sdy = (static_cast<int64_t>(ty) - y0) * 4;
  const LineWalk line{sx0, sy0, sdx, sdy, std::max(std::llabs(sdx), std::llabs(sdy))};
  const int64_t n = line.steps;
  // The cell rows of one pixel row at a time, so a long segment never needs the whole box.
  // The steps are visited in the order that makes their row non-decreasing.
  const bool upward = sdy < 0;
  auto stepAt = [&](int64_t k, int64_t& sx, int64_t& sy) { line.At(upward ? n - k : k, sx, sy); };
  m_antiAliasCells.assign(static_cast<size_t>(cellsAcross) * 4, 0);
  int64_t first = 0;
  int64_t minCell = cellsAcross, maxCell = -1;
  for (int64_t py = 0; py <= static_cast<int64_t>(bottom) - top; ++py) {
    const int64_t rowTop = py * 4 + 1;  // cell rows of this pixel row: rowTop … rowTop + 3
    // Only the columns the previous row stamped need clearing.
    if (maxCell >= 0) {
      for (int v = 0; v < 4; ++v) {
        uint8_t* row = m_antiAliasCells.data() + v * cellsAcross;
        std::fill(row + minCell, row + maxCell + 1, 0);
      }
    }
    minCell = cellsAcross;
    maxCell = -1;
    int64_t sx, sy;
    // Steps whose footprint (sy − 1 … sy + 2) ends above this row are done for good.
    while (first <= n) {
      stepAt(first, sx, sy);
      if (sy + 2 >= rowTop) break;
      ++first;
    }
    for (int64_t k = first; k <= n; ++k) {
      stepAt(k, sx, sy);
      if (sy - 1 > rowTop + 3) break;
      for (int v = 0; v < 4; ++v) {
        const int64_t cellRow = sy - 1 + v - rowTop;
        if (cellRow < 0 || cellRow > 3) continue;
        uint8_t* row = m_antiAliasCells.data() + cellRow * cellsAcross;
        for (int u = 0; u < 4; ++u) {
          uint8_t& cell = row[sx - 1 + u];
          cell = std::max(cell, kFootprint[v][u]);
        }
      }
      minCell = std::min(minCell, sx - 1);
      maxCell = std::max(maxCell, sx + 2);
    }
    if (maxCell < 0) continue;
    const int64_t firstPixel = std::max<int64_t>(0, (minCell - 1) / 4);
    const int64_t lastPixel = std::min<int64_t>(pixelsAcross - 1, (maxCell - 1) / 4);
    for (int64_t px = firstPixel; px <= lastPixel; ++px) {
      int32_t sum = 0;
      for (int v = 0; v < 4; ++v) {
        const uint8_t* cells = m_antiAliasCells.data() + v * cellsAcross + px * 4 + 1;
        sum += cells[0] + cells[1] + cells[2] + cells[3];
      }
      const int32_t coverage = (sum + 8) / 16;
      if (coverage > 0)
        DrawDab(layer, static_cast<int32_t>(left + px), static_cast<int32_t>(top + py), (coverage * opacity + 127) / 255);
    }
  }
  m_lastX = tx;
  m_lastY = ty;
}

void BrushEngine::EndStroke(ImageSurface& layer) {
  if (!m_idle) {
    if (m_dryMode == kDryAtStrokeEnd) {
      DryWetPaint(layer);
    } else {
      if (WatercolourBuffer* own = WatercolourBuffer::Of(layer, false)) own->Seal(layer);
      // Wet paint of a surface that is no layer lasts one stroke only.
      m_strokeWetPaint.reset();
    }
    layer.SetModified();
    if (m_pressureSizing && m_fullWidth >= 0 && m_fullHeight >= 0) {
      SetBrushSize(m_fullWidth, m_fullHeight);
      m_fullWidth = m_fullHeight = -1;
    }
    if (m_cloneColour) m_foreground = m_toolForeground;
  }
  m_idle = 1;
}

void BrushEngine::DryCommand(ImageSurface& layer) {
  if (m_dryMode == kDryOnCommand) DryWetPaint(layer);
}

void BrushEngine::DrawPoint(ImageSurface& layer) {
  const Size size = layer.GetSize();
  DrawDab(layer, (size.width - 2) / 2, (size.height - 2) / 2, 256);
}

bool BrushEngine::ReadOld(ImageSurface& layer, const Rect& rect, uint32_t* old, WatercolourBuffer* wet) {
  if (wet == nullptr) return ReadClamped(layer, rect, old);
  wet->Read(layer, rect, old);
  return RepeatEdgePixels(layer.GetSize(), rect, old);
}

void BrushEngine::DrawDab(ImageSurface& layer, int32_t x, int32_t y, int32_t opacity) {
  if (opacity <= 0) return;
  opacity = std::min(opacity, 256);
  const Rect rect = DabRect(x, y);
  const size_t count = static_cast<size_t>(m_size.width) * static_cast<size_t>(m_size.height);
  DabBuffers& buffers = DabBuffers::Shared();
  buffers.Reserve(m_size.width, m_size.height);
  uint32_t* old = buffers.Old();
  uint32_t* result = buffers.Result();
  WatercolourBuffer* wet = m_watercolour && !m_idle ? WetPaint(layer, true) : nullptr;
  if (!ReadOld(layer, rect, old, wet)) {
    // Nothing lands on the layer, but the kind's rule still runs: a rainbow's hue, a smudge's
    // pick-up and the random dabs move on with every dab, on the layer or beside it.
    if (!ColourAndMask(layer, rect, old, buffers.Colour(), buffers.Mask())) Kernel(layer, rect, old, result);
    return;
  }
  const ColourMask* colourMask = m_colourMask.get();
  if (ColourAndMask(layer, rect, old, buffers.Colour(), buffers.Mask())) {
    ComposeDab(count, result, old, buffers.Colour(), buffers.Mask(), opacity, m_composeMode, colourMask, m_affectAlpha);
    if (wet != nullptr) FinishDab(count, old, result, opacity, colourMask, m_affectAlpha);
  } else {
    if (!Kernel(layer, rect, old, result)) return;
    FinishDab(count, old, result, opacity, colourMask, m_affectAlpha);
  }
  if (wet != nullptr) {
    // The wet paint takes the dab at full strength; the paper takes the wet paint at the
    // watercolour level.
    wet->Write(layer, rect, result);
    wet->ReadCombined(layer, rect, old);
    FinishDab(count, old, result, m_watercolourLevel, colourMask, m_affectAlpha);
  }
  layer.SetRect(rect, result);
  if (onDabWritten) onDabWritten(rect);
}

}  // namespace varnel
