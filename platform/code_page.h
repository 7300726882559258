#pragma once
// Conversion between the program's UTF-8 and code page 932, the text encoding of the
// program's file formats, protocols and library interfaces.

#include <cstddef>
#include <string>
#include <string_view>

namespace varnel {

// UTF-8 to code page 932. A character that code page 932 cannot hold, and a byte that is not
// valid UTF-8, become '?'.
std::string ToCodePage932(std::string_view utf8);

// Code page 932 to UTF-8. Text that is not valid code page 932 is taken as UTF-8 when it is
// valid UTF-8; otherwise the invalid bytes become U+FFFD and the rest is read as code page 932.
std::string FromCodePage932(std::string_view bytes);

// The same for text a library wrote into a fixed buffer, which it may have left without a
// terminating zero: never read past the buffer.
std::string FromCodePage932Buffer(const char* buffer, size_t size);

}  // namespace varnel
