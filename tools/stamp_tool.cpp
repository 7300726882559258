#include "tools/stamp_tool.h"

#include <algorithm>
#include <memory>

#include "brush/brush_stroke.h"
#include "core/blend.h"
#include "core/region_clipped_image.h"
#include "document/document_file.h"
#include "document/layer_commands.h"
#include "tools/brush_path.h"

namespace varnel {
namespace {

using Settings = StampSettings;

const ToolStateKey<Settings> kKeys[] = {
    {"BlendMode", &Settings::mode},
    {"Copy", &Settings::copy},
    {"FixPosition", &Settings::fixedPosition},
    {"Scale", &Settings::scale},
    {"Opacity", &Settings::opacity},
};

constexpr Rect kNothing{0, 0, -1, -1};

Rect SurfaceRect(const ImageSurface& surface) {
  const Size size = surface.GetSize();
  return {0, 0, size.width - 1, size.height - 1};
}

// A side of the scaled stamp: side × scale / 100 rounded, at least one pixel.
int32_t ScaledSide(int32_t side, int32_t scale) {
  const int64_t scaled = (int64_t{side} * std::clamp(scale, kStampScaleMinimum, kStampScaleMaximum) + 50) / 100;
  return static_cast<int32_t>(std::clamp<int64_t>(scaled, 1, INT32_MAX / 2));
}

// Canvas coordinates of a target rectangle's outline (pixel corners).
FeedbackPath Outline(const Rect& r, int32_t editX, int32_t editY) {
  const double left = r.left + editX, top = r.top + editY;
  const double right = r.right + 1.0 + editX, bottom = r.bottom + 1.0 + editY;
  return {{{left, top}, {right, top}, {right, bottom}, {left, bottom}}, true};
}

}  // namespace

void StampSettings::WriteToolState(ToolStateWriter& writer) const {
  WriteToolStateKeys<Settings>(writer, kKeys, *this);
}

void StampSettings::ReadToolState(ToolStateReader& reader) {
  ReadToolStateKeys<Settings>(reader, kKeys, *this);
  mode = std::clamp(mode, 0, kBlendModeCount - 1);
  scale = std::clamp(scale, kStampScaleMinimum, kStampScaleMaximum);
  opacity = std::clamp(opacity, 0, 100);
}

StampSettings& ProgramStampSettings() {
  static StampSettings settings;
  return settings;
}

StampStore& ProgramStampStore() {
  static StampStore store;
  return store;
}

bool TakeStamp(const ImageSurface& source, const Rect& rect, int32_t offsetX, int32_t offsetY, Stamp& stamp) {
  const Rect taken = rect.Normalized().Intersected(SurfaceRect(source));
  if (taken.IsEmpty()) return false;
  Stamp result;
  result.size = taken.Dimensions();
  result.pixels.resize(static_cast<size_t>(result.size.width) * static_cast<size_t>(result.size.height));
  source.GetRect(taken, result.pixels.data());
  result.originX = taken.left + offsetX;
  result.originY = taken.top + offsetY;
  stamp = std::move(result);
  return true;
}

bool TakeStampFromSelection(const ImageSurface& source, int32_t offsetX, int32_t offsetY, const Region& selection,
                            Stamp& stamp) {
  if (selection.IsEmpty()) return false;
  // The selection in source coordinates, worked in 64 bits: it may lie anywhere.
  const Rect bounds = selection.Bounds();
  const Rect all = SurfaceRect(source);
  const int64_t left = std::max<int64_t>(int64_t{bounds.left} - offsetX, all.left);
  const int64_t top = std::max<int64_t>(int64_t{bounds.top} - offsetY, all.top);
  const int64_t right = std::min<int64_t>(int64_t{bounds.right} - offsetX, all.right);
  const int64_t bottom = std::min<int64_t>(int64_t{bounds.bottom} - offsetY, all.bottom);
  if (left > right || top > bottom) return false;
  Stamp result;
  const Rect taken{static_cast<int32_t>(left), static_cast<int32_t>(top), static_cast<int32_t>(right),
                   static_cast<int32_t>(bottom)};
  if (!TakeStamp(source, taken, offsetX, offsetY, result)) return false;
  std::vector<uint8_t> coverage(static_cast<size_t>(result.size.width));
  for (int32_t r = 0; r < result.size.height; ++r) {
    std::fill(coverage.begin(), coverage.end(), 0);
    selection.ReadSpan(result.originX, result.originY + r, result.originX + result.size.width - 1, coverage.data());
    uint32_t* row = result.pixels.data() + static_cast<size_t>(r) * result.size.width;
    for (int32_t i = 0; i < result.size.width; ++i) {
      const uint32_t alpha = ((row[i] >> 24) * coverage[static_cast<size_t>(i)] + 127) / 255;
      row[i] = (row[i] & 0x00FFFFFFu) | alpha << 24;
    }
  }
  stamp = std::move(result);
  return true;
}

bool TakeStampFromCanvasSelection(Canvas& canvas, Stamp& stamp) {
  ImageSurface* target = canvas.DrawingTarget();
  const Region* selection = canvas.Selection();
  if (target == nullptr || selection == nullptr) return false;
  return TakeStampFromSelection(BackedSurface(*target), canvas.EditOffsetX(), canvas.EditOffsetY(), *selection, stamp);
}

int32_t TakeStampFromFile(const std::string& path, Stamp& stamp, std::string* message) {
  if (message != nullptr) message->clear();
  OpenedPicture picture;
  if (ReadPicture(path, picture, message) != 0) return -1;
  Canvas canvas;
  if (!PlacePicture(canvas, picture, false)) {
    if (message != nullptr) *message = kDocumentFailed;
    return -1;
  }
  const std::unique_ptr<Layer> flat = canvas.MergeVisibleOntoTransparent();
  if (flat == nullptr) return -1;
  Stamp result;
  if (!TakeStamp(*flat, SurfaceRect(*flat), 0, 0, result)) return -1;
  stamp = std::move(result);
  return 0;
}

Rect StampPlacement(const Stamp& stamp, const StampSettings& settings, int32_t x, int32_t y, int32_t editX,
                    int32_t editY) {
  if (stamp.IsEmpty()) return kNothing;
  const int32_t width = ScaledSide(stamp.size.width, settings.scale);
  const int32_t height = ScaledSide(stamp.size.height, settings.scale);
  int64_t centreX = x, centreY = y;
  if (settings.fixedPosition) {
    centreX = int64_t{stamp.originX} - editX + stamp.size.width / 2;
    centreY = int64_t{stamp.originY} - editY + stamp.size.height / 2;
  }
  // Held to the int32 range; a place that far out meets no target anyway.
  const auto held = [](int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN / 2, INT32_MAX / 2));
  };
  const int32_t left = held(centreX - width / 2), top = held(centreY - height / 2);
  return {left, top, left + width - 1, top + height - 1};
}

