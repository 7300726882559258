/*
 * Oraport: reads and writes OpenRaster pictures (".ora": a zip archive of stack.xml, one PNG a
 * layer, the merged picture and a thumbnail). Hosts that know the layered exports of the sdk
 * get and give every layer; any other host gets the merged picture from GetPicture and may save
 * one picture through WriteImage, which becomes a one-layer archive.
 *
 * Reading never trusts the archive: every entry's size is checked against a cap before it is
 * read and reading stops at the size the archive states, the canvas and the layers are checked
 * against a budget of pixel bytes before any picture is decoded, and a layer's src must name a
 * file inside the archive.
 */

#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>
#include <zip.h>

#include "plugins/common/spi_common.h"
#include "plugins/ora/ora_png.h"
#include "plugins/ora/ora_stack.h"
#include "sdk/varnel_picture_plugin.h"

#define MIMETYPE "image/openraster"
/* stack.xml above this is no layer list. */
#define MAX_STACK_BYTES (16u << 20)
/* One PNG entry; a 32-bit picture at the sdk's limit compresses well below it. */
#define MAX_ENTRY_BYTES (1024u << 20)
/* All entries one read inflates, together. */
#define MAX_ARCHIVE_BYTES (4ull << 30)
/* What reading may make the host hold: every layer at canvas size, plus the picture being
 * decoded. */
#define MAX_PIXEL_BYTES (8ull << 30)
#define THUMBNAIL_SIDE 256

/* ---- Reading ---- */

typedef struct Archive {
  zip_t* zip;
  uint64_t inflated; /* bytes read from entries so far */
} Archive;

/* File input: buffer is the path (offset must be 0, the archive's directory is at its end);
 * memory input: buffer holds offset bytes. */
static int OpenArchive(const char* buffer, intptr_t offset, unsigned int flag, Archive* archive) {
  int error = 0;
  memset(archive, 0, sizeof *archive);
  if (buffer == NULL || offset < 0) return kVarnelPluginReadError;
  if ((flag & kVarnelInputMask) == kVarnelInputMemory) {
    zip_error_t zipError;
    zip_source_t* source;
    if (offset == 0) return kVarnelPluginReadError;
    zip_error_init(&zipError);
    source = zip_source_buffer_create(buffer, (zip_uint64_t)offset, 0, &zipError);
    zip_error_fini(&zipError);
    if (source == NULL) return kVarnelPluginNoMemory;
    zip_error_init(&zipError);
    archive->zip = zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &zipError);
    zip_error_fini(&zipError);
    if (archive->zip == NULL) {
      zip_source_free(source);
      return kVarnelPluginUnknownFormat;
    }
    return kVarnelPluginSuccess;
  }
  if ((flag & kVarnelInputMask) != kVarnelInputFile) return kVarnelPluginNotImplemented;
  if (offset != 0) return kVarnelPluginUnknownFormat;
  {
    uint64_t size = 0;
    const int fd = SpiOpenRegular(buffer, &size);
    if (fd < 0) return kVarnelPluginReadError;
    archive->zip = zip_fdopen(fd, ZIP_RDONLY | ZIP_CHECKCONS, &error);
    if (archive->zip == NULL) {
      close(fd);
      return kVarnelPluginUnknownFormat;
    }
  }
  return kVarnelPluginSuccess;
}

static void CloseArchive(Archive* archive) {
  if (archive->zip != NULL) zip_discard(archive->zip);
  archive->zip = NULL;
}

/* Reads one entry whole into a malloc'ed buffer. The size the directory states is checked
 * against cap and the archive's budget first, and reading stops one byte past it, so an entry
 * that inflates to more than it claims is caught without holding more. */
