#include "shell/effect_dialog.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPainter>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cstring>

#include "core/canvas.h"
#include "core/layer.h"
#include "document/document_file.h"
#include "document/picture_loader.h"
#include "platform/host.h"
#include "shell/child_frame.h"
#include "shell/command_table.h"
#include "shell/document_commands.h"
#include "shell/main_frame.h"
#include "shell/qt_draw_context.h"
#include "shell/varnel_app.h"
#include "shell/varnel_doc.h"
#include "shell/varnel_view.h"

namespace varnel {

namespace {

constexpr int32_t kDefaultFrameCount = 10;
constexpr int32_t kMaxFrameCount = 999;
constexpr int32_t kDefaultFrameRate = 15;  // frames per second
constexpr int32_t kMaxFrameRate = 60;
constexpr int kLibraryRole = Qt::UserRole;
constexpr int kTypeRole = Qt::UserRole + 1;

constexpr const char* kCannotDraw = "この効果ではこのフレームを描画できません";
constexpr const char* kCannotWrite = "ファイルに書き込めません";

std::function<int(QDialog&)>& Hook() {
  static std::function<int(QDialog&)> hook;
  return hook;
}

std::function<QString()>& FolderChooser() {
  static std::function<QString()> chooser;
  return chooser;
}

bool CopySurface(const ImageSurface& from, ImageSurface& to) {
  if (from.Width() < 1 || from.Height() < 1 || to.CreateUnfilled(from.GetSize()) != 0) return false;
  for (int32_t y = 0; y < from.Height(); ++y)
    std::memcpy(to.Row(y), from.Row(y), static_cast<size_t>(from.Width()) * sizeof(uint32_t));
  to.DiscardBackups();
  return true;
}

// The effect's opacity (0 … 256) as a layer's (0 … 100), rounded.
int32_t LayerOpacity(int32_t opacity) { return (std::clamp(opacity, 0, 256) * 100 + 128) / 256; }

// A PNG shows the frame as the fade shows it: the opacity goes into every pixel's alpha.
void ApplyOpacity(ImageSurface& frame, int32_t opacity) {
  if (opacity >= 256) return;
  const uint32_t weight = static_cast<uint32_t>(std::max(opacity, 0));
  for (int32_t y = 0; y < frame.Height(); ++y) {
    uint32_t* row = frame.Row(y);
    for (int32_t x = 0; x < frame.Width(); ++x) {
      const uint32_t alpha = ((row[x] >> 24) * weight) >> 8;
      row[x] = (row[x] & 0x00FFFFFFu) | (alpha << 24);
    }
  }
}

}  // namespace

QString EffectFrameFileName(int32_t k) { return QStringLiteral("frame%1.png").arg(k, 4, 10, QLatin1Char('0')); }

// The frame fitted into the widget over a checkerboard, at the fade's opacity.
class EffectPreview : public QWidget {
 public:
  explicit EffectPreview(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("preview"));
    setMinimumSize(240, 180);
  }
  void SetFrame(QImage image, int32_t opacity) {
    m_image = std::move(image);
    m_opacity = opacity;
    update();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    if (m_image.isNull()) return;
    const QSize fitted = m_image.size().scaled(size(), Qt::KeepAspectRatio).boundedTo(m_image.size());
    const QRect target(QPoint((width() - fitted.width()) / 2, (height() - fitted.height()) / 2), fitted);
    constexpr int kCell = 8;
    for (int y = target.top(); y <= target.bottom(); y += kCell)
      for (int x = target.left(); x <= target.right(); x += kCell)
        painter.fillRect(QRect(x, y, kCell, kCell).intersected(target),
                         ((x - target.left()) / kCell + (y - target.top()) / kCell) % 2 ? QColor(204, 204, 204) : Qt::white);
    painter.setOpacity(m_opacity / 256.0);
    painter.drawImage(target, m_image);
  }

 private:
  QImage m_image;
  int32_t m_opacity = 256;
};

