#pragma once
// The small dialog of "フォルダ呼び出し": a folder tree beside the registered folders. The
// folder last chosen in either becomes the answer.

#include <QDialog>
#include <QString>
#include <string>
#include <vector>

class QFileSystemModel;
class QListWidget;
class QTreeView;

namespace varnel::iogate {

class CFolderDialog : public QDialog {
  Q_OBJECT

 public:
  // folders: the registered folders, as file system bytes; start: the folder the tree opens at.
  CFolderDialog(QWidget* parent, const std::vector<std::string>& folders, const QString& start);

  // The chosen folder; empty when none was chosen.
  QString Chosen() const { return m_chosen; }

 private:
  QFileSystemModel* m_model = nullptr;
  QTreeView* m_tree = nullptr;
  QListWidget* m_list = nullptr;
  QString m_chosen;
};

}  // namespace varnel::iogate
