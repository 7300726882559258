#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "document/tool_state.h"
#include "tests/support/folder_test.h"

namespace varnel {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using Reason = ToolStateFormatError::Reason;

// Builds records byte by byte, so every test states exactly what is in the stream.
class RecordBuilder {
 public:
  RecordBuilder& Raw(std::string_view text) {
    m_bytes.insert(m_bytes.end(), text.begin(), text.end());
    return *this;
  }
  RecordBuilder& Raw(const Bytes& bytes) {
    m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
    return *this;
  }
  RecordBuilder& U32(uint32_t v) {
    for (int i = 0; i < 4; ++i) m_bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
    return *this;
  }
  RecordBuilder& Magic() { return Raw(std::string_view("VNCO\r\n", 6)); }
  RecordBuilder& Version() { return Raw("VERS").U32(4).U32(100); }
  RecordBuilder& Size(uint32_t n) { return Raw("CLSZ").U32(4).U32(n); }
  RecordBuilder& Class(std::string_view name) { return Raw("LCLR").U32(static_cast<uint32_t>(name.size())).Raw(name); }
  // Magic, version, a size of 0 (never checked) and the class name.
  RecordBuilder& Head(std::string_view name = "Tool") { return Magic().Version().Size(0).Class(name); }
  RecordBuilder& Entry(std::string_view type, std::string_view key, const Bytes& data) {
    return Raw("LETH").U32(12 + static_cast<uint32_t>(key.size())).Raw(type).U32(static_cast<uint32_t>(key.size()))
        .Raw(key).U32(static_cast<uint32_t>(data.size())).Raw(data);
  }
  RecordBuilder& Int(std::string_view key, uint32_t v) {
    return Entry("I4XO", key, {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
                               static_cast<uint8_t>(v >> 24)});
  }
  RecordBuilder& Text(std::string_view key, std::string_view bytes) { return Entry("BSXO", key, Bytes(bytes.begin(), bytes.end())); }
  RecordBuilder& Block(std::string_view key, const Bytes& data) { return Entry("I0XA", key, data); }
  RecordBuilder& End() { return Raw("ECLR").U32(0); }
  RecordBuilder& Cut(size_t n) {
    m_bytes.resize(m_bytes.size() - n);
    return *this;
  }
  const Bytes& Get() const { return m_bytes; }

 private:
  Bytes m_bytes;
};

// A tool whose saving and loading each test scripts.
class ScriptedTool : public ToolStateObject {
 public:
  std::string className = "Tool";
  std::function<void(ToolStateWriter&)> save = [](ToolStateWriter&) {};
  std::function<int32_t(ToolStateReader&, bool)> load = [](ToolStateReader&, bool) { return 0; };
  int loads = 0;

