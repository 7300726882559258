#pragma once
// The network sharing control of Ext/Peerlook.so: a member list, a transfer list with progress,
// the chat log and an input box (Enter sends), over a PeerClient, plus the relay server when
// this copy runs it. The host reaches the properties and slots by name.

#include <QPointer>
#include <QString>
#include <QWidget>
#include <memory>

#include "peerlook/peer_client.h"
#include "peerlook/wire.h"

class QLineEdit;
class QListView;
class QPlainTextEdit;
class QTreeView;

namespace varnel::peerlook {

class RelayServer;

class PeerlookCtrl : public QWidget {
  Q_OBJECT
  Q_PROPERTY(int ServerPort READ ServerPort WRITE SetServerPort)
  Q_PROPERTY(int FileTransferPort READ FileTransferPort WRITE SetFileTransferPort)
  Q_PROPERTY(QString UserName READ UserName WRITE SetUserName)
  Q_PROPERTY(QString ServerPassword READ ServerPassword WRITE SetServerPassword)

 public:
  explicit PeerlookCtrl(QWidget* parent = nullptr);
  ~PeerlookCtrl() override;

  int ServerPort() const { return m_serverPort; }
  // A port outside 1…65535 is refused with "無効な値です" and the old one kept.
  void SetServerPort(int port);
  int FileTransferPort() const { return m_fileTransferPort; }
  void SetFileTransferPort(int port);
  QString UserName() const { return m_userName; }
  QString ServerPassword() const { return m_serverPassword; }

 public slots:
  // Starts the relay on ServerPort with ServerPassword; true when it runs (also already).
  bool SetupServer();
  // Tells every member the relay stops, then closes it.
  void ShutdownServer();
  // Joins the group of the relay at host:port. False for a port outside 1…65535 or when the
  // data listener cannot be opened (told).
  bool ConnectServer(const QString& host, int port);
  void DisConnect();
  // Offers the file to the member selected in the member list; false without a selection.
  bool SendFile(const QString& path);
  // A name holding a comma is refused with "ユーザ名に,は使えません".
  bool SetUserName(const QString& name);
  void SetServerPassword(const QString& password);
  // The folder received files are written to.
  void SetDataStorePath(const QString& path);
  // receiver's slot PeerlookNotice(int, QString) gets every notice, queued; null: none.
  void SetNotifyHWND(QObject* receiver);
  void AboutBox();
  bool IsServerRunning() const;
  bool IsConnected() const;

 signals:
  // tag 1: a file arrived in the data store path; tag 2: the sending of a file has ended.
  void Notice(int tag, const QString& path);
  void ConnectionChanged(bool connected);
  void ServerRunningChanged(bool running);
  // The relay's events, one line each ("join 3 taro").
  void ServerLog(const QString& event);

 private:
  class Prompts;
  void Deliver(int tag, const QString& path);
  void ShowError(const QString& text);

  std::unique_ptr<Prompts> m_prompts;
  PeerClient* m_client;
  RelayServer* m_server = nullptr;
  QPointer<QObject> m_notifyReceiver;
  int m_serverPort = kDefaultServerPort;
  int m_fileTransferPort = kDefaultFileTransferPort;
  QString m_userName = QString::fromUtf8(kDefaultUserName.data(), static_cast<int>(kDefaultUserName.size()));
  QString m_serverPassword;

  QListView* m_memberView;
  QTreeView* m_transferView;
  QPlainTextEdit* m_chatView;
  QLineEdit* m_input;
};

}  // namespace varnel::peerlook
