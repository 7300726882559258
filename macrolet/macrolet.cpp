// The exports of Ext/Macrolet.so: registration, the control's factory and ExecScript. No C++
// exception leaves them.

#include "macrolet/macrolet.h"

#include <dlfcn.h>

#include <cstring>

#include "macrolet/macrolet_ctrl.h"
#include "platform/profile.h"

#define MACROLET_EXPORT extern "C" __attribute__((visibility("default")))

MACROLET_EXPORT int32_t DllRegisterServer(void) {
  try {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&DllRegisterServer), &info) == 0 || info.dli_fname == nullptr) return -1;
    varnel::Profile profile(varnel::Profile::DefaultPath());
    return profile.WriteString(MACROLET_COMPONENTS_SECTION, MACROLET_PROG_ID, info.dli_fname) ? 0 : -1;
  } catch (...) {
    return -1;
  }
}

MACROLET_EXPORT void* CreateControl(const char* progId, const char* windowName, void* parent) {
  try {
    if (progId == nullptr || std::strcmp(progId, MACROLET_PROG_ID) != 0) return nullptr;
    auto* control = new varnel::MacroletCtrl(static_cast<QWidget*>(parent));
    control->setObjectName(QString::fromUtf8(windowName != nullptr ? windowName : "macrolet"));
    return static_cast<QWidget*>(control);
  } catch (...) {
    return nullptr;
  }
}

MACROLET_EXPORT int32_t ExecScript(const char* scriptText, int32_t length, MacroletClsid engine,
                                   const VarnelBitmapInfoHeader* bmInfo, void* bmData) {
  try {
    if (!scriptText || length <= 0) return 0;
    varnel::ExecScriptOver(std::string_view(scriptText, static_cast<size_t>(length)), engine, bmInfo, bmData, nullptr);
  } catch (...) {
  }
  return 0;
}
