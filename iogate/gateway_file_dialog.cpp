#include "iogate/gateway_file_dialog.h"

#include <QComboBox>
#include <QFile>
#include <QGridLayout>

namespace varnel::iogate {

GatewayFileDialog::GatewayFileDialog(QWidget* parent, std::vector<FilterEntry> types)
    : QFileDialog(parent), m_types(std::move(types)) {
  // Options first: the widgets exist only for Qt's own dialog, and the type list is drawn
  // with the options in force when the filters are set.
  setOption(QFileDialog::DontUseNativeDialog, true);
  // The list then shows each description exactly as written, without Qt's "(patterns)".
  setOption(QFileDialog::HideNameFilterDetails, true);
  for (const FilterEntry& type : m_types) m_nameFilters.push_back(QString::fromStdString(QtNameFilter(type)));
  setNameFilters(m_nameFilters);
}

int GatewayFileDialog::SelectedType() const {
  // With the details hidden, Qt may answer the shortened text for the chosen filter; the type
  // list itself holds one item per filter, in order.
  if (const auto* types = findChild<QComboBox*>("fileTypeCombo")) {
    const int index = types->currentIndex();
    return index < static_cast<int>(m_types.size()) ? index : -1;
  }
  return static_cast<int>(m_nameFilters.indexOf(selectedNameFilter()));
}

std::string GatewayFileDialog::ChosenPath() const {
  const QStringList files = selectedFiles();
  if (files.isEmpty()) return "";
  return QFile::encodeName(files.front()).toStdString();
}

QGridLayout* GatewayFileDialog::Grid() const { return qobject_cast<QGridLayout*>(layout()); }

}  // namespace varnel::iogate
