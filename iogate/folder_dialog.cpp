#include "iogate/folder_dialog.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QListWidget>
#include <QTreeView>
#include <QVBoxLayout>

#include "iogate/folder_history.h"

namespace varnel::iogate {

CFolderDialog::CFolderDialog(QWidget* parent, const std::vector<std::string>& folders, const QString& start)
    : QDialog(parent) {
  setObjectName("CFolderDialog");
  setWindowTitle(QString::fromUtf8(kRecallFolder));

  m_model = new QFileSystemModel(this);
  m_model->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
  m_model->setRootPath(QDir::rootPath());
  m_tree = new QTreeView(this);
  m_tree->setObjectName("folderTree");
  m_tree->setModel(m_model);
  m_tree->setHeaderHidden(true);
  for (int column = 1; column < m_model->columnCount(); ++column) m_tree->hideColumn(column);
  const QModelIndex startIndex = m_model->index(start);
  if (startIndex.isValid()) {
    m_tree->setCurrentIndex(startIndex);
    m_tree->scrollTo(startIndex);
  }

  m_list = new QListWidget(this);
  m_list->setObjectName("registeredFolders");
  for (const std::string& folder : folders) m_list->addItem(QFile::decodeName(QByteArray::fromStdString(folder)));

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->setObjectName("buttonBox");

  auto* panes = new QHBoxLayout;
  panes->addWidget(m_tree, 1);
  panes->addWidget(m_list, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(panes);
  layout->addWidget(buttons);

  connect(m_tree->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current) {
            if (current.isValid()) m_chosen = m_model->filePath(current);
          });
  connect(m_list, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* current) {
    if (current != nullptr) m_chosen = current->text();
  });
  connect(m_list, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
    m_chosen = item->text();
    accept();
  });
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

}  // namespace varnel::iogate