static int ReadEntry(Archive* archive, const char* name, uint64_t cap, unsigned char** data, size_t* size) {
  zip_stat_t stat;
  zip_file_t* file;
  unsigned char* buffer;
  uint64_t got = 0;
  *data = NULL;
  *size = 0;
  zip_stat_init(&stat);
  if (zip_stat(archive->zip, name, 0, &stat) != 0 || (stat.valid & ZIP_STAT_SIZE) == 0) return kVarnelPluginBrokenData;
  if (stat.size > cap || stat.size > MAX_ARCHIVE_BYTES - archive->inflated) return kVarnelPluginBrokenData;
  buffer = (unsigned char*)malloc((size_t)stat.size + 1);
  if (buffer == NULL) return kVarnelPluginNoMemory;
  file = zip_fopen(archive->zip, name, 0);
  if (file == NULL) {
    free(buffer);
    return kVarnelPluginBrokenData;
  }
  for (;;) {
    const zip_int64_t n = zip_fread(file, buffer + got, stat.size + 1 - got);
    if (n < 0) {
      got = stat.size + 1; /* a checksum or inflate error */
      break;
    }
    if (n == 0) break;
    got += (uint64_t)n;
    if (got > stat.size) break;
  }
  zip_fclose(file);
  archive->inflated += got;
  if (got != stat.size) {
    free(buffer);
    return kVarnelPluginBrokenData;
  }
  *data = buffer;
  *size = (size_t)stat.size;
  return kVarnelPluginSuccess;
}

static int ReadStack(Archive* archive, OraStack* stack) {
  unsigned char* xml;
  size_t size;
  int result = ReadEntry(archive, "stack.xml", MAX_STACK_BYTES, &xml, &size);
  memset(stack, 0, sizeof *stack);
  if (result != kVarnelPluginSuccess) return result;
  result = OraParseStack(xml, size, stack);
  free(xml);
  return result;
}

/* Runs work(context, 0 … count - 1) on as many threads as there are processors (a thread that
 * cannot be started leaves its share to the others); returns when every index is done. */
typedef struct WorkQueue {
  void (*work)(void* context, size_t index);
  void* context;
  size_t count;
  size_t next;
  pthread_mutex_t lock;
} WorkQueue;

static void* RunQueue(void* argument) {
  WorkQueue* queue = (WorkQueue*)argument;
  for (;;) {
    size_t i;
    pthread_mutex_lock(&queue->lock);
    i = queue->next++;
    pthread_mutex_unlock(&queue->lock);
    if (i >= queue->count) return NULL;
    queue->work(queue->context, i);
  }
}

static size_t Processors(void) {
  const long processors = sysconf(_SC_NPROCESSORS_ONLN);
  return processors < 1 ? 1 : processors > 8 ? 8 : (size_t)processors;
}

static void RunInParallel(size_t count, void (*work)(void* context, size_t index), void* context) {
  enum { kMaxThreads = 8 };
  pthread_t threads[kMaxThreads];
  WorkQueue queue;
  const size_t wanted = Processors() < count ? Processors() : count;
  size_t started = 0;
  size_t i;
  queue.work = work;
  queue.context = context;
  queue.count = count;
  queue.next = 0;
  pthread_mutex_init(&queue.lock, NULL);
  for (i = 1; i < wanted; ++i)
    if (pthread_create(&threads[started], NULL, RunQueue, &queue) == 0) ++started;
  RunQueue(&queue);
  for (i = 0; i < started; ++i) pthread_join(threads[i], NULL);
  pthread_mutex_destroy(&queue.lock);
}

/* Decodes the PNG entry name into a bottom-up picture of at most maxBytes. */
static int ReadPicture(Archive* archive, const char* name, uint64_t maxBytes, uint32_t* width, uint32_t* height,
                       unsigned char** pixels) {
  unsigned char* data;
  size_t size;
  int result = ReadEntry(archive, name, MAX_ENTRY_BYTES, &data, &size);
  *pixels = NULL;
  if (result != kVarnelPluginSuccess) return result;
  if (maxBytes > SPI_MAX_PICTURE_BYTES) maxBytes = SPI_MAX_PICTURE_BYTES;
  result = OraPngDecode(data, size, maxBytes, width, height, pixels);
  free(data);
  return result;
}

/* Appends text to a malloc'ed message; the message stays as it was when memory runs out. */
static void Append(char** message, const char* text) {
  const size_t had = *message != NULL ? strlen(*message) : 0;
  char* grown = (char*)realloc(*message, had + strlen(text) + 1);
  if (grown == NULL) return;
  strcpy(grown + had, text);
  *message = grown;
}

