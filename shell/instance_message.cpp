#include "shell/instance_message.h"

namespace varnel {
namespace {

void AppendU32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

uint32_t ReadU32(const std::string& in, size_t at) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(static_cast<uint8_t>(in[at + i])) << (8 * i);
  return v;
}

}  // namespace

std::string EncodeOpenFileMessage(std::string_view path) {
  std::string out;
  out.reserve(8 + path.size());
  AppendU32(out, kOpenFileTag);
  AppendU32(out, static_cast<uint32_t>(path.size()));
  out.append(path);
  return out;
}

OpenFileMessageReader::State OpenFileMessageReader::Feed(std::string_view bytes) {
  while (m_state == State::kNeedMore && !bytes.empty()) {
    if (m_header.size() < 8) {
      const size_t take = std::min(bytes.size(), 8 - m_header.size());
      m_header.append(bytes.substr(0, take));
      bytes.remove_prefix(take);
      if (m_header.size() < 8) break;
      // Only tag 1 (open a file) is accepted.
      if (ReadU32(m_header, 0) != kOpenFileTag) {
        m_state = State::kRejected;
        break;
      }
      m_length = ReadU32(m_header, 4);
      if (m_length > kMaxHandOverPathBytes) {
        m_state = State::kRejected;
        break;
      }
      m_path.reserve(m_length);
    }
    const size_t take = std::min<size_t>(bytes.size(), m_length - m_path.size());
    m_path.append(bytes.substr(0, take));
    bytes.remove_prefix(take);
    if (m_path.size() == m_length) m_state = State::kComplete;
  }
  if (m_state == State::kNeedMore && m_header.size() == 8 && m_length == 0) m_state = State::kComplete;
  return m_state;
}

}  // namespace varnel
