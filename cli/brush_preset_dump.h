#pragma once
// The brush preset part of dump: ".bpp" files, every field by its file keyword.

#include <string>

#include "cli/commands.h"

namespace varnel::cli {

// A brush preset by its extension ".bpp" (any case); presets have no signature.
bool LooksLikeBrushPreset(const std::string& path);

// One JSON object: the 26 keywords the writer emits (without "="), in its order, each with the
// value read over the defaults; file names as UTF-8 text, the rest as numbers.
int DumpBrushPreset(const Invocation& call, const std::string& path);

}  // namespace varnel::cli
