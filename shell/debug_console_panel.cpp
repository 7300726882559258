#include "shell/debug_console_panel.h"

#include <QListWidget>

#include "qtcommon/qt_colour.h"
#include "shell/debug_console.h"

namespace varnel {

DebugConsolePanel::DebugConsolePanel(DebugConsole& console, QWidget* parent)
    : QDockWidget(QString::fromUtf8(kTitle), parent), m_console(console), m_list(new QListWidget(this)) {
  setObjectName("DebugConsole");
  m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
  m_list->setUniformItemSizes(true);
  setWidget(m_list);
  m_console.onChange = [this](const DebugEntry* entry) {
    if (entry)
      Append(*entry);
    else
      Rebuild();
  };
  Rebuild();
}

DebugConsolePanel::~DebugConsolePanel() { m_console.onChange = nullptr; }

void DebugConsolePanel::Append(const DebugEntry& entry) {
  auto* item = new QListWidgetItem(QString::fromStdString(entry.text), m_list);
  item->setForeground(QColorFromColourRef(entry.colour));
  item->setData(Qt::UserRole, entry.level);
  while (m_list->count() > int(DebugConsole::kCapacity)) delete m_list->takeItem(0);
  m_list->scrollToBottom();
}

void DebugConsolePanel::Rebuild() {
  m_list->clear();
  for (const DebugEntry& entry : m_console.ShownEntries()) Append(entry);
}

}  // namespace varnel
