#include "cli/tool_state_dump.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/cli_support.h"
#include "document/tool_state.h"
#include "platform/code_page.h"

namespace varnel::cli {
namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

std::string Hex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(bytes.size() * 2);
  for (const char c : bytes) {
    const auto b = static_cast<uint8_t>(c);
    text += kDigits[b >> 4];
    text += kDigits[b & 0xF];
  }
  return text;
}

// The reader refuses an integer of any other size, and so does the dump.
void CheckValue(const ToolStateEntry& entry) {
  if (entry.type == "I4XO" && entry.data.size() != 4)
    throw ToolStateFormatError(ToolStateFormatError::Reason::kIntegerSize);
}

nlohmann::ordered_json ValueOf(const ToolStateEntry& entry) {
  CheckValue(entry);
  if (entry.type == "I4XO") {
    const auto* p = reinterpret_cast<const uint8_t*>(entry.data.data());
    const uint32_t raw = static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
    return static_cast<int32_t>(raw);
  }
  if (entry.type == "BSXO") return FromCodePage932(entry.data);
  return Hex(entry.data);
}

int Dump(const Invocation& call, std::FILE* f) {
  FileToolStateStream stream(f);
  std::string toolName;
  char first[6] = {};
  const bool bare = stream.Read(first, 6) == 6 && std::memcmp(first, "VNCO\r\n", 6) == 0;
  if (!stream.Seek(0)) return Fail(call, kUnsupportedObjectFormat);
  if (!bare && !ReadToolStateFileLine(stream, toolName)) return Fail(call, kUnsupportedObjectFormat);

  ToolStateReader reader(stream);
  if (!reader.IsUsable()) return Fail(call, kUnsupportedObjectFormat);
  const std::vector<ToolStateEntry> entries = reader.ListEntries();
  // A malformed value fails the dump before anything is printed.
  for (const ToolStateEntry& entry : entries) CheckValue(entry);
  PrintJsonWithList(call, {{"tool", toolName}, {"class", reader.ClassName()}}, "entries", entries.size(), [&](size_t i) {
    // Keys and type codes are whatever bytes the file holds; as text they must be valid UTF-8.
    const ToolStateEntry& entry = entries[i];
    return nlohmann::ordered_json{
        {"key", FromCodePage932(entry.key)}, {"type", FromCodePage932(entry.type)}, {"value", ValueOf(entry)}};
  });
  return kSuccess;
}

}  // namespace

bool LooksLikeToolState(const std::string& path) {
  File file(std::fopen(path.c_str(), "rb"));
  if (!file) return false;
  char head[32] = {};
  const size_t got = std::fread(head, 1, sizeof head, file.get());
  const std::string_view text(head, got);
  return text.starts_with(std::string_view("VNCO\r\n")) || text.starts_with(kToolStateFilePrefix);
}

int DumpToolState(const Invocation& call, const std::string& path) {
  File file(std::fopen(path.c_str(), "rb"));
  if (!file) return Fail(call, kToolStateCannotOpen);
  try {
    return Dump(call, file.get());
  } catch (const ToolStateFormatError& error) {
    return Fail(call, error.what());
  } catch (const std::bad_alloc&) {
    return Fail(call, kNoMemory);
  }
}

}  // namespace varnel::cli
