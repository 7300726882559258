#include "sievehost/batch_file.h"

#include <cstdint>
#include <limits>

namespace varnel {
namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// The text before the first ':' and the rest after it; no ':' gives an empty first field and
// leaves the rest untouched, as the program's line splitter does.
bool SplitField(std::string_view text, std::string_view& field, std::string_view& rest) {
  const size_t colon = text.find(':');
  if (colon == std::string_view::npos) {
    field = {};
    rest = text;
    return false;
  }
  field = text.substr(0, colon);
  rest = text.substr(colon + 1);
  return true;
}

}  // namespace

bool ReadDecimal(std::string_view text, int32_t& value) {
  size_t at = 0;
  while (at < text.size() && IsSpace(text[at])) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
  if (at >= text.size() || text[at] < '0' || text[at] > '9') return false;
  // Accumulated as a magnitude one past int32's so that the most negative value fits.
  constexpr int64_t kLimit = static_cast<int64_t>(std::numeric_limits<int32_t>::max()) + 1;
  int64_t magnitude = 0;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
    magnitude = magnitude * 10 + (text[at] - '0');
    if (magnitude > kLimit) magnitude = kLimit;
  }
  const int64_t signedValue = negative ? -magnitude : magnitude;
  value = static_cast<int32_t>(signedValue > std::numeric_limits<int32_t>::max() ? std::numeric_limits<int32_t>::max()
                                                                                 : signedValue);
  return true;
}

std::vector<int32_t> BatchValues(std::string_view text) {
  std::vector<int32_t> values;
  const auto append = [&](std::string_view piece) {
    int32_t value = 0;
    if (!ReadDecimal(piece, value)) value = 0;
    values.push_back(value);
  };
  for (;;) {
    const size_t comma = text.find(',');
    if (comma == std::string_view::npos) break;
    const std::string_view piece = text.substr(0, comma);
    text.remove_prefix(comma + 1);
    if (piece.empty()) break;
    append(piece);
  }
  if (!text.empty()) append(text);
  return values;
}

BatchLine ParseBatchLine(std::string_view line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  BatchLine parsed;
  if (line.empty()) {
    parsed.problem = BatchLine::Problem::kBlank;
    return parsed;
  }
  std::string_view first, rest;
  if (!SplitField(line, first, rest)) {
    parsed.problem = BatchLine::Problem::kNoColon;
    return parsed;
  }
  if (EqualsNoCase(first, "Message")) {
    parsed.kind = BatchLine::Kind::kMessage;
    parsed.text = std::string(rest);
    return parsed;
  }
  if (first.empty()) {
    parsed.problem = BatchLine::Problem::kEmptyLibrary;
    return parsed;
  }
  std::string_view filter, values;
  if (!SplitField(rest, filter, values)) {
    parsed.problem = BatchLine::Problem::kNoSecondColon;
    return parsed;
  }
  if (filter.empty()) {
    parsed.problem = BatchLine::Problem::kEmptyFilter;
    return parsed;
  }
  parsed.kind = BatchLine::Kind::kFilter;
  parsed.library = std::string(first);
  parsed.filter = std::string(filter);
  parsed.values = BatchValues(values);
  return parsed;
}

std::vector<std::string_view> BatchFileLines(std::string_view content) {
  std::vector<std::string_view> lines;
  while (!content.empty()) {
    const size_t end = content.find('\n');
    if (end == std::string_view::npos) {
      lines.push_back(content);
      break;
    }
    lines.push_back(content.substr(0, end + 1));
    content.remove_prefix(end + 1);
  }
  return lines;
}

std::string BatchLineText(const BatchLine& line) {
  switch (line.kind) {
    case BatchLine::Kind::kMessage: return "Message:" + line.text;
    case BatchLine::Kind::kFilter: {
      std::string text = line.library + ":" + line.filter + ":";
      for (size_t i = 0; i < line.values.size(); ++i) {
        if (i > 0) text += ',';
        text += std::to_string(line.values[i]);
      }
      return text;
    }
    case BatchLine::Kind::kIgnored: break;
  }
  return {};
}

}  // namespace varnel
