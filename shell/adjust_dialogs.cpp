#include "shell/adjust_dialogs.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

#include "colour/colour_curve_file.h"
#include "platform/host.h"
#include "shell/command_ids.h"
#include "shell/command_table.h"
#include "shell/file_dialogs.h"
#include "shell/main_frame.h"
#include "shell/messages.h"
#include "shell/varnel_doc.h"
#include "shell/varnel_view.h"

namespace varnel {
namespace {

std::function<int(AdjustmentDialog&)>& Hook() {
  static std::function<int(AdjustmentDialog&)> hook;
  return hook;
}

// The image pixels the view shows (inclusive; the preview clips them to the layer).
Rect VisibleArea(const CVarnelView& view) {
  const QPoint from = view.ViewToImage({0, 0});
  const QPoint to = view.ViewToImage({view.viewport()->width(), view.viewport()->height()});
  return {from.x(), from.y(), to.x(), to.y()};
}

// A slider with a spin box that follows it (showing the slider's value less shown), in a row of
// a grid: an optional label on either side of the slider.
QSlider* AddSlider(QGridLayout* grid, int row, const QString& left, const QString& right, int minimum, int maximum,
                   int value, const QString& objectName, std::function<void()> changed, int shownOffset = 0) {
  QWidget* owner = grid->parentWidget();
  auto* slider = new QSlider(Qt::Horizontal, owner);
  slider->setObjectName(objectName);
  slider->setRange(minimum, maximum);
  slider->setValue(value);
  slider->setMinimumWidth(256);
  auto* spin = new QSpinBox(owner);
  spin->setObjectName(objectName + "Value");
  spin->setRange(minimum - shownOffset, maximum - shownOffset);
  spin->setValue(value - shownOffset);
  QObject::connect(slider, &QSlider::valueChanged, spin, [spin, shownOffset, changed](int v) {
    const QSignalBlocker block(spin);
    spin->setValue(v - shownOffset);
    changed();
  });
  QObject::connect(spin, &QSpinBox::valueChanged, slider, [slider, shownOffset](int v) { slider->setValue(v + shownOffset); });
  grid->addWidget(new QLabel(left, owner), row, 0, Qt::AlignRight);
  grid->addWidget(slider, row, 1);
  if (!right.isEmpty()) grid->addWidget(new QLabel(right, owner), row, 2);
  grid->addWidget(spin, row, 3);
  return slider;
}

// Sets a slider (and the spin box that follows it) without telling anyone.
void SetQuietly(QSlider* slider, int value, int shownOffset = 0) {
  const QSignalBlocker block(slider);
  slider->setValue(value);
  if (auto* spin = slider->parentWidget()->findChild<QSpinBox*>(slider->objectName() + "Value")) {
    const QSignalBlocker blockSpin(spin);
    spin->setValue(value - shownOffset);
  }
}

// ---- 明度・コントラスト調整 -------------------------------------------------------------------

class BrightnessContrastDialog : public AdjustmentDialog {
 public:
  BrightnessContrastDialog(CVarnelView& view, QWidget* parent) : AdjustmentDialog(view, "明度・コントラスト調整", parent) {
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    layout->addLayout(grid);
    const auto changed = [this] { Changed(); };
    m_brightness = AddSlider(grid, 0, "明度", {}, -255, 255, 0, "brightness", changed);
    m_contrast = AddSlider(grid, 1, "コントラスト", {}, -100, 100, 0, "contrast", changed);
    layout->addWidget(Buttons());
  }

  Adjustment Current() const override { return BrightnessContrast{m_brightness->value(), m_contrast->value()}; }

