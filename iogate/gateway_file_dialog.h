#pragma once
// What the gateway's open and save dialogs share: Qt's own (non-native) file dialog, so that
// panes and buttons can be added, showing a type list written the Windows way.

#include <QFileDialog>
#include <exception>
#include <string>
#include <vector>

#include "iogate/file_filter.h"

class QGridLayout;

namespace varnel::iogate {

class GatewayFileDialog : public QFileDialog {
  Q_OBJECT

 public:
  GatewayFileDialog(QWidget* parent, std::vector<FilterEntry> types);

  const std::vector<FilterEntry>& Types() const { return m_types; }
  // The index into Types() of the type chosen in the list, or -1.
  int SelectedType() const;
  // The chosen path as the file system's bytes; empty when nothing was chosen.
  std::string ChosenPath() const;
  // An exception that plug-in code threw while the dialog was open. It closed the dialog as
  // cancelled; the caller rethrows it once exec has returned.
  std::exception_ptr Failure() const { return m_failure; }

 protected:
  // Runs work (which may call into plug-ins) from a slot. Exceptions must not unwind through
  // Qt's event loop, so one is kept and the dialog closes.
  template <typename Work>
  void Guarded(Work&& work) {
    try {
      work();
    } catch (...) {
      if (!m_failure) m_failure = std::current_exception();
      reject();
    }
  }

  // The dialog's own grid, to which the panes and buttons are added.
  QGridLayout* Grid() const;

 private:
  std::vector<FilterEntry> m_types;
  QStringList m_nameFilters;  // parallel to m_types
  std::exception_ptr m_failure;
};

}  // namespace varnel::iogate
