#include "shell/grid_dialog.h"

#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "qtcommon/qt_colour.h"
#include "shell/command_ids.h"
#include "shell/command_table.h"
#include "shell/main_frame.h"
#include "shell/panel_widgets.h"
#include "shell/varnel_doc.h"
#include "shell/varnel_view.h"

namespace varnel {
namespace {

std::function<int(GridDialog&)>& DialogHook() {
  static std::function<int(GridDialog&)> hook;
  return hook;
}

// The sides and places a picture can have; the file may hold anything, which is clamped here.
constexpr int kMaxSide = 16384;
constexpr int kMaxZoomPercent = 3200;
constexpr const char* kColourProperty = "colourRef";

enum AxisColumn { kAxisColour, kAxisInterval, kAxisAngle };

CVarnelDoc* ActiveDocument(const CommandContext& context) {
  const CVarnelView* view = context.frame.ActiveView();
  return view != nullptr ? view->GetDocument() : nullptr;
}

void ShowColour(QPushButton* button, ColourRef colour) {
  button->setProperty(kColourProperty, static_cast<uint>(ValueOf(colour)));
  QPixmap swatch(24, 12);
  swatch.fill(QColorFromColourRef(colour));
  button->setIcon(QIcon(swatch));
}

ColourRef ShownColour(const QPushButton* button) {
  return ColourRef{button->property(kColourProperty).toUInt() & 0x00FFFFFFu};
}

}  // namespace

void SetGridDialogHookForTesting(std::function<int(GridDialog&)> hook) { DialogHook() = std::move(hook); }

void RunGridCommand(CommandContext& context, int id) {
  CVarnelDoc* doc = ActiveDocument(context);
  if (doc == nullptr) return;
  GridSettings grid = doc->Grid();
  switch (id) {
    case cmd::kGrid:
      grid.shown = grid.shown != 0 ? 0 : 1;
      doc->SetGrid(grid, false);
      break;
    case cmd::kGridSnap:
      grid.snap = grid.snap != 0 ? 0 : 1;
      doc->SetGrid(grid, false);
      break;
    case cmd::kGridSettings: {
      GridDialog dialog(grid, &context.frame);
      const int answer = DialogHook() ? DialogHook()(dialog) : dialog.exec();
      if (answer == QDialog::Accepted) doc->SetGrid(dialog.Settings(), true);
      break;
    }
    default:
      break;
  }
}

bool IsGridCommandChecked(const CommandContext& context, int id) {
  const CVarnelDoc* doc = ActiveDocument(context);
  if (doc == nullptr) return false;
  return id == cmd::kGridSnap ? doc->Grid().snap != 0 : doc->Grid().shown != 0;
}

GridDialog::GridDialog(const GridSettings& grid, QWidget* parent) : QDialog(parent) {
  setObjectName("GridDialog");
  setWindowTitle("グリッドの設定");
  auto* layout = new QVBoxLayout(this);

  m_shown = MakeCheck(this, "GridShown", "グリッドを表示");
  layout->addWidget(m_shown);

  auto* kindBox = new QGroupBox("グリッドの種類", this);
  auto* kindLayout = new QHBoxLayout(kindBox);
  m_rectangular = new QRadioButton("縦横グリッド", kindBox);
  m_rectangular->setObjectName("GridKind0");
  m_axisGrid = new QRadioButton("自由グリッド", kindBox);
  m_axisGrid->setObjectName("GridKind1");
  kindLayout->addWidget(m_rectangular);
  kindLayout->addWidget(m_axisGrid);
  layout->addWidget(kindBox);

  auto* form = new QFormLayout;
  m_cellWidth = MakeSpin(this, "GridCellWidth", 1, kMaxSide);
  m_cellHeight = MakeSpin(this, "GridCellHeight", 1, kMaxSide);
  m_colour = new QPushButton("色...", this);
  m_colour->setObjectName("GridColour");
  m_originX = MakeSpin(this, "GridOriginX", -kMaxSide, kMaxSide);
  m_originY = MakeSpin(this, "GridOriginY", -kMaxSide, kMaxSide);
  form->addRow("幅", m_cellWidth);
  form->addRow("高さ", m_cellHeight);
  form->addRow("グリッドの色", m_colour);
  form->addRow("原点 X", m_originX);
  form->addRow("原点 Y", m_originY);
  layout->addLayout(form);

  auto* axesBox = new QGroupBox("自由グリッドの軸", this);
  auto* axesLayout = new QVBoxLayout(axesBox);
  m_axes = new QTableWidget(0, 3, axesBox);
  m_axes->setObjectName("GridAxes");
  m_axes->setHorizontalHeaderLabels({"色", "間隔", "角度"});
  // The three columns share the width, so no axis needs the table scrolled sideways.
  m_axes->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  m_axes->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  m_axes->verticalHeader()->hide();
  m_axes->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_axes->setSelectionMode(QAbstractItemView::SingleSelection);
  axesLayout->addWidget(m_axes);
  auto* axisButtons = new QHBoxLayout;
  m_add = new QPushButton("追加", axesBox);
  m_add->setObjectName("GridAddAxis");
  m_remove = new QPushButton("削除", axesBox);
  m_remove->setObjectName("GridRemoveAxis");
  axisButtons->addWidget(m_add);
  axisButtons->addWidget(m_remove);
  axisButtons->addStretch(1);
  axesLayout->addLayout(axisButtons);
  layout->addWidget(axesBox);

  auto* zoomRow = new QHBoxLayout;
  m_zoomGate = MakeCheck(this, "GridZoomGate", "この倍率(%)から表示");
  m_zoomThreshold = MakeSpin(this, "GridZoomThreshold", 1, kMaxZoomPercent);
  zoomRow->addWidget(m_zoomGate);
  zoomRow->addWidget(m_zoomThreshold);
  layout->addLayout(zoomRow);
  m_snap = MakeCheck(this, "GridSnap", "入力位置をそろえる");
  layout->addWidget(m_snap);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  m_shown->setChecked(grid.shown != 0);
  (grid.kind == 0 ? m_rectangular : m_axisGrid)->setChecked(true);
  m_cellWidth->setValue(std::clamp(grid.cellWidth, 1, kMaxSide));
  m_cellHeight->setValue(std::clamp(grid.cellHeight, 1, kMaxSide));
  ShowColour(m_colour, grid.colour);
  m_originX->setValue(std::clamp(grid.originX, -kMaxSide, kMaxSide));
  m_originY->setValue(std::clamp(grid.originY, -kMaxSide, kMaxSide));
  m_zoomGate->setChecked(grid.zoomGate != 0);
  // The file keeps the threshold as a ratio; NaN or nonsense shows as the nearest the box takes.
  const double percent = std::isfinite(grid.zoomThreshold) ? std::round(grid.zoomThreshold * 100.0) : 400.0;
  m_zoomThreshold->setValue(static_cast<int>(std::clamp(percent, 1.0, double{kMaxZoomPercent})));
  m_snap->setChecked(grid.snap != 0);
  for (const GridAxis& axis : grid.axes.empty() ? GridSettings::DialogAxes() : grid.axes) AddAxis(axis);

  connect(m_rectangular, &QRadioButton::toggled, this, &GridDialog::UpdateEnabled);
  connect(m_zoomGate, &QCheckBox::toggled, this, &GridDialog::UpdateEnabled);
  connect(m_colour, &QPushButton::clicked, this, [this] { ChooseColour(m_colour); });
  connect(m_add, &QPushButton::clicked, this, [this] { AddAxis(); });
  connect(m_remove, &QPushButton::clicked, this, &GridDialog::RemoveSelectedAxis);
  UpdateEnabled();
}

int GridDialog::AxisCount() const { return m_axes->rowCount(); }

void GridDialog::AddAxis(const GridAxis& axis) {
  const int row = m_axes->rowCount();
  if (row >= static_cast<int>(GridSettings::kMaxAxes)) return;
  m_axes->insertRow(row);
  auto* colour = new QPushButton(m_axes);
  ShowColour(colour, axis.colour);
  connect(colour, &QPushButton::clicked, this, [this, colour] { ChooseColour(colour); });
  ClampingSpinBox* interval = MakeSpin(m_axes, "GridAxisInterval", 1, kMaxSide);
  interval->setValue(std::clamp(axis.interval, 1, kMaxSide));
  ClampingSpinBox* angle = MakeSpin(m_axes, "GridAxisAngle", 0, 359);
  angle->setValue(static_cast<int>(((int64_t{axis.angle} % 360) + 360) % 360));
  m_axes->setCellWidget(row, kAxisColour, colour);
  m_axes->setCellWidget(row, kAxisInterval, interval);
  m_axes->setCellWidget(row, kAxisAngle, angle);
  UpdateEnabled();
}

void GridDialog::RemoveSelectedAxis() {
  const int count = m_axes->rowCount();
  if (count == 0) return;
  const int selected = m_axes->currentRow();
  m_axes->removeRow(selected >= 0 && selected < count ? selected : count - 1);
  UpdateEnabled();
}

GridSettings GridDialog::Settings() const {
  GridSettings grid;
  grid.shown = m_shown->isChecked() ? 1 : 0;
  grid.kind = m_rectangular->isChecked() ? 0 : 1;
  grid.cellWidth = m_cellWidth->value();
  grid.cellHeight = m_cellHeight->value();
  grid.colour = ShownColour(m_colour);
  grid.originX = m_originX->value();
  grid.originY = m_originY->value();
  grid.zoomGate = m_zoomGate->isChecked() ? 1 : 0;
  grid.zoomThreshold = m_zoomThreshold->value() / 100.0;
  grid.snap = m_snap->isChecked() ? 1 : 0;
  for (int row = 0; row < m_axes->rowCount(); ++row) {
    const auto* colour = static_cast<const QPushButton*>(m_axes->cellWidget(row, kAxisColour));
    const auto* interval = static_cast<const QSpinBox*>(m_axes->cellWidget(row, kAxisInterval));
    const auto* angle = static_cast<const QSpinBox*>(m_axes->cellWidget(row, kAxisAngle));
    grid.axes.push_back({ShownColour(colour), interval->value(), angle->value()});
  }
  return grid;
}

void GridDialog::UpdateEnabled() {
  const bool rectangular = m_rectangular->isChecked();
  m_cellWidth->setEnabled(rectangular);
  m_cellHeight->setEnabled(rectangular);
  m_colour->setEnabled(rectangular);
  m_axes->setEnabled(!rectangular);
  m_add->setEnabled(!rectangular && m_axes->rowCount() < static_cast<int>(GridSettings::kMaxAxes));
  m_remove->setEnabled(!rectangular && m_axes->rowCount() > 0);
  m_zoomThreshold->setEnabled(m_zoomGate->isChecked());
}

void GridDialog::ChooseColour(QPushButton* button) {
  const QColor chosen = QColorDialog::getColor(QColorFromColourRef(ShownColour(button)), this, "グリッドの色");
  if (chosen.isValid()) ShowColour(button, ColourRefFromQColor(chosen));
}

}  // namespace varnel
