// A 64 MiB file from one member to another over loopback, the way the program sends one: the
// offer through the relay, then the data connection between the members, until the receiver
// has the whole file and the sender has closed. Reported as bytes per second.

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <fstream>
#include <random>
#include <vector>

#include "peerlook/peer_client.h"
#include "peerlook/relay_server.h"
#include "tests/support/temp_folder.h"

namespace varnel::peerlook {
namespace {

constexpr int64_t kFileSize = int64_t{64} << 20;

struct AllowEverything : PeerPrompts {
  void Information(const QString&) override {}
  bool AskAllowTransfer(const QString&) override { return true; }
  void Error(const QString& text) override { std::fprintf(stderr, "%s\n", text.toUtf8().constData()); }
};

QCoreApplication& Application() {
  static int argc = 1;
  static char name[] = "peerlook_transfer_bench";
  static char* argv[] = {name, nullptr};
  static QCoreApplication app(argc, argv);
  return app;
}

// Runs the event loop until done answers true; false after the limit.
template <typename Done>
bool Spin(Done done, int limitMs = 60000) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > limitMs) return false;
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  }
  return true;
}

void BM_TransferThroughRelay(benchmark::State& state) {
  Application();
  test::TempFolder folder;
  const std::string source = folder / "payload.bin";
  {
    std::mt19937 random(20261208);
    std::vector<uint32_t> words(static_cast<size_t>(kFileSize / 4));
    for (uint32_t& word : words) word = random();
    std::ofstream(source, std::ios::binary).write(reinterpret_cast<const char*>(words.data()), kFileSize);
  }
  RelayServer relay;
  if (!relay.Listen(0, QHostAddress::LocalHost)) {
    state.SkipWithError("relay cannot listen");
    return;
  }
  AllowEverything prompts;
  PeerClient sender(&prompts), receiver(&prompts);
  int arrived = 0, ended = 0;
  QObject::connect(&receiver, &PeerClient::Notice,
                   [&](int tag, const QString&) { arrived += tag == kNoticeFileArrived; });
  QObject::connect(&sender, &PeerClient::Notice, [&](int tag, const QString&) { ended += tag == kNoticeSendingEnded; });
  for (PeerClient* member : {&sender, &receiver}) {
    member->SetFileTransferPort(0);
    member->SetDataStorePath(QString::fromStdString((folder.Path() / "store").string()));
    member->ConnectServer(QStringLiteral("127.0.0.1"), relay.Port());
  }
  if (!Spin([&] { return sender.Members()->rowCount() == 1 && receiver.Members()->rowCount() == 1; })) {
    state.SkipWithError("members did not meet");
    return;
  }
  for (auto _ : state) {
    const int want = arrived + 1;
    sender.SendFile(QString::fromStdString(source), receiver.OwnId());
    if (!Spin([&] { return arrived == want && ended == want; })) {
      state.SkipWithError("transfer did not finish");
      return;
    }
  }
  state.SetBytesProcessed(state.iterations() * kFileSize);
}
BENCHMARK(BM_TransferThroughRelay)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

}  // namespace
}  // namespace varnel::peerlook