  std::string ToolClassName() const override { return className; }
  void SaveState(ToolStateWriter& writer) override { save(writer); }
  int32_t LoadState(ToolStateReader& reader, bool paste) override {
    ++loads;
    return load(reader, paste);
  }
};

Bytes RecordOf(ToolStateObject& tool) {
  MemoryToolStateStream stream;
  EXPECT_EQ(WriteToolState(stream, tool), 0);
  return stream.Bytes();
}

// The bytes one writer call produces on its own.
Bytes EntryBytes(const std::function<void(ToolStateWriter&)>& write) {
  MemoryToolStateStream stream;
  ToolStateWriter writer(stream);
  write(writer);
  EXPECT_FALSE(writer.Failed());
  return stream.Bytes();
}

Bytes ToBytes(std::string_view s) { return Bytes(s.begin(), s.end()); }

// ---- writing ---------------------------------------------------------------------------------

TEST(ToolStateWriting, AnIntegerSevenUnderTheKeySizeHasTheDocumentedLayout) {
  const Bytes expected = {'L', 'E', 'T', 'H', 16, 0, 0, 0, 'I', '4', 'X', 'O', 4, 0, 0, 0,
                          's', 'i', 'z', 'e', 4,  0, 0, 0, 7,   0,   0,   0};
  EXPECT_EQ(EntryBytes([](ToolStateWriter& w) { w.WriteInt("size", 7); }), expected);
}

struct EntryCase {
  const char* what;
  std::function<void(ToolStateWriter&)> write;
  Bytes expected;
};

TEST(ToolStateWriting, EachKindOfEntryIsStoredWithItsTypeCodeAndData) {
  const std::vector<EntryCase> cases = {
      {"a negative integer is its two's complement", [](ToolStateWriter& w) { w.WriteInt("n", -2); },
       {'L', 'E', 'T', 'H', 13, 0, 0, 0, 'I', '4', 'X', 'O', 1, 0, 0, 0, 'n', 4, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF}},
      {"a flag keeps only its low byte", [](ToolStateWriter& w) { w.WriteFlag("f", 0x1FF); },
       {'L', 'E', 'T', 'H', 13, 0, 0, 0, 'I', '4', 'X', 'O', 1, 0, 0, 0, 'f', 4, 0, 0, 0, 0xFF, 0, 0, 0}},
      {"a flag of 256 is stored as 0", [](ToolStateWriter& w) { w.WriteFlag("f", 256); },
       {'L', 'E', 'T', 'H', 13, 0, 0, 0, 'I', '4', 'X', 'O', 1, 0, 0, 0, 'f', 4, 0, 0, 0, 0, 0, 0, 0}},
      {"a flag of -1 is stored as 255", [](ToolStateWriter& w) { w.WriteFlag("f", -1); },
       {'L', 'E', 'T', 'H', 13, 0, 0, 0, 'I', '4', 'X', 'O', 1, 0, 0, 0, 'f', 4, 0, 0, 0, 0xFF, 0, 0, 0}},
      {"text has no terminator", [](ToolStateWriter& w) { w.WriteText("t", "ab"); },
       {'L', 'E', 'T', 'H', 13, 0, 0, 0, 'B', 'S', 'X', 'O', 1, 0, 0, 0, 't', 2, 0, 0, 0, 'a', 'b'}},
      {"text ends at its first NUL", [](ToolStateWriter& w) { w.WriteText("t", std::string_view("ab\0cd", 5)); },
       {'L', 'E', 'T', 'H', 13, 0, 0, 0, 'B', 'S', 'X', 'O', 1, 0, 0, 0, 't', 2, 0, 0, 0, 'a', 'b'}},
      {"empty text has no data bytes", [](ToolStateWriter& w) { w.WriteText("t", ""); },
       {'L', 'E', 'T', 'H', 13, 0, 0, 0, 'B', 'S', 'X', 'O', 1, 0, 0, 0, 't', 0, 0, 0, 0}},
      {"Japanese text is stored in code page 932", [](ToolStateWriter& w) { w.WriteText("t", "あa"); },
       {'L', 'E', 'T', 'H', 13, 0, 0, 0, 'B', 'S', 'X', 'O', 1, 0, 0, 0, 't', 3, 0, 0, 0, 0x82, 0xA0, 'a'}},
      {"a block is an array entry", [](ToolStateWriter& w) {
         const uint8_t data[] = {1, 0, 255};
         w.WriteBlock("bk", data, 3);
       },
       {'L', 'E', 'T', 'H', 14, 0, 0, 0, 'I', '0', 'X', 'A', 2, 0, 0, 0, 'b', 'k', 3, 0, 0, 0, 1, 0, 255}},
      {"an empty block has D = 0", [](ToolStateWriter& w) { w.WriteBlock("b", nullptr, 0); },
       {'L', 'E', 'T', 'H', 13, 0, 0, 0, 'I', '0', 'X', 'A', 1, 0, 0, 0, 'b', 0, 0, 0, 0}},
      {"an empty key has K = 0", [](ToolStateWriter& w) { w.WriteInt("", 1); },
       {'L', 'E', 'T', 'H', 12, 0, 0, 0, 'I', '4', 'X', 'O', 0, 0, 0, 0, 4, 0, 0, 0, 1, 0, 0, 0}},
  };
  for (const EntryCase& c : cases) {
    EXPECT_EQ(EntryBytes(c.write), c.expected) << c.what;
  }
}

TEST(ToolStateWriting, AWholeRecordHoldsMagicVersionSizeClassEntriesAndEnd) {
  ScriptedTool tool;
  tool.className = "Pen";
  tool.save = [](ToolStateWriter& w) { w.WriteInt("a", 1); };
  // N counts itself (4), the class block (8 + 3), the entry (8 + 4 + 4 + 1 + 4 + 4 = 25) and
  // "ECLR" (8): 48.
  const Bytes expected = {'V', 'N', 'C', 'O', '\r', '\n',                                  //
                          'V', 'E', 'R', 'S', 4,   0,   0,   0,   100, 0, 0, 0,            //
                          'C', 'L', 'S', 'Z', 4,   0,   0,   0,   48,  0, 0, 0,            //
                          'L', 'C', 'L', 'R', 3,   0,   0,   0,   'P', 'e', 'n',           //
                          'L', 'E', 'T', 'H', 13,  0,   0,   0,   'I', '4', 'X', 'O', 1, 0, 0, 0, 'a', 4, 0, 0, 0, 1, 0, 0, 0,
                          'E', 'C', 'L', 'R', 0,   0,   0,   0};
  EXPECT_EQ(RecordOf(tool), expected);
}

struct SizeCase {
  const char* what;
  std::string className;
  std::function<void(ToolStateWriter&)> save;
  uint32_t n;
};

TEST(ToolStateWriting, TheSizeFieldCountsFromItselfThroughTheEndBlock) {
  const std::vector<SizeCase> cases = {
      {"no class name and no entries", "", [](ToolStateWriter&) {}, 4 + 8 + 8},
      // ブラシ is 83 75 83 89 83 56 in code page 932: six bytes.
      {"a Japanese class name counts its code page 932 bytes", "ブラシ", [](ToolStateWriter&) {}, 4 + 8 + 6 + 8},
      {"two entries", "T",
       [](ToolStateWriter& w) {
         w.WriteText("key", "xyz");  // 8 + 12 + 3 + 3
         w.WriteFlag("on", 1);       // 8 + 12 + 2 + 4
       },
       4 + 8 + 1 + 26 + 26 + 8},
  };
  for (const SizeCase& c : cases) {
    ScriptedTool tool;
    tool.className = c.className;
    tool.save = c.save;
    const Bytes record = RecordOf(tool);
    ASSERT_GE(record.size(), 30u) << c.what;
    const uint32_t n = record[26] | record[27] << 8 | record[28] << 16 | static_cast<uint32_t>(record[29]) << 24;
    EXPECT_EQ(n, c.n) << c.what;
    EXPECT_EQ(record.size(), 26 + c.n) << c.what;
  }
}

TEST(ToolStateWriting, TheClassNameIsStoredInCodePage932) {
  ScriptedTool tool;
  tool.className = "ブラシ";
  const Bytes record = RecordOf(tool);
  const Bytes lclr(record.begin() + 30, record.begin() + 44);
  EXPECT_EQ(lclr, (Bytes{'L', 'C', 'L', 'R', 6, 0, 0, 0, 0x83, 0x75, 0x83, 0x89, 0x83, 0x56}));
}

TEST(ToolStateWriting, ARecordWrittenAfterOtherBytesFillsInItsOwnSizeField) {
  ScriptedTool tool;
  tool.className = "P";
  tool.save = [](ToolStateWriter& w) { w.WriteInt("k", 9); };
  MemoryToolStateStream stream(ToBytes("abc"));
  ASSERT_TRUE(stream.Seek(3));
  ASSERT_EQ(WriteToolState(stream, tool), 0);
  const Bytes expected =
      RecordBuilder().Raw("abc").Magic().Version().Size(4 + 9 + 25 + 8).Class("P").Int("k", 9).End().Get();
  EXPECT_EQ(stream.Bytes(), expected);
  // The stream is left after the record, ready for whatever follows.
  EXPECT_EQ(stream.Position(), static_cast<int64_t>(expected.size()));
}

TEST(ToolStateWriting, WritesWithoutAStreamDoNothing) {
  ToolStateWriter writer;
  writer.WriteInt("a", 1);
  writer.WriteFlag("b", 1);
  writer.WriteText("c", "x");
  const uint8_t data[2] = {1, 2};
  writer.WriteBlock("d", data, 2);
  EXPECT_FALSE(writer.Failed());
}

TEST(ToolStateWriting, AKeyTheReaderWouldRefuseFailsTheRecord) {
  ScriptedTool tool;
  tool.save = [](ToolStateWriter& w) { w.WriteInt(std::string(4097, 'k'), 1); };
  MemoryToolStateStream stream;
  EXPECT_EQ(WriteToolState(stream, tool), -1);

  // 4096 bytes is still a key.
  const std::string longest(4096, 'k');
  tool.save = [&](ToolStateWriter& w) { w.WriteInt(longest, 77); };
  MemoryToolStateStream good;
  ASSERT_EQ(WriteToolState(good, tool), 0);
  ASSERT_TRUE(good.Seek(0));
  ToolStateReader reader(good);
  EXPECT_EQ(reader.ReadInt(longest), 77);
}

TEST(ToolStateWriting, AStreamThatCannotBeWrittenFailsTheRecord) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen("/dev/null", "rb"), std::fclose);
  ASSERT_NE(file, nullptr);
  FileToolStateStream stream(file.get());
  ScriptedTool tool;
  EXPECT_EQ(WriteToolState(stream, tool), -1);
}

