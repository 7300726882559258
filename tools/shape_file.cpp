#include "tools/shape_file.h"

#include <algorithm>
#include <cerrno>
#include <cmath>

#include "document/text_file.h"
#include "document/file_io.h"
#include "document/tool_state.h"
#include "platform/program_folder.h"

namespace varnel {
namespace {

constexpr std::string_view kVertexDataKeyword = "[VERTEXDATA]";
constexpr std::string_view kJoinModeKeyword = "[JOINMODE]";
constexpr std::string_view kVertexCountKeyword = "[VERTEXCOUNT]";
constexpr std::string_view kTypeKeyword = "[TYPE]";
constexpr std::string_view kWrittenVersion = "1.1";
constexpr std::string_view kWrittenJoinMode = "BEVEL";
// Below this count the reader makes room for the vertices before it reads them.
constexpr int64_t kShapeReserveLimit = 256;

enum class Keyword { kHeader, kVertexData, kJoinMode, kVersion, kVertexCount, kType, kNone };

// Tried in this order, each as a prefix of the line.
constexpr std::pair<std::string_view, Keyword> kKeywords[] = {
    {kShapeFileHeader, Keyword::kHeader},         {kVertexDataKeyword, Keyword::kVertexData},
    {kJoinModeKeyword, Keyword::kJoinMode},       {kShapeFileVersion, Keyword::kVersion},
    {kVertexCountKeyword, Keyword::kVertexCount}, {kTypeKeyword, Keyword::kType},
};

constexpr std::string_view kRecordVersion = "ver.1";
constexpr std::string_view kTopLeftLabel = "TOPLEFT.";
constexpr std::string_view kSizeLabel = "SIZE.";
constexpr std::string_view kJoinModeLabel = "JOINMODE.";
constexpr std::string_view kRoundLabel = "ROUND.";
constexpr std::string_view kThetaLabel = "THETA.";
constexpr std::string_view kBeginDataLabel = "BEGINDATA.";
constexpr std::string_view kEndData = "ENDDATA.0";

// Pieces in which a record is read from a stream.
constexpr size_t kStreamPiece = 4096;

Keyword Classify(std::string_view line) {
  for (const auto& [word, keyword] : kKeywords) {
    if (line.starts_with(word)) return keyword;
  }
  return Keyword::kNone;
}

// 0 … 1; a NaN, which no comparison lets through, becomes 0.
double Clamp01(double v) {
  if (!(v >= 0.0)) return 0.0;
  return v > 1.0 ? 1.0 : v;
}

// The text after a line's fixed-length label, whatever the label says.
std::string_view AfterLabel(std::string_view line, std::string_view label) {
  return line.substr(std::min(label.size(), line.size()));
}

// "%d" into an existing field: left as it was when the text holds no number.
bool ScanField(std::string_view& in, int32_t& field) {
  int64_t v = 0;
  if (!text::ScanInt(in, v)) return false;
  field = text::SaturateInt32(v);
  return true;
}

// "%d,%d" into two fields.
void ScanPair(std::string_view in, int32_t& first, int32_t& second) {
  if (ScanField(in, first) && text::ScanLiteral(in, ',')) ScanField(in, second);
}

// "(%lf,%lf,%lf)".
ShapeVertex ScanFileVertex(std::string_view in) {
  double v[3] = {0, 0, 0};
  if (text::ScanLiteral(in, '(')) {
    for (int i = 0; i < 3; ++i) {
      if ((i > 0 && !text::ScanLiteral(in, ',')) || !text::ScanDouble(in, v[i])) break;
    }
  }
  return {Clamp01(v[0]), Clamp01(v[1]), Clamp01(v[2]), 0};
}

// "%lf %lf %lf %d"; the flag is read and dropped.
ShapeVertex ScanRecordVertex(std::string_view in) {
  double v[3] = {0, 0, 0};
  int i = 0;
  for (; i < 3; ++i) {
    if (!text::ScanDouble(in, v[i])) break;
  }
  if (i == 3) {
    int64_t flag = 0;
    text::ScanInt(in, flag);
  }
  return {Clamp01(v[0]), Clamp01(v[1]), Clamp01(v[2]), 0};
}

// The lines of a text, counting how much of it has been taken.
class TextLines {
 public:
  explicit TextLines(std::string_view text) : m_text(text) {}
  bool Next(std::string_view& line) {
    if (m_taken >= m_text.size()) return false;
    const std::string_view rest = m_text.substr(m_taken);
    const size_t end = rest.find('\n');
    const size_t length = end == std::string_view::npos ? rest.size() : end + 1;
    line = text::CleanLine(rest.substr(0, length));
    m_taken += length;
    return true;
  }
  size_t Taken() const { return m_taken; }

