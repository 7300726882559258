#include "shell/file_dialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QStringList>
#include <array>
#include <exception>

#include "iogate/iogate.h"
#include "platform/dynamic_library.h"
#include "platform/host.h"
#include "platform/program_folder.h"
#include "shell/messages.h"

namespace varnel {

namespace {

std::function<std::optional<QString>(const FileDialogRequest&)>& Hook() {
  static std::function<std::optional<QString>(const FileDialogRequest&)> hook;
  return hook;
}

// The gateway stays loaded once found: its dialogs keep their state between calls.
IogateGetFileName GatewayGetFileName() {
  static DynamicLibrary library;
  static bool tried = false;
  if (!tried) {
    tried = true;
    library.Open(ProgramPath("Iogate.so"));
  }
  return library.IsOpen() ? library.Function<IogateGetFileName>("GetFileName") : nullptr;
}

// "*.VLB" (or ".VLB") as the bare "vlb"; nothing for a wildcard. Added in lower case, as the
// filters list the extensions and as the gateway's dialog adds them: on a file system that tells
// case apart, "tri.VRD" is not found when "tri.vrd" is typed.
QString BareExtension(const QString& defaultExtension) {
  const QString bare = defaultExtension.mid(defaultExtension.lastIndexOf('.') + 1);
  return bare.contains('*') || bare.contains('?') ? QString() : bare.toLower();
}

// A saved name without an extension gets the default one, should a platform's own dialog not
// have added it.
QString WithDefaultExtension(const QString& path, const QString& defaultExtension) {
  const QString extension = BareExtension(defaultExtension);
  if (extension.isEmpty() || !QFileInfo(path).suffix().isEmpty()) return path;
  return path + '.' + extension;
}

// Where the last file was chosen. A dialog given no place of its own opens there, as the
// system's dialogs do, not in the folder the program was started from.
QString& LastFolder() {
  static QString folder;
  return folder;
}

std::optional<QString> SystemDialog(QWidget* owner, const FileDialogRequest& request) {
  QFileDialog dialog(owner, QString(), QString(), QtFilterFromProgramFilter(request.filter));
  if (!request.proposedName.isEmpty()) {
    const QFileInfo proposed(request.proposedName);
    dialog.setDirectory(proposed.absolutePath());
    if (!proposed.fileName().isEmpty()) dialog.selectFile(proposed.fileName());
  } else if (!LastFolder().isEmpty()) {
    dialog.setDirectory(LastFolder());
  }
  if (request.open) {
    dialog.setFileMode(QFileDialog::ExistingFile);
  } else {
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // The dialog adds the extension before it looks for a file to replace: added afterwards, a
    // name typed without it would replace that file unasked.
    dialog.setDefaultSuffix(BareExtension(request.defaultExtension));
    dialog.setOption(QFileDialog::DontConfirmOverwrite, (request.flags & kIogateOverwritePrompt) == 0);
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  const QString path = dialog.selectedFiles().first();
  LastFolder() = QFileInfo(path).absolutePath();
  return request.open ? path : WithDefaultExtension(path, request.defaultExtension);
}

}  // namespace

void SetFileDialogHookForTesting(std::function<std::optional<QString>(const FileDialogRequest&)> hook) {
  Hook() = std::move(hook);
}

FileDialogRequest SaveRequest(const QString& defaultExtension, const QString& filter, bool useGateway,
                              const QString& proposedName) {
  FileDialogRequest request;
  request.defaultExtension = defaultExtension;
  request.proposedName = proposedName;
  request.filter = filter;
  request.flags = kIogateOverwritePrompt | kIogateHideReadOnly;
  request.useGateway = useGateway;
  return request;
}

FileDialogRequest OpenRequest(const QString& filter, bool useGateway, const QString& defaultExtension) {
  FileDialogRequest request;
  request.open = true;
  request.defaultExtension = defaultExtension;
  request.filter = filter;
  request.flags = kIogateFileMustExist;
  request.useGateway = useGateway;
  return request;
}

QString QtFilterFromProgramFilter(const QString& filter) {
  QStringList parts = filter.split('|');
  QStringList entries;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    const QString description = parts[i].trimmed();
    if (description.isEmpty()) break;  // "||" ends the list
    QStringList patterns;
    for (const QString& pattern : parts[i + 1].split(';', Qt::SkipEmptyParts)) {
      const QString p = pattern.trimmed();
      if (p.isEmpty()) continue;
      patterns << p;
      // Linux names are case-sensitive; the program's files are often written in capitals.
      if (p.toUpper() != p) patterns << p.toUpper();
    }
    entries << QString("%1 (%2)").arg(description, patterns.join(' '));
  }
  entries << "All files (*)";
  return entries.join(";;");
}

std::optional<QString> AskFileName(QWidget* owner, const FileDialogRequest& request) {
  if (Hook()) return Hook()(request);
  IogateGetFileName getFileName = request.useGateway ? GatewayGetFileName() : nullptr;
  if (getFileName == nullptr) return SystemDialog(owner, request);
  const QByteArray extension = request.defaultExtension.toUtf8();
  const QByteArray name = request.proposedName.toUtf8();
  const QByteArray filter = request.filter.toUtf8();
  std::array<char, 4096> result{};
  try {
    const int32_t answer = getFileName(request.open ? kIogateOpenMode : kIogateSaveMode,
                                       extension.isEmpty() ? nullptr : extension.constData(),
                                       name.isEmpty() ? nullptr : name.constData(), request.flags,
                                       filter.constData(), result.data(), static_cast<int32_t>(result.size()),
                                       nullptr, nullptr, owner);
    if (answer != 0 || result[0] == '\0') return std::nullopt;
  } catch (...) {
    // Whatever went wrong inside the gateway, the user keeps working as after a cancel.
    GetHost().MessageBox(kMsgUnknownException, "", kMbOk | kMbIconWarning);
    return std::nullopt;
  }
  return QString::fromUtf8(result.data());
}

}  // namespace varnel
