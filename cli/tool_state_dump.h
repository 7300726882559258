#pragma once
// The tool state part of `dump`: tool state records and ".vpo" tool state files as JSON.

#include <string>

#include "cli/commands.h"

namespace varnel::cli {

// A tool state record by its magic, or a ".vpo" file by its first line.
bool LooksLikeToolState(const std::string& path);

// Prints {"tool": …, "class": …, "entries": [{"key", "type", "value"}, …]} on one line. "tool"
// is the name from a ".vpo" first line ("" for a bare record); integer entries are signed
// numbers, text entries UTF-8 strings, blocks and entries of any other type lowercase hex.
int DumpToolState(const Invocation& call, const std::string& path);

}  // namespace varnel::cli
