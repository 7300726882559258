#include "cli/dump_command.h"

#include <cstdio>
#include <new>

#include "cli/brush_preset_dump.h"
#include "cli/cli_support.h"
#include "cli/colour_shape_dump.h"
#include "cli/region_commands.h"
#include "cli/tool_state_dump.h"

namespace varnel::cli {
namespace {

constexpr const char* kCannotOpen = "ファイルを開けません";
constexpr const char* kUnknownFormat = "このファイル形式は扱えません";

// By its magic, or by its extension: a damaged region file is told as one.
bool IsRegionFile(const std::string& path) {
  bool opened = false;
  return HasRegionMagic(path, opened) || HasExtension(path, ".vrd");
}

// Every format dump knows, tried in this order: a format is recognised by its content (magic,
// first line) or, where it has none, by its extension.
struct Format {
  bool (*recognise)(const std::string& path);
  int (*dump)(const Invocation& call, const std::string& path);
};

constexpr Format kFormats[] = {
    {IsRegionFile, DumpRegion},
    {LooksLikeToolState, DumpToolState},
    {LooksLikeShapeFile, DumpShapeFile},
    {LooksLikeNamedColourList, DumpNamedColourList},
    {LooksLikeColourDefinitionFile, DumpColourDefinitionFile},
    {LooksLikeColourCurveFile, DumpColourCurveFile},
    {LooksLikeBrushPreset, DumpBrushPreset},
};

}  // namespace

int RunDump(const Invocation& call) {
  ParsedArguments args;
  int status = kSuccess;
  if (!ParseArguments(call, {}, {}, args, status)) return status;
  if (args.positional.size() != 1) return Usage(call, "expects FILE");
  const std::string& path = args.positional[0];
  if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
    std::fclose(f);
  } else {
    return Fail(call, kCannotOpen);
  }
  try {
    for (const Format& format : kFormats) {
      if (format.recognise(path)) return format.dump(call, path);
    }
  } catch (const std::bad_alloc&) {
    return Fail(call, kNoMemory);
  }
  return Fail(call, kUnknownFormat);
}

}  // namespace varnel::cli
