#pragma once
// The gradient editor: the patterns of a gradient file in a list, the selected pattern's name,
// its stops on a bar and in a list, each stop's position, colour and opacity; patterns and
// stops are added and deleted here, and 保存 writes the file back. The editing itself is
// gradient_file.h's; this is only its window.

#include <QDialog>
#include <QWidget>
#include <string>
#include <vector>

#include "huebox/gradient_file.h"

class QDoubleSpinBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;

namespace varnel::huebox {

inline constexpr const char* kGradientEditorTitle = "グラデーション編集";

// The selected pattern drawn across its width over a checkerboard, with a marker under each
// stop; a marker is chosen by a click and dragged along the bar.
class GradientBar : public QWidget {
  Q_OBJECT

 public:
  explicit GradientBar(QWidget* parent = nullptr);
  void SetGradient(const Gradient* gradient, int selectedStop);
  QSize sizeHint() const override { return {320, 44}; }

 signals:
  void stopChosen(int index);
  void stopDragged(int index, int32_t position);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  QRect BarRect() const;
  int XOfPosition(int32_t position) const;
  int32_t PositionOfX(int x) const;

  const Gradient* m_gradient = nullptr;
  int m_selected = -1;
  int m_dragging = -1;
};

class GradientEditor : public QDialog {
  Q_OBJECT

 public:
  // path: the file 保存 writes. selected: the pattern chosen at first.
  GradientEditor(QWidget* parent, std::string path, std::vector<Gradient> gradients, int selected);

  const std::vector<Gradient>& Gradients() const { return m_gradients; }
  int SelectedPattern() const;
  int SelectedStop() const { return m_stop; }

  // The buttons' work, also for tests.
  void AddPattern();
  void DuplicatePattern();
  void DeletePattern();
  void AddStop();
  void DeleteStop();
  void SetStopPosition(int32_t position);
  void SetStopColour(GradientColour colour);
  void Save();

 private:
  Gradient* Current();
  void ChoosePattern(int index);
  void ChooseStop(int index);
  void RefreshPatternList();
  void RefreshPattern();
  void RefreshStops();
  void AskStopColour();

  std::string m_path;
  std::vector<Gradient> m_gradients;
  int m_stop = 0;
  bool m_refreshing = false;

  QListWidget* m_patterns;
  QPushButton* m_deletePattern;
  QLineEdit* m_name;
  GradientBar* m_bar;
  QListWidget* m_stops;
  QPushButton* m_addStop;
  QPushButton* m_deleteStop;
  QDoubleSpinBox* m_position;
  QPushButton* m_colour;
  QSpinBox* m_alpha;
};

// Opens the editor over the file at path (a missing file starts an empty list) with pattern
// selected chosen, modally. Answers true when the file was saved, with the pattern selected
// at that moment in chosen (when not null). A file that cannot be read is told and the
// editor does not open.
bool RunGradientEditor(QWidget* parent, const std::string& path, int selected, int* chosen);

}  // namespace varnel::huebox
