#include "shell/object_palette.h"

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/code_page.h"
#include "platform/host.h"
#include "platform/profile.h"
#include "platform/program_folder.h"
#include "shell/document_commands.h"
#include "shell/panel_widgets.h"
#include "shell/varnel_app.h"
#include "shell/window_placement.h"

namespace varnel {
namespace {

constexpr std::string_view kEmbeddedPrefix = "Varnel.Embedded.";
// A tool state is a few hundred bytes; anything far larger on the clipboard is not one.
constexpr qsizetype kMaxPastedBytes = 1 << 20;

QString ObjectMimeType() { return QString("application/x-%1").arg(kClipboardObject); }

std::string FirstLineTool(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::string line;
  if (!file || !std::getline(file, line) || !line.starts_with(kEmbeddedPrefix)) return {};
  // The first line names the tool in code page 932, as ツール状態の保存 writes it.
  return FromCodePage932(line.substr(kEmbeddedPrefix.size()));
}

}  // namespace

std::vector<ObjectEntry> ListObjectEntries(const std::string& folder) {
  std::vector<ObjectEntry> entries;
  std::error_code error;
  // A read-only program folder's entries come first; the user's data folder's replace same names.
  for (const std::string& searched : SearchFoldersFor(folder)) {
    for (const auto& item : std::filesystem::directory_iterator(searched, error)) {
      if (!item.is_regular_file(error) || item.path().extension() != kObjectEntryExtension) continue;
      std::string tool = FirstLineTool(item.path().string());
      if (tool.empty()) continue;
      ObjectEntry entry{item.path().stem().string(), std::move(tool), item.path().string()};
      auto same = std::find_if(entries.begin(), entries.end(), [&](const ObjectEntry& e) { return e.name == entry.name; });
      if (same != entries.end()) {
        *same = std::move(entry);
      } else {
        entries.push_back(std::move(entry));
      }
    }
  }
  std::sort(entries.begin(), entries.end(), [](const ObjectEntry& a, const ObjectEntry& b) { return a.name < b.name; });
  return entries;
}

std::string ObjectFileName(const std::string& name) {
  std::string safe = name;
  for (char& c : safe)
    if (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20) c = '_';
  if (safe.empty() || safe == "." || safe == "..") safe = "object";
  return safe;
}

ObjectPalette::ObjectPalette(DocumentCommands& commands, Profile& profile, std::string folder, QWidget* parent)
    : QWidget(parent, Qt::Tool), m_commands(commands), m_profile(profile), m_folder(std::move(folder)) {
  setObjectName("ObjectPalette");
  setWindowTitle(QString::fromUtf8(kObjectPaletteTitle));
  m_list = new QListWidget(this);
  m_list->setObjectName("ObjectList");
  auto* add = m_add = new QPushButton(QString::fromUtf8("登録"), this);
  auto* apply = new QPushButton(QString::fromUtf8("適用"), this);
  auto* remove = new QPushButton(QString::fromUtf8("削除"), this);
  auto* rename = new QPushButton(QString::fromUtf8("名前の変更"), this);
  auto* copy = new QPushButton(QString::fromUtf8("コピー"), this);
  auto* paste = new QPushButton(QString::fromUtf8("貼り付け"), this);
  add->setObjectName("ObjectAdd");
  apply->setObjectName("ObjectApply");
  remove->setObjectName("ObjectDelete");
  rename->setObjectName("ObjectRename");
  copy->setObjectName("ObjectCopy");
  paste->setObjectName("ObjectPaste");
  auto* buttons = new QHBoxLayout;
  for (QPushButton* b : {add, apply, remove}) buttons->addWidget(b);
  auto* more = new QHBoxLayout;
  for (QPushButton* b : {rename, copy, paste}) more->addWidget(b);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_list);
  layout->addLayout(buttons);
  layout->addLayout(more);

  connect(add, &QPushButton::clicked, this, [this] { AddEntry({}); });
  connect(apply, &QPushButton::clicked, this, [this] { ApplyEntry(Current()); });
  connect(m_list, &QListWidget::itemDoubleClicked, this, [this] { ApplyEntry(Current()); });
  connect(remove, &QPushButton::clicked, this, [this] { DeleteEntry(Current()); });
  connect(rename, &QPushButton::clicked, this, [this] {
    const int index = Current();
    if (index < 0) return;
    bool ok = false;
    const QString name = QInputDialog::getText(this, QString::fromUtf8("名前の変更"), QString::fromUtf8("名前"),
                                               QLineEdit::Normal, QString::fromStdString(m_entries[index].name), &ok);
    if (ok) RenameEntry(index, name.toStdString());
  });
  connect(copy, &QPushButton::clicked, this, [this] { CopyEntry(Current()); });
  connect(paste, &QPushButton::clicked, this, [this] { PasteEntry(); });
  m_entryButtons = {apply, remove, rename, copy};
  connect(m_list, &QListWidget::currentRowChanged, this, [this](int row) {
    for (QPushButton* button : m_entryButtons) button->setEnabled(row >= 0);
  });
  for (QPushButton* button : m_entryButtons) button->setEnabled(false);
  Reload();
  ToolChanged();
}

void ObjectPalette::ToolChanged() { m_add->setEnabled(m_commands.ToolInUse() != nullptr); }

int ObjectPalette::Current() const {
  const int row = m_list->currentRow();
  return row >= 0 && row < static_cast<int>(m_entries.size()) ? row : -1;
}