Rect PlaceStamp(ImageSurface& target, const Stamp& stamp, const Rect& place, const StampSettings& settings) {
  if (stamp.IsEmpty() || place.IsEmpty()) return kNothing;
  if (stamp.pixels.size() != static_cast<size_t>(stamp.size.width) * static_cast<size_t>(stamp.size.height))
    return kNothing;
  const Rect rect = place.Intersected(SurfaceRect(target));
  const int32_t opacity = std::clamp(settings.opacity, 0, 100);
  if (rect.IsEmpty() || opacity == 0) return kNothing;

  const int64_t placeWidth = int64_t{place.right} - place.left + 1;
  const int64_t placeHeight = int64_t{place.bottom} - place.top + 1;
  const size_t width = static_cast<size_t>(rect.Width());
  // The stamp column under the centre of each place column of the rectangle.
  std::vector<int32_t> columns(width);
  for (size_t i = 0; i < width; ++i) {
    const int64_t column = int64_t{rect.left} - place.left + static_cast<int64_t>(i);
    columns[i] = static_cast<int32_t>((2 * column + 1) * stamp.size.width / (2 * placeWidth));
  }

  std::vector<uint32_t> pixels(width * static_cast<size_t>(rect.Height()));
  target.GetRect(rect, pixels.data());
  std::vector<uint32_t> upper(width);
  std::vector<uint8_t> coverage(width);
  const int32_t copyWeight = (opacity * 255 + 50) / 100;
  const int32_t mode = std::clamp(settings.mode, 0, kBlendModeCount - 1);
  for (int32_t y = rect.top; y <= rect.bottom; ++y) {
    const int64_t line = int64_t{y} - place.top;
    const int64_t source = (2 * line + 1) * stamp.size.height / (2 * placeHeight);
    const uint32_t* stampRow = stamp.pixels.data() + static_cast<size_t>(source) * stamp.size.width;
    for (size_t i = 0; i < width; ++i) upper[i] = stampRow[columns[i]];
    uint32_t* row = pixels.data() + static_cast<size_t>(y - rect.top) * width;
    if (settings.copy) {
      if (copyWeight == 255) {
        std::copy(upper.begin(), upper.end(), row);
      } else if (copyWeight != 0) {
        for (size_t i = 0; i < width; ++i) row[i] = RegionClippedImage::BlendCovered(row[i], upper[i], copyWeight);
      }
    } else {
      CoverageFromAlpha(upper.data(), coverage.data(), width);
      MergeRun(mode, row, upper.data(), coverage.data(), OpacityWeight(opacity), row, width);
    }
  }
  target.SetRect(rect, pixels.data());
  target.SetModified();
  return rect;
}

