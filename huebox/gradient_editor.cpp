#include "huebox/gradient_editor.h"

#include <sys/stat.h>

#include <QColorDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "platform/host.h"
#include "platform/program_folder.h"
#include "qtcommon/qt_message_box.h"

namespace varnel::huebox {
namespace {

constexpr const char* kCannotSave = "グラデーションファイルを保存できません";
constexpr const char* kCannotRead = "グラデーションファイルを読み込めません";
constexpr const char* kNewPatternName = "新しいグラデーション";
constexpr int kMarkerHeight = 8;

QColor QColorOf(const GradientColour& c, bool withAlpha) {
  return QColor(c.red, c.green, c.blue, withAlpha ? c.alpha : 255);
}

// The pattern over a grey checkerboard, one sample per pixel column.
QImage GradientImage(const Gradient& gradient, QSize size) {
  QImage image(size, QImage::Format_ARGB32_Premultiplied);
  if (size.isEmpty()) return image;
  {
    QPainter painter(&image);
    constexpr int kCheck = 6;
    for (int y = 0; y < size.height(); y += kCheck)
      for (int x = 0; x < size.width(); x += kCheck)
        painter.fillRect(x, y, kCheck, kCheck, ((x + y) / kCheck) % 2 ? QColor(204, 204, 204) : Qt::white);
    for (int x = 0; x < size.width(); ++x) {
      painter.fillRect(x, 0, 1, size.height(), QColorOf(SampleAt(gradient, x, size.width() - 1), true));
    }
  }
  return image;
}

QIcon PatternIcon(const Gradient& gradient) {
  return QIcon(QPixmap::fromImage(GradientImage(gradient, QSize(96, 16))));
}

QString PatternLabel(const Gradient& gradient) {
  return gradient.name.empty() ? QStringLiteral("(名前なし)") : QString::fromStdString(gradient.name);
}

QString StopLabel(const GradientStop& stop) {
  return QStringLiteral("%1   #%2%3%4   不透明度 %5")
      .arg(stop.position / double(kPositionScale), 0, 'f', 4)
      .arg(stop.colour.red, 2, 16, QLatin1Char('0'))
      .arg(stop.colour.green, 2, 16, QLatin1Char('0'))
      .arg(stop.colour.blue, 2, 16, QLatin1Char('0'))
      .arg(stop.colour.alpha);
}

QIcon StopIcon(const GradientStop& stop) {
  QPixmap swatch(16, 16);
  swatch.fill(QColorOf(stop.colour, false));
  return QIcon(swatch);
}

}  // namespace

// ---- GradientBar -----------------------------------------------------------------------------

GradientBar::GradientBar(QWidget* parent) : QWidget(parent) {
  setMinimumSize(160, 40);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void GradientBar::SetGradient(const Gradient* gradient, int selectedStop) {
  m_gradient = gradient;
  m_selected = selectedStop;
  update();
}

QRect GradientBar::BarRect() const { return QRect(6, 2, width() - 12, height() - kMarkerHeight - 6); }

int GradientBar::XOfPosition(int32_t position) const {
  const QRect bar = BarRect();
  return bar.left() + static_cast<int>(int64_t{position} * (bar.width() - 1) / kPositionScale);
}

int32_t GradientBar::PositionOfX(int x) const {
  const QRect bar = BarRect();
  if (bar.width() <= 1) return 0;
  const int64_t offset = std::clamp(x - bar.left(), 0, bar.width() - 1);
  return static_cast<int32_t>((offset * kPositionScale + (bar.width() - 1) / 2) / (bar.width() - 1));
}

void GradientBar::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QRect bar = BarRect();
  if (m_gradient == nullptr || bar.isEmpty()) {
    painter.fillRect(bar, palette().mid());
    return;
  }
  painter.drawImage(bar.topLeft(), GradientImage(*m_gradient, bar.size()));
  painter.setPen(palette().dark().color());
  painter.drawRect(bar.adjusted(-1, -1, 0, 0));
  painter.setRenderHint(QPainter::Antialiasing);
  for (size_t i = 0; i < m_gradient->stops.size(); ++i) {
    const GradientStop& stop = m_gradient->stops[i];
    const int x = XOfPosition(stop.position);
    const int top = bar.bottom() + 2;
    const QPointF marker[] = {{x + 0.5, double(top)}, {x - 4.5, double(top + kMarkerHeight)},
                              {x + 5.5, double(top + kMarkerHeight)}};
    painter.setPen(static_cast<int>(i) == m_selected ? palette().highlight().color() : palette().text().color());
    painter.setBrush(QColorOf(stop.colour, false));
    painter.drawPolygon(marker, 3);
  }
}

void GradientBar::mousePressEvent(QMouseEvent* event) {
  if (m_gradient == nullptr || event->button() != Qt::LeftButton) return;
  // The nearest marker within a few pixels; among markers on one spot, the last (it is on top).
  const int x = event->position().toPoint().x();
  int best = -1, bestDistance = 6;
  for (size_t i = 0; i < m_gradient->stops.size(); ++i) {
    const int distance = std::abs(XOfPosition(m_gradient->stops[i].position) - x);
    if (distance <= bestDistance) {
      best = static_cast<int>(i);
      bestDistance = distance;
    }
  }
  if (best < 0) return;
  m_dragging = best;
  emit stopChosen(best);
}

void GradientBar::mouseMoveEvent(QMouseEvent* event) {
  if (m_dragging < 0) return;
  emit stopDragged(m_dragging, PositionOfX(event->position().toPoint().x()));
  m_dragging = m_selected;  // the stop may have moved past others
}

void GradientBar::mouseReleaseEvent(QMouseEvent*) { m_dragging = -1; }

// ---- GradientEditor --------------------------------------------------------------------------

GradientEditor::GradientEditor(QWidget* parent, std::string path, std::vector<Gradient> gradients, int selected)
    : QDialog(parent), m_path(std::move(path)), m_gradients(std::move(gradients)) {
  setWindowTitle(QString::fromUtf8(kGradientEditorTitle));

  m_patterns = new QListWidget;
  m_patterns->setIconSize(QSize(96, 16));
  m_patterns->setMinimumWidth(220);
  auto* addPattern = new QPushButton(QStringLiteral("新規"));
  auto* duplicatePattern = new QPushButton(QStringLiteral("複製"));
  m_deletePattern = new QPushButton(QStringLiteral("削除"));
  auto* patternButtons = new QHBoxLayout;
  patternButtons->addWidget(addPattern);
  patternButtons->addWidget(duplicatePattern);
  patternButtons->addWidget(m_deletePattern);
  auto* patternBox = new QGroupBox(QStringLiteral("グラデーション"));
  auto* patternLayout = new QVBoxLayout(patternBox);
  patternLayout->addWidget(m_patterns);
  patternLayout->addLayout(patternButtons);

  m_name = new QLineEdit;
  m_name->setMaxLength(static_cast<int>(kMaxNameBytes));
  m_bar = new GradientBar;
  m_stops = new QListWidget;
  m_addStop = new QPushButton(QStringLiteral("追加"));
  m_deleteStop = new QPushButton(QStringLiteral("削除"));
  m_position = new QDoubleSpinBox;
  m_position->setRange(0.0, 1.0);
  m_position->setDecimals(4);
  m_position->setSingleStep(0.01);
  m_colour = new QPushButton(QStringLiteral("色..."));
  m_alpha = new QSpinBox;
  m_alpha->setRange(0, 255);

  auto* stopButtons = new QHBoxLayout;
  stopButtons->addWidget(m_addStop);
  stopButtons->addWidget(m_deleteStop);
  stopButtons->addStretch();
  auto* stopFields = new QFormLayout;
  stopFields->addRow(QStringLiteral("位置"), m_position);
  stopFields->addRow(QStringLiteral("色"), m_colour);
  stopFields->addRow(QStringLiteral("不透明度"), m_alpha);
  auto* stopBox = new QGroupBox(QStringLiteral("色の点"));
  auto* stopLayout = new QVBoxLayout(stopBox);
  stopLayout->addWidget(m_bar);
  stopLayout->addWidget(m_stops);
  stopLayout->addLayout(stopButtons);
  stopLayout->addLayout(stopFields);

  auto* nameRow = new QFormLayout;
  nameRow->addRow(QStringLiteral("名前"), m_name);
  auto* right = new QVBoxLayout;
  right->addLayout(nameRow);
  right->addWidget(stopBox);

  auto* columns = new QHBoxLayout;
  columns->addWidget(patternBox);
  columns->addLayout(right, 1);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel);
  buttons->button(QDialogButtonBox::Save)->setText(QStringLiteral("保存"));
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(columns);
  layout->addWidget(buttons);