 private:
  QSlider* m_brightness;
  QSlider* m_contrast;
};

// ---- トーンバランス ------------------------------------------------------------------------

class ToneBalanceDialog : public AdjustmentDialog {
 public:
  ToneBalanceDialog(CVarnelView& view, QWidget* parent) : AdjustmentDialog(view, "トーンバランス", parent) {
    auto* layout = new QVBoxLayout(this);
    auto* zones = new QHBoxLayout;
    layout->addLayout(zones);
    auto* group = new QButtonGroup(this);
    const char* const zoneNames[] = {"シャドウ", "中間調", "ハイライト"};
    for (int zone = 0; zone < 3; ++zone) {
      auto* button = new QRadioButton(zoneNames[zone], this);
      button->setObjectName(QStringLiteral("zone%1").arg(zone));
      group->addButton(button, zone);
      zones->addWidget(button);
    }
    group->button(m_zone)->setChecked(true);
    connect(group, &QButtonGroup::idClicked, this, [this](int zone) { ShowZone(zone); });

    auto* grid = new QGridLayout;
    layout->addLayout(grid);
    const char* const ends[3][2] = {{"シアン", "レッド"}, {"マゼンタ", "グリーン"}, {"イエロー", "ブルー"}};
    const char* const names[3] = {"cyanRed", "magentaGreen", "yellowBlue"};
    for (int axis = 0; axis < 3; ++axis) {
      m_sliders[axis] = AddSlider(grid, axis, ends[axis][0], ends[axis][1], -100, 100, 0, names[axis], [this, axis] {
        m_tone.shifts[static_cast<size_t>(m_zone)][static_cast<size_t>(axis)] = m_sliders[axis]->value();
        Changed();
      });
    }
    layout->addWidget(Buttons());
  }

  Adjustment Current() const override { return m_tone; }

 private:
  void ShowZone(int zone) {
    m_zone = std::clamp(zone, 0, 2);
    for (int axis = 0; axis < 3; ++axis)
      SetQuietly(m_sliders[axis], m_tone.shifts[static_cast<size_t>(m_zone)][static_cast<size_t>(axis)]);
  }

  ToneBalance m_tone;
  int m_zone = ToneBalance::kMidtones;
  QSlider* m_sliders[3] = {};
};

// ---- RGBA値操作 -----------------------------------------------------------------------------

class RgbaValuesDialog : public AdjustmentDialog {
 public:
  RgbaValuesDialog(CVarnelView& view, QWidget* parent) : AdjustmentDialog(view, "RGBA値操作", parent) {
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    layout->addLayout(grid);
    const char* const labels[4] = {"R", "G", "B", "A"};
    const char* const names[4] = {"red", "green", "blue", "alpha"};
    // The sliders run 0…510 from 255; the spin boxes show what is added, −255…255.
    for (int c = 0; c < 4; ++c)
      m_sliders[c] = AddSlider(grid, c, labels[c], {}, 0, 510, RgbaValues::kUnchanged, names[c], [this] { Changed(); },
                               RgbaValues::kUnchanged);
    layout->addWidget(Buttons());
  }

  Adjustment Current() const override {
    RgbaValues values;
    for (size_t c = 0; c < 4; ++c) values.values[c] = m_sliders[c]->value();
    return values;
  }

 private:
  QSlider* m_sliders[4] = {};
};

// ---- 色調補正 -----------------------------------------------------------------------------

// The curve of one channel on a 0…255 square: a click adds a point (up to six), a drag moves it,
// the right button removes it. Points land on whole bytes. The ends the curve puts in by itself
// show as handles too: pressing one adds a point exactly there, so black and white can be moved
// (a point a pixel off the corner would leave the end where it was).
class CurveEditor : public QWidget {
 public:
  static constexpr int kMargin = 8;
  static constexpr double kGrab = 6.0;

  explicit CurveEditor(QWidget* parent) : QWidget(parent) {
    setObjectName("curveEditor");
    setMinimumSize(256 + 2 * kMargin, 256 + 2 * kMargin);
  }

  void SetCurve(ColourCurve* curve) {
    m_curve = curve;
    m_dragging = -1;
    update();
  }
  std::function<void()> onChanged;

