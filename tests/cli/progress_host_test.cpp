// The progress line of varnel-cli: shown only on a terminal without --quiet, rewritten in place,
// wiped before a message and when the work ends.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <functional>

#include "cli/progress_host.h"

namespace varnel::cli {
namespace {

struct WantCase {
  const char* name;
  std::vector<std::string> args;
  bool terminal;
  bool expected;
};

TEST(ProgressLine, ShowsOnlyOnATerminalWithoutQuiet) {
  const WantCase cases[] = {
      {"terminal", {"convert", "a.vlb", "b.bmp"}, true, true},
      {"pipe or file", {"convert", "a.vlb", "b.bmp"}, false, false},
      {"quiet last", {"convert", "a.vlb", "b.bmp", "--quiet"}, true, false},
      {"quiet first", {"--quiet", "convert", "a.vlb", "b.bmp"}, true, false},
      {"a file named like it is still an argument", {"convert", "--quiet.vlb", "b.bmp"}, true, true},
  };
  for (const WantCase& c : cases) EXPECT_EQ(WantsProgressLine(c.args, c.terminal), c.expected) << c.name;
}

// What the host wrote to its descriptor during steps, then at its end.
std::string Written(bool shown, const std::function<void(ProgressHost&)>& steps) {
  int fds[2];
  EXPECT_EQ(pipe(fds), 0);
  {
    ProgressHost host(shown, fds[1]);
    steps(host);
  }
  close(fds[1]);
  std::string text;
  char buffer[512];
  ssize_t n;
  while ((n = read(fds[0], buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(n));
  close(fds[0]);
  return text;
}

struct LineCase {
  const char* name;
  bool shown;
  std::function<void(ProgressHost&)> steps;
  std::string expected;
};

TEST(ProgressLine, RewritesOneLineInPlaceAndWipesIt) {
  const std::string wipe = "\r\x1b[K";
  const LineCase cases[] = {
      {"two states then cleared", true,
       [](ProgressHost& h) {
         h.SetStatusText("a [ 10%]");
         h.SetStatusText("a [ 20%]");
         h.SetStatusText("");
       },
       wipe + "varnel-cli: a [ 10%]" + wipe + "varnel-cli: a [ 20%]" + wipe},
      {"the same text twice is written once", true,
       [](ProgressHost& h) {
         h.SetStatusText("b");
         h.SetStatusText("b");
       },
       wipe + "varnel-cli: b" + wipe},
      {"clearing nothing writes nothing", true, [](ProgressHost& h) { h.SetStatusText(""); }, ""},
      {"hidden line", false, [](ProgressHost& h) { h.SetStatusText("c [ 50%]"); }, ""},
  };
  for (const LineCase& c : cases) EXPECT_EQ(Written(c.shown, c.steps), c.expected) << c.name;
}

}  // namespace
}  // namespace varnel::cli
