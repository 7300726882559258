#include "peerlook/peer_client.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostInfo>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <algorithm>

#include "platform/code_page.h"
#include "platform/program_folder.h"
#include "platform/temp_file.h"

namespace varnel::peerlook {

namespace {

// Text for the wire: code page 932, without the zero bytes no payload may hold.
std::string WireText(const QString& text) {
  QString clean = text;
  clean.remove(QChar(u'\0'));
  return ToCodePage932(clean.toStdString());
}

QString FromWire(std::string_view bytes) { return QString::fromStdString(FromCodePage932(bytes)); }

QString ProgressText(int percent) { return QString::asprintf(kProgressFormat, percent); }

int Percent(qint64 done, qint64 total) {
  if (total <= 0) return 100;
  return static_cast<int>(std::min<qint64>(done, total) * 100 / total);
}

// A new file for a received name in folder: the name itself, else "stem (2).ext", "stem (3).ext"
// and on, so that a file received earlier under the same name, perhaps one the user kept there,
// is never written over. Created here, so a transfer arriving meanwhile takes the next name.
// Empty when none can be created.
QString ClaimReceivedPath(const QString& folder, const QString& name) {
  const QFileInfo parts(name);
  const QString stem = parts.suffix().isEmpty() ? name : parts.completeBaseName();
  const QString suffix = parts.suffix().isEmpty() ? QString() : u'.' + parts.suffix();
  for (int n = 1; n <= 1000; ++n) {
    const QString path = folder + u'/' + (n == 1 ? name : stem + QStringLiteral(" (%1)").arg(n) + suffix);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) return path;
    if (!file.exists()) return {};
  }
  return {};
}

}  // namespace

// ---- the lists ------------------------------------------------------------------------------

int MemberListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(m_members.size());
}

QVariant MemberListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() < 0 || index.row() >= rowCount()) return {};
  const Member& member = m_members[static_cast<size_t>(index.row())];
  if (role == Qt::DisplayRole) return member.name;
  if (role == Qt::UserRole) return member.id;
  return {};
}

void MemberListModel::Add(const QString& name, int32_t id) {
  const int row = rowCount();
  beginInsertRows({}, row, row);
  m_members.push_back({name, id});
  endInsertRows();
}

void MemberListModel::Remove(int32_t id) {
  const int row = RowOf(id);
  if (row < 0) return;
  beginRemoveRows({}, row, row);
  m_members.erase(m_members.begin() + row);
  endRemoveRows();
}

void MemberListModel::Clear() {
  beginResetModel();
  m_members.clear();
  endResetModel();
}

QString MemberListModel::NameOf(int32_t id) const {
  const int row = RowOf(id);
  return row < 0 ? QString() : m_members[static_cast<size_t>(row)].name;
}

int32_t MemberListModel::IdAt(int row) const {
  return row >= 0 && row < rowCount() ? m_members[static_cast<size_t>(row)].id : 0;
}

int MemberListModel::RowOf(int32_t id) const {
  for (size_t i = 0; i < m_members.size(); ++i)
    if (m_members[i].id == id) return static_cast<int>(i);
  return -1;
}

int TransferListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int TransferListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 2; }

QVariant TransferListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() < 0 || index.row() >= rowCount() || role != Qt::DisplayRole) return {};
  const Row& row = m_rows[static_cast<size_t>(index.row())];
  return index.column() == 0 ? row.label : row.progress;
}

int TransferListModel::Add(const QString& label) {
  const int row = rowCount();
  beginInsertRows({}, row, row);
  m_rows.push_back({m_nextKey, label, QString()});
  endInsertRows();
  return m_nextKey++;
}

void TransferListModel::SetProgress(int key, int percent) {
  const int row = RowOf(key);
  if (row < 0) return;
  m_rows[static_cast<size_t>(row)].progress = ProgressText(percent);
  emit dataChanged(index(row, 1), index(row, 1));
}

void TransferListModel::Remove(int key) {
  const int row = RowOf(key);
  if (row < 0) return;
  beginRemoveRows({}, row, row);
  m_rows.erase(m_rows.begin() + row);
  endRemoveRows();
}

void TransferListModel::Clear() {
  beginResetModel();
  m_rows.clear();
  endResetModel();
}

QStringList TransferListModel::Labels() const {
  QStringList labels;
  for (const Row& row : m_rows) labels << row.label;
  return labels;
}

QStringList TransferListModel::Progress() const {
  QStringList progress;
  for (const Row& row : m_rows) progress << row.progress;
  return progress;
}