/* One line naming the layers whose composite-op the program has no mode for. */
static char* UnknownModeWarning(const OraStack* stack) {
  char* message = NULL;
  size_t i;
  for (i = 0; i < stack->count; ++i) {
    const OraStackLayer* layer = &stack->layers[i];
    if (layer->unknownOp == NULL) continue;
    Append(&message, message == NULL ? "対応していない合成モードを通常の合成として読み込みました: " : "、");
    Append(&message, "「");
    Append(&message, layer->name);
    Append(&message, "」(");
    Append(&message, layer->unknownOp);
    Append(&message, ")");
  }
  return message;
}

/* One layer's PNG, read from the archive, to be decoded on any thread. */
typedef struct DecodeJob {
  unsigned char* data;
  size_t size;
  uint64_t maxBytes;
  uint32_t width;
  uint32_t height;
  unsigned char* pixels;
  int result;
} DecodeJob;

static void DecodeOne(void* context, size_t index) {
  DecodeJob* job = (DecodeJob*)context + index;
  job->result = OraPngDecode(job->data, job->size, job->maxBytes, &job->width, &job->height, &job->pixels);
}

/* Decodes the wave's pictures side by side when together they fit the budget, else one by one
 * as each alone must. */
static void DecodeWave(DecodeJob* jobs, size_t count, uint64_t budget) {
  uint64_t need = 0;
  size_t k;
  if (budget > SPI_MAX_PICTURE_BYTES) budget = SPI_MAX_PICTURE_BYTES;
  for (k = 0; k < count; ++k) {
    uint32_t width = 0;
    uint32_t height = 0;
    jobs[k].maxBytes = budget;
    /* Headers claim what they like: a picture over the budget alone sends the wave one by one. */
    if (OraPngSize(jobs[k].data, jobs[k].size, &width, &height) == 0) {
      const uint64_t pixels = (uint64_t)width * height;
      need = pixels > budget / 4u ? budget + 1u : need + pixels * 4u;
    }
  }
  if (need <= budget) {
    RunInParallel(count, DecodeOne, jobs);
    return;
  }
  for (k = 0; k < count; ++k) DecodeOne(jobs, k);
}

static int SinkIsUsable(const VarnelLayerSink* sink) {
  return sink != NULL && sink->size >= offsetof(VarnelLayerSink, Warning) && sink->Canvas != NULL && sink->Layer != NULL;
}

static void SinkWarning(const VarnelLayerSink* sink, const char* text) {
  if (text != NULL && sink->size >= sizeof(VarnelLayerSink) && sink->Warning != NULL) sink->Warning(sink->data, text);
}

