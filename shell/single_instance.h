#pragma once
// Single-instance mode: the first copy holds the "VarnelMutex" lock and listens on a per-user
// local socket; a second copy started with a file hands the path over and exits.

#include <QLockFile>
#include <QObject>
#include <QString>
#include <memory>
#include <string>

class QLocalServer;

namespace varnel {

class SingleInstance : public QObject {
  Q_OBJECT

 public:
  explicit SingleInstance(QObject* parent = nullptr);
  ~SingleInstance() override;

  // Per-user names below the temporary folder.
  static QString LockPath();
  static QString ServerName();

  // Creates the mutex. Answers false when another running copy already holds it: this
  // process is then a second instance.
  bool Acquire();
  bool IsSecondInstance() const { return m_second; }

  // Starts accepting hand-overs; the window property "VarnelProp" of the original design.
  bool Listen();
  bool IsListening() const;
  void Close();

  // Sends the path to the first copy and waits until that copy has read it. The first copy may
  // still be starting, so the connection is retried until the time is up. Answers false when
  // no copy took the path.
  static bool SendPath(const QString& path, int timeoutMs = 5000);
  // The same message with an empty path: a start without a file asks the first copy to show
  // itself.
  static bool SendShow(int timeoutMs = 5000);

 signals:
  void openFileRequested(const QString& path);
  void showRequested();

 private:
  void OnNewConnection();
  static bool Send(const std::string& message, int timeoutMs);

  std::unique_ptr<QLockFile> m_lock;
  QLocalServer* m_server = nullptr;
  bool m_second = false;
};

}  // namespace varnel
