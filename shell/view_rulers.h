#pragma once
// The rulers along the top and the left of an image view (shown while RULERON is set): a tick
// every RULERTICINTEVAL image pixels and the coordinate written every RULERCAPTIONINTERVAL,
// following the view's scrolling and zoom, with the pointer's place marked.

#include <QWidget>
#include <cstdint>
#include <vector>

namespace varnel {

struct CommandContext;

// One mark of a ruler: where it is along the ruler, the image coordinate it stands for, and
// whether the coordinate is written there (a long tick) or not (a short one).
struct RulerTick {
  int32_t position;
  int32_t value;
  bool caption;
  bool operator==(const RulerTick&) const = default;
};

// The intervals a ruler uses at a zoom, in image pixels.
struct RulerIntervals {
  int32_t tick;
  int32_t caption;
  bool operator==(const RulerIntervals&) const = default;
};

// Ticks closer than this many view pixels would merge into a bar.
inline constexpr int32_t kMinTickGap = 4;

// The settings' intervals (5 and 100 when 0 or less), each multiplied by the first of 1, 2, 5,
// 10, 20, 50, … that puts ticks at least kMinTickGap and captions at least minCaptionGap view
// pixels apart. Zoomed in so far that ticks would lie more than 10 × kMinTickGap or captions
// more than 5 × minCaptionGap apart, each takes instead the largest of the 1, 2, 5 steps below
// it that brings them that close, as long as they keep their least gap.
RulerIntervals RulerIntervalsAt(int32_t tickSetting, int32_t captionSetting, double zoom, int32_t minCaptionGap);

// The marks of a ruler length pixels long whose image coordinate 0 lies at origin (ruler
// pixels; negative once scrolled past): image coordinate v lies at origin + floor(v × zoom), as
// the view draws pixel v's left edge. Multiples of the tick interval and of the caption interval
// from first to last position (0 … length − 1), each value once.
std::vector<RulerTick> RulerTicks(double zoom, int32_t origin, int32_t length, RulerIntervals intervals);

// One ruler. The view places it, tells it where image 0 lies and what the pointer does.
class ViewRuler : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kThickness = 18;

  // offset: where the view's viewport starts inside the ruler (the top ruler also covers the
  // corner above the left one).
  ViewRuler(Qt::Orientation orientation, int offset, QWidget* parent);

  // Image 0 in viewport pixels along this ruler's direction, the zoom and the settings'
  // intervals; repaints when something changed.
  void SetScale(int origin, double zoom, int32_t tickSetting, int32_t captionSetting);
  // The pointer along the ruler in viewport pixels, or none.
  void SetPointer(int position);
  void ClearPointer();
  const std::vector<RulerTick>& Ticks() const { return m_ticks; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  int Length() const;
  void Rebuild();
  QRect MarkRect(int position) const;

  Qt::Orientation m_orientation;
  int m_offset;
  int m_origin = 0;
  double m_zoom = 1.0;
  int32_t m_tickSetting = 0;
  int32_t m_captionSetting = 0;
  int m_pointer = -1;
  std::vector<RulerTick> m_ticks;
};

// "ルーラー": toggles RULERON, stores it and shows or hides the rulers of every view.
void ToggleRulers(CommandContext& context, int id);
bool RulersShown(const CommandContext& context, int id);

}  // namespace varnel