VARNEL_PLUGIN_EXPORT int GetLayers(const char* path, const VarnelLayerSink* sink) {
  Archive archive;
  OraStack stack;
  uint64_t canvasBytes;
  uint64_t budget;
  DecodeJob* jobs = NULL;
  size_t wave;
  size_t first;
  int result;
  if (!SinkIsUsable(sink)) return kVarnelPluginReadError;
  result = OpenArchive(path, 0, kVarnelInputFile, &archive);
  if (result != kVarnelPluginSuccess) return result;
  result = ReadStack(&archive, &stack);
  if (result != kVarnelPluginSuccess) {
    CloseArchive(&archive);
    return result;
  }
  /* The host places every layer on a canvas-sized one: that much must fit before anything is
   * decoded. */
  canvasBytes = (uint64_t)stack.width * (uint64_t)stack.height * 4u;
  if (!SpiPictureSizeOk(stack.width, stack.height) || stack.count == 0 ||
      canvasBytes * stack.count > MAX_PIXEL_BYTES) {
    result = stack.count == 0 ? kVarnelPluginBrokenData : kVarnelPluginNoMemory;
  } else if (sink->Canvas(sink->data, stack.width, stack.height) != 0) {
    result = kVarnelPluginCancelled;
  }
  budget = result == kVarnelPluginSuccess ? MAX_PIXEL_BYTES - canvasBytes * stack.count : 0;
  /* Layers are decoded a wave at a time, a picture for each processor, and handed to the host
   * in order on this thread. */
  wave = Processors();
  jobs = result == kVarnelPluginSuccess ? (DecodeJob*)calloc(wave, sizeof *jobs) : NULL;
  if (result == kVarnelPluginSuccess && jobs == NULL) result = kVarnelPluginNoMemory;
  for (first = 0; first < stack.count && result == kVarnelPluginSuccess; first += wave) {
    const size_t count = stack.count - first < wave ? stack.count - first : wave;
    size_t k;
    memset(jobs, 0, wave * sizeof *jobs);
    for (k = 0; k < count && result == kVarnelPluginSuccess; ++k)
      result = ReadEntry(&archive, stack.layers[first + k].src, MAX_ENTRY_BYTES, &jobs[k].data, &jobs[k].size);
    if (result == kVarnelPluginSuccess) DecodeWave(jobs, count, budget);
    for (k = 0; k < count; ++k) {
      const OraStackLayer* entry = &stack.layers[first + k];
      VarnelLayer layer;
      if (result == kVarnelPluginSuccess) result = jobs[k].result;
      if (result == kVarnelPluginSuccess) {
        memset(&layer, 0, sizeof layer);
        layer.name = entry->name;
        layer.pixels = jobs[k].pixels;
        layer.x = entry->x;
        layer.y = entry->y;
        layer.width = (int32_t)jobs[k].width;
        layer.height = (int32_t)jobs[k].height;
        layer.blendMode = entry->blendMode;
        layer.opacity = entry->opacity;
        layer.visible = entry->visible;
        if (sink->Layer(sink->data, &layer) != 0) result = kVarnelPluginCancelled;
      }
      free(jobs[k].pixels);
      free(jobs[k].data);
    }
  }
  free(jobs);
  if (result == kVarnelPluginSuccess) {
    char* warning = UnknownModeWarning(&stack);
    SinkWarning(sink, warning);
    free(warning);
  }
  OraFreeStack(&stack);
  CloseArchive(&archive);
  return result;
}

/* The archive's first entry is "mimetype", stored, its text right after the 30-byte local
 * header and the name: a reader knows the format from the first bytes alone. */
static int HasSignature(const unsigned char* head, size_t size) {
  size_t extra;
  size_t start;
  if (size < 38 || memcmp(head, "PK\x03\x04", 4) != 0) return 0;
  if (head[26] != 8 || head[27] != 0 || memcmp(head + 30, "mimetype", 8) != 0) return 0;
  extra = (size_t)head[28] | (size_t)head[29] << 8;
  start = 38 + extra;
  return start + strlen(MIMETYPE) <= size && memcmp(head + start, MIMETYPE, strlen(MIMETYPE)) == 0;
}

VARNEL_PLUGIN_EXPORT int GetPluginInfo(int number, char* buffer, int length) {
  static const char* const kTexts[] = {"00IN", "Oraport Ver0.1", "*.ora", "OpenRaster Image"};
  if (number < 0 || number >= (int)(sizeof kTexts / sizeof kTexts[0])) return 0;
  return SpiCopyText(kTexts[number], buffer, length);
}

VARNEL_PLUGIN_EXPORT int IsSupported(const char* path, intptr_t handleOrBytes) {
  unsigned char head[2048];
  const int got = SpiReadHead(handleOrBytes, head, sizeof head, 0);
  (void)path;
  return got > 0 && HasSignature(head, (size_t)got);
}

VARNEL_PLUGIN_EXPORT int GetPictureInfo(const char* buffer, intptr_t offset, unsigned int flag, VarnelPictureInfo* info) {
  Archive archive;
  OraStack stack;
  int result;
  if (info == NULL) return kVarnelPluginReadError;
  result = OpenArchive(buffer, offset, flag, &archive);
  if (result != kVarnelPluginSuccess) return result;
  result = ReadStack(&archive, &stack);
  if (result == kVarnelPluginSuccess) {
    memset(info, 0, sizeof *info);
    info->width = stack.width;
    info->height = stack.height;
    info->colourDepth = 32;
    OraFreeStack(&stack);
  }
  CloseArchive(&archive);
  return result;
}

