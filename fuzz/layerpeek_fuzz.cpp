// Feeds arbitrary bytes to Layerpeek, compiled in, as a file and as the memory IsSupported
// looks at. Whatever GetPicture or GetPreview accepts must be a 24-bit picture the file could
// hold, with every byte of both blocks readable; nothing may be read or written out of bounds.

#include <fcntl.h>
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
int GetPluginInfo(int number, char* buffer, int length);
int IsSupported(const char* path, intptr_t handleOrBytes);
int GetPicture(const char* buffer, intptr_t offset, unsigned int flag, void** info, void** bits,
               VarnelProgressCallback progress, intptr_t data);
int GetPreview(const char* buffer, intptr_t offset, unsigned int flag, void** info, void** bits,
               VarnelProgressCallback progress, intptr_t data);
}

namespace {

[[noreturn]] void Fail(const char* what) { fuzz::Fail("layerpeek_fuzz", what); }

std::string MakeTempFile() {
  char name[] = "/tmp/layerpeek_fuzz-XXXXXX";
  const int fd = mkstemp(name);
  if (fd < 0) Fail("cannot create a temporary file");
  close(fd);
  return name;
}

int NoProgress(int, int, intptr_t) { Fail("the progress callback was called"); }

// Reads every byte of both blocks (the sanitizer checks the bounds) and the picture's claims.
void CheckPicture(void* info, void* bits, size_t fileSize) {
  if (info == nullptr || bits == nullptr) Fail("success without both blocks");
  VarnelWriteInfo block;
  std::memcpy(&block, info, sizeof block);
  const VarnelBitmapInfoHeader& h = block.header;
  if (h.biBitCount != 24 || block.reserved != 0) Fail("not a 24-bit information block");
  if (h.biWidth < 0 || h.biHeight < 0 || ((h.biWidth == 0) != (h.biHeight == 0))) Fail("impossible size");
  const uint64_t pixels = static_cast<uint64_t>(h.biWidth) * static_cast<uint64_t>(h.biHeight);
  if (pixels * 4 > fileSize) Fail("more pixels than the file holds");
  const uint64_t stride = (static_cast<uint64_t>(h.biWidth) * 3 + 3) / 4 * 4;
  const auto* rows = static_cast<const uint8_t*>(bits);
  unsigned sum = 0;
  for (uint64_t i = 0; i < stride * static_cast<uint64_t>(h.biHeight); ++i) sum += rows[i];
  for (uint64_t y = 0; y < static_cast<uint64_t>(h.biHeight); ++y)
    for (uint64_t i = static_cast<uint64_t>(h.biWidth) * 3; i < stride; ++i)
      if (rows[y * stride + i] != 0) Fail("padding that is not zero");
  (void)sum;
  std::free(info);
  std::free(bits);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = MakeTempFile();
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) Fail("cannot write the input file");
  if (size > 0 && std::fwrite(data, 1, size, f) != size) Fail("cannot write the input file");
  std::fclose(f);

  // The host hands IsSupported at least 2048 bytes, zero-padded.
  uint8_t head[2048] = {};
  std::memcpy(head, data, size < sizeof head ? size : sizeof head);
  const int fromMemory = IsSupported(path.c_str(), reinterpret_cast<intptr_t>(head));
  const int fd = open(path.c_str(), O_RDONLY);
  if (fd < 0) Fail("cannot open the input file");
  if (IsSupported(path.c_str(), fd) != fromMemory) Fail("descriptor and memory disagree");
  if (lseek(fd, 0, SEEK_CUR) != 0) Fail("the descriptor was not rewound");
  close(fd);

  // The last byte picks an offset, so that offsets inside the file are tried too.
  const intptr_t offset = size > 0 ? data[size - 1] % (size + 1) : 0;
  for (intptr_t at : {intptr_t{0}, offset}) {
    for (auto entry : {GetPicture, GetPreview}) {
      void* info = nullptr;
      void* bits = nullptr;
      const int result = entry(path.c_str(), at, 0, &info, &bits, NoProgress, 0);
      if (result == 0) {
        if (!fromMemory) Fail("a picture from a file it does not support");
        CheckPicture(info, bits, size);
      } else if (result != -1 || info != nullptr || bits != nullptr) {
        Fail("a failure that answered something");
      }
    }
  }
  char text[8];
  for (int number = -1; number < 6; ++number) GetPluginInfo(number, text, sizeof text);
  unlink(path.c_str());
  return 0;
}
