#include "cli/brush_preset_dump.h"

#include <ostream>

#include <nlohmann/json.hpp>

#include "brush/brush_preset.h"
#include "cli/cli_support.h"

namespace varnel::cli {

bool LooksLikeBrushPreset(const std::string& path) {
  if (path.size() < 4) return false;
  std::string ext = path.substr(path.size() - 4);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext == ".bpp";
}

int DumpBrushPreset(const Invocation& call, const std::string& path) {
  CustomBrushParams p;
  if (!ReadPresetFile(path, p)) return Fail(call, "ファイルを開けません");
  // Every field by its file keyword, without the "=", in the file's order.
  nlohmann::ordered_json json = nlohmann::ordered_json::object();
  for (const PresetKeyword& k : PresetKeywords()) {
    const std::string key(k.keyword.substr(0, k.keyword.size() - 1));
    std::visit(FieldVisitor{
                   [&](const std::string* value) { json[key] = *value; },
                   [&](const uint8_t* value) { json[key] = *value; },
                   [&](const int32_t* value) { json[key] = *value; },
                   [](const auto*) {},
                   [](std::monostate) {},
               },
               k.field.Bind(p));
  }
  call.out << json.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
  return kSuccess;
}

}  // namespace varnel::cli
