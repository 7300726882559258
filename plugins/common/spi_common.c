#define _GNU_SOURCE
#include "plugins/common/spi_common.h"

#include <errno.h>
#include <stddef.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

int SpiCopyText(const char* text, char* buffer, int length) {
  const size_t full = strlen(text);
  size_t size = full + 1;
  if (buffer != NULL && length >= 1) {
    if (size > (size_t)length) size = (size_t)length;
    memcpy(buffer, text, size);
  }
  return (int)full;
}

int SpiReadHead(intptr_t handleOrBytes, unsigned char* head, size_t want, int fromStart) {
  memset(head, 0, want);
  if (handleOrBytes < 0) return -1;
  if (((uintptr_t)handleOrBytes >> 16) != 0) {
    memcpy(head, (const void*)handleOrBytes, want);
    return (int)want;
  }
  {
    /* A descriptor that cannot seek (a pipe) would lose the bytes read, so it is refused. */
    const int fd = (int)handleOrBytes;
    const off_t at = fromStart ? 0 : lseek(fd, 0, SEEK_CUR);
    size_t got = 0;
    if (at < 0 || (fromStart && lseek(fd, 0, SEEK_SET) != 0)) return -1;
    while (got < want) {
      const ssize_t n = pread(fd, head + got, want - got, at + (off_t)got);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      got += (size_t)n;
    }
    return (int)got;
  }
}

int SpiOpenRegular(const char* path, uint64_t* size) {
  struct stat info;
  int fd;
  if (path == NULL) return -1;
  fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -1;
  /* Only regular files have a size to check claims against; a FIFO could block for ever. */
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0) {
    close(fd);
    return -1;
  }
  *size = (uint64_t)info.st_size;
  return fd;
}

int SpiReadAt(int fd, void* buffer, size_t count, uint64_t position) {
  unsigned char* out = (unsigned char*)buffer;
  while (count > 0) {
    const ssize_t n = pread(fd, out, count, (off_t)position);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return -1;
    out += n;
    count -= (size_t)n;
    position += (uint64_t)n;
  }
  return 0;
}

int SpiPictureSizeOk(int64_t width, int64_t height) {
  if (width < 1 || height < 1) return 0;
  if (width > (int64_t)SPI_MAX_PICTURE_BYTES || height > (int64_t)SPI_MAX_PICTURE_BYTES) return 0;
  return (uint64_t)width * (uint64_t)height * 4u <= SPI_MAX_PICTURE_BYTES;
}

uint64_t SpiDibRowBytes(int64_t width, int bitCount) {
  return (((uint64_t)width * (uint64_t)bitCount + 31u) / 32u) * 4u;
}

void* SpiNewInfoBlock(const VarnelBitmapInfoHeader* header) {
  unsigned char* block = (unsigned char*)malloc(sizeof(VarnelWriteInfo));
  if (block == NULL) return NULL;
  memcpy(block, header, sizeof *header);
  memset(block + sizeof *header, 0, sizeof(VarnelWriteInfo) - sizeof *header);
  return block;
}

int SpiHandOverPicture(uint32_t width, uint32_t height, uint16_t bitCount, uint32_t sizeImage, int32_t xPelsPerMetre,
                       int32_t yPelsPerMetre, unsigned char** pixels, void** info, void** bits) {
  VarnelBitmapInfoHeader header;
  void* block;
  memset(&header, 0, sizeof header);
  header.biSize = sizeof header;
  header.biWidth = (int32_t)width;
  header.biHeight = (int32_t)height;
  header.biPlanes = 1;
  header.biBitCount = bitCount;
  header.biSizeImage = sizeImage;
  header.biXPelsPerMeter = xPelsPerMetre;
  header.biYPelsPerMeter = yPelsPerMetre;
  block = SpiNewInfoBlock(&header);
  if (block == NULL) return kVarnelPluginNoMemory;
  *info = block;
  *bits = *pixels;
  *pixels = NULL;
  return kVarnelPluginSuccess;
}

int SpiOpenSource(const char* buffer, intptr_t offset, unsigned int flag, SpiSource* source) {
  memset(source, 0, sizeof *source);
  if (buffer == NULL || offset < 0) return kVarnelPluginReadError;
  if ((flag & kVarnelInputMask) == kVarnelInputMemory) {
    if (offset == 0) return kVarnelPluginReadError;
    source->data = (const unsigned char*)buffer;
    source->available = (uint64_t)offset;
    return kVarnelPluginSuccess;
  }
  if ((flag & kVarnelInputMask) != kVarnelInputFile) return kVarnelPluginNotImplemented;
  {
    uint64_t size = 0;
    const int fd = SpiOpenRegular(buffer, &size);
    if (fd < 0) return kVarnelPluginReadError;
    if ((uint64_t)offset > size || lseek(fd, (off_t)offset, SEEK_SET) != (off_t)offset) {
      close(fd);
      return kVarnelPluginReadError;
    }
    source->file = fdopen(fd, "rb");
    if (source->file == NULL) {
      close(fd);
      return kVarnelPluginReadError;
    }
    source->available = size - (uint64_t)offset;
  }
  return kVarnelPluginSuccess;
}