/* A PNG entry as the picture GetPicture and GetPreview hand out. */
static int GetEntryPicture(const char* buffer, intptr_t offset, unsigned int flag, const char* name, void** info,
                           void** bits) {
  Archive archive;
  uint32_t width = 0;
  uint32_t height = 0;
  unsigned char* pixels = NULL;
  int result;
  if (info == NULL || bits == NULL) return kVarnelPluginReadError;
  result = OpenArchive(buffer, offset, flag, &archive);
  if (result != kVarnelPluginSuccess) return result;
  result = ReadPicture(&archive, name, SPI_MAX_PICTURE_BYTES, &width, &height, &pixels);
  CloseArchive(&archive);
  if (result == kVarnelPluginSuccess) {
    result = SpiHandOverPicture(width, height, 32, width * height * 4u, 0, 0, &pixels, info, bits);
  }
  free(pixels);
  return result;
}

VARNEL_PLUGIN_EXPORT int GetPicture(const char* buffer, intptr_t offset, unsigned int flag, void** info, void** bits,
                                    VarnelProgressCallback progress, intptr_t data) {
  (void)progress;
  (void)data;
  return GetEntryPicture(buffer, offset, flag, "mergedimage.png", info, bits);
}

VARNEL_PLUGIN_EXPORT int GetPreview(const char* buffer, intptr_t offset, unsigned int flag, void** info, void** bits,
                                    VarnelProgressCallback progress, intptr_t data) {
  (void)progress;
  (void)data;
  return GetEntryPicture(buffer, offset, flag, "Thumbnails/thumbnail.png", info, bits);
}

/* ---- Writing ---- */

VARNEL_PLUGIN_EXPORT int IsSaveSupported(const char* extension) { return SpiEqualsNoCase(extension, "ora") ? 0 : -1; }

VARNEL_PLUGIN_EXPORT int SavesAlpha(const char* extension) { return SpiEqualsNoCase(extension, "ora"); }

VARNEL_PLUGIN_EXPORT int SavesLayers(const char* extension) { return SpiEqualsNoCase(extension, "ora"); }

VARNEL_PLUGIN_EXPORT int GetSupportFormatFilter(char* buffer, int size) {
  return SpiCopyText("*.ora", buffer, size);
}

VARNEL_PLUGIN_EXPORT int GetSupportFormatDescriptor(char* buffer, int size) {
  return SpiCopyText("OpenRaster(*.ora)", buffer, size);
}

/* The picture scaled to fit THUMBNAIL_SIDE (never enlarged), each pixel the average of the
 * pixels it covers. malloc'ed, bottom-up as the source. */
static unsigned char* Thumbnail(const unsigned char* pixels, uint32_t width, uint32_t height, uint32_t* tw, uint32_t* th) {
  const uint32_t longer = width > height ? width : height;
  unsigned char* out;
  uint32_t x;
  uint32_t y;
  *tw = longer <= THUMBNAIL_SIDE ? width : (uint32_t)((uint64_t)width * THUMBNAIL_SIDE / longer);
  *th = longer <= THUMBNAIL_SIDE ? height : (uint32_t)((uint64_t)height * THUMBNAIL_SIDE / longer);
  if (*tw < 1) *tw = 1;
  if (*th < 1) *th = 1;
  out = (unsigned char*)malloc((size_t)*tw * *th * 4u);
  if (out == NULL) return NULL;
  for (y = 0; y < *th; ++y) {
    const uint32_t y0 = (uint32_t)((uint64_t)y * height / *th);
    uint32_t y1 = (uint32_t)((uint64_t)(y + 1) * height / *th);
    if (y1 <= y0) y1 = y0 + 1;
    for (x = 0; x < *tw; ++x) {
      const uint32_t x0 = (uint32_t)((uint64_t)x * width / *tw);
      uint32_t x1 = (uint32_t)((uint64_t)(x + 1) * width / *tw);
      uint64_t sum[4] = {0, 0, 0, 0};
      uint64_t n;
      uint32_t sx;
      uint32_t sy;
      int c;
      if (x1 <= x0) x1 = x0 + 1;
      for (sy = y0; sy < y1; ++sy) {
        const unsigned char* row = pixels + (size_t)sy * width * 4u;
        for (sx = x0; sx < x1; ++sx)
          for (c = 0; c < 4; ++c) sum[c] += row[sx * 4u + (uint32_t)c];
      }
      n = (uint64_t)(x1 - x0) * (y1 - y0);
      for (c = 0; c < 4; ++c) out[((size_t)y * *tw + x) * 4u + (size_t)c] = (unsigned char)((sum[c] + n / 2) / n);
    }
  }
  return out;
}

