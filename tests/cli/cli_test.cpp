#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <sstream>
#include <string>
#include <sys/wait.h>

#include "cli/commands.h"
#include "tests/support/temp_folder.h"

namespace varnel::cli {
namespace {

// Every command of the command-line contract, in its order.
const std::vector<std::string> kContractCommands = {
    "info", "new", "convert", "flatten", "merge-all", "resize", "rotate", "turn", "filter",
    "filters", "batch", "script", "stroke", "select", "fill", "adjust", "region", "effect", "effects", "serve", "dump",
    "thumbnail"};

struct Result {
  int status;
  std::string out;
  std::string err;
};

Result RunInProcess(std::vector<std::string> args) {
  std::ostringstream out, err;
  const int status = Run(args, out, err);
  return {status, out.str(), err.str()};
}

TEST(CliHelp, ListsEveryCommandOfTheContractInOrder) {
  const Result r = RunInProcess({"--help"});
  EXPECT_EQ(r.status, kSuccess);
  size_t from = 0;
  for (const std::string& name : kContractCommands) {
    const size_t at = r.out.find("\n  " + name + ' ', from);
    const size_t atBare = r.out.find("\n  " + name + '\n', from);
    const size_t found = std::min(at, atBare);
    ASSERT_NE(found, std::string::npos) << name;
    from = found + 1;
  }
  std::vector<std::string> names;
  for (const Command& c : Commands()) names.emplace_back(c.name);
  EXPECT_EQ(names, kContractCommands);
}

TEST(CliUsage, CommandsWhoseCapabilityIsNotBuiltAnswerNotAvailableYetWithStatus2) {
  for (const Command& c : Commands()) {
    if (c.run) continue;
    const Result r = RunInProcess({std::string(c.name), "in.vlb", "out.vlb"});
    EXPECT_EQ(r.status, kUsage) << c.name;
    EXPECT_EQ(r.err, "varnel-cli: " + std::string(c.name) + " is not available yet\n");
    EXPECT_TRUE(r.out.empty());
  }
}

TEST(CliUsage, NoCommandOrAnUnknownOneIsWrongUsage) {
  const Result none = RunInProcess({});
  EXPECT_EQ(none.status, kUsage);
  EXPECT_NE(none.err.find("usage: varnel-cli COMMAND"), std::string::npos);
  const Result unknown = RunInProcess({"paint-everything"});
  EXPECT_EQ(unknown.status, kUsage);
  EXPECT_NE(unknown.err.find("unknown command 'paint-everything'"), std::string::npos);
}

// The installed executable behaves the same from a shell.
TEST(CliProgram, RunsFromTheProgramFolderWithTheSameAnswers) {
  const std::string program = VARNEL_PROGRAM_DIR "/varnel-cli";
  auto run = [&](const std::string& args) {
    std::string out;
    FILE* pipe = popen((program + ' ' + args + " 2>&1").c_str(), "r");
    std::array<char, 512> buffer{};
    while (pipe && fgets(buffer.data(), int(buffer.size()), pipe)) out += buffer.data();
    const int status = pipe ? pclose(pipe) : -1;
    return std::pair{WEXITSTATUS(status), out};
  };
  auto [helpStatus, help] = run("--help");
  EXPECT_EQ(helpStatus, 0);
  EXPECT_NE(help.find("merge-all"), std::string::npos);
  auto [status, text] = run("flatten /nonexistent/a.vlb b.vlb");
  EXPECT_EQ(status, 1);
  EXPECT_EQ(text, "varnel-cli: 画像が読み込めません\n");
  auto [usageStatus, usage] = run("flatten a.vlb");
  EXPECT_EQ(usageStatus, 2);
  EXPECT_NE(usage.find("expects IN OUT"), std::string::npos);
}

// Pictures in other formats go through the picture plug-ins of the program folder.
TEST(CliProgram, ConvertsThroughThePngPlugInBothWays) {
  const std::string program = VARNEL_PROGRAM_DIR "/varnel-cli";
  const test::TempFolder folder;
  const std::string dir = folder.Path().string();
  auto run = [&](const std::string& args) {
    std::string out;
    FILE* pipe = popen((program + ' ' + args + " 2>&1").c_str(), "r");
    std::array<char, 512> buffer{};
    while (pipe && fgets(buffer.data(), int(buffer.size()), pipe)) out += buffer.data();
    const int status = pipe ? pclose(pipe) : -1;
    return std::pair{WEXITSTATUS(status), out};
  };
  ASSERT_EQ(run("new " + dir + "/a.vlb 7 3").first, 0);
  auto [toPng, toPngText] = run("convert " + dir + "/a.vlb " + dir + "/a.png");
  ASSERT_EQ(toPng, 0) << toPngText;
  auto [info, infoText] = run("info " + dir + "/a.png");
  ASSERT_EQ(info, 0) << infoText;
  EXPECT_NE(infoText.find("\"format\":\"plugin\""), std::string::npos) << infoText;
  EXPECT_NE(infoText.find("\"canvas\":{\"width\":7,\"height\":3}"), std::string::npos) << infoText;
  auto [back, backText] = run("flatten " + dir + "/a.png " + dir + "/b.vlb");
  EXPECT_EQ(back, 0) << backText;
  auto [unknown, unknownText] = run("convert " + dir + "/a.vlb " + dir + "/a.nowriter");
  EXPECT_EQ(unknown, 1);
}

}  // namespace
}  // namespace varnel::cli