  // The square the bytes 0…255 span.
  QRectF Plot() const {
    const double side = std::min(width(), height()) - 2.0 * kMargin;
    return {kMargin + 0.5, kMargin + 0.5, side, side};
  }
  QPointF ToWidget(double byteX, double byteY) const {
    const QRectF plot = Plot();
    return {plot.left() + byteX / 255.0 * plot.width(), plot.bottom() - byteY / 255.0 * plot.height()};
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    const QRectF plot = Plot();
    painter.fillRect(plot, Qt::white);
    painter.setPen(QColor(220, 220, 220));
    for (int i = 1; i < 4; ++i) {
      const QPointF a = ToWidget(i * 255.0 / 4, 0), b = ToWidget(i * 255.0 / 4, 255);
      painter.drawLine(a, b);
      painter.drawLine(ToWidget(0, i * 255.0 / 4), ToWidget(255, i * 255.0 / 4));
    }
    painter.setPen(QPen(QColor(180, 180, 180), 1, Qt::DashLine));
    painter.drawLine(ToWidget(0, 0), ToWidget(255, 255));
    painter.setPen(Qt::gray);
    painter.drawRect(plot);
    if (m_curve == nullptr) return;
    const CurveTable table = EvaluateCurve(*m_curve);
    QPolygonF line;
    for (int i = 0; i < 256; ++i) line << ToWidget(i, table[static_cast<size_t>(i)]);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1.5));
    painter.drawPolyline(line);
    painter.setPen(Qt::black);
    std::vector<CurvePoint> handles = m_curve->points;
    for (const CurvePoint& end : ImplicitCurveEnds(*m_curve)) handles.push_back(end);
    for (const CurvePoint& point : handles) {
      const QPointF at = ToWidget(point.x * 256.0, point.y * 256.0);
      painter.fillRect(QRectF(at.x() - 3, at.y() - 3, 7, 7), Qt::white);
      painter.drawRect(QRectF(at.x() - 3, at.y() - 3, 7, 7));
    }
  }

  void mousePressEvent(QMouseEvent* event) override {
    if (m_curve == nullptr) return;
    const int hit = Hit(event->position());
    if (event->button() == Qt::RightButton) {
      if (hit >= 0) {
        m_curve->points.erase(m_curve->points.begin() + hit);
        Edited();
      }
      return;
    }
    if (event->button() != Qt::LeftButton) return;
    if (hit >= 0) {
      StartDrag(hit, event->position());
      return;
    }
    if (static_cast<int32_t>(m_curve->points.size()) >= kMaxCurvePoints) return;
    const std::optional<CurvePoint> end = EndAt(event->position());
    m_curve->points.push_back(end ? *end : FromWidget(event->position()));
    StartDrag(static_cast<int>(m_curve->points.size()) - 1, event->position());
    Edited();
  }

  void mouseMoveEvent(QMouseEvent* event) override {
    if (m_curve == nullptr || m_dragging < 0 || m_dragging >= static_cast<int>(m_curve->points.size())) return;
    // The point keeps its place under the pointer: grabbed a little off, it does not jump.
    const CurvePoint moved = FromWidget(event->position() - m_grabOffset);
    if (moved == m_curve->points[static_cast<size_t>(m_dragging)]) return;
    m_curve->points[static_cast<size_t>(m_dragging)] = moved;
    Edited();
  }

  void mouseReleaseEvent(QMouseEvent*) override {
    if (m_curve == nullptr || m_dragging < 0) return;
    m_dragging = -1;
    // The order the file keeps; the curve itself does not depend on it.
    SortCurvePoints(m_curve->points);
  }

 private:
  // A point on whole bytes, as a curve coordinate (byte / 256).
  CurvePoint FromWidget(QPointF at) const {
    const QRectF plot = Plot();
    const auto byte = [](double fraction) { return std::clamp(std::round(fraction * 255.0), 0.0, 255.0) / 256.0; };
    return {byte((at.x() - plot.left()) / plot.width()), byte((plot.bottom() - at.y()) / plot.height())};
  }

  void StartDrag(int index, QPointF at) {
    m_dragging = index;
    const CurvePoint& point = m_curve->points[static_cast<size_t>(index)];
    m_grabOffset = at - ToWidget(point.x * 256.0, point.y * 256.0);
  }

  // The end the curve adds itself within grabbing distance, if any.
  std::optional<CurvePoint> EndAt(QPointF at) const {
    for (const CurvePoint& end : ImplicitCurveEnds(*m_curve)) {
      const QPointF p = ToWidget(end.x * 256.0, end.y * 256.0);
      if (std::hypot(p.x() - at.x(), p.y() - at.y()) <= kGrab) return end;
    }
    return std::nullopt;
  }