  connect(addPattern, &QPushButton::clicked, this, &GradientEditor::AddPattern);
  connect(duplicatePattern, &QPushButton::clicked, this, &GradientEditor::DuplicatePattern);
  connect(m_deletePattern, &QPushButton::clicked, this, &GradientEditor::DeletePattern);
  connect(m_addStop, &QPushButton::clicked, this, &GradientEditor::AddStop);
  connect(m_deleteStop, &QPushButton::clicked, this, &GradientEditor::DeleteStop);
  connect(m_colour, &QPushButton::clicked, this, &GradientEditor::AskStopColour);
  connect(buttons, &QDialogButtonBox::accepted, this, &GradientEditor::Save);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(m_patterns, &QListWidget::currentRowChanged, this, [this](int row) {
    if (!m_refreshing) ChoosePattern(row);
  });
  connect(m_stops, &QListWidget::currentRowChanged, this, [this](int row) {
    if (!m_refreshing) ChooseStop(row);
  });
  connect(m_bar, &GradientBar::stopChosen, this, &GradientEditor::ChooseStop);
  connect(m_bar, &GradientBar::stopDragged, this, [this](int index, int32_t position) {
    ChooseStop(index);
    SetStopPosition(position);
  });
  connect(m_name, &QLineEdit::textEdited, this, [this](const QString& text) {
    if (Gradient* gradient = Current()) {
      gradient->name = FittingName(text.toStdString());
      // The box counts characters, the file bytes: show what the file will hold.
      if (QString::fromStdString(gradient->name) != text) m_name->setText(QString::fromStdString(gradient->name));
      RefreshPatternList();
    }
  });
  connect(m_position, &QDoubleSpinBox::valueChanged, this, [this](double value) {
    if (!m_refreshing) SetStopPosition(static_cast<int32_t>(value * kPositionScale + 0.5));
  });
  connect(m_alpha, &QSpinBox::valueChanged, this, [this](int value) {
    if (m_refreshing) return;
    if (Gradient* gradient = Current()) {
      GradientColour colour = gradient->stops[static_cast<size_t>(m_stop)].colour;
      colour.alpha = static_cast<uint8_t>(value);
      SetStopColour(colour);
    }
  });

