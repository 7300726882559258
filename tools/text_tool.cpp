#include "tools/text_tool.h"

#include <algorithm>

#include "tools/brush_path.h"

namespace varnel {
namespace {

using Settings = TextSettings;

const ToolStateKey<Settings> kKeys[] = {
    {"Text", &Settings::text},
    {"FontFace", &Settings::font},
    {"FontSize", &Settings::size},
    {"Bold", &Settings::bold},
    {"Italic", &Settings::italic},
    {"Vertical", &Settings::vertical},
    {"AntiAlias", &Settings::antialias},
    {"Opacity", &Settings::opacity},
};
}  // namespace

void TextSettings::WriteToolState(ToolStateWriter& writer) const { WriteToolStateKeys<Settings>(writer, kKeys, *this); }

void TextSettings::ReadToolState(ToolStateReader& reader) {
  ReadToolStateKeys<Settings>(reader, kKeys, *this);
  size = std::clamp(size, kTextSizeMinimum, kTextSizeMaximum);
  opacity = std::clamp(opacity, 0, 100);
}

TextSettings& ProgramTextSettings() {
  static TextSettings settings;
  return settings;
}

TextTool::TextTool(Canvas& canvas, TextRasteriser rasteriser, TextSettings& settings)
    : m_canvas(canvas), m_rasteriser(std::move(rasteriser)), m_settings(settings) {}

const CoverageMask& TextTool::Coverage() const {
  if (!m_maskSettings || *m_maskSettings != m_settings) {
    m_mask = !m_settings.text.empty() && m_rasteriser ? m_rasteriser(m_settings) : CoverageMask{};
    m_maskSettings = m_settings;
  }
  return m_mask;
}

bool TextTool::ButtonDown(const ToolEvent& event) {
  if (event.surface == nullptr) return false;
  m_placed = m_following = true;
  m_x = event.x + m_canvas.EditOffsetX();
  m_y = event.y + m_canvas.EditOffsetY();
  return true;
}

bool TextTool::Move(const ToolEvent& event) {
  if (!m_following) return false;
  m_x = event.x + m_canvas.EditOffsetX();
  m_y = event.y + m_canvas.EditOffsetY();
  return true;
}

bool TextTool::ButtonUp(const ToolEvent& event) {
  if (!Move(event)) return false;
  m_following = false;
  return true;
}

bool TextTool::KeyMessage(int32_t message, int32_t key, int32_t, uint32_t) {
  if (message != kToolKeyDown || !m_placed) return false;
  if (key == kKeyReturn) {
    Commit();
    return true;
  }
  if (key == kKeyEscape) {
    Cancel();
    return true;
  }
  return false;
}

void TextTool::SetColours(ColourRef foreground, ColourRef /*background*/) { m_foreground = foreground; }

Rect TextTool::PlacedBounds() const {
  if (!m_placed) return {0, 0, -1, -1};
  const CoverageMask& mask = Coverage();
  return mask.IsEmpty() ? mask.bounds : mask.bounds.Offset(m_x, m_y);
}

std::vector<FeedbackPath> TextTool::Feedback() const {
  const Rect box = PlacedBounds();
  if (box.IsEmpty()) return {};
  // Path points are pixel corners: the box goes round the outside of the covered pixels.
  const double left = box.left, top = box.top, right = box.right + 1.0, bottom = box.bottom + 1.0;
  return {{{{left, top}, {right, top}, {right, bottom}, {left, bottom}}, true}};
}

FeedbackPixels TextTool::PreviewPixels() const {
  const Rect box = PlacedBounds();
  if (box.IsEmpty()) return {};
  return {box, Coverage().coverage.data(), ToPixel(m_foreground, Opacity())};
}

int32_t TextTool::Opacity() const { return (std::clamp(m_settings.opacity, 0, 100) * 255 + 50) / 100; }

bool TextTool::Commit() {
  if (!m_placed) return false;
  m_placed = m_following = false;
  ImageSurface* target = m_canvas.DrawingTarget();
  if (target == nullptr) return false;
  CoverageMask placed = Coverage();
  if (placed.IsEmpty()) return false;
  placed.bounds = placed.bounds.Offset(m_x - m_canvas.EditOffsetX(), m_y - m_canvas.EditOffsetY());
  const Rect changed = PaintCoverage(*target, placed, ToPixel(m_foreground, 255), Opacity());
  FinishTargetChange(m_canvas, *target, changed);
  return !changed.IsEmpty();
}

}  // namespace varnel
