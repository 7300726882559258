// Feeds arbitrary bytes to the three colour file readers: the colour definition file, the named
// colour list and the colour-correction curve file, from memory and from a file. Whatever a reader
// accepts must be a well-formed value that writes and reads back the same, and a refused curve
// must leave the caller's curve alone.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "colour/colour_curve_file.h"
#include "colour/colour_file.h"
#include "fuzz/fuzz_files.h"

namespace {

[[noreturn]] void Fail(const char* what) { fuzz::Fail("colour_file_fuzz", what); }

size_t LineCount(std::string_view text) {
  size_t lines = 0;
  for (const char c : text) lines += c == '\n';
  return lines + (!text.empty() && text.back() != '\n');
}

void CheckColourDefinitions(std::string_view text, const std::string& file) {
  const std::vector<varnel::ColourRef> colours = varnel::ParseColourDefinitions(text);
  if (colours.size() != LineCount(text)) Fail("not one colour per line");
  for (const varnel::ColourRef c : colours) {
    if (varnel::ValueOf(c) > 0xFFFFFF) Fail("a colour with a fourth byte");
  }
  if (varnel::ParseColourDefinitions(varnel::FormatColourDefinitions(colours)) != colours) {
    Fail("a palette read back differently");
  }
  std::vector<varnel::ColourRef> fromFile;
  if (!varnel::ReadColourDefinitionFile(file, fromFile)) Fail("cannot read the input file");
  if (fromFile != colours) Fail("the file and the text read differently");
}

void CheckNamedColourList(std::string_view text, const std::string& file) {
  std::vector<varnel::NamedColour> list;
  const varnel::NamedColourListResult result = varnel::ParseNamedColourList(text, list);
  std::vector<varnel::NamedColour> fromFile;
  if (varnel::ReadNamedColourList(file, fromFile) != result || fromFile != list) {
    Fail("the file and the text read differently");
  }
  if (result != varnel::NamedColourListResult::kRead) {
    if (!list.empty()) Fail("a refused list added colours");
    return;
  }
  if (list.size() > LineCount(text)) Fail("more colours than lines");
  for (const varnel::NamedColour& e : list) {
    if (varnel::ValueOf(e.colour) > 0xFFFFFF) Fail("a colour with a fourth byte");
  }
  // Names pass through code page 932 on the way out and may lose once what it cannot hold.
  std::vector<varnel::NamedColour> again;
  if (varnel::ParseNamedColourList(varnel::FormatNamedColourList(list), again) != varnel::NamedColourListResult::kRead ||
      again.size() != list.size()) {
    Fail("a written list does not read back");
  }
  for (size_t i = 0; i < list.size(); ++i) {
    if (again[i].colour != list[i].colour) Fail("a colour read back differently");
  }
  std::vector<varnel::NamedColour> third;
  varnel::ParseNamedColourList(varnel::FormatNamedColourList(again), third);
  if (third != again) Fail("names keep changing over round trips");
}

bool Near(double a, double b) { return std::fabs(a - b) <= 1.01e-6; }

void CheckCurve(std::string_view text, const std::string& file) {
  varnel::ColourCurve curve;
  curve.channel = varnel::kCurveBlue;
  curve.type = varnel::kCurvePolyline;
  curve.points = {{0.25, 0.5}};
  const varnel::ColourCurve before = curve;
  const varnel::CurveFileResult result = varnel::ParseColourCurve(text, curve);

  varnel::ColourCurve fromFile = before;
  if (varnel::ReadColourCurveFile(file, fromFile) != result || !(fromFile == curve)) {
    Fail("the file and the text read differently");
  }
  if (result != varnel::CurveFileResult::kRead) {
    if (!(curve == before)) Fail("a refused curve changed the caller's curve");
    return;
  }
  if (!varnel::IsValidColourCurve(curve)) Fail("an accepted curve is not valid");
  if (curve.type != varnel::kCurveBSpline && curve.type != varnel::kCurvePolyline) Fail("an unknown curve type");
  for (size_t i = 1; i < curve.points.size(); ++i) {
    if (curve.points[i].x < curve.points[i - 1].x) Fail("points not sorted by x");
  }
  varnel::ColourCurve again;
  if (varnel::ParseColourCurve(varnel::FormatColourCurve(curve), again) != varnel::CurveFileResult::kRead) {
    Fail("a written curve does not read back");
  }
  if (again.channel != curve.channel || again.type != curve.type || again.points.size() != curve.points.size()) {
    Fail("a curve read back differently");
  }
  for (size_t i = 0; i < curve.points.size(); ++i) {
    if (!Near(again.points[i].x, curve.points[i].x) || !Near(again.points[i].y, curve.points[i].y)) {
      Fail("a point read back differently");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const fuzz::ScratchFiles files("colour_file_fuzz");
  const fuzz::RemoveAfterInput cleanup{files};
  files.WriteInput(data, size);
  const std::string& file = files.input;

  const std::string_view text(reinterpret_cast<const char*>(data), size);
  CheckColourDefinitions(text, file);
  CheckNamedColourList(text, file);
  CheckCurve(text, file);
  return 0;
}
