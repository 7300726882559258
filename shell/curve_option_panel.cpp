#include "shell/curve_option_panel.h"

#include <QCheckBox>
#include <QDir>
#include <QFormLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "core/canvas.h"
#include "platform/host.h"
#include "shell/file_dialogs.h"
#include "shell/messages.h"
#include "shell/panel_widgets.h"
#include "tools/shape_file.h"

namespace varnel {
namespace {

// How near (widget pixels) the pointer must come to a map point to take it.
constexpr double kMapGrab = 6.0;
constexpr int kMapMargin = 6;

// The curve tool of the picture being edited, if there is one.
CurveTool* ActiveCurveTool() {
  Canvas* canvas = Canvas::GetActiveCanvas();
  PaintObject* tool = canvas != nullptr ? canvas->Tool(kCurveToolSlot) : nullptr;
  return tool != nullptr && tool->IsType("CURVETOOL") ? static_cast<CurveTool*>(tool) : nullptr;
}

}  // namespace

// ---- the pressure map editor -------------------------------------------------------------------

PressureMapEditor::PressureMapEditor(QWidget* parent) : QWidget(parent) {
  setObjectName("CurvePressureMap");
  setToolTip("クリックで点を追加、右クリックで削除");
  m_map = ProgramCurveSettings().pressureMap;
}

void PressureMapEditor::SetMap(const PressureMap& map) {
  m_map = map;
  m_dragging = -1;
  update();
}

QRectF PressureMapEditor::Plot() const {
  return QRectF(rect().adjusted(kMapMargin, kMapMargin, -kMapMargin, -kMapMargin));
}

QPointF PressureMapEditor::ToWidget(const PressureMapPoint& point) const {
  const QRectF plot = Plot();
  return {plot.left() + plot.width() * point.position / kPressureMapLength,
          plot.bottom() - plot.height() * point.pressure / kFullPressure};
}

PressureMapPoint PressureMapEditor::ToMap(QPointF at) const {
  const QRectF plot = Plot();
  const double x = plot.width() > 0 ? (at.x() - plot.left()) / plot.width() : 0;
  const double y = plot.height() > 0 ? (plot.bottom() - at.y()) / plot.height() : 0;
  return {std::clamp(static_cast<int32_t>(std::lround(x * kPressureMapLength)), 0, kPressureMapLength),
          std::clamp(static_cast<int32_t>(std::lround(y * kFullPressure)), 0, kFullPressure)};
}

int PressureMapEditor::PointAt(QPointF at) const {
  int found = -1;
  double best = kMapGrab;
  for (size_t i = 0; i < m_map.size(); ++i) {
    const QPointF d = ToWidget(m_map[i]) - at;
    const double distance = std::hypot(d.x(), d.y());
    if (distance <= best) {
      best = distance;
      found = static_cast<int>(i);
    }
  }
  return found;
}

void PressureMapEditor::DragTo(QPointF at) {
  if (m_dragging < 0 || m_dragging >= static_cast<int>(m_map.size())) return;
  const size_t i = static_cast<size_t>(m_dragging);
  PressureMapPoint point = ToMap(at);
  // A point stays between its neighbours, so the map stays ordered along the path.
  const int32_t lowest = i > 0 ? m_map[i - 1].position : 0;
  const int32_t highest = i + 1 < m_map.size() ? m_map[i + 1].position : kPressureMapLength;
  point.position = std::clamp(point.position, lowest, highest);
  if (point == m_map[i]) return;
  m_map[i] = point;
  update();
  emit mapEdited();
}

void PressureMapEditor::mousePressEvent(QMouseEvent* event) {
  const QPointF at = event->position();
  const int hit = PointAt(at);
  if (event->button() == Qt::RightButton) {
    if (hit >= 0 && m_map.size() > 1) {
      m_map.erase(m_map.begin() + hit);
      update();
      emit mapEdited();
    }
    return;
  }
  if (event->button() != Qt::LeftButton) return;
  m_dragging = hit;
  if (hit < 0 && m_map.size() < static_cast<size_t>(kPressureMapMaxPoints)) {
    const PressureMapPoint point = ToMap(at);
    auto byPosition = [](const PressureMapPoint& a, const PressureMapPoint& b) { return a.position < b.position; };
    const auto place = std::upper_bound(m_map.begin(), m_map.end(), point, byPosition);
    m_dragging = static_cast<int>(m_map.insert(place, point) - m_map.begin());
    update();
    emit mapEdited();
  }
}

void PressureMapEditor::mouseMoveEvent(QMouseEvent* event) {
  if (event->buttons() & Qt::LeftButton) DragTo(event->position());
}

void PressureMapEditor::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) m_dragging = -1;
}

void PressureMapEditor::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QRectF plot = Plot();
  painter.fillRect(plot, palette().base());
  painter.setPen(QPen(palette().mid().color(), 1, Qt::DotLine));
  painter.drawLine(QPointF(plot.left(), plot.center().y()), QPointF(plot.right(), plot.center().y()));
  painter.setPen(palette().dark().color());
  painter.drawRect(plot);
  if (m_map.empty()) return;
  // Before the first point and after the last the pressure holds.
  QPolygonF line;
  line << QPointF(plot.left(), ToWidget(m_map.front()).y());
  for (const PressureMapPoint& point : m_map) line << ToWidget(point);
  line << QPointF(plot.right(), ToWidget(m_map.back()).y());
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(palette().text().color(), 1.5));
  painter.drawPolyline(line);
  painter.setBrush(palette().highlight());
  for (const PressureMapPoint& point : m_map) painter.drawRect(QRectF(ToWidget(point) - QPointF(3, 3), QSizeF(6, 6)));
}

