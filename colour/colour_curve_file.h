#pragma once
// The colour-correction curve file (".cc"): a channel, a curve type and up to six control points.
//
//   line 1       the channel: "HUE", "SATURATION", "VALUE", "RED", "GREEN" or "BLUE"
//   line 2       the curve type: "3BSPLINE" or "POLYLINE"
//   line 3       the number of control points n, "%d\n"
//   lines 4…3+n  one control point each, "%lf %lf\n" (x, y)
//
// Reading matches the channel without regard to case and stores it as 0 … 5 in that order; the
// type is the 3-point B-spline (0) when the line is "3BSPLINE" in any case and the polyline (2)
// otherwise; n must lie in 0 … 6 and every coordinate in 0 ≤ value < 1. The points come back
// sorted by ascending x. A file that breaks a rule is refused as a whole: the caller keeps the
// curve it had.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace varnel {

inline constexpr const char* kColourCurveFilter = "色補正ファイル(*.cc)|*.cc||";
inline constexpr std::string_view kColourCurveExtension = ".cc";

inline constexpr std::array<std::string_view, 6> kCurveChannelNames = {"HUE",  "SATURATION", "VALUE",
                                                                        "RED", "GREEN",      "BLUE"};
inline constexpr int32_t kCurveHue = 0;
inline constexpr int32_t kCurveSaturation = 1;
inline constexpr int32_t kCurveValue = 2;
inline constexpr int32_t kCurveRed = 3;
inline constexpr int32_t kCurveGreen = 4;
inline constexpr int32_t kCurveBlue = 5;

inline constexpr std::string_view kCurveBSplineName = "3BSPLINE";
inline constexpr std::string_view kCurvePolylineName = "POLYLINE";
inline constexpr int32_t kCurveBSpline = 0;
inline constexpr int32_t kCurvePolyline = 2;

inline constexpr int32_t kMaxCurvePoints = 6;

struct CurvePoint {
  double x = 0;  // 0 ≤ x < 1
  double y = 0;  // 0 ≤ y < 1
  bool operator==(const CurvePoint&) const = default;
};

struct ColourCurve {
  int32_t channel = kCurveValue;  // 0 … 5, the order of kCurveChannelNames
  int32_t type = kCurveBSpline;   // kCurveBSpline, or kCurvePolyline for every other type
  std::vector<CurvePoint> points;  // ascending x once read
  bool operator==(const ColourCurve&) const = default;
};

enum class CurveFileResult {
  kRead,
  kCannotOpen,
  kBadChannel,     // not one of the six channel names
  kBadPointCount,  // no count, or one outside 0 … 6
  kBadPoint,       // a point line without two numbers, or a coordinate outside 0 ≤ value < 1
  kTruncated,      // the file ends before its type line, count line or last point
};

// The message the program shows for a result other than kRead.
const char* CurveFileMessage(CurveFileResult result);

// Reads a curve from the file's text; curve changes only when the answer is kRead.
CurveFileResult ParseColourCurve(std::string_view text, ColourCurve& curve);
CurveFileResult ReadColourCurveFile(const std::string& path, ColourCurve& curve);

// True when the reader would take the curve back: a channel 0 … 5, at most six points, every
// coordinate in 0 ≤ value < 1.
bool IsValidColourCurve(const ColourCurve& curve);

// The file's text. Coordinates are written with six decimals; one that would print as
// 1.000000 is written as 0.999999 so that the file stays readable. Empty for a curve that is
// not valid.
std::string FormatColourCurve(const ColourCurve& curve);
// False (errno EINVAL) for a curve that is not valid; false (errno kept) when the file could not
// be written. An existing file stays as it was in both cases.
bool WriteColourCurveFile(const std::string& path, const ColourCurve& curve);

// Ascending x by pairwise exchange, as the reader leaves them; equal x keep no particular order.
void SortCurvePoints(std::vector<CurvePoint>& points);

}  // namespace varnel
