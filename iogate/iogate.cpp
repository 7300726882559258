// The three exports of Iogate.so. Nothing thrown inside ever leaves them.

#include "iogate/iogate.h"

#include "iogate/dialog_host.h"
#include "iogate/file_dialogs.h"
#include "iogate/gateway.h"

namespace {

// The library's copy of the platform layer starts with a console host; its messages belong
// on the screen.
void UseDialogHost() {
  static varnel::iogate::DialogHost host;
  static const bool installed = (varnel::SetHost(&host), true);
  (void)installed;
}

}  // namespace

extern "C" {

IOGATE_EXPORT void* GetInstance(void) { return &varnel::iogate::TheGateway(); }

IOGATE_EXPORT int32_t GetFileName(int32_t mode, const char* defaultExtension, const char* fileName, uint32_t flags,
                                  const char* filter, char* result, int32_t resultSize, const void* pictureInfo,
                                  const void* pictureBits, void* ownerWindow) {
  try {
    UseDialogHost();
    return varnel::iogate::GetFileName(mode, defaultExtension, fileName, flags, filter, result, resultSize,
                                       pictureInfo, pictureBits, ownerWindow);
  } catch (...) {
    return -1;
  }
}

IOGATE_EXPORT int32_t WriteImage(void* ownerWindow, const char* path, const void* pictureInfo,
                                 const void* pictureBits) {
  (void)ownerWindow;
  try {
    UseDialogHost();
    varnel::iogate::WriteImageThroughPlugins(varnel::iogate::TheGateway().Plugins(), path, pictureInfo, pictureBits);
  } catch (...) {
  }
  return 0;
}

}  // extern "C"
