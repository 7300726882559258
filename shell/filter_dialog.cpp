#include "shell/filter_dialog.h"

#include <algorithm>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTimerEvent>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "platform/profile.h"
#include "shell/command_table.h"
#include "shell/main_frame.h"
#include "shell/qt_draw_context.h"
#include "shell/varnel_doc.h"
#include "shell/varnel_view.h"

namespace varnel {

namespace {

constexpr const char* kSettingsSection = "Settings";
constexpr const char* kNotAvailable = "N/A";
// The preview frame's client area; the preview surface is a square of its width.
constexpr int kPreviewSide = 160;
constexpr int kProgressTimerMs = 50;

std::optional<ScrollAction> ToScrollAction(int qtAction) {
  switch (qtAction) {
    case QAbstractSlider::SliderSingleStepSub: return ScrollAction::kLineLeft;
    case QAbstractSlider::SliderSingleStepAdd: return ScrollAction::kLineRight;
    case QAbstractSlider::SliderPageStepSub: return ScrollAction::kPageLeft;
    case QAbstractSlider::SliderPageStepAdd: return ScrollAction::kPageRight;
    case QAbstractSlider::SliderToMinimum: return ScrollAction::kLeftEnd;
    case QAbstractSlider::SliderToMaximum: return ScrollAction::kRightEnd;
    case QAbstractSlider::SliderMove: return ScrollAction::kThumbTrack;
    default: return std::nullopt;
  }
}

}  // namespace

// A slot's scroll bar. A scroll action ends when the button or key that drove it is released
// (an arrow held down repeats its action until then); the wheel does not scroll it.
class FilterSlotScrollBar : public QScrollBar {
 public:
  explicit FilterSlotScrollBar(QWidget* parent) : QScrollBar(Qt::Horizontal, parent) {}

  std::function<void()> onScrollEnd;
  bool acting = false;  // an action since the last end of scroll

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override {
    QScrollBar::mouseReleaseEvent(event);
    End();
  }
  void keyReleaseEvent(QKeyEvent* event) override {
    QScrollBar::keyReleaseEvent(event);
    if (!event->isAutoRepeat()) End();
  }
  void wheelEvent(QWheelEvent* event) override { event->ignore(); }

 private:
  void End() {
    if (!acting) return;
    acting = false;
    if (onScrollEnd) onScrollEnd();
  }
};

// The preview frame: the dialog's face colour with the preview surface at its top-left corner,
// drawn opaque as the surface's colour bytes say.
class FilterPreviewFrame : public QFrame {
 public:
  FilterPreviewFrame(const FilterPreview& preview, QWidget* parent) : QFrame(parent), m_preview(preview) {
    setFrameShape(QFrame::NoFrame);
    setFixedSize(kPreviewSide, kPreviewSide);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    const QRect client = contentsRect();
    painter.fillRect(client, palette().color(QPalette::Window));
    if (!m_preview.IsLoaded()) return;
    QImage image = ToQImage(m_preview.Surface());
    image.reinterpretAsFormat(QImage::Format_RGB32);
    painter.drawImage(client.topLeft(), image);
  }

