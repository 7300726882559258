#pragma once
// The dialogs of Transformer.so ("RESIZE", "回転", "平行線で回転"), which the program shows for
// the library (it has no user interface of its own on Linux), and the handler of the transform
// commands of the 画像 menu: 画像の任意回転, 直線にあわせて回転, 画像のサイズ変更 (both),
// 右90度回転, 左90度回転, 上下反転 and 左右反転. Every result opens as a new document.

#include <QDialog>
#include <QImage>
#include <QPoint>
#include <QWidget>
#include <functional>

#include "sdk/transformer.h"

class QComboBox;
class QLineEdit;

namespace varnel {

struct CommandContext;
class TransformerLibrary;

// The handler of the eight commands.
void RunTransformCommand(CommandContext& context, int id);
// The program's Transformer.so (loaded at first use), with these dialogs handed to it.
TransformerLibrary& ProgramTransformer();
// The dialogs as the library calls them; the owner handle is the parent QWidget.
TransformerDialogs TransformDialogs();

// "RESIZE": 幅 and 高さ with a percentage beside each (a size edited sets its percentage, a
// percentage its size; an emptied field is 0 for both), and "拡大時補間手法".
class ResizeDialog : public QDialog {
  Q_OBJECT

 public:
  ResizeDialog(int32_t sourceWidth, int32_t sourceHeight, QWidget* parent);
  int32_t NewWidth() const;
  int32_t NewHeight() const;
  int32_t Method() const;

 private:
  struct Axis {
    QLineEdit* size;
    QLineEdit* percent;
    int32_t source;
    int32_t value;
  };
  void Link(Axis& axis);

  Axis m_width{};
  Axis m_height{};
  QComboBox* m_method = nullptr;
};

// "回転": the whole degrees of "角度".
class RotateDialog : public QDialog {
  Q_OBJECT

 public:
  explicit RotateDialog(QWidget* parent);
  int32_t Degrees() const;

 private:
  QLineEdit* m_angle = nullptr;
};

// "平行線で回転": the picture (and a smaller whole view of it); a line dragged over it in red
// gives "度数", the degrees that turn it level. The zoom combo scales the picture view.
class ParallelLineDialog : public QDialog {
  Q_OBJECT

 public:
  ParallelLineDialog(QImage picture, QWidget* parent);
  double Degrees() const { return m_degrees; }
  // The widget the line is dragged on; its pixels are the picture's at the chosen zoom.
  QWidget* PictureView() const;

 private:
  class LineView;
  void LineDragged(QPoint from, QPoint to);

  QImage m_picture;
  LineView* m_view = nullptr;
  LineView* m_overview = nullptr;
  QLineEdit* m_degreesField = nullptr;
  double m_degrees = 0.0;
};

// Tests answer the dialogs: the hook gets each dialog once it is built (not yet shown) and
// answers QDialog::Accepted or Rejected in place of its event loop.
void SetTransformDialogHookForTesting(std::function<int(QDialog&)> hook);

}  // namespace varnel
