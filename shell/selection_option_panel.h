#pragma once
// The selection tool's options: the shape ("領域："), the mode, "ヒストリ", "移動操作", and for the
// colour shapes "サーフェイスを使う", the colour component and "許容範囲". Every control writes the
// program's selection settings at once; Refresh shows them again (after a menu command or a
// tool state load) without writing anything.

#include <QWidget>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QSpinBox;

namespace varnel {

struct SelectionToolSettings;

class SelectionOptionPanel : public QWidget {
  Q_OBJECT

 public:
  explicit SelectionOptionPanel(QWidget* parent = nullptr);
  void Refresh();

 signals:
  // After the user changed a setting.
  void settingsChanged();

 private:
  void Write();
  void UpdateEnabled();

  bool m_refreshing = false;
  QComboBox* m_shape;
  QButtonGroup* m_modes;
  QCheckBox* m_history;
  QComboBox* m_moveOperation;
  QCheckBox* m_useSurface;
  QComboBox* m_component;
  QSpinBox* m_tolerance;
};

}  // namespace varnel