 private:
  const FilterPreview& m_preview;
};

// ---- the filter dialog ----

FilterDialog::FilterDialog(const FilterLibraryList& libraries, Profile& profile,
                           std::function<CVarnelDoc*()> activeDocument, QWidget* parent)
    : QDialog(parent), m_libraries(libraries), m_profile(profile), m_activeDocument(std::move(activeDocument)) {
  setObjectName("FilterDialog");
  setWindowTitle("フィルタ");
  setModal(false);

  m_tree = new QTreeWidget(this);
  m_tree->setObjectName("FilterTree");
  m_tree->setHeaderHidden(true);
  m_tree->setColumnCount(1);
  m_tree->setMinimumWidth(180);
  for (const FilterTreeNode& node : BuildFilterTree(m_libraries)) {
    auto* top = new QTreeWidgetItem(m_tree, {QString::fromStdString(node.library)});
    for (const std::string& filter : node.filters) new QTreeWidgetItem(top, {QString::fromStdString(filter)});
  }
  connect(m_tree, &QTreeWidget::currentItemChanged, this, &FilterDialog::OnTreeSelection);

  auto* group = new QGroupBox("Parameter", this);
  auto* grid = new QGridLayout(group);
  for (int i = 0; i < kFilterSlots; ++i) {
    Slot& slot = m_slots[i];
    slot.name = new QLabel(kNotAvailable, group);
    slot.name->setObjectName(QString("ParameterName%1").arg(i));
    slot.bar = new FilterSlotScrollBar(group);
    slot.bar->setObjectName(QString("ParameterBar%1").arg(i));
    slot.bar->setFocusPolicy(Qt::StrongFocus);
    slot.bar->setMinimumWidth(160);
    slot.bar->setSingleStep(1);
    slot.bar->setPageStep(1);
    // Right and End move right, as on a horizontal scroll bar they should.
    slot.bar->setInvertedControls(false);
    slot.value = new QLabel(kNotAvailable, group);
    slot.value->setObjectName(QString("ParameterValue%1").arg(i));
    slot.value->setMinimumWidth(64);
    grid->addWidget(slot.name, i, 0);
    grid->addWidget(slot.bar, i, 1);
    grid->addWidget(slot.value, i, 2);
    connect(slot.bar, &QAbstractSlider::actionTriggered, this, [this, i](int action) { OnScrollAction(i, action); });
    connect(slot.bar, &QAbstractSlider::sliderReleased, this, [this, i] {
      FilterSlotScrollBar* bar = m_slots[i].bar;
      bar->setValue(ScrollBarPosition(ScrollAction::kThumbPosition, bar->value(), bar->sliderPosition(),
                                      bar->minimum(), bar->maximum()));
    });
    slot.bar->onScrollEnd = [this] { RunPreview(); };
  }

  m_frame = new FilterPreviewFrame(m_preview, this);
  m_frame->setObjectName("PreviewFrame");
  auto* run = new QPushButton("実行", this);
  run->setObjectName("ApplyButton");
  run->setAutoDefault(false);
  auto* copy = new QPushButton("CopyParameter", this);
  copy->setObjectName("CopyParameterButton");
  copy->setAutoDefault(false);
  auto* config = new QPushButton("拡張設定", this);
  config->setObjectName("ExtendedSettingsButton");
  config->setAutoDefault(false);
  connect(run, &QPushButton::clicked, this, &FilterDialog::Apply);
  connect(copy, &QPushButton::clicked, this, &FilterDialog::CopyParameter);
  connect(config, &QPushButton::clicked, this, &FilterDialog::OpenExtendedSettings);

  auto* buttons = new QVBoxLayout;
  buttons->addWidget(run);
  buttons->addWidget(copy);
  buttons->addWidget(config);
  buttons->addStretch(1);
  auto* lower = new QHBoxLayout;
  lower->addWidget(m_frame, 0, Qt::AlignTop);
  lower->addLayout(buttons);
  auto* right = new QVBoxLayout;
  right->addWidget(group);
  right->addLayout(lower);
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(m_tree, 1);
  layout->addLayout(right);

  move(m_profile.GetInt(kSettingsSection, kFilterDialogXKey, kFilterDialogDefaultPosition),
       m_profile.GetInt(kSettingsSection, kFilterDialogYKey, kFilterDialogDefaultPosition));
}

FilterDialog::~FilterDialog() {
  m_profile.WriteInt(kSettingsSection, kFilterDialogXKey, pos().x());
  m_profile.WriteInt(kSettingsSection, kFilterDialogYKey, pos().y());
}

std::vector<int32_t> FilterDialog::CurrentValues() const {
  if (!m_selection) return {};
  std::vector<int32_t> positions;
  for (int32_t i = 0; i < m_parameterCount; ++i) positions.push_back(m_slots[i].bar->value());
  return RunValues(*m_selection, positions);
}

void FilterDialog::OnTreeSelection() {
  m_parameterCount = 0;
  const QTreeWidgetItem* item = m_tree->currentItem();
  if (!item) return;
  const QString library = item->parent() ? item->parent()->text(0) : QString();
  std::optional<FilterSelection> selection =
      SelectFilter(m_libraries, library.toStdString(), item->text(0).toStdString());
  // A library's own item names no filter: the slots keep what they show, and the buttons
  // have nothing to run until a filter is chosen again.
  m_selection = std::move(selection);
  if (m_selection) {
    m_parameterCount = m_selection->SlotCount();
    for (int32_t i = 0; i < kFilterSlots; ++i) {
      Slot& slot = m_slots[i];
      const bool shown = i < m_parameterCount;
      if (shown) {
        const FilterParameter& parameter = m_selection->parameters[i];
        const QSignalBlocker blocker(slot.bar);
        slot.bar->setRange(parameter.min, parameter.max);
        slot.bar->setValue(parameter.def);
        slot.name->setText(QString::fromStdString(parameter.name));
      }
      slot.name->setVisible(shown);
      slot.bar->setVisible(shown);
      slot.value->setVisible(shown);
    }
  }
  LoadPreviewSource();
  if (m_selection) RunPreview();
}

void FilterDialog::LoadPreviewSource() {
  CVarnelDoc* doc = m_activeDocument ? m_activeDocument() : nullptr;
  const Layer* layer = doc ? doc->GetCanvas().ActiveLayer() : nullptr;
  if (!layer) return;
  m_preview.Load(*layer, m_frame->contentsRect().width());
  m_frame->update();
}

void FilterDialog::RunPreview() {
  if (!m_selection) return;
  const std::vector<int32_t> values = CurrentValues();
  const std::vector<std::string> texts = ValueTexts(*m_selection, values);
  for (size_t i = 0; i < texts.size() && i < m_slots.size(); ++i)
    m_slots[i].value->setText(QString::fromStdString(texts[i]));
  m_preview.Run(*m_selection, values, this);
  m_frame->update();
}

void FilterDialog::OnScrollAction(int slot, int qtAction) {
  const std::optional<ScrollAction> action = ToScrollAction(qtAction);
  if (!action) return;
  FilterSlotScrollBar* bar = m_slots[slot].bar;
  // The slider has moved by its own steps already; the value still holds where it was.
  bar->setSliderPosition(ScrollBarPosition(*action, bar->value(), bar->sliderPosition(), bar->minimum(), bar->maximum()));
  bar->acting = true;
}

void FilterDialog::Apply() {
  if (!m_selection) return;
  CVarnelDoc* doc = m_activeDocument ? m_activeDocument() : nullptr;
  if (!doc || !doc->GetCanvas().ActiveLayer()) return;
  FilterCommand command(*m_selection, CurrentValues(), this);
  command.runInProgress = [this, &command](const std::function<void()>& run) { RunInProgress(command.progress, run); };
  doc->GetCanvas().ApplyOperation(command);
  doc->SetModifiedFlag(true);
  doc->UpdateAllViews();
  // The dialog stays open: what the next run would do is previewed on the layer as it is now.
  LoadPreviewSource();
  RunPreview();
  if (onApplied) onApplied(*doc);
}

void FilterDialog::RunInProgress(FilterProgress& progress, const std::function<void()>& run) {
  FilterProgressDialog dialog(progress, run, this);
  dialog.exec();
  progress.onPercent = nullptr;
}

void FilterDialog::CopyParameter() {
  if (!m_selection) return;
  QApplication::clipboard()->setText(QString::fromStdString(CopyParameterText(*m_selection, CurrentValues())));
}

void FilterDialog::OpenExtendedSettings() {
  if (m_selection && m_selection->library->HasOpenConfig()) m_selection->library->OpenConfig(m_selection->filterName, this);
}

// ---- the progress dialog ----

FilterProgressDialog::FilterProgressDialog(FilterProgress& progress, std::function<void()> run, QWidget* parent)
    : QDialog(parent), m_progress(progress), m_run(std::move(run)), m_bar(new QProgressBar(this)),
      m_abort(new QPushButton("中断", this)) {
  setObjectName("FilterProgressDialog");
  setWindowTitle("Progress");
  m_bar->setRange(0, 100);
  m_bar->setValue(0);
  m_abort->setAutoDefault(false);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_bar);
  layout->addWidget(m_abort, 0, Qt::AlignCenter);
  // "中断" only asks: the filter sees it through ProgressHandler and stops on its own.
  connect(m_abort, &QPushButton::clicked, this, [this] { m_progress.cancel = true; });
  m_progress.onPercent = [this](int32_t percent) {
    m_bar->setValue(std::clamp(percent, 0, 100));
    QCoreApplication::processEvents();
  };
}

void FilterProgressDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (m_started || m_timer != 0) return;
  m_timer = startTimer(kProgressTimerMs, Qt::PreciseTimer);
  if (shownHookForTesting) shownHookForTesting(*this);
}

void FilterProgressDialog::timerEvent(QTimerEvent* event) {
  if (event->timerId() != m_timer) return QDialog::timerEvent(event);
  killTimer(m_timer);
  m_timer = 0;
  if (m_started) return;
  m_started = true;
  if (m_run) m_run();
  m_progress.onPercent = nullptr;
  accept();
}

void FilterProgressDialog::reject() {
  // Escape and the close button ask for the abort while the filter runs; the dialog closes
  // itself when the filter returns.
  if (m_started) {
    m_progress.cancel = true;
    return;
  }
  QDialog::reject();
}

// ---- the command ----

namespace {

FilterDialog* FindFilterDialog(const CMainFrame& frame) {
  return frame.findChild<FilterDialog*>(QString(), Qt::FindDirectChildrenOnly);
}

}  // namespace

void ToggleFilterDialog(CMainFrame& frame, Profile& profile) {
  FilterDialog* dialog = FindFilterDialog(frame);
  if (!dialog) {
    dialog = new FilterDialog(
        ProgramFilterLibraries(), profile,
        [&frame]() -> CVarnelDoc* {
          CVarnelView* view = frame.ActiveView();
          return view ? view->GetDocument() : nullptr;
        },
        &frame);
    // Keys pressed in the dialog reach the main window's commands first (so Ctrl+F hides it).
    for (const CommandRow& row : CommandTable()) {
      QAction* action = row.kind == CommandRow::Kind::kCommand ? frame.Command(row.id) : nullptr;
      if (action && !action->shortcut().isEmpty()) dialog->addAction(action);
    }
    dialog->onApplied = [&frame](CVarnelDoc&) {
      emit frame.layersChanged();
      frame.UpdateCommandStates();
    };
  }
  dialog->setVisible(!dialog->isVisible());
}

bool IsFilterDialogShown(const CMainFrame& frame) {
  const FilterDialog* dialog = FindFilterDialog(frame);
  return dialog && dialog->isVisible();
}

}  // namespace varnel
