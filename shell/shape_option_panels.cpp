#include "shell/shape_option_panels.h"

#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <system_error>

#include "core/canvas.h"
#include "platform/host.h"
#include "shell/file_dialogs.h"
#include "shell/messages.h"
#include "shell/panel_widgets.h"
#include "tools/shape_tools.h"

namespace varnel {
ShapeOptionPanel::ShapeOptionPanel(bool filled, QWidget* parent) : QWidget(parent), m_filled(filled) {
  setObjectName(filled ? "ShapeFillOptionPanel" : "ShapeDrawOptionPanel");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addWidget(MakeTitle(this, filled ? kShapeFillToolName : kShapeDrawToolName));

  m_shapes = new QComboBox(this);
  m_shapes->setObjectName("ShapeList");
  layout->addWidget(m_shapes);
  m_antialias = MakeCheck(this, "ShapeAntiAlias", "アンチエイリアス");
  m_antialias->setEnabled(filled);
  layout->addWidget(m_antialias);

  auto* rounding = new QHBoxLayout;
  m_roundCorners = MakeCheck(this, "ShapeRoundCorner", "角を丸める");
  m_round = MakeSpin(this, "ShapeRound", 0, kShapeMaxRound);
  rounding->addWidget(m_roundCorners);
  rounding->addWidget(m_round);
  layout->addLayout(rounding);

  auto* form = new QFormLayout;
  m_theta = new QDoubleSpinBox(this);
  m_theta->setObjectName("ShapeTheta");
  m_theta->setRange(-360.0, 360.0);
  m_theta->setDecimals(1);
  m_theta->setSuffix("°");
  form->addRow("角度", m_theta);
  layout->addLayout(form);
  layout->addStretch(1);

  connect(m_shapes, &QComboBox::activated, this, &ShapeOptionPanel::ChooseShape);
  connect(m_antialias, &QCheckBox::toggled, this, [this](bool on) {
    if (!m_refreshing) ProgramShapeSettings(m_filled).antialias = on;
  });
  connect(m_roundCorners, &QCheckBox::toggled, this, [this](bool on) {
    if (m_refreshing) return;
    ProgramShapeSettings(m_filled).roundCorners = on;
    m_round->setEnabled(on);
  });
  connect(m_round, &QSpinBox::valueChanged, this, [this](int value) {
    if (!m_refreshing) ProgramShapeSettings(m_filled).shape.round = std::clamp(value, 0, kShapeMaxRound);
  });
  connect(m_theta, &QDoubleSpinBox::valueChanged, this, [this](double value) {
    if (!m_refreshing) ProgramShapeSettings(m_filled).shape.theta = value;
  });
  Refresh();
}

void ShapeOptionPanel::Refresh() {
  RefreshGuard guard(m_refreshing);
  const ShapeToolSettings& s = ProgramShapeSettings(m_filled);
  m_shapes->clear();
  m_shapes->addItem(QString::fromUtf8(kRectangleShapeName), QString());
  for (const std::string& path : ListShapeFiles()) {
    const QFileInfo file(QString::fromStdString(path));
    m_shapes->addItem(file.completeBaseName(), file.fileName());
  }
  int current = 0;
  if (!s.shapeFile.empty()) {
    const QString name = QString::fromStdString(s.shapeFile);
    current = m_shapes->findData(name);
    // A tool state may name a file this folder lacks; its corners came with the state.
    if (current < 0) {
      m_shapes->addItem(QFileInfo(name).completeBaseName(), name);
      current = m_shapes->count() - 1;
    }
  }
  m_shapes->setCurrentIndex(current);
  m_antialias->setChecked(s.antialias);
  m_roundCorners->setChecked(s.roundCorners);
  m_round->setValue(std::clamp(s.shape.round, 0, kShapeMaxRound));
  m_round->setEnabled(s.roundCorners);
  m_theta->setValue(std::isfinite(s.shape.theta) ? s.shape.theta : 0.0);
}

void ShapeOptionPanel::showEvent(QShowEvent* event) {
  Refresh();
  QWidget::showEvent(event);
}

void ShapeOptionPanel::ChooseShape(int index) {
  ShapeToolSettings& settings = ProgramShapeSettings(m_filled);
  const std::string name = m_shapes->itemData(index).toString().toStdString();
  if (!settings.ChooseShape(name)) GetHost().MessageBox(kBadShapeFile, "", kMbOk | kMbIconWarning);
  Refresh();
}

// ---------------------------------------------------------------------------------------------

PolygonOptionPanel::PolygonOptionPanel(bool filled, QWidget* parent) : QWidget(parent), m_filled(filled) {
  setObjectName(filled ? "PolygonFillOptionPanel" : "PolygonDrawOptionPanel");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addWidget(MakeTitle(this, filled ? kPolygonFillToolName : kPolygonDrawToolName));
  m_antialias = MakeCheck(this, "PolygonAntiAlias", "アンチエイリアス");
  m_antialias->setEnabled(filled);
  layout->addWidget(m_antialias);
  auto* save = new QPushButton("形状定義保存", this);
  save->setObjectName("PolygonSaveShape");
  layout->addWidget(save);
  layout->addStretch(1);

  connect(m_antialias, &QCheckBox::toggled, this, [this](bool on) {
    if (!m_refreshing) ProgramPolygonSettings(m_filled).antialias = on;
  });
  connect(save, &QPushButton::clicked, this, &PolygonOptionPanel::SaveShape);
  Refresh();
}

void PolygonOptionPanel::Refresh() {
  RefreshGuard guard(m_refreshing);
  m_antialias->setChecked(ProgramPolygonSettings(m_filled).antialias);
}

void PolygonOptionPanel::SaveShape() {
  Canvas* canvas = Canvas::GetActiveCanvas();
  const auto* tool =
      canvas != nullptr
          ? dynamic_cast<const PolygonTool*>(canvas->Tool(m_filled ? kPolygonFillToolSlot : kPolygonDrawToolSlot))
          : nullptr;
  if (tool == nullptr || tool->CurrentOrLastPolygon().size() < 3) {
    QApplication::beep();
    return;
  }
  const ShapeDefinition definition = PolygonShapeDefinition(tool->CurrentOrLastPolygon());
  // The dialog opens in Ptv/, where the shape tools find their shapes.
  std::error_code ignored;
  std::filesystem::create_directories(ShapeFolder(), ignored);
  const QString folder = QString::fromStdString(ShapeFolder());
  const auto path =
      AskFileName(this, SaveRequest("*.ptv", QString::fromUtf8(kShapeDefinitionFilter), true, folder + "/"));
  if (!path) return;
  if (!WriteShapeFile(path->toStdString(), definition))
    GetHost().MessageBox(FileSaveErrorMessage(path->toStdString()), "", kMbOk | kMbIconWarning);
}

}  // namespace varnel
