#include "platform/code_page.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>

#include "platform/host.h"

namespace varnel {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// Length of the well-formed UTF-8 character at text[i], or 0 when there is none there
// (a stray byte, an overlong form, a surrogate, a code point past U+10FFFF, a cut sequence).
size_t Utf8CharLength(std::string_view text, size_t i) {
  auto byte = [&](size_t k) -> unsigned {
    return i + k < text.size() ? static_cast<unsigned char>(text[i + k]) : 0x100;
  };
  auto continuation = [&](size_t k, unsigned low = 0x80, unsigned high = 0xBF) {
    unsigned b = byte(k);
    return b >= low && b <= high;
  };
  unsigned lead = byte(0);
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return continuation(1) ? 2 : 0;
  if (lead >= 0xE0 && lead <= 0xEF) {
    unsigned low = lead == 0xE0 ? 0xA0 : 0x80;
    unsigned high = lead == 0xED ? 0x9F : 0xBF;
    return continuation(1, low, high) && continuation(2) ? 3 : 0;
  }
  if (lead >= 0xF0 && lead <= 0xF4) {
    unsigned low = lead == 0xF0 ? 0x90 : 0x80;
    unsigned high = lead == 0xF4 ? 0x8F : 0xBF;
    return continuation(1, low, high) && continuation(2) && continuation(3) ? 4 : 0;
  }
  return 0;
}

bool IsValidUtf8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    size_t length = Utf8CharLength(text, i);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

// One iconv descriptor per thread and direction: descriptors keep conversion state and must
// not be shared between threads, and opening one per call costs more than the conversion.
class Converter {
 public:
  Converter(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
  ~Converter() {
    if (Usable()) iconv_close(m_cd);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool Usable() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

  // Converts from `in` onwards, appending to out. Answers 0 when everything was converted;
  // otherwise EILSEQ or EINVAL with `in` at the first byte that could not be converted.
  int Convert(std::string_view& in, std::string& out) {
    iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
    char buffer[4096];
    while (!in.empty()) {
      char* inPtr = const_cast<char*>(in.data());
      size_t inLeft = in.size();
      char* outPtr = buffer;
      size_t outLeft = sizeof buffer;
      size_t result = iconv(m_cd, &inPtr, &inLeft, &outPtr, &outLeft);
      int error = result == static_cast<size_t>(-1) ? errno : 0;
      out.append(buffer, static_cast<size_t>(outPtr - buffer));
      in.remove_prefix(in.size() - inLeft);
      if (error == E2BIG) continue;
      if (error != 0) return error == EINVAL ? EINVAL : EILSEQ;
    }
    return 0;
  }

 private:
  iconv_t m_cd;
};

Converter& ToCp932() {
  thread_local Converter converter("CP932", "UTF-8");
  return converter;
}

Converter& FromCp932() {
  thread_local Converter converter("UTF-8", "CP932");
  return converter;
}

void ReportMissingConverter() {
  static bool reported = [] {
    GetHost().DebugMessage(1, MakeColourRef(255, 0, 0),
                           "code page 932 conversion is not available (iconv CP932); "
                           "only ASCII text converts");
    return true;
  }();
  (void)reported;
}

}  // namespace

std::string ToCodePage932(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  Converter& converter = ToCp932();
  if (!converter.Usable()) ReportMissingConverter();

  size_t i = 0;
  while (i < utf8.size()) {
    size_t length = Utf8CharLength(utf8, i);
    if (length == 0) {
      out += '?';
      ++i;
      continue;
    }
    // Hand iconv whole runs of well-formed text, so it only ever stops at a character that
    // code page 932 lacks.
    size_t end = i;
    while (end < utf8.size() && (length = Utf8CharLength(utf8, end)) != 0) end += length;
    std::string_view run = utf8.substr(i, end - i);
    i = end;
    if (!converter.Usable()) {
      for (size_t k = 0; k < run.size(); k += Utf8CharLength(run, k)) {
        out += static_cast<unsigned char>(run[k]) < 0x80 ? run[k] : '?';
      }
      continue;
    }
    while (converter.Convert(run, out) != 0) {
      out += '?';
      size_t skip = Utf8CharLength(run, 0);
      run.remove_prefix(skip != 0 ? skip : 1);
    }
  }
  return out;
}

std::string FromCodePage932(std::string_view bytes) {
  if (bytes.empty()) return {};
  Converter& converter = FromCp932();
  if (!converter.Usable()) {
    ReportMissingConverter();
    if (IsValidUtf8(bytes)) return std::string(bytes);
    std::string out;
    for (char c : bytes) {
      if (static_cast<unsigned char>(c) < 0x80) {
        out += c;
      } else {
        out += kReplacement;
      }
    }
    return out;
  }

  std::string out;
  out.reserve(bytes.size() * 3 / 2);
  std::string_view rest = bytes;
  if (converter.Convert(rest, out) == 0) return out;
  // Not code page 932. Text that is already UTF-8 (typed by a user, written by a newer tool)
  // is taken as it is.
  if (IsValidUtf8(bytes)) return std::string(bytes);
  // What was converted before the bad byte stands; from there on, one U+FFFD per bad byte.
  do {
    out += kReplacement;
    rest.remove_prefix(1);
  } while (converter.Convert(rest, out) != 0);
  return out;
}

std::string FromCodePage932Buffer(const char* buffer, size_t size) {
  return FromCodePage932(std::string_view(buffer, strnlen(buffer, size)));
}

}  // namespace varnel
