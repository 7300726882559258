#include "cli/effect_commands.h"

#include <climits>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "animorph/effect_host.h"
#include "cli/cli_support.h"
#include "cli/document_commands.h"
#include "core/layer.h"
#include "platform/program_folder.h"

namespace varnel::cli {

int RunEffect(const Invocation& call) {
  ParsedArguments args;
  int status = kSuccess;
  if (!ParseArguments(call, {}, {"--percent", "--dest", "--layer"}, args, status)) return status;
  if (args.positional.size() != 5) return Usage(call, "expects IN OUT INDEX FRAME COUNT");
  int32_t layerIndex = 0;
  if (!ParseLayerOption(args, layerIndex)) return Usage(call, "--layer must be a layer index from 0");
  int32_t index = 0, frame = 0, count = 0, percent = 0;
  if (!ParseInt(args.positional[2], 0, INT32_MAX, index)) return Usage(call, "INDEX must be a whole number from 0");
  if (!ParseInt(args.positional[4], 1, INT32_MAX, count)) return Usage(call, "COUNT must be a whole number from 1");
  if (!ParseInt(args.positional[3], 0, count, frame)) return Usage(call, "FRAME must be a whole number from 0 to COUNT");
  const std::string* percentText = args.Value("--percent");
  if (percentText && !ParseInt(*percentText, INT32_MIN, INT32_MAX, percent))
    return Usage(call, "--percent must be a whole number");

  const EffectLibraryList libraries(ProgramPath("Animation/Effect"));
  const EffectLibrary* library = libraries.Find(kAnimorphLibrary);
  if (!library || !library->IsLoaded())
    return Fail(call, std::string("no effect library ") + kAnimorphLibrary + " in Animation/Effect/");
  if (!library->HasEffect(index)) return Fail(call, std::string(kAnimorphLibrary) + " has no effect " + args.positional[2]);

  OpenedPicture picture;
  Canvas canvas;
  if (!OpenCanvas(call, args.positional[0], layerIndex, picture, canvas, status)) return status;
  OpenedPicture destinationPicture;
  Canvas destination;
  const std::string* destinationPath = args.Value("--dest");
  if (destinationPath && !OpenCanvas(call, *destinationPath, 0, destinationPicture, destination, status)) return status;

  EffectInstance effect(*library, index);
  if (percentText && effect.EnlargeObject()) effect.EnlargeObject()->percent = percent;
  auto frameLayer = std::make_unique<Layer>();
  int32_t opacity = 256;
  if (!effect.RenderFrame(*canvas.ActiveLayer(), destinationPath ? destination.GetLayer(0) : nullptr, frame, count,
                          *frameLayer, opacity))
    return Fail(call, library->EffectNames()[index] + " could not render frame " + args.positional[3] + " of " +
                          args.positional[4]);
  if (index == 0 || index == 1) call.out << "opacity: " << opacity << '\n';
  Canvas out;
  out.InitWithLayer(std::move(frameLayer));
  return SaveCanvas(call, args.positional[1], out, GridSettings{});
}

int RunEffects(const Invocation& call) {
  ParsedArguments args;
  int status = kSuccess;
  if (!ParseArguments(call, {}, {}, args, status)) return status;
  if (!args.positional.empty()) return Usage(call, "takes no arguments");
  const EffectLibraryList libraries(ProgramPath("Animation/Effect"));
  nlohmann::ordered_json list = nlohmann::ordered_json::array();
  for (const auto& library : libraries.Libraries())
    list.push_back({{"library", library->FileName()}, {"effects", library->EffectNames()}});
  call.out << list.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
  return kSuccess;
}

}  // namespace varnel::cli
