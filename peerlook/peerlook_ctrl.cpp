#include "peerlook/peerlook_ctrl.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QHeaderView>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTreeView>
#include <QVBoxLayout>

#include "peerlook/relay_server.h"

namespace varnel::peerlook {

namespace {

const QString kCaption = QStringLiteral("Peerlook");

bool ValidPort(int port) { return port >= 1 && port <= 65535; }

}  // namespace

// The member's questions as message boxes. Information does not wait for its box: it arrives
// in the middle of reading the relay's messages.
class PeerlookCtrl::Prompts : public PeerPrompts {
 public:
  explicit Prompts(PeerlookCtrl* owner) : m_owner(owner) {}
  void Information(const QString& text) override {
    auto* box = new QMessageBox(QMessageBox::Information, kCaption, text, QMessageBox::Ok, m_owner);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
  }
  bool AskAllowTransfer(const QString& requestName) override {
    return QMessageBox::question(m_owner, requestName, QString::fromUtf8(kMsgAllowTransfer),
                                 QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok) == QMessageBox::Ok;
  }
  void Error(const QString& text) override { QMessageBox::warning(m_owner, kCaption, text); }

 private:
  PeerlookCtrl* m_owner;
};

PeerlookCtrl::PeerlookCtrl(QWidget* parent)
    : QWidget(parent), m_prompts(std::make_unique<Prompts>(this)), m_client(new PeerClient(m_prompts.get(), this)) {
  m_memberView = new QListView(this);
  m_memberView->setObjectName(QStringLiteral("members"));
  m_memberView->setModel(m_client->Members());
  m_memberView->setSelectionMode(QAbstractItemView::SingleSelection);
  m_memberView->setEditTriggers(QAbstractItemView::NoEditTriggers);

  m_transferView = new QTreeView(this);
  m_transferView->setObjectName(QStringLiteral("transfers"));
  m_transferView->setModel(m_client->Transfers());
  m_transferView->setRootIsDecorated(false);
  m_transferView->setHeaderHidden(true);
  m_transferView->setSelectionMode(QAbstractItemView::NoSelection);
  m_transferView->header()->setSectionResizeMode(0, QHeaderView::Stretch);
  m_transferView->header()->setStretchLastSection(false);

  m_chatView = new QPlainTextEdit(this);
  m_chatView->setObjectName(QStringLiteral("chat"));
  m_chatView->setReadOnly(true);

  m_input = new QLineEdit(this);
  m_input->setObjectName(QStringLiteral("input"));
  m_input->setPlaceholderText(QStringLiteral("Enterで送信"));

  auto* lists = new QVBoxLayout;
  // Captions so a first-time user knows which list is which.
  lists->addWidget(new QLabel(QStringLiteral("メンバー"), this));
  lists->addWidget(m_memberView, 1);
  lists->addWidget(new QLabel(QStringLiteral("転送"), this));
  lists->addWidget(m_transferView, 1);
  auto* talk = new QVBoxLayout;
  talk->addWidget(new QLabel(QStringLiteral("チャット"), this));
  talk->addWidget(m_chatView, 1);
  talk->addWidget(m_input);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->addLayout(lists, 2);
  layout->addLayout(talk, 3);
  resize(420, 260);

  connect(m_input, &QLineEdit::returnPressed, this, [this] {
    const QString text = m_input->text();
    if (text.isEmpty()) return;
    m_client->SendChat(text);
    m_input->clear();
  });
  connect(m_client, &PeerClient::ChatChanged, this, [this] {
    m_chatView->setPlainText(m_client->ChatText());
    m_chatView->verticalScrollBar()->setValue(m_chatView->verticalScrollBar()->maximum());
  });
  connect(m_client, &PeerClient::Notice, this, &PeerlookCtrl::Deliver);
  connect(m_client, &PeerClient::ConnectionChanged, this, &PeerlookCtrl::ConnectionChanged);
}

PeerlookCtrl::~PeerlookCtrl() {
  // The client and the relay go before the prompts they may still call.
  delete m_client;
  delete m_server;
}

void PeerlookCtrl::SetServerPort(int port) {
  if (!ValidPort(port)) {
    ShowError(QString::fromUtf8(kMsgInvalidValue));
    return;
  }
  m_serverPort = port;
}

void PeerlookCtrl::SetFileTransferPort(int port) {
  if (!ValidPort(port)) {
    ShowError(QString::fromUtf8(kMsgInvalidValue));
    return;
  }
  m_fileTransferPort = port;
}

bool PeerlookCtrl::SetupServer() {
  if (IsServerRunning()) return true;
  auto* server = new RelayServer(this);
  connect(server, &RelayServer::Log, this, &PeerlookCtrl::ServerLog);
  server->SetPassword(m_serverPassword);
  if (!server->Listen(static_cast<quint16>(m_serverPort))) {
    delete server;
    ShowError(QStringLiteral("サーバソケット(ポート %1)").arg(m_serverPort) + QString::fromUtf8(kMsgCannotCreate));
    return false;
  }
  m_server = server;
  emit ServerRunningChanged(true);
  return true;
}

void PeerlookCtrl::ShutdownServer() {
  if (m_server == nullptr) return;
  m_server->Shutdown();
  m_server->deleteLater();
  m_server = nullptr;
  emit ServerRunningChanged(false);
}

bool PeerlookCtrl::ConnectServer(const QString& host, int port) {
  if (!ValidPort(port)) {
    ShowError(QString::fromUtf8(kMsgInvalidValue));
    return false;
  }
  m_client->SetUserName(m_userName);
  m_client->SetPassword(m_serverPassword);
  m_client->SetFileTransferPort(static_cast<quint16>(m_fileTransferPort));
  return m_client->ConnectServer(host, static_cast<quint16>(port));
}

void PeerlookCtrl::DisConnect() { m_client->Disconnect(); }

bool PeerlookCtrl::SendFile(const QString& path) {
  const QModelIndexList selected = m_memberView->selectionModel()->selectedIndexes();
  if (selected.isEmpty()) return false;
  return m_client->SendFile(path, m_client->Members()->IdAt(selected.first().row()));
}

bool PeerlookCtrl::SetUserName(const QString& name) {
  if (name.contains(u',')) {
    ShowError(QString::fromUtf8(kMsgCommaInName));
    return false;
  }
  m_userName = name;
  return true;
}

void PeerlookCtrl::SetServerPassword(const QString& password) { m_serverPassword = password; }

void PeerlookCtrl::SetDataStorePath(const QString& path) { m_client->SetDataStorePath(path); }

void PeerlookCtrl::SetNotifyHWND(QObject* receiver) { m_notifyReceiver = receiver; }

void PeerlookCtrl::AboutBox() {
  QMessageBox::about(this, QString::fromUtf8("Peerlookについて"),
                     QString::fromUtf8("Peerlook ネットワーク共有 コントロール バージョン 1.0"));
}

bool PeerlookCtrl::IsServerRunning() const { return m_server != nullptr && m_server->IsListening(); }

bool PeerlookCtrl::IsConnected() const { return m_client->IsConnected(); }

void PeerlookCtrl::Deliver(int tag, const QString& path) {
  emit Notice(tag, path);
  if (m_notifyReceiver != nullptr)
    QMetaObject::invokeMethod(m_notifyReceiver, "PeerlookNotice", Qt::QueuedConnection, Q_ARG(int, tag),
                              Q_ARG(QString, path));
}

void PeerlookCtrl::ShowError(const QString& text) { m_prompts->Error(text); }

}  // namespace varnel::peerlook
