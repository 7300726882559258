#pragma once
// The program's file dialogs: the file gateway's dialogs when Iogate.so is in the program
// folder, the system's (Qt's) dialog with the same values otherwise.

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

class QWidget;

namespace varnel {

struct FileDialogRequest {
  bool open = false;
  QString defaultExtension;  // "*.VLB" style; appended to a saved name typed without one
  QString proposedName;
  // The program's filter text: "description| patterns;|description| patterns;|" ("||" ends it).
  QString filter;
  uint32_t flags = 0;        // kIogate... flags
  bool useGateway = true;    // false: always the system dialog
};

// A save dialog that asks before replacing a file, and an open dialog for existing files only.
FileDialogRequest SaveRequest(const QString& defaultExtension, const QString& filter, bool useGateway,
                              const QString& proposedName = {});
FileDialogRequest OpenRequest(const QString& filter, bool useGateway, const QString& defaultExtension = {});

// The chosen path, or nothing when the user cancelled (or the gateway failed: the user is told).
std::optional<QString> AskFileName(QWidget* owner, const FileDialogRequest& request);

// The program's filter text as Qt's "description (patterns);;…" list.
QString QtFilterFromProgramFilter(const QString& filter);

// Tests answer the dialogs themselves: the hook sees each request and gives the answer.
void SetFileDialogHookForTesting(std::function<std::optional<QString>(const FileDialogRequest&)> hook);

}  // namespace varnel
