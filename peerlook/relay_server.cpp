#include "peerlook/relay_server.h"

#include <QElapsedTimer>
#include <QHash>
#include <QSet>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <string>
#include <vector>

#include "peerlook/relay_core.h"
#include "platform/code_page.h"

namespace varnel::peerlook {
namespace {

// Output waiting for one member is held up to this much; past it the member is dropped, so a
// peer that stops reading cannot grow the relay without bound.
constexpr qint64 kMaxPendingOutput = qint64{8} << 20;
// While the output waiting for all members together exceeds the high mark, no more is read
// from anyone (their bytes wait in the kernel, which slows the senders down) until it is
// below the low mark again. The high mark lies above one member's limit, so a single member
// that stops reading never pauses the group.
constexpr qint64 kHighWater = qint64{16} << 20;
constexpr qint64 kLowWater = qint64{4} << 20;
// A member whose output has not moved for this many sweeps has stopped reading; it is dropped,
// which also ends a pause in reading that it would otherwise hold for ever.
constexpr int kStalledSweeps = 2;
// What Qt reads ahead from one socket before we take it.
constexpr qint64 kReadBuffer = qint64{64} << 10;
constexpr qint64 kReadChunk = qint64{16} << 10;
// A member that is being shut down but does not take its goodbye is cut off after this long.
constexpr int kGoodbyeGraceMs = 2000;

// The last member has gone: what a busy group took (output queues of many members) goes back
// to the system instead of staying in the allocator for a server that may now idle for days.
void ReleaseMemory() {
#if defined(__GLIBC__)
  malloc_trim(0);
#endif
}

// An IPv4 peer on a dual-stack socket as its dotted form.
QString PeerName(const QHostAddress& address) {
  bool v4 = false;
  const quint32 ip = address.toIPv4Address(&v4);
  return v4 ? QHostAddress(ip).toString() : address.toString();
}

}  // namespace

struct RelayServer::State : RelayOutput {
  struct Peer {
    QTcpSocket* socket = nullptr;
    qint64 written = 0;         // bytes the socket has written in all
    qint64 writtenAtSweep = 0;  // ... as the last sweep saw it
    int stalledSweeps = 0;
    bool overflowed = false;  // marked for the sweep; nothing more is queued for it
  };

  QTcpServer listener;
  QTimer sweep;
  QElapsedTimer clock;
  QString error;
  std::string password;  // code page 932
  std::unique_ptr<RelayCore> core;
  QHash<int32_t, Peer> peers;
  qint64 pending = 0;     // bytes queued on every socket together
  QSet<int32_t> waiting;  // connections with bytes left unread while the output drains
  // The socket being accepted: the core greets it before its identifier is known here.
  QTcpSocket* accepting = nullptr;
  std::vector<std::string> events;

  void Send(int32_t id, std::string_view message) override {
    const qint64 size = static_cast<qint64>(message.size());
    if (accepting) {
      pending += accepting->write(message.data(), size);
      return;
    }
    const auto it = peers.find(id);
    if (it == peers.end() || it->overflowed) return;
    if (it->socket->bytesToWrite() + size > kMaxPendingOutput) {
      it->overflowed = true;
      return;
    }
    pending += std::max<qint64>(0, it->socket->write(message.data(), size));
  }
  void Event(std::string_view line) override { events.emplace_back(line); }

  bool Congested() const { return pending > kHighWater; }

