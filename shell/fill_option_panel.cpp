#include "shell/fill_option_panel.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>

#include "shell/panel_widgets.h"
#include "shell/value_dialog.h"
#include "tools/area_fill_tool.h"

namespace varnel {
namespace {

// A titled group of radio buttons whose ids are the values they stand for.
// The buttons are named objectPrefix and their value ("FillMode2").
QButtonGroup* RadioGroup(QWidget* parent, QVBoxLayout* layout, const char* title, const QString& objectPrefix,
                         std::initializer_list<std::pair<int, QRadioButton*>> buttons) {
  auto* box = new QGroupBox(QString::fromUtf8(title), parent);
  auto* boxLayout = new QVBoxLayout(box);
  auto* group = new QButtonGroup(box);
  for (const auto& [value, button] : buttons) {
    button->setParent(box);
    button->setObjectName(objectPrefix + QString::number(value));
    boxLayout->addWidget(button);
    group->addButton(button, value);
  }
  layout->addWidget(box);
  return group;
}

}  // namespace

AreaFillOptionPanel::AreaFillOptionPanel(QWidget* parent) : QWidget(parent) {
  setObjectName("AreaFillOptionPanel");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addWidget(MakeTitle(this, kAreaFillToolName));

  m_whole = new QRadioButton("全体");
  m_rgbRange = new QRadioButton("RGB範囲");
  QButtonGroup* range = RadioGroup(this, layout, "塗りつぶし範囲", "FillRange",
                                   {{kFillRangeWhole, m_whole}, {kFillRangeRgb, m_rgbRange}});
  m_foreground = new QRadioButton("前景色で塗りつぶす");
  m_brush = new QRadioButton("現在のブラシで塗りつぶす");
  m_clear = new QRadioButton("透明色で塗りつぶす");
  QButtonGroup* mode =
      RadioGroup(this, layout, "塗りつぶしモード", "FillMode",
                 {{kFillModeForeground, m_foreground}, {kFillModeBrush, m_brush}, {kFillModeClear, m_clear}});
  m_tolerance = new QPushButton("塗りつぶしの判定の甘さ", this);
  m_tolerance->setObjectName("FillTolerance");
  layout->addWidget(m_tolerance);
  m_feather = new QCheckBox("エッジぼかし", this);
  m_feather->setObjectName("FillEdgeBlur");
  layout->addWidget(m_feather);
  layout->addStretch(1);

  connect(range, &QButtonGroup::idClicked, this, [](int id) { ProgramAreaFillSettings().range = id; });
  connect(mode, &QButtonGroup::idClicked, this, [](int id) { ProgramAreaFillSettings().mode = id; });
  connect(m_tolerance, &QPushButton::clicked, this, &AreaFillOptionPanel::AskTolerance);
  connect(m_feather, &QCheckBox::toggled, this, [this](bool on) {
    if (!m_refreshing) ProgramAreaFillSettings().feather = on;
  });
  Refresh();
}

void AreaFillOptionPanel::Refresh() {
  const AreaFillSettings& settings = ProgramAreaFillSettings();
  m_refreshing = true;
  (settings.range == kFillRangeWhole ? m_whole : m_rgbRange)->setChecked(true);
  QRadioButton* modes[] = {m_foreground, m_brush, m_clear};
  modes[std::clamp(settings.mode, kFillModeForeground, kFillModeClear)]->setChecked(true);
  m_feather->setChecked(settings.feather);
  m_tolerance->setToolTip(QString::number(settings.tolerance));
  m_refreshing = false;
}

void AreaFillOptionPanel::AskTolerance() {
  AreaFillSettings& settings = ProgramAreaFillSettings();
  const int current = std::clamp(settings.tolerance, kFillToleranceMinimum, kFillToleranceMaximum);
  const auto values = AskValues(this, "塗りつぶしの判定の甘さ",
                                {{"RANGE[1..255]", current, kFillToleranceMinimum, kFillToleranceMaximum}});
  if (!values || values->empty()) return;
  settings.tolerance = std::clamp((*values)[0], kFillToleranceMinimum, kFillToleranceMaximum);
  Refresh();
}

}  // namespace varnel
