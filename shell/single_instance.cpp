#include "shell/single_instance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <unistd.h>

#include "shell/instance_message.h"

namespace varnel {

SingleInstance::SingleInstance(QObject* parent) : QObject(parent) {}

SingleInstance::~SingleInstance() { Close(); }

QString SingleInstance::LockPath() {
  return QDir::tempPath() + QStringLiteral("/VarnelMutex-%1.lock").arg(getuid());
}

QString SingleInstance::ServerName() {
  return QDir::tempPath() + QStringLiteral("/VarnelMutex-%1").arg(getuid());
}

bool SingleInstance::Acquire() {
  m_lock = std::make_unique<QLockFile>(LockPath());
  // A lock left by a copy that died is taken over: QLockFile checks whether its owner lives.
  m_lock->setStaleLockTime(0);
  if (m_lock->tryLock(0)) {
    m_second = false;
    return true;
  }
  m_lock.reset();
  m_second = true;
  return false;
}

bool SingleInstance::Listen() {
  if (m_server) return m_server->isListening();
  m_server = new QLocalServer(this);
  m_server->setSocketOptions(QLocalServer::UserAccessOption);
  // We hold the mutex, so a socket file left behind is from a copy that is gone.
  QLocalServer::removeServer(ServerName());
  connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::OnNewConnection);
  return m_server->listen(ServerName());
}

bool SingleInstance::IsListening() const { return m_server && m_server->isListening(); }

void SingleInstance::Close() {
  if (m_server) {
    m_server->close();
    delete m_server;
    m_server = nullptr;
  }
  if (m_lock) m_lock->unlock();
  m_lock.reset();
}

void SingleInstance::OnNewConnection() {
  while (QLocalSocket* socket = m_server->nextPendingConnection()) {
    auto reader = std::make_shared<OpenFileMessageReader>();
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket, reader] {
      const QByteArray bytes = socket->readAll();
      const auto state = reader->Feed(std::string_view(bytes.constData(), size_t(bytes.size())));
      if (state == OpenFileMessageReader::State::kNeedMore) return;
      // Closing tells the sender that the message was taken (or refused).
      socket->disconnectFromServer();
      if (state != OpenFileMessageReader::State::kComplete) return;
      if (reader->Path().empty())
        emit showRequested();
      else
        emit openFileRequested(QString::fromUtf8(reader->Path().data(), qsizetype(reader->Path().size())));
    });
  }
}

bool SingleInstance::SendPath(const QString& path, int timeoutMs) {
  const QByteArray utf8 = path.toUtf8();
  if (utf8.isEmpty() || utf8.size() > qsizetype(kMaxHandOverPathBytes)) return false;
  return Send(EncodeOpenFileMessage(std::string_view(utf8.constData(), size_t(utf8.size()))), timeoutMs);
}

bool SingleInstance::SendShow(int timeoutMs) { return Send(EncodeOpenFileMessage({}), timeoutMs); }

bool SingleInstance::Send(const std::string& message, int timeoutMs) {
  QDeadlineTimer deadline(timeoutMs);
  while (!deadline.hasExpired()) {
    QLocalSocket socket;
    socket.connectToServer(ServerName());
    if (!socket.waitForConnected(int(std::max<qint64>(1, deadline.remainingTime())))) {
      QThread::msleep(50);
      continue;
    }
    socket.write(message.data(), qint64(message.size()));
    if (!socket.waitForBytesWritten(int(std::max<qint64>(1, deadline.remainingTime())))) return false;
    // The first copy closes the connection once it has the whole message.
    if (socket.state() != QLocalSocket::UnconnectedState)
      socket.waitForDisconnected(int(std::max<qint64>(1, deadline.remainingTime())));
    return socket.state() == QLocalSocket::UnconnectedState;
  }
  return false;
}

}  // namespace varnel