// ---- the class name ----------------------------------------------------------------------------

struct ClassCase {
  const char* what;
  Bytes record;
  std::string className;
};

TEST(ToolStateClassName, TheHeaderRulesDecideWhetherAClassNameIsRead) {
  const std::vector<ClassCase> cases = {
      {"a complete header", RecordBuilder().Head("Pen").End().Get(), "Pen"},
      {"a code page 932 name is read as UTF-8",
       RecordBuilder().Magic().Version().Size(0).Class("\x83\x75\x83\x89\x83\x56").Get(), "ブラシ"},
      {"the first block's tag is not checked, only its size",
       RecordBuilder().Magic().Raw("XXXX").U32(4).U32(1).Size(0).Class("Pen").Get(), "Pen"},
      {"the version is never checked", RecordBuilder().Magic().Raw("VERS").U32(4).U32(7).Size(0).Class("Pen").Get(),
       "Pen"},
      {"the second block is passed over by its size",
       RecordBuilder().Magic().Version().Raw("CLSZ").U32(6).Raw("123456").Class("Pen").Get(), "Pen"},
      {"a wrong magic", RecordBuilder().Raw("VNCO\n\n").Version().Size(0).Class("Pen").Get(), ""},
      {"a magic cut short", RecordBuilder().Raw("VNCO\r").Get(), ""},
      {"an empty stream", Bytes{}, ""},
      {"a first block of size 5", RecordBuilder().Magic().Raw("VERS").U32(5).U32(100).Raw("x").Size(0).Class("Pen").Get(),
       ""},
      {"a first block of size 8 before a well-placed header",
       RecordBuilder().Magic().Raw("VERS").U32(8).U32(100).Size(0).Class("Pen").Get(), ""},
      {"a first block of size 0 before a well-placed header",
       RecordBuilder().Magic().Raw("VERS").U32(0).U32(100).Size(0).Class("Pen").Get(), ""},
      {"a first block of size 3", RecordBuilder().Magic().Raw("VERS").U32(3).Raw("abc").Size(0).Class("Pen").Get(), ""},
      {"a first block header cut short", RecordBuilder().Magic().Raw("VERS").Get(), ""},
      {"no second block", RecordBuilder().Magic().Version().Get(), ""},
      {"no third block", RecordBuilder().Magic().Version().Size(0).Get(), ""},
      {"a third block that is not LCLR", RecordBuilder().Magic().Version().Size(0).Raw("LCLX").U32(3).Raw("Pen").Get(),
       ""},
      {"a name cut short", RecordBuilder().Magic().Version().Size(0).Class("Pen").Cut(1).Get(), ""},
      {"a name size far beyond the data", RecordBuilder().Magic().Version().Size(0).Raw("LCLR").U32(0xFFFFFFFF).Raw("P").Get(),
       ""},
  };
  for (const ClassCase& c : cases) {
    MemoryToolStateStream stream(c.record);
    EXPECT_EQ(ReadToolClassName(stream), c.className) << c.what;
  }
}

TEST(ToolStateClassName, ReadingLeavesTheStreamJustAfterTheClassBlock) {
  const Bytes record = RecordBuilder().Head("Pen").Int("a", 1).End().Get();
  MemoryToolStateStream stream(record);
  ASSERT_EQ(ReadToolClassName(stream), "Pen");
  EXPECT_EQ(stream.Position(), 6 + 12 + 12 + 8 + 3);
}

TEST(ToolStateClassName, AnEmptyNameInAGoodHeaderStillLetsTheToolRead) {
  const Bytes record = RecordBuilder().Head("").Int("a", 5).End().Get();
  MemoryToolStateStream stream(record);
  ScriptedTool tool;
  int32_t a = 0;
  tool.load = [&](ToolStateReader& r, bool) {
    a = r.ReadInt("a");
    return 0;
  };
  EXPECT_EQ(ReadToolState(stream, tool, false), 0);
  EXPECT_EQ(tool.loads, 1);
  EXPECT_EQ(a, 5);
}

// ---- reading entries ---------------------------------------------------------------------------

// Every kind of stream the record can live in: memory, a stdio file, a file descriptor.
class StreamKinds : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "varnel-tool-state-XXXXXX").string();
    const int fd = mkstemp(pattern.data());
    ASSERT_GE(fd, 0);
    m_fd = fd;
    m_path = pattern;
  }
  void TearDown() override {
    m_stream.reset();
    if (m_file != nullptr) std::fclose(m_file);
    if (m_fd >= 0) ::close(m_fd);
    ::unlink(m_path.c_str());
  }

  // An empty stream of the kind under test, positioned at 0.
  ToolStateStream& Stream() {
    switch (GetParam()) {
      case 0:
        m_stream = std::make_unique<MemoryToolStateStream>();
        break;
      case 1:
        m_file = std::fopen(m_path.c_str(), "w+b");
        m_stream = std::make_unique<FileToolStateStream>(m_file);
        break;
      default:
        m_stream = std::make_unique<FdToolStateStream>(m_fd);
        break;
    }
    return *m_stream;
  }

  int m_fd = -1;
  std::FILE* m_file = nullptr;
  std::string m_path;
  std::unique_ptr<ToolStateStream> m_stream;
};

struct Settings {
  int32_t size = 0;
  int32_t negative = 0;
  bool on = false;
  bool off = true;
  std::string name = "unchanged";
  std::string ascii = "unchanged";
  Bytes block;
};

