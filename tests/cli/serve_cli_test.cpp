#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <regex>
#include <string>
#include <vector>

#include "tests/cli/cli_run.h"

namespace varnel::cli {
namespace {

using cli_test::RunCli;

TEST(ServeCli, WrongPortsAndArgumentsAreWrongUsage) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"serve", "--port", "65536"}, {"serve", "--port", "-1"}, {"serve", "--port", "x"},
           {"serve", "--port"}, {"serve", "extra"}, {"serve", "--bogus"}}) {
    const cli_test::Result r = RunCli(args);
    EXPECT_EQ(r.status, kUsage) << args.back();
    EXPECT_TRUE(r.out.empty());
  }
}

// A listening socket on 127.0.0.1 and its port.
int ListenAnywhere(int& port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  socklen_t size = sizeof address;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), size) != 0 || listen(fd, 1) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0)
    return -1;
  port = ntohs(address.sin_port);
  return fd;
}

TEST(ServeCli, APortInUseFailsWithTheProgramsMessage) {
  int port = 0;
  const int taken = ListenAnywhere(port);
  ASSERT_GE(taken, 0);
  const cli_test::Result r = RunCli({"serve", "--port", std::to_string(port)});
  close(taken);
  EXPECT_EQ(r.status, kFailed);
  EXPECT_EQ(r.err.rfind("varnel-cli: port " + std::to_string(port) + " (", 0), 0u) << r.err;
  EXPECT_NE(r.err.find(")が作成できません\n"), std::string::npos) << r.err;
}

// Reads from fd until the text holds `until` or two seconds pass.
bool ReadUntil(int fd, std::string& text, const std::string& until) {
  for (int rounds = 0; text.find(until) == std::string::npos && rounds < 40; ++rounds) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 50) <= 0) continue;
    char buffer[4096];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    text.append(buffer, static_cast<size_t>(n));
  }
  return text.find(until) != std::string::npos;
}

TEST(ServeCli, ServesOnTheBoundPortAndSaysGoodbyeOnSigterm) {
  int out[2], err[2];
  ASSERT_EQ(pipe(out), 0);
  ASSERT_EQ(pipe(err), 0);
  const pid_t child = fork();
  if (child == 0) {
    dup2(out[1], STDOUT_FILENO);
    dup2(err[1], STDERR_FILENO);
    execl(VARNEL_PROGRAM_DIR "/varnel-cli", "varnel-cli", "serve", "--port", "0", "--password", "pw",
          static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  close(err[1]);
  std::string said, logged;
  ASSERT_TRUE(ReadUntil(out[0], said, "\n")) << said;
  std::smatch port;
  ASSERT_TRUE(std::regex_match(said, port, std::regex("listening on ([1-9][0-9]*)\n"))) << said;

  const int member = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(std::stoi(port[1])));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(connect(member, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  const std::string hello = "NABP0000000002pwNNID0000000015taro,0000000001";
  ASSERT_EQ(write(member, hello.data(), hello.size()), static_cast<ssize_t>(hello.size()));
  std::string received;
  EXPECT_TRUE(ReadUntil(member, received, "NNID0000000015taro,0000000001"));
  EXPECT_TRUE(ReadUntil(err[0], logged, "join 1 taro\n"));

  kill(child, SIGTERM);
  EXPECT_TRUE(ReadUntil(member, received, "NSST0000000027Server Shutdown\r\nGood Bye\r\n")) << received;
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  ReadUntil(err[0], logged, "shutdown\n");
  // Every line: the local time with its offset, then the event.
  EXPECT_TRUE(std::regex_search(
      logged, std::regex("(^|\n)\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d(Z|[+-]\\d\\d:\\d\\d) join 1 taro\n")))
      << logged;
  close(member);
  close(out[0]);
  close(err[0]);
}

}  // namespace
}  // namespace varnel::cli
