#pragma once
// The grid of a picture's view: the commands "グリッド" (show or hide it), "入力位置をそろえる"
// (tool input moves onto it) and "グリッドの設定", the dialog that edits every value the layer
// file keeps of it. A grid changed in the dialog makes the picture count as changed, as it is
// saved with it; the two toggles only change how the picture is looked at and drawn on.

#include <QDialog>
#include <functional>
#include <vector>

#include "document/layer_file.h"

class QCheckBox;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTableWidget;

namespace varnel {

struct CommandContext;

// The handler of the three commands on the active picture, and their check marks.
void RunGridCommand(CommandContext& context, int id);
bool IsGridCommandChecked(const CommandContext& context, int id);

class GridDialog : public QDialog {
  Q_OBJECT

 public:
  // Shows grid; a grid without axes starts with the dialog's own three (0°, 60°, 120°).
  explicit GridDialog(const GridSettings& grid, QWidget* parent = nullptr);

  // The settings as the dialog shows them now.
  GridSettings Settings() const;
  int AxisCount() const;
  // Adds an axis (colour 0xF0C8C8, 16 pixels, 0°) unless the file's limit is reached.
  void AddAxis(const GridAxis& axis = GridAxis{});
  // The axis whose row is current (the table makes a row current when one of its controls
  // takes the focus), or the last one when none is.
  void RemoveSelectedAxis();

 private:
  void UpdateEnabled();
  void ChooseColour(QPushButton* button);

  QCheckBox* m_shown;
  QRadioButton* m_rectangular;
  QRadioButton* m_axisGrid;
  QSpinBox* m_cellWidth;
  QSpinBox* m_cellHeight;
  QPushButton* m_colour;
  QSpinBox* m_originX;
  QSpinBox* m_originY;
  QCheckBox* m_zoomGate;
  QSpinBox* m_zoomThreshold;
  QCheckBox* m_snap;
  QTableWidget* m_axes;
  QPushButton* m_add;
  QPushButton* m_remove;
};

// Tests answer the dialog: the hook gets it once it is built (not yet shown), may change its
// controls, and answers QDialog::Accepted or Rejected in place of its event loop.
void SetGridDialogHookForTesting(std::function<int(GridDialog&)> hook);

}  // namespace varnel
