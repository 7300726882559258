#include "cli/commands.h"

#include <ostream>

#include "cli/adjust_command.h"
#include "cli/batch_command.h"
#include "cli/document_commands.h"
#include "cli/dump_command.h"
#include "cli/effect_commands.h"
#include "cli/filter_commands.h"
#include "cli/progress_host.h"
#include "cli/region_commands.h"
#include "cli/script_command.h"
#include "cli/serve_command.h"
#include "cli/select_fill_commands.h"
#include "cli/stroke_command.h"
#include "cli/thumbnail_command.h"
#include "cli/transform_commands.h"

namespace varnel::cli {

const std::vector<Command>& Commands() {
  static const std::vector<Command> commands = {
      {"info", "FILE", "print a picture file's canvas, grid and layers as JSON", RunInfo},
      {"new", "OUT [WIDTH HEIGHT]", "write a new image of one opaque white layer", RunNew},
      {"convert", "IN OUT", "open IN and save it as OUT", RunConvert},
      {"flatten", "IN OUT [--enable-masks]", "save the display composite as one layer", RunFlatten},
      {"merge-all", "IN OUT [--enable-masks]", "merge every layer into one opaque white layer", RunMergeAll},
      {"resize", "IN OUT WIDTH HEIGHT [--method M] [--all-layers] [--layer N]",
       "resize the active layer or every layer (methods 0-5 as in RESIZE)", RunResize},
      {"rotate", "IN OUT DEGREES [--layer N]", "rotate the active layer by any angle", RunRotate},
      {"turn", "IN OUT right|left|flip-vertical|flip-horizontal [--layer N]",
       "turn the active layer by 90 degrees or flip it", RunTurn},
      {"filter", "IN OUT LIBRARY FILTER [VALUES] [--layer N] [--preview]",
       "run one filter of a filter library on the active layer", RunFilter},
      {"filters", "", "list the filter libraries, their filters and parameters as JSON", RunFilters},
      {"batch", "IN OUT BATCHFILE [--layer N]", "run a filter batch file over the active layer", RunBatch},
      {"script", "IN OUT SCRIPTFILE [--layer N] [--timeout SECONDS]", "run a script over the active layer",
       RunScriptFile},
      {"stroke", "IN OUT --points \"x,y,p;...\" [--tool-state FILE] [--preset FILE.bpp] [--fg RRGGBB] [--bg RRGGBB] [--layer N]",
       "paint one brush stroke on the active layer", RunStroke},
      {"select", "IN OUT.vrd (--fill X,Y | --fuzzy X,Y | --range X,Y) [--tolerance T] [--component rgb|hue|saturation|lightness] [--surface] [--layer N]",
       "select by colour as the selection tool's fill, fuzzy and colour range shapes do", RunSelect},
      {"fill", "IN OUT X,Y [--tolerance T] [--mode foreground|brush|clear] [--whole] [--feather] [--fg RRGGBB] [--tool-state FILE] [--layer N]",
       "fill the closed area around a pixel of the active layer", RunFill},
      {"adjust", "IN OUT (--curve FILE.cc | --brightness B --contrast C | --rgba R,G,B,A | --tone \"c,m,y;c,m,y;c,m,y\") [--layer N]",
       "adjust the active layer's colours: curve files (one per channel, --curve repeats), brightness and contrast, RGBA values or tone balance",
       RunAdjust},
      {"region", "OP IN OUT [ARG]",
       "grow, shrink, trim, flip-vertical, flip-horizontal, invert WxH, feather D, union F, subtract F",
       RunRegion},
      {"effect", "IN OUT INDEX FRAME COUNT [--percent P] [--dest FILE] [--layer N]",
       "render one frame of an animation effect", RunEffect},
      {"effects", "", "list the effect libraries and their effects as JSON", RunEffects},
      {"serve", "[--port P] [--password PW]", "run the network relay server", RunServe},
      {"dump", "FILE", "describe one of the program's own small formats as JSON", RunDump},
      {"thumbnail", "IN OUT SIZE", "write a picture's preview as a PNG no larger than SIZE on either side", RunThumbnail},
  };
  return commands;
}

void PrintHelp(std::ostream& out) {
  out << "usage: varnel-cli COMMAND [ARGS] [OPTIONS]\n\n"
         "Runs Varnel's image work without a window. Options may stand anywhere after the\n"
         "command. Exit status: 0 success, 1 the operation failed, 2 wrong usage.\n\n"
         "commands:\n";
  for (const Command& c : Commands()) {
    out << "  " << c.name;
    if (!c.synopsis.empty()) out << ' ' << c.synopsis;
    out << "\n      " << c.summary << '\n';
  }
  out << "\n--quiet (with any command): no progress line on stderr. --version: the version.\n";
  out << "\nenvironment: VARNEL_HOME (program folder), VARNEL_CONFIG (settings file)\n";
}

int Run(std::span<const std::string> allArgs, std::ostream& out, std::ostream& err) {
  // --quiet may stand anywhere; main has read it already to choose the progress line.
  std::vector<std::string> args;
  for (const std::string& arg : allArgs)
    if (arg != kQuietOption) args.push_back(arg);
  if (args.empty()) {
    PrintHelp(err);
    return kUsage;
  }
  const std::string& name = args.front();
  if (name == "--version") {
    out << "varnel-cli " << VARNEL_VERSION << '\n';
    return kSuccess;
  }
  if (name == "--help" || name == "-h" || name == "help") {
    PrintHelp(out);
    return kSuccess;
  }
  for (const Command& c : Commands()) {
    if (c.name != name) continue;
    if (!c.run) {
      err << "varnel-cli: " << name << " is not available yet\n";
      return kUsage;
    }
    Invocation call{name, std::vector<std::string>(args.begin() + 1, args.end()), out, err};
    return c.run(call);
  }
  err << "varnel-cli: unknown command '" << name << "' (see varnel-cli --help)\n";
  return kUsage;
}

}  // namespace varnel::cli
