#include "shell/transform_dialogs.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>
#include <optional>

#include "core/canvas.h"
#include "platform/host.h"
#include "shell/command_ids.h"
#include "shell/command_table.h"
#include "shell/document_commands.h"
#include "shell/main_frame.h"
#include "shell/varnel_app.h"
#include "shell/varnel_doc.h"
#include "shell/varnel_view.h"
#include "transformer/transform_host.h"
#include "transformer/transformer.h"

namespace varnel {
namespace {

// The percentages of the zoom combo of "平行線で回転".
constexpr int kZooms[] = {25, 50, 100, 200};
constexpr int kOverviewSide = 160;

std::function<int(QDialog&)>& Hook() {
  static std::function<int(QDialog&)> hook;
  return hook;
}

int Run(QDialog& dialog) { return Hook() ? Hook()(dialog) : dialog.exec(); }

// OK and "ｷｬﾝｾﾙ", as the library's dialogs label them.
QDialogButtonBox* Buttons(QDialog* dialog) {
  auto* buttons = new QDialogButtonBox(dialog);
  buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole)->setDefault(true);
  buttons->addButton(QStringLiteral("ｷｬﾝｾﾙ"), QDialogButtonBox::RejectRole);
  QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
  return buttons;
}

QLineEdit* NumberField(QWidget* parent, const QString& name, int minimum, int maximum) {
  auto* field = new QLineEdit(parent);
  field->setObjectName(name);
  field->setValidator(new QIntValidator(minimum, maximum, field));
  return field;
}

// The picture of "平行線で回転": the header and bottom-up memory of a 32-bit image, shown
// without its alpha as the view shows a layer.
QImage PictureOf(const VarnelBitmapInfoHeader* header, const void* bits) {
  if (header == nullptr || bits == nullptr || header->biWidth <= 0 || header->biHeight <= 0) return {};
  const QImage bottomUp(static_cast<const uchar*>(bits), header->biWidth, header->biHeight, header->biWidth * 4,
                        QImage::Format_RGB32);
  return bottomUp.mirrored(false, true);
}

int32_t AskResize(void*, void* owner, int32_t sourceWidth, int32_t sourceHeight, int32_t* width, int32_t* height,
                  int32_t* method) {
  ResizeDialog dialog(sourceWidth, sourceHeight, static_cast<QWidget*>(owner));
  if (Run(dialog) != QDialog::Accepted) return 0;
  *width = dialog.NewWidth();
  *height = dialog.NewHeight();
  *method = dialog.Method();
  return 1;
}

int32_t AskRotate(void*, void* owner, int32_t* degrees) {
  RotateDialog dialog(static_cast<QWidget*>(owner));
  if (Run(dialog) != QDialog::Accepted) return 0;
  *degrees = dialog.Degrees();
  return 1;
}

int32_t AskParallelLine(void*, void* owner, const VarnelBitmapInfoHeader* header, const void* bits, double* degrees) {
  ParallelLineDialog dialog(PictureOf(header, bits), static_cast<QWidget*>(owner));
  if (Run(dialog) != QDialog::Accepted) return 0;
  *degrees = dialog.Degrees();
  return 1;
}

// Opens what a transform made as a new document.
void OpenResult(CommandContext& context, TransformResult result) {
  if (result.layers.empty()) return;
  CVarnelDoc* doc = context.app.OpenLayerAsDocument(std::move(result.layers.front()));
  if (doc == nullptr) return;
  Canvas& canvas = doc->GetCanvas();
  const bool more = result.layers.size() > 1 || canvas.GetSize() != result.canvas || result.selection;
  for (size_t k = 1; k < result.layers.size(); ++k) canvas.AppendLayer(std::move(result.layers[k]), false);
  if (!canvas.ResizeCanvas(result.canvas.width, result.canvas.height))
    GetHost().MessageBox(kMsgTransformNoMemory, "", kMbOk | kMbIconWarning);
  if (result.selection) canvas.SetSelection(std::move(result.selection));
  if (!more) return;
  canvas.ComposeAll();
  canvas.Composite().ClearDirty();
  context.app.RedrawAllViews();
  emit context.commands.layersChanged();
}

}  // namespace

// ---- RESIZE --------------------------------------------------------------------------------

