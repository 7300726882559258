#include "shell/tool_option_panels.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>

#include "shell/panel_widgets.h"
#include "tools/eraser_tool.h"
#include "tools/eyedropper_tool.h"

namespace varnel {
EraserOptionPanel::EraserOptionPanel(QWidget* parent) : QWidget(parent) {
  setObjectName("EraserOptionPanel");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addWidget(MakeTitle(this, kEraserToolName));

  auto* form = new QFormLayout;
  auto* opacity = new ClampingSpinBox(this);
  opacity->setObjectName("EraserOpacity");
  opacity->setRange(0, 256);
  m_opacity = opacity;
  form->addRow("基本不透明度", m_opacity);
  layout->addLayout(form);

  m_affectAlpha = MakeCheck(this, "EraserAffectAlpha", "透明度に作用", "消したところを透明にします");
  m_pressureOpacity = MakeCheck(this, "EraserPressureOpacity", "筆圧不透明", "筆圧による透明度変化");
  m_background = MakeCheck(this, "EraserBackground", "背景色", "透明にせず背景色で塗ります");
  for (QCheckBox* box : {m_affectAlpha, m_pressureOpacity, m_background}) layout->addWidget(box);
  layout->addStretch(1);

  connect(m_opacity, &QSpinBox::valueChanged, this, [this](int value) {
    if (!m_refreshing) ProgramEraserSettings().baseOpacity = value;
  });
  auto bindFlag = [this](QCheckBox* box, bool EraserSettings::*field) {
    connect(box, &QCheckBox::toggled, this, [this, field](bool on) {
      if (m_refreshing) return;
      ProgramEraserSettings().*field = on;
      UpdateEnabled();
    });
  };
  bindFlag(m_affectAlpha, &EraserSettings::affectAlpha);
  bindFlag(m_pressureOpacity, &EraserSettings::pressureOpacity);
  bindFlag(m_background, &EraserSettings::background);
  Refresh();
}

void EraserOptionPanel::Refresh() {
  RefreshGuard guard(m_refreshing);
  const EraserSettings& s = ProgramEraserSettings();
  m_opacity->setValue(std::clamp(s.baseOpacity, 0, 256));
  m_affectAlpha->setChecked(s.affectAlpha);
  m_pressureOpacity->setChecked(s.pressureOpacity);
  m_background->setChecked(s.background);
  UpdateEnabled();
}

void EraserOptionPanel::UpdateEnabled() {
  // An eraser that leaves alpha alone paints the background colour whatever "背景色" says.
  m_background->setEnabled(ProgramEraserSettings().affectAlpha);
}

// ---------------------------------------------------------------------------------------------

EyedropperOptionPanel::EyedropperOptionPanel(QWidget* parent) : QWidget(parent), m_average(new QButtonGroup(this)) {
  setObjectName("EyedropperOptionPanel");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addWidget(MakeTitle(this, kEyedropperToolName));

  auto* averaging = new QGroupBox(this);
  averaging->setObjectName("EyedropperAveraging");
  auto* averagingLayout = new QVBoxLayout(averaging);
  m_average->setExclusive(true);
  for (int32_t average = 0; average < kEyedropperAverageCount; ++average) {
    auto* button = new QRadioButton(QString::fromUtf8(EyedropperAverageLabel(average)), averaging);
    button->setObjectName(QString("EyedropperAverage%1").arg(EyedropperBlockSide(average)));
    m_average->addButton(button, average);
    averagingLayout->addWidget(button);
  }
  layout->addWidget(averaging);
  m_fromDisplay = MakeCheck(this, "EyedropperFromDisplay", "表示色から取得", "Shift キーを押しながらクリックすると逆になります");
  layout->addWidget(m_fromDisplay);
  layout->addStretch(1);

  connect(m_average, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
    if (!m_refreshing && checked) ProgramEyedropperSettings().average = id;
  });
  connect(m_fromDisplay, &QCheckBox::toggled, this, [this](bool on) {
    if (!m_refreshing) ProgramEyedropperSettings().fromDisplay = on;
  });
  Refresh();
}

void EyedropperOptionPanel::Refresh() {
  RefreshGuard guard(m_refreshing);
  const EyedropperSettings& s = ProgramEyedropperSettings();
  m_average->button(std::clamp(s.average, 0, kEyedropperAverageCount - 1))->setChecked(true);
  m_fromDisplay->setChecked(s.fromDisplay);
}

}  // namespace varnel
