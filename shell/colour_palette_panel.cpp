#include "shell/colour_palette_panel.h"

#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QShowEvent>
#include <QTabWidget>
#include <QToolButton>
#include <QToolTip>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>

#include "colour/colour_file.h"
#include "platform/host.h"
#include "platform/profile.h"
#include "platform/program_folder.h"
#include "qtcommon/qt_colour.h"
#include "settings/app_settings.h"
#include "shell/file_dialogs.h"
#include "shell/messages.h"
#include "shell/named_colour_view.h"
#include "shell/recent_files.h"
#include "shell/panel_widgets.h"
#include "shell/window_placement.h"

namespace varnel {
namespace {

constexpr int kMinimumCell = 4;
constexpr int kMaximumCell = 64;
constexpr int kMaximumMargin = 16;
// The width the grid asks for: this many swatches a row.
constexpr int kPreferredColumns = 8;
// At least this much of a restored floating panel stays on the screen, so it can be grabbed.
const QColor kSwatchFrame(64, 64, 64);

QString ColourText(ColourRef colour) {
  return QString("%1,%2,%3").arg(RedOf(colour)).arg(GreenOf(colour)).arg(BlueOf(colour));
}

// A menu text shows '&' as itself only when doubled.
QString MenuText(QString text) { return text.replace('&', "&&"); }

void WarnCannotOpen(const std::string& path) {
  GetHost().MessageBox(FileOpenErrorMessage(path), "", kMbOk | kMbIconWarning);
}

void WarnCannotSave(const std::string& path) {
  GetHost().MessageBox(FileSaveErrorMessage(path), "", kMbOk | kMbIconWarning);
}

std::vector<ColourRef> ReadHistoryFile() {
  std::vector<ColourRef> read;
  if (!ReadColourDefinitionFile(ReadablePathFor(ColourHistoryPath()), read)) return {};
  // A file edited by hand may repeat colours or run long: it is held to the history's rules.
  std::vector<ColourRef> history;
  for (auto it = read.rbegin(); it != read.rend(); ++it) PutFirstInHistory(history, *it);
  return history;
}

}  // namespace

SwatchGeometry SwatchGeometryFromProfile(const Profile& profile) {
  const auto cell = [&](const char* key, int fallback) {
    return std::clamp(profile.GetInt(kSettingsSection, key, fallback), kMinimumCell, kMaximumCell);
  };
  const auto margin = [&](const char* key, int fallback) {
    return std::clamp(profile.GetInt(kSettingsSection, key, fallback), 0, kMaximumMargin);
  };
  return {cell(kPaletteCellWidthKey, kPaletteCellWidth), cell(kPaletteCellHeightKey, kPaletteCellHeight),
          margin(kPaletteMarginWidthKey, kPaletteMarginWidth), margin(kPaletteMarginHeightKey, kPaletteMarginHeight)};
}

void PutFirstInHistory(std::vector<ColourRef>& history, ColourRef colour) {
  PutFirst(history, colour, kColourHistoryLimit);
}

// ---- the swatch grid ------------------------------------------------------------------------

ColourSwatchGrid::ColourSwatchGrid(SwatchGeometry geometry, QWidget* parent) : QWidget(parent), m_geometry(geometry) {
  QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
  policy.setHeightForWidth(true);
  setSizePolicy(policy);
}

void ColourSwatchGrid::SetColours(std::vector<ColourRef> colours) {
  m_colours = std::move(colours);
  if (m_selected >= static_cast<int>(m_colours.size())) m_selected = -1;
  updateGeometry();
  update();
}

void ColourSwatchGrid::SetSelected(int index) {
  if (index < 0 || index >= static_cast<int>(m_colours.size())) index = -1;
  if (index == m_selected) return;
  if (m_selected >= 0) update(DamageRect(m_selected));
  m_selected = index;
  if (m_selected >= 0) update(DamageRect(m_selected));
}

int ColourSwatchGrid::ColumnsFor(int width) const {
  const int pitch = m_geometry.cellWidth + m_geometry.marginWidth;
  return std::max(1, (width - m_geometry.marginWidth) / pitch);
}

QRect ColourSwatchGrid::CellRect(int index, int columns) const {
  const int column = index % columns;
  const int row = index / columns;
  return QRect(m_geometry.marginWidth + column * (m_geometry.cellWidth + m_geometry.marginWidth),
               m_geometry.marginHeight + row * (m_geometry.cellHeight + m_geometry.marginHeight), m_geometry.cellWidth,
               m_geometry.cellHeight);
}

QRect ColourSwatchGrid::SwatchRect(int index) const {
  if (index < 0 || index >= static_cast<int>(m_colours.size())) return {};
  return CellRect(index, ColumnsFor(width()));
}

QRect ColourSwatchGrid::DamageRect(int index) const { return SwatchRect(index).adjusted(-2, -2, 2, 2); }

int ColourSwatchGrid::SwatchAt(const QPoint& point) const {
  const int columns = ColumnsFor(width());
  const int pitchX = m_geometry.cellWidth + m_geometry.marginWidth;
  const int pitchY = m_geometry.cellHeight + m_geometry.marginHeight;
  const int x = point.x() - m_geometry.marginWidth;
  const int y = point.y() - m_geometry.marginHeight;
  if (x < 0 || y < 0) return -1;
  const int column = x / pitchX;
  const int row = y / pitchY;
  if (column >= columns || x % pitchX >= m_geometry.cellWidth || y % pitchY >= m_geometry.cellHeight) return -1;
  const qint64 index = static_cast<qint64>(row) * columns + column;
  return index < static_cast<qint64>(m_colours.size()) ? static_cast<int>(index) : -1;
}

int ColourSwatchGrid::heightForWidth(int width) const {
  const int columns = ColumnsFor(width);
  // An empty grid keeps the height of one row, so it stays a place to look at.
  const int rows = std::max<int>(1, static_cast<int>((m_colours.size() + columns - 1) / columns));
  return m_geometry.marginHeight + rows * (m_geometry.cellHeight + m_geometry.marginHeight);
}

QSize ColourSwatchGrid::sizeHint() const {
  const int width = m_geometry.marginWidth + kPreferredColumns * (m_geometry.cellWidth + m_geometry.marginWidth);
  return {width, heightForWidth(width)};
}

QSize ColourSwatchGrid::minimumSizeHint() const {
  return {2 * m_geometry.marginWidth + m_geometry.cellWidth, m_geometry.cellHeight + 2 * m_geometry.marginHeight};
}

bool ColourSwatchGrid::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(event);
    const int index = SwatchAt(help->pos());
    if (index >= 0) {
      QToolTip::showText(help->globalPos(), ColourText(m_colours[static_cast<size_t>(index)]), this,
                         SwatchRect(index));
    } else {
      QToolTip::hideText();
      event->ignore();
    }
    return true;
  }
  return QWidget::event(event);
}