/* Adds a malloc'ed buffer as an entry; libzip frees it, also when adding fails. */
static int AddEntry(zip_t* zip, const char* name, OraBuffer* buffer, int store) {
  zip_source_t* source = zip_source_buffer(zip, buffer->data, buffer->size, 1);
  zip_int64_t index;
  if (source == NULL) {
    OraBufferFree(buffer);
    return -1;
  }
  memset(buffer, 0, sizeof *buffer);
  index = zip_file_add(zip, name, source, ZIP_FL_ENC_UTF_8);
  if (index < 0) {
    zip_source_free(source);
    return -1;
  }
  /* The mimetype must be stored for the signature to be seen. */
  if (zip_set_file_compression(zip, (zip_uint64_t)index, store ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 0) != 0) return -1;
  /* No extra fields: the mimetype's text must follow its name at once. */
  zip_file_extra_field_delete(zip, (zip_uint64_t)index, ZIP_EXTRA_FIELD_ALL, ZIP_FL_LOCAL | ZIP_FL_CENTRAL);
  return 0;
}

/* One picture to encode; encoding runs on several threads, one picture at a time each. */
typedef struct EncodeJob {
  const char* name;
  const unsigned char* pixels;
  uint32_t width;
  uint32_t height;
  int shrink; /* encode the pixels' thumbnail rather than the pixels */
  OraBuffer png;
  int result;
} EncodeJob;

static int Encode(EncodeJob* job) {
  uint32_t width;
  uint32_t height;
  unsigned char* small;
  int result;
  if (!job->shrink) return OraPngWrite(job->pixels, job->width, job->height, &job->png);
  small = Thumbnail(job->pixels, job->width, job->height, &width, &height);
  if (small == NULL) return -1;
  result = OraPngWrite(small, width, height, &job->png);
  free(small);
  return result;
}

/* The merged picture and its thumbnail first: the merged picture is covered everywhere and takes
 * longest, and started last it would leave the other threads idle at the end. */
typedef struct EncodeBatch {
  EncodeJob* jobs;
  size_t count;
} EncodeBatch;

static void EncodeOne(void* context, size_t index) {
  const EncodeBatch* batch = (const EncodeBatch*)context;
  const size_t i = index < 2 ? batch->count - 2 + index : index - 2;
  batch->jobs[i].result = Encode(&batch->jobs[i]);
}

static int AddText(zip_t* zip, const char* name, const char* text, int store) {
  OraBuffer buffer;
  buffer.size = buffer.capacity = strlen(text);
  buffer.data = (unsigned char*)malloc(buffer.size);
  if (buffer.data == NULL) return -1;
  memcpy(buffer.data, text, buffer.size);
  return AddEntry(zip, name, &buffer, store);
}

static int PictureIsUsable(const VarnelLayerPicture* picture) {
  int32_t i;
  if (picture == NULL || picture->size < offsetof(VarnelLayerPicture, Warning) || picture->layers == NULL ||
      picture->merged == NULL || picture->count < 1 || picture->count > ORA_MAX_LAYERS ||
      !SpiPictureSizeOk(picture->width, picture->height))
    return 0;
  for (i = 0; i < picture->count; ++i) {
    const VarnelLayer* layer = &picture->layers[i];
    if (layer->pixels == NULL || !SpiPictureSizeOk(layer->width, layer->height)) return 0;
  }
  return 1;
}

