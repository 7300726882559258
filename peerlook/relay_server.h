#pragma once
// The relay server of network sharing: members connect to it, and it passes their names, chat
// lines and file offers on to one another. Runs on the event loop of the thread that owns it;
// nothing blocks.

#include <QHostAddress>
#include <QObject>
#include <QString>
#include <cstdint>
#include <memory>

namespace varnel::peerlook {

class RelayServer : public QObject {
  Q_OBJECT
 public:
  explicit RelayServer(QObject* parent = nullptr);
  // Closes every connection without a goodbye.
  ~RelayServer() override;
  // Starts listening with a fresh identifier counter. False (see ErrorString) when the port
  // cannot be bound or the server is listening already.
  bool Listen(quint16 port, const QHostAddress& address = QHostAddress::Any);
  QString ErrorString() const;
  // The bound port, also when Listen was given 0.
  quint16 Port() const;
  bool IsListening() const;
  // UTF-8 here; members present it as code page 932 bytes. Applies to connections accepted
  // from now on.
  void SetPassword(const QString& password);
  // NSST to every authenticated connection, then closes all and stops listening.
  void Shutdown();
  int ConnectionCount() const;
 signals:
  // One line per connection, join, leave and drop (with the reason), for the operator.
  void Log(const QString& event);

 private:
  struct State;
  void OnNewConnections();
  void OnReadable(int32_t id);
  void OnGone(int32_t id);
  void OnSweep();
  void EmitLog();
  std::unique_ptr<State> m_state;
};

}  // namespace varnel::peerlook