void ColourSwatchGrid::paintEvent(QPaintEvent* event) {
  // The parent's background shows through the margins.
  QPainter painter(this);
  const int columns = ColumnsFor(width());
  for (size_t i = 0; i < m_colours.size(); ++i) {
    const QRect cell = CellRect(static_cast<int>(i), columns);
    if (cell.top() > event->rect().bottom()) break;
    if (!cell.adjusted(-2, -2, 2, 2).intersects(event->rect())) continue;
    painter.fillRect(cell, QColorFromColourRef(m_colours[i]));
    painter.setPen(kSwatchFrame);
    painter.drawRect(cell.adjusted(0, 0, -1, -1));
    if (static_cast<int>(i) == m_selected) {
      // The selection sits in the margin round the swatch, so the colour itself stays whole.
      painter.setPen(QPen(palette().highlight(), 2));
      painter.drawRect(QRectF(cell).adjusted(-1, -1, 1, 1));
    }
  }
}

void ColourSwatchGrid::mousePressEvent(QMouseEvent* event) {
  const int index = SwatchAt(event->position().toPoint());
  if (index < 0) {
    QWidget::mousePressEvent(event);
    return;
  }
  emit swatchClicked(index, event->button(), event->modifiers());
}

// ---- the panel ------------------------------------------------------------------------------

ColourPalettePanel::ColourPalettePanel(Profile& profile, QWidget* parent)
    : QWidget(parent), m_profile(profile), m_tabs(new QTabWidget(this)) {
  setObjectName("ColourPalettePanel");
  setWindowTitle(kColourPaletteTitle);
  const SwatchGeometry geometry = SwatchGeometryFromProfile(profile);
  m_historyGrid = new ColourSwatchGrid(geometry);
  m_historyGrid->setObjectName("ColourHistoryGrid");
  m_paletteGrid = new ColourSwatchGrid(geometry);
  m_paletteGrid->setObjectName("PaletteGrid");

  auto* page = new QWidget;
  BuildPalettePage(page);
  m_named = new NamedColourView(NamedColourListPath());
  m_tabs->setObjectName("ColourPaletteTabs");
  m_tabs->addTab(page, "パレット");
  m_tabs->addTab(m_named, "名前付きの色");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(m_tabs);

  connect(m_paletteGrid, &ColourSwatchGrid::swatchClicked, this, &ColourPalettePanel::OnPaletteClicked);
  connect(m_historyGrid, &ColourSwatchGrid::swatchClicked, this,
          [this](int index, Qt::MouseButton button) { OnHistoryClicked(index, button); });
  connect(m_named, &NamedColourView::foregroundPicked, this, &ColourPalettePanel::foregroundPicked);

  m_paletteFile = profile.GetString(kSettingsSection, kPaletteFileKey, "");
  if (m_paletteFile.empty()) m_paletteFile = DefaultPalettePath();
  // A palette file that is not there yet is an empty palette; the first edit makes it.
  if (!ReadColourDefinitionFile(ReadablePathFor(m_paletteFile), m_colours)) m_colours.clear();
  ShowPalette(-1);
}