  RefreshPatternList();
  ChoosePattern(m_gradients.empty() ? -1 : std::clamp(selected, 0, static_cast<int>(m_gradients.size()) - 1));
}

int GradientEditor::SelectedPattern() const {
  const int row = m_patterns->currentRow();
  return row >= 0 && row < static_cast<int>(m_gradients.size()) ? row : -1;
}

Gradient* GradientEditor::Current() {
  const int row = SelectedPattern();
  return row < 0 ? nullptr : &m_gradients[static_cast<size_t>(row)];
}

void GradientEditor::ChoosePattern(int index) {
  m_refreshing = true;
  m_patterns->setCurrentRow(index);
  m_refreshing = false;
  m_stop = 0;
  RefreshPattern();
}

void GradientEditor::ChooseStop(int index) {
  const Gradient* gradient = Current();
  if (gradient == nullptr || index < 0 || index >= static_cast<int>(gradient->stops.size())) return;
  m_stop = index;
  RefreshStops();
}

void GradientEditor::RefreshPatternList() {
  m_refreshing = true;
  const int row = m_patterns->currentRow();
  while (m_patterns->count() > static_cast<int>(m_gradients.size())) delete m_patterns->takeItem(m_patterns->count() - 1);
  while (m_patterns->count() < static_cast<int>(m_gradients.size())) m_patterns->addItem(QString());
  for (size_t i = 0; i < m_gradients.size(); ++i) {
    QListWidgetItem* item = m_patterns->item(static_cast<int>(i));
    item->setText(PatternLabel(m_gradients[i]));
    item->setIcon(PatternIcon(m_gradients[i]));
  }
  m_patterns->setCurrentRow(std::min(row, m_patterns->count() - 1));
  m_deletePattern->setEnabled(!m_gradients.empty());
  m_refreshing = false;
}

void GradientEditor::RefreshPattern() {
  const Gradient* gradient = Current();
  m_refreshing = true;
  m_name->setEnabled(gradient != nullptr);
  m_name->setText(gradient ? QString::fromStdString(gradient->name) : QString());
  m_refreshing = false;
  RefreshStops();
}

