// Feeds arbitrary bytes to the settings file reader and checks that whatever it read is
// written back faithfully: parsing the written text gives the same sections, keys and values,
// and writing that again gives the same text.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "platform/profile.h"

namespace {

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "profile_fuzz: %s\n", what);
  std::abort();
}

void CheckSame(const varnel::IniData& expected, const varnel::IniData& actual) {
  const auto& want = expected.Sections();
  const auto& got = actual.Sections();
  if (want.size() != got.size()) Fail("section count changed");
  for (size_t s = 0; s < want.size(); ++s) {
    if (want[s].name != got[s].name) Fail("section name changed");
    if (want[s].entries.size() != got[s].entries.size()) Fail("key count changed");
    for (size_t e = 0; e < want[s].entries.size(); ++e) {
      const auto& a = want[s].entries[e];
      const auto& b = got[s].entries[e];
      if (a.key != b.key) Fail("key changed");
      if (a.value != b.value) Fail("value changed");
      const std::string* found = actual.Find(want[s].name, a.key);
      if (found == nullptr || *found != a.value) Fail("lookup disagrees with the entry");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  varnel::IniData first = varnel::IniData::Parse(text);
  std::string written = first.Serialize();
  varnel::IniData second = varnel::IniData::Parse(written);
  CheckSame(first, second);
  if (second.Serialize() != written) Fail("writing twice gave different text");
  return 0;
}
