#include <gtest/gtest.h>

#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/commands.h"
#include "cli/tool_state_dump.h"
#include "document/tool_state.h"
#include "tests/support/folder_test.h"

namespace varnel::cli {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

struct Result {
  int status;
  std::string out;
  std::string err;
};

// Builds records byte by byte.
class RecordBuilder {
 public:
  RecordBuilder& Raw(std::string_view text) {
    m_bytes.insert(m_bytes.end(), text.begin(), text.end());
    return *this;
  }
  RecordBuilder& U32(uint32_t v) {
    for (int i = 0; i < 4; ++i) m_bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
    return *this;
  }
  RecordBuilder& Head(std::string_view name) {
    return Raw(std::string_view("VNCO\r\n", 6)).Raw("VERS").U32(4).U32(100).Raw("CLSZ").U32(4).U32(0).Raw("LCLR")
        .U32(static_cast<uint32_t>(name.size())).Raw(name);
  }
  RecordBuilder& Entry(std::string_view type, std::string_view key, std::string_view data) {
    return Raw("LETH").U32(12 + static_cast<uint32_t>(key.size())).Raw(type).U32(static_cast<uint32_t>(key.size()))
        .Raw(key).U32(static_cast<uint32_t>(data.size())).Raw(data);
  }
  RecordBuilder& End() { return Raw("ECLR").U32(0); }
  const Bytes& Get() const { return m_bytes; }

 private:
  Bytes m_bytes;
};

class ToolStateDump : public test::FolderTest {
 protected:
  static Result Dump(const std::string& path) {
    std::ostringstream out, err;
    const Invocation call{"dump", {path}, out, err};
    const int status = DumpToolState(call, path);
    return {status, out.str(), err.str()};
  }
};

// -3, "あ" in code page 932, three raw bytes and a type nobody reads.
const Bytes kEveryKind = RecordBuilder()
                             .Head("Pen")
                             .Entry("I4XO", "size", std::string_view("\xFD\xFF\xFF\xFF", 4))
                             .Entry("BSXO", "name", "\x82\xA0")
                             .Entry("I0XA", "raw", std::string_view("\x00\xFF\x10", 3))
                             .Entry("ZZXO", "odd", "\x01\x02")
                             .End()
                             .Get();

const char* const kEveryKindJson =
    R"({"tool":"","class":"Pen","entries":[{"key":"size","type":"I4XO","value":-3},)"
    R"({"key":"name","type":"BSXO","value":"あ"},{"key":"raw","type":"I0XA","value":"00ff10"},)"
    R"({"key":"odd","type":"ZZXO","value":"0102"}]})"
    "\n";

TEST_F(ToolStateDump, ARecordListsEveryEntryByItsType) {
  const Result r = Dump(WriteFile("every.bin", kEveryKind));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, kEveryKindJson);
  EXPECT_EQ(r.err, "");
}

struct DumpCase {
  const char* what;
  Bytes file;
  std::string json;
};

TEST_F(ToolStateDump, EachFileShowsItsToolClassAndEntriesInFileOrder) {
  const std::string_view brush = "\x83\x75\x83\x89\x83\x56";  // ブラシ in code page 932
  const std::vector<DumpCase> cases = {
      {"a tool state file with a Japanese tool name, duplicates and an empty text",
       RecordBuilder()
           .Raw("Varnel.Embedded.")
           .Raw(brush)
           .Raw("\r\n")
           .Head(brush)
           .Entry("I4XO", "Alpha", std::string_view("\x00\x01\x00\x00", 4))
           .Entry("I4XO", "Alpha", std::string_view("\x07\x00\x00\x00", 4))
           .Entry("BSXO", "Font", "")
           .End()
           .Get(),
       R"({"tool":"ブラシ","class":"ブラシ","entries":[{"key":"Alpha","type":"I4XO","value":256},)"
       R"({"key":"Alpha","type":"I4XO","value":7},{"key":"Font","type":"BSXO","value":""}]})"},
      {"an empty class and no entries", RecordBuilder().Head("").End().Get(), R"({"tool":"","class":"","entries":[]})"},
      {"the extremes of a signed integer",
       RecordBuilder()
           .Head("T")
           .Entry("I4XO", "max", std::string_view("\xFF\xFF\xFF\x7F", 4))
           .Entry("I4XO", "min", std::string_view("\x00\x00\x00\x80", 4))
           .End()
           .Get(),
       R"({"tool":"","class":"T","entries":[{"key":"max","type":"I4XO","value":2147483647},)"
       R"({"key":"min","type":"I4XO","value":-2147483648}]})"},
      {"the other flag letter makes bytes of integers and text",
       RecordBuilder().Head("T").Entry("I4XA", "i", "\x01\x02").Entry("BSXA", "s", "ab").End().Get(),
       R"({"tool":"","class":"T","entries":[{"key":"i","type":"I4XA","value":"0102"},)"
       R"({"key":"s","type":"BSXA","value":"6162"}]})"},
      {"unknown blocks are passed over and nothing after the end block is listed",
       RecordBuilder().Head("T").Raw("JUNK").U32(2).Raw("zz").Entry("BSXO", "a", "x").End().Entry("BSXO", "b", "y").Get(),
       R"({"tool":"","class":"T","entries":[{"key":"a","type":"BSXO","value":"x"}]})"},
      {"a record without an end block lists what it holds",
       RecordBuilder().Head("T").Entry("I0XA", "b", "").Get(),
       R"({"tool":"","class":"T","entries":[{"key":"b","type":"I0XA","value":""}]})"},
      {"text that needs escaping", RecordBuilder().Head("T").Entry("BSXO", "q", "a\"b\n").End().Get(),
       R"({"tool":"","class":"T","entries":[{"key":"q","type":"BSXO","value":"a\"b\n"}]})"},
      {"bytes that are no text become replacement characters",
       RecordBuilder().Head("T").Entry("BSXO", "\x82", "\x82").End().Get(),
       R"({"tool":"","class":"T","entries":[{"key":"�","type":"BSXO","value":"�"}]})"},
  };
  for (const DumpCase& c : cases) {
    const Result r = Dump(WriteFile("case.vpo", c.file));
    EXPECT_EQ(r.status, 0) << c.what;
    EXPECT_EQ(r.out, c.json + "\n") << c.what;
    EXPECT_EQ(r.err, "") << c.what;
  }
}

