#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "document/file_io.h"
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

namespace varnel::cli {
namespace {

int RunProgram(const std::vector<std::string>& args) {
  const pid_t child = fork();
  if (child == 0) {
    std::vector<char*> argv{const_cast<char*>("varnel-cli")};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(VARNEL_PROGRAM_DIR "/varnel-cli", argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Both writers: the program's own (.vlb) and a picture plug-in's (.png).
TEST(CliProgram, AnOutputNamedAsLongAsAFileNameMayBeIsWritten) {
  test::TempFolder folder;
  ASSERT_EQ(RunProgram({"new", folder / "a.vlb", "4", "4"}), kSuccess);
  for (const char* extension : {".vlb", ".png"}) {
    const std::string name = std::string(255 - 4, 'x') + extension;
    EXPECT_EQ(RunProgram({"convert", folder / "a.vlb", folder / name}), kSuccess) << extension;
    EXPECT_TRUE(std::filesystem::is_regular_file(folder / name)) << extension;
    std::filesystem::remove(folder / name);
  }
  EXPECT_EQ(folder.List(), (std::vector<std::string>{"a.vlb"}));
}

TEST(CliProgram, AnOutputThatLinksToAFolderIsRefusedAndTheLinkStays) {
  test::TempFolder folder;
  ASSERT_EQ(RunProgram({"new", folder / "a.vlb", "4", "4"}), kSuccess);
  std::filesystem::create_directory(folder / "d");
  for (const char* name : {"out.vlb", "out.png"}) {
    std::filesystem::create_directory_symlink("d", folder / name);
    EXPECT_EQ(RunProgram({"convert", folder / "a.vlb", folder / name}), kFailed) << name;
    EXPECT_TRUE(std::filesystem::is_symlink(folder / name)) << name;
  }
  EXPECT_TRUE(std::filesystem::is_empty(folder / "d"));
}

TEST(CliProgram, AnInterruptedCommandTakesItsTemporaryFilesWithIt) {
  test::TempFolder folder;
  // An input nobody writes to: opening it waits until the signal comes.
  ASSERT_EQ(mkfifo((folder / "in.vlb").c_str(), 0600), 0);
  const pid_t child = fork();
  if (child == 0) {
    execl(VARNEL_PROGRAM_DIR "/varnel-cli", "varnel-cli", "convert", (folder / "in.vlb").c_str(),
          (folder / "out.vlb").c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  // What the command was writing, and what others were.
  const std::string own = TemporaryNamePrefix(child) + "0.tmp", other = TemporaryNamePrefix(child + 1) + "0.tmp";
  for (const std::string& name : {own, other, std::string("keep.tmp")}) std::ofstream(folder / name) << "x";
  // The signal is sent once the program holds it for its waiting thread.
  const std::string status = "/proc/" + std::to_string(child) + "/status";
  bool held = false;
  for (int tries = 0; tries < 500 && !held; ++tries) {
    std::ifstream file(status);
    for (std::string line; std::getline(file, line);)
      if (line.starts_with("SigBlk:")) held = (std::stoull(line.substr(7), nullptr, 16) >> (SIGTERM - 1) & 1) != 0;
    if (!held) usleep(10000);
  }
  ASSERT_TRUE(held);
  kill(child, SIGTERM);
  int result = 0;
  ASSERT_EQ(waitpid(child, &result, 0), child);
  EXPECT_TRUE(WIFSIGNALED(result) && WTERMSIG(result) == SIGTERM) << result;
  EXPECT_EQ(folder.List(), (std::vector<std::string>{other, "in.vlb", "keep.tmp"}));
}

}  // namespace
}  // namespace varnel::cli