int TransferListModel::RowOf(int key) const {
  for (size_t i = 0; i < m_rows.size(); ++i)
    if (m_rows[i].key == key) return static_cast<int>(i);
  return -1;
}

// A transfer in either direction; Abort ends it as a failure.
class PeerClient::Transfer : public QObject {
 public:
  explicit Transfer(PeerClient* client) : QObject(client), m_client(client) {}
  virtual void Abort() = 0;

 protected:
  PeerClient* m_client;
};

// ---- receiving a file -------------------------------------------------------------------------

// Fetches an offered file: connects to the sender, identifies itself, writes what arrives. The
// transfer is complete when the sender closes; a transfer that ends short leaves no file behind,
// so a half-written file is never mistaken for a received one.
class PeerClient::Receiving : public Transfer {
 public:
  Receiving(PeerClient* client, const FileOffer& offer, const QString& path, int row)
      : Transfer(client), m_path(path), m_file(path), m_size(offer.size), m_row(row) {
    m_socket = new QTcpSocket(this);
    connect(m_socket, &QTcpSocket::connected, this, [this, id = client->m_ownId, etag = offer.etag] {
      const std::string identification = Identification(id, etag);
      m_socket->write(identification.data(), static_cast<qint64>(identification.size()));
    });
    connect(m_socket, &QTcpSocket::readyRead, this, [this] { Take(); });
    connect(m_socket, &QTcpSocket::disconnected, this, [this] { Closed(); });
    connect(m_socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
      if (error == QAbstractSocket::RemoteHostClosedError)
        Closed();
      else
        Finish(false);
    });
  }
  ~Receiving() override {
    if (!m_done) Discard();
  }

  bool Open() { return m_file.open(QIODevice::WriteOnly | QIODevice::Truncate); }
  void Start(const QString& address, quint16 port) {
    m_client->m_transfers.SetProgress(m_row, 0);
    m_socket->connectToHost(address, port);
  }
  void Abort() override { Finish(false); }

 private:
  void Take() {
    if (m_done) return;
    const QByteArray bytes = m_socket->readAll();
    // A sender that goes on past the size it offered gets the excess thrown away.
    const qint64 keep = std::min<qint64>(bytes.size(), m_size - m_received);
    if (keep > 0 && m_file.write(bytes.constData(), keep) != keep) {
      Finish(false);
      return;
    }
    m_received += std::max<qint64>(keep, 0);
    const int percent = Percent(m_received, m_size);
    if (percent != m_percent) {
      m_percent = percent;
      m_client->m_transfers.SetProgress(m_row, percent);
    }
  }
  void Closed() {
    if (m_done) return;
    Take();
    Finish(m_received == m_size);
  }
  void Finish(bool complete) {
    if (m_done) return;
    if (complete && !m_file.flush()) complete = false;
    m_done = true;
    m_socket->abort();
    if (complete) {
      m_file.close();
      emit m_client->Notice(kNoticeFileArrived, m_path);
    } else {
      Discard();
      m_client->m_transfers.Remove(m_row);
    }
    m_client->TransferEnded(this);
  }
  void Discard() {
    m_file.close();
    QFile::remove(m_path);
  }

  QTcpSocket* m_socket;
  QString m_path;
  QFile m_file;
  qint64 m_size;
  qint64 m_received = 0;
  int m_percent = 0;
  int m_row;
  bool m_done = false;
};

// ---- sending a file ---------------------------------------------------------------------------

