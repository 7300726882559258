#pragma once
// The option panel of the closed-area fill: its range, its mode, the tolerance asked for in a
// small dialog, and "エッジぼかし". Every control writes ProgramAreaFillSettings at once.

#include <QWidget>

class QCheckBox;
class QPushButton;
class QRadioButton;

namespace varnel {

class AreaFillOptionPanel : public QWidget {
  Q_OBJECT

 public:
  explicit AreaFillOptionPanel(QWidget* parent = nullptr);

  // Shows the settings again (after a tool state load).
  void Refresh();

 private:
  void AskTolerance();

  bool m_refreshing = false;
  QRadioButton* m_whole;
  QRadioButton* m_rgbRange;
  QRadioButton* m_foreground;
  QRadioButton* m_brush;
  QRadioButton* m_clear;
  QPushButton* m_tolerance;
  QCheckBox* m_feather;
};

}  // namespace varnel
