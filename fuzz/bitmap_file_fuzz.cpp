// Feeds arbitrary bytes to the built-in bitmap reader. Whatever it reads must write as a
// 24-bit bitmap and read back to the same colours.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "document/bitmap_file.h"
#include "fuzz/fuzz_files.h"

namespace {

[[noreturn]] void Fail(const char* what) { fuzz::Fail("bitmap_file_fuzz", what); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const fuzz::ScratchFiles files("bitmap_file_fuzz");
  const fuzz::RemoveAfterInput cleanup{files};
  files.WriteInput(data, size);

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
