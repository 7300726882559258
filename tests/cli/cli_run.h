#pragma once
// Running varnel-cli in the test process: the exit status and what it wrote to stdout and
// stderr.

#include <sstream>
#include <string>
#include <vector>

#include "cli/commands.h"

namespace varnel::cli::cli_test {

struct Result {
  int status;
  std::string out;
  std::string err;
};

inline Result RunCli(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  const int status = Run(args, out, err);
  return {status, out.str(), err.str()};
}

}  // namespace varnel::cli::cli_test
