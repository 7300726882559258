// Feeds arbitrary bytes to the tool state reader, as a bare record (from memory and through a
// stdio stream) and as a ".vpo" file. A tool reads a fixed set of keys of every type; the only
// exception allowed out of the reader is ToolStateFormatError. Whatever a tool read must survive
// being written and read again.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "document/tool_state.h"

namespace {

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "tool_state_fuzz: %s\n", what);
  std::abort();
}

const char* const kKeys[] = {"", "k", "SizeCX", "AntiAlias", "ShapeFile", "Font", "Curve"};
constexpr size_t kKeyCount = std::size(kKeys);

struct Values {
  int32_t ints[kKeyCount] = {};
  bool flags[kKeyCount] = {};
  bool textFound[kKeyCount] = {};
  std::string texts[kKeyCount];
  std::vector<uint8_t> blocks[kKeyCount];

  bool SameNumbersAndBlocks(const Values& other) const {
    for (size_t i = 0; i < kKeyCount; ++i) {
      if (ints[i] != other.ints[i] || flags[i] != other.flags[i] || blocks[i] != other.blocks[i]) return false;
    }
    return true;
  }
  bool SameTexts(const Values& other) const {
    for (size_t i = 0; i < kKeyCount; ++i) {
      if (textFound[i] != other.textFound[i] || texts[i] != other.texts[i]) return false;
    }
    return true;
  }
};

class FuzzTool : public varnel::ToolStateObject {
 public:
  Values values;

  std::string ToolClassName() const override { return "FuzzTool"; }

  void SaveState(varnel::ToolStateWriter& writer) override {
    for (size_t i = 0; i < kKeyCount; ++i) {
      writer.WriteInt(kKeys[i], values.ints[i]);
      if (values.textFound[i]) writer.WriteText(kKeys[i], values.texts[i]);
      if (!values.blocks[i].empty()) writer.WriteBlock(kKeys[i], values.blocks[i].data(), values.blocks[i].size());
    }
  }

  int32_t LoadState(varnel::ToolStateReader& reader, bool) override {
    for (size_t i = 0; i < kKeyCount; ++i) {
      values.ints[i] = reader.ReadInt(kKeys[i]);
      values.flags[i] = reader.ReadFlag(kKeys[i]);
      values.textFound[i] = reader.ReadText(kKeys[i], values.texts[i]);
      const int64_t size = reader.ReadBlock(kKeys[i], nullptr, 0);
      if (size < 0) Fail("a usable reader answered -1");
      if (size > 0) {
        // The reader vouches that the bytes are there, so this is bounded by the input.
        values.blocks[i].resize(static_cast<size_t>(size));
        if (reader.ReadBlock(kKeys[i], values.blocks[i].data(), values.blocks[i].size()) != size) {
          Fail("a block changed its size between two reads");
        }
      }
      reader.FindEntry(kKeys[i], "I4", 'A');
      reader.FindEntry(kKeys[i], "BS", 'A');
    }
    return 0;
  }
};

// Loads through the tool; false when the record is unusable or malformed.
bool Load(varnel::ToolStateStream& stream, FuzzTool& tool) {
  try {
    return varnel::ReadToolState(stream, tool, false) == 0;
  } catch (const varnel::ToolStateFormatError&) {
    return false;
  }
}

// The record tool writes, read back by a fresh tool.
FuzzTool WriteAndRead(FuzzTool& tool) {
  varnel::MemoryToolStateStream stream;
  if (varnel::WriteToolState(stream, tool) != 0) Fail("cannot write what was read");
  if (!stream.Seek(0)) Fail("cannot seek a memory stream");
  FuzzTool again;
  if (!Load(stream, again)) Fail("cannot read a record just written");
  return again;
}

void CheckRecord(const uint8_t* data, size_t size) {
  {
    varnel::MemoryToolStateStream stream(data, size);
    varnel::ReadToolClassName(stream);
  }
  {
    varnel::MemoryToolStateStream stream(data, size);
    varnel::ToolStateReader reader(stream);
    try {
      const std::vector<varnel::ToolStateEntry> entries = reader.ListEntries();
      size_t total = 0;
      for (const varnel::ToolStateEntry& e : entries) total += e.key.size() + e.data.size();
      if (total > size) Fail("listed more bytes than the input holds");
    } catch (const varnel::ToolStateFormatError&) {
    }
  }

  varnel::MemoryToolStateStream stream(data, size);
  FuzzTool tool;
  const bool loaded = Load(stream, tool);

  // A stdio stream over the same bytes reads exactly the same.
  if (size > 0) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(
        fmemopen(const_cast<uint8_t*>(data), size, "rb"), std::fclose);
    if (!file) Fail("fmemopen failed");
    varnel::FileToolStateStream fileStream(file.get());
    FuzzTool fromFile;
    if (Load(fileStream, fromFile) != loaded) Fail("a file stream and a memory stream disagree");
    if (loaded && (!fromFile.values.SameNumbersAndBlocks(tool.values) || !fromFile.values.SameTexts(tool.values))) {
      Fail("a file stream and a memory stream read different values");
    }
  }

  if (!loaded) return;
  FuzzTool second = WriteAndRead(tool);
  if (!second.values.SameNumbersAndBlocks(tool.values)) Fail("numbers or blocks read back differently");
  // Text goes through code page 932 and may lose what it cannot hold once, but only once.
  FuzzTool third = WriteAndRead(second);
  if (!third.values.SameTexts(second.values)) Fail("text keeps changing over round trips");
}

void CheckFile(const uint8_t* data, size_t size) {
  varnel::MemoryToolStateStream stream(data, size);
  FuzzTool tool;
  std::string toolName, message;
  const int32_t status = varnel::LoadToolStateFile(
      stream, [&](const std::string&) { return &tool; }, toolName, message);
  if (status != 0 && message.empty()) Fail("a failed load gave no message");
  if (status == 0 && !message.empty()) Fail("a load that worked gave a message");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CheckRecord(data, size);
  CheckFile(data, size);
  return 0;
}
