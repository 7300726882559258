// Feeds arbitrary bytes to the region file reader and checks that whatever it read is saved
// faithfully: saving the region and reading that file again gives the same rectangle and bytes.

#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "document/region_file.h"
#include "fuzz/fuzz_files.h"

namespace {

[[noreturn]] void Fail(const char* what) { fuzz::Fail("region_file_fuzz", what); }

// libFuzzer reports any single allocation above its malloc limit (by default the 2 GiB RSS
// limit) as out-of-memory, so inputs whose rectangle asks for more than this many pixels are
// passed over. This is a limit of the fuzzing run, not of the program, which reads rectangles up
// to 65536 × 65536.
constexpr uint64_t kMaxFuzzPixels = 64ull * 1024 * 1024;
// Beyond this the save-and-read-back check would spend its time copying bytes.
constexpr uint64_t kMaxRoundTripPixels = 4ull * 1024 * 1024;

uint32_t GetU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// Walks the blocks as the reader does and answers whether any rectangle is too large to allocate
// here.
bool DeclaresHugeRectangle(const uint8_t* data, size_t size) {
  size_t at = 4;
  while (size >= 8 && at <= size - 8) {
    const uint8_t* tag = data + at;
    const uint32_t blockSize = GetU32(data + at + 4);
    at += 8;
    if (std::memcmp(tag, "VRDH", 4) == 0) {
      if (size - at < 16) return false;
      const auto side = [&](size_t a, size_t b) {
        const int64_t low = static_cast<int32_t>(GetU32(data + at + a));
        const int64_t high = static_cast<int32_t>(GetU32(data + at + b));
        return static_cast<uint64_t>((low > high ? low - high : high - low) + 1);
      };
      if (side(0, 8) * side(4, 12) > kMaxFuzzPixels) return true;
      at += 16;
    } else if (std::memcmp(tag, "VRVC", 4) == 0 && blockSize == 4) {
      at += 4;
    } else {
      if (blockSize > size - at) return false;
      at += blockSize;
    }
  }
  return false;
}

bool Same(const varnel::Region& a, const varnel::Region& b) {
  if (a.IsEmpty() != b.IsEmpty() || !(a.Bounds() == b.Bounds())) return false;
  for (int32_t r = 0; r < a.Height(); ++r) {
    if (std::memcmp(a.Row(r), b.Row(r), static_cast<size_t>(a.Width())) != 0) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const fuzz::ScratchFiles files("region_file_fuzz");
  const fuzz::RemoveAfterInput cleanup{files};
  const std::string& input = files.input;
  const std::string& saved = files.saved;
  if (DeclaresHugeRectangle(data, size)) return 0;

  files.WriteInput(data, size);

  varnel::Region region;
  if (varnel::LoadRegionFile(input, region) != 0 || region.IsEmpty()) return 0;
  if (static_cast<uint64_t>(region.Width()) * static_cast<uint64_t>(region.Height()) > kMaxRoundTripPixels) return 0;

  if (varnel::SaveRegionFile(saved, region) != 0) Fail("cannot save a region that was read");
  varnel::Region again;
  if (varnel::LoadRegionFile(saved, again) != 0) Fail("cannot read a saved region");
  if (!Same(region, again)) Fail("the saved region reads back differently");
  return 0;
}
