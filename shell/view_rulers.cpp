#include "shell/view_rulers.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <map>

#include "settings/app_settings.h"
#include "shell/child_frame.h"
#include "shell/command_table.h"
#include "shell/main_frame.h"
#include "shell/varnel_app.h"
#include "shell/varnel_view.h"

namespace varnel {
namespace {

constexpr int32_t kDefaultTick = 5;
constexpr int32_t kDefaultCaption = 100;
// Room for a caption such as "-1000" in the ruler's small font.
constexpr int32_t kMinCaptionGap = 40;
// How far apart marks may grow, zoomed in, before the intervals narrow.
constexpr int32_t kMaxTickGap = 10 * kMinTickGap;
constexpr int32_t kMaxCaptionGapShare = 5;

int32_t Widened(int32_t base, double zoom, int32_t gap) {
  for (int64_t decade = 1; decade <= 1'000'000'000; decade *= 10)
    for (const int64_t factor : {1, 2, 5}) {
      const int64_t interval = base * factor * decade;
      if (interval > INT32_MAX) return INT32_MAX;
      if (static_cast<double>(interval) * zoom >= gap) return static_cast<int32_t>(interval);
    }
  return INT32_MAX;
}

// Zoomed in far, the steps of 1, 2, 5 per decade below base, so that marks stay no more than
// maxGap view pixels apart (and never closer than minGap): a ruler shows numbers at 3200 % too.
int32_t Narrowed(int32_t base, double zoom, int32_t minGap, int32_t maxGap) {
  if (static_cast<double>(base) * zoom <= maxGap) return base;
  int32_t narrowest = base;
  for (int64_t decade = 1'000'000'000; decade >= 1; decade /= 10)
    for (const int64_t factor : {5, 2, 1}) {
      const int64_t interval = factor * decade;
      if (interval >= base) continue;
      const double gap = static_cast<double>(interval) * zoom;
      if (gap < minGap) return narrowest;
      narrowest = static_cast<int32_t>(interval);
      if (gap <= maxGap) return narrowest;
    }
  return narrowest;
}

int64_t FloorDiv(int64_t a, int64_t b) {
  const int64_t q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// A family that would put more marks than this on one ruler is not meant for a screen.
constexpr int64_t kMaxMarks = 100000;

}  // namespace

RulerIntervals RulerIntervalsAt(int32_t tickSetting, int32_t captionSetting, double zoom, int32_t minCaptionGap) {
  if (!(zoom > 0.0)) zoom = 1.0;
  const int32_t tick = tickSetting > 0 ? tickSetting : kDefaultTick;
  const int32_t caption = captionSetting > 0 ? captionSetting : kDefaultCaption;
  return {Narrowed(Widened(tick, zoom, kMinTickGap), zoom, kMinTickGap, kMaxTickGap),
          Narrowed(Widened(caption, zoom, minCaptionGap), zoom, minCaptionGap, kMaxCaptionGapShare * minCaptionGap)};
}

std::vector<RulerTick> RulerTicks(double zoom, int32_t origin, int32_t length, RulerIntervals intervals) {
  std::vector<RulerTick> ticks;
  if (length <= 0 || !(zoom > 0.0) || intervals.tick <= 0 || intervals.caption <= 0) return ticks;
  // The image coordinates that can land on the ruler, one more each way for the rounding.
  const double lowest = std::floor(-static_cast<double>(origin) / zoom) - 1.0;
  const double highest = std::ceil((static_cast<double>(length) - origin) / zoom) + 1.0;
  if (highest < INT32_MIN || lowest > INT32_MAX) return ticks;
  const int64_t from = static_cast<int64_t>(std::max<double>(lowest, INT32_MIN));
  const int64_t to = static_cast<int64_t>(std::min<double>(highest, INT32_MAX));
  std::map<int64_t, bool> marks;  // value → caption
  auto add = [&](int64_t step, bool caption) {
    if ((to - from) / step > kMaxMarks) return;
    for (int64_t v = FloorDiv(from, step) * step; v <= to; v += step) {
      const double position = origin + std::floor(static_cast<double>(v) * zoom);
      if (position < 0 || position >= length) continue;
      if (caption) {
        marks[v] = true;
      } else {
        marks.emplace(v, false);
      }
    }
  };
  add(intervals.tick, false);
  add(intervals.caption, true);
  ticks.reserve(marks.size());
  for (const auto& [value, caption] : marks)
    ticks.push_back({static_cast<int32_t>(origin + std::floor(static_cast<double>(value) * zoom)),
                     static_cast<int32_t>(value), caption});
  return ticks;
}

ViewRuler::ViewRuler(Qt::Orientation orientation, int offset, QWidget* parent)
    : QWidget(parent), m_orientation(orientation), m_offset(offset) {
  setObjectName(orientation == Qt::Horizontal ? "HorizontalRuler" : "VerticalRuler");
  setAttribute(Qt::WA_OpaquePaintEvent);
  QFont small = font();
  small.setPixelSize(9);
  setFont(small);
}

int ViewRuler::Length() const { return (m_orientation == Qt::Horizontal ? width() : height()) - m_offset; }

void ViewRuler::SetScale(int origin, double zoom, int32_t tickSetting, int32_t captionSetting) {
  if (origin == m_origin && zoom == m_zoom && tickSetting == m_tickSetting && captionSetting == m_captionSetting &&
      !m_ticks.empty())
    return;
  m_origin = origin;
  m_zoom = zoom;
  m_tickSetting = tickSetting;
  m_captionSetting = captionSetting;
  Rebuild();
}

void ViewRuler::Rebuild() {
  m_ticks = RulerTicks(m_zoom, m_origin, Length(), RulerIntervalsAt(m_tickSetting, m_captionSetting, m_zoom, kMinCaptionGap));
  update();
}

void ViewRuler::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Rebuild();
}

QRect ViewRuler::MarkRect(int position) const {
  const int at = m_offset + position;
  return m_orientation == Qt::Horizontal ? QRect(at - 1, 0, 3, height()) : QRect(0, at - 1, width(), 3);
}

void ViewRuler::SetPointer(int position) {
  if (position == m_pointer) return;
  if (m_pointer >= 0) update(MarkRect(m_pointer));
  m_pointer = std::max(position, -1);
  if (m_pointer >= 0) update(MarkRect(m_pointer));
}

void ViewRuler::ClearPointer() { SetPointer(-1); }

void ViewRuler::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  painter.fillRect(event->rect(), palette().color(QPalette::Base));
  const QColor ink = palette().color(QPalette::Text);
  painter.setPen(ink);
  const bool horizontal = m_orientation == Qt::Horizontal;
  const int thickness = horizontal ? height() : width();
  // The edge that meets the picture.
  if (horizontal) {
    painter.drawLine(0, thickness - 1, width() - 1, thickness - 1);
  } else {
    painter.drawLine(thickness - 1, 0, thickness - 1, height() - 1);
  }
  for (const RulerTick& tick : m_ticks) {
    const int at = m_offset + tick.position;
    const int from = tick.caption ? 0 : thickness - 5;
    if (horizontal) {
      if (at < event->rect().left() - kMinCaptionGap || at > event->rect().right()) continue;
      painter.drawLine(at, from, at, thickness - 1);
      if (tick.caption) painter.drawText(at + 2, 9, QString::number(tick.value));
    } else {
      if (at < event->rect().top() - kMinCaptionGap || at > event->rect().bottom()) continue;
      painter.drawLine(from, at, thickness - 1, at);
      if (tick.caption) {
        // Written downwards along the ruler, beside its tick.
        painter.save();
        painter.translate(2, at + 2);
        painter.rotate(90);
        painter.drawText(0, 0, QString::number(tick.value));
        painter.restore();
      }
    }
  }
  if (m_pointer >= 0) painter.fillRect(MarkRect(m_pointer).adjusted(horizontal ? 1 : 0, horizontal ? 0 : 1,
                                                                     horizontal ? -1 : 0, horizontal ? 0 : -1),
                                       palette().color(QPalette::Highlight));
}

void ToggleRulers(CommandContext& context, int) {
  AppSettings& settings = context.app.Settings();
  settings.rulerOn = settings.rulerOn != 0 ? 0 : 1;
  context.app.GetProfile().WriteInt(kSettingsSection, "RULERON", settings.rulerOn);
  for (CChildFrame* frame : context.frame.ChildFrames())
    if (CVarnelView* view = frame->GetActiveView()) view->SyncRulers();
}

bool RulersShown(const CommandContext& context, int) { return context.app.Settings().rulerOn != 0; }

}  // namespace varnel
