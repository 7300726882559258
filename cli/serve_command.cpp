#include "cli/serve_command.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QAbstractSocket>
#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QTcpSocket>
#include <QTimer>
#include <cerrno>
#include <ostream>
#include <string>

#include "cli/cli_support.h"
#include "peerlook/relay_server.h"
#include "peerlook/wire.h"

namespace varnel::cli {
namespace {

// The members' goodbyes get this long to leave before the process ends.
constexpr int kGoodbyeWaitMs = 2000;

// SIGINT and SIGTERM only write a byte into a pipe; the event loop reads it and stops.
int gSignalPipe[2] = {-1, -1};

extern "C" void OnStopSignal(int) {
  const int saved = errno;
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = write(gSignalPipe[1], &byte, 1);
  errno = saved;
}

class StopSignals {
 public:
  StopSignals() {
    if (pipe2(gSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    m_ok = sigaction(SIGINT, &action, &m_oldInt) == 0 && sigaction(SIGTERM, &action, &m_oldTerm) == 0;
  }
  ~StopSignals() {
    sigaction(SIGINT, &m_oldInt, nullptr);
    sigaction(SIGTERM, &m_oldTerm, nullptr);
    for (int& fd : gSignalPipe) {
      if (fd >= 0) close(fd);
      fd = -1;
    }
  }
  bool Ok() const { return m_ok; }
  int ReadEnd() const { return gSignalPipe[0]; }

 private:
  bool m_ok = false;
  struct sigaction m_oldInt {};
  struct sigaction m_oldTerm {};
};

void EnsureApplication() {
  if (QCoreApplication::instance()) return;
  static int argc = 1;
  static char name[] = "varnel-cli";
  static char* argv[] = {name, nullptr};
  static QCoreApplication* application = new QCoreApplication(argc, argv);
  (void)application;
}

}  // namespace

int RunServe(const Invocation& call) {
  ParsedArguments args;
  int status = kSuccess;
  if (!ParseArguments(call, {}, {"--port", "--password"}, args, status)) return status;
  if (!args.positional.empty()) return Usage(call, "takes no arguments, only --port and --password");
  int32_t port = peerlook::kDefaultServerPort;
  if (const std::string* value = args.Value("--port"); value && !ParseInt(*value, 0, 65535, port))
    return Usage(call, "--port must be a port number from 0 to 65535 (0: any free port)");

  EnsureApplication();
  StopSignals stopSignals;
  if (!stopSignals.Ok()) return Fail(call, "cannot install the signal handlers");

  peerlook::RelayServer server;
  if (const std::string* password = args.Value("--password")) server.SetPassword(QString::fromStdString(*password));
  QObject::connect(&server, &peerlook::RelayServer::Log, [&call](const QString& event) {
    // Local time with its offset, so lines from hosts in different zones compare.
    const QDateTime now = QDateTime::currentDateTime();
    call.err << now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODate).toStdString() << ' '
             << event.toStdString() << std::endl;
  });
  if (!server.Listen(static_cast<quint16>(port)))
    return Fail(call, "port " + std::to_string(port) + " (" + server.ErrorString().toStdString() + ")" +
                          peerlook::kMsgCannotCreate);
  call.out << "listening on " << server.Port() << std::endl;

  QEventLoop loop;
  QSocketNotifier stop(stopSignals.ReadEnd(), QSocketNotifier::Read);
  QObject::connect(&stop, &QSocketNotifier::activated, &loop, &QEventLoop::quit);
  loop.exec();

  server.Shutdown();
  // Let the goodbyes leave: the closing sockets stay children of the server until written.
  auto closing = [&server] {
    for (const QTcpSocket* socket : server.findChildren<QTcpSocket*>())
      if (socket->state() != QAbstractSocket::UnconnectedState) return true;
    return false;
  };
  QElapsedTimer waited;
  waited.start();
  QTimer poll;
  poll.setInterval(20);
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    if (!closing() || waited.elapsed() >= kGoodbyeWaitMs) loop.quit();
  });
  poll.start();
  if (closing()) loop.exec();
  return kSuccess;
}

}  // namespace varnel::cli