void GradientEditor::RefreshStops() {
  const Gradient* gradient = Current();
  m_refreshing = true;
  m_stops->clear();
  if (gradient != nullptr) {
    m_stop = std::clamp(m_stop, 0, static_cast<int>(gradient->stops.size()) - 1);
    for (const GradientStop& stop : gradient->stops) m_stops->addItem(new QListWidgetItem(StopIcon(stop), StopLabel(stop)));
    m_stops->setCurrentRow(m_stop);
    const GradientStop& stop = gradient->stops[static_cast<size_t>(m_stop)];
    m_position->setValue(stop.position / double(kPositionScale));
    m_alpha->setValue(stop.colour.alpha);
    m_colour->setIcon(StopIcon(stop));
  }
  for (QWidget* w : std::initializer_list<QWidget*>{m_stops, m_position, m_colour, m_alpha, m_addStop, m_deleteStop})
    w->setEnabled(gradient != nullptr);
  if (gradient != nullptr) {
    m_addStop->setEnabled(gradient->stops.size() < kMaxStops);
    m_deleteStop->setEnabled(gradient->stops.size() > 1);
  }
  m_bar->SetGradient(gradient, gradient ? m_stop : -1);
  m_refreshing = false;
}

void GradientEditor::AddPattern() {
  if (m_gradients.size() >= kMaxGradients) return;
  const int at = SelectedPattern() + 1;
  m_gradients.insert(m_gradients.begin() + at, DefaultGradient(kNewPatternName));
  RefreshPatternList();
  ChoosePattern(at);
}

void GradientEditor::DuplicatePattern() {
  const Gradient* gradient = Current();
  if (gradient == nullptr || m_gradients.size() >= kMaxGradients) return;
  const int at = SelectedPattern() + 1;
  Gradient copy = *gradient;
  m_gradients.insert(m_gradients.begin() + at, std::move(copy));
  RefreshPatternList();
  ChoosePattern(at);
}

void GradientEditor::DeletePattern() {
  const int row = SelectedPattern();
  if (row < 0) return;
  m_gradients.erase(m_gradients.begin() + row);
  RefreshPatternList();
  ChoosePattern(m_gradients.empty() ? -1 : std::min(row, static_cast<int>(m_gradients.size()) - 1));
}

void GradientEditor::AddStop() {
  Gradient* gradient = Current();
  if (gradient == nullptr) return;
  const int added = huebox::AddStop(*gradient, m_stop);
  if (added < 0) return;
  m_stop = added;
  RefreshPatternList();
  RefreshStops();
}

void GradientEditor::DeleteStop() {
  Gradient* gradient = Current();
  if (gradient == nullptr || !huebox::DeleteStop(*gradient, m_stop)) return;
  RefreshPatternList();
  RefreshStops();
}

void GradientEditor::SetStopPosition(int32_t position) {
  Gradient* gradient = Current();
  if (gradient == nullptr) return;
  const int moved = MoveStop(*gradient, m_stop, position);
  if (moved < 0) return;
  m_stop = moved;
  RefreshPatternList();
  RefreshStops();
}

void GradientEditor::SetStopColour(GradientColour colour) {
  Gradient* gradient = Current();
  if (gradient == nullptr) return;
  gradient->stops[static_cast<size_t>(m_stop)].colour = colour;
  RefreshPatternList();
  RefreshStops();
}

void GradientEditor::AskStopColour() {
  const Gradient* gradient = Current();
  if (gradient == nullptr) return;
  const GradientColour old = gradient->stops[static_cast<size_t>(m_stop)].colour;
  const QColor chosen = QColorDialog::getColor(QColorOf(old, false), this, QStringLiteral("色の選択"));
  if (!chosen.isValid()) return;
  SetStopColour({static_cast<uint8_t>(chosen.red()), static_cast<uint8_t>(chosen.green()),
                 static_cast<uint8_t>(chosen.blue()), old.alpha});
}

void GradientEditor::Save() {
  // A read-only program folder's file is saved as the user's copy in the data folder.
  if (!WriteGradientFile(WritablePathFor(m_path), m_gradients)) {
    ShowMessageBox(this, kCannotSave, "", kMbOk | kMbIconWarning, QStringLiteral("Huebox"));
    return;
  }
  accept();
}

bool RunGradientEditor(QWidget* parent, const std::string& path, int selected, int* chosen) {
  std::vector<Gradient> gradients;
  struct stat info {};
  const std::string source = ReadablePathFor(path);
  if (stat(source.c_str(), &info) == 0) {
    const GradientFileStatus status = ReadGradientFile(source, gradients);
    if (!status.Ok()) {
      const std::string text = std::string(kCannotRead) + "\n" + source + "\n" + GradientFileErrorText(status);
      ShowMessageBox(parent, text, "", kMbOk | kMbIconWarning, QStringLiteral("Huebox"));
      return false;
    }
  }
  GradientEditor editor(parent, path, std::move(gradients), selected);
  if (editor.exec() != QDialog::Accepted) return false;
  if (chosen != nullptr) *chosen = editor.SelectedPattern();
  return true;
}

}  // namespace varnel::huebox
