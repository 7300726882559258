#pragma once
// スクリプトコンソール: the script text, run over the active layer through the script control of
// Ext/Macrolet.so ("実行"), loaded from and saved to files ("読み込み", "保存").

#include <QDialog>
#include <string>

#include "platform/dynamic_library.h"
#include "shell/command_table.h"

class QComboBox;
class QPlainTextEdit;

namespace varnel {

class CMainFrame;
class CVarnelDoc;

inline constexpr const char* kScriptConsoleTitle = "スクリプトコンソール";
inline constexpr const char* kControlNotCreated = "コントロールが作成できません";

class ScriptConsole : public QDialog {
  Q_OBJECT

 public:
  // Registers and creates the control from libraryPath (default: the program's Ext/Macrolet.so);
  // tells the user "コントロールが作成できません" when it cannot.
  ScriptConsole(CMainFrame& frame, std::string libraryPath = std::string());
  // The control's code lives in the library, so it goes before the library is freed.
  ~ScriptConsole() override;

  bool HasControl() const { return m_control != nullptr; }
  QPlainTextEdit* Editor() const { return m_editor; }
  QComboBox* Engine() const { return m_engine; }
  // "実行" on a document: its active layer backed up into an undo step, the script run by
  // ParseScriptText, the views refreshed.
  void RunOn(CVarnelDoc& doc);

 private:
  void Run();
  void LoadFile();
  void SaveFile();

  CMainFrame& m_frame;
  DynamicLibrary m_library;
  QWidget* m_control = nullptr;
  QPlainTextEdit* m_editor;
  QComboBox* m_engine;
};

// "Script(&S)": shows the frame's console, made on first use.
void RunScriptConsole(CommandContext& context, int id);

}  // namespace varnel