  // The point within grabbing distance, the nearest one; -1 for none.
  int Hit(QPointF at) const {
    int best = -1;
    double bestDistance = kGrab;
    for (size_t i = 0; i < m_curve->points.size(); ++i) {
      const QPointF p = ToWidget(m_curve->points[i].x * 256.0, m_curve->points[i].y * 256.0);
      const double distance = std::hypot(p.x() - at.x(), p.y() - at.y());
      if (distance <= bestDistance) {
        bestDistance = distance;
        best = static_cast<int>(i);
      }
    }
    return best;
  }

  void Edited() {
    update();
    if (onChanged) onChanged();
  }

  ColourCurve* m_curve = nullptr;
  int m_dragging = -1;
  QPointF m_grabOffset;
};

// What 色調補正 had when it was last confirmed, for the next time in this session.
CurveSet& LastCurves() {
  static CurveSet curves;
  return curves;
}

class CurvesDialog : public AdjustmentDialog {
 public:
  CurvesDialog(CVarnelView& view, QWidget* parent) : AdjustmentDialog(view, "色調補正", parent), m_set(LastCurves()) {
    auto* layout = new QVBoxLayout(this);
    auto* choices = new QHBoxLayout;
    layout->addLayout(choices);
    m_channel = new QComboBox(this);
    m_channel->setObjectName("channel");
    m_channel->addItems({"色相", "彩度", "明度", "赤", "緑", "青"});  // the file's channel order
    m_type = new QComboBox(this);
    m_type->setObjectName("curveType");
    m_type->addItems({"3点Bスプライン", "折れ線"});
    choices->addWidget(new QLabel("チャンネル", this));
    choices->addWidget(m_channel);
    choices->addWidget(new QLabel("種類", this));
    choices->addWidget(m_type);
    m_editor = new CurveEditor(this);
    m_editor->onChanged = [this] { Changed(); };
    layout->addWidget(m_editor, 1);
    auto* files = new QHBoxLayout;
    layout->addLayout(files);
    auto* load = new QPushButton("読み込み...", this);
    load->setObjectName("load");
    auto* save = new QPushButton("保存...", this);
    save->setObjectName("save");
    auto* reset = new QPushButton("リセット", this);
    reset->setObjectName("reset");
    files->addWidget(load);
    files->addWidget(save);
    files->addWidget(reset);
    files->addStretch();
    layout->addWidget(Buttons());

    connect(m_channel, &QComboBox::currentIndexChanged, this, [this](int channel) { ShowChannel(channel); });
    connect(m_type, &QComboBox::currentIndexChanged, this, [this](int index) {
      Curve().type = index == 0 ? kCurveBSpline : kCurvePolyline;
      m_editor->update();
      Changed();
    });
    connect(load, &QPushButton::clicked, this, [this] { Load(); });
    connect(save, &QPushButton::clicked, this, [this] { Save(); });
    connect(reset, &QPushButton::clicked, this, [this] {
      Curve().points.clear();
      m_editor->update();
      Changed();
    });
    {
      const QSignalBlocker block(m_channel);
      m_channel->setCurrentIndex(kCurveValue);
    }
    ShowChannel(kCurveValue);
    // Curves kept from the last time show at once.
    if (!AdjustmentKernel(m_set).IsIdentity()) Changed();
  }

  Adjustment Current() const override { return m_set; }

  void accept() override {
    LastCurves() = m_set;
    AdjustmentDialog::accept();
  }

 private:
  ColourCurve& Curve() { return m_set.curves[static_cast<size_t>(std::clamp(m_channel->currentIndex(), 0, 5))]; }

  void ShowChannel(int channel) {
    ColourCurve& curve = m_set.curves[static_cast<size_t>(std::clamp(channel, 0, 5))];
    {
      const QSignalBlocker block(m_type);
      m_type->setCurrentIndex(curve.type == kCurveBSpline ? 0 : 1);
    }
    m_editor->SetCurve(&curve);
  }

