// Feeds arbitrary bytes to the built-in bitmap reader. Whatever it reads must write as a
// 24-bit bitmap and read back to the same colours.

#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "document/bitmap_file.h"

namespace {

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "bitmap_file_fuzz: %s\n", what);
  std::abort();
}

std::string MakeTempFile() {
  char name[] = "/tmp/bitmap_file_fuzz-XXXXXX";
  const int fd = mkstemp(name);
  if (fd < 0) Fail("cannot create a temporary file");
  close(fd);
  return name;
}

struct TempFiles {
  std::string input = MakeTempFile();
  std::string saved = MakeTempFile();
};

// libFuzzer ends its run without exit handlers: the files go after every input.
struct RemoveAfterInput {
  const TempFiles& files;
  ~RemoveAfterInput() {
    unlink(files.input.c_str());
    unlink(files.saved.c_str());
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const TempFiles files;
  const RemoveAfterInput cleanup{files};
  std::FILE* f = std::fopen(files.input.c_str(), "wb");
  if (f == nullptr) Fail("cannot write the input file");
  if (size > 0 && std::fwrite(data, 1, size, f) != size) Fail("cannot write the input file");
  std::fclose(f);

  varnel::ImageSurface picture;
  std::string message;
  if (varnel::ReadBitmapFile(files.input, picture, message) != 0) {
    if (message.empty()) Fail("a refusal without a reason");
    return 0;
  }
  if (varnel::WriteBitmap24(files.saved, picture) != 0) Fail("cannot write a bitmap that was read");
  varnel::ImageSurface again;
  if (varnel::ReadBitmapFile(files.saved, again, message) != 0) Fail("cannot read a written bitmap");
  if (!(again.GetSize() == picture.GetSize())) Fail("the size changed");
  for (int32_t y = 0; y < picture.Height(); ++y)
    for (int32_t x = 0; x < picture.Width(); ++x)
      if ((picture.Row(y)[x] | 0xFF000000u) != again.Row(y)[x]) Fail("a colour changed");
  return 0;
}
