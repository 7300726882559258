// The exports of Ext/Zoomlet.so: registration and the control's factory.

#include "zoomlet/zoomlet.h"

#include <dlfcn.h>

#include <cstring>
#include <string>

#include "platform/profile.h"
#include "zoomlet/zoomlet_ctrl.h"

#define ZOOMLET_EXPORT extern "C" __attribute__((visibility("default")))

ZOOMLET_EXPORT int32_t DllRegisterServer(void) {
  try {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&DllRegisterServer), &info) == 0 || info.dli_fname == nullptr) return -1;
    varnel::Profile profile(varnel::Profile::DefaultPath());
    return profile.WriteString(ZOOMLET_COMPONENTS_SECTION, ZOOMLET_PROG_ID, info.dli_fname) ? 0 : -1;
  } catch (...) {
    return -1;
  }
}

ZOOMLET_EXPORT void* CreateControl(const char* progId, const char* windowName, void* parent) {
  try {
    if (progId == nullptr || std::strcmp(progId, ZOOMLET_PROG_ID) != 0) return nullptr;
    auto* control = new varnel::ZoomletCtrl(static_cast<QWidget*>(parent));
    control->setObjectName(QString::fromUtf8(windowName != nullptr ? windowName : ZOOMLET_WINDOW_NAME));
    return static_cast<QWidget*>(control);
  } catch (...) {
    return nullptr;
  }
}
