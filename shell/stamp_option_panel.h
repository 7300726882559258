#pragma once
// The option panel of the stamp tool "スタンプ": "モード" (the blend modes), "コピー", "位置固定",
// "大きさ" and "透明度", which write ProgramStampSettings at once, and the ways to take a stamp:
// "取得" (the next drag on the picture), "ファイルから取得" and "領域から取得". The stamp taken
// last is shown beneath.

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;

namespace varnel {

class StampOptionPanel : public QWidget {
  Q_OBJECT

 public:
  explicit StampOptionPanel(QWidget* parent = nullptr);
  ~StampOptionPanel() override;

  // Shows the settings and the stamp again (after a tool state load, or a stamp taken).
  void Refresh();

 private:
  void TakeFromFile();
  void TakeFromSelection();
  void ShowStamp();

  bool m_refreshing = false;
  QComboBox* m_mode;
  QCheckBox* m_copy;
  QCheckBox* m_fixedPosition;
  QSpinBox* m_scale;
  QSpinBox* m_opacity;
  QPushButton* m_take;
  QPushButton* m_fromFile;
  QPushButton* m_fromSelection;
  QLabel* m_preview;
};

}  // namespace varnel
