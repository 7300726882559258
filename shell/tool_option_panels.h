#pragma once
// The option panels of the eraser and the eyedropper. Each control writes its field of the
// program's settings (ProgramEraserSettings, ProgramEyedropperSettings) at once; the tools read
// them at every click, so nothing is rebuilt. Refresh only shows the settings.

#include <QWidget>

class QButtonGroup;
class QCheckBox;
class QSpinBox;

namespace varnel {

// "消しゴム": "基本不透明度", "透明度に作用", "筆圧不透明", "背景色".
class EraserOptionPanel : public QWidget {
  Q_OBJECT

 public:
  explicit EraserOptionPanel(QWidget* parent = nullptr);

  // Shows the settings again, changing none of them.
  void Refresh();

 private:
  void UpdateEnabled();

  bool m_refreshing = false;
  QSpinBox* m_opacity;
  QCheckBox* m_affectAlpha;
  QCheckBox* m_pressureOpacity;
  QCheckBox* m_background;
};

// "スポイト": the averaging "1*1平均", "3*3平均", "5*5平均" and "表示色から取得".
class EyedropperOptionPanel : public QWidget {
  Q_OBJECT

 public:
  explicit EyedropperOptionPanel(QWidget* parent = nullptr);

  // Shows the settings again, changing none of them.
  void Refresh();

 private:
  bool m_refreshing = false;
  QButtonGroup* m_average;
  QCheckBox* m_fromDisplay;
};

}  // namespace varnel
