// Feeds arbitrary bytes to the batch file reader as a whole file and checks every line: a line
// that parses writes back in the clipboard format and that text parses to the same call.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz/fuzz_files.h"
#include "sievehost/batch_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view content(reinterpret_cast<const char*>(data), size);
  for (const std::string_view line : varnel::BatchFileLines(content)) {
    const varnel::BatchLine parsed = varnel::ParseBatchLine(line);
    if (parsed.kind == varnel::BatchLine::Kind::kIgnored) {
      if (parsed.problem == varnel::BatchLine::Problem::kNone) fuzz::Fail("batch_file_fuzz", "ignored without a reason");
      continue;
    }
    if (parsed.kind == varnel::BatchLine::Kind::kFilter && (parsed.library.empty() || parsed.filter.empty()))
      fuzz::Fail("batch_file_fuzz", "a filter line without its names");
    const varnel::BatchLine again = varnel::ParseBatchLine(varnel::BatchLineText(parsed));
    if (!(again == parsed)) fuzz::Fail("batch_file_fuzz", "the written line reads back differently");
  }
  return 0;
}
