#include "peerlook/wire.h"

#include <algorithm>
#include <charconv>
#include <cinttypes>
#include <climits>
#include <cstdio>

namespace varnel::peerlook {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Where a label's value starts, searching from `from`; npos when the label is missing.
size_t ValueAfter(std::string_view text, std::string_view label, size_t from) {
  const size_t at = text.find(label, from);
  return at == std::string_view::npos ? at : at + label.size();
}

// The digits (with an optional sign) at the start of text as int64; empty when there are none
// or the value does not fit.
std::optional<int64_t> LeadingInteger(std::string_view text) {
  int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end == text.data()) return std::nullopt;
  return value;
}

}  // namespace

std::string Id10(int64_t id) {
  char buffer[24];
  std::snprintf(buffer, sizeof buffer, "%010" PRId64, id);
  return buffer;
}

int32_t ParseDecimal(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int64_t value = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > int64_t{INT32_MAX} + 1) value = int64_t{INT32_MAX} + 1;  // keeps it bounded
  }
  if (negative) value = -value;
  return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

std::string Frame(std::string_view tag, std::string_view payload) {
  char length[16];
  std::snprintf(length, sizeof length, "%010zu", payload.size());
  std::string message;
  message.reserve(kHeaderSize + payload.size());
  message.append(tag.substr(0, 4)).append(length, 10).append(payload);
  return message;
}

std::string Frame(Tag tag, std::string_view payload) { return Frame(kTags[static_cast<size_t>(tag)], payload); }

Tag TagOf(std::string_view message) {
  if (message.size() < 4) return Tag::Unknown;
  const std::string_view head = message.substr(0, 4);
  for (size_t i = 0; i < kTags.size(); ++i)
    if (kTags[i] == head) return static_cast<Tag>(i);
  return Tag::Unknown;
}

bool FrameReader::Feed(std::string_view bytes, std::vector<std::string>& out) {
  while (!m_broken && !bytes.empty()) {
    if (m_current.size() < kHeaderSize) {
      // Only the characters still missing from the header are taken first.
      const size_t take = std::min(kHeaderSize - m_current.size(), bytes.size());
      m_current.append(bytes.substr(0, take));
      bytes.remove_prefix(take);
      if (m_current.size() < kHeaderSize) break;
      uint64_t length = 0;
      for (size_t i = 4; i < kHeaderSize; ++i) {
        if (!IsDigit(m_current[i])) {
          m_broken = true;
          break;
        }
        length = length * 10 + static_cast<uint64_t>(m_current[i] - '0');
      }
      if (m_broken || length > m_maxPayload) {
        m_broken = true;
        m_current.clear();
        break;
      }
      m_expected = kHeaderSize + static_cast<size_t>(length);
      m_current.reserve(m_expected);
    }
    const size_t take = std::min(m_expected - m_current.size(), bytes.size());
    m_current.append(bytes.substr(0, take));
    bytes.remove_prefix(take);
    if (m_current.size() == m_expected) {
      out.push_back(std::move(m_current));
      m_current.clear();
      m_expected = 0;
    }
  }
  return !m_broken;
}

std::optional<std::pair<std::string, int32_t>> SplitNameId(std::string_view payload) {
  const size_t comma = payload.find(',');
  if (comma == std::string_view::npos) return std::nullopt;
  return std::make_pair(std::string(payload.substr(0, comma)), ParseDecimal(payload.substr(comma + 1)));
}

std::optional<std::pair<int32_t, std::string>> SplitChat(std::string_view payload) {
  if (payload.size() < 2) return std::nullopt;
  const size_t comma = payload.find(',', 1);
  if (comma == std::string_view::npos) return std::nullopt;
  return std::make_pair(ParseDecimal(payload.substr(1, comma - 1)), std::string(payload.substr(comma + 1)));
}

std::string FormatOffer(const FileOffer& offer) {
  char head[160];
  std::snprintf(head, sizeof head, "size:%" PRId64 ",crc:FFFF,addr:", offer.size);
  char tail[64];
  std::snprintf(tail, sizeof tail, ",port:%d,etag:%08x,", offer.port, offer.etag);
  return std::string(head) + offer.address + tail + Id10(static_cast<int64_t>(offer.name.size())) + offer.name;
}

