#include "sievehost/filter_dialog.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <cstring>

namespace varnel::sievehost {

// Frame 8003: the preview at its top-left corner, or the zero-division text when the image
// has no preview.
class PreviewFrame : public QWidget {
 public:
  PreviewFrame(QWidget* parent, const SievehostPreview& preview) : QWidget(parent), m_preview(preview) {
    setObjectName(QString::number(FilterDialog::kPreviewFrameId));
    setFixedSize(kSievehostPreviewSide + 2, kSievehostPreviewSide + 2);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    painter.setPen(palette().mid().color());
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    if (!m_preview.IsLoaded()) {
      painter.setPen(palette().text().color());
      painter.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap, QString::fromUtf8(kSievehostZeroDivisionText));
      return;
    }
    const ImageSurface& surface = m_preview.Surface();
    // Pixels are BGRA words, not premultiplied: QImage's ARGB32 exactly.
    QImage image(surface.Width(), surface.Height(), QImage::Format_ARGB32);
    for (int32_t y = 0; y < surface.Height(); ++y)
      std::memcpy(image.scanLine(y), surface.Row(y), static_cast<size_t>(surface.Width()) * 4);
    painter.drawImage(QPoint(1, 1), image);
  }

 private:
  const SievehostPreview& m_preview;
};

FilterDialog::FilterDialog(QWidget* owner, ImageDescriptor& head, const SievehostLibraryList& libraries)
    : QDialog(owner), m_head(head), m_libraries(libraries) {
  setWindowTitle(QStringLiteral("フィルタ/効果"));
  m_tree = new QTreeWidget(this);
  m_tree->setHeaderHidden(true);
  for (const SievehostTreeNode& node : SievehostFilterTree(libraries)) {
    auto* top = new QTreeWidgetItem(m_tree, {QString::fromStdString(node.library)});
    for (const std::string& filter : node.filters) new QTreeWidgetItem(top, {QString::fromStdString(filter)});
  }
  m_tree->expandAll();

  m_preview.Load(m_head);
  m_frame = new PreviewFrame(this, m_preview);
  auto* previewButton = new QPushButton(QStringLiteral("プレビュー"), this);
  previewButton->setObjectName(QString::number(kPreviewId));

  auto* slotGrid = new QGridLayout;
  for (int i = 0; i < kSievehostSlots; ++i) {
    m_names[i] = new QLabel(this);
    m_names[i]->setObjectName(QString::number(kFirstNameId + i));
    m_sliders[i] = new QSlider(Qt::Horizontal, this);
    m_sliders[i]->setObjectName(QString::number(kFirstSliderId + i));
    m_sliders[i]->setPageStep(5);
    m_values[i] = new QLabel(this);
    m_values[i]->setObjectName(QString::number(kFirstValueId + i));
    m_values[i]->setMinimumWidth(60);
    slotGrid->addWidget(m_names[i], i, 0);
    slotGrid->addWidget(m_sliders[i], i, 1);
    slotGrid->addWidget(m_values[i], i, 2);
    // The preview follows when a drag ends, or at once for a key or a click on the track.
    connect(m_sliders[i], &QSlider::valueChanged, this, [this, i] {
      ShowValueTexts();
      if (!m_sliders[i]->isSliderDown()) RefreshPreview();
    });
    connect(m_sliders[i], &QSlider::sliderReleased, this, &FilterDialog::RefreshPreview);
  }

  auto* copyParam = new QPushButton(QStringLiteral("COPY PARAM"), this);
  copyParam->setObjectName(QString::number(kCopyParamId));
  auto* comment = new QLineEdit(this);
  comment->setObjectName(QString::number(kCommentId));
  m_progress = new QProgressBar(this);
  m_progress->setObjectName(QString::number(kProgressId));
  m_progress->setRange(0, 100);
  m_progress->setValue(0);
  m_abort = new QPushButton(QStringLiteral("中止"), this);
  m_abort->setObjectName(QString::number(kAbortId));
  m_abort->setEnabled(false);
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);

  auto* previewColumn = new QVBoxLayout;
  previewColumn->addWidget(m_frame);
  previewColumn->addWidget(previewButton);
  previewColumn->addStretch(1);
  auto* top = new QHBoxLayout;
  top->addWidget(m_tree, 1);
  top->addLayout(previewColumn);
  auto* commentRow = new QHBoxLayout;
  commentRow->addWidget(new QLabel(QStringLiteral("COMMENT:"), this));
  commentRow->addWidget(comment, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(copyParam);
  buttons->addStretch(1);
  buttons->addWidget(m_abort);
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top, 1);
  layout->addLayout(slotGrid);
  layout->addLayout(commentRow);
  layout->addWidget(m_progress);
  layout->addLayout(buttons);

  connect(m_tree, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) { SelectItem(item); });
  connect(previewButton, &QPushButton::clicked, this, &FilterDialog::RefreshPreview);
  connect(copyParam, &QPushButton::clicked, this, &FilterDialog::CopyParam);
  connect(m_abort, &QPushButton::clicked, this, [this] {
    if (m_run) m_run->RequestAbort();
  });
  connect(ok, &QPushButton::clicked, this, &FilterDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &FilterDialog::reject);
  ShowValueTexts();
}

