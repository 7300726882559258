#pragma once
// The script control CMacroletCtrl of Ext/Macrolet.so as a hidden QWidget whose members the host
// invokes by name.

#include <QWidget>
#include <cstdint>
#include <string>

#include "macrolet/macrolet.h"
#include "macrolet/script_engine.h"

namespace varnel {

inline constexpr const char* kScriptRunningTitle = "スクリプト実行中";
inline constexpr const char* kScriptRunningText = "スクリプトを実行中です。";
inline constexpr const char* kScriptLogName = "script.log";

// ExecScript's work: the image (copied in, run, copied back) under the engine of clsid. Errors
// and message boxes go to owner's boxes (null: none). Always 0.
int32_t ExecScriptOver(std::string_view text, const MacroletClsid& engine, const VarnelBitmapInfoHeader* bmInfo,
                       void* bmData, QWidget* owner);

class MacroletCtrl : public QWidget {
  Q_OBJECT
  // The log's folder (empty: WritablePath, the program folder unless it is read-only).
  Q_PROPERTY(QString logFolder MEMBER logFolder)

 public:
  explicit MacroletCtrl(QWidget* parent = nullptr);

  // Runs the script file on a worker thread behind the modal "スクリプト実行中" dialog, writing
  // script.log in logFolder. −1 with a null image, else 0.
  Q_INVOKABLE int ProcessScript(const QString& scriptFileName, quintptr bmInfo, quintptr bmData);
  // Runs buflen bytes of scriptText (UTF-8) with the engine whose identifier lies at
  // clsidScriptEngine. Always 0.
  Q_INVOKABLE int ParseScriptText(const QString& scriptText, int buflen, quintptr clsidScriptEngine, quintptr bmInfo,
                                  quintptr bmData);
  Q_INVOKABLE void AboutBox();

  QString logFolder;
};

}  // namespace varnel
