#pragma once
// The commands of varnel-cli and the dispatcher the executable and the tests share.

#include <functional>
#include <iosfwd>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace varnel::cli {

enum ExitCode : int { kSuccess = 0, kFailed = 1, kUsage = 2 };

struct Invocation {
  std::string command;
  std::vector<std::string> arguments;  // the command's arguments and options, as given
  std::ostream& out;
  std::ostream& err;
};

struct Command {
  std::string_view name;
  std::string_view synopsis;  // arguments and options, as the help lists them
  std::string_view summary;
  // Null while the capability behind the command is not built yet.
  std::function<int(const Invocation&)> run;
};

// Every command, in the order the help lists them.
const std::vector<Command>& Commands();

// argv without the program name.
int Run(std::span<const std::string> args, std::ostream& out, std::ostream& err);

void PrintHelp(std::ostream& out);

}  // namespace varnel::cli
