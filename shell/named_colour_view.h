#pragma once
// The named colour list (res/html.ncl) as a list of swatch, name and "#rrggbb": a search box
// narrows it, リネーム renames the selected entry and writes the whole list back in list order,
// and a click on an entry picks its colour as the foreground colour.

#include <QString>
#include <QWidget>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "colour/colour_file.h"

class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace varnel {

// The hexadecimal form shown and searched: the colour in web order, six lower-case digits.
QString NamedColourHex(ColourRef colour);
// Whether an entry shows for a search text: the text trimmed is empty, the name holds it
// (without regard to case), or the six digits hold it with any leading '#' removed.
bool NamedColourMatches(const NamedColour& entry, const QString& search);

// Asks for a new name ("リネーム", field "名前"); nothing when cancelled.
std::optional<QString> AskColourName(QWidget* owner, const QString& current);
// Tests answer the rename dialog: the hook sees the current name and gives the answer.
void SetColourNameDialogHookForTesting(std::function<std::optional<QString>(const QString&)> hook);

class NamedColourView : public QWidget {
  Q_OBJECT

 public:
  // Reads the list at path; a missing file or one that is not a named colour list shows an
  // empty list (and a rename then writes a new one).
  explicit NamedColourView(std::string path, QWidget* parent = nullptr);

  const std::vector<NamedColour>& Entries() const { return m_entries; }
  // The entries the search lets through, as indices into Entries(), in list order.
  std::vector<int> ShownEntries() const;
  // The entry of the selected row; -1 for none.
  int SelectedEntry() const;
  // Renames an entry and writes the list back. The name is kept as the file can hold it
  // (NameForColourList); a name that is empty then changes nothing. False, told and the old
  // name kept when the file cannot be written.
  bool Rename(int entry, const QString& name);

  QTreeWidget* List() const { return m_list; }
  QLineEdit* SearchBox() const { return m_search; }

 signals:
  void foregroundPicked(ColourRef colour);

 private:
  void Populate();
  void ApplySearch();
  void RenameSelected();
  void Pick(QTreeWidgetItem* item);

  std::string m_path;
  std::vector<NamedColour> m_entries;
  QLineEdit* m_search;
  QTreeWidget* m_list;
  QPushButton* m_rename;
};

}  // namespace varnel
