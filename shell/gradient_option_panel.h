#pragma once
// The option panel of the gradient tool "グラデーション描画": "グラデーション形状" ("線形" or
// "ユーザ定義" with a pattern of res/grad.gpi), "編集", "追加" and "削除" through Huebox's gradient
// editor, and "ソリッド描画" or "ブラシ描画". Every control writes ProgramGradientSettings at
// once. The patterns are asked of Huebox only once "ユーザ定義" is in use, so a program without
// the library says so only to whoever wants its patterns.

#include <QWidget>
#include <optional>

#include "tools/gradient_tool.h"

class QComboBox;
class QPushButton;
class QRadioButton;

namespace varnel {

// Pattern index of res/grad.gpi as Huebox hands it out, for the tool (SetProgramGradientPatterns).
std::optional<GradientPattern> HueboxGradientPattern(int32_t index);

class GradientOptionPanel : public QWidget {
  Q_OBJECT

 public:
  explicit GradientOptionPanel(QWidget* parent = nullptr);

  // Shows the settings again (after a tool state load).
  void Refresh();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  // Reads the pattern list again and selects the settings' pattern.
  void LoadPatterns();
  // Huebox's gradient editor on pattern index; the pattern chosen when it saved is used.
  void Edit(int index);
  void UpdateEnabled();

  bool m_refreshing = false;
  bool m_patternsLoaded = false;
  QRadioButton* m_linear;
  QRadioButton* m_user;
  QComboBox* m_patterns;
  QPushButton* m_edit;
  QPushButton* m_add;
  QPushButton* m_delete;
  QRadioButton* m_solid;
  QRadioButton* m_brush;
};

}  // namespace varnel