StampTool::StampTool(Canvas& canvas, StampSettings& settings, StampStore& store)
    : m_canvas(canvas), m_settings(settings), m_store(store) {}

bool StampTool::ButtonDown(const ToolEvent& event) {
  if (event.surface == nullptr) return false;
  if (m_store.taking) {
    m_drag = Drag::kTaking;
  } else if (!m_store.stamp.IsEmpty()) {
    m_drag = Drag::kPlacing;
  } else {
    return false;
  }
  m_x0 = m_x = event.x;
  m_y0 = m_y = event.y;
  return true;
}

bool StampTool::Move(const ToolEvent& event) {
  // Without a button the outline follows the pointer, so the painter sees where a click lays it.
  m_hovering = m_drag == Drag::kNone && !m_store.taking && !m_store.stamp.IsEmpty();
  if (m_drag == Drag::kNone && !m_hovering) return false;
  m_x = event.x;
  m_y = event.y;
  return true;
}

bool StampTool::ButtonUp(const ToolEvent& event) {
  if (m_drag == Drag::kNone) return false;
  const Drag drag = m_drag;
  m_drag = Drag::kNone;
  m_x = event.x;
  m_y = event.y;
  if (event.surface == nullptr) return false;
  if (drag == Drag::kTaking) {
    // Taken from the pixels themselves, not through the selection.
    if (!TakeStamp(BackedSurface(*event.surface), {m_x0, m_y0, m_x, m_y}, m_canvas.EditOffsetX(),
                   m_canvas.EditOffsetY(), m_store.stamp))
      return false;
    m_store.taking = false;
    if (m_store.onTaken) m_store.onTaken();
    return true;
  }
  const Rect place =
      StampPlacement(m_store.stamp, m_settings, m_x, m_y, m_canvas.EditOffsetX(), m_canvas.EditOffsetY());
  const Rect changed = PlaceStamp(*event.surface, m_store.stamp, place, m_settings);
  if (changed.IsEmpty()) return false;
  FinishTargetChange(m_canvas, *event.surface, changed);
  return true;
}

bool StampTool::KeyMessage(int32_t message, int32_t key, int32_t, uint32_t) {
  if (message != kToolKeyDown || key != kKeyEscape || (m_drag == Drag::kNone && !m_hovering)) return false;
  m_drag = Drag::kNone;
  m_hovering = false;
  return true;
}

std::vector<FeedbackPath> StampTool::Feedback() const {
  const int32_t editX = m_canvas.EditOffsetX(), editY = m_canvas.EditOffsetY();
  switch (m_drag) {
    case Drag::kTaking:
      return {Outline(Rect{m_x0, m_y0, m_x, m_y}.Normalized(), editX, editY)};
    case Drag::kPlacing:
    case Drag::kNone: {
      if (m_drag == Drag::kNone && (!m_hovering || m_store.taking || m_store.stamp.IsEmpty())) return {};
      const Rect place = StampPlacement(m_store.stamp, m_settings, m_x, m_y, editX, editY);
      if (place.IsEmpty()) return {};
      FeedbackPath outline = Outline(place, editX, editY);
      outline.hover = m_drag == Drag::kNone;
      return {outline};
    }
  }
  return {};
}

}  // namespace varnel
