#include "cli/transform_commands.h"

#include <cstdint>
#include <new>
#include <optional>
#include <string>

#include "cli/cli_support.h"
#include "cli/document_commands.h"
#include "document/document_file.h"
#include "platform/host.h"
#include "transformer/transform_host.h"

namespace varnel::cli {
namespace {

// The largest side the command line takes; anything larger fails for memory anyway.
constexpr int32_t kMaxSide = 1 << 20;

// Runs a transform with the program's messages caught: a message box becomes the failure
// line. Writes the new document to out.
template <typename Transform>
int Transformed(const Invocation& call, const std::string& out, Transform transform) {
  RecordingHost host;
  std::optional<TransformResult> result;
  try {
    ScopedHost scoped(host);
    result = transform();
  } catch (const std::bad_alloc&) {
    return Fail(call, kNoMemory);
  }
  if (!host.boxes.empty()) return Fail(call, host.boxes.front().text);
  if (!result || result->layers.empty()) return Fail(call, kMsgTransformNoMemory);
  Canvas document;
  if (!PlaceTransformResult(document, std::move(*result), false)) return Fail(call, kMsgTransformNoMemory);
  ComposeForWriting(document, out);
  return SaveCanvas(call, out, document, GridSettings{});
}

// IN OUT and count further positional arguments, the canvas opened with --layer active.
bool OpenInput(const Invocation& call, const ParsedArguments& args, size_t positional, const char* usage,
               OpenedPicture& picture, Canvas& canvas, int& status) {
  if (args.positional.size() != positional) {
    status = Usage(call, usage);
    return false;
  }
  int32_t layerIndex = 0;
  if (!ParseLayerOption(args, layerIndex)) {
    status = Usage(call, "--layer must be a layer index from 0");
    return false;
  }
  return OpenCanvas(call, args.positional[0], layerIndex, picture, canvas, status);
}

}  // namespace

int RunResize(const Invocation& call) {
  ParsedArguments args;
  int status = kSuccess;
  if (!ParseArguments(call, {"--all-layers"}, {"--method", "--layer"}, args, status)) return status;
  TransformAnswers answers;
  if (args.positional.size() == 4 && (!ParseInt(args.positional[2], 0, kMaxSide, answers.size.width) ||
                                      !ParseInt(args.positional[3], 0, kMaxSide, answers.size.height)))
    return Usage(call, "WIDTH and HEIGHT must be whole numbers from 0 to " + std::to_string(kMaxSide));
  if (const std::string* method = args.Value("--method");
      method && !ParseInt(*method, 0, kTransformMethodCount - 1, answers.method))
    return Usage(call, "--method must be 0 to 5 (通常, 多項式補間, スプライン1, Cubic B-Spline, oMoms, Keys'function)");
  OpenedPicture picture;
  Canvas canvas;
  if (!OpenInput(call, args, 4, "expects IN OUT WIDTH HEIGHT", picture, canvas, status)) return status;
  TransformerLibrary library;
  library.SetDialogs(AnsweringDialogs(answers));
  const bool allLayers = args.Has("--all-layers");
  return Transformed(call, args.positional[1],
                     [&] { return TransformLayers(canvas, library, kTransformResize, allLayers, nullptr); });
}

int RunRotate(const Invocation& call) {
  ParsedArguments args;
  int status = kSuccess;
  if (!ParseArguments(call, {}, {"--layer"}, args, status)) return status;
  TransformAnswers answers;
  if (args.positional.size() == 3 && !ParseInt(args.positional[2], INT32_MIN, INT32_MAX, answers.degrees))
    return Usage(call, "DEGREES must be a whole number");
  OpenedPicture picture;
  Canvas canvas;
  if (!OpenInput(call, args, 3, "expects IN OUT DEGREES", picture, canvas, status)) return status;
  TransformerLibrary library;
  library.SetDialogs(AnsweringDialogs(answers));
  return Transformed(call, args.positional[1],
                     [&] { return TransformLayers(canvas, library, kTransformRotate, false, nullptr); });
}

int RunTurn(const Invocation& call) {
  ParsedArguments args;
  int status = kSuccess;
  if (!ParseArguments(call, {}, {"--layer"}, args, status)) return status;
  static const std::pair<const char*, FixedTransform> kTurns[] = {
      {"right", FixedTransform::kTurnRight},
      {"left", FixedTransform::kTurnLeft},
      {"flip-vertical", FixedTransform::kFlipVertical},
      {"flip-horizontal", FixedTransform::kFlipHorizontal},
  };
  std::optional<FixedTransform> transform;
  if (args.positional.size() == 3)
    for (const auto& [name, turn] : kTurns)
      if (args.positional[2] == name) transform = turn;
  if (args.positional.size() == 3 && !transform)
    return Usage(call, "the turn must be right, left, flip-vertical or flip-horizontal");
  OpenedPicture picture;
  Canvas canvas;
  if (!OpenInput(call, args, 3, "expects IN OUT right|left|flip-vertical|flip-horizontal", picture, canvas, status))
    return status;
  return Transformed(call, args.positional[1], [&] { return ApplyFixedTransform(canvas, *transform); });
}

}  // namespace varnel::cli