EffectDialog::EffectDialog(const EffectLibraryList& libraries, const ImageSurface& source,
                           std::vector<EffectStartPicture> starts, QWidget* parent)
    : QDialog(parent), m_libraries(libraries), m_starts(std::move(starts)) {
  setWindowTitle(QStringLiteral("アニメーション効果"));
  CopySurface(source, m_source);

  m_tree = new QTreeWidget(this);
  m_tree->setObjectName(QStringLiteral("effects"));
  m_tree->setHeaderHidden(true);
  const auto& list = m_libraries.Libraries();
  for (size_t index = 0; index < list.size(); ++index) {
    auto* libraryItem = new QTreeWidgetItem(m_tree, {QString::fromStdString(list[index]->FileName())});
    libraryItem->setFlags(Qt::ItemIsEnabled);
    const auto& names = list[index]->EffectNames();
    for (size_t type = 0; type < names.size(); ++type) {
      auto* item = new QTreeWidgetItem(libraryItem, {QString::fromStdString(names[type])});
      item->setData(0, kLibraryRole, static_cast<int>(index));
      item->setData(0, kTypeRole, static_cast<int>(type));
    }
    libraryItem->setExpanded(true);
  }

  m_start = new QComboBox(this);
  m_start->setObjectName(QStringLiteral("start"));
  m_start->addItem(QStringLiteral("なし"));
  for (const EffectStartPicture& start : m_starts) m_start->addItem(start.title);

  m_slider = new QSlider(Qt::Horizontal, this);
  m_slider->setObjectName(QStringLiteral("frame"));
  m_slider->setRange(0, kDefaultFrameCount);
  m_frameText = new QLabel(this);
  m_count = new QSpinBox(this);
  m_count->setObjectName(QStringLiteral("frameCount"));
  m_count->setRange(1, kMaxFrameCount);
  m_count->setValue(kDefaultFrameCount);
  m_rate = new QSpinBox(this);
  m_rate->setObjectName(QStringLiteral("frameRate"));
  m_rate->setRange(1, kMaxFrameRate);
  m_rate->setValue(kDefaultFrameRate);
  m_rate->setSuffix(QStringLiteral(" fps"));

  m_play = new QPushButton(QStringLiteral("再生"), this);
  m_play->setObjectName(QStringLiteral("play"));
  m_settings = new QPushButton(QStringLiteral("設定"), this);
  m_settings->setObjectName(QStringLiteral("settings"));
  m_outputLayers = new QPushButton(QStringLiteral("レイヤとして出力"), this);
  m_outputLayers->setObjectName(QStringLiteral("outputLayers"));
  m_exportPng = new QPushButton(QStringLiteral("PNG連番出力"), this);
  m_exportPng->setObjectName(QStringLiteral("exportPng"));
  auto* close = new QPushButton(QStringLiteral("閉じる"), this);
  m_status = new QLabel(this);
  m_status->setObjectName(QStringLiteral("status"));
  m_preview = new EffectPreview(this);
  m_timer = new QTimer(this);

  auto* fields = new QGridLayout;
  fields->addWidget(new QLabel(QStringLiteral("開始画像"), this), 0, 0);
  fields->addWidget(m_start, 0, 1);
  fields->addWidget(new QLabel(QStringLiteral("フレーム数"), this), 1, 0);
  fields->addWidget(m_count, 1, 1);
  fields->addWidget(new QLabel(QStringLiteral("フレームレート"), this), 2, 0);
  fields->addWidget(m_rate, 2, 1);
  auto* left = new QVBoxLayout;
  left->addWidget(m_tree, 1);
  left->addLayout(fields);
  auto* frameRow = new QHBoxLayout;
  frameRow->addWidget(m_play);
  frameRow->addWidget(m_slider, 1);
  frameRow->addWidget(m_frameText);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(m_settings);
  buttons->addStretch(1);
  buttons->addWidget(m_outputLayers);
  buttons->addWidget(m_exportPng);
  buttons->addWidget(close);
  auto* right = new QVBoxLayout;
  right->addWidget(m_preview, 1);
  right->addLayout(frameRow);
  right->addWidget(m_status);
  auto* top = new QHBoxLayout;
  top->addLayout(left);
  top->addLayout(right, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top, 1);
  layout->addLayout(buttons);

  connect(m_tree, &QTreeWidget::itemSelectionChanged, this, &EffectDialog::OnEffectChosen);
  connect(m_start, &QComboBox::currentIndexChanged, this, &EffectDialog::Render);
  connect(m_slider, &QSlider::valueChanged, this, &EffectDialog::Render);
  connect(m_count, &QSpinBox::valueChanged, this, &EffectDialog::OnFrameCountChanged);
  connect(m_rate, &QSpinBox::valueChanged, this,
          [this](int rate) { m_timer->setInterval(1000 / std::max(rate, 1)); });
  connect(m_play, &QPushButton::clicked, this, &EffectDialog::TogglePlay);
  connect(m_timer, &QTimer::timeout, this, &EffectDialog::Step);
  connect(m_settings, &QPushButton::clicked, this, &EffectDialog::OpenSettings);
  connect(m_outputLayers, &QPushButton::clicked, this, &EffectDialog::OutputLayers);
  connect(m_exportPng, &QPushButton::clicked, this, &EffectDialog::ChooseFolderAndExport);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  m_timer->setInterval(1000 / kDefaultFrameRate);
  OnEffectChosen();
}