// A data connection accepted on the transfer port: it must name a pending offer within the time
// limit, then the user is asked, then the file goes out in pieces as the socket drains.
class PeerClient::Sending : public Transfer {
 public:
  Sending(PeerClient* client, QTcpSocket* socket) : Transfer(client), m_socket(socket) {
    m_socket->setParent(this);
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] { Finish(false); });
    m_timer.start(client->m_identificationTimeoutMs);
    connect(m_socket, &QTcpSocket::readyRead, this, [this] { Readable(); });
    connect(m_socket, &QTcpSocket::bytesWritten, this, [this](qint64 bytes) {
      m_written += bytes;
      Pump();
    });
    connect(m_socket, &QTcpSocket::disconnected, this, [this] { Finish(m_atEnd && m_socket->bytesToWrite() == 0); });
    connect(m_socket, &QTcpSocket::errorOccurred, this, [this] { Finish(false); });
  }
  void Abort() override { Finish(false); }
  // Bytes that came in before the socket was handed over.
  void Begin() { Readable(); }

 private:
  void Readable() {
    if (m_done) return;
    if (m_identification.size() < static_cast<qsizetype>(kIdentificationSize)) {
      m_identification += m_socket->read(static_cast<qint64>(kIdentificationSize) - m_identification.size());
      if (m_identification.size() == static_cast<qsizetype>(kIdentificationSize)) Identify();
    } else {
      m_socket->readAll();  // nothing more is expected from the receiver
    }
  }

  void Identify() {
    m_timer.stop();
    const auto identity = ParseIdentification(std::string_view(m_identification.constData(), kIdentificationSize));
    if (!identity) {
      Finish(false);
      return;
    }
    auto& offers = m_client->m_pendingOffers;
    const auto found = std::find_if(offers.begin(), offers.end(), [&](const PendingOffer& offer) {
      return offer.target == identity->first && offer.etag == identity->second;
    });
    if (found == offers.end()) {
      Finish(false);
      return;
    }
    // An offer is fetched once; the same identification again finds nothing.
    m_offer = *found;
    m_matched = true;
    offers.erase(found);

    const QString requestName = QStringLiteral("From:") + m_client->m_members.NameOf(m_offer.target);
    const QPointer<Sending> self(this);
    const bool allowed = m_client->m_prompts->AskAllowTransfer(requestName);
    // The question runs an event loop of its own: the connection may have gone meanwhile.
    if (!self || m_done) return;
    if (!allowed) {
      Finish(false);
      return;
    }
    m_file.setFileName(m_offer.path);
    if (!m_file.open(QIODevice::ReadOnly)) {
      m_client->m_prompts->Error(QString::fromUtf8(kMsgFileInfoFailed));
      if (self) Finish(false);
      return;
    }
    m_size = m_file.size();
    m_client->m_transfers.SetProgress(m_offer.row, 0);
    Pump();
  }

  // The file goes out in pieces of kFileChunk bytes. QTcpSocket takes every byte it is given
  // into its own buffer, so instead of moving the file position back when the system takes
  // fewer, the socket is refilled only while its buffer is below the window.
  void Pump() {
    if (m_done || !m_file.isOpen()) return;
    char piece[kFileChunk];
    while (!m_atEnd && m_socket->bytesToWrite() < kSendWindow) {
      const qint64 n = m_file.read(piece, sizeof piece);
      if (n < 0) {
        Finish(false);
        return;
      }
      if (n == 0) {
        m_atEnd = true;
        m_file.close();
        // Closes once the buffer is written; disconnected then ends the transfer.
        m_socket->disconnectFromHost();
        return;
      }
      m_socket->write(piece, n);
    }
    const int percent = Percent(m_written, m_size);
    if (percent != m_percent) {
      m_percent = percent;
      m_client->m_transfers.SetProgress(m_offer.row, percent);
    }
  }

  void Finish(bool complete) {
    if (m_done) return;
    m_done = true;
    m_timer.stop();
    m_file.close();
    if (!complete) m_socket->abort();
    if (m_matched) {
      if (complete)
        m_client->m_transfers.SetProgress(m_offer.row, 100);
      else
        m_client->m_transfers.Remove(m_offer.row);
      emit m_client->Notice(kNoticeSendingEnded, m_offer.path);
    }
    m_client->TransferEnded(this);
  }

  QTcpSocket* m_socket;
  QTimer m_timer;
  QByteArray m_identification;
  PendingOffer m_offer{};
  bool m_matched = false;
  QFile m_file;
  qint64 m_size = 0;
  qint64 m_written = 0;
  int m_percent = -1;
  bool m_atEnd = false;
  bool m_done = false;
};

// ---- the member -------------------------------------------------------------------------------

PeerClient::PeerClient(PeerPrompts* prompts, QObject* parent) : QObject(parent), m_prompts(prompts) {}

PeerClient::~PeerClient() {
  // Nothing may call back into a client that is going away.
  if (m_control != nullptr) m_control->disconnect(this);
  for (Transfer* transfer : std::vector<Transfer*>(m_activeTransfers)) delete transfer;
}

bool PeerClient::ConnectServer(const QString& host, quint16 port) {
  if (m_control != nullptr || m_dataListener != nullptr) Reset(false);
  m_dataListener = new QTcpServer(this);
  // The backlog of the listening socket; setMaxPendingConnections is Qt's own queue of accepted
  // connections, not the system's backlog.
  m_dataListener->setListenBacklogSize(5);
  if (!m_dataListener->listen(QHostAddress::Any, m_fileTransferPort)) {
    delete m_dataListener;
    m_dataListener = nullptr;
    m_prompts->Error(QStringLiteral("ファイル転送ソケット(ポート %1)").arg(m_fileTransferPort) +
                     QString::fromUtf8(kMsgCannotCreate));
    return false;
  }
  connect(m_dataListener, &QTcpServer::newConnection, this, &PeerClient::OnDataConnection);

  m_control = new QTcpSocket(this);
  connect(m_control, &QTcpSocket::readyRead, this, &PeerClient::OnControlReadable);
  connect(m_control, &QTcpSocket::connected, this, [this] { m_reachedServer = true; });
  connect(m_control, &QTcpSocket::disconnected, this, &PeerClient::OnControlClosed);
  connect(m_control, &QTcpSocket::errorOccurred, this, [this, host, port] {
    if (m_control == nullptr) return;
    if (m_reachedServer) {
      OnControlClosed();
      return;
    }
    Reset(false);
    m_prompts->Error(QString::fromUtf8(kMsgCannotConnect).arg(host).arg(port));
  });
  m_control->connectToHost(host, port);
  return true;
}

