#pragma once
// The line-oriented text files of the colour tools, the shape definitions and the brush
// presets. They were written by a C runtime's printf family and read with its scanf family
// line by line; these helpers do the same without depending on the process locale (a desktop
// locale with a decimal comma must not change what "%lf" writes or reads).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace varnel::text {

// The whole file. False (errno kept) when it cannot be opened or read. Memory grows only with
// the bytes that actually arrive.
bool ReadTextFile(const std::string& path, std::string& text);

// Writes text to a new file beside path and renames it into place. False (errno kept, the
// target untouched) when that fails.
bool WriteTextFile(const std::string& path, std::string_view text);

// Hands out the lines of a text the way the platform's text-file class reads them: a line feed
// ends a line and a carriage return just before it is dropped; a last line without a line feed
// still counts, and nothing follows a final line feed. A line ends at its first NUL, as the
// C string it was read into did.
class LineSplitter {
 public:
  explicit LineSplitter(std::string_view text) : m_rest(text) {}
  bool Next(std::string_view& line);
  // Bytes not yet handed out.
  size_t Remaining() const { return m_rest.size(); }

 private:
  std::string_view m_rest;
};

// Strips one line end (line feed, carriage return and line feed, or a lone carriage return at
// the end) and cuts the line at its first NUL.
std::string_view CleanLine(std::string_view line);

// scanf conversions over a cursor; each skips leading white space as scanf does, advances the
// cursor past what it took, and leaves both the cursor and the value alone when it finds no
// number.
//   "%d": decimal with an optional sign; values beyond 64 bits saturate.
bool ScanInt(std::string_view& in, int64_t& value);
//   "%x": hexadecimal with an optional sign and "0x"; the unsigned value, beyond 32 bits all ones.
bool ScanHex(std::string_view& in, uint32_t& value);
//   "%lf": a C-locale floating-point number (also "inf", "nan" and hexadecimal forms).
bool ScanDouble(std::string_view& in, double& value);
// A literal character of a format: must be the next byte (no white space is skipped).
bool ScanLiteral(std::string_view& in, char c);
// White space in a format matches any run of it, including none.
void SkipSpace(std::string_view& in);

// A decimal the way "%d" parsed it, saturated to 32 bits.
int32_t SaturateInt32(int64_t value);

// "%lf": fixed notation with six decimals, C locale.
std::string FormatFixed(double value);

// ASCII comparison without regard to case.
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

// isspace in the C locale.
inline bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// Without white space on both sides.
std::string_view Trim(std::string_view text);

}  // namespace varnel::text

namespace varnel {

// The regular files directly in folder whose names end in extension (with its point, compared
// without regard to case, as the desktop's file search did), full paths sorted by file name.
// Empty when the folder cannot be read.
std::vector<std::string> ListFilesWithExtension(const std::string& folder, std::string_view extension);

// The same over several folders (as SearchFolders lists them): a file name found in more than one
// is listed once, with the path in the last of them.
std::vector<std::string> ListFilesWithExtension(const std::vector<std::string>& folders, std::string_view extension);

}  // namespace varnel
