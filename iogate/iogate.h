#ifndef VARNEL_IOGATE_IOGATE_H
#define VARNEL_IOGATE_IOGATE_H
/*
 * Iogate.so, the image file gateway: the open dialog with a picture preview and favourite
 * folders, the save dialog with the save plug-ins' formats and their settings button, and
 * writing pictures through save plug-ins. The program loads it from its own folder with
 * dlopen ("Iogate.dll" resolves to Iogate.so) and looks the functions below up by name.
 *
 * Texts: paths are the file system's bytes (UTF-8); filter texts are in code page 932, as
 * every text at a library boundary (plain ASCII is the same in both).
 *
 * Plain C11 and C++.
 */

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define IOGATE_EXPORT __attribute__((visibility("default")))
#else
#define IOGATE_EXPORT
#endif

/* GetFileName modes. Like the BOOL it stands for, any value but 0 opens. */
enum { kIogateSaveMode = 0, kIogateOpenMode = 1 };

/* Dialog flags that the dialogs honour (the values of the Windows file dialog). Others are
 * accepted and ignored. */
enum {
  kIogateOverwritePrompt = 0x2, /* save: ask before replacing an existing file */
  kIogateHideReadOnly = 0x4,    /* there is no read-only box anyway */
  kIogateFileMustExist = 0x1000 /* open: only existing files can be chosen */
};

/* The library's application object; no caller needs it. Never null. */
IOGATE_EXPORT void* GetInstance(void);

/*
 * Shows the open dialog (mode 1) or the save dialog (mode 0) and copies the chosen full path,
 * with its terminating zero, to result. The result buffer is zeroed first.
 *
 *   defaultExtension  save: "*.VLB" style, appended to names typed without one; may be null
 *   fileName          the proposed name (save) or null
 *   flags             the kIogate... flags above
 *   filter            open: extra patterns for "all image" ("*.vlb;"), may be empty or null;
 *                     save: "description|patterns|...|" to which the save plug-ins' formats
 *                     are added
 *   pictureInfo       save: the picture's 44-byte VarnelWriteInfo, or null (kept, not read)
 *   pictureBits       save: its pixels, or null (kept, not read)
 *   ownerWindow       a QWidget* or null
 *
 * 0 when the user confirmed and the path fits (a path of resultSize - 1 bytes does); -1 on
 * cancel, when it does not fit, or when no dialog can be shown.
 */
IOGATE_EXPORT int32_t GetFileName(int32_t mode, const char* defaultExtension, const char* fileName, uint32_t flags,
                                  const char* filter, char* result, int32_t resultSize, const void* pictureInfo,
                                  const void* pictureBits, void* ownerWindow);

/*
 * Writes a picture (pictureInfo: the 44-byte VarnelWriteInfo of a 32-bit bottom-up picture,
 * pictureBits: its pixels) through the first plug-in of the program folder whose
 * IsSaveSupported accepts the text after the last "." of path. Always answers 0: nothing is
 * written when no plug-in saves that extension, and what the plug-in answers is not looked at.
 */
IOGATE_EXPORT int32_t WriteImage(void* ownerWindow, const char* path, const void* pictureInfo,
                                 const void* pictureBits);

typedef void* (*IogateGetInstance)(void);
typedef int32_t (*IogateGetFileName)(int32_t mode, const char* defaultExtension, const char* fileName,
                                     uint32_t flags, const char* filter, char* result, int32_t resultSize,
                                     const void* pictureInfo, const void* pictureBits, void* ownerWindow);
typedef int32_t (*IogateWriteImage)(void* ownerWindow, const char* path, const void* pictureInfo,
                                    const void* pictureBits);

#ifdef __cplusplus
}
#endif

#endif /* VARNEL_IOGATE_IOGATE_H */
