#include "tools/eraser_tool.h"

#include <algorithm>
#include <cstring>

#include "brush/brush_stroke.h"

namespace varnel {
namespace {

constexpr uint32_t kOpaque = 0xFF000000u;

const ToolStateKey<EraserSettings> kEraserKeys[] = {
    {"Opaque", &EraserSettings::baseOpacity},
    {"Alpha", &EraserSettings::affectAlpha},
    {"PressureTransparency", &EraserSettings::pressureOpacity},
    {"BkColor", &EraserSettings::background},
};

}  // namespace

void EraserSettings::WriteToolState(ToolStateWriter& writer) const {
  WriteToolStateKeys<EraserSettings>(writer, kEraserKeys, *this);
}

void EraserSettings::ReadToolState(ToolStateReader& reader) {
  ReadToolStateKeys<EraserSettings>(reader, kEraserKeys, *this);
  baseOpacity = std::clamp(baseOpacity, 0, 256);
}

EraserSettings& ProgramEraserSettings() {
  static EraserSettings settings;
  return settings;
}

// --- the dab -------------------------------------------------------------------------------

EraserBrush::EraserBrush(Size size) : RoundBrush(kEraserBrushKind, size) {
  SetSpacing(kEraserSpacing);
  TakeRoundMask();
}

void EraserBrush::OnSizeChanged() {
  RoundBrush::OnSizeChanged();
  TakeRoundMask();
}

void EraserBrush::TakeRoundMask() {
  const size_t count = static_cast<size_t>(m_round.Width()) * static_cast<size_t>(m_round.Height());
  m_mask.assign(m_round.Data(), m_round.Data() + count);
  if (std::all_of(m_mask.begin(), m_mask.end(), [](uint8_t v) { return v == 0; }))
    std::fill(m_mask.begin(), m_mask.end(), uint8_t{255});
}

void EraserBrush::Configure(const EraserSettings& settings, Size size) {
  SetBaseOpacity(std::clamp(settings.baseOpacity, 0, 256));
  SetPressureOpacity(settings.pressureOpacity);
  // Without "透明度に作用" there is no alpha to take: the eraser can only paint.
  SetAffectAlpha(settings.affectAlpha);
  m_paintsBackground = settings.background || !settings.affectAlpha;
  const Size clamped{std::clamp(size.width, 1, kMaxBrushSide), std::clamp(size.height, 1, kMaxBrushSide)};
  if (clamped != GetSize()) SetBrushSize(clamped.width, clamped.height);
}

bool EraserBrush::Kernel(ImageSurface&, const Rect& rect, const uint32_t* old, uint32_t* result) {
  const size_t count = static_cast<size_t>(rect.Width()) * static_cast<size_t>(rect.Height());
  for (size_t i = 0; i < count; ++i) {
    const uint32_t mask = m_mask[i];
    const uint32_t alpha = old[i] >> 24;
    result[i] = (old[i] & 0x00FFFFFFu) | ((alpha * (255 - mask) + 127) / 255) << 24;
  }
  return true;
}

bool EraserBrush::ColourAndMask(ImageSurface&, const Rect& rect, const uint32_t*, uint32_t* colour, uint8_t* mask) {
  if (!m_paintsBackground) return false;
  const size_t count = static_cast<size_t>(rect.Width()) * static_cast<size_t>(rect.Height());
  std::fill(colour, colour + count, Background() | kOpaque);
  std::memcpy(mask, m_mask.data(), count);
  return true;
}

// --- the tool ------------------------------------------------------------------------------

EraserTool::EraserTool(Canvas& canvas, EraserSettings& settings, const BrushToolSettings& brush)
    : m_canvas(canvas), m_settings(settings), m_brush(brush), m_eraser({brush.width, brush.height}) {
  Configure();
}

void EraserTool::Configure() {
  // The settings may change between strokes only; a stroke keeps what it started with.
  if (m_eraser.IsIdle()) m_eraser.Configure(m_settings, {m_brush.width, m_brush.height});
}

void EraserTool::DrawCursor(DrawContext& dc, int32_t x, int32_t y, Rect* out, double zoom) {
  Configure();
  m_eraser.DrawCursor(dc, x, y, out, zoom);
}

bool EraserTool::ButtonDown(const ToolEvent& event) {
  if (event.surface == nullptr) return false;
  Configure();
  ComposeEachDab composing(m_canvas, m_eraser);
  // Ctrl opens no colour surface here: the eraser has no colour to choose.
  m_eraser.BeginStroke(*event.surface, event.x, event.y, event.pressure, false);
  return true;
}

bool EraserTool::Move(const ToolEvent& event) {
  if (event.surface == nullptr) return false;
  ComposeEachDab composing(m_canvas, m_eraser);
  m_eraser.StrokeTo(*event.surface, event.x, event.y, event.pressure);
  return true;
}

bool EraserTool::ButtonUp(const ToolEvent& event) {
  if (event.surface == nullptr) return false;
  ComposeEachDab composing(m_canvas, m_eraser);
  m_eraser.EndStroke(*event.surface);
  // Every dab was composed as it landed.
  BackedSurface(*event.surface).ClearDirty();
  return true;
}

void EraserTool::SetColours(ColourRef foreground, ColourRef background) {
  m_eraser.SetColours(foreground, background);
}

}  // namespace varnel