EffectDialog::~EffectDialog() = default;

int32_t EffectDialog::FrameCount() const { return m_count->value(); }
int32_t EffectDialog::CurrentFrame() const { return m_slider->value(); }
bool EffectDialog::IsPlaying() const { return m_timer->isActive(); }

const ImageSurface* EffectDialog::StartPicture() const {
  const int index = m_start->currentIndex() - 1;
  if (index < 0 || index >= static_cast<int>(m_starts.size())) return nullptr;
  return m_starts[static_cast<size_t>(index)].picture;
}

void EffectDialog::OnEffectChosen() {
  m_effect.reset();
  const QList<QTreeWidgetItem*> chosen = m_tree->selectedItems();
  if (!chosen.isEmpty() && chosen.front()->data(0, kTypeRole).isValid()) {
    const auto& list = m_libraries.Libraries();
    const int index = chosen.front()->data(0, kLibraryRole).toInt();
    const int32_t type = chosen.front()->data(0, kTypeRole).toInt();
    if (index >= 0 && index < static_cast<int>(list.size()) && list[static_cast<size_t>(index)]->HasEffect(type))
      m_effect = std::make_unique<EffectInstance>(*list[static_cast<size_t>(index)], type);
  }
  const bool ready = m_effect != nullptr && m_source.Width() > 0;
  // Animorph's table says only the enlargement is configurable; of another library's effects,
  // those that keep an object may have settings.
  m_settings->setEnabled(ready && m_effect->Object() != nullptr &&
                         (m_effect->EnlargeObject() != nullptr || m_effect->Library().FileName() != kAnimorphLibrary));
  m_play->setEnabled(ready);
  m_outputLayers->setEnabled(ready);
  m_exportPng->setEnabled(ready);
  if (!ready && IsPlaying()) TogglePlay();
  Render();
}

void EffectDialog::OnFrameCountChanged(int count) {
  // The slider keeps the frame it shows where it can; setRange re-renders through valueChanged
  // only when it moves the value, so render once here.
  const QSignalBlocker block(m_slider);
  m_slider->setRange(0, count);
  Render();
}

void EffectDialog::TogglePlay() {
  if (IsPlaying()) {
    m_timer->stop();
    m_play->setText(QStringLiteral("再生"));
  } else {
    m_timer->setInterval(1000 / std::max(m_rate->value(), 1));
    m_timer->start();
    m_play->setText(QStringLiteral("停止"));
  }
}

// One frame on; after frame n the run starts again at 0.
void EffectDialog::Step() { m_slider->setValue(CurrentFrame() >= FrameCount() ? 0 : CurrentFrame() + 1); }

void EffectDialog::OpenSettings() {
  if (!m_effect) return;
  m_effect->OpenConfig(this);
  Render();
}

void EffectDialog::Render() {
  m_frameText->setText(QStringLiteral("%1 / %2").arg(CurrentFrame()).arg(FrameCount()));
  m_opacity = 256;
  m_status->clear();
  if (!m_effect || m_source.Width() < 1) {
    m_frame = std::make_unique<ImageSurface>();
    m_preview->SetFrame({}, 256);
    return;
  }
  if (!m_effect->RenderFrame(m_source, StartPicture(), CurrentFrame(), FrameCount(), *m_frame, m_opacity)) {
    m_frame = std::make_unique<ImageSurface>();
    m_opacity = 256;
    m_status->setText(QString::fromUtf8(kCannotDraw));
    m_preview->SetFrame({}, 256);
    return;
  }
  if (m_effect->Type() <= 1 && m_effect->Library().FileName() == kAnimorphLibrary)
    m_status->setText(QStringLiteral("不透明度: %1").arg(m_opacity));
  m_preview->SetFrame(ToQImage(*m_frame), m_opacity);
}

std::unique_ptr<EffectInstance> EffectDialog::FreshEffect() const {
  auto effect = std::make_unique<EffectInstance>(m_effect->Library(), m_effect->Type());
  if (effect->EnlargeObject() && m_effect->EnlargeObject())
    effect->EnlargeObject()->percent = m_effect->EnlargeObject()->percent;
  return effect;
}

