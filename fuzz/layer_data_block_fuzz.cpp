// Feeds arbitrary bytes to the parser of the clipboard's layer-data block and checks that
// whatever it accepts is a block exactly: making a block of the path gives the input back.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "document/picture_commands.h"
#include "fuzz/fuzz_files.h"

namespace {

[[noreturn]] void Fail(const char* what) { fuzz::Fail("layer_data_block_fuzz", what); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> input(data, size);
  const std::optional<std::string> path = varnel::ParseLayerDataBlock(input);
  if (!path) return 0;
  if (path->empty() || path->front() != '/') Fail("accepted a path that is not absolute");
  if (path->size() + 1 > varnel::kMaxLayerDataPath) Fail("accepted a path beyond the bound");
  if (path->find('\0') != std::string::npos) Fail("accepted a path holding a zero byte");
  const std::vector<uint8_t> again = varnel::MakeLayerDataBlock(*path);
  if (again.size() != size || !std::equal(again.begin(), again.end(), data)) Fail("the block does not make itself again");
  return 0;
}
