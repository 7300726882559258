// The relay's rules fed by hostile members: the input is a script of connections, arbitrary
// bytes from them in arbitrary pieces, disconnects and sweeps. Whatever they send, the relay
// sends only whole messages, and after the greeting only to authenticated connections that are
// not being dropped.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "peerlook/relay_core.h"

namespace {

using varnel::peerlook::FrameReader;
using varnel::peerlook::RelayCore;

struct Checker : varnel::peerlook::RelayOutput {
  RelayCore* core = nullptr;
  int32_t greeting = 0;  // the connection being accepted
  void Send(int32_t id, std::string_view message) override {
    if (id != greeting && !core->Receives(id)) std::abort();
    // Exactly one whole message; relayed payloads may exceed what a member sends by the
    // sender's identifier.
    FrameReader reader(size_t{4} << 20);
    std::vector<std::string> out;
    if (!reader.Feed(message, out) || out.size() != 1 || reader.Pending() != 0) std::abort();
  }
  void Event(std::string_view line) override {
    for (char ch : line)
      if (ch == '\n' || ch == '\r') std::abort();
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Checker checker;
  RelayCore core(checker);
  checker.core = &core;
  std::vector<int32_t> ids;
  int64_t now = 0;
  size_t at = 0;
  auto next = [&]() -> uint8_t { return at < size ? data[at++] : 0; };
  if (next() & 1) core.SetPassword("pw");
  while (at < size) {
    const uint8_t op = next();
    const size_t pick = ids.empty() ? 0 : next() % ids.size();
    switch (op % 8) {
      case 0:
        checker.greeting = static_cast<int32_t>(ids.size() + 1);
        ids.push_back(core.Accept(now));
        checker.greeting = 0;
        break;
      case 1: case 2: case 3: case 4: {
        // A piece of up to 255 bytes of the input from one connection.
        const size_t length = std::min<size_t>(next(), size - at);
        if (!ids.empty()) core.Receive(ids[pick], std::string_view(reinterpret_cast<const char*>(data + at), length));
        at += length;
        break;
      }
      case 5:
        if (!ids.empty()) core.Closed(ids[pick]);
        break;
      case 6:
        now += 1500 * (next() % 32);
        core.Sweep(now);
        break;
      default:
        if (!ids.empty()) core.MarkForDrop(ids[pick], "not reading");
        break;
    }
  }
  core.Shutdown();
  if (core.ConnectionCount() != 0) std::abort();
  return 0;
}