  // A file that breaks a rule is told and changes nothing; a good one replaces the curve of the
  // channel it names, which is then shown.
  void Load() {
    const auto path = AskFileName(this, OpenRequest(kColourCurveFilter, false, "*.cc"));
    if (!path) return;
    ColourCurve curve;
    const CurveFileResult result = ReadColourCurveFile(path->toStdString(), curve);
    if (result != CurveFileResult::kRead) {
      GetHost().MessageBox(CurveFileMessage(result), "色調補正", kMbOk | kMbIconWarning);
      return;
    }
    m_set.curves[static_cast<size_t>(curve.channel)] = curve;
    {
      const QSignalBlocker block(m_channel);
      m_channel->setCurrentIndex(curve.channel);
    }
    ShowChannel(curve.channel);
    Changed();
  }

  void Save() {
    const auto path = AskFileName(this, SaveRequest("*.cc", kColourCurveFilter, false));
    if (!path) return;
    ColourCurve curve = Curve();
    curve.channel = m_channel->currentIndex();
    SortCurvePoints(curve.points);
    if (!WriteColourCurveFile(path->toStdString(), curve))
      GetHost().MessageBox(FileSaveErrorMessage(path->toStdString()), "色調補正", kMbOk | kMbIconWarning);
  }

  CurveSet m_set;
  QComboBox* m_channel;
  QComboBox* m_type;
  CurveEditor* m_editor;
};

}  // namespace

// ---- the dialogs' common part -----------------------------------------------------------------

void SetAdjustmentDialogHookForTesting(std::function<int(AdjustmentDialog&)> hook) { Hook() = std::move(hook); }

AdjustmentDialog::AdjustmentDialog(CVarnelView& view, const QString& title, QWidget* parent)
    : QDialog(parent), m_view(&view), m_preview(std::make_unique<AdjustmentPreview>(view.GetDocument()->GetCanvas())) {
  setWindowTitle(title);
}

AdjustmentDialog::~AdjustmentDialog() {
  if (!m_preview) return;
  m_preview.reset();  // puts the picture back
  ShowPictureChanges();
}

QWidget* AdjustmentDialog::Buttons() {
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  return buttons;
}

void AdjustmentDialog::Changed() {
  // A slider and its spin box both report one change; the preview runs once for it.
  if (m_previewPending) return;
  m_previewPending = true;
  QTimer::singleShot(0, this, [this] {
    m_previewPending = false;
    ShowPreview();
  });
}

void AdjustmentDialog::ShowPreview() {
  if (!m_preview || !m_view) return;
  m_preview->Show(Current(), VisibleArea(*m_view));
  ShowPictureChanges();
}

void AdjustmentDialog::ShowPictureChanges() {
  if (m_view && m_view->GetDocument()) m_view->GetDocument()->UpdateAllViews();
}

void AdjustmentDialog::accept() {
  if (m_preview) {
    WaitCursor wait;
    m_preview->Commit(Current());
    m_preview.reset();
    ShowPictureChanges();
  }
  QDialog::accept();
}

void AdjustmentDialog::reject() {
  if (m_preview) {
    m_preview.reset();
    ShowPictureChanges();
  }
  QDialog::reject();
}

void RunAdjustment(CommandContext& context, int id) {
  CVarnelView* view = context.frame.ActiveView();
  CVarnelDoc* doc = view ? view->GetDocument() : nullptr;
  if (doc == nullptr || doc->GetCanvas().ActiveLayer() == nullptr) return;
  std::unique_ptr<AdjustmentDialog> dialog;
  switch (id) {
    case cmd::kColourCurves:
      dialog = std::make_unique<CurvesDialog>(*view, &context.frame);
      break;
    case cmd::kBrightnessContrast:
      dialog = std::make_unique<BrightnessContrastDialog>(*view, &context.frame);
      break;
    case cmd::kToneBalance:
      dialog = std::make_unique<ToneBalanceDialog>(*view, &context.frame);
      break;
    case cmd::kRgbaAdjust:
      dialog = std::make_unique<RgbaValuesDialog>(*view, &context.frame);
      break;
    default:
      return;
  }
  if (Hook()) {
    if (Hook()(*dialog) == QDialog::Accepted) {
      dialog->accept();
    } else {
      dialog->reject();
    }
    return;
  }
  dialog->exec();
}

}  // namespace varnel
