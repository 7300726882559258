#pragma once
// Shape outlines for the shape tools: a list of vertices in unit coordinates, saved as a shape
// definition file (".ptv") and carried with its placement as a text record in tool states.
//
// Shape definition file, every line ending in a line feed:
//   [VARNEL PRIMITIVE DEFINITION]
//   [VERSION] 1.1
//   [TYPE] <type>
//   [VERTEXCOUNT] <n>
//   [JOINMODE] BEVEL
//   [VERTEXDATA]
//   n lines "(%lf,%lf,%lf)" x, y, w
//
// Shape record, one line each: "ver.1", "TOPLEFT.%d,%d", "SIZE.%d,%d", "JOINMODE.%d",
// "ROUND.%d", "THETA.%lf", "BEGINDATA.%d" (vertex count), one "%lf %lf %lf %d" line per vertex
// (x, y, w, flag), "ENDDATA.0". It is stored under a key naming the tool ("Shape.Draw",
// "Shape.Fill"): the tool's name in the first line of a ".vpo" file, with the lines following at
// the stream's position, or the key of a text entry of a tool state record.
//
// Numbers are written and read in the C locale whatever the process locale is.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace varnel {

class ToolStateStream;
class ToolStateWriter;
class ToolStateReader;

inline constexpr const char* kShapeDefinitionFilter = "Shape Definition File (*.ptv)|*.ptv||";
inline constexpr std::string_view kShapeDefinitionExtension = ".ptv";
inline constexpr std::string_view kShapeFileHeader = "[VARNEL PRIMITIVE DEFINITION]";
inline constexpr std::string_view kShapeFileVersion = "[VERSION]";

inline constexpr std::string_view kShapeRecordKeyPrefix = "Shape.";
inline constexpr std::string_view kShapeDrawKey = "Shape.Draw";  // the outline tool
inline constexpr std::string_view kShapeFillKey = "Shape.Fill";  // the filled variant

inline constexpr int32_t kShapeMaxSize = 65536;        // width and height: 0 … this
inline constexpr int32_t kShapeMaxRound = 90;          // corner rounding: 0 … this
inline constexpr int32_t kShapeDefaultRound = 20;      // and what a negative rounding reads as
inline constexpr int32_t kShapeMaxRecordVertices = 65536;

// The message of every ShapeFormatError.
inline constexpr const char* kBadShapeFile = "形状定義ファイルの形式が正しくありません";

// One vertex: x and y within the shape's rectangle (0 left or top, 1 right or bottom) and a
// third value w carried through files; all three 0 … 1.
struct ShapeVertex {
  double x = 0;
  double y = 0;
  double w = 0;
  int32_t flag = 0;  // 0 whenever a vertex is read
  bool operator==(const ShapeVertex&) const = default;
};

struct ShapeDefinition {
  std::vector<ShapeVertex> vertices;
  int32_t type = 0;
  bool operator==(const ShapeDefinition&) const = default;
};

// The placed shape.
struct ShapeRecord {
  int32_t left = 0;  // top-left corner, canvas pixels
  int32_t top = 0;
  int32_t width = 0;  // 0 … 65536
  int32_t height = 0;
  int32_t joinMode = 0;
  int32_t round = kShapeDefaultRound;  // 0 … 90
  double theta = 0;                    // rotation, degrees
  std::vector<ShapeVertex> vertices;
  bool hasShape = false;  // set once a record has been read into it
  bool operator==(const ShapeRecord&) const = default;
};

// A shape definition file whose first two lines are not the header.
class ShapeFormatError : public std::runtime_error {
 public:
  ShapeFormatError() : std::runtime_error(kBadShapeFile) {}
};

// ---- shape definition file ------------------------------------------------------------------

// The file's text for definition.
std::string FormatShapeFile(const ShapeDefinition& definition);
// Writes the file through a new file renamed into place. True when it was written; false
// (errno kept, an existing file unchanged) when not.
bool WriteShapeFile(const std::string& path, const ShapeDefinition& definition);

// Replaces definition's vertices (and its type, when the text has a "[TYPE]" line) with the
// text's. Throws ShapeFormatError, leaving definition unchanged, when the first line does not
// begin with "[VARNEL PRIMITIVE DEFINITION]" or the second with "[VERSION]".
//
// Lines after the header are taken by the keyword they begin with; others are skipped.
// "[VERTEXCOUNT]" sets the count, and "[VERTEXDATA]" reads that many of the following lines
// (fewer when the text ends) as "(%lf,%lf,%lf)", missing numbers 0. Coordinates outside
// 0 … 1 are brought to the nearer end (a NaN to 0), as the drawing code relies on them.
void ParseShapeFile(std::string_view text, ShapeDefinition& definition);
// As ParseShapeFile; throws FileError when the file cannot be read.
void ReadShapeFile(const std::string& path, ShapeDefinition& definition);

// ---- shape record ---------------------------------------------------------------------------

// The record's lines.
std::string FormatShapeRecord(const ShapeRecord& record);

// Reads a record from text (lines as written) stored under key. False, leaving record unchanged,
// when the key does not begin with "Shape.", the first line is not "ver.1", the text ends before
// the "BEGINDATA." line, or the vertex count is negative. Otherwise: the size clamped to
// 0 … 65536, a negative rounding read as 20 and one above 90 as 90, a non-finite angle as 0, a
// count above 65536 as 65536, up to count vertex lines (fewer when the text ends) with x, y and w
// clamped to 0 … 1 (a NaN to 0) and the flag 0; the vertex list replaced, hasShape set, and the
// "ENDDATA.0" line taken. A line whose numbers do not scan leaves those fields as they were, a
// count that does not scan is 0, and missing numbers of a vertex line are 0. consumed (when
// given) is the length of text taken.
bool ParseShapeRecord(std::string_view key, std::string_view text, ShapeRecord& record, size_t* consumed = nullptr);

// Writes the record's lines at the stream's position; false when the stream failed.
bool WriteShapeRecord(ToolStateStream& stream, const ShapeRecord& record);
// Reads the record's lines from the stream's position under key, leaving the stream after the
// last line taken; the result of ParseShapeRecord.
bool ReadShapeRecord(ToolStateStream& stream, std::string_view key, ShapeRecord& record);

// The record as a text entry of a tool state record, under key.
void WriteShapeRecord(ToolStateWriter& writer, std::string_view key, const ShapeRecord& record);
// False (record unchanged) when there is no such entry or it is rejected as above.
bool ReadShapeRecord(ToolStateReader& reader, std::string_view key, ShapeRecord& record);

// The "Ptv" folder new shape definitions are saved in: the program folder's, or the user's data
// folder's (made here) when the program folder is read-only.
std::string ShapeFolder();
// The shape definition files of "Ptv", the data folder's beside a read-only program folder's
// (the user's file where both have the name), full paths sorted by name.
std::vector<std::string> ListShapeFiles();

}  // namespace varnel