 private:
  std::string_view m_text;
  size_t m_taken = 0;
};

// The lines of a stream from its position, read in pieces as they are needed so that a record
// in front of other data takes only its own lines. A line stays valid until the next call.
class StreamLines {
 public:
  explicit StreamLines(ToolStateStream& stream) : m_stream(stream) {}
  bool Next(std::string_view& line) {
    size_t end = m_buffer.find('\n', m_start);
    while (end == std::string::npos && !m_ended) {
      // Lines already handed out are dropped only when more bytes must come in.
      m_buffer.erase(0, m_start);
      m_start = 0;
      const size_t old = m_buffer.size();
      m_buffer.resize(old + kStreamPiece);
      const size_t got = m_stream.Read(m_buffer.data() + old, kStreamPiece);
      m_buffer.resize(old + got);
      if (got < kStreamPiece) m_ended = true;
      end = m_buffer.find('\n', old);
    }
    if (m_start >= m_buffer.size()) return false;
    const size_t length = (end == std::string::npos ? m_buffer.size() : end + 1) - m_start;
    line = text::CleanLine(std::string_view(m_buffer).substr(m_start, length));
    m_start += length;
    m_taken += length;
    return true;
  }
  uint64_t Taken() const { return m_taken; }

 private:
  ToolStateStream& m_stream;
  std::string m_buffer;
  size_t m_start = 0;  // first byte not yet handed out
  uint64_t m_taken = 0;
  bool m_ended = false;
};

template <class Lines>
bool ParseRecordLines(std::string_view key, Lines& lines, ShapeRecord& record) {
  if (!key.starts_with(kShapeRecordKeyPrefix)) return false;
  std::string_view line;
  if (!lines.Next(line) || line != kRecordVersion) return false;

  ShapeRecord read = record;
  if (!lines.Next(line)) return false;
  ScanPair(AfterLabel(line, kTopLeftLabel), read.left, read.top);

  if (!lines.Next(line)) return false;
  ScanPair(AfterLabel(line, kSizeLabel), read.width, read.height);
  read.width = std::clamp(read.width, 0, kShapeMaxSize);
  read.height = std::clamp(read.height, 0, kShapeMaxSize);

  if (!lines.Next(line)) return false;
  std::string_view value = AfterLabel(line, kJoinModeLabel);
  ScanField(value, read.joinMode);

  if (!lines.Next(line)) return false;
  value = AfterLabel(line, kRoundLabel);
  ScanField(value, read.round);
  if (read.round < 0) read.round = kShapeDefaultRound;
  if (read.round > kShapeMaxRound) read.round = kShapeMaxRound;

  if (!lines.Next(line)) return false;
  value = AfterLabel(line, kThetaLabel);
  text::ScanDouble(value, read.theta);
  // An infinite or NaN angle would turn every rotated vertex into NaN.
  if (!std::isfinite(read.theta)) read.theta = 0;

  if (!lines.Next(line)) return false;
  value = AfterLabel(line, kBeginDataLabel);
  int64_t count = 0;
  text::ScanInt(value, count);
  if (count < 0) return false;
  count = std::min<int64_t>(count, kShapeMaxRecordVertices);

  // Room grows with the lines that arrive, never with the count alone.
  read.vertices.clear();
  for (int64_t i = 0; i < count && lines.Next(line); ++i) read.vertices.push_back(ScanRecordVertex(line));
  lines.Next(line);  // "ENDDATA.0"
  read.hasShape = true;
  record = std::move(read);
  return true;
}

}  // namespace

// ---- shape definition file ------------------------------------------------------------------

std::string FormatShapeFile(const ShapeDefinition& definition) {
  std::string out;
  out.reserve(128 + definition.vertices.size() * 28);
  out += kShapeFileHeader;
  out += '\n';
  out += kShapeFileVersion;
  out += ' ';
  out += kWrittenVersion;
  out += '\n';
  out += kTypeKeyword;
  out += ' ' + std::to_string(definition.type) + '\n';
  out += kVertexCountKeyword;
  out += ' ' + std::to_string(definition.vertices.size()) + '\n';
  out += kJoinModeKeyword;
  out += ' ';
  out += kWrittenJoinMode;
  out += '\n';
  out += kVertexDataKeyword;
  out += '\n';
  for (const ShapeVertex& v : definition.vertices) {
    out += '(' + text::FormatFixed(v.x) + ',' + text::FormatFixed(v.y) + ',' + text::FormatFixed(v.w) + ")\n";
  }
  return out;
}

bool WriteShapeFile(const std::string& path, const ShapeDefinition& definition) {
  return text::WriteTextFile(path, FormatShapeFile(definition));
}

void ParseShapeFile(std::string_view contents, ShapeDefinition& definition) {
  text::LineSplitter lines(contents);
  std::string_view line;
  if (!lines.Next(line) || !line.starts_with(kShapeFileHeader)) throw ShapeFormatError();
  if (!lines.Next(line) || !line.starts_with(kShapeFileVersion)) throw ShapeFormatError();

  ShapeDefinition read;
  read.type = definition.type;
  int64_t count = 0;
  while (lines.Next(line)) {
    const Keyword keyword = Classify(line);
    if (keyword == Keyword::kNone) continue;
    const size_t bracket = line.find(']');
    std::string_view value = line.substr(bracket + 1);
    switch (keyword) {
      case Keyword::kVertexCount:
        text::ScanInt(value, count);
        if (count >= 0 && count < kShapeReserveLimit) read.vertices.reserve(static_cast<size_t>(count));
        break;
      case Keyword::kVertexData:
        // A count that the text cannot back ends with the text.
        for (int64_t i = 0; i < count && lines.Next(line); ++i) read.vertices.push_back(ScanFileVertex(line));
        break;
      case Keyword::kType:
        ScanField(value, read.type);
        break;
      default:
        break;
    }
  }
  definition = std::move(read);
}

void ReadShapeFile(const std::string& path, ShapeDefinition& definition) {
  std::string contents;
  if (!text::ReadTextFile(path, contents)) throw FileError(path, errno);
  ParseShapeFile(contents, definition);
}

// ---- shape record ---------------------------------------------------------------------------

std::string FormatShapeRecord(const ShapeRecord& record) {
  std::string out;
  out.reserve(128 + record.vertices.size() * 32);
  out += kRecordVersion;
  out += '\n';
  out += kTopLeftLabel;
  out += std::to_string(record.left) + ',' + std::to_string(record.top) + '\n';
  out += kSizeLabel;
  out += std::to_string(record.width) + ',' + std::to_string(record.height) + '\n';
  out += kJoinModeLabel;
  out += std::to_string(record.joinMode) + '\n';
  out += kRoundLabel;
  out += std::to_string(record.round) + '\n';
  out += kThetaLabel;
  out += text::FormatFixed(record.theta) + '\n';
  out += kBeginDataLabel;
  out += std::to_string(record.vertices.size()) + '\n';
  for (const ShapeVertex& v : record.vertices) {
    out += text::FormatFixed(v.x) + ' ' + text::FormatFixed(v.y) + ' ' + text::FormatFixed(v.w) + ' ' +
           std::to_string(v.flag) + '\n';
  }
  out += kEndData;
  out += '\n';
  return out;
}

bool ParseShapeRecord(std::string_view key, std::string_view contents, ShapeRecord& record, size_t* consumed) {
  TextLines lines(contents);
  const bool read = ParseRecordLines(key, lines, record);
  if (consumed != nullptr) *consumed = lines.Taken();
  return read;
}

bool WriteShapeRecord(ToolStateStream& stream, const ShapeRecord& record) {
  const std::string lines = FormatShapeRecord(record);
  return stream.Write(lines.data(), lines.size());
}

bool ReadShapeRecord(ToolStateStream& stream, std::string_view key, ShapeRecord& record) {
  const int64_t start = stream.Position();
  if (start < 0) return false;
  StreamLines lines(stream);
  const bool read = ParseRecordLines(key, lines, record);
  // Whatever was read beyond the last line taken is given back to the stream.
  stream.Seek(start + static_cast<int64_t>(lines.Taken()));
  return read;
}

void WriteShapeRecord(ToolStateWriter& writer, std::string_view key, const ShapeRecord& record) {
  writer.WriteText(key, FormatShapeRecord(record));
}

bool ReadShapeRecord(ToolStateReader& reader, std::string_view key, ShapeRecord& record) {
  std::string stored;
  if (!reader.ReadText(key, stored)) return false;
  return ParseShapeRecord(key, stored, record);
}

std::string ShapeFolder() {
  std::string folder = WritablePath("Ptv/");
  folder.pop_back();
  return folder;
}

std::vector<std::string> ListShapeFiles() {
  return ListFilesWithExtension(SearchFolders("Ptv"), kShapeDefinitionExtension);
}

}  // namespace varnel
