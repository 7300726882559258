#pragma once
// The filter commands of varnel-cli: one filter run on the active layer, and the list of the
// filter libraries in Filter/.

#include <cstdint>
#include <string_view>
#include <vector>

#include "cli/commands.h"

namespace varnel::cli {

// filter IN OUT LIBRARY FILTER [VALUES] [--layer N] [--preview]
int RunFilter(const Invocation& call);
// filters
int RunFilters(const Invocation& call);

// "v1,v2,…" of whole numbers; the empty text is no values.
bool ParseFilterValues(std::string_view text, std::vector<int32_t>& values);

}  // namespace varnel::cli