void ObjectPalette::Reload() {
  m_entries = ListObjectEntries(m_folder);
  m_list->clear();
  for (const ObjectEntry& entry : m_entries)
    m_list->addItem(QString::fromStdString(entry.name + "  (" + entry.toolName + ")"));
}

std::string ObjectPalette::UniqueName(std::string name) const {
  name = ObjectFileName(name);
  const auto taken = [this](const std::string& n) {
    return std::any_of(m_entries.begin(), m_entries.end(), [&](const ObjectEntry& e) { return e.name == n; });
  };
  if (!taken(name)) return name;
  for (int i = 2;; ++i)
    if (!taken(name + " (" + std::to_string(i) + ")")) return name + " (" + std::to_string(i) + ")";
}

bool ObjectPalette::AddEntry(std::string name) {
  const ToolWithState* tool = m_commands.ToolInUse();
  if (tool == nullptr) return false;
  if (name.empty()) {
    bool ok = false;
    const QString asked = QInputDialog::getText(this, QString::fromUtf8("登録"), QString::fromUtf8("名前"),
                                                QLineEdit::Normal, QString::fromUtf8(tool->name), &ok);
    if (!ok) return false;
    name = asked.toStdString();
  }
  const std::string fileName = ObjectFileName(name);
  Reload();  // the entries as the folder holds them now
  const bool taken =
      std::any_of(m_entries.begin(), m_entries.end(), [&](const ObjectEntry& e) { return e.name == fileName; });
  if (taken && GetHost().MessageBox("「" + fileName + "」は既にあります。上書きしますか？", kObjectPaletteTitle,
                                    kMbYesNo | kMbIconQuestion) != kIdYes)
    return false;
  std::error_code error;
  std::filesystem::create_directories(m_folder, error);
  const std::string path = WritablePathFor(m_folder + "/" + fileName + kObjectEntryExtension);
  const bool saved = m_commands.SaveToolStateTo(path);
  Reload();
  return saved;
}

void ObjectPalette::ApplyEntry(int index) {
  if (index < 0 || index >= static_cast<int>(m_entries.size())) return;
  m_commands.LoadToolStateFrom(m_entries[index].path);
}

bool ObjectPalette::DeleteEntry(int index) {
  if (index < 0 || index >= static_cast<int>(m_entries.size())) return false;
  if (GetHost().MessageBox("「" + m_entries[index].name + "」を削除します。よろしいですか？", kObjectPaletteTitle,
                           kMbYesNo | kMbIconQuestion) != kIdYes)
    return false;
  std::error_code error;
  const bool removed = std::filesystem::remove(m_entries[index].path, error);
  Reload();
  return removed;
}

bool ObjectPalette::RenameEntry(int index, const std::string& name) {
  if (index < 0 || index >= static_cast<int>(m_entries.size())) return false;
  if (ObjectFileName(name) == m_entries[index].name) return true;
  const std::string path = WritablePathFor(m_folder + "/" + UniqueName(name) + kObjectEntryExtension);
  std::error_code error;
  std::filesystem::rename(m_entries[index].path, path, error);
  Reload();
  return !error;
}

void ObjectPalette::CopyEntry(int index) const {
  if (index < 0 || index >= static_cast<int>(m_entries.size())) return;
  std::ifstream file(m_entries[index].path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (!file && !file.eof()) return;
  auto* data = new QMimeData;
  data->setData(ObjectMimeType(), QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
  data->setText(QString::fromStdString(m_entries[index].name));
  QGuiApplication::clipboard()->setMimeData(data);
}

bool ObjectPalette::PasteEntry() {
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  if (data == nullptr || !data->hasFormat(ObjectMimeType())) return false;
  const QByteArray bytes = data->data(ObjectMimeType());
  if (bytes.size() > kMaxPastedBytes || !bytes.startsWith(QByteArray(kEmbeddedPrefix.data(), kEmbeddedPrefix.size())))
    return false;
  std::error_code error;
  std::filesystem::create_directories(m_folder, error);
  const std::string name = UniqueName(data->hasText() ? data->text().toStdString() : std::string("object"));
  const std::string path = WritablePathFor(m_folder + "/" + name + kObjectEntryExtension);
  // Written whole under a temporary name, so a failed write leaves no half entry.
  const std::string temporary = path + ".tmp";
  {
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    file.write(bytes.constData(), bytes.size());
    if (!file.flush()) {
      std::filesystem::remove(temporary, error);
      return false;
    }
  }
  std::filesystem::rename(temporary, path, error);
  Reload();
  return !error;
}

void ObjectPalette::showEvent(QShowEvent* event) {
  ToolChanged();
  if (!m_placed) {
    m_placed = true;
    const QRect available = screen() != nullptr ? screen()->availableGeometry() : QRect(0, 0, 1024, 768);
    if (const auto stored = StoredWindowPosition(m_profile, kObjectPaletteXPosKey, kObjectPaletteYPosKey, available)) {
      move(*stored);
    } else if (parentWidget() != nullptr) {
      // First shown: over the lower left of the pictures' area, clear of the menus and of the
      // tool palette at the left edge.
      const QRect owner = parentWidget()->frameGeometry();
      move(KeepOnScreen(owner.left() + 240, available.left(), available.width()),
           KeepOnScreen(owner.bottom() - sizeHint().height() - 80, available.top(), available.height()));
    }
  }
  Reload();
  QWidget::showEvent(event);
}

void ObjectPalette::moveEvent(QMoveEvent* event) {
  if (isVisible()) StoreWindowPosition(m_profile, kObjectPaletteXPosKey, kObjectPaletteYPosKey, pos());
  QWidget::moveEvent(event);
}

}  // namespace varnel
