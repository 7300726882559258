// The hand-over message a second start sends to the running copy arrives from a socket that
// any local process of the user can write to: feed it arbitrary bytes in arbitrary pieces.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "shell/instance_message.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The first byte chooses how the rest is cut into reads.
  const size_t piece = data[0] % 16 + 1;
  std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  varnel::OpenFileMessageReader reader;
  while (!rest.empty()) {
    const size_t take = piece < rest.size() ? piece : rest.size();
    reader.Feed(rest.substr(0, take));
    rest.remove_prefix(take);
  }
  if (reader.Path().size() > varnel::kMaxHandOverPathBytes) std::abort();
  if (reader.Current() == varnel::OpenFileMessageReader::State::kComplete) {
    // A complete message re-encodes to the bytes it was read from.
    const std::string again = varnel::EncodeOpenFileMessage(reader.Path());
    if (std::string_view(reinterpret_cast<const char*>(data + 1), size - 1).substr(0, again.size()) != again)
      std::abort();
  }
  return 0;
}
