#pragma once
// Filter batch files: text files in Filter/Batch/ of the program folder, one filter call (or a
// message) a line, in exactly the form the filter dialogs' "CopyParameter" and "COPY PARAM"
// put on the clipboard:
//
//   Message:text                      shows text (the keyword in any letter case)
//   library:filter:values             runs filter of library with the values "v1,v2,…"
//
// Anything else is ignored. Qt-free: the command-line tool, the tests and the fuzz target read
// batch files through this header.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace varnel {

struct BatchLine {
  enum class Kind { kIgnored, kMessage, kFilter };
  // Why an ignored line is ignored, so a host can tell the user which line did nothing.
  enum class Problem { kNone, kBlank, kNoColon, kNoSecondColon, kEmptyLibrary, kEmptyFilter };

  Kind kind = Kind::kIgnored;
  Problem problem = Problem::kNone;
  std::string text;      // kMessage: everything after the first colon
  std::string library;   // kFilter: the library's file name as written
  std::string filter;    // kFilter: the filter's name as written
  std::vector<int32_t> values;

  friend bool operator==(const BatchLine&, const BatchLine&) = default;
};

// One line, without its line end ("\n", "\r\n" or a lone "\r" is dropped if still there).
// The text before the first ':' is the first field; "Message" there (compared without case)
// makes a message line, anything else is a library name. The filter name runs to the second
// ':'; what is left is the value list (BatchValues). Bytes are kept as they are: the caller
// decides their code page.
BatchLine ParseBatchLine(std::string_view line);

// The value list of a filter line: repeatedly the text before the next ',' is read as a decimal
// number and appended, until a piece before a ',' is empty (that ',' is taken too) or no ','
// is left; then the rest, when not empty, is read once more. Reading takes what "%d" takes:
// leading white space, a sign and the digits up to the first other character; a piece with no
// digits there contributes 0, and a number beyond the 32-bit range is held at its end. So
// "3,,7" gives 3, 7 and "3,,7,9" gives 3, 7 as well.
std::vector<int32_t> BatchValues(std::string_view text);

// What "%d" reads at the start of text; false when there is no number there.
bool ReadDecimal(std::string_view text, int32_t& value);

// Splits a whole file into its lines (the last one may lack its line end). An empty file has
// no lines.
std::vector<std::string_view> BatchFileLines(std::string_view content);

// The line as ParseBatchLine would write it back: "Message:text" or "library:filter:v1,v2".
std::string BatchLineText(const BatchLine& line);

}  // namespace varnel