/* One line naming the layers written as svg:src-over for want of their own mode. */
static char* UnmappedModeWarning(const VarnelLayerPicture* picture) {
  char* message = NULL;
  int32_t i;
  for (i = 0; i < picture->count; ++i) {
    const VarnelLayer* layer = &picture->layers[i];
    if (OraCompositeOp(layer->blendMode) != NULL) continue;
    Append(&message, message == NULL ? "OpenRasterにない合成モードのレイヤを通常の合成 (svg:src-over) で保存しました: " : "、");
    Append(&message, "「");
    Append(&message, layer->name != NULL ? layer->name : "");
    Append(&message, "」");
  }
  return message;
}

/* Writes what a memory source holds to fd, in large writes. */
static int WriteSource(zip_source_t* source, int fd) {
  enum { kChunk = 4 << 20 };
  unsigned char* chunk;
  int ok;
  if (zip_source_open(source) != 0) return -1;
  chunk = (unsigned char*)malloc(kChunk);
  ok = chunk != NULL;
  while (ok) {
    const zip_int64_t n = zip_source_read(source, chunk, kChunk);
    zip_int64_t done = 0;
    if (n <= 0) {
      ok = n == 0;
      break;
    }
    while (ok && done < n) {
      const ssize_t written = write(fd, chunk + done, (size_t)(n - done));
      if (written < 0 && errno == EINTR) continue;
      ok = written > 0;
      if (ok) done += written;
    }
  }
  free(chunk);
  zip_source_close(source);
  return ok ? 0 : -1;
}

/* The archive is put together in memory and written to fd at the end: libzip copies entries in
 * small pieces, and a write for each cost a 19 MiB archive 20-30 ms. */
static int WriteArchive(int fd, const VarnelLayerPicture* picture) {
  /* The layers, the merged picture and its thumbnail, in the archive's order. */
  const size_t count = (size_t)picture->count + 2;
  EncodeJob* jobs = (EncodeJob*)calloc(count, sizeof *jobs);
  char** sources = (char**)calloc(count, sizeof *sources);
  OraBuffer stack;
  size_t i;
  int ok = jobs != NULL && sources != NULL;
  zip_error_t error;
  zip_source_t* memory = NULL;
  zip_t* zip = NULL;
  for (i = 0; ok && i < (size_t)picture->count; ++i) {
    const VarnelLayer* layer = &picture->layers[i];
    sources[i] = (char*)malloc(32);
    ok = sources[i] != NULL;
    if (ok) snprintf(sources[i], 32, "data/layer%03u.png", (unsigned)i);
    jobs[i].name = sources[i];
    jobs[i].pixels = layer->pixels;
    jobs[i].width = (uint32_t)layer->width;
    jobs[i].height = (uint32_t)layer->height;
  }
  if (ok) {
    EncodeJob* merged = &jobs[count - 2];
    EncodeJob* small = &jobs[count - 1];
    merged->name = "mergedimage.png";
    merged->pixels = picture->merged;
    merged->width = (uint32_t)picture->width;
    merged->height = (uint32_t)picture->height;
    *small = *merged;
    small->name = "Thumbnails/thumbnail.png";
    small->shrink = 1;
  }
  if (ok) {
    /* Deflate is most of a save's time, and the pictures are independent. */
    EncodeBatch batch;
    batch.jobs = jobs;
    batch.count = count;
    RunInParallel(count, EncodeOne, &batch);
    for (i = 0; i < count; ++i) ok = ok && jobs[i].result == 0;
  }
  zip_error_init(&error);
  if (ok) memory = zip_source_buffer_create(NULL, 0, 0, &error);
  if (memory != NULL) {
    /* Closing the archive must not free the bytes it wrote. */
    zip_source_keep(memory);
    zip = zip_open_from_source(memory, ZIP_TRUNCATE, &error);
  }
  zip_error_fini(&error);
  ok = ok && zip != NULL;
  ok = ok && AddText(zip, "mimetype", MIMETYPE, 1) == 0;
  ok = ok && OraWriteStack(picture->width, picture->height, picture->layers, (const char* const*)sources,
                           (size_t)picture->count, &stack) == 0;
  ok = ok && AddEntry(zip, "stack.xml", &stack, 0) == 0;
  /* PNGs are compressed already: stored, they are copied rather than deflated again. */
  for (i = 0; ok && i < count; ++i) ok = AddEntry(zip, jobs[i].name, &jobs[i].png, 1) == 0;
  if (jobs != NULL)
    for (i = 0; i < count; ++i) OraBufferFree(&jobs[i].png);
  if (sources != NULL)
    for (i = 0; i < (size_t)picture->count; ++i) free(sources[i]);
  free(sources);
  free(jobs);
  if (ok && zip_close(zip) == 0) {
    zip = NULL;
    ok = WriteSource(memory, fd) == 0;
  } else {
    ok = 0;
  }
  if (zip != NULL) zip_discard(zip);
  if (memory != NULL) zip_source_free(memory);
  return ok ? 0 : -1;
}


