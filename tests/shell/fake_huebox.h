#ifndef VARNEL_TESTS_SHELL_FAKE_HUEBOX_H
#define VARNEL_TESTS_SHELL_FAKE_HUEBOX_H
/* What the stand-in Huebox library records of the calls it gets. */

#include <stdint.h>

#include "sdk/varnel_image.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct FakeHueboxCalls {
  int32_t createUiCalls;
  void* mainWindow;
  int32_t paintCalls;
  int32_t code;
  int32_t count;
  void* head;             /* the address PaintMsg got */
  ImageDescriptor* image; /* what it pointed to at the time */
} FakeHueboxCalls;

typedef FakeHueboxCalls* (*FakeHueboxRecordFunction)(void);

#ifdef __cplusplus
}
#endif

#endif
