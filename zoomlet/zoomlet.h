#pragma once
// Ext/Zoomlet.so, the loupe component: a magnifier that shows an enlarged live copy of a screen
// rectangle and passes mouse and key input on the enlarged picture to the window under the
// corresponding screen point. The program registers it, then creates it by its identifier.
//
// The control is a QWidget with the Qt properties TimerOn ("TIMERON" in its saved state),
// TimerElapse and LoupePows and the invocable method AboutBox, reached by name through
// QObject::property/setProperty and QMetaObject::invokeMethod.

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define ZOOMLET_PROG_ID "ZOOMLET.ZoomletCtrl.1"
#define ZOOMLET_WINDOW_NAME "loupe"
// The profile section where components record their identifier and file.
#define ZOOMLET_COMPONENTS_SECTION "Components"

// Records ZOOMLET_PROG_ID with the library's own path in the profile section Components.
// 0 on success, -1 when the profile cannot be written.
typedef int32_t (*ZoomletDllRegisterServer)(void);
// Creates the control named progId as a child of parent (a QWidget*, may be null), with
// windowName as its object name. The new QWidget*, owned by parent (or by the caller when
// parent is null); null for an identifier this library does not make.
typedef void* (*ZoomletCreateControl)(const char* progId, const char* windowName, void* parent);

#ifdef __cplusplus
}
#endif