TEST_P(StreamKinds, EverySettingSurvivesAWriteAndARead) {
  ToolStateStream& stream = Stream();
  ASSERT_TRUE(stream.Write("prefix\n", 7));  // the record need not start at 0
  ScriptedTool tool;
  tool.className = "ブラシ";
  const uint8_t blockData[5] = {0, 1, 2, 254, 255};
  tool.save = [&](ToolStateWriter& w) {
    w.WriteInt("SizeCX", 123456);
    w.WriteInt("Negative", -7);
    w.WriteFlag("AntiAlias", 1);
    w.WriteFlag("Opaque", 0);
    w.WriteText("ShapeFile", "形状/丸.ptv");
    w.WriteText("TexFile", "tex.bmp");
    w.WriteBlock("Curve", blockData, 5);
  };
  ASSERT_EQ(WriteToolState(stream, tool), 0);
  ASSERT_TRUE(stream.Seek(7));

  Settings read;
  ScriptedTool reader;
  reader.load = [&](ToolStateReader& r, bool paste) {
    EXPECT_FALSE(paste);
    EXPECT_EQ(r.ClassName(), "ブラシ");
    // Read in another order than written: each lookup starts at the first entry.
    read.block.resize(static_cast<size_t>(r.ReadBlock("Curve", nullptr, 0)));
    EXPECT_EQ(r.ReadBlock("Curve", read.block.data(), read.block.size()), 5);
    EXPECT_TRUE(r.ReadText("TexFile", read.ascii));
    EXPECT_TRUE(r.ReadText("ShapeFile", read.name));
    read.off = r.ReadFlag("Opaque");
    read.on = r.ReadFlag("AntiAlias");
    read.negative = r.ReadInt("Negative");
    read.size = r.ReadInt("SizeCX");
    return 3;
  };
  EXPECT_EQ(ReadToolState(stream, reader, false), 3);
  EXPECT_EQ(read.size, 123456);
  EXPECT_EQ(read.negative, -7);
  EXPECT_TRUE(read.on);
  EXPECT_FALSE(read.off);
  EXPECT_EQ(read.name, "形状/丸.ptv");
  EXPECT_EQ(read.ascii, "tex.bmp");
  EXPECT_EQ(read.block, (Bytes{0, 1, 2, 254, 255}));
}

TEST_P(StreamKinds, TheHeaderIsReadWhereTheRecordStarts) {
  ToolStateStream& stream = Stream();
  const Bytes record = RecordBuilder().Raw("Varnel.Embedded.Pen\n").Head("Pen").Int("w", 3).End().Get();
  ASSERT_TRUE(stream.Write(record.data(), record.size()));
  ASSERT_TRUE(stream.Seek(20));
  ToolStateReader reader(stream);
  ASSERT_TRUE(reader.IsUsable());
  EXPECT_EQ(reader.ClassName(), "Pen");
  EXPECT_EQ(reader.ReadInt("w"), 3);
  EXPECT_EQ(stream.Length(), static_cast<int64_t>(record.size()));
}

INSTANTIATE_TEST_SUITE_P(ToolStateStreams, StreamKinds, ::testing::Values(0, 1, 2),
                         [](const ::testing::TestParamInfo<int>& info) {
                           return std::string(info.param == 0 ? "Memory" : info.param == 1 ? "Stdio" : "Descriptor");
                         });

ToolStateReader ReaderOver(MemoryToolStateStream& stream) {
  ToolStateReader reader(stream);
  EXPECT_TRUE(reader.IsUsable());
  return reader;
}

TEST(ToolStateReading, TheFirstOfTwoEntriesWithTheSameKeyAndTypeWins) {
  MemoryToolStateStream stream(RecordBuilder().Head().Int("k", 1).Int("k", 2).Text("t", "first").Text("t", "second").End().Get());
  ToolStateReader reader = ReaderOver(stream);
  EXPECT_EQ(reader.ReadInt("k"), 1);
  std::string text;
  EXPECT_TRUE(reader.ReadText("t", text));
  EXPECT_EQ(text, "first");
}

TEST(ToolStateReading, AnEntryOfAnotherTypeIsNotFound) {
  MemoryToolStateStream stream(
      RecordBuilder().Head().Int("k", 5).Text("s", "abc").Entry("I4XA", "a", {1, 0, 0, 0}).End().Get());
  ToolStateReader reader = ReaderOver(stream);
  std::string text = "kept";
  EXPECT_FALSE(reader.ReadText("k", text));
  EXPECT_EQ(text, "kept");
  EXPECT_EQ(reader.ReadInt("s"), 0);
  EXPECT_EQ(reader.FindEntry("k", "I4", 'A'), 0);
  EXPECT_EQ(reader.FindEntry("k", "I4", 'O'), 4);
  EXPECT_EQ(reader.ReadInt("a"), 0);
  EXPECT_EQ(reader.FindEntry("a", "I4", 'A'), 4);
  EXPECT_EQ(reader.ReadBlock("k", nullptr, 0), 0);
}

TEST(ToolStateReading, KeysMatchByLengthAndEveryByte) {
  MemoryToolStateStream stream(RecordBuilder().Head().Int("Size", 1).Int("SizeCX", 2).Int("size", 3).End().Get());
  ToolStateReader reader = ReaderOver(stream);
  EXPECT_EQ(reader.ReadInt("SizeCX"), 2);
  EXPECT_EQ(reader.ReadInt("Size"), 1);
  EXPECT_EQ(reader.ReadInt("size"), 3);
  EXPECT_EQ(reader.ReadInt("Siz"), 0);
  EXPECT_EQ(reader.ReadInt("SizeC"), 0);
}

TEST(ToolStateReading, AnotherToolFindsOnlyTheKeysBothUse) {
  ScriptedTool brush;
  brush.className = "Brush";
  brush.save = [](ToolStateWriter& w) {
    w.WriteInt("Alpha", 200);
    w.WriteText("Font", "ゴシック");
    w.WriteFlag("WashOn", 1);
  };
  MemoryToolStateStream stream(RecordOf(brush));

  int32_t alpha = -1, size = -1;
  bool wash = true, fill = true;
  std::string font = "明朝", shape = "star.ptv";
  ScriptedTool text;
  text.className = "Text";
  text.load = [&](ToolStateReader& r, bool) {
    alpha = r.ReadInt("Alpha");
    size = r.ReadInt("FontSize");
    r.ReadText("Font", font);
    r.ReadText("Shape", shape);
    wash = r.ReadFlag("WashOn");
    fill = r.ReadFlag("Fill");
    return 0;
  };
  EXPECT_EQ(ReadToolState(stream, text, false), 0);
  EXPECT_EQ(alpha, 200);
  EXPECT_EQ(size, 0);
  EXPECT_EQ(font, "ゴシック");
  EXPECT_EQ(shape, "star.ptv");
  EXPECT_TRUE(wash);
  EXPECT_FALSE(fill);
}

