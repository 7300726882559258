#pragma once
// A member of a sharing group: the control connection to the relay, the member list, the chat
// log, and the file transfers in both directions over data connections of their own. No
// widgets: whatever the user is told or asked goes through PeerPrompts, which the control
// answers with message boxes and the tests with scripted answers.
//
// Everything runs on the thread's event loop; nothing blocks. Names and chat text are UTF-8
// here and code page 932 on the wire.

#include <QAbstractListModel>
#include <QAbstractTableModel>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "peerlook/wire.h"

class QTcpServer;
class QTcpSocket;

namespace varnel::peerlook {

// The two notices a member gives its host, with the file's path.
inline constexpr int kNoticeFileArrived = 1;
inline constexpr int kNoticeSendingEnded = 2;

// How long a data connection may take to identify itself before it is closed.
inline constexpr int kIdentificationTimeoutMs = 10000;
// A sending transfer refills the socket only while less than this waits to be written, so a
// large file is never held in memory at once.
inline constexpr qint64 kSendWindow = 64 * 1024;

class PeerPrompts {
 public:
  virtual ~PeerPrompts() = default;
  virtual void Information(const QString& text) = 0;
  // A member asks for the data of an offer; requestName is "From:" + its name. True: send.
  virtual bool AskAllowTransfer(const QString& requestName) = 0;
  virtual void Error(const QString& text) = 0;
};

// The members other than oneself, in the order they were announced: the name shown, the id as
// the item's Qt::UserRole data.
class MemberListModel : public QAbstractListModel {
  Q_OBJECT
 public:
  using QAbstractListModel::QAbstractListModel;
  int rowCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;

  void Add(const QString& name, int32_t id);
  void Remove(int32_t id);
  void Clear();
  bool Contains(int32_t id) const { return RowOf(id) >= 0; }
  // Empty when the id is not a member.
  QString NameOf(int32_t id) const;
  int32_t IdAt(int row) const;

 private:
  int RowOf(int32_t id) const;
  struct Member {
    QString name;
    int32_t id;
  };
  std::vector<Member> m_members;
};

// The transfers: column 0 "To:"/"From:" + the other member's name, column 1 the progress
// ("進捗%d%%", empty before any data). Rows are found again by a key of their own.
class TransferListModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  using QAbstractTableModel::QAbstractTableModel;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;

  int Add(const QString& label);  // the row's key
  void SetProgress(int key, int percent);
  void Remove(int key);
  void Clear();
  // Column 0 and column 1 of every row, for whoever shows the list as text.
  QStringList Labels() const;
  QStringList Progress() const;

 private:
  int RowOf(int key) const;
  struct Row {
    int key;
    QString label;
    QString progress;
  };
  std::vector<Row> m_rows;
  int m_nextKey = 1;
};

class PeerClient : public QObject {
  Q_OBJECT
 public:
  // prompts is not owned and must outlive the client.
  explicit PeerClient(PeerPrompts* prompts, QObject* parent = nullptr);
  ~PeerClient() override;

  void SetUserName(const QString& name) { m_userName = name; }
  QString UserName() const { return m_userName; }
  void SetPassword(const QString& password) { m_password = password; }
  // 0 takes any free port (tests); FileTransferListenPort() tells which.
  void SetFileTransferPort(quint16 port) { m_fileTransferPort = port; }
  // The folder received files are written to (created when missing).
  // Empty: the program folder's NetData.
  void SetDataStorePath(const QString& path) { m_dataStorePath = path; }
  QString DataStorePath() const { return m_dataStorePath; }
  void SetIdentificationTimeout(int ms) { m_identificationTimeoutMs = ms; }

  // Opens the listener for data connections, then connects to the relay; the group is joined
  // when the relay answers. False, with the error told, when the listener cannot be opened.
  // An existing connection is left first.
  bool ConnectServer(const QString& host, quint16 port);
  // Leaves the group: closes the connections and every transfer and clears the lists.
  void Disconnect();
  bool IsConnected() const;
  int32_t OwnId() const { return m_ownId; }
  quint16 FileTransferListenPort() const;

  // Sends a chat line; nothing when it is empty or the client is not connected.
  void SendChat(const QString& text);
  // Offers the file at path to the member targetId. False when nothing was offered: the id is
  // not in the member list, or the file cannot be looked at or is empty (told).
  bool SendFile(const QString& path, int32_t targetId);

  MemberListModel* Members() { return &m_members; }
  TransferListModel* Transfers() { return &m_transfers; }
  // The chat log's lines joined with '\n'.
  QString ChatText() const;
  int PendingOfferCount() const { return static_cast<int>(m_pendingOffers.size()); }

 signals:
  void Notice(int tag, const QString& path);
  void ChatChanged();
  // Joined (the relay greeted us) or left the group.
  void ConnectionChanged(bool connected);

 private:
  struct PendingOffer {
    int32_t target;
    uint32_t etag;
    QString path;
    int row;  // key in the transfer list
  };
  class Transfer;
  class Receiving;
  class Sending;

  void OnControlReadable();
  void OnControlClosed();
  void Dispatch(const std::string& message);
  void SendMessage(Tag tag, std::string_view payload);
  void HandleOffer(std::string_view payload);
  void OnDataConnection();
  // Clears the lists and ends every transfer; tells "切断されました" when the relay went away.
  void Reset(bool lost);
  QString OfferedAddress() const;

  // From a transfer when it has ended (it is deleted later).
  void TransferEnded(Transfer* transfer);

  PeerPrompts* m_prompts;
  QString m_userName = QString::fromUtf8(kDefaultUserName.data(), static_cast<int>(kDefaultUserName.size()));
  QString m_password;
  quint16 m_fileTransferPort = kDefaultFileTransferPort;
  QString m_dataStorePath;
  int m_identificationTimeoutMs = kIdentificationTimeoutMs;

  QTcpSocket* m_control = nullptr;
  QTcpServer* m_dataListener = nullptr;
  FrameReader m_reader{kMaxRelayedPayload};
  std::deque<std::string> m_inbox;
  bool m_dispatching = false;
  bool m_greeted = false;
  bool m_reachedServer = false;  // the control connection was made at least once
  int32_t m_ownId = 0;

  MemberListModel m_members;
  TransferListModel m_transfers;
  ChatLog m_chat;
  std::vector<PendingOffer> m_pendingOffers;
  std::vector<Transfer*> m_activeTransfers;
};

}  // namespace varnel::peerlook
