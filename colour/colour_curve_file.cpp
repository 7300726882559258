#include "colour/colour_curve_file.h"

#include <cerrno>
#include <utility>

#include "colour/colour_file.h"
#include "document/text_file.h"

namespace varnel {
namespace {

bool InRange(double value) { return value >= 0.0 && value < 1.0; }  // false for NaN

// "%lf" of a coordinate that is below 1, kept below 1 once printed.
std::string FormatCoordinate(double value) {
  std::string text = text::FormatFixed(value == 0.0 ? 0.0 : value);  // no "-0.000000"
  if (text == "1.000000") text = "0.999999";
  return text;
}

}  // namespace

const char* CurveFileMessage(CurveFileResult result) {
  switch (result) {
    case CurveFileResult::kRead:
      return "";
    case CurveFileResult::kCannotOpen:
      return kColourFileCannotOpen;
    case CurveFileResult::kBadChannel:
      return "色補正ファイルのチャンネルが正しくありません";
    case CurveFileResult::kBadPointCount:
      return "色補正ファイルの制御点の数が正しくありません";
    case CurveFileResult::kBadPoint:
      return "色補正ファイルの制御点が正しくありません";
    case CurveFileResult::kTruncated:
      return "色補正ファイルが途中で終わっています";
  }
  return "";
}

void SortCurvePoints(std::vector<CurvePoint>& points) {
  for (size_t i = 0; i < points.size(); ++i) {
    for (size_t j = i + 1; j < points.size(); ++j) {
      if (points[j].x < points[i].x) std::swap(points[i], points[j]);
    }
  }
}

CurveFileResult ParseColourCurve(std::string_view contents, ColourCurve& curve) {
  text::LineSplitter lines(contents);
  std::string_view line;
  ColourCurve read;

  if (!lines.Next(line)) return CurveFileResult::kBadChannel;
  read.channel = -1;
  for (size_t i = 0; i < kCurveChannelNames.size(); ++i) {
    if (text::EqualsIgnoreCase(line, kCurveChannelNames[i])) {
      read.channel = static_cast<int32_t>(i);
      break;
    }
  }
  if (read.channel < 0) return CurveFileResult::kBadChannel;

  if (!lines.Next(line)) return CurveFileResult::kTruncated;
  read.type = text::EqualsIgnoreCase(line, kCurveBSplineName) ? kCurveBSpline : kCurvePolyline;

  if (!lines.Next(line)) return CurveFileResult::kTruncated;
  int64_t count = 0;
  if (!text::ScanInt(line, count) || count < 0 || count > kMaxCurvePoints) return CurveFileResult::kBadPointCount;

  for (int64_t i = 0; i < count; ++i) {
    if (!lines.Next(line)) return CurveFileResult::kTruncated;
    CurvePoint point;
    // "%lf %lf": a point needs both numbers; a half-read one would carry a made-up coordinate.
    if (!text::ScanDouble(line, point.x) || !text::ScanDouble(line, point.y)) return CurveFileResult::kBadPoint;
    if (!InRange(point.x) || !InRange(point.y)) return CurveFileResult::kBadPoint;
    read.points.push_back(point);
  }
  SortCurvePoints(read.points);
  curve = std::move(read);
  return CurveFileResult::kRead;
}

CurveFileResult ReadColourCurveFile(const std::string& path, ColourCurve& curve) {
  std::string contents;
  if (!text::ReadTextFile(path, contents)) return CurveFileResult::kCannotOpen;
  return ParseColourCurve(contents, curve);
}

bool IsValidColourCurve(const ColourCurve& curve) {
  if (curve.channel < 0 || curve.channel >= static_cast<int32_t>(kCurveChannelNames.size())) return false;
  if (curve.points.size() > static_cast<size_t>(kMaxCurvePoints)) return false;
  for (const CurvePoint& p : curve.points) {
    if (!InRange(p.x) || !InRange(p.y)) return false;
  }
  return true;
}

std::string FormatColourCurve(const ColourCurve& curve) {
  if (!IsValidColourCurve(curve)) return {};
  std::string out(kCurveChannelNames[static_cast<size_t>(curve.channel)]);
  out += '\n';
  out += curve.type == kCurveBSpline ? kCurveBSplineName : kCurvePolylineName;
  out += '\n';
  out += std::to_string(curve.points.size());
  out += '\n';
  for (const CurvePoint& p : curve.points) {
    out += FormatCoordinate(p.x);
    out += ' ';
    out += FormatCoordinate(p.y);
    out += '\n';
  }
  return out;
}

bool WriteColourCurveFile(const std::string& path, const ColourCurve& curve) {
  if (!IsValidColourCurve(curve)) {
    errno = EINVAL;
    return false;
  }
  return text::WriteTextFile(path, FormatColourCurve(curve));
}

}  // namespace varnel
