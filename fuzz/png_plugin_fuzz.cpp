// Feeds arbitrary bytes to the PNG picture plug-in, compiled in, as memory input. Whatever it
// accepts must be a 32-bit picture with every byte readable, GetPictureInfo must agree on its
// size, and writing it and reading that file back must give the same pixels, alpha included.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz/fuzz_files.h"
#include "sdk/varnel_picture_plugin.h"

extern "C" {
int IsSupported(const char* path, intptr_t handleOrBytes);
int GetPictureInfo(const char* buffer, intptr_t offset, unsigned int flag, VarnelPictureInfo* info);
int GetPicture(const char* buffer, intptr_t offset, unsigned int flag, void** info, void** bits,
               VarnelProgressCallback progress, intptr_t data);
int WriteImage(const char* path, const void* bits, const VarnelWriteInfo* info);
}

namespace {

[[noreturn]] void Fail(const char* what) { fuzz::Fail("png_plugin_fuzz", what); }

std::string TempPath() {
  char name[] = "/tmp/png_plugin_fuzz-XXXXXX";
  const int fd = mkstemp(name);
  if (fd < 0) Fail("cannot create a temporary file");
  close(fd);
  unlink(name);
  return std::string(name) + ".png";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string saved = TempPath();
  uint8_t head[2048] = {};
  std::memcpy(head, data, size < sizeof head ? size : sizeof head);
  const int supported = IsSupported("fuzz.png", reinterpret_cast<intptr_t>(head));

  void* info = nullptr;
  void* bits = nullptr;
  const char* bytes = reinterpret_cast<const char*>(data);
  if (GetPicture(bytes, static_cast<intptr_t>(size), kVarnelInputMemory, &info, &bits, nullptr, 0) != 0) {
    if (info != nullptr || bits != nullptr) Fail("a failure that answered something");
    return 0;
  }
  if (!supported) Fail("a picture from bytes it does not support");
  VarnelWriteInfo block;
  std::memcpy(&block, info, sizeof block);
  const VarnelBitmapInfoHeader& h = block.header;
  if (h.biBitCount != 32 || h.biWidth < 1 || h.biHeight < 1) Fail("not a 32-bit picture");
  const size_t total = static_cast<size_t>(h.biWidth) * static_cast<size_t>(h.biHeight) * 4;
  if (total > 0x7FFFFFFF) Fail("over the picture limit");
  const auto* pixels = static_cast<const uint8_t*>(bits);
  unsigned sum = 0;
  for (size_t i = 0; i < total; ++i) sum += pixels[i];
  (void)sum;

  VarnelPictureInfo pictureInfo;
  if (GetPictureInfo(bytes, static_cast<intptr_t>(size), kVarnelInputMemory, &pictureInfo) != 0 ||
      pictureInfo.width != h.biWidth || pictureInfo.height != h.biHeight) {
    Fail("GetPictureInfo disagrees with GetPicture");
  }

  if (WriteImage(saved.c_str(), bits, &block) != 0) Fail("cannot write a picture that was read");
  void* againInfo = nullptr;
  void* againBits = nullptr;
  if (GetPicture(saved.c_str(), 0, kVarnelInputFile, &againInfo, &againBits, nullptr, 0) != 0) Fail("cannot read a written picture");
  if (std::memcmp(againInfo, info, 16) != 0 || std::memcmp(againBits, bits, total) != 0) Fail("a picture came back different");
  unlink(saved.c_str());
  std::free(info);
  std::free(bits);
  std::free(againInfo);
  std::free(againBits);
  return 0;
}
