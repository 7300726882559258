#include "cli/filter_commands.h"

#include <algorithm>
#include <limits>
#include <nlohmann/json.hpp>
#include <string>

#include "cli/cli_support.h"
#include "cli/document_commands.h"
#include "filters/filter_host.h"
#include "platform/program_folder.h"

namespace varnel::cli {
namespace {

using Json = nlohmann::ordered_json;

const char* InterfaceName(FilterInterface interface) {
  switch (interface) {
    case FilterInterface::kName: return "name";
    case FilterInterface::kAlias: return "alias";
    case FilterInterface::kNone: break;
  }
  return "none";
}

}  // namespace

bool ParseFilterValues(std::string_view text, std::vector<int32_t>& values) {
  std::vector<int32_t> read;
  while (!text.empty()) {
    const size_t end = text.find(',');
    int32_t value = 0;
    if (!ParseInt(text.substr(0, end), std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max(), value))
      return false;
    read.push_back(value);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
    if (text.empty()) return false;  // a trailing comma
  }
  values = std::move(read);
  return true;
}

int RunFilter(const Invocation& call) {
  ParsedArguments args;
  int status = kSuccess;
  if (!ParseArguments(call, {"--preview"}, {"--layer"}, args, status)) return status;
  if (args.positional.size() < 4 || args.positional.size() > 5)
    return Usage(call, "expects IN OUT LIBRARY FILTER [VALUES]");
  int32_t layerIndex = 0;
  if (!ParseLayerOption(args, layerIndex)) return Usage(call, "--layer must be a layer index from 0");
  std::vector<int32_t> given;
  if (args.positional.size() == 5 && !ParseFilterValues(args.positional[4], given))
    return Usage(call, "VALUES must be whole numbers separated by commas");

  const std::string& libraryName = args.positional[2];
  const std::string& filterName = args.positional[3];
  const FilterLibraryList libraries(ProgramPath("Filter"));
  const FilterLibrary* library = libraries.Find(libraryName);
  if (!library || !library->IsLoaded()) return Fail(call, "no filter library " + libraryName + " in Filter/");
  if (!library->HasFilter(filterName)) return Fail(call, libraryName + " has no filter " + filterName);
  const std::optional<FilterSelection> selection = SelectFilter(libraries, libraryName, filterName);

  // As the dialog's scroll bars give them: each parameter's value within its range, the default
  // where VALUES stops; values beyond the parameters go along as they are.
  std::vector<int32_t> values;
  const std::vector<FilterParameter>& parameters = selection->parameters;
  for (size_t i = 0; i < std::max(parameters.size(), given.size()); ++i) {
    if (i >= parameters.size()) {
      values.push_back(given[i]);
    } else {
      const FilterParameter& p = parameters[i];
      const int32_t value = i < given.size() ? given[i] : p.def;
      values.push_back(p.min <= p.max ? std::clamp(value, p.min, p.max) : value);
    }
  }

  OpenedPicture picture;
  Canvas canvas;
  if (!OpenCanvas(call, args.positional[0], layerIndex, picture, canvas, status)) return status;
  FilterCommand command(*selection, std::move(values));
  command.previewEntry = args.Has("--preview");
  canvas.ApplyOperation(command);
  return SaveCanvas(call, args.positional[1], canvas, picture.grid.value_or(GridSettings{}));
}

int RunFilters(const Invocation& call) {
  ParsedArguments args;
  int status = kSuccess;
  if (!ParseArguments(call, {}, {}, args, status)) return status;
  if (!args.positional.empty()) return Usage(call, "takes no arguments");
  const FilterLibraryList libraries(ProgramPath("Filter"));
  Json list = Json::array();
  for (const auto& library : libraries.Libraries()) {
    Json filters = Json::array();
    for (const std::string& name : library->FilterNames()) {
      Json params = Json::array();
      for (const FilterParameter& p : library->Parameters(name))
        params.push_back({{"name", p.name}, {"min", p.min}, {"max", p.max}, {"default", p.def}});
      filters.push_back({{"name", name}, {"params", std::move(params)}});
    }
    list.push_back({{"library", library->FileName()},
                    {"interface", InterfaceName(library->Interface())},
                    {"filters", std::move(filters)}});
  }
  call.out << list.dump(-1, ' ', false, Json::error_handler_t::replace) << '\n';
  return kSuccess;
}

}  // namespace varnel::cli
