// The relay under load: 50 members each send 1,000 chat lines through one `varnel-cli serve`
// running as a child process, so its memory is its own (VmRSS and VmHWM from /proc). Every
// member must receive every line of every member, the sender's own included, in the order it
// was sent. Counters: seconds from the first line sent to the last delivered, and the relay's
// memory before the members come, at its peak, and after they have all left.

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "peerlook/wire.h"

namespace varnel::peerlook {
namespace {

constexpr int kMembers = 50;
constexpr int kLines = 1000;
constexpr int kTimeoutMs = 60000;

using Clock = std::chrono::steady_clock;

// A value of /proc/<pid>/status in MiB ("VmRSS", "VmHWM").
double StatusMiB(pid_t pid, const std::string& key) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind(key + ":", 0) == 0) return std::stod(line.substr(key.size() + 1)) / 1024.0;
  return -1;
}

struct Relay {
  pid_t pid = -1;
  int port = 0;
};

Relay StartRelay() {
  int out[2];
  if (pipe(out) != 0) return {};
  Relay relay;
  relay.pid = fork();
  if (relay.pid == 0) {
    dup2(out[1], STDOUT_FILENO);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, STDERR_FILENO);  // the join and leave lines
    execl(VARNEL_PROGRAM_DIR "/varnel-cli", "varnel-cli", "serve", "--port", "0", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  std::string said;
  char buffer[256];
  for (ssize_t n; said.find('\n') == std::string::npos && (n = read(out[0], buffer, sizeof buffer)) > 0;)
    said.append(buffer, static_cast<size_t>(n));
  close(out[0]);
  if (said.rfind("listening on ", 0) == 0) relay.port = std::stoi(said.substr(13));
  return relay;
}

struct Member {
  int fd = -1;
  int32_t id = 0;
  FrameReader reader{size_t{1} << 20};
  std::string outgoing;
  std::set<int32_t> known;          // identifiers of the member list
  std::vector<int> nextLine;        // per sender id: the line expected next
  long delivered = 0;
  bool broken = false;
};

int Connect(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return -1;
  fcntl(fd, F_SETFL, O_NONBLOCK);
  return fd;
}

// One round of every member's reads and writes, waiting at most 100 ms for any.
void Pump(std::vector<Member>& members) {
  std::vector<pollfd> fds;
  for (const Member& m : members)
    fds.push_back({m.fd, static_cast<short>(POLLIN | (m.outgoing.empty() ? 0 : POLLOUT)), 0});
  if (poll(fds.data(), fds.size(), 100) <= 0) return;
  std::vector<std::string> messages;
  char buffer[65536];
  for (size_t i = 0; i < members.size(); ++i) {
    Member& m = members[i];
    if ((fds[i].revents & POLLOUT) && !m.outgoing.empty()) {
      const ssize_t n = send(m.fd, m.outgoing.data(), m.outgoing.size(), MSG_NOSIGNAL);
      if (n > 0) m.outgoing.erase(0, static_cast<size_t>(n));
    }
    if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
    const ssize_t n = recv(m.fd, buffer, sizeof buffer, 0);
    if (n <= 0) continue;
    messages.clear();
    if (!m.reader.Feed(std::string_view(buffer, static_cast<size_t>(n)), messages)) m.broken = true;
    for (const std::string& message : messages) {
      switch (TagOf(message)) {
        case Tag::NUSI: m.id = ParseDecimal(PayloadOf(message)); break;
        case Tag::NNID:
          if (auto entry = SplitNameId(PayloadOf(message))) m.known.insert(entry->second);
          break;
        case Tag::BCMS: {
          const auto chat = SplitChat(PayloadOf(message));
          if (!chat || chat->first < 1 || chat->first > kMembers) {
            m.broken = true;
            break;
          }
          int& expected = m.nextLine[static_cast<size_t>(chat->first)];
          if (chat->second != "line " + std::to_string(expected)) m.broken = true;
          ++expected;
          ++m.delivered;
          break;
        }
        default: break;
      }
    }
  }
}

template <typename Done>
bool PumpUntil(std::vector<Member>& members, Done done) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(kTimeoutMs);
  while (!done()) {
    if (Clock::now() > deadline) return false;
    Pump(members);
  }
  return true;
}

void BM_FiftyMembersThousandLinesEach(benchmark::State& state) {
  for (auto _ : state) {
    const Relay relay = StartRelay();
    if (relay.port == 0) {
      state.SkipWithError("varnel-cli serve did not start");
      return;
    }
    const double before = StatusMiB(relay.pid, "VmRSS");

    std::vector<Member> members(kMembers);
    for (Member& m : members) {
      m.fd = Connect(relay.port);
      m.nextLine.assign(kMembers + 1, 0);
    }
    PumpUntil(members, [&] {
      for (const Member& m : members)
        if (m.id == 0) return false;
      return true;
    });
    for (Member& m : members) m.outgoing = Frame(Tag::NABP, "") + Frame(Tag::NNID, "m" + std::to_string(m.id) + "," + Id10(m.id));
    const bool listed = PumpUntil(members, [&] {
      for (const Member& m : members)
        if (m.known.size() != kMembers) return false;
      return true;
    });

    const auto start = Clock::now();
    for (Member& m : members)
      for (int line = 0; line < kLines; ++line) m.outgoing += Frame(Tag::BCMS, "line " + std::to_string(line));
    const bool delivered = PumpUntil(members, [&] {
      for (const Member& m : members)
        if (m.delivered < long{kMembers} * kLines && !m.broken) return false;
      return true;
    });
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const double peak = StatusMiB(relay.pid, "VmHWM");

    bool inOrder = listed && delivered;
    for (const Member& m : members) {
      inOrder = inOrder && !m.broken && m.delivered == long{kMembers} * kLines;
      close(m.fd);
    }
    // The relay notices every close and frees each member; give it a moment to settle.
    double after = StatusMiB(relay.pid, "VmRSS");
    for (int i = 0; i < 20; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      const double now = StatusMiB(relay.pid, "VmRSS");
      if (now == after && i >= 5) break;
      after = now;
    }
    kill(relay.pid, SIGTERM);
    int status = 0;
    waitpid(relay.pid, &status, 0);

    state.SetIterationTime(seconds);
    state.counters["seconds"] = seconds;
    state.counters["relay_MiB_before"] = before;
    state.counters["relay_MiB_peak"] = peak;
    state.counters["relay_MiB_after"] = after;
    state.counters["lines_delivered"] = static_cast<double>(kMembers) * kMembers * kLines;
    std::printf("relay: %d members x %d lines in %.3f s; memory %.1f MiB before, %.1f MiB peak, %.1f MiB after; %s\n",
                kMembers, kLines, seconds, before, peak, after,
                inOrder ? "every line delivered in order" : "LINES LOST OR OUT OF ORDER");
    if (!inOrder) state.SkipWithError("lines lost or out of order");
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) state.SkipWithError("the relay did not end cleanly");
  }
}
BENCHMARK(BM_FiftyMembersThousandLinesEach)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace varnel::peerlook