std::optional<FileOffer> ParseOffer(std::string_view text) {
  FileOffer offer;
  size_t at = ValueAfter(text, "size:", 0);
  if (at == std::string_view::npos) return std::nullopt;
  const auto size = LeadingInteger(text.substr(at));
  if (!size || *size < 0) return std::nullopt;
  offer.size = *size;
  at = ValueAfter(text, "crc:", at);
  if (at == std::string_view::npos) return std::nullopt;
  at = ValueAfter(text, "addr:", at);
  if (at == std::string_view::npos) return std::nullopt;
  const size_t addressEnd = text.find(',', at);
  if (addressEnd == std::string_view::npos) return std::nullopt;
  offer.address = std::string(text.substr(at, addressEnd - at));
  at = addressEnd;
  // An offer without a port field means the default port.
  const size_t etagAt = ValueAfter(text, "etag:", at);
  if (etagAt == std::string_view::npos) return std::nullopt;
  const size_t portAt = ValueAfter(text.substr(0, etagAt), "port:", at);
  if (portAt != std::string_view::npos) {
    const auto port = LeadingInteger(text.substr(portAt));
    if (!port || *port < 1 || *port > 65535) return std::nullopt;
    offer.port = static_cast<int>(*port);
  }
  if (etagAt + 8 > text.size()) return std::nullopt;
  uint32_t etag = 0;
  const auto [etagEnd, etagError] = std::from_chars(text.data() + etagAt, text.data() + etagAt + 8, etag, 16);
  if (etagError != std::errc() || etagEnd != text.data() + etagAt + 8) return std::nullopt;
  offer.etag = etag;
  at = etagAt + 8;
  if (at >= text.size() || text[at] != ',') return std::nullopt;
  ++at;
  if (at + 10 > text.size()) return std::nullopt;
  int64_t nameLength = 0;
  for (size_t i = at; i < at + 10; ++i) {
    if (!IsDigit(text[i])) return std::nullopt;
    nameLength = nameLength * 10 + (text[i] - '0');
  }
  if (nameLength > kMaxOfferedNameLength) return std::nullopt;
  at += 10;
  if (text.size() - at < static_cast<size_t>(nameLength)) return std::nullopt;
  offer.name = std::string(text.substr(at, static_cast<size_t>(nameLength)));
  return offer;
}

std::string OfferPayload(int32_t target, const FileOffer& offer) { return "," + Id10(target) + "," + FormatOffer(offer); }

std::optional<std::pair<int32_t, FileOffer>> ParseRelayedOffer(std::string_view payload) {
  if (payload.size() < 12 || payload[0] != ',' || payload[11] != ',') return std::nullopt;
  auto offer = ParseOffer(payload.substr(12));
  if (!offer) return std::nullopt;
  return std::make_pair(ParseDecimal(payload.substr(1, 10)), std::move(*offer));
}

std::string Identification(int32_t id, uint32_t etag) {
  char etagText[16];
  std::snprintf(etagText, sizeof etagText, "etag:%08x", etag);
  return Id10(id) + etagText;
}

std::optional<std::pair<int32_t, uint32_t>> ParseIdentification(std::string_view text) {
  if (text.size() != kIdentificationSize || text.substr(10, 5) != "etag:") return std::nullopt;
  for (size_t i = 0; i < 10; ++i)
    if (!IsDigit(text[i])) return std::nullopt;
  uint32_t etag = 0;
  const auto [end, error] = std::from_chars(text.data() + 15, text.data() + 23, etag, 16);
  if (error != std::errc() || end != text.data() + 23) return std::nullopt;
  return std::make_pair(ParseDecimal(text.substr(0, 10)), etag);
}

ReceivedName SafeReceivedName(std::string_view offered) {
  if (offered.empty()) return {true, {}};
  if (offered.find('\0') != std::string_view::npos) return {};
  const size_t slash = offered.find_last_of("/\\");
  const std::string_view last = slash == std::string_view::npos ? offered : offered.substr(slash + 1);
  if (last.empty() || last == "." || last == "..") return {};
  return {true, std::string(last)};
}

bool ConstantTimeEquals(std::string_view a, std::string_view b) {
  // Every byte of the longer string is looked at, whatever the lengths.
  const size_t n = std::max(a.size(), b.size());
  unsigned difference = a.size() == b.size() ? 0u : 1u;
  for (size_t i = 0; i < n; ++i) {
    const unsigned char x = i < a.size() ? static_cast<unsigned char>(a[i]) : 0;
    const unsigned char y = i < b.size() ? static_cast<unsigned char>(b[i]) : 0;
    difference |= static_cast<unsigned>(x ^ y);
  }
  return difference == 0;
}

void ChatLog::Append(std::string_view name, std::string_view text) {
  m_lines.push_back(std::string(name) + " : ");
  // The text's own line breaks make lines of the view too.
  std::string line = "     ";
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      m_lines.push_back(std::move(line));
      line.clear();
    } else {
      line.push_back(c);
    }
  }
  m_lines.push_back(std::move(line));
  // Each line costs two at least, so dropping only one line per append would let the log grow.
  if (m_lines.size() > kChatLogLines)
    m_lines.erase(m_lines.begin(), m_lines.begin() + static_cast<std::ptrdiff_t>(m_lines.size() - kChatLogLines));
}

std::string ChatLog::Text() const {
  std::string text;
  for (size_t i = 0; i < m_lines.size(); ++i) {
    if (i != 0) text += "\r\n";
    text += m_lines[i];
  }
  return text;
}

}  // namespace varnel::peerlook