ColourPalettePanel::~ColourPalettePanel() {
  if (m_open) {
    WriteHistory();
  } else if (!m_usedWhileClosed.empty()) {
    OpenHistory();
    WriteHistory();
  }
}

void ColourPalettePanel::BuildPalettePage(QWidget* page) {
  // Tool buttons rather than push buttons: their slim frames keep a docked panel narrow.
  const auto button = [page](const QString& text, const char* name) {
    auto* made = new QToolButton(page);
    made->setObjectName(name);
    made->setText(text);
    made->setToolButtonStyle(Qt::ToolButtonTextOnly);
    return made;
  };
  QToolButton* add = button("追加", "PaletteAdd");
  m_delete = button("削除", "PaletteDelete");
  m_delete->setToolTip("選択した色を削除します (Ctrl+クリックで選択)");
  QToolButton* load = button("読み込み...", "PaletteLoad");
  QToolButton* save = button("保存...", "PaletteSave");
  m_menuButton = button("パレット", "PaletteMenuButton");
  m_menuButton->setPopupMode(QToolButton::InstantPopup);
  m_paletteMenu = new QMenu(m_menuButton);
  m_paletteMenu->setObjectName("PaletteMenu");
  m_menuButton->setMenu(m_paletteMenu);

  const auto row = [](std::initializer_list<QWidget*> widgets) {
    auto* made = new QHBoxLayout;
    made->setSpacing(2);
    for (QWidget* widget : widgets) made->addWidget(widget);
    made->addStretch(1);
    return made;
  };
  auto* rule = new QFrame(page);
  rule->setFrameShape(QFrame::HLine);
  rule->setFrameShadow(QFrame::Sunken);

  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->setSpacing(2);
  layout->addLayout(row({add, m_delete, m_menuButton}));
  layout->addLayout(row({load, save}));
  layout->addWidget(m_historyGrid);
  layout->addWidget(rule);
  layout->addWidget(m_paletteGrid);
  layout->addStretch(1);

  connect(add, &QToolButton::clicked, this, &ColourPalettePanel::AddCurrentColour);
  connect(m_delete, &QToolButton::clicked, this, &ColourPalettePanel::DeleteSelected);
  connect(load, &QToolButton::clicked, this, &ColourPalettePanel::AskLoad);
  connect(save, &QToolButton::clicked, this, &ColourPalettePanel::AskSave);
  connect(m_paletteMenu, &QMenu::aboutToShow, this, &ColourPalettePanel::FillPaletteMenu);
}

bool ColourPalettePanel::WasVisible(const Profile& profile) {
  return profile.GetInt(kSettingsSection, kColourPaletteVisibleKey, 0) != 0;
}

std::optional<QPoint> ColourPalettePanel::StoredPosition(const Profile& profile, const QRect& available) {
  return StoredWindowPosition(profile, kPaletteXPosKey, kPaletteYPosKey, available);
}

void ColourPalettePanel::StorePosition(Profile& profile, const QPoint& position) {
  StoreWindowPosition(profile, kPaletteXPosKey, kPaletteYPosKey, position);
}

// ---- the palette ----------------------------------------------------------------------------

void ColourPalettePanel::ShowPalette(int selected) {
  m_paletteGrid->SetColours(m_colours);
  m_paletteGrid->SetSelected(selected);
  m_delete->setEnabled(m_paletteGrid->Selected() >= 0);
}

bool ColourPalettePanel::StorePalette(std::vector<ColourRef> colours, int selected) {
  // A palette of a read-only program folder is changed as the user's copy in the data folder.
  if (!WriteColourDefinitionFile(WritablePathFor(m_paletteFile), colours)) {
    WarnCannotSave(m_paletteFile);
    return false;
  }
  m_colours = std::move(colours);
  ShowPalette(selected);
  return true;
}

void ColourPalettePanel::OnPaletteClicked(int index, Qt::MouseButton button, Qt::KeyboardModifiers modifiers) {
  if (index < 0 || static_cast<size_t>(index) >= m_colours.size()) return;
  const ColourRef colour = m_colours[static_cast<size_t>(index)];
  if (button == Qt::LeftButton) {
    m_paletteGrid->SetSelected(index);
    m_delete->setEnabled(true);
    // Ctrl+click only selects, for 削除, without changing the foreground colour.
    if (!(modifiers & Qt::ControlModifier)) emit foregroundPicked(colour);
  } else if (button == Qt::RightButton) {
    emit backgroundPicked(colour);
  }
}