// ---- the panel ----------------------------------------------------------------------------------

CurveOptionPanel::CurveOptionPanel(QWidget* parent) : QWidget(parent) {
  setObjectName("CurveOptionPanel");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addWidget(MakeTitle(this, kCurveToolName));

  m_edit = MakeCheck(this, "CurveEditPoints", "端点編集");
  m_freehandAdd = MakeCheck(this, "CurveFreehandAdd", "フリーハンドで追加");
  m_freehandDraw = MakeCheck(this, "CurveFreehandDraw", "フリーハンドで描画");
  m_closed = MakeCheck(this, "CurveClose", "パスを閉じる");
  m_fill = MakeCheck(this, "CurveFill", "塗りつぶし");
  m_antialias = MakeCheck(this, "CurveAntiAlias", "アンチエイリアス");
  for (QCheckBox* box : {m_edit, m_freehandAdd, m_freehandDraw, m_closed, m_fill, m_antialias}) layout->addWidget(box);
  m_saveShape = new QPushButton("形状定義保存", this);
  m_saveShape->setObjectName("CurveSaveShape");
  layout->addWidget(m_saveShape);

  auto* form = new QFormLayout;
  m_size = MakeSpin(this, "CurveSize", 1, kCurveMaxSize);
  m_opacity = MakeSpin(this, "CurveOpacity", 0, kCurveMaxOpacity);
  form->addRow("サイズ", m_size);
  form->addRow("透明度", m_opacity);
  layout->addLayout(form);
  m_draw = new QPushButton("設定", this);
  m_draw->setObjectName("CurveDraw");
  layout->addWidget(m_draw);
  layout->addWidget(new QLabel("傾きマップ", this));
  m_map = new PressureMapEditor(this);
  layout->addWidget(m_map);
  layout->addStretch(1);

  connect(m_edit, &QCheckBox::toggled, this, [this](bool on) { ChooseMode(kCurveModeEdit, on); });
  connect(m_freehandAdd, &QCheckBox::toggled, this, [this](bool on) { ChooseMode(kCurveModeFreehandAdd, on); });
  connect(m_freehandDraw, &QCheckBox::toggled, this, [this](bool on) { ChooseMode(kCurveModeFreehandDraw, on); });
  auto bindFlag = [this](QCheckBox* box, bool CurveSettings::*field) {
    connect(box, &QCheckBox::toggled, this, [this, field](bool on) {
      if (m_refreshing) return;
      ProgramCurveSettings().*field = on;
      UpdateEnabled();
      // The path shown closes or opens with it.
      emit curveChanged();
    });
  };
  bindFlag(m_closed, &CurveSettings::closed);
  bindFlag(m_fill, &CurveSettings::fill);
  bindFlag(m_antialias, &CurveSettings::antialias);
  connect(m_size, &QSpinBox::valueChanged, this, [this](int value) {
    if (!m_refreshing) ProgramCurveSettings().size = value;
  });
  connect(m_opacity, &QSpinBox::valueChanged, this, [this](int value) {
    if (!m_refreshing) ProgramCurveSettings().opacity = value;
  });
  connect(m_map, &PressureMapEditor::mapEdited, this, [this] { ProgramCurveSettings().pressureMap = m_map->Map(); });
  connect(m_draw, &QPushButton::clicked, this, &CurveOptionPanel::DrawCurve);
  connect(m_saveShape, &QPushButton::clicked, this, &CurveOptionPanel::SaveShape);
  Refresh();
}

void CurveOptionPanel::Refresh() {
  RefreshGuard guard(m_refreshing);
  const CurveSettings& s = ProgramCurveSettings();
  m_edit->setChecked(s.mode == kCurveModeEdit);
  m_freehandAdd->setChecked(s.mode == kCurveModeFreehandAdd);
  m_freehandDraw->setChecked(s.mode == kCurveModeFreehandDraw);
  m_closed->setChecked(s.closed);
  m_fill->setChecked(s.fill);
  m_antialias->setChecked(s.antialias);
  m_size->setValue(std::clamp(s.size, 1, kCurveMaxSize));
  m_opacity->setValue(std::clamp(s.opacity, 0, kCurveMaxOpacity));
  m_map->SetMap(s.pressureMap);
  UpdateEnabled();
}

void CurveOptionPanel::ChooseMode(int mode, bool on) {
  if (m_refreshing) return;
  // The modes exclude each other; with none checked a click adds an anchor.
  CurveSettings& settings = ProgramCurveSettings();
  if (on) {
    settings.mode = mode;
  } else if (settings.mode == mode) {
    settings.mode = kCurveModeAdd;
  }
  Refresh();
  // The handles show while editing.
  emit curveChanged();
}

void CurveOptionPanel::UpdateEnabled() { m_antialias->setEnabled(ProgramCurveSettings().fill); }

void CurveOptionPanel::DrawCurve() {
  CurveTool* tool = ActiveCurveTool();
  if (tool != nullptr && tool->Commit()) emit curveChanged();
}

void CurveOptionPanel::SaveShape() {
  CurveTool* tool = ActiveCurveTool();
  if (tool == nullptr) return;
  const ShapeDefinition shape = tool->PathShape();
  if (shape.vertices.empty()) return;
  // The shape tools offer what lies in this folder.
  const QString folder = QString::fromStdString(ShapeFolder());
  QDir().mkpath(folder);
  const auto path = AskFileName(this, SaveRequest("*.ptv", kShapeDefinitionFilter, false, folder + "/"));
  if (!path) return;
  const std::string file = path->toStdString();
  if (!WriteShapeFile(file, shape)) GetHost().MessageBox(FileSaveErrorMessage(file), "", kMbOk | kMbIconWarning);
}

}  // namespace varnel
