/* A stand-in for Ext/Huebox.so with only the extension-library protocol (CreateUI and
 * PaintMsg) and none of the colour or gradient functions. It records what it is called with,
 * so a test sees what the program passed. */

#include <stddef.h>

#include "sdk/huebox.h"
#include "tests/shell/fake_huebox.h"

static FakeHueboxCalls calls;

HUEBOX_EXPORT int32_t CreateUI(void* mainWindow) {
  ++calls.createUiCalls;
  calls.mainWindow = mainWindow;
  return 0;
}

HUEBOX_EXPORT int32_t PaintMsg(int32_t code, int32_t count, void* head) {
  ++calls.paintCalls;
  calls.code = code;
  calls.count = count;
  calls.head = head;
  calls.image = head != NULL ? *(ImageDescriptor**)head : NULL;
  return 0;
}

HUEBOX_EXPORT FakeHueboxCalls* FakeHueboxRecord(void) { return &calls; }