void PeerClient::Disconnect() { Reset(false); }

bool PeerClient::IsConnected() const {
  return m_control != nullptr && m_control->state() == QAbstractSocket::ConnectedState;
}

quint16 PeerClient::FileTransferListenPort() const {
  return m_dataListener != nullptr ? m_dataListener->serverPort() : 0;
}

void PeerClient::SendChat(const QString& text) {
  if (text.isEmpty() || !IsConnected()) return;
  SendMessage(Tag::BCMS, WireText(text));
}

bool PeerClient::SendFile(const QString& path, int32_t targetId) {
  if (!IsConnected() || !m_members.Contains(targetId)) return false;
  const QFileInfo info(path);
  if (!info.exists() || !info.isFile()) {
    m_prompts->Error(QString::fromUtf8(kMsgFileInfoFailed));
    return false;
  }
  if (info.size() <= 0) {
    m_prompts->Error(QString::fromUtf8(kMsgFileSizeZero));
    return false;
  }
  FileOffer offer;
  offer.size = info.size();
  offer.address = OfferedAddress().toStdString();
  offer.port = FileTransferListenPort();
  offer.etag = QRandomGenerator::system()->generate();
  offer.name = WireText(info.fileName());
  const int row = m_transfers.Add(QStringLiteral("To:") + m_members.NameOf(targetId));
  m_pendingOffers.push_back({targetId, offer.etag, path, row});
  SendMessage(Tag::PSFD, OfferPayload(targetId, offer));
  return true;
}

QString PeerClient::ChatText() const {
  QStringList lines;
  for (const std::string& line : m_chat.Lines()) lines << QString::fromStdString(line);
  return lines.join(u'\n');
}

void PeerClient::OnControlReadable() {
  if (m_control == nullptr) return;
  const QByteArray bytes = m_control->readAll();
  std::vector<std::string> messages;
  const bool intact = m_reader.Feed(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())), messages);
  for (std::string& message : messages) m_inbox.push_back(std::move(message));
  if (!intact) {
    m_inbox.clear();
    Reset(true);
    return;
  }
  // A prompt may run an event loop that reads more; the outer loop keeps the order.
  if (m_dispatching) return;
  m_dispatching = true;
  while (!m_inbox.empty()) {
    const std::string message = std::move(m_inbox.front());
    m_inbox.pop_front();
    Dispatch(message);
  }
  m_dispatching = false;
}

void PeerClient::OnControlClosed() {
  if (m_control != nullptr) Reset(true);
}

void PeerClient::Dispatch(const std::string& message) {
  const std::string_view payload = PayloadOf(message);
  switch (TagOf(message)) {
    case Tag::NWCM:
      m_greeted = true;
      emit ConnectionChanged(true);
      m_prompts->Information(QString::fromUtf8(kMsgConnected));
      break;
    case Tag::NUSI:
      m_ownId = ParseDecimal(payload);
      SendMessage(Tag::NABP, WireText(m_password));
      SendMessage(Tag::NNID, WireText(m_userName) + "," + Id10(m_ownId));
      break;
    case Tag::NNID:
      if (const auto member = SplitNameId(payload);
          member && member->second != m_ownId && !m_members.Contains(member->second))
        m_members.Add(FromWire(member->first), member->second);
      break;
    case Tag::NDUL:
      if (const auto member = SplitNameId(payload)) m_members.Remove(member->second);
      break;
    case Tag::BCMS:
      if (const auto chat = SplitChat(payload)) {
        const QString name = chat->first == m_ownId ? m_userName : m_members.NameOf(chat->first);
        m_chat.Append(name.toStdString(), FromCodePage932(chat->second));
        emit ChatChanged();
      }
      break;
    case Tag::PSFD:
      HandleOffer(payload);
      break;
    default:  // NSST is followed by the relay closing; NSVR and NUNN need nothing
      break;
  }
}

