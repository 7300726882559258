#pragma once
// What every varnel-cli command shares: failure and usage lines, number parsing, options that
// may stand anywhere after the command.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/commands.h"

namespace varnel::cli {

inline constexpr const char* kNoMemory = "メモリが足りません";

// "varnel-cli: MESSAGE" on stderr; exit status 1.
int Fail(const Invocation& call, std::string_view message);
// "varnel-cli: COMMAND: MESSAGE (see varnel-cli --help)"; exit status 2.
int Usage(const Invocation& call, std::string_view message);
// Whether path ends in extension (".vrd"), compared without regard to case.
bool HasExtension(std::string_view path, std::string_view extension);

// A whole decimal number in [low, high]; nothing else in the text.
bool ParseInt(std::string_view text, int32_t low, int32_t high, int32_t& value);

// The arguments of a call split into positional ones and options. Flags take no value;
// valued options take the next argument.
struct ParsedArguments {
  std::vector<std::string> positional;
  std::set<std::string> flags;
  std::vector<std::pair<std::string, std::string>> values;
  // The value of the last occurrence of an option, or null.
  const std::string* Value(std::string_view option) const;
  bool Has(std::string_view flag) const { return flags.count(std::string(flag)) != 0; }
};

// The layer of --layer (0 when it is not given); false when it is no layer index.
bool ParseLayerOption(const ParsedArguments& args, int32_t& layerIndex);

// False (with the usage line already written) on an unknown option or a missing value.
bool ParseArguments(const Invocation& call, const std::set<std::string, std::less<>>& flags,
                    const std::set<std::string, std::less<>>& valued, ParsedArguments& parsed, int& status);

// Prints head as one line of JSON with one more member, key, holding count items, each made
// and written on its own: a file of millions of entries as one tree would take dozens of
// times its size, and the tree's own destructor allocates, so running out there would end the
// process.
void PrintJsonWithList(const Invocation& call, const nlohmann::ordered_json& head, const char* key, size_t count,
                       const std::function<nlohmann::ordered_json(size_t)>& item);

}  // namespace varnel::cli
