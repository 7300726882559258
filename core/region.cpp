#include "core/region.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace varnel {

int32_t Region::Create(const Rect& rect, uint8_t fill) {
  if (rect.right < rect.left || rect.bottom < rect.top) return -1;
  const int64_t width = int64_t{rect.right} - rect.left + 1;
  const int64_t height = int64_t{rect.bottom} - rect.top + 1;
  if (width > kMaxExtent || height > kMaxExtent) return -1;
  const size_t bytes = static_cast<size_t>(width) * static_cast<size_t>(height);
  // Zero-filled memory comes from calloc, which the system hands out lazily: a large region
  // that is mostly never written costs little.
  void* mask = fill == 0 ? std::calloc(bytes, 1) : std::malloc(bytes);
  if (mask == nullptr) return -1;
  std::vector<uint8_t*> rows;
  try {
    rows.resize(static_cast<size_t>(height));
  } catch (const std::bad_alloc&) {
    std::free(mask);
    return -1;
  }
  if (fill != 0) std::memset(mask, fill, bytes);
  auto* base = static_cast<uint8_t*>(mask);
  for (int64_t r = 0; r < height; ++r) rows[static_cast<size_t>(r)] = base + r * width;
  m_mask.reset(base);
  m_rows = std::move(rows);
  m_left = rect.left;
  m_top = rect.top;
  m_right = rect.right;
  m_bottom = rect.bottom;
  m_width = static_cast<int32_t>(width);
  m_height = static_cast<int32_t>(height);
  return 0;
}

void Region::Clear() {
  m_mask.reset();
  m_rows.clear();
  m_rows.shrink_to_fit();
  m_left = m_top = m_right = m_bottom = 0;
  m_width = m_height = 0;
}

void Region::ZeroMask() {
  if (!IsEmpty()) std::memset(m_mask.get(), 0, static_cast<size_t>(m_width) * static_cast<size_t>(m_height));
}

void Region::CopyFrom(const Region& other) {
  if (&other == this || other.IsEmpty()) return;
  Region copy;
  if (copy.Create(other.Bounds(), 0) != 0) return;
  std::memcpy(copy.m_mask.get(), other.m_mask.get(),
              static_cast<size_t>(other.m_width) * static_cast<size_t>(other.m_height));
  TakeFrom(copy);
}

void Region::TakeFrom(Region& other) {
  if (&other == this) return;
  m_mask = std::move(other.m_mask);
  m_rows = std::move(other.m_rows);
  m_left = other.m_left;
  m_top = other.m_top;
  m_right = other.m_right;
  m_bottom = other.m_bottom;
  m_width = other.m_width;
  m_height = other.m_height;
  other.Clear();
}

void Region::Offset(int32_t dx, int32_t dy) {
  if (IsEmpty()) return;
  m_left += dx;
  m_right += dx;
  m_top += dy;
  m_bottom += dy;
}

uint8_t Region::At(int32_t x, int32_t y) const {
  if (IsEmpty() || x < m_left || x > m_right || y < m_top || y > m_bottom) return 0;
  return m_rows[static_cast<size_t>(y - m_top)][x - m_left];
}

void Region::TrimToContent() {
  if (IsEmpty()) return;
  int32_t minX = m_width, maxX = -1, minY = m_height, maxY = -1;
  for (int32_t r = 0; r < m_height; ++r) {
    const uint8_t* row = m_rows[static_cast<size_t>(r)];
    int32_t first = 0;
    while (first < m_width && row[first] == 0) ++first;
    if (first == m_width) continue;
    int32_t last = m_width - 1;
    while (row[last] == 0) --last;
    minX = std::min(minX, first);
    maxX = std::max(maxX, last);
    minY = std::min(minY, r);
    maxY = r;
  }
  if (maxY < 0) {
    Clear();
    return;
  }
  if (minX == 0 && minY == 0 && maxX == m_width - 1 && maxY == m_height - 1) return;
  Region trimmed;
  if (trimmed.Create({m_left + minX, m_top + minY, m_left + maxX, m_top + maxY}, 0) != 0) return;
  for (int32_t r = minY; r <= maxY; ++r)
    std::memcpy(trimmed.m_rows[static_cast<size_t>(r - minY)], m_rows[static_cast<size_t>(r)] + minX,
                static_cast<size_t>(maxX - minX + 1));
  TakeFrom(trimmed);
}

