#pragma once
// The debug console as a dock window: one line per shown message, in its colour.

#include <QDockWidget>

class QListWidget;

namespace varnel {

class DebugConsole;
struct DebugEntry;

class DebugConsolePanel : public QDockWidget {
  Q_OBJECT

 public:
  static constexpr const char* kTitle = "デバッグコンソール";

  DebugConsolePanel(DebugConsole& console, QWidget* parent = nullptr);
  ~DebugConsolePanel() override;

  QListWidget* List() const { return m_list; }

 private:
  void Append(const DebugEntry& entry);
  void Rebuild();

  DebugConsole& m_console;
  QListWidget* m_list;
};

}  // namespace varnel
