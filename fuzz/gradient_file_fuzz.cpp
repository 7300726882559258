// Feeds arbitrary bytes to the gradient file reader, from memory and from a file. Whatever it
// accepts must be patterns the format can hold that write and read back the same; a refused
// text must leave the caller's list alone; sampling and the editor's stop operations on what
// was read must stay within the format's ranges.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_files.h"
#include "huebox/gradient_file.h"

namespace {

using varnel::huebox::Gradient;

[[noreturn]] void Fail(const char* what) { fuzz::Fail("gradient_file_fuzz", what); }

void CheckEditing(Gradient gradient, size_t seed) {
  const int count = static_cast<int>(gradient.stops.size());
  const int index = static_cast<int>(seed % static_cast<size_t>(count));
  Gradient added = gradient;
  if (varnel::huebox::AddStop(added, index) >= 0 && !varnel::huebox::IsValidGradient(added)) Fail("adding broke a pattern");
  Gradient moved = gradient;
  const int32_t to = static_cast<int32_t>(seed % 12001) - 1000;
  if (varnel::huebox::MoveStop(moved, index, to) < 0 || !varnel::huebox::IsValidGradient(moved)) {
    Fail("moving broke a pattern");
  }
  Gradient deleted = gradient;
  if (varnel::huebox::DeleteStop(deleted, index) != (count > 1)) Fail("deleting answered wrongly");
  if (!varnel::huebox::IsValidGradient(deleted)) Fail("deleting broke a pattern");
}

void CheckSampling(const Gradient& gradient) {
  // Every sample lies within the range the stops' channels span.
  for (const int64_t last : {int64_t{0}, int64_t{1}, int64_t{7}, int64_t{255}}) {
    for (int64_t i = 0; i <= last; ++i) {
      const varnel::huebox::GradientColour c = varnel::huebox::SampleAt(gradient, i, last);
      uint8_t low = 255, high = 0;
      for (const auto& stop : gradient.stops) {
        low = std::min(low, stop.colour.red);
        high = std::max(high, stop.colour.red);
      }
      if (c.red < low || c.red > high) Fail("a sample outside the stops' range");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const fuzz::ScratchFiles files("gradient_file_fuzz");
  const fuzz::RemoveAfterInput cleanup{files};
  files.WriteInput(data, size);

  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::vector<Gradient> before = {varnel::huebox::DefaultGradient("before")};
  std::vector<Gradient> gradients = before;
  const varnel::huebox::GradientFileStatus status = varnel::huebox::ParseGradientFile(text, gradients);

  std::vector<Gradient> fromFile = before;
  if (varnel::huebox::ReadGradientFile(files.input, fromFile) != status || fromFile != gradients) {
    Fail("the file and the text read differently");
  }
  if (!status.Ok()) {
    if (gradients != before) Fail("a refused text changed the caller's list");
    if (varnel::huebox::GradientFileErrorText(status).empty()) Fail("an error without a message");
    return 0;
  }
  if (gradients.size() > varnel::huebox::kMaxGradients) Fail("too many patterns");
  for (const Gradient& gradient : gradients) {
    if (!varnel::huebox::IsValidGradient(gradient)) Fail("an accepted pattern is not valid");
  }
  std::vector<Gradient> again;
  if (!varnel::huebox::ParseGradientFile(varnel::huebox::FormatGradientFile(gradients), again).Ok() ||
      again != gradients) {
    Fail("a written file reads back differently");
  }
  if (!varnel::huebox::WriteGradientFile(files.saved, gradients)) Fail("cannot write what was read");
  again.clear();
  if (!varnel::huebox::ReadGradientFile(files.saved, again).Ok() || again != gradients) {
    Fail("a saved file reads back differently");
  }
  for (size_t i = 0; i < gradients.size() && i < 8; ++i) {
    CheckSampling(gradients[i]);
    CheckEditing(gradients[i], size + i);
  }
  return 0;
}