int32_t Region::Union(const Region& other) {
  if (other.IsEmpty()) return -1;
  if (IsEmpty()) {
    CopyFrom(other);
    return IsEmpty() ? -1 : 0;
  }
  const Rect bounds{std::min(m_left, other.m_left), std::min(m_top, other.m_top), std::max(m_right, other.m_right),
                    std::max(m_bottom, other.m_bottom)};
  Region merged;
  if (merged.Create(bounds, 0) != 0) return -1;
  // Other first, then this region's non-zero bytes over it: the existing selection wins.
  for (int32_t y = other.m_top; y <= other.m_bottom; ++y) {
    const uint8_t* src = other.m_rows[static_cast<size_t>(y - other.m_top)];
    uint8_t* dst = merged.m_rows[static_cast<size_t>(y - bounds.top)] + (other.m_left - bounds.left);
    std::memcpy(dst, src, static_cast<size_t>(other.m_width));
  }
  for (int32_t y = m_top; y <= m_bottom; ++y) {
    const uint8_t* src = m_rows[static_cast<size_t>(y - m_top)];
    uint8_t* dst = merged.m_rows[static_cast<size_t>(y - bounds.top)] + (m_left - bounds.left);
    for (int32_t x = 0; x < m_width; ++x)
      if (src[x] != 0) dst[x] = src[x];
  }
  TakeFrom(merged);
  return 0;
}

void Region::Subtract(const Region& other) {
  if (IsEmpty() || other.IsEmpty()) return;
  const int32_t left = std::max(m_left, other.m_left), right = std::min(m_right, other.m_right);
  const int32_t top = std::max(m_top, other.m_top), bottom = std::min(m_bottom, other.m_bottom);
  for (int32_t y = top; y <= bottom; ++y) {
    uint8_t* dst = m_rows[static_cast<size_t>(y - m_top)];
    const uint8_t* src = other.m_rows[static_cast<size_t>(y - other.m_top)];
    for (int32_t x = left; x <= right; ++x)
      if (src[x - other.m_left] != 0) dst[x - m_left] = 0;
  }
}

bool Region::IsEdge(int32_t x, int32_t y) const {
  if (At(x, y) == 0) return false;
  return At(x - 1, y) == 0 || At(x + 1, y) == 0 || At(x, y - 1) == 0 || At(x, y + 1) == 0;
}

namespace {

Rect Enlarged(const Rect& r) { return {r.left - 1, r.top - 1, r.right + 1, r.bottom + 1}; }

}  // namespace

void Region::Shrink(const Region& source, Region& destination) {
  destination.Clear();
  if (source.IsEmpty() || destination.Create(Enlarged(source.Bounds()), 0) != 0) return;
  for (int32_t y = source.m_top; y <= source.m_bottom; ++y) {
    const uint8_t* row = source.m_rows[static_cast<size_t>(y - source.m_top)];
    const uint8_t* above = source.Row(y - 1 - source.m_top);
    const uint8_t* below = source.Row(y + 1 - source.m_top);
    uint8_t* out = destination.m_rows[static_cast<size_t>(y - destination.m_top)] + 1;
    for (int32_t x = 0; x < source.m_width; ++x) {
      const bool keep = row[x] != 0 && x > 0 && row[x - 1] != 0 && x + 1 < source.m_width && row[x + 1] != 0 &&
                        above != nullptr && above[x] != 0 && below != nullptr && below[x] != 0;
      if (keep) out[x] = 255;
    }
  }
  destination.TrimToContent();
}