TEST(ToolStateReading, AnEmptyTextReadsAsNotFound) {
  ScriptedTool tool;
  tool.save = [](ToolStateWriter& w) { w.WriteText("Name", ""); };
  MemoryToolStateStream stream(RecordOf(tool));
  ToolStateReader reader = ReaderOver(stream);
  EXPECT_EQ(reader.FindEntry("Name", "BS", 'O'), 0);
  std::string name = "before";
  EXPECT_FALSE(reader.ReadText("Name", name));
  EXPECT_EQ(name, "before");
}

TEST(ToolStateReading, StoredTextEndsAtItsFirstNulAndInvalidBytesBecomeReplacementCharacters) {
  MemoryToolStateStream stream(
      RecordBuilder().Head().Text("nul", std::string_view("ab\0cd", 5)).Text("bad", "\x82").End().Get());
  ToolStateReader reader = ReaderOver(stream);
  std::string text;
  EXPECT_TRUE(reader.ReadText("nul", text));
  EXPECT_EQ(text, "ab");
  EXPECT_TRUE(reader.ReadText("bad", text));
  EXPECT_EQ(text, "\xEF\xBF\xBD");
}

struct BlockCase {
  const char* what;
  std::string key;
  bool withBuffer;
  size_t size;
  int64_t result;
  Bytes buffer;  // afterwards; starts as eight 0xEE bytes
};

TEST(ToolStateReading, ReadBlockReportsTheSizeAndFillsAtMostTheEntry) {
  const Bytes record = RecordBuilder().Head().Block("b", {1, 2, 3, 4}).Block("empty", {}).Int("next", 0x99999999).End().Get();
  const uint8_t e = 0xEE;
  const std::vector<BlockCase> cases = {
      {"no buffer reports D", "b", false, 0, 4, {e, e, e, e, e, e, e, e}},
      {"a buffer of exactly D", "b", true, 4, 4, {1, 2, 3, 4, e, e, e, e}},
      {"a smaller buffer takes the first bytes", "b", true, 2, 4, {1, 2, e, e, e, e, e, e}},
      {"a larger buffer keeps its tail", "b", true, 8, 4, {1, 2, 3, 4, e, e, e, e}},
      {"a missing block without a buffer is 0", "none", false, 0, 0, {e, e, e, e, e, e, e, e}},
      {"an empty block exists and reads nothing", "empty", true, 8, 0, {e, e, e, e, e, e, e, e}},
  };
  for (const BlockCase& c : cases) {
    MemoryToolStateStream stream(record);
    ToolStateReader reader = ReaderOver(stream);
    Bytes buffer(8, e);
    EXPECT_EQ(reader.ReadBlock(c.key, c.withBuffer ? buffer.data() : nullptr, c.size), c.result) << c.what;
    EXPECT_EQ(buffer, c.buffer) << c.what;
  }
}

TEST(ToolStateReading, WithoutAStreamEveryReadGivesItsDefault) {
  ToolStateReader reader;
  EXPECT_FALSE(reader.IsUsable());
  EXPECT_EQ(reader.FindEntry("a", "I4", 'O'), -1);
  EXPECT_EQ(reader.ReadInt("a"), 0);
  EXPECT_FALSE(reader.ReadFlag("a"));
  std::string text = "kept";
  EXPECT_FALSE(reader.ReadText("a", text));
  EXPECT_EQ(text, "kept");
  uint8_t buffer[4] = {};
  EXPECT_EQ(reader.ReadBlock("a", buffer, 4), -1);
  EXPECT_EQ(reader.ReadBlock("a", nullptr, 0), -1);
  EXPECT_TRUE(reader.ListEntries().empty());
}

TEST(ToolStateReading, AReaderOverAnUnusableHeaderActsAsIfNoStreamWereAttached) {
  MemoryToolStateStream stream(RecordBuilder().Raw("VNCX\r\n").Version().Size(0).Class("P").Int("a", 1).End().Get());
  ToolStateReader reader(stream);
  EXPECT_FALSE(reader.IsUsable());
  EXPECT_EQ(reader.FindEntry("a", "I4", 'O'), -1);
  EXPECT_EQ(reader.ReadInt("a"), 0);
}

struct FindCase {
  const char* what;
  Bytes record;
  std::string key;
  int64_t size;
  int32_t value;  // ReadInt's answer
};

TEST(ToolStateReading, LookupsFollowTheBlockRules) {
  const std::vector<FindCase> cases = {
      {"unknown blocks between entries are passed over by their size",
       RecordBuilder().Head().Raw("JUNK").U32(3).Raw("xyz").Int("k", 8).End().Get(), "k", 4, 8},
      {"bytes an entry's block size adds come before the data",
       RecordBuilder().Head().Raw("LETH").U32(12 + 1 + 3).Raw("I4XO").U32(1).Raw("k").U32(4).Raw("zzz").U32(11).End().Get(),
       "k", 4, 11},
      {"a block size smaller than the header is ignored",
       RecordBuilder().Head().Raw("LETH").U32(0).Raw("I4XO").U32(1).Raw("k").U32(4).U32(12).End().Get(), "k", 4, 12},
      {"entries after the end block are not found", RecordBuilder().Head().End().Int("k", 1).Get(), "k", 0, 0},
      {"the end block's size does not matter", RecordBuilder().Head().Raw("ECLR").U32(99).Int("k", 1).Get(), "k", 0, 0},
      {"a record without an end block ends with its data", RecordBuilder().Head().Int("j", 1).Int("k", 2).Get(), "k", 4, 2},
      {"a missing key in a record without an end block", RecordBuilder().Head().Int("j", 1).Get(), "k", 0, 0},
      {"an entry header cut short ends the entries", RecordBuilder().Head().Int("k", 1).Cut(6).Get(), "k", 0, 0},
      {"an unknown block running past the end ends the entries",
       RecordBuilder().Head().Raw("JUNK").U32(0xFFFFFFF0).Int("k", 1).Get(), "k", 0, 0},
      {"a skipped entry's data running past the end ends the entries",
       RecordBuilder().Head().Raw("LETH").U32(13).Raw("I4XO").U32(1).Raw("j").U32(0xFFFFFFF0).Int("k", 1).Get(), "k", 0,
       0},
  };
  for (const FindCase& c : cases) {
    MemoryToolStateStream stream(c.record);
    ToolStateReader reader = ReaderOver(stream);
    EXPECT_EQ(reader.FindEntry(c.key, "I4", 'O'), c.size) << c.what;
    EXPECT_EQ(reader.ReadInt(c.key), c.value) << c.what;
  }
}

