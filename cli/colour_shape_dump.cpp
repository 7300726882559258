#include "cli/colour_shape_dump.h"

#include <cstdio>
#include <memory>
#include <ostream>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/cli_support.h"
#include "colour/colour_curve_file.h"
#include "colour/colour_file.h"
#include "document/file_io.h"
#include "tools/shape_file.h"

namespace varnel::cli {
namespace {

using Json = nlohmann::ordered_json;

// Recognising a file by its first line needs no more than this much of it.
constexpr size_t kHeadSize = 64;

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }


// The first line of the file, as far as kHeadSize bytes reach, without its line end.
std::string FirstLine(const std::string& path) {
  struct Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  std::unique_ptr<std::FILE, Closer> file(std::fopen(path.c_str(), "rb"));
  if (!file) return {};
  char head[kHeadSize];
  const size_t got = std::fread(head, 1, sizeof head, file.get());
  std::string_view line(head, got);
  line = line.substr(0, line.find('\n'));
  if (line.ends_with('\r')) line.remove_suffix(1);
  return std::string(line);
}

void Print(const Invocation& call, const Json& value) {
  call.out << value.dump(-1, ' ', false, Json::error_handler_t::replace) << '\n';
}

std::string Hex6(uint32_t web) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (int shift = 20; shift >= 0; shift -= 4) text += kDigits[web >> shift & 0xF];
  return text;
}

}  // namespace

bool LooksLikeShapeFile(const std::string& path) {
  return HasExtension(path, kShapeDefinitionExtension) || FirstLine(path).starts_with(kShapeFileHeader);
}

bool LooksLikeNamedColourList(const std::string& path) {
  if (HasExtension(path, kNamedColourListExtension)) return true;
  const std::string line = FirstLine(path);
  if (line.size() != kNamedColourListHeader.size()) return false;
  for (size_t i = 0; i < line.size(); ++i) {
    if (Lower(line[i]) != Lower(kNamedColourListHeader[i])) return false;
  }
  return true;
}

bool LooksLikeColourDefinitionFile(const std::string& path) {
  return HasExtension(path, kColourDefinitionExtension);
}

bool LooksLikeColourCurveFile(const std::string& path) { return HasExtension(path, kColourCurveExtension); }

int DumpShapeFile(const Invocation& call, const std::string& path) {
  ShapeDefinition definition;
  try {
    ReadShapeFile(path, definition);
  } catch (const FileError&) {
    return Fail(call, kColourFileCannotOpen);
  } catch (const ShapeFormatError& error) {
    return Fail(call, error.what());
  }
  PrintJsonWithList(call, Json{{"type", definition.type}}, "vertices", definition.vertices.size(), [&](size_t i) {
    const ShapeVertex& v = definition.vertices[i];
    return Json{v.x, v.y, v.w};
  });
  return kSuccess;
}

int DumpColourDefinitionFile(const Invocation& call, const std::string& path) {
  std::vector<ColourRef> colours;
  if (!ReadColourDefinitionFile(path, colours)) return Fail(call, kColourFileCannotOpen);
  PrintJsonWithList(call, Json::object(), "colours", colours.size(), [&](size_t i) {
    return Json{{"red", RedOf(colours[i])}, {"green", GreenOf(colours[i])}, {"blue", BlueOf(colours[i])}};
  });
  return kSuccess;
}

int DumpNamedColourList(const Invocation& call, const std::string& path) {
  std::vector<NamedColour> entries;
  switch (ReadNamedColourList(path, entries)) {
    case NamedColourListResult::kRead:
      break;
    case NamedColourListResult::kCannotOpen:
      return Fail(call, kColourFileCannotOpen);
    case NamedColourListResult::kNotAList:
      return Fail(call, kNotANamedColourList);
  }
  PrintJsonWithList(call, Json::object(), "colours", entries.size(), [&](size_t i) {
    return Json{{"hex", Hex6(ValueOf(ToRgb(entries[i].colour)))}, {"name", entries[i].name}};
  });
  return kSuccess;
}

int DumpColourCurveFile(const Invocation& call, const std::string& path) {
  ColourCurve curve;
  const CurveFileResult result = ReadColourCurveFile(path, curve);
  if (result != CurveFileResult::kRead) return Fail(call, CurveFileMessage(result));
  Json points = Json::array();
  for (const CurvePoint& p : curve.points) points.push_back({p.x, p.y});
  Print(call, Json{{"channel", kCurveChannelNames[static_cast<size_t>(curve.channel)]},
                   {"type", curve.type == kCurveBSpline ? kCurveBSplineName : kCurvePolylineName},
                   {"points", std::move(points)}});
  return kSuccess;
}

}  // namespace varnel::cli
