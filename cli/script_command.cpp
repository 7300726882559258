#include "cli/script_command.h"

#include <cstdio>
#include <string>

#include "cli/cli_support.h"
#include "cli/document_commands.h"
#include "document/text_file.h"
#include "macrolet/script_engine.h"
#include "platform/program_folder.h"

namespace varnel::cli {
namespace {

// The log the program's script run keeps, replaced by every run: what ran on which image, written
// before the script starts, so a script that never returns still leaves it.
constexpr const char* kScriptLogName = "script.log";

void WriteScriptLog(const std::string& scriptPath, const ImageSurface& target, const std::string& text) {
  std::FILE* log = std::fopen(WritablePath(kScriptLogName).c_str(), "wb");
  if (!log) return;  // a log that cannot be kept does not stop the script
  std::fprintf(log, "script path = %s\nwi = %d he = %d colorDepth = 32\nloading script...done\n", scriptPath.c_str(),
               static_cast<int>(target.Width()), static_cast<int>(target.Height()));
  std::fputs("script src=%\n", log);
  std::fwrite(text.data(), 1, text.size(), log);
  std::fputs("%\nstarting script...done\n", log);
  std::fclose(log);
}

// Runs the script on the canvas's edit target once, after the canvas has backed it up.
class ScriptCommand : public CanvasOperation {
 public:
  ScriptCommand(const std::string& path, const std::string& text, ScriptLanguage language, ScriptServices services)
      : m_path(path), m_text(text), m_language(language), m_services(std::move(services)) {}
  void Execute(ImageSurface& target, int32_t pass) override {
    if (pass != 1) return;
    WriteScriptLog(m_path, target, m_text);
    outcome = RunScript(m_text, m_language, &target, m_services);
  }

  ScriptOutcome outcome;

 private:
  const std::string& m_path;
  const std::string& m_text;
  ScriptLanguage m_language;
  ScriptServices m_services;
};

}  // namespace

int RunScriptFile(const Invocation& call) {
  ParsedArguments args;
  int status = kSuccess;
  if (!ParseArguments(call, {}, {"--layer", "--timeout"}, args, status)) return status;
  if (args.positional.size() != 3) return Usage(call, "expects IN OUT SCRIPTFILE");
  int32_t layerIndex = 0;
  if (!ParseLayerOption(args, layerIndex)) return Usage(call, "--layer must be a layer index from 0");
  int32_t timeoutSeconds = 0;
  if (const std::string* value = args.Value("--timeout"); value && !ParseInt(*value, 1, 86400, timeoutSeconds))
    return Usage(call, "--timeout must be whole seconds from 1 to 86400");

  const std::string& scriptPath = args.positional[2];
  std::string text;
  if (!text::ReadTextFile(scriptPath, text)) return Fail(call, "cannot read " + scriptPath);
  const ScriptLanguage language = LanguageForScriptFile(scriptPath);
  if (language == ScriptLanguage::kVBScript) return Fail(call, kVbscriptUnavailable);

  OpenedPicture picture;
  Canvas canvas;
  if (!OpenCanvas(call, args.positional[0], layerIndex, picture, canvas, status)) return status;
  ScriptServices services;
  services.messageBox = [&](const std::string& message) { call.out << message << '\n'; };
  services.timeoutMs = timeoutSeconds * 1000;
  ScriptCommand command(scriptPath, text, language, std::move(services));
  canvas.ApplyOperation(command);
  const ScriptOutcome& outcome = command.outcome;
  const std::string where = scriptPath + (outcome.line > 0 ? ":" + std::to_string(outcome.line) : std::string()) + ": ";
  if (outcome.interrupted) return Fail(call, where + "stopped after " + std::to_string(timeoutSeconds) + " s");
  if (outcome.failed) return Fail(call, where + outcome.description);
  return SaveCanvas(call, args.positional[1], canvas, picture.grid.value_or(GridSettings{}));
}

}  // namespace varnel::cli