TEST(ToolStateReading, FindEntryLeavesTheStreamAtTheData) {
  MemoryToolStateStream stream(RecordBuilder().Head().Text("a", "xy").Text("b", "pqr").End().Get());
  ToolStateReader reader = ReaderOver(stream);
  ASSERT_EQ(reader.FindEntry("b", "BS", 'O'), 3);
  char data[3];
  ASSERT_EQ(stream.Read(data, 3), 3u);
  EXPECT_EQ(std::string(data, 3), "pqr");
}

TEST(ToolStateReading, ListEntriesGivesEveryEntryInRecordOrder) {
  MemoryToolStateStream stream(RecordBuilder()
                                   .Head()
                                   .Int("k", 1)
                                   .Raw("JUNK")
                                   .U32(1)
                                   .Raw("j")
                                   .Text("k", "t")
                                   .Entry("ZZXQ", "odd", {9})
                                   .Int("k", 2)
                                   .End()
                                   .Int("after", 3)
                                   .Get());
  ToolStateReader reader = ReaderOver(stream);
  const std::vector<ToolStateEntry> entries = reader.ListEntries();
  ASSERT_EQ(entries.size(), 4u);
  const std::vector<std::vector<std::string>> expected = {
      {"k", "I4XO", std::string("\x01\0\0\0", 4)},
      {"k", "BSXO", "t"},
      {"odd", "ZZXQ", "\x09"},
      {"k", "I4XO", std::string("\x02\0\0\0", 4)},
  };
  for (size_t i = 0; i < entries.size(); ++i) {
    EXPECT_EQ((std::vector<std::string>{entries[i].key, entries[i].type, entries[i].data}), expected[i]) << i;
  }
}

// ---- malformed records -------------------------------------------------------------------------

struct MalformedCase {
  const char* what;
  Bytes record;
  std::function<void(ToolStateReader&)> read;
  Reason reason;
};

TEST(ToolStateMalformed, EachMalformedRecordThrowsWithItsReason) {
  const std::vector<MalformedCase> cases = {
      {"a key longer than 4096 bytes",
       RecordBuilder().Head().Raw("LETH").U32(12 + 4097).Raw("I4XO").U32(4097).Raw(std::string(4097, 'k')).U32(4).U32(1).End().Get(),
       [](ToolStateReader& r) { r.ReadInt("k"); }, Reason::kKeyTooLong},
      {"a key length far beyond the data", RecordBuilder().Head().Raw("LETH").U32(12).Raw("I4XO").U32(0xFFFFFFFF).Get(),
       [](ToolStateReader& r) {
         std::string text;
         r.ReadText("x", text);
       },
       Reason::kKeyTooLong},
      {"a long key ahead of the wanted one",
       RecordBuilder().Head().Raw("LETH").U32(12).Raw("BSXO").U32(5000).Raw(std::string(5000, 'a')).U32(0).Int("k", 1).End().Get(),
       [](ToolStateReader& r) { r.ReadInt("k"); }, Reason::kKeyTooLong},
      {"an integer of 2 bytes", RecordBuilder().Head().Entry("I4XO", "k", {1, 2}).End().Get(),
       [](ToolStateReader& r) { r.ReadInt("k"); }, Reason::kIntegerSize},
      {"an integer of 8 bytes", RecordBuilder().Head().Entry("I4XO", "k", {1, 2, 3, 4, 5, 6, 7, 8}).End().Get(),
       [](ToolStateReader& r) { r.ReadFlag("k"); }, Reason::kIntegerSize},
      {"a missing block whose bytes are asked for", RecordBuilder().Head().Int("b", 1).End().Get(),
       [](ToolStateReader& r) {
         uint8_t buffer[4];
         r.ReadBlock("b", buffer, 4);
       },
       Reason::kMissingBlock},
      {"a missing block with a zero-size buffer", RecordBuilder().Head().End().Get(),
       [](ToolStateReader& r) {
         uint8_t buffer[1];
         r.ReadBlock("b", buffer, 0);
       },
       Reason::kMissingBlock},
      {"an integer cut short", RecordBuilder().Head().Int("k", 1).Cut(2).Get(),
       [](ToolStateReader& r) { r.ReadInt("k"); }, Reason::kTruncated},
      {"a text claiming 4 GiB", RecordBuilder().Head().Raw("LETH").U32(13).Raw("BSXO").U32(1).Raw("t").U32(0xFFFFFFFF).Raw("abc").Get(),
       [](ToolStateReader& r) {
         std::string text;
         r.ReadText("t", text);
       },
       Reason::kTruncated},
      {"a block size that is not there is not reported",
       RecordBuilder().Head().Raw("LETH").U32(13).Raw("I0XA").U32(1).Raw("b").U32(0x7FFFFFFF).Raw("abc").Get(),
       [](ToolStateReader& r) { r.ReadBlock("b", nullptr, 0); }, Reason::kTruncated},
      {"data pushed past the end by a large block size",
       RecordBuilder().Head().Raw("LETH").U32(0xFFFFFF00).Raw("I4XO").U32(1).Raw("k").U32(4).U32(1).Get(),
       [](ToolStateReader& r) { r.ReadInt("k"); }, Reason::kTruncated},
      {"listing a record whose last entry is cut short", RecordBuilder().Head().Int("a", 1).Text("t", "abc").Cut(1).Get(),
       [](ToolStateReader& r) { r.ListEntries(); }, Reason::kTruncated},
      {"listing a record with a long key", RecordBuilder().Head().Raw("LETH").U32(12).Raw("I4XO").U32(4097).Get(),
       [](ToolStateReader& r) { r.ListEntries(); }, Reason::kKeyTooLong},
  };
  for (const MalformedCase& c : cases) {
    MemoryToolStateStream stream(c.record);
    ToolStateReader reader = ReaderOver(stream);
    try {
      c.read(reader);
      ADD_FAILURE() << c.what << ": nothing was thrown";
    } catch (const ToolStateFormatError& error) {
      EXPECT_EQ(error.reason(), c.reason) << c.what;
      EXPECT_STREQ(error.what(), kMalformedToolState) << c.what;
    }
  }
}