void FilterDialog::SelectItem(QTreeWidgetItem* item) {
  // A library's own item chooses nothing and leaves the sliders as they are.
  if (item == nullptr || item->parent() == nullptr) return;
  Choice choice;
  choice.libraryName = item->parent()->text(0).toStdString();
  choice.filterName = item->text(0).toStdString();
  choice.library = m_libraries.Find(choice.libraryName);
  if (choice.library == nullptr) return;
  choice.parameters = SievehostParameters(*choice.library, choice.filterName);
  m_choice = std::move(choice);
  for (int i = 0; i < kSievehostSlots; ++i) {
    const bool used = static_cast<size_t>(i) < m_choice->parameters.size();
    m_names[i]->setVisible(used);
    m_sliders[i]->setVisible(used);
    m_values[i]->setVisible(used);
    if (!used) continue;
    const SievehostParameter& parameter = m_choice->parameters[static_cast<size_t>(i)];
    const QSignalBlocker quiet(m_sliders[i]);
    m_sliders[i]->setRange(parameter.min, parameter.max);
    m_sliders[i]->setValue(parameter.def);
    m_names[i]->setText(QString::fromStdString(parameter.name));
  }
  ShowValueTexts();
  m_preview.Load(m_head);
  RefreshPreview();
}

std::vector<int32_t> FilterDialog::Values() const {
  if (!m_choice) return {};
  std::vector<int32_t> positions;
  for (const QSlider* slider : m_sliders) positions.push_back(slider->value());
  return SievehostRunValues(m_choice->parameters, positions);
}

void FilterDialog::ShowValueTexts() {
  if (!m_choice) {
    for (QLabel* value : m_values) value->clear();
    return;
  }
  const std::vector<int32_t> values = Values();
  for (int i = 0; i < kSievehostSlots && static_cast<size_t>(i) < values.size(); ++i) {
    m_values[i]->setText(
        QString::fromStdString(SievehostValueText(*m_choice->library, m_choice->filterName, i, values[i])));
  }
}

void FilterDialog::RefreshPreview() {
  if (m_choice) m_preview.Run(*m_choice->library, m_choice->filterName, Values());
  m_frame->update();
}

void FilterDialog::CopyParam() {
  if (!m_choice) return;
  QApplication::clipboard()->setText(
      QString::fromStdString(SievehostCopyParamText(m_choice->libraryName, m_choice->filterName, Values())));
}

void FilterDialog::accept() {
  if (m_run != nullptr) return;  // OK does nothing while the filter runs
  if (m_choice) {
    m_abort->setEnabled(true);
    SievehostFilterRun run([this](int32_t percent) {
      m_progress->setValue(percent);
      QApplication::processEvents();
    });
    m_run = &run;
    run.Run(*m_choice->library, m_choice->filterName, Values(), m_head);
    m_run = nullptr;
    m_abort->setEnabled(false);
  }
  QDialog::accept();
}

void FilterDialog::reject() {
  if (m_run != nullptr) return;
  QDialog::reject();
}

void FilterDialog::closeEvent(QCloseEvent* event) {
  if (m_run != nullptr) {
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

}  // namespace varnel::sievehost
