#pragma once
// The region commands of varnel-cli: operations on region files and their JSON dump.

#include <string>

#include "cli/commands.h"

namespace varnel::cli {

// region OP IN OUT [ARG]
int RunRegion(const Invocation& call);
// The region part of dump: a region file by its magic, and its JSON.
bool HasRegionMagic(const std::string& path, bool& opened);
int DumpRegion(const Invocation& call, const std::string& path);

}  // namespace varnel::cli