TEST(ToolStateMalformed, AKeyOfExactly4096BytesIsFine) {
  const std::string key(4096, 'q');
  MemoryToolStateStream stream(RecordBuilder().Head().Int(key, 42).End().Get());
  ToolStateReader reader = ReaderOver(stream);
  EXPECT_EQ(reader.ReadInt(key), 42);
}

TEST(ToolStateMalformed, TheToolKeepsWhatItReadBeforeTheMalformedEntry) {
  MemoryToolStateStream stream(
      RecordBuilder().Head().Int("a", 5).Entry("I4XO", "b", {1, 2}).Int("c", 6).End().Get());
  int32_t a = 0, b = -1, c = -1;
  ScriptedTool tool;
  tool.load = [&](ToolStateReader& r, bool) {
    a = r.ReadInt("a");
    b = r.ReadInt("b");
    c = r.ReadInt("c");
    return 0;
  };
  EXPECT_THROW(ReadToolState(stream, tool, false), ToolStateFormatError);
  EXPECT_EQ(a, 5);
  EXPECT_EQ(b, -1);
  EXPECT_EQ(c, -1);
}

// ---- ReadToolState -----------------------------------------------------------------------------

TEST(ToolStateLoad, TheToolGetsThePasteChoiceAndItsResultIsReturned) {
  MemoryToolStateStream stream(RecordBuilder().Head().End().Get());
  ScriptedTool tool;
  std::optional<bool> seen;
  tool.load = [&](ToolStateReader&, bool paste) {
    seen = paste;
    return paste ? 7 : -1;
  };
  EXPECT_EQ(ReadToolState(stream, tool, true), 7);
  EXPECT_EQ(seen, true);
  ASSERT_TRUE(stream.Seek(0));
  EXPECT_EQ(ReadToolState(stream, tool, false), -1);
  EXPECT_EQ(seen, false);
}

TEST(ToolStateLoad, AnUnusableHeaderIsNotHandedToTheTool) {
  MemoryToolStateStream stream(RecordBuilder().Magic().Version().Size(0).Raw("XCLR").U32(0).Int("a", 1).End().Get());
  ScriptedTool tool;
  tool.load = [](ToolStateReader&, bool) { return 0; };
  EXPECT_EQ(ReadToolState(stream, tool, false), -1);
  EXPECT_EQ(tool.loads, 0);
}

// ---- streams -----------------------------------------------------------------------------------

TEST(ToolStateStreams, MemoryStreamsOverwriteExtendAndReadNothingPastTheEnd) {
  MemoryToolStateStream stream(ToBytes("abcd"));
  ASSERT_TRUE(stream.Seek(2));
  ASSERT_TRUE(stream.Write("XYZ", 3));
  EXPECT_EQ(stream.Bytes(), ToBytes("abXYZ"));
  ASSERT_TRUE(stream.Seek(7));
  ASSERT_TRUE(stream.Write("!", 1));
  EXPECT_EQ(stream.Bytes(), (Bytes{'a', 'b', 'X', 'Y', 'Z', 0, 0, '!'}));
  EXPECT_EQ(stream.Length(), 8);
  ASSERT_TRUE(stream.Seek(20));
  char c;
  EXPECT_EQ(stream.Read(&c, 1), 0u);
  EXPECT_FALSE(stream.Seek(-1));
  EXPECT_EQ(stream.Position(), 20);
}

// ---- the ".vpo" file ---------------------------------------------------------------------------

class ToolStateFile : public test::FolderTest {};

TEST_F(ToolStateFile, SavingWritesTheFirstLineAndThenTheRecord) {
  ScriptedTool tool;
  tool.className = "Pen";
  tool.save = [](ToolStateWriter& w) { w.WriteInt("a", 1); };
  const std::string path = PathOf("pen.vpo");
  ASSERT_EQ(SaveToolStateFile(path, "Pen", tool), 0);
  const Bytes expected = RecordBuilder().Raw("Varnel.Embedded.Pen\n").Magic().Version().Size(48).Class("Pen").Int("a", 1).End().Get();
  EXPECT_EQ(ReadFile(path), expected);
  EXPECT_EQ(FolderEntries(), std::vector<std::string>{"pen.vpo"});
}

TEST_F(ToolStateFile, AJapaneseToolNameIsWrittenInCodePage932AndReadBackAsUtf8) {
  ScriptedTool tool;
  tool.className = "CBrushTool";
  tool.save = [](ToolStateWriter& w) { w.WriteText("Font", "明朝"); };
  const std::string path = PathOf("brush.vpo");
  ASSERT_EQ(SaveToolStateFile(path, "ブラシ", tool), 0);
  const Bytes file = ReadFile(path);
  const Bytes line(file.begin(), file.begin() + 23);
  EXPECT_EQ(line, RecordBuilder().Raw("Varnel.Embedded.\x83\x75\x83\x89\x83\x56\n").Get());

  std::string asked, font;
  ScriptedTool loader;
  loader.load = [&](ToolStateReader& r, bool paste) {
    EXPECT_FALSE(paste);
    EXPECT_EQ(r.ClassName(), "CBrushTool");
    r.ReadText("Font", font);
    return 0;
  };
  std::string toolName, message;
  const int32_t status = LoadToolStateFile(
      path,
      [&](const std::string& name) -> ToolStateObject* {
        asked = name;
        return &loader;
      },
      toolName, message);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(message, "");
  EXPECT_EQ(toolName, "ブラシ");
  EXPECT_EQ(asked, "ブラシ");
  EXPECT_EQ(font, "明朝");
}

TEST_F(ToolStateFile, SavingReplacesAnExistingFileAndLeavesNothingElse) {
  const std::string path = WriteFile("old.vpo", Bytes(100, 'x'));
  ScriptedTool tool;
  ASSERT_EQ(SaveToolStateFile(path, "T", tool), 0);
  EXPECT_EQ(ReadFile(path), RecordBuilder().Raw("Varnel.Embedded.T\n").Magic().Version().Size(4 + 8 + 4 + 8).Class("Tool").End().Get());
  EXPECT_EQ(FolderEntries(), std::vector<std::string>{"old.vpo"});
}

