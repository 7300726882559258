// The exports of Ext/Peerlook.so: registration and the control's factory.

#include "peerlook/peerlook.h"

#include <dlfcn.h>

#include <cstring>
#include <string>

#include "peerlook/peerlook_ctrl.h"
#include "platform/profile.h"

#define PEERLOOK_EXPORT extern "C" __attribute__((visibility("default")))

PEERLOOK_EXPORT int32_t DllRegisterServer(void) {
  try {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&DllRegisterServer), &info) == 0 || info.dli_fname == nullptr) return -1;
    varnel::Profile profile(varnel::Profile::DefaultPath());
    return profile.WriteString(PEERLOOK_COMPONENTS_SECTION, PEERLOOK_PROG_ID, info.dli_fname) ? 0 : -1;
  } catch (...) {
    return -1;
  }
}

PEERLOOK_EXPORT void* CreateControl(const char* progId, const char* windowName, void* parent) {
  try {
    if (progId == nullptr || std::strcmp(progId, PEERLOOK_PROG_ID) != 0) return nullptr;
    auto* control = new varnel::peerlook::PeerlookCtrl(static_cast<QWidget*>(parent));
    control->setObjectName(QString::fromUtf8(windowName != nullptr ? windowName : PEERLOOK_WINDOW_NAME));
    return static_cast<QWidget*>(control);
  } catch (...) {
    return nullptr;
  }
}
