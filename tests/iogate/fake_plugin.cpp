// Picture plug-ins for the gateway's tests, one source built in several variants
// (FAKE_VARIANT). They say what the tests need them to say, misbehave where a test needs a
// misbehaving plug-in, and count their calls in FakeLog() for the tests to read.
//
// Readers take "fake pictures": "FAKEPIC1", a 32-bit flag word, the sizes of the information
// and bits blocks, then those blocks as the plug-in hands them back.

#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <stdexcept>

#include "sdk/varnel_picture_plugin.h"
#include "tests/iogate/fake_plugin_log.h"

#define FAKE_READER 1
#define FAKE_MULTI 2
#define FAKE_NO_DESCRIPTION 3
#define FAKE_JPEG_A 4
#define FAKE_JPEG_B 5
#define FAKE_THROW_INFO 6
#define FAKE_THROW_READ 7
#define FAKE_LIAR 8
#define FAKE_EMPTY_SAVE_TEXT 9
#define FAKE_READER_B 10

#define FAKE_READS (FAKE_VARIANT == FAKE_READER || FAKE_VARIANT == FAKE_READER_B || FAKE_VARIANT == FAKE_THROW_READ)
#define FAKE_SAVES                                                                                     \
  (FAKE_VARIANT == FAKE_JPEG_A || FAKE_VARIANT == FAKE_JPEG_B || FAKE_VARIANT == FAKE_LIAR || \
   FAKE_VARIANT == FAKE_EMPTY_SAVE_TEXT)

namespace {

FakePluginLog g_log;

struct Texts {
  const char* patterns;
  const char* description;
};

Texts InfoTexts() {
  switch (FAKE_VARIANT) {
    case FAKE_READER: return {"*.fk1", "Fake One"};
    case FAKE_READER_B: return {"*.fk2", "Fake Two"};
    case FAKE_NO_DESCRIPTION: return {"*.nd", nullptr};
    case FAKE_JPEG_A: return {"*.jpg", "JPEG A"};
    case FAKE_JPEG_B: return {"*.jpg", "JPEG B"};
    case FAKE_THROW_READ: return {"*.thr", "Thrower"};
    case FAKE_EMPTY_SAVE_TEXT: return {"*.sv", "Saver"};
    default: return {nullptr, nullptr};
  }
}

int Copy(const char* text, char* buffer, int length) {
  if (length > 0) {
    std::strncpy(buffer, text, static_cast<size_t>(length));
    buffer[length - 1] = '\0';
  }
  return static_cast<int>(std::strlen(text));
}

#if FAKE_READS
enum : uint32_t {
  kPreviewFails = 1,
  kPictureFails = 2,
  kNullInfo = 4,
  kNullBits = 8,
  kBrokenPreview = 16,
};

struct FakePicture {
  uint32_t flags = 0;
  void* info = nullptr;
  void* bits = nullptr;
};

// Reads a fake picture; the blocks are malloc'ed at exactly the sizes the file gives.
bool ReadFake(const char* path, FakePicture& picture) {
  FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return false;
  char magic[8];
  uint32_t head[3];
  bool ok = std::fread(magic, 1, 8, file) == 8 && std::memcmp(magic, "FAKEPIC1", 8) == 0 &&
            std::fread(head, 4, 3, file) == 3;
  if (ok) {
    picture.flags = head[0];
    picture.info = std::malloc(head[1] == 0 ? 1 : head[1]);
    picture.bits = std::malloc(head[2] == 0 ? 1 : head[2]);
    ok = std::fread(picture.info, 1, head[1], file) == head[1] && std::fread(picture.bits, 1, head[2], file) == head[2];
    if (!ok) {
      std::free(picture.info);
      std::free(picture.bits);
    }
  }
  std::fclose(file);
  return ok;
}

int Deliver(const char* path, void** info, void** bits, bool preview) {
  FakePicture picture;
  if (!ReadFake(path, picture)) return kVarnelPluginReadError;
  const uint32_t fails = preview ? kPreviewFails : kPictureFails;
  if ((picture.flags & fails) != 0) {
    std::free(picture.info);
    std::free(picture.bits);
    return kVarnelPluginNotImplemented;
  }
  if (preview && (picture.flags & kBrokenPreview) != 0) {
    // Success, with an information block too small to hold a header.
    std::free(picture.info);
    picture.info = std::malloc(4);
    std::memset(picture.info, 0, 4);
  }
  if ((picture.flags & kNullInfo) != 0) {
    std::free(picture.info);
    picture.info = nullptr;
  }
  if ((picture.flags & kNullBits) != 0) {
    std::free(picture.bits);
    picture.bits = nullptr;
  }
  g_log.lastInfoUsable = picture.info != nullptr ? malloc_usable_size(picture.info) : 0;
  *info = picture.info;
  *bits = picture.bits;
  return kVarnelPluginSuccess;
}

#endif

#if FAKE_SAVES
int SaveTextAnswer(const char* text, char* buffer, int size) {
  if (FAKE_VARIANT == FAKE_LIAR) {
    // Fills the whole buffer without a terminating zero and claims more.
    std::memset(buffer, 'y', static_cast<size_t>(size));
    return size * 2;
  }
  return Copy(text, buffer, size);
}

const char* SaveExtension() {
  switch (FAKE_VARIANT) {
    case FAKE_JPEG_A:
    case FAKE_JPEG_B: return "jpg";
    case FAKE_LIAR: return "liar";
    case FAKE_EMPTY_SAVE_TEXT: return "sv";
    default: return nullptr;
  }
}
#endif

}  // namespace