ResizeDialog::ResizeDialog(int32_t sourceWidth, int32_t sourceHeight, QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("RESIZE"));
  auto* grid = new QGridLayout;
  auto addAxis = [&](Axis& axis, int row, const QString& label, const QString& name, int32_t source) {
    axis.source = source;
    axis.value = source;
    axis.size = NumberField(this, name, 0, 999999);
    axis.size->setText(QString::number(source));
    axis.percent = NumberField(this, name + "Percent", 0, 999999);
    axis.percent->setText(QStringLiteral("100"));
    grid->addWidget(new QLabel(label, this), row, 0);
    grid->addWidget(axis.size, row, 1);
    grid->addWidget(axis.percent, row, 2);
    grid->addWidget(new QLabel(QStringLiteral("%"), this), row, 3);
    Link(axis);
  };
  addAxis(m_width, 0, QStringLiteral("幅"), QStringLiteral("width"), sourceWidth);
  addAxis(m_height, 1, QStringLiteral("高さ"), QStringLiteral("height"), sourceHeight);
  m_method = new QComboBox(this);
  m_method->setObjectName(QStringLiteral("method"));
  for (const char* label : kResampleMethodLabels) m_method->addItem(QString::fromUtf8(label));
  m_method->setCurrentIndex(0);
  grid->addWidget(new QLabel(QStringLiteral("拡大時補間手法"), this), 2, 0);
  grid->addWidget(m_method, 2, 1, 1, 3);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addWidget(Buttons(this));
}

// Only what the user types links the fields, so setting the other one does not come back.
void ResizeDialog::Link(Axis& axis) {
  connect(axis.size, &QLineEdit::textEdited, this, [&axis](const QString& text) {
    axis.value = text.isEmpty() ? 0 : text.toInt();
    axis.percent->setText(QString::number(text.isEmpty() ? 0 : ResizePercentForSize(axis.value, axis.source)));
  });
  connect(axis.percent, &QLineEdit::textEdited, this, [&axis](const QString& text) {
    axis.value = text.isEmpty() ? 0 : ResizeSizeForPercent(text.toInt(), axis.source);
    axis.size->setText(QString::number(axis.value));
  });
}

int32_t ResizeDialog::NewWidth() const { return m_width.value; }
int32_t ResizeDialog::NewHeight() const { return m_height.value; }
int32_t ResizeDialog::Method() const { return m_method->currentIndex(); }

// ---- 回転 ----------------------------------------------------------------------------------

RotateDialog::RotateDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("回転"));
  m_angle = NumberField(this, QStringLiteral("angle"), -999999, 999999);
  m_angle->setText(QStringLiteral("0"));
  auto* row = new QHBoxLayout;
  row->addWidget(new QLabel(QStringLiteral("角度"), this));
  row->addWidget(m_angle);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(row);
  layout->addWidget(Buttons(this));
}

int32_t RotateDialog::Degrees() const { return m_angle->text().toInt(); }

// ---- 平行線で回転 ----------------------------------------------------------------------------

// The picture at a scale, with the dragged line over it in red, 2 pixels wide. Points are
// picture pixels; a view that takes drags reports them.
class ParallelLineDialog::LineView : public QWidget {
 public:
  LineView(const QImage& picture, QWidget* parent) : QWidget(parent), m_picture(picture) { SetScale(1.0); }

  void SetScale(double scale) {
    m_scale = scale;
    setFixedSize(std::max(1, int(m_picture.width() * scale)), std::max(1, int(m_picture.height() * scale)));
    update();
  }
  void SetLine(QPoint from, QPoint to) {
    m_from = from;
    m_to = to;
    m_hasLine = true;
    update();
  }
  std::function<void(QPoint, QPoint)> dragged;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, m_scale < 1.0);
    painter.drawImage(rect(), m_picture);
    if (!m_hasLine) return;
    painter.setPen(QPen(Qt::red, 2));
    painter.drawLine(QPointF(m_from) * m_scale, QPointF(m_to) * m_scale);
  }
  void mousePressEvent(QMouseEvent* event) override {
    if (!dragged || event->button() != Qt::LeftButton) return;
    m_pressed = ToPicture(event->position());
    m_dragging = true;
  }
  void mouseMoveEvent(QMouseEvent* event) override {
    if (m_dragging) dragged(m_pressed, ToPicture(event->position()));
  }
  void mouseReleaseEvent(QMouseEvent* event) override {
    if (m_dragging) dragged(m_pressed, ToPicture(event->position()));
    m_dragging = false;
  }

 private:
  QPoint ToPicture(QPointF point) const { return {int(point.x() / m_scale), int(point.y() / m_scale)}; }

  QImage m_picture;
  double m_scale = 1.0;
  QPoint m_from, m_to, m_pressed;
  bool m_hasLine = false;
  bool m_dragging = false;
};

