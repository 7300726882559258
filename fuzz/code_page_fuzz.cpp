// Feeds arbitrary bytes to both code page 932 conversions. Neither may crash, both must stay
// within a fixed multiple of their input, and text coming out as UTF-8 must be well-formed.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/code_page.h"

namespace {

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "code_page_fuzz: %s\n", what);
  std::abort();
}

bool IsWellFormedUtf8(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    unsigned lead = static_cast<unsigned char>(text[i]);
    size_t length = 0;
    unsigned low = 0x80;
    unsigned high = 0xBF;
    if (lead < 0x80) {
      length = 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    } else {
      return false;
    }
    if (i + length > text.size()) return false;
    for (size_t k = 1; k < length; ++k) {
      unsigned byte = static_cast<unsigned char>(text[i + k]);
      if (byte < (k == 1 ? low : 0x80) || byte > (k == 1 ? high : 0xBF)) return false;
    }
    i += length;
  }
  return true;
}

void CheckBound(std::string_view in, std::string_view out, const char* what) {
  if (out.size() > in.size() * 4 + 4) Fail(what);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);

  std::string utf8 = varnel::FromCodePage932(bytes);
  CheckBound(bytes, utf8, "FromCodePage932 output too long");
  if (!IsWellFormedUtf8(utf8)) Fail("FromCodePage932 gave malformed UTF-8");
  if (IsWellFormedUtf8(bytes) && utf8.empty() != bytes.empty()) Fail("text vanished");

  std::string cp932 = varnel::ToCodePage932(bytes);
  CheckBound(bytes, cp932, "ToCodePage932 output too long");

  std::string back = varnel::ToCodePage932(utf8);
  CheckBound(utf8, back, "round trip output too long");
  return 0;
}