void PeerClient::SendMessage(Tag tag, std::string_view payload) {
  if (m_control == nullptr) return;
  const std::string message = Frame(tag, payload);
  m_control->write(message.data(), static_cast<qint64>(message.size()));
}

void PeerClient::HandleOffer(std::string_view payload) {
  const auto relayed = ParseRelayedOffer(payload);
  // A sender never offers an empty file, so an offer of 0 bytes is not one of ours either.
  if (!relayed || relayed->second.size <= 0) return;
  const auto& [sender, offer] = *relayed;
  // The name is judged after decoding: a second byte of a code page 932 character may be '\\'.
  const ReceivedName name = SafeReceivedName(FromCodePage932(offer.name));
  if (!name.ok) return;

  const QString folder = m_dataStorePath.isEmpty() ? QString::fromStdString(ProgramPath("NetData")) : m_dataStorePath;
  QDir().mkpath(folder);
  QString path;
  if (name.name.empty()) {
    const std::string directory = folder.toStdString();
    const uint32_t number = CreateTempFile(directory, "nat");
    if (number == 0) {
      m_prompts->Error(folder + QStringLiteral("/nat*.tmp") + QString::fromUtf8(kMsgCannotCreate));
      return;
    }
    path = QString::fromStdString(TempFileName(directory, "nat", number));
  } else {
    const QString wanted = QString::fromStdString(name.name);
    path = ClaimReceivedPath(folder, wanted);
    if (path.isEmpty()) {
      m_prompts->Error(folder + u'/' + wanted + QString::fromUtf8(kMsgCannotCreate));
      return;
    }
  }
  const int row = m_transfers.Add(QStringLiteral("From:") + m_members.NameOf(sender));
  auto* receiving = new Receiving(this, offer, path, row);
  if (!receiving->Open()) {
    delete receiving;
    m_transfers.Remove(row);
    m_prompts->Error(path + QString::fromUtf8(kMsgCannotCreate));
    return;
  }
  m_activeTransfers.push_back(receiving);
  receiving->Start(QString::fromStdString(offer.address), static_cast<quint16>(offer.port));
}

void PeerClient::OnDataConnection() {
  while (m_dataListener != nullptr && m_dataListener->hasPendingConnections()) {
    QTcpSocket* socket = m_dataListener->nextPendingConnection();
    auto* sending = new Sending(this, socket);
    m_activeTransfers.push_back(sending);
    sending->Begin();
  }
}

void PeerClient::TransferEnded(Transfer* transfer) {
  const auto found = std::find(m_activeTransfers.begin(), m_activeTransfers.end(), transfer);
  if (found == m_activeTransfers.end()) return;
  m_activeTransfers.erase(found);
  transfer->deleteLater();
}

void PeerClient::Reset(bool lost) {
  const bool wasGreeted = m_greeted;
  if (m_control != nullptr) {
    m_control->disconnect(this);
    m_control->abort();
    m_control->deleteLater();
    m_control = nullptr;
  }
  if (m_dataListener != nullptr) {
    m_dataListener->close();
    m_dataListener->deleteLater();
    m_dataListener = nullptr;
  }
  m_reader = FrameReader(kMaxRelayedPayload);
  m_inbox.clear();
  m_greeted = false;
  m_reachedServer = false;
  m_ownId = 0;

  for (Transfer* transfer : std::vector<Transfer*>(m_activeTransfers)) transfer->Abort();
  // Offers nobody fetched are over too: the host may drop what it prepared for them.
  const std::vector<PendingOffer> offers = std::move(m_pendingOffers);
  m_pendingOffers.clear();
  for (const PendingOffer& offer : offers) emit Notice(kNoticeSendingEnded, offer.path);

  m_members.Clear();
  m_transfers.Clear();
  m_chat.Clear();
  emit ChatChanged();
  if (wasGreeted) emit ConnectionChanged(false);
  if (lost) m_prompts->Information(QString::fromUtf8(kMsgDisconnected));
}

QString PeerClient::OfferedAddress() const {
  // The last IPv4 address the host's own name resolves to; a name that resolves to none (only
  // IPv6, or not at all) offers the loopback address, which reaches members on this host only.
  // The name is normally answered from /etc/hosts without a network round trip.
  const QList<QHostAddress> addresses = QHostInfo::fromName(QHostInfo::localHostName()).addresses();
  for (auto it = addresses.crbegin(); it != addresses.crend(); ++it)
    if (it->protocol() == QAbstractSocket::IPv4Protocol) return it->toString();
  return QStringLiteral("127.0.0.1");
}

}  // namespace varnel::peerlook
