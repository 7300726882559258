#pragma once
// The message a second start of the program sends to the first: data tag 1, the byte length
// of the path without a terminating zero, then the path bytes. Little-endian 32-bit fields.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace varnel {

inline constexpr uint32_t kOpenFileTag = 1;
// Longer than any path the system accepts; a longer length is a malformed message, and the
// receiver drops it instead of waiting for (or allocating) that many bytes.
inline constexpr uint32_t kMaxHandOverPathBytes = 32768;

std::string EncodeOpenFileMessage(std::string_view path);

// Takes bytes as they arrive and answers the path once a whole message has been read.
class OpenFileMessageReader {
 public:
  enum class State { kNeedMore, kComplete, kRejected };

  // Consumes what it can; bytes after a complete message are ignored.
  State Feed(std::string_view bytes);
  State Current() const { return m_state; }
  // The path once complete.
  const std::string& Path() const { return m_path; }

 private:
  State m_state = State::kNeedMore;
  std::string m_header;
  uint32_t m_length = 0;
  std::string m_path;
};

}  // namespace varnel