struct FailCase {
  const char* what;
  Bytes file;
  std::string message;
};

TEST_F(ToolStateDump, BadFilesFailWithOneMessageAndNoOutput) {
  const std::string malformed = kMalformedToolState;
  const std::string unsupported = kUnsupportedObjectFormat;
  const std::vector<FailCase> cases = {
      {"a key longer than 4096 bytes",
       RecordBuilder().Head("T").Raw("LETH").U32(12).Raw("I4XO").U32(4097).Raw(std::string(4097, 'k')).U32(0).End().Get(),
       malformed},
      {"an integer of three bytes", RecordBuilder().Head("T").Entry("I4XO", "i", "abc").End().Get(), malformed},
      {"an entry cut short", RecordBuilder().Head("T").Raw("LETH").U32(13).Raw("BSXO").U32(1).Raw("t").U32(9).Raw("ab").Get(),
       malformed},
      {"data claimed far beyond the file",
       RecordBuilder().Head("T").Raw("LETH").U32(13).Raw("I0XA").U32(1).Raw("b").U32(0xFFFFFFFF).Get(), malformed},
      {"a wrong magic", RecordBuilder().Raw("VNCX\r\n").Get(), unsupported},
      {"a third block that is not the class", RecordBuilder()
           .Raw(std::string_view("VNCO\r\n", 6))
           .Raw("VERS").U32(4).U32(100)
           .Raw("CLSZ").U32(4).U32(0)
           .Raw("LCLX").U32(1).Raw("T")
           .Get(),
       unsupported},
      {"a tool state file line without a record", RecordBuilder().Raw("Varnel.Embedded.Pen\n").Get(), unsupported},
      {"a first line of another kind", RecordBuilder().Raw("hello\n").Head("T").End().Get(), unsupported},
  };
  for (const FailCase& c : cases) {
    const Result r = Dump(WriteFile("bad.vpo", c.file));
    EXPECT_EQ(r.status, 1) << c.what;
    EXPECT_EQ(r.out, "") << c.what;
    EXPECT_EQ(r.err, "varnel-cli: " + c.message + "\n") << c.what;
  }
}

TEST_F(ToolStateDump, AMissingFileCannotBeOpened) {
  const Result r = Dump(m_folder.File("none.vpo"));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "varnel-cli: ファイルを開けません\n");
}

struct LooksCase {
  const char* what;
  Bytes file;
  bool toolState;
};

TEST_F(ToolStateDump, ToolStatesAreRecognisedByTheirFirstBytes) {
  const std::vector<LooksCase> cases = {
      {"a record", kEveryKind, true},
      {"a tool state file", RecordBuilder().Raw("Varnel.Embedded.Pen\n").Get(), true},
      {"a record magic alone", RecordBuilder().Raw(std::string_view("VNCO\r\n", 6)).Get(), true},
      {"a magic with a bare line feed", RecordBuilder().Raw("VNCO\n").Get(), false},
      {"the prefix cut short", RecordBuilder().Raw("Varnel.Embedded").Get(), false},
      {"a region file", RecordBuilder().Raw("VRDB").U32(0).Get(), false},
      {"an empty file", Bytes{}, false},
  };
  for (const LooksCase& c : cases) {
    EXPECT_EQ(LooksLikeToolState(WriteFile("look", c.file)), c.toolState) << c.what;
  }
  EXPECT_FALSE(LooksLikeToolState(m_folder.File("none")));
}

struct RunCase {
  const char* what;
  Bytes file;
  int status;
  std::string out;
  std::string err;
};

TEST_F(ToolStateDump, TheDumpCommandDescribesRecordsAndToolStateFiles) {
  const std::vector<RunCase> cases = {
      {"a bare record", kEveryKind, 0, kEveryKindJson, ""},
      {"a tool state file",
       RecordBuilder().Raw("Varnel.Embedded.Pen\n").Head("CPen").Entry("I4XO", "w", std::string_view("\x05\0\0\0", 4)).End().Get(),
       0, R"({"tool":"Pen","class":"CPen","entries":[{"key":"w","type":"I4XO","value":5}]})" "\n", ""},
      {"a malformed record", RecordBuilder().Head("T").Entry("I4XO", "i", "ab").End().Get(), 1, "",
       std::string("varnel-cli: ") + kMalformedToolState + "\n"},
      {"a tool state file without a record", RecordBuilder().Raw("Varnel.Embedded.Pen\n").Get(), 1, "",
       std::string("varnel-cli: ") + kUnsupportedObjectFormat + "\n"},
  };
  for (const RunCase& c : cases) {
    const std::vector<std::string> args = {"dump", WriteFile("run.vpo", c.file)};
    std::ostringstream out, err;
    EXPECT_EQ(varnel::cli::Run(args, out, err), c.status) << c.what;
    EXPECT_EQ(out.str(), c.out) << c.what;
    EXPECT_EQ(err.str(), c.err) << c.what;
  }
}

}  // namespace
}  // namespace varnel::cli
