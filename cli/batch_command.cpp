#include "cli/batch_command.h"

#include <string>

#include "cli/cli_support.h"
#include "cli/document_commands.h"
#include "platform/program_folder.h"
#include "sievehost/batch_run.h"

namespace varnel::cli {

int RunBatch(const Invocation& call) {
  ParsedArguments args;
  int status = kSuccess;
  if (!ParseArguments(call, {}, {"--layer"}, args, status)) return status;
  if (args.positional.size() != 3) return Usage(call, "expects IN OUT BATCHFILE");
  int32_t layerIndex = 0;
  if (!ParseLayerOption(args, layerIndex)) return Usage(call, "--layer must be a layer index from 0");

  // A bare file name that is not in the working folder is looked for in Filter/Batch/, where
  // the dialog lists them.
  std::string path = args.positional[2];
  std::string content;
  if (!ReadBatchFile(path, content)) {
    const std::string inProgram = ReadablePath("Filter/Batch/" + path);
    if (path.find('/') != std::string::npos || !ReadBatchFile(inProgram, content))
      return Fail(call, BatchFileOpenErrorMessage(path));
  }

  OpenedPicture picture;
  Canvas canvas;
  if (!OpenCanvas(call, args.positional[0], layerIndex, picture, canvas, status)) return status;
  const SievehostLibraryList libraries(ProgramPath("Filter"));
  BatchRunHooks hooks;
  hooks.message = [&](const std::string& text) { call.out << text << '\n'; };
  hooks.skipped = [&](int32_t line, const std::string& text, BatchLine::Problem) {
    call.err << "varnel-cli: " << path << ':' << line << ": skipped: " << text << '\n';
  };
  BatchCommand command(libraries, std::move(content), std::move(hooks));
  canvas.ApplyOperation(command);
  return SaveCanvas(call, args.positional[1], canvas, picture.grid.value_or(GridSettings{}));
}

}  // namespace varnel::cli