void EffectDialog::OutputLayers() {
  if (!m_effect || m_source.Width() < 1) return;
  std::unique_ptr<EffectInstance> effect = FreshEffect();
  const int32_t n = FrameCount();
  std::vector<std::unique_ptr<Layer>> frames;
  for (int32_t k = 0; k <= n; ++k) {
    auto layer = std::make_unique<Layer>();
    int32_t opacity = 256;
    if (!effect->RenderFrame(m_source, StartPicture(), k, n, *layer, opacity)) {
      GetHost().MessageBox(kCannotDraw, "", kMbOk | kMbIconError);
      return;
    }
    layer->SetName("フレーム" + std::to_string(k));
    layer->SetOpacity(LayerOpacity(opacity));
    frames.push_back(std::move(layer));
  }
  if (onOutputLayers) onOutputLayers(std::move(frames));
}

int32_t EffectDialog::ExportPng(const QString& folder) {
  if (!m_effect || m_source.Width() < 1 || folder.isEmpty()) return 0;
  const QDir dir(folder);
  PictureWriter writer;
  if (!writer.Open(dir.filePath(EffectFrameFileName(0)).toStdString())) {
    GetHost().MessageBox(kNoWriterForFormat, "", kMbOk | kMbIconError);
    return 0;
  }
  std::unique_ptr<EffectInstance> effect = FreshEffect();
  const int32_t n = FrameCount();
  ImageSurface frame;
  int32_t written = 0;
  for (int32_t k = 0; k <= n; ++k) {
    int32_t opacity = 256;
    if (!effect->RenderFrame(m_source, StartPicture(), k, n, frame, opacity)) {
      GetHost().MessageBox(kCannotDraw, "", kMbOk | kMbIconError);
      return written;
    }
    ApplyOpacity(frame, opacity);
    const std::string path = dir.filePath(EffectFrameFileName(k)).toStdString();
    if (writer.Write(path, frame) != PictureWrite::kWritten) {
      GetHost().MessageBox(std::string(kCannotWrite) + "\n" + path, "", kMbOk | kMbIconError);
      return written;
    }
    ++written;
  }
  return written;
}

void EffectDialog::ChooseFolderAndExport() {
  const QString folder = FolderChooser() ? FolderChooser()()
                                         : QFileDialog::getExistingDirectory(this, QStringLiteral("出力先のフォルダ"));
  if (!folder.isEmpty()) ExportPng(folder);
}

void RunEffectDialog(CommandContext& context, int) {
  CVarnelView* view = context.frame.ActiveView();
  CVarnelDoc* doc = view ? view->GetDocument() : nullptr;
  const Layer* source = doc ? doc->GetCanvas().ActiveLayer() : nullptr;
  if (source == nullptr || source->Width() < 1) return;
  std::vector<EffectStartPicture> starts;
  for (CChildFrame* frame : context.frame.ChildFrames()) {
    const CVarnelDoc* other = frame->GetActiveView() ? frame->GetActiveView()->GetDocument() : nullptr;
    if (other == nullptr || other == doc) continue;
    if (const Layer* layer = other->GetCanvas().ActiveLayer(); layer && layer->Width() > 0)
      starts.push_back({other->Title(), layer});
  }
  EffectDialog dialog(ProgramEffectLibraries(), *source, std::move(starts), &context.frame);
  dialog.onOutputLayers = [&context](std::vector<std::unique_ptr<Layer>> frames) {
    if (frames.empty()) return;
    const Size size = frames.front()->GetSize();
    CVarnelDoc* output = context.app.OpenLayerAsDocument(std::move(frames.front()));
    if (output == nullptr) return;
    Canvas& canvas = output->GetCanvas();
    for (size_t k = 1; k < frames.size(); ++k) canvas.AppendLayer(std::move(frames[k]), false);
    canvas.ResizeCanvas(size.width, size.height);
    canvas.ComposeAll();
    canvas.Composite().ClearDirty();
    context.app.RedrawAllViews();
    emit context.commands.layersChanged();
  };
  if (Hook())
    Hook()(dialog);
  else
    dialog.exec();
}

void SetEffectDialogHookForTesting(std::function<int(QDialog&)> hook) { Hook() = std::move(hook); }
void SetEffectFolderChooserForTesting(std::function<QString()> chooser) { FolderChooser() = std::move(chooser); }

}  // namespace varnel