void SpiCloseSource(SpiSource* source) {
  if (source->file != NULL) fclose(source->file);
  source->file = NULL;
}

int SpiSourceStartsWith(SpiSource* source, const unsigned char* signature, size_t count) {
  unsigned char head[16];
  if (count > sizeof head || source->available < count) return 0;
  if (source->data != NULL) return memcmp(source->data, signature, count) == 0;
  {
    const off_t start = ftello(source->file);
    const int read = start >= 0 && fread(head, 1, count, source->file) == count;
    if (start < 0 || fseeko(source->file, start, SEEK_SET) != 0) return 0;
    return read && memcmp(head, signature, count) == 0;
  }
}

static const VarnelHostServices* g_hostServices = NULL;

void SpiSetHostServices(const VarnelHostServices* services) { g_hostServices = services; }

int SpiAskInteger(void* window, const char* title, const char* label, int minimum, int maximum, int* value) {
  const size_t needed = offsetof(VarnelHostServices, AskInteger) + sizeof g_hostServices->AskInteger;
  if (g_hostServices == NULL || g_hostServices->size < needed || g_hostServices->AskInteger == NULL) return -1;
  return g_hostServices->AskInteger(window, title, label, minimum, maximum, value) == 1 ? 1 : 0;
}

int SpiEqualsNoCase(const char* a, const char* b) {
  if (a == NULL || b == NULL) return 0;
  for (;; ++a, ++b) {
    unsigned char x = (unsigned char)*a;
    unsigned char y = (unsigned char)*b;
    if (x >= 'A' && x <= 'Z') x = (unsigned char)(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = (unsigned char)(y - 'A' + 'a');
    if (x != y) return 0;
    if (x == 0) return 1;
  }
}

int SpiCreateTemp(const char* path, char* temp, size_t tempSize) {
  static unsigned counter;
  struct stat existing;
  const char* slash;
  int folderLength;
  int attempt;
  if (path == NULL || *path == 0) return -1;
  /* A folder is not replaced, even one a link points to. */
  if (stat(path, &existing) == 0 && S_ISDIR(existing.st_mode)) {
    errno = EISDIR;
    return -1;
  }
  slash = strrchr(path, '/');
  folderLength = slash == NULL ? 0 : (int)(slash - path + 1);
  for (attempt = 0; attempt < 100; ++attempt) {
    int fd;
    /* A short name of its own beside the picture, as the host names its own temporary files:
     * an interrupted varnel-cli finds them by the process number. */
    const int written = snprintf(temp, tempSize, "%.*s.vn%ld-%u.tmp", folderLength, path, (long)getpid(), counter++);
    if (written < 0 || (size_t)written >= tempSize) return -1;
    /* 0666 lets the umask decide, as for any new file the user saves. */
    fd = open(temp, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return -1;
    }
    if (stat(path, &existing) == 0 && S_ISREG(existing.st_mode)) fchmod(fd, existing.st_mode & 07777);
    return fd;
  }
  return -1;
}

int SpiCloseWritten(FILE* file) {
  int ok = fflush(file) == 0 && !ferror(file);
  ok = ok && fsync(fileno(file)) == 0;
  ok = fclose(file) == 0 && ok;
  return ok ? 0 : -1;
}

int SpiCommitTemp(const char* temp, const char* path) {
  char folder[4096];
  const char* slash;
  int fd;
  if (rename(temp, path) != 0) {
    unlink(temp);
    return -1;
  }
  /* The rename lives in the folder; without this a crash could bring the old file back. */
  slash = strrchr(path, '/');
  if (slash == NULL) {
    strcpy(folder, ".");
  } else if (slash == path) {
    strcpy(folder, "/");
  } else if ((size_t)(slash - path) < sizeof folder) {
    memcpy(folder, path, (size_t)(slash - path));
    folder[slash - path] = 0;
  } else {
    return 0;
  }
  fd = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    fsync(fd);
    close(fd);
  }
  return 0;
}

void SpiDiscardTemp(const char* temp) { unlink(temp); }
