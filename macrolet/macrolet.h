#pragma once
// Ext/Macrolet.so, the script control. The program registers it, then creates the control by its
// identifier; ExecScript runs a script over an image without any control window.
//
// The control is a QWidget with the invocable members ProcessScript, ParseScriptText and
// AboutBox, reached by name through QMetaObject::invokeMethod. Image arguments are the host's
// own addresses (quintptr): a 40-byte 32-bit bottom-up header and its pixel memory.

#include <stdint.h>

#include "sdk/varnel_image.h"

#ifdef __cplusplus
extern "C" {
#endif

#define MACROLET_PROG_ID "MACROLET.MacroletCtrl.1"
#define MACROLET_COMPONENTS_SECTION "Components"

// A script engine's class identifier as it lies in memory.
typedef struct MacroletClsid {
  uint32_t data1;
  uint16_t data2;
  uint16_t data3;
  uint8_t data4[8];
} MacroletClsid;

// {F414C260-6AC0-11CF-B6D1-00AA00BBBB58} and {B54F3741-5B07-11CF-A4B0-00AA004A55E8}.
#define MACROLET_CLSID_JSCRIPT {0xF414C260u, 0x6AC0u, 0x11CFu, {0xB6, 0xD1, 0x00, 0xAA, 0x00, 0xBB, 0xBB, 0x58}}
#define MACROLET_CLSID_VBSCRIPT {0xB54F3741u, 0x5B07u, 0x11CFu, {0xA4, 0xB0, 0x00, 0xAA, 0x00, 0x4A, 0x55, 0xE8}}

// Records MACROLET_PROG_ID with the library's own path in the profile section Components.
typedef int32_t (*MacroletDllRegisterServer)(void);
// Creates the control named progId as a hidden child of parent (a QWidget*, may be null).
typedef void* (*MacroletCreateControl)(const char* progId, const char* windowName, void* parent);
// Runs length bytes of script text (UTF-8) with the engine of clsid over the image. Always 0; an
// engine that is not available runs nothing.
typedef int32_t (*MacroletExecScript)(const char* scriptText, int32_t length, MacroletClsid engine,
                                      const VarnelBitmapInfoHeader* bmInfo, void* bmData);

#ifdef __cplusplus
}
#endif