VARNEL_PLUGIN_EXPORT int WriteLayers(const char* path, const VarnelLayerPicture* picture) {
  char temp[4200];
  int fd;
  if (path == NULL || !PictureIsUsable(picture) || strlen(path) + 40 > sizeof temp) return -1;
  /* The temporary name keeps a failed write from touching the file at path; the archive is
   * made durable before it is renamed over the old file. */
  fd = SpiCreateTemp(path, temp, sizeof temp);
  if (fd < 0) return -1;
  if (WriteArchive(fd, picture) != 0 || fsync(fd) != 0) {
    close(fd);
    SpiDiscardTemp(temp);
    return -1;
  }
  if (close(fd) != 0) {
    SpiDiscardTemp(temp);
    return -1;
  }
  if (picture->size >= sizeof(VarnelLayerPicture) && picture->Warning != NULL) {
    char* warning = UnmappedModeWarning(picture);
    if (warning != NULL) picture->Warning(picture->data, warning);
    free(warning);
  }
  return SpiCommitTemp(temp, path);
}

/* A host that knows one picture only saves it as an archive of one layer. */
VARNEL_PLUGIN_EXPORT int WriteImage(const char* path, const void* bits, const VarnelWriteInfo* info) {
  VarnelLayerPicture picture;
  VarnelLayer layer;
  unsigned char* pixels;
  const unsigned char* source = (const unsigned char*)bits;
  int64_t height;
  uint64_t stride;
  uint32_t x;
  uint32_t y;
  int result;
  if (path == NULL || bits == NULL || info == NULL) return -1;
  if ((info->header.biBitCount != 32 && info->header.biBitCount != 24) || info->header.biCompression != 0) return -1;
  height = info->header.biHeight < 0 ? -(int64_t)info->header.biHeight : info->header.biHeight;
  if (!SpiPictureSizeOk(info->header.biWidth, height)) return -1;
  stride = SpiDibRowBytes(info->header.biWidth, info->header.biBitCount);
  pixels = (unsigned char*)malloc((size_t)info->header.biWidth * (size_t)height * 4u);
  if (pixels == NULL) return -1;
  for (y = 0; y < (uint32_t)height; ++y) {
    /* Rows go out bottom first, whichever way the picture came. */
    const unsigned char* row = source + (info->header.biHeight < 0 ? (uint64_t)height - 1u - y : y) * stride;
    unsigned char* out = pixels + (size_t)y * (size_t)info->header.biWidth * 4u;
    for (x = 0; x < (uint32_t)info->header.biWidth; ++x) {
      if (info->header.biBitCount == 32) {
        memcpy(out + x * 4u, row + x * 4u, 4);
      } else {
        memcpy(out + x * 4u, row + x * 3u, 3);
        out[x * 4u + 3u] = 0xFF;
      }
    }
  }
  memset(&layer, 0, sizeof layer);
  layer.name = "noname";
  layer.pixels = pixels;
  layer.width = info->header.biWidth;
  layer.height = (int32_t)height;
  layer.opacity = 255;
  layer.visible = 1;
  memset(&picture, 0, sizeof picture);
  picture.size = sizeof picture;
  picture.width = layer.width;
  picture.height = layer.height;
  picture.count = 1;
  picture.layers = &layer;
  picture.merged = pixels;
  result = WriteLayers(path, &picture);
  free(pixels);
  return result;
}