extern "C" {

VARNEL_PLUGIN_EXPORT FakePluginLog* FakeLog() { return &g_log; }

VARNEL_PLUGIN_EXPORT int GetPluginInfo(int number, char* buffer, int length) {
  ++g_log.getPluginInfo;
  if (FAKE_VARIANT == FAKE_THROW_INFO) throw std::runtime_error("GetPluginInfo fails");
  if (FAKE_VARIANT == FAKE_LIAR) {
    std::memset(buffer, 'x', static_cast<size_t>(length));
    return length * 10;
  }
  if (FAKE_VARIANT == FAKE_MULTI) {
    static const char* const kTexts[] = {"00IN", "Fake multi", "*.fa", "Fake A", "*.fb", "Fake B"};
    return number >= 0 && number < 6 ? Copy(kTexts[number], buffer, length) : 0;
  }
  const Texts texts = InfoTexts();
  switch (number) {
    case 0: return Copy("00IN", buffer, length);
    case 1: return Copy("Fake plug-in", buffer, length);
    case 2: return texts.patterns != nullptr ? Copy(texts.patterns, buffer, length) : 0;
    case 3: return texts.description != nullptr ? Copy(texts.description, buffer, length) : 0;
    default: return 0;
  }
}

#if FAKE_READS
VARNEL_PLUGIN_EXPORT int IsSupported(const char* path, intptr_t handleOrBytes) {
  (void)path;
  ++g_log.isSupported;
  if (FAKE_VARIANT == FAKE_THROW_READ) throw std::runtime_error("IsSupported fails");
  char head[8] = {};
  if ((static_cast<uintptr_t>(handleOrBytes) >> 16) != 0) {
    std::memcpy(head, reinterpret_cast<const void*>(handleOrBytes), 8);
  } else if (::read(static_cast<int>(handleOrBytes), head, 8) != 8) {
    return 0;
  }
  return std::memcmp(head, "FAKEPIC1", 8) == 0 ? 1 : 0;
}

VARNEL_PLUGIN_EXPORT int GetPicture(const char* buffer, intptr_t offset, unsigned int flag, void** info, void** bits,
                                    VarnelProgressCallback progress, intptr_t data) {
  (void)offset;
  (void)progress;
  (void)data;
  ++g_log.getPicture;
  if ((flag & kVarnelInputMask) != kVarnelInputFile) return kVarnelPluginNotImplemented;
  return Deliver(buffer, info, bits, false);
}

VARNEL_PLUGIN_EXPORT int GetPreview(const char* buffer, intptr_t offset, unsigned int flag, void** info, void** bits,
                                    VarnelProgressCallback progress, intptr_t data) {
  (void)offset;
  (void)progress;
  (void)data;
  ++g_log.getPreview;
  if ((flag & kVarnelInputMask) != kVarnelInputFile) return kVarnelPluginNotImplemented;
  return Deliver(buffer, info, bits, true);
}

#endif

#if FAKE_SAVES
VARNEL_PLUGIN_EXPORT int IsSaveSupported(const char* extension) {
  ++g_log.isSaveSupported;
  const char* mine = SaveExtension();
  return mine != nullptr && strcasecmp(extension, mine) == 0 ? 0 : -1;
}

// Writes the variant's letter and the picture's size, so a test sees which plug-in wrote.
VARNEL_PLUGIN_EXPORT int WriteImage(const char* path, const void* bits, const VarnelWriteInfo* info) {
  ++g_log.writeImage;
  const uint8_t* pixels = static_cast<const uint8_t*>(bits);
  FILE* file = std::fopen(path, "wb");
  if (file == nullptr) return -1;
  const char letter = FAKE_VARIANT == FAKE_JPEG_A ? 'A' : FAKE_VARIANT == FAKE_JPEG_B ? 'B' : 'L';
  std::fprintf(file, "%c %d %d %u", letter, info->header.biWidth, info->header.biHeight,
               static_cast<unsigned>(pixels[0]));
  std::fclose(file);
  return 0;
}

VARNEL_PLUGIN_EXPORT int GetSupportFormatFilter(char* buffer, int size) {
  if (FAKE_VARIANT == FAKE_EMPTY_SAVE_TEXT) return Copy("", buffer, size);
  return SaveTextAnswer("*.jpg", buffer, size);
}

VARNEL_PLUGIN_EXPORT int GetSupportFormatDescriptor(char* buffer, int size) {
  if (FAKE_VARIANT == FAKE_EMPTY_SAVE_TEXT) return Copy("Saver(*.sv)", buffer, size);
  return SaveTextAnswer(FAKE_VARIANT == FAKE_JPEG_B ? "JPEG B(*.jpg)" : "JPEG A(*.jpg)", buffer, size);
}

const VarnelHostServices* g_host = nullptr;

VARNEL_PLUGIN_EXPORT void SetHostServices(const VarnelHostServices* services) { g_host = services; }

VARNEL_PLUGIN_EXPORT int OpenConfig(void* window) {
  ++g_log.openConfig;
  g_log.lastWindow = window;
  if (g_host != nullptr && g_host->AskInteger != nullptr) {
    g_log.answer = 4;
    g_log.asked = g_host->AskInteger(window, "Fake の設定", "数 (0-10)", 0, 10, &g_log.answer);
  }
  return 0;
}
#endif

}  // extern "C"
