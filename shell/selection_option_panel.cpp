#include "shell/selection_option_panel.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "shell/panel_widgets.h"
#include "tools/selection_tool.h"

namespace varnel {

SelectionOptionPanel::SelectionOptionPanel(QWidget* parent) : QWidget(parent) {
  setObjectName("SelectionOptionPanel");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addWidget(MakeTitle(this, kSelectionToolName));

  auto* form = new QFormLayout;
  m_shape = new QComboBox(this);
  m_shape->setObjectName("SelectionShape");
  for (int32_t shape = 0; shape < kSelectionShapeCount; ++shape)
    m_shape->addItem(QString::fromUtf8(SelectionShapePanelLabel(shape)));
  form->addRow("領域：", m_shape);
  layout->addLayout(form);

  auto* modes = new QGroupBox(this);
  modes->setObjectName("SelectionModes");
  auto* modeLayout = new QVBoxLayout(modes);
  m_modes = new QButtonGroup(this);
  for (int32_t mode = 0; mode < kSelectionModeCount; ++mode) {
    auto* button = new QRadioButton(QString::fromUtf8(SelectionModePanelLabel(mode)), modes);
    button->setObjectName(QString("SelectionMode%1").arg(mode));
    m_modes->addButton(button, mode);
    modeLayout->addWidget(button);
  }
  layout->addWidget(modes);

  m_history = new QCheckBox("ヒストリ", this);
  m_history->setObjectName("SelectionHistory");
  m_history->setToolTip("領域の変更を元に戻せるようにします");
  layout->addWidget(m_history);

  auto* moveForm = new QFormLayout;
  m_moveOperation = new QComboBox(this);
  m_moveOperation->setObjectName("SelectionMoveOperation");
  m_moveOperation->addItems({"なし", "コピー", "移動"});
  m_moveOperation->setToolTip("領域の移動で選択された画素をどうするか");
  moveForm->addRow("移動操作", m_moveOperation);
  layout->addLayout(moveForm);

  auto* colours = new QGroupBox(this);
  colours->setObjectName("SelectionColours");
  auto* colourForm = new QFormLayout(colours);
  m_useSurface = new QCheckBox("サーフェイスを使う", colours);
  m_useSurface->setObjectName("SelectionUseSurface");
  m_component = new QComboBox(colours);
  m_component->setObjectName("SelectionComponent");
  m_component->addItems({"RGB", "色相", "彩度", "明度"});
  m_tolerance = new QSpinBox(colours);
  m_tolerance->setObjectName("SelectionTolerance");
  m_tolerance->setRange(0, 255);
  colourForm->addRow(m_useSurface);
  colourForm->addRow(m_component);
  colourForm->addRow("許容範囲", m_tolerance);
  layout->addWidget(colours);
  layout->addStretch(1);

  connect(m_shape, &QComboBox::currentIndexChanged, this, &SelectionOptionPanel::Write);
  connect(m_modes, &QButtonGroup::idToggled, this, [this](int, bool on) {
    if (on) Write();
  });
  connect(m_history, &QCheckBox::toggled, this, &SelectionOptionPanel::Write);
  connect(m_moveOperation, &QComboBox::currentIndexChanged, this, &SelectionOptionPanel::Write);
  connect(m_useSurface, &QCheckBox::toggled, this, &SelectionOptionPanel::Write);
  connect(m_component, &QComboBox::currentIndexChanged, this, &SelectionOptionPanel::Write);
  connect(m_tolerance, &QSpinBox::valueChanged, this, &SelectionOptionPanel::Write);
  Refresh();
}

void SelectionOptionPanel::Refresh() {
  const SelectionToolSettings& settings = ProgramSelectionSettings();
  m_refreshing = true;
  m_shape->setCurrentIndex(settings.shape);
  if (QAbstractButton* button = m_modes->button(settings.mode)) button->setChecked(true);
  m_history->setChecked(settings.history);
  m_moveOperation->setCurrentIndex(settings.moveOperation);
  m_useSurface->setChecked(settings.useSurface);
  m_component->setCurrentIndex(settings.component);
  m_tolerance->setValue(settings.tolerance);
  m_refreshing = false;
  UpdateEnabled();
}

void SelectionOptionPanel::Write() {
  if (m_refreshing) return;
  SelectionToolSettings& settings = ProgramSelectionSettings();
  settings.shape = m_shape->currentIndex();
  settings.mode = std::max(0, m_modes->checkedId());
  settings.history = m_history->isChecked();
  settings.moveOperation = m_moveOperation->currentIndex();
  settings.useSurface = m_useSurface->isChecked();
  settings.component = m_component->currentIndex();
  settings.tolerance = m_tolerance->value();
  UpdateEnabled();
  emit settingsChanged();
}

void SelectionOptionPanel::UpdateEnabled() {
  const SelectionToolSettings& settings = ProgramSelectionSettings();
  // The colour controls serve the colour shapes; the move operation the move mode.
  const bool colourShape = settings.shape >= kSelectFill;
  for (QWidget* control : {static_cast<QWidget*>(m_useSurface), static_cast<QWidget*>(m_component),
                           static_cast<QWidget*>(m_tolerance)})
    control->setEnabled(colourShape);
  m_moveOperation->setEnabled(settings.mode == kSelectMove);
}

}  // namespace varnel
