#ifndef VARNEL_PLUGINS_COMMON_SPI_COMMON_H
#define VARNEL_PLUGINS_COMMON_SPI_COMMON_H
/*
 * Helpers every shipped picture plug-in compiles in. Plain C on libc only, so that a plug-in
 * stays loadable by any host without the program's libraries. Nothing here is exported.
 */

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <sys/types.h>

#include "sdk/varnel_picture_plugin.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The largest picture any plug-in hands out or writes, counted as 32-bit pixels: hosts keep
 * sizes in 32-bit integers. */
#define SPI_MAX_PICTURE_BYTES 0x7FFFFFFFu

/* Copies text for GetPluginInfo and the save-format queries: at most length bytes, the
 * terminating zero included when it fits. Nothing is written for a null buffer or a length
 * below 1. Answers the text's length without the zero, what those queries return. */
int SpiCopyText(const char* text, char* buffer, int length);

/* The first bytes of a file for IsSupported. handleOrBytes is an open file descriptor when all
 * bits above the low 16 are zero: read from its position, which is left as it was (the host puts
 * it at the start, or 128 bytes in to ask again for a picture behind a header), or with
 * fromStart from its start, the file left rewound. Otherwise it points to
 * the file's first bytes (the host guarantees 2048, zero-padded). Fills head with up to want
 * bytes and answers how many are valid, or -1 when nothing could be read (a negative value can
 * be neither a descriptor nor a user-space pointer). */
int SpiReadHead(intptr_t handleOrBytes, unsigned char* head, size_t want, int fromStart);

/* Opens a regular file for reading; answers the descriptor and its size, or -1. */
int SpiOpenRegular(const char* path, uint64_t* size);

/* Reads exactly count bytes at position; 0, or -1 on an error or the end of the file. */
int SpiReadAt(int fd, void* buffer, size_t count, uint64_t position);

/* Whether 32-bit pixels of width x height stay within SPI_MAX_PICTURE_BYTES; both sides must be
 * at least 1. */
int SpiPictureSizeOk(int64_t width, int64_t height);

/* Bytes of one row of a device-independent bitmap: rows are padded to multiples of 4. */
uint64_t SpiDibRowBytes(int64_t width, int bitCount);

/* The 44-byte information block hosts expect: the header, then 4 zero bytes. malloc'ed. */
void* SpiNewInfoBlock(const VarnelBitmapInfoHeader* header);

/* Hands a decoded bottom-up picture to GetPicture's caller: the information block of a
 * width x height bitmap of bitCount bits per pixel, sizeImage bytes and the given densities in
 * *info, and *pixels in *bits, which then belong to the host (*pixels becomes null). Answers
 * kVarnelPluginNoMemory, handing over nothing, when the block cannot be made. */
int SpiHandOverPicture(uint32_t width, uint32_t height, uint16_t bitCount, uint32_t sizeImage, int32_t xPelsPerMetre,
                       int32_t yPelsPerMetre, unsigned char** pixels, void** info, void** bits);

/* Where a picture's encoded bytes come from. File input (low three flag bits 0): buffer is the
 * path and offset the byte the picture starts at; the file is opened and positioned there.
 * Memory input (1): buffer holds the bytes and offset is their count. available is the number
 * of encoded bytes from the picture's start to the end: no picture can need more than its
 * codec's best compression ratio allows from that many. */
typedef struct SpiSource {
  FILE* file;                 /* file input, else null */
  const unsigned char* data;  /* memory input, else null */
  uint64_t available;
} SpiSource;

/* 0, or kVarnelPluginReadError when the file cannot be opened or the arguments make no
 * sense (kVarnelPluginNotImplemented for other input kinds). */
int SpiOpenSource(const char* buffer, intptr_t offset, unsigned int flag, SpiSource* source);
void SpiCloseSource(SpiSource* source);

/* Whether the picture's first bytes are signature, leaving the read position where it was. */
int SpiSourceStartsWith(SpiSource* source, const unsigned char* signature, size_t count);

/* Extensions compare without regard to ASCII case. */
int SpiEqualsNoCase(const char* a, const char* b);

/* The host's services as its SetHostServices call handed them (none until then). */
void SpiSetHostServices(const VarnelHostServices* services);
/* Asks the host for a whole number (see VarnelHostServices): 1 when the user confirmed, 0 when
 * they cancelled, -1 when the host offers no way to ask. */
int SpiAskInteger(void* window, const char* title, const char* label, int minimum, int maximum, int* value);

/* Files are written beside their final name and renamed into place once complete, so a failed
 * write never leaves a half picture or destroys the file that was there. SpiCreateTemp answers
 * an open descriptor (mode 0666 less the umask, or the mode of the file being replaced) and
 * fills temp with its name; SpiCommitTemp makes the data durable and renames it over path,
 * answering 0; SpiDiscardTemp removes it. temp must hold path's length + 32 bytes.
 * SpiCloseWritten flushes a stream opened on the temporary file to the disk and closes it,
 * answering 0 when every byte got there. */
int SpiCreateTemp(const char* path, char* temp, size_t tempSize);
int SpiCloseWritten(FILE* file);
int SpiCommitTemp(const char* temp, const char* path);
void SpiDiscardTemp(const char* temp);

#ifdef __cplusplus
}
#endif

#endif /* VARNEL_PLUGINS_COMMON_SPI_COMMON_H */