TEST_F(ToolStateFile, AFailedSaveLeavesTheOldFileAndNoTemporaryBehind) {
  const std::string path = WriteFile("keep.vpo", ToBytes("old"));
  ScriptedTool tool;
  tool.save = [](ToolStateWriter& w) { w.WriteInt(std::string(5000, 'k'), 1); };
  EXPECT_EQ(SaveToolStateFile(path, "T", tool), -1);
  EXPECT_EQ(SaveToolStateFile(PathOf("line.vpo"), "a\nb", tool), -1);
  EXPECT_EQ(SaveToolStateFile(PathOf("cr.vpo"), "a\rb", tool), -1);
  EXPECT_EQ(SaveToolStateFile(PathOf("missing/x.vpo"), "T", tool), -1);
  EXPECT_EQ(ReadFile(path), ToBytes("old"));
  EXPECT_EQ(FolderEntries(), std::vector<std::string>{"keep.vpo"});
}

TEST_F(ToolStateFile, ASaveThatThrowsRemovesItsTemporary) {
  ScriptedTool tool;
  tool.save = [](ToolStateWriter&) { throw std::bad_alloc(); };
  EXPECT_THROW(SaveToolStateFile(PathOf("t.vpo"), "T", tool), std::bad_alloc);
  EXPECT_TRUE(FolderEntries().empty());
}

struct LineCase {
  const char* what;
  Bytes file;
  int32_t status;
  std::string toolName;
  std::string message;
  int loads;
};

TEST_F(ToolStateFile, LoadingChecksTheFirstLineTheToolAndTheRecord) {
  const Bytes record = RecordBuilder().Head().Int("v", 9).End().Get();
  auto withLine = [&](std::string_view line) { return RecordBuilder().Raw(line).Raw(record).Get(); };
  const std::string unsupported = kUnsupportedObjectFormat;
  const std::vector<LineCase> cases = {
      {"a good file", withLine("Varnel.Embedded.Pen\n"), 0, "Pen", "", 1},
      {"a carriage return before the line feed is dropped", withLine("Varnel.Embedded.Pen\r\n"), 0, "Pen", "", 1},
      {"another prefix", withLine("Varnel.Embedde.Pen\n"), -1, "", unsupported, 0},
      {"the prefix in other case", withLine("varnel.embedded.Pen\n"), -1, "", unsupported, 0},
      {"a bare record is no tool state file", record, -1, "", unsupported, 0},
      {"an empty file", Bytes{}, -1, "", unsupported, 0},
      {"a tool nobody knows", withLine("Varnel.Embedded.Nobody\n"), -1, "Nobody", unsupported, 0},
      {"a good line without a usable record", RecordBuilder().Raw("Varnel.Embedded.Pen\nVNCO").Get(), -1, "Pen",
       unsupported, 0},
      {"a line without a line feed", RecordBuilder().Raw("Varnel.Embedded.Pen").Get(), -1, "Pen", unsupported, 0},
      {"a malformed record", RecordBuilder().Raw("Varnel.Embedded.Pen\n").Head().Entry("I4XO", "v", {1}).End().Get(), -1,
       "Pen", kMalformedToolState, 1},
      {"a line reaching its feed within 4096 bytes",
       withLine("Varnel.Embedded.Pen" + std::string(4096 - 20, ' ') + "\n"), 0,
       "Pen" + std::string(4096 - 20, ' '), "", 1},
      {"a line of 4096 bytes before its feed",
       withLine("Varnel.Embedded.Pen" + std::string(4096 - 19, ' ') + "\n"), -1, "", unsupported, 0},
  };
  for (const LineCase& c : cases) {
    const std::string path = WriteFile("case.vpo", c.file);
    ScriptedTool pen;
    int32_t v = 0;
    pen.load = [&](ToolStateReader& r, bool) {
      v = r.ReadInt("v");
      return 0;
    };
    std::string toolName = "stale", message = "stale";
    const int32_t status = LoadToolStateFile(
        path, [&](const std::string& name) -> ToolStateObject* { return name.starts_with("Pen") ? &pen : nullptr; },
        toolName, message);
    EXPECT_EQ(status, c.status) << c.what;
    EXPECT_EQ(toolName, c.toolName) << c.what;
    EXPECT_EQ(message, c.message) << c.what;
    EXPECT_EQ(pen.loads, c.loads) << c.what;
    if (c.status == 0) {
      EXPECT_EQ(v, 9) << c.what;
    }
  }
}

TEST_F(ToolStateFile, TheToolsResultIsTheLoadResult) {
  const std::string path = WriteFile("r.vpo", RecordBuilder().Raw("Varnel.Embedded.X\n").Head().End().Get());
  ScriptedTool tool;
  tool.load = [](ToolStateReader&, bool) { return -1; };
  std::string toolName, message;
  EXPECT_EQ(LoadToolStateFile(path, [&](const std::string&) { return &tool; }, toolName, message), -1);
  EXPECT_EQ(message, "");
}

TEST_F(ToolStateFile, AMissingFileCannotBeOpened) {
  std::string toolName = "stale", message;
  bool asked = false;
  EXPECT_EQ(LoadToolStateFile(
                PathOf("none.vpo"),
                [&](const std::string&) -> ToolStateObject* {
                  asked = true;
                  return nullptr;
                },
                toolName, message),
            -1);
  EXPECT_EQ(message, kToolStateCannotOpen);
  EXPECT_EQ(toolName, "");
  EXPECT_FALSE(asked);
}

TEST(ToolStateFileInMemory, AFileHeldInMemoryLoadsLikeOneOnDisk) {
  ScriptedTool writerTool;
  writerTool.save = [](ToolStateWriter& w) { w.WriteInt("n", -40); };
  MemoryToolStateStream stream;
  const std::string line = "Varnel.Embedded.Net\n";
  ASSERT_TRUE(stream.Write(line.data(), line.size()));
  ASSERT_EQ(WriteToolState(stream, writerTool), 0);
  ASSERT_TRUE(stream.Seek(0));

  int32_t n = 0;
  ScriptedTool reader;
  reader.load = [&](ToolStateReader& r, bool) {
    n = r.ReadInt("n");
    return 0;
  };
  std::string toolName, message;
  EXPECT_EQ(LoadToolStateFile(stream, [&](const std::string&) { return &reader; }, toolName, message), 0);
  EXPECT_EQ(toolName, "Net");
  EXPECT_EQ(n, -40);
}

}  // namespace
}  // namespace varnel