  // Forgets the socket here (the core is told separately) and closes it at once.
  void Detach(int32_t id, QObject* receiver) {
    const auto it = peers.find(id);
    if (it == peers.end()) return;
    QTcpSocket* socket = it->socket;
    peers.erase(it);
    waiting.remove(id);
    pending = std::max<qint64>(0, pending - socket->bytesToWrite());
    QObject::disconnect(socket, nullptr, receiver, nullptr);
    socket->abort();
    socket->deleteLater();
  }
};

RelayServer::RelayServer(QObject* parent) : QObject(parent), m_state(std::make_unique<State>()) {
  m_state->clock.start();
  m_state->sweep.setInterval(kDropSweepMs);
  connect(&m_state->sweep, &QTimer::timeout, this, &RelayServer::OnSweep);
  connect(&m_state->listener, &QTcpServer::newConnection, this, &RelayServer::OnNewConnections);
}

RelayServer::~RelayServer() {
  for (const State::Peer& peer : std::as_const(m_state->peers)) {
    disconnect(peer.socket, nullptr, this, nullptr);
    peer.socket->abort();
    delete peer.socket;
  }
}

bool RelayServer::Listen(quint16 port, const QHostAddress& address) {
  if (m_state->listener.isListening()) {
    m_state->error = QStringLiteral("the relay server is running already");
    return false;
  }
  if (!m_state->listener.listen(address, port)) {
    m_state->error = m_state->listener.errorString();
    return false;
  }
  m_state->error.clear();
  m_state->core = std::make_unique<RelayCore>(*m_state);
  m_state->core->SetPassword(m_state->password);
  m_state->sweep.start();
  return true;
}

QString RelayServer::ErrorString() const { return m_state->error; }

quint16 RelayServer::Port() const { return m_state->listener.serverPort(); }

bool RelayServer::IsListening() const { return m_state->listener.isListening(); }

void RelayServer::SetPassword(const QString& password) {
  m_state->password = ToCodePage932(password.toStdString());
  if (m_state->core) m_state->core->SetPassword(m_state->password);
}

int RelayServer::ConnectionCount() const { return static_cast<int>(m_state->peers.size()); }

void RelayServer::OnNewConnections() {
  while (QTcpSocket* socket = m_state->listener.nextPendingConnection()) {
    if (!m_state->core) {
      socket->abort();
      socket->deleteLater();
      continue;
    }
    socket->setParent(this);
    socket->setReadBufferSize(kReadBuffer);
    m_state->accepting = socket;
    const int32_t id = m_state->core->Accept(m_state->clock.elapsed());
    m_state->accepting = nullptr;
    m_state->peers.insert(id, State::Peer{socket});
    emit Log(QStringLiteral("connect %1 %2").arg(id).arg(PeerName(socket->peerAddress())));
    connect(socket, &QTcpSocket::readyRead, this, [this, id] { OnReadable(id); });
    connect(socket, &QTcpSocket::bytesWritten, this, [this, id](qint64 n) {
      m_state->pending = std::max<qint64>(0, m_state->pending - n);
      if (const auto it = m_state->peers.find(id); it != m_state->peers.end()) it->written += n;
      if (!m_state->waiting.isEmpty() && m_state->pending < kLowWater) {
        const QSet<int32_t> resume = std::exchange(m_state->waiting, {});
        for (int32_t waiter : resume) OnReadable(waiter);
      }
    });
    connect(socket, &QTcpSocket::disconnected, this, [this, id] { OnGone(id); });
    // Some failures leave the socket closed without a disconnect notice.
    connect(socket, &QTcpSocket::errorOccurred, this, [this, id, socket] {
      if (socket->state() == QAbstractSocket::UnconnectedState) OnGone(id);
    });
    // Bytes may have arrived with the connection, before readyRead was connected.
    if (socket->bytesAvailable() > 0) OnReadable(id);
  }
}

void RelayServer::OnReadable(int32_t id) {
  const auto it = m_state->peers.find(id);
  if (it == m_state->peers.end() || !m_state->core) return;
  QTcpSocket* socket = it->socket;
  char piece[kReadChunk];
  while (socket->bytesAvailable() > 0) {
    if (m_state->Congested() && socket->state() == QAbstractSocket::ConnectedState) {
      m_state->waiting.insert(id);
      break;
    }
    const qint64 n = socket->read(piece, sizeof piece);
    if (n <= 0) break;
    m_state->core->Receive(id, std::string_view(piece, static_cast<size_t>(n)));
  }
  EmitLog();
}

void RelayServer::OnGone(int32_t id) {
  const auto it = m_state->peers.find(id);
  if (it == m_state->peers.end() || !m_state->core) return;
  // What the member sent before it left still counts (a closed socket is read whatever the
  // congestion).
  OnReadable(id);
  m_state->Detach(id, this);
  m_state->core->Closed(id);
  EmitLog();
  if (m_state->peers.isEmpty()) ReleaseMemory();
}

void RelayServer::OnSweep() {
  if (!m_state->core) return;
  for (auto it = m_state->peers.begin(); it != m_state->peers.end(); ++it) {
    const bool stuck = it->socket->bytesToWrite() > 0 && it->written == it->writtenAtSweep;
    it->stalledSweeps = stuck ? it->stalledSweeps + 1 : 0;
    it->writtenAtSweep = it->written;
    if (it->overflowed || it->stalledSweeps >= kStalledSweeps) m_state->core->MarkForDrop(it.key(), "not reading");
  }
  const std::vector<int32_t> dropped = m_state->core->Sweep(m_state->clock.elapsed());
  for (int32_t id : dropped) m_state->Detach(id, this);
  EmitLog();
  if (!dropped.empty() && m_state->peers.isEmpty()) ReleaseMemory();
  // Dropping a stalled member may have ended a pause in reading.
  if (!m_state->waiting.isEmpty() && m_state->pending < kLowWater) {
    const QSet<int32_t> resume = std::exchange(m_state->waiting, {});
    for (int32_t waiter : resume) OnReadable(waiter);
  }
}

void RelayServer::Shutdown() {
  m_state->sweep.stop();
  m_state->listener.close();
  if (!m_state->core) return;
  m_state->core->Shutdown();
  m_state->core.reset();
  for (const State::Peer& peer : std::as_const(m_state->peers)) {
    QTcpSocket* socket = peer.socket;
    disconnect(socket, nullptr, this, nullptr);
    // The goodbye leaves once the socket has written it; a member that does not take it is
    // cut off after a while.
    socket->flush();
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    QTimer::singleShot(kGoodbyeGraceMs, socket, [socket] {
      socket->abort();
      socket->deleteLater();
    });
    socket->disconnectFromHost();
  }
  m_state->peers.clear();
  m_state->waiting.clear();
  m_state->pending = 0;
  m_state->events.emplace_back("shutdown");
  EmitLog();
}

void RelayServer::EmitLog() {
  // Emitted after the core has finished, so a receiver may call back into the server.
  std::vector<std::string> events;
  events.swap(m_state->events);
  for (const std::string& line : events) emit Log(QString::fromStdString(line));
}

}  // namespace varnel::peerlook
