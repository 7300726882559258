// Feeds arbitrary bytes to the shape definition file reader (from memory and from a file) and to
// the shape record reader (from text, from a stream and from a tool state record). Only the
// format error may leave the file reader; whatever either reader accepts must keep every field
// in its range and write and read back the same.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "document/file_io.h"
#include "document/tool_state.h"
#include "fuzz/fuzz_files.h"
#include "tools/shape_file.h"

namespace {

[[noreturn]] void Fail(const char* what) { fuzz::Fail("shape_file_fuzz", what); }

bool InUnitRange(const varnel::ShapeVertex& v) {
  return v.x >= 0 && v.x <= 1 && v.y >= 0 && v.y <= 1 && v.w >= 0 && v.w <= 1 && v.flag == 0;
}

// Six decimals are written: a value comes back within half a millionth.
bool NearVertex(const varnel::ShapeVertex& a, const varnel::ShapeVertex& b) {
  return std::fabs(a.x - b.x) <= 5.01e-7 && std::fabs(a.y - b.y) <= 5.01e-7 && std::fabs(a.w - b.w) <= 5.01e-7 &&
         a.flag == b.flag;
}

bool NearAngle(double a, double b) { return std::fabs(a - b) <= 5.01e-7 + std::fabs(a) * 1e-15; }

void CheckShapeFile(std::string_view text, const std::string& file) {
  varnel::ShapeDefinition definition;
  definition.type = 5;
  bool read = true;
  try {
    varnel::ParseShapeFile(text, definition);
  } catch (const varnel::ShapeFormatError&) {
    read = false;
  }
  varnel::ShapeDefinition fromFile;
  fromFile.type = 5;
  bool readFromFile = true;
  try {
    varnel::ReadShapeFile(file, fromFile);
  } catch (const varnel::ShapeFormatError&) {
    readFromFile = false;
  } catch (const varnel::FileError&) {
    Fail("cannot read the input file");
  }
  if (read != readFromFile || !(fromFile == definition)) Fail("the file and the text read differently");
  if (!read) {
    if (definition.type != 5 || !definition.vertices.empty()) Fail("a refused file changed the definition");
    return;
  }
  if (definition.vertices.size() > text.size()) Fail("more vertices than bytes");
  for (const varnel::ShapeVertex& v : definition.vertices) {
    if (!InUnitRange(v)) Fail("a vertex outside the unit range");
  }
  varnel::ShapeDefinition again;
  varnel::ParseShapeFile(varnel::FormatShapeFile(definition), again);
  if (again.type != definition.type || again.vertices.size() != definition.vertices.size()) {
    Fail("a written shape reads back differently");
  }
  for (size_t i = 0; i < again.vertices.size(); ++i) {
    if (!NearVertex(again.vertices[i], definition.vertices[i])) Fail("a vertex reads back differently");
  }
}

void CheckRecordFields(const varnel::ShapeRecord& r) {
  if (!r.hasShape) Fail("a record read is not marked as a shape");
  if (r.width < 0 || r.width > varnel::kShapeMaxSize || r.height < 0 || r.height > varnel::kShapeMaxSize) {
    Fail("a size outside its range");
  }
  if (r.round < 0 || r.round > varnel::kShapeMaxRound) Fail("a rounding outside its range");
  if (!std::isfinite(r.theta)) Fail("an angle that is not finite");
  if (r.vertices.size() > static_cast<size_t>(varnel::kShapeMaxRecordVertices)) Fail("too many vertices");
  for (const varnel::ShapeVertex& v : r.vertices) {
    if (!InUnitRange(v)) Fail("a vertex outside the unit range");
  }
}

bool SameRecord(const varnel::ShapeRecord& a, const varnel::ShapeRecord& b) {
  if (a.left != b.left || a.top != b.top || a.width != b.width || a.height != b.height || a.joinMode != b.joinMode ||
      a.round != b.round || !NearAngle(a.theta, b.theta) || a.hasShape != b.hasShape ||
      a.vertices.size() != b.vertices.size()) {
    return false;
  }
  for (size_t i = 0; i < a.vertices.size(); ++i) {
    if (!NearVertex(a.vertices[i], b.vertices[i])) return false;
  }
  return true;
}

class RecordTool : public varnel::ToolStateObject {
 public:
  varnel::ShapeRecord record;
  bool loaded = false;
  std::string ToolClassName() const override { return "CShapeTool"; }
  void SaveState(varnel::ToolStateWriter& writer) override {
    varnel::WriteShapeRecord(writer, varnel::kShapeDrawKey, record);
  }
  int32_t LoadState(varnel::ToolStateReader& reader, bool) override {
    loaded = varnel::ReadShapeRecord(reader, varnel::kShapeDrawKey, record);
    return 0;
  }
};

void CheckShapeRecord(std::string_view text) {
  varnel::ShapeRecord record;
  record.left = 3;
  const varnel::ShapeRecord before = record;
  size_t consumed = 0;
  const bool read = varnel::ParseShapeRecord(varnel::kShapeDrawKey, text, record, &consumed);
  if (consumed > text.size()) Fail("took more than the text");

  // A stream over the same bytes reads the same record and stops where the text reader did.
  varnel::MemoryToolStateStream stream(text.data(), text.size());
  varnel::ShapeRecord fromStream = before;
  if (varnel::ReadShapeRecord(stream, varnel::kShapeDrawKey, fromStream) != read || !(fromStream == record)) {
    Fail("a stream and a text read differently");
  }
  if (stream.Position() != static_cast<int64_t>(consumed)) Fail("a stream stopped elsewhere than the text");

  if (!read) {
    if (!(record == before)) Fail("a rejected record changed");
    return;
  }
  CheckRecordFields(record);

  varnel::ShapeRecord again;
  if (!varnel::ParseShapeRecord(varnel::kShapeFillKey, varnel::FormatShapeRecord(record), again) ||
      !SameRecord(again, record)) {
    Fail("a written record reads back differently");
  }

  RecordTool writer;
  writer.record = record;
  varnel::MemoryToolStateStream state;
  if (varnel::WriteToolState(state, writer) != 0 || !state.Seek(0)) Fail("cannot write a tool state");
  RecordTool reader;
  if (varnel::ReadToolState(state, reader, false) != 0 || !reader.loaded || !SameRecord(reader.record, record)) {
    Fail("a record in a tool state reads back differently");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const fuzz::ScratchFiles files("shape_file_fuzz");
  const fuzz::RemoveAfterInput cleanup{files};
  files.WriteInput(data, size);
  const std::string& file = files.input;

  const std::string_view text(reinterpret_cast<const char*>(data), size);
  CheckShapeFile(text, file);
  CheckShapeRecord(text);
  return 0;
}
