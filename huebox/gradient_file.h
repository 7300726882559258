#pragma once
// Gradient files (".gpi", the program's res/grad.gpi): a text format of Huebox's own.
//
//   VNGRAD 1
//   NAME=夕焼け
//   STOPS=3
//   0.0000 40 20 90 255
//   0.5500 230 90 60 255
//   1.0000 250 210 120 255
//
// The first line is the header "VNGRAD" and the version, 1 (an optional UTF-8 byte order mark
// before it is skipped). Then for each pattern a "NAME=" line (the rest of the line, at most 63
// bytes, no control characters), a "STOPS=n" line with 1 <= n <= 32, and n stop lines: the
// position 0…1 as a decimal without sign or exponent (kept to four decimals, rounded half up
// by the fifth), then red, green, blue and alpha as integers 0…255, separated by spaces or
// tabs. Blanks before the keys are allowed. At most 256 patterns. Blank lines and lines starting with '#' may stand anywhere.
// Lines end with LF or CR LF. Stops are used in position order; stops at one position keep
// their file order (a hard edge).
//
// Qt-free, so the sanitizer build reads it too.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sdk/huebox.h"

namespace varnel::huebox {

inline constexpr std::string_view kGradientFileHeader = "VNGRAD";
inline constexpr int kGradientFileVersion = 1;
inline constexpr int32_t kPositionScale = kHueboxPositionScale;
inline constexpr size_t kMaxGradients = kHueboxMaxGradients;
inline constexpr size_t kMaxStops = kHueboxMaxStops;
inline constexpr size_t kMaxNameBytes = kHueboxNameSize - 1;
// A file larger than this is not a gradient file (256 full patterns take about 200 KB).
inline constexpr uint64_t kMaxGradientFileBytes = 1 << 20;

struct GradientColour {
  uint8_t red = 0;
  uint8_t green = 0;
  uint8_t blue = 0;
  uint8_t alpha = 255;
  bool operator==(const GradientColour&) const = default;
};

struct GradientStop {
  int32_t position = 0;  // ten-thousandths: 0 … kPositionScale
  GradientColour colour;
  bool operator==(const GradientStop&) const = default;
};

struct Gradient {
  std::string name;                 // UTF-8
  std::vector<GradientStop> stops;  // in position order
  bool operator==(const Gradient&) const = default;
};

enum class GradientFileError {
  kNone,
  kCannotOpen,
  kTooLarge,
  kNoHeader,
  kUnsupportedVersion,
  kUnexpectedLine,
  kBadName,
  kExpectedStopCount,
  kBadStopCount,
  kMissingStops,
  kBadStop,
  kPositionOutOfRange,
  kChannelOutOfRange,
  kTooManyGradients,
};

struct GradientFileStatus {
  GradientFileError error = GradientFileError::kNone;
  int line = 0;  // 1-based line of the problem; 0 when it is not about a line
  bool Ok() const { return error == GradientFileError::kNone; }
  bool operator==(const GradientFileStatus&) const = default;
};

// The user's message for a status: what went wrong and on which line.
std::string GradientFileErrorText(const GradientFileStatus& status);

// Reads a whole file's text. On success gradients holds the patterns, stops sorted; on an
// error gradients is left as it was.
GradientFileStatus ParseGradientFile(std::string_view text, std::vector<Gradient>& gradients);
// The same from a file; kCannotOpen when it cannot be read, kTooLarge beyond the limit.
GradientFileStatus ReadGradientFile(const std::string& path, std::vector<Gradient>& gradients);

// Writes valid patterns (IsValidGradient) in the form above, positions with four decimals.
std::string FormatGradientFile(const std::vector<Gradient>& gradients);
// Writes through a new file beside path renamed into place; false (path untouched) when that
// fails or when there are too many patterns or one is not valid.
bool WriteGradientFile(const std::string& path, const std::vector<Gradient>& gradients);

// A pattern the file format can hold: name within limits, 1 to 32 stops in position order
// with positions and channels in range.
bool IsValidGradient(const Gradient& gradient);
// The longest prefix of name that a file holds: at most kMaxNameBytes bytes cut at a UTF-8
// character boundary, control characters replaced by spaces.
std::string FittingName(std::string_view name);

// Sorts the stops by position; stops at one position keep their order.
void SortStops(Gradient& gradient);

// The colour at position index / last (0 when last < 1), 0 <= index <= last. Before the
// first stop and after the last, the end stop's colour; otherwise, with a the last stop at or
// before the position and b the one after it, each channel (alpha too) is
// a + (b − a) × t rounded to nearest, halves up, where t is the exact fraction of the way from
// a to b. No stops: transparent black.
GradientColour SampleAt(const Gradient& gradient, int64_t index, int64_t last);
// count samples from position 0 to 1 as colour references 0x00BBGGRR (no alpha).
void SampleColourRefs(const Gradient& gradient, int32_t count, uint32_t* colours);

// ---- editing, as the gradient editor does it ------------------------------------------------

// Adds a stop half way between stop index and the next one (or the previous one when index is
// the last stop), in the colour the gradient shows there. Answers the new stop's index, or -1
// when the pattern is full or index is out of range.
int AddStop(Gradient& gradient, int index);
// Removes a stop; false for the last one left or an index out of range.
bool DeleteStop(Gradient& gradient, int index);
// Moves stop index to position (held to 0 … kPositionScale) and keeps the stops in order.
// Answers the stop's new index (-1 for an index out of range). Among stops at one position the
// moved one goes last.
int MoveStop(Gradient& gradient, int index, int32_t position);
// A new pattern: black to white.
Gradient DefaultGradient(std::string name);

}  // namespace varnel::huebox