void ColourPalettePanel::AddCurrentColour() {
  if (!currentColour) return;
  std::vector<ColourRef> colours = m_colours;
  colours.push_back(currentColour());
  StorePalette(std::move(colours), m_paletteGrid->Selected());
}

void ColourPalettePanel::DeleteSelected() {
  const int selected = m_paletteGrid->Selected();
  if (selected < 0 || static_cast<size_t>(selected) >= m_colours.size()) return;
  std::vector<ColourRef> colours = m_colours;
  colours.erase(colours.begin() + selected);
  // The swatch that moved into the gap is selected, so repeated 削除 clears a run of swatches.
  const int next = colours.empty() ? -1 : std::min(selected, static_cast<int>(colours.size()) - 1);
  StorePalette(std::move(colours), next);
}

bool ColourPalettePanel::LoadPalette(const std::string& path) {
  std::vector<ColourRef> colours;
  if (!ReadColourDefinitionFile(ReadablePathFor(path), colours)) {
    WarnCannotOpen(path);
    return false;
  }
  m_paletteFile = path;
  m_colours = std::move(colours);
  m_profile.WriteString(kSettingsSection, kPaletteFileKey, m_paletteFile);
  ShowPalette(-1);
  return true;
}

void ColourPalettePanel::AskLoad() {
  if (const auto path = AskFileName(this, OpenRequest(kColourDefinitionFilter, false))) LoadPalette(path->toStdString());
}

void ColourPalettePanel::AskSave() {
  const auto path = AskFileName(
      this, SaveRequest("*.cd", kColourDefinitionFilter, false, QString::fromStdString(m_paletteFile)));
  if (!path) return;
  const std::string target = path->toStdString();
  if (!WriteColourDefinitionFile(target, m_colours)) {
    WarnCannotSave(target);
    return;
  }
  m_paletteFile = target;
  m_profile.WriteString(kSettingsSection, kPaletteFileKey, m_paletteFile);
}

void ColourPalettePanel::FillPaletteMenu() {
  m_paletteMenu->clear();
  for (const std::string& file : ListPaletteMenuFiles()) {
    const QString title = QFileInfo(QString::fromStdString(file)).completeBaseName();
    QAction* action = m_paletteMenu->addAction(MenuText(title));
    connect(action, &QAction::triggered, this, [this, file] { LoadPalette(file); });
  }
  if (m_paletteMenu->isEmpty()) m_paletteMenu->addAction("(なし)")->setEnabled(false);
}

// ---- the history ----------------------------------------------------------------------------

void ColourPalettePanel::AddToHistory(ColourRef colour) {
  PutFirstInHistory(m_history, colour);
  if (!m_open) m_usedWhileClosed.push_back(colour);
  m_historyGrid->SetColours(m_history);
}

void ColourPalettePanel::OnHistoryClicked(int index, Qt::MouseButton button) {
  if (index < 0 || static_cast<size_t>(index) >= m_history.size()) return;
  const ColourRef colour = m_history[static_cast<size_t>(index)];
  if (button == Qt::LeftButton) {
    emit foregroundPicked(colour);
  } else if (button == Qt::RightButton) {
    emit backgroundPicked(colour);
  }
}

void ColourPalettePanel::OpenHistory() {
  m_history = ReadHistoryFile();
  for (const ColourRef colour : m_usedWhileClosed) PutFirstInHistory(m_history, colour);
  m_usedWhileClosed.clear();
  m_historyGrid->SetColours(m_history);
}

bool ColourPalettePanel::WriteHistory() {
  const std::string path = WritablePathFor(ColourHistoryPath());
  std::error_code error;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
  // A history that cannot be kept is no reason to trouble the user: it only loses recent colours.
  return WriteColourDefinitionFile(path, m_history);
}

void ColourPalettePanel::CloseHistory() {
  WriteHistory();
  m_open = false;
}

void ColourPalettePanel::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (event->spontaneous() || m_open) return;
  OpenHistory();
  m_open = true;
  m_profile.WriteInt(kSettingsSection, kColourPaletteVisibleKey, 1);
}

void ColourPalettePanel::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  if (event->spontaneous() || !m_open) return;
  CloseHistory();
  // Hidden with the main window as the program ends, the panel stays marked open for the next
  // start. A floating dock is a window of its own, so the main window is the outermost parent.
  const QWidget* outermost = this;
  while (outermost->parentWidget() != nullptr) outermost = outermost->parentWidget();
  if (outermost == this || outermost->isVisible()) m_profile.WriteInt(kSettingsSection, kColourPaletteVisibleKey, 0);
}

}  // namespace varnel