ParallelLineDialog::ParallelLineDialog(QImage picture, QWidget* parent) : QDialog(parent), m_picture(std::move(picture)) {
  setWindowTitle(QStringLiteral("平行線で回転"));
  m_view = new LineView(m_picture, this);
  m_view->setObjectName(QStringLiteral("picture"));
  m_view->dragged = [this](QPoint from, QPoint to) { LineDragged(from, to); };
  auto* scroll = new QScrollArea(this);
  scroll->setWidget(m_view);
  scroll->setMinimumSize(480, 360);

  m_overview = new LineView(m_picture, this);
  if (!m_picture.isNull())
    m_overview->SetScale(std::min(1.0, double(kOverviewSide) / std::max(m_picture.width(), m_picture.height())));

  m_degreesField = new QLineEdit(QStringLiteral("0"), this);
  m_degreesField->setObjectName(QStringLiteral("degrees"));
  m_degreesField->setReadOnly(true);
  auto* zoom = new QComboBox(this);
  zoom->setObjectName(QStringLiteral("zoom"));
  for (int percent : kZooms) zoom->addItem(QString::number(percent) + "%", percent);
  zoom->setCurrentIndex(2);
  connect(zoom, &QComboBox::currentIndexChanged, this,
          [this, zoom](int) { m_view->SetScale(zoom->currentData().toInt() / 100.0); });

  auto* side = new QVBoxLayout;
  side->addWidget(m_overview);
  auto* degrees = new QHBoxLayout;
  degrees->addWidget(new QLabel(QStringLiteral("度数"), this));
  degrees->addWidget(m_degreesField);
  side->addLayout(degrees);
  side->addWidget(zoom);
  side->addWidget(new QLabel(QStringLiteral("ドラッグして直線を引いてください。"), this));
  side->addWidget(new QLabel(QStringLiteral("その部分が平行になるように回転します。"), this));
  side->addStretch();
  side->addWidget(Buttons(this));
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(scroll, 1);
  layout->addLayout(side);
}

QWidget* ParallelLineDialog::PictureView() const { return m_view; }

void ParallelLineDialog::LineDragged(QPoint from, QPoint to) {
  m_view->SetLine(from, to);
  m_overview->SetLine(from, to);
  if (from == to) return;
  m_degrees = DraggedLineDegrees(from.x(), from.y(), to.x(), to.y());
  m_degreesField->setText(QString::number(m_degrees, 'f', 2));
}

// ---- The commands --------------------------------------------------------------------------

TransformerDialogs TransformDialogs() {
  TransformerDialogs dialogs{};
  dialogs.resize = AskResize;
  dialogs.rotate = AskRotate;
  dialogs.parallelLine = AskParallelLine;
  return dialogs;
}

TransformerLibrary& ProgramTransformer() {
  static TransformerLibrary library;
  return library;
}

void RunTransformCommand(CommandContext& context, int id) {
  CVarnelView* view = context.frame.ActiveView();
  CVarnelDoc* doc = view ? view->GetDocument() : nullptr;
  if (doc == nullptr) return;
  Canvas& canvas = doc->GetCanvas();
  TransformerLibrary& library = ProgramTransformer();
  library.SetDialogs(TransformDialogs());
  void* owner = &context.frame;
  std::optional<TransformResult> result;
  switch (id) {
    case cmd::kResizeActiveLayer:
    case cmd::kResizeAllLayers:
      result = TransformLayers(canvas, library, kTransformResize, id == cmd::kResizeAllLayers, owner);
      break;
    case cmd::kRotateFree:
      result = TransformLayers(canvas, library, kTransformRotate, false, owner);
      break;
    case cmd::kRotateToLine:
      result = RotateToLine(canvas, library, owner);
      break;
    case cmd::kTurnRight:
      result = ApplyFixedTransform(canvas, FixedTransform::kTurnRight);
      break;
    case cmd::kTurnLeft:
      result = ApplyFixedTransform(canvas, FixedTransform::kTurnLeft);
      break;
    case cmd::kFlipVertical:
      result = ApplyFixedTransform(canvas, FixedTransform::kFlipVertical);
      break;
    case cmd::kFlipHorizontal:
      result = ApplyFixedTransform(canvas, FixedTransform::kFlipHorizontal);
      break;
    default:
      return;
  }
  if (result) OpenResult(context, std::move(*result));
}

void SetTransformDialogHookForTesting(std::function<int(QDialog&)> hook) { Hook() = std::move(hook); }

}  // namespace varnel
