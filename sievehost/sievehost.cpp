// Sievehost.so: the exports of the filter manager. The library list is built when the library is
// loaded and freed when it is unloaded; every dialog is owned by the caller's main window from
// CreateUI unless a call names its own owner. No exception leaves an export.

#include <QApplication>
#include <QPointer>
#include <QWidget>

#include "sdk/varnel_image.h"
#include "sievehost/batch_dialog.h"
#include "sievehost/batch_run.h"
#include "sievehost/filter_dialog.h"
#include "sievehost/filter_session.h"

#define SIEVEHOST_EXPORT __attribute__((visibility("default")))

namespace {

QPointer<QWidget> g_mainWindow;

bool HaveDesktop() { return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr; }

// Loads every filter library as the library itself is loaded.
[[maybe_unused]] const bool kLibrariesLoaded = (varnel::SievehostLibraries(), true);

}  // namespace

extern "C" {

SIEVEHOST_EXPORT int32_t CreateUI(void* mainWindow) {
  g_mainWindow = static_cast<QWidget*>(mainWindow);
  return 0;
}

SIEVEHOST_EXPORT int32_t PaintMsg(int32_t code, int32_t count, ImageDescriptor** image) {
  try {
    if (code != varnel::kPaintMsgFilterDialog || count <= 0 || image == nullptr || *image == nullptr ||
        !HaveDesktop())
      return 0;
    // As with the batch: a copy of the head, written back when the dialog has closed.
    ImageDescriptor head = **image;
    {
      varnel::sievehost::FilterDialog dialog(g_mainWindow.data(), head, varnel::SievehostLibraries());
      dialog.exec();
    }
    varnel::MarkWholeImageDirty(head);
    **image = head;
  } catch (...) {
  }
  return 0;
}

SIEVEHOST_EXPORT int32_t ProcessBatch(void* owner, ImageDescriptor* image) {
  try {
    if (image == nullptr || !HaveDesktop()) return 0;
    // The dialog works on a copy of the head, written back when it closes.
    ImageDescriptor head = *image;
    {
      varnel::sievehost::BatchDialog dialog(owner ? static_cast<QWidget*>(owner) : g_mainWindow.data(), head,
                                            varnel::SievehostLibraries());
      dialog.exec();
    }
    *image = head;
  } catch (...) {
  }
  return 0;
}

}  // extern "C"
