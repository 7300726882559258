#include "iogate/file_dialogs.h"

#include <QApplication>
#include <QFileInfo>
#include <QTimer>
#include <cstring>
#include <string>

#include "iogate/folder_history.h"
#include "iogate/gateway.h"
#include "iogate/iogate.h"
#include "iogate/iogate_testing.h"
#include "iogate/preview_file_dialog.h"
#include "iogate/save_file_dialog_ext.h"
#include "platform/code_page.h"
#include "platform/host.h"

namespace varnel::iogate {
namespace {

std::function<void(QFileDialog&)>& ShownHook() {
  static std::function<void(QFileDialog&)> hook;
  return hook;
}

// Runs the dialog; the chosen path, or "" when it was cancelled.
std::string Run(GatewayFileDialog& dialog) {
  if (ShownHook()) QTimer::singleShot(0, &dialog, [&dialog] { ShownHook()(dialog); });
  const int answer = dialog.exec();
  if (dialog.Failure()) std::rethrow_exception(dialog.Failure());
  return answer == QDialog::Accepted ? dialog.ChosenPath() : std::string();
}

std::string Text(const char* text) { return text != nullptr ? text : ""; }

// The caller's proposal: a file is selected by name; a folder (a name ending in a separator, or
// naming one) only opens the dialog there, or its last part would stand as the file's name.
void Propose(QFileDialog& dialog, const QString& name) {
  if (name.isEmpty()) return;
  if (name.endsWith('/') || QFileInfo(name).isDir()) {
    dialog.setDirectory(name);
    return;
  }
  dialog.selectFile(name);
}

std::string ShowDialog(int32_t mode, const char* defaultExtension, const char* fileName, uint32_t flags,
                       const char* filter, const void* pictureInfo, const void* pictureBits, void* ownerWindow) {
  const PluginList& plugins = TheGateway().Plugins();
  auto* owner = static_cast<QWidget*>(ownerWindow);
  const QString name = QString::fromUtf8(Text(fileName));
  if (mode != kIogateSaveMode) {
    CPreviewFileDialog dialog(owner, plugins, OpenFilter(plugins, FromCodePage932(Text(filter))), flags,
                              GatewayProfilePath());
    const std::string suffix = BareExtension(Text(defaultExtension));
    if (!suffix.empty()) dialog.setDefaultSuffix(QString::fromStdString(suffix));
    Propose(dialog, name);
    return Run(dialog);
  }
  CSaveFileDialogExt dialog(owner, plugins, SaveFilter(plugins, Text(filter)), Text(defaultExtension), flags,
                            pictureInfo, pictureBits);
  Propose(dialog, name);
  return Run(dialog);
}

}  // namespace

void SetDialogShownHookForTesting(std::function<void(QFileDialog&)> hook) { ShownHook() = std::move(hook); }

void ForgetPluginsForTesting() { TheGateway().ForgetPluginsForTesting(); }

int32_t GetFileName(int32_t mode, const char* defaultExtension, const char* fileName, uint32_t flags,
                    const char* filter, char* result, int32_t resultSize, const void* pictureInfo,
                    const void* pictureBits, void* ownerWindow) {
  if (result == nullptr || resultSize <= 0) return -1;
  std::memset(result, 0, static_cast<size_t>(resultSize));
  // The dialogs need the desktop program's application object; without it there is nothing to show.
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) return -1;
  std::string path;
  try {
    path = ShowDialog(mode, defaultExtension, fileName, flags, filter, pictureInfo, pictureBits, ownerWindow);
  } catch (...) {
    GetHost().MessageBox(kUnknownException, "", kMbOk | kMbIconWarning);
    return -1;
  }
  return CopyResultPath(path, result, resultSize);
}

}  // namespace varnel::iogate