void Region::Grow(const Region& source, Region& destination) {
  destination.Clear();
  if (source.IsEmpty() || destination.Create(Enlarged(source.Bounds()), 0) != 0) return;
  // Every selected source pixel marks itself and its four neighbours in the enlarged rectangle.
  for (int32_t r = 0; r < source.m_height; ++r) {
    const uint8_t* row = source.m_rows[static_cast<size_t>(r)];
    uint8_t* above = destination.m_rows[static_cast<size_t>(r)] + 1;
    uint8_t* here = destination.m_rows[static_cast<size_t>(r + 1)] + 1;
    uint8_t* below = destination.m_rows[static_cast<size_t>(r + 2)] + 1;
    for (int32_t x = 0; x < source.m_width; ++x) {
      if (row[x] == 0) continue;
      above[x] = here[x - 1] = here[x] = here[x + 1] = below[x] = 255;
    }
  }
}

int32_t Region::Invert(const Region& source, int32_t canvasWidth, int32_t canvasHeight, Region& destination) {
  destination.Clear();
  if (source.IsEmpty()) return -1;
  if (destination.Create({0, 0, canvasWidth - 1, canvasHeight - 1}, 255) != 0) return -1;
  const int32_t left = std::max(source.m_left, 0), right = std::min(source.m_right, canvasWidth - 1);
  const int32_t top = std::max(source.m_top, 0), bottom = std::min(source.m_bottom, canvasHeight - 1);
  for (int32_t y = top; y <= bottom; ++y) {
    const uint8_t* src = source.m_rows[static_cast<size_t>(y - source.m_top)];
    uint8_t* dst = destination.m_rows[static_cast<size_t>(y)];
    for (int32_t x = left; x <= right; ++x) dst[x] = static_cast<uint8_t>(255 - src[x - source.m_left]);
  }
  destination.TrimToContent();
  return 0;
}

void Region::FlipVertical(const Region& source, Region& destination) {
  destination.Clear();
  if (source.IsEmpty() || destination.Create(source.Bounds(), 0) != 0) return;
  for (int32_t r = 0; r < source.m_height; ++r)
    std::memcpy(destination.m_rows[static_cast<size_t>(source.m_height - 1 - r)], source.m_rows[static_cast<size_t>(r)],
                static_cast<size_t>(source.m_width));
}

void Region::FlipHorizontal(const Region& source, Region& destination) {
  destination.Clear();
  if (source.IsEmpty() || destination.Create(source.Bounds(), 0) != 0) return;
  for (int32_t r = 0; r < source.m_height; ++r) {
    const uint8_t* src = source.m_rows[static_cast<size_t>(r)];
    uint8_t* dst = destination.m_rows[static_cast<size_t>(r)];
    std::reverse_copy(src, src + source.m_width, dst);
  }
}

namespace {

// The part [from, to) of the span [x0, x1) inside [left, end); false when nothing is left.
bool ClipSpan(int32_t x0, int32_t x1, int32_t left, int32_t end, int32_t& from, int32_t& to) {
  from = std::max(x0, left);
  to = std::min(x1, end);
  return from < to;
}

}  // namespace

// Spans are half-open, [x0, x1), clipped to the rectangle [left, right]. (Clipping the end to
// right itself would leave a region's last column unreachable.)
void Region::FillSpan(int32_t x0, int32_t y, int32_t x1, uint8_t value) {
  int32_t from, to;
  if (IsEmpty() || y < m_top || y > m_bottom || !ClipSpan(x0, x1, m_left, m_right + 1, from, to)) return;
  std::memset(m_rows[static_cast<size_t>(y - m_top)] + (from - m_left), value, static_cast<size_t>(to - from));
}

void Region::XorSpan(int32_t x0, int32_t y, int32_t x1, uint8_t value) {
  int32_t from, to;
  if (IsEmpty() || y < m_top || y > m_bottom || !ClipSpan(x0, x1, m_left, m_right + 1, from, to)) return;
  uint8_t* row = m_rows[static_cast<size_t>(y - m_top)] - m_left;
  for (int32_t x = from; x < to; ++x) row[x] ^= value;
}

void Region::ReadSpan(int32_t x0, int32_t y, int32_t x1, uint8_t* buffer) const {
  if (IsEmpty() || y < m_top || y > m_bottom) return;
  const int32_t from = std::max(x0, m_left), to = std::min(x1, m_right);
  if (from > to) return;
  std::memcpy(buffer + (from - x0), m_rows[static_cast<size_t>(y - m_top)] + (from - m_left),
              static_cast<size_t>(to - from + 1));
}

}  // namespace varnel
