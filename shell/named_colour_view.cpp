#include "shell/named_colour_view.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "platform/host.h"
#include "platform/program_folder.h"
#include "qtcommon/qt_colour.h"
#include "shell/messages.h"

namespace varnel {
namespace {

// Rows carry the index of their entry in this role.
constexpr int kEntryRole = Qt::UserRole;
constexpr QSize kSwatchIconSize(20, 14);

std::function<std::optional<QString>(const QString&)>& NameHook() {
  static std::function<std::optional<QString>(const QString&)> hook;
  return hook;
}

QIcon SwatchIcon(ColourRef colour) {
  QPixmap pixmap(kSwatchIconSize);
  pixmap.fill(QColorFromColourRef(colour));
  QPainter painter(&pixmap);
  painter.setPen(QColor(64, 64, 64));
  painter.drawRect(pixmap.rect().adjusted(0, 0, -1, -1));
  return QIcon(pixmap);
}

}  // namespace

QString NamedColourHex(ColourRef colour) {
  return QString("%1").arg(ValueOf(ToRgb(colour)), 6, 16, QChar('0'));
}

bool NamedColourMatches(const NamedColour& entry, const QString& search) {
  const QString text = search.trimmed();
  if (text.isEmpty()) return true;
  if (QString::fromStdString(entry.name).contains(text, Qt::CaseInsensitive)) return true;
  const QString digits = text.startsWith('#') ? text.mid(1) : text;
  return !digits.isEmpty() && NamedColourHex(entry.colour).contains(digits, Qt::CaseInsensitive);
}

void SetColourNameDialogHookForTesting(std::function<std::optional<QString>(const QString&)> hook) {
  NameHook() = std::move(hook);
}

std::optional<QString> AskColourName(QWidget* owner, const QString& current) {
  if (NameHook()) return NameHook()(current);
  bool ok = false;
  const QString name = QInputDialog::getText(owner, "リネーム", "名前", QLineEdit::Normal, current, &ok);
  if (!ok) return std::nullopt;
  return name;
}

NamedColourView::NamedColourView(std::string path, QWidget* parent)
    : QWidget(parent),
      m_path(std::move(path)),
      m_search(new QLineEdit(this)),
      m_list(new QTreeWidget(this)),
      m_rename(new QPushButton("リネーム", this)) {
  setObjectName("NamedColourView");
  m_search->setObjectName("NamedColourSearch");
  m_search->setPlaceholderText("検索文字列");
  m_search->setClearButtonEnabled(true);
  m_list->setObjectName("NamedColourList");
  m_list->setColumnCount(2);
  m_list->setHeaderHidden(true);
  m_list->setRootIsDecorated(false);
  m_list->setUniformRowHeights(true);
  m_list->setIconSize(kSwatchIconSize);
  m_list->header()->setSectionResizeMode(0, QHeaderView::Stretch);
  m_list->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
  m_list->header()->setStretchLastSection(false);
  m_rename->setObjectName("NamedColourRename");
  m_rename->setEnabled(false);

  auto* searchRow = new QHBoxLayout;
  searchRow->addWidget(new QLabel("検索", this));
  searchRow->addWidget(m_search, 1);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->addLayout(searchRow);
  layout->addWidget(m_list, 1);
  layout->addWidget(m_rename, 0, Qt::AlignLeft);

  connect(m_search, &QLineEdit::textChanged, this, [this] { ApplySearch(); });
  connect(m_list, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) { Pick(item); });
  connect(m_list, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) { Pick(item); });
  connect(m_list, &QTreeWidget::itemSelectionChanged, this, [this] { m_rename->setEnabled(SelectedEntry() >= 0); });
  connect(m_rename, &QPushButton::clicked, this, [this] { RenameSelected(); });

  // A missing or foreign file leaves the list empty; what was read before a failure stays out.
  if (ReadNamedColourList(ReadablePathFor(m_path), m_entries) != NamedColourListResult::kRead) m_entries.clear();
  Populate();
}

void NamedColourView::Populate() {
  m_list->clear();
  QList<QTreeWidgetItem*> items;
  items.reserve(static_cast<qsizetype>(m_entries.size()));
  for (size_t i = 0; i < m_entries.size(); ++i) {
    const NamedColour& entry = m_entries[i];
    auto* item = new QTreeWidgetItem(QStringList{QString::fromStdString(entry.name), "#" + NamedColourHex(entry.colour)});
    item->setIcon(0, SwatchIcon(entry.colour));
    item->setData(0, kEntryRole, static_cast<int>(i));
    items.push_back(item);
  }
  m_list->addTopLevelItems(items);
  ApplySearch();
}

void NamedColourView::ApplySearch() {
  const QString text = m_search->text();
  for (int row = 0; row < m_list->topLevelItemCount(); ++row) {
    QTreeWidgetItem* item = m_list->topLevelItem(row);
    const auto entry = static_cast<size_t>(item->data(0, kEntryRole).toInt());
    const bool shown = entry < m_entries.size() && NamedColourMatches(m_entries[entry], text);
    item->setHidden(!shown);
    // A hidden row cannot stay the one that リネーム acts on.
    if (!shown) item->setSelected(false);
  }
}

std::vector<int> NamedColourView::ShownEntries() const {
  std::vector<int> shown;
  for (int row = 0; row < m_list->topLevelItemCount(); ++row) {
    const QTreeWidgetItem* item = m_list->topLevelItem(row);
    if (!item->isHidden()) shown.push_back(item->data(0, kEntryRole).toInt());
  }
  return shown;
}

int NamedColourView::SelectedEntry() const {
  for (const QTreeWidgetItem* item : m_list->selectedItems())
    if (!item->isHidden()) return item->data(0, kEntryRole).toInt();
  return -1;
}

bool NamedColourView::Rename(int entry, const QString& name) {
  if (entry < 0 || static_cast<size_t>(entry) >= m_entries.size()) return false;
  const std::string kept = NameForColourList(name.toStdString());
  if (kept.empty()) return false;
  NamedColour& target = m_entries[static_cast<size_t>(entry)];
  const std::string previous = target.name;
  target.name = kept;
  if (!WriteNamedColourList(WritablePathFor(m_path), m_entries)) {
    target.name = previous;
    GetHost().MessageBox(FileSaveErrorMessage(m_path), "", kMbOk | kMbIconWarning);
    return false;
  }
  if (QTreeWidgetItem* item = m_list->topLevelItem(entry)) item->setText(0, QString::fromStdString(kept));
  ApplySearch();
  return true;
}

void NamedColourView::RenameSelected() {
  const int entry = SelectedEntry();
  if (entry < 0) return;
  if (const auto name = AskColourName(this, QString::fromStdString(m_entries[static_cast<size_t>(entry)].name)))
    Rename(entry, *name);
}

void NamedColourView::Pick(QTreeWidgetItem* item) {
  if (item == nullptr) return;
  const auto entry = static_cast<size_t>(item->data(0, kEntryRole).toInt());
  if (entry < m_entries.size()) emit foregroundPicked(m_entries[entry].colour);
}

}  // namespace varnel
