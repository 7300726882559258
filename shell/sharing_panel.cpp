#include "shell/sharing_panel.h"

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QSpinBox>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>
#include <utility>

#include "colour/colour_file.h"
#include "document/document_file.h"
#include "document/file_io.h"
#include "document/picture_commands.h"
#include "document/text_file.h"
#include "platform/host.h"
#include "platform/profile.h"
#include "platform/program_folder.h"
#include "shell/messages.h"
#include "shell/varnel_doc.h"

namespace varnel {

namespace fs = std::filesystem;

namespace {

constexpr ComponentPanelInfo kSharingInfo{kSharingTitle, kSharingLibraryName, kPeerlookProgId,
                                          "peerlook",    kSharingXPosKey,     kSharingYPosKey};

constexpr std::string_view kUserNameLabel = "UserName:";
constexpr std::string_view kPasswordLabel = "ServerPassword:";
constexpr std::string_view kServerPortLabel = "ServerPort:";
constexpr std::string_view kFileTransferPortLabel = "FileTransferPort:";

std::string Trim(std::string_view text) { return std::string(text::Trim(text)); }

void ReadPort(const std::string& text, int& port) {
  int value = 0;
  std::istringstream in(text);
  if (in >> value) port = value;
}

bool ValidPort(int port) { return port >= 1 && port <= 65535; }

// An installed program folder is read-only: settings, files to send and received files then
// live in the user's data folder.
std::string FolderPath(std::string_view relative) {
  std::string path = WritablePath(relative);
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}
std::string SendTempFolder() { return FolderPath("SendTemp/"); }
std::string NetDataFolder() { return FolderPath("NetData/"); }

// A file name made of a layer's name: path separators and control characters would make it
// another path or no name at all.
std::string FileBaseName(std::string name, const char* fallback) {
  for (char& c : name)
    if (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20) c = '_';
  if (name.empty() || name == "." || name == "..") return fallback;
  return name;
}

}  // namespace

PeerSettings ParsePeerSettings(std::string_view text) {
  PeerSettings settings;
  std::istringstream in{std::string(text)};
  std::string line;
  while (std::getline(in, line)) {
    const std::string_view view(line);
    if (view.starts_with(kUserNameLabel)) {
      settings.userName = Trim(view.substr(kUserNameLabel.size()));
    } else if (view.starts_with(kPasswordLabel)) {
      settings.password = Trim(view.substr(kPasswordLabel.size()));
    } else if (view.starts_with(kServerPortLabel)) {
      ReadPort(Trim(view.substr(kServerPortLabel.size())), settings.serverPort);
    } else if (view.starts_with(kFileTransferPortLabel)) {
      ReadPort(Trim(view.substr(kFileTransferPortLabel.size())), settings.fileTransferPort);
    }
  }
  if (settings.userName.empty()) settings.userName = "noname";
  return settings;
}

std::string FormatPeerSettings(const PeerSettings& settings) {
  std::string text;
  text.append(kUserNameLabel).append(settings.userName).append("\n");
  text.append(kPasswordLabel).append(settings.password).append("\n");
  text.append(kServerPortLabel).append(std::to_string(settings.serverPort)).append("\n");
  text.append(kFileTransferPortLabel).append(std::to_string(settings.fileTransferPort)).append("\n");
  return text;
}

std::optional<std::string> CheckPeerSettings(const PeerSettings& settings) {
  if (settings.userName.find(',') != std::string::npos) return std::string("ユーザ名に,は使えません");
  if (!ValidPort(settings.serverPort) || !ValidPort(settings.fileTransferPort)) return std::string("無効な値です");
  return std::nullopt;
}

ReceivedUse ReceivedUseOf(std::string_view path) {
  const std::string extension = fs::path(std::string(path)).extension().string();
  if (text::EqualsIgnoreCase(extension, ".vrd")) return ReceivedUse::kRegion;
  if (text::EqualsIgnoreCase(extension, ".vop")) return ReceivedUse::kToolState;
  if (text::EqualsIgnoreCase(extension, ".cd")) return ReceivedUse::kColour;
  if (text::EqualsIgnoreCase(extension, ".lzh")) return ReceivedUse::kArchive;
  return ReceivedUse::kDocument;  // "vlb" and everything the table does not name
}

SharingPanel::SharingPanel(Profile& profile, QWidget* parent, SharingHooks hooks, std::string libraryPath)
    : ComponentPanel(profile, parent, kSharingInfo, std::move(libraryPath)), m_hooks(std::move(hooks)) {
  {
    std::ifstream in(ReadablePath(kPeerSettingsFile), std::ios::binary);
    std::stringstream text;
    if (in) text << in.rdbuf();
    m_settings = ParsePeerSettings(text.str());
  }
  askUse = [this](const QString& name, bool isRegion, bool& apply) {
    QMessageBox box(QMessageBox::Question, windowTitle(), name + "\n受信したファイルを使いますか？",
                    QMessageBox::Yes | QMessageBox::No, this);
    QCheckBox* applyBox = nullptr;
    if (isRegion) {
      applyBox = new QCheckBox("選択領域にする", &box);
      applyBox->setChecked(true);
      box.setCheckBox(applyBox);
    }
    const bool yes = box.exec() == QMessageBox::Yes;
    apply = applyBox != nullptr && applyBox->isChecked();
    return yes;
  };
  askSavePath = [this](const QString& suggested) {
    return QFileDialog::getSaveFileName(this, QString(), suggested, QString(), nullptr,
                                        QFileDialog::DontConfirmOverwrite);
  };
  askHost = [this](const QString& last) -> std::optional<QString> {
    bool ok = false;
    const QString host = QInputDialog::getText(this, "サーバへ接続", "サーバ", QLineEdit::Normal, last, &ok).trimmed();
    if (!ok || host.isEmpty()) return std::nullopt;
    return host;
  };

  auto* bar = new QMenuBar(this);
  QMenu* server = bar->addMenu("サーバ");
  m_serverAction = server->addAction("サーバ起動", this, &SharingPanel::ToggleServer);
  m_serverAction->setCheckable(true);
  server->addAction("サーバへ接続", this, &SharingPanel::Connect);
  server->addAction("サーバから切断", this, &SharingPanel::Disconnect);
  server->addSeparator();
  server->addAction("接続設定", this, &SharingPanel::EditSettings);
  QMenu* send = bar->addMenu("送信");
  send->addAction("ファイル送信", this, &SharingPanel::SendAnyFile);
  send->addAction("アクティブレイヤの送信", this, &SharingPanel::SendActiveLayer);
  send->addAction("領域の送信", this, &SharingPanel::SendRegion);
  send->addAction("ツール状態の送信", this, &SharingPanel::SendToolState);
  send->addAction("選択色の送信", this, &SharingPanel::SendColour);
  send->addSeparator();
  // No archive library exists here, so files always go uncompressed.
  QAction* compress = send->addAction("UNLHA32がある場合は圧縮して送信");
  compress->setCheckable(true);
  compress->setEnabled(false);
  Layout()->setMenuBar(bar);
  m_status = new QLabel(this);
  Layout()->addWidget(m_status);
  UpdateStatus();
}

void SharingPanel::ControlCreated(QWidget* control) {
  // The status line stays below the component.
  Layout()->removeWidget(m_status);
  Layout()->addWidget(m_status);
  std::error_code error;
  fs::create_directories(NetDataFolder(), error);
  QMetaObject::invokeMethod(control, "SetDataStorePath", Q_ARG(QString, QString::fromStdString(NetDataFolder())));
  QMetaObject::invokeMethod(control, "SetNotifyHWND", Q_ARG(QObject*, this));
  // The component is reached by name only: its signals are joined by their signatures.
  connect(control, SIGNAL(ServerRunningChanged(bool)), this, SLOT(UpdateStatus()));
  ApplySettings();
}

void SharingPanel::ApplySettings() {
  QWidget* control = Control();
  if (control == nullptr) return;
  QMetaObject::invokeMethod(control, "SetUserName", Q_ARG(QString, QString::fromStdString(m_settings.userName)));
  QMetaObject::invokeMethod(control, "SetServerPassword", Q_ARG(QString, QString::fromStdString(m_settings.password)));
  control->setProperty("ServerPort", m_settings.serverPort);
  control->setProperty("FileTransferPort", m_settings.fileTransferPort);
}

bool SharingPanel::SetSettings(const PeerSettings& settings) {
  if (const auto refused = CheckPeerSettings(settings)) {
    GetHost().MessageBox(*refused, "", kMbOk | kMbIconWarning);
    return false;
  }
  m_settings = settings;
  if (m_settings.userName.empty()) m_settings.userName = "noname";
  std::ofstream out(WritablePath(kPeerSettingsFile), std::ios::binary | std::ios::trunc);
  out << FormatPeerSettings(m_settings);
  ApplySettings();
  return true;
}

QString SharingPanel::StatusText() const { return m_status->text(); }

void SharingPanel::UpdateStatus() {
  bool running = false;
  if (Control() != nullptr) QMetaObject::invokeMethod(Control(), "IsServerRunning", Q_RETURN_ARG(bool, running));
  m_status->setText(QString::fromUtf8(running ? kServerRunning : kServerStopped));
  m_serverAction->setChecked(running);
}

void SharingPanel::ToggleServer() {
  if (EnsureControl()) {
    bool running = false;
    QMetaObject::invokeMethod(Control(), "IsServerRunning", Q_RETURN_ARG(bool, running));
    bool ok = false;
    if (running)
      QMetaObject::invokeMethod(Control(), "ShutdownServer");
    else
      QMetaObject::invokeMethod(Control(), "SetupServer", Q_RETURN_ARG(bool, ok));
  }
  UpdateStatus();
}

void SharingPanel::Connect() {
  if (!EnsureControl()) return;
  const auto host = askHost(m_lastHost);
  if (!host) return;
  m_lastHost = *host;
  bool ok = false;
  QMetaObject::invokeMethod(Control(), "ConnectServer", Q_RETURN_ARG(bool, ok), Q_ARG(QString, *host),
                            Q_ARG(int, m_settings.serverPort));
}

void SharingPanel::Disconnect() {
  if (EnsureControl()) QMetaObject::invokeMethod(Control(), "DisConnect");
}

void SharingPanel::EditSettings() {
  QDialog dialog(this);
  dialog.setWindowTitle("接続設定");
  auto* form = new QFormLayout(&dialog);
  auto* name = new QLineEdit(QString::fromStdString(m_settings.userName), &dialog);
  auto* password = new QLineEdit(QString::fromStdString(m_settings.password), &dialog);
  password->setEchoMode(QLineEdit::Password);
  // Any number is taken here, so an out-of-range port is told as the settings say.
  auto* serverPort = new QSpinBox(&dialog);
  auto* transferPort = new QSpinBox(&dialog);
  for (QSpinBox* box : {serverPort, transferPort}) box->setRange(-999999, 999999);
  serverPort->setValue(m_settings.serverPort);
  transferPort->setValue(m_settings.fileTransferPort);
  form->addRow("ユーザ名", name);
  form->addRow("パスワード", password);
  form->addRow("サーバポート", serverPort);
  form->addRow("ファイル転送ポート", transferPort);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  form->addRow(buttons);
  connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  connect(buttons, &QDialogButtonBox::accepted, &dialog, [&] {
    PeerSettings edited{name->text().trimmed().toStdString(), password->text().toStdString(), serverPort->value(),
                        transferPort->value()};
    if (SetSettings(edited)) dialog.accept();
  });
  dialog.exec();
}

std::string SharingPanel::SendTempPath(const std::string& base, const char* extension) const {
  std::error_code error;
  fs::create_directories(SendTempFolder(), error);
  std::string path = SendTempFolder() + "/" + base + extension;
  for (int n = 2; fs::exists(path, error); ++n) path = SendTempFolder() + "/" + base + "_" + std::to_string(n) + extension;
  return path;
}

void SharingPanel::SendWritten(const std::string& path) {
  bool sent = false;
  QMetaObject::invokeMethod(Control(), "SendFile", Q_RETURN_ARG(bool, sent), Q_ARG(QString, QString::fromStdString(path)));
  std::error_code error;
  if (sent)
    m_pendingFiles.push_back(path);
  else
    fs::remove(path, error);  // nothing was offered, so nothing will end its sending
}

void SharingPanel::SendAnyFile() {
  if (!EnsureControl()) return;
  const QString path = QFileDialog::getOpenFileName(this);
  if (path.isEmpty()) return;
  bool sent = false;
  QMetaObject::invokeMethod(Control(), "SendFile", Q_RETURN_ARG(bool, sent), Q_ARG(QString, path));
}

void SharingPanel::SendActiveLayer() {
  CVarnelDoc* doc = m_hooks.activeDocument ? m_hooks.activeDocument() : nullptr;
  if (doc == nullptr || doc->GetCanvas().ActiveLayer() == nullptr || !EnsureControl()) return;
  const std::string path = SendTempPath(FileBaseName(doc->GetCanvas().ActiveLayer()->Name(), "layer"), ".vlb");
  doc->GetCanvas().ComposeAll();
  try {
    if (SaveActiveLayer(path, doc->GetCanvas(), doc->Grid()) != SaveResult::kWritten) return;
  } catch (const FileError&) {
    GetHost().MessageBox(FileSaveErrorMessage(path), "", kMbOk | kMbIconWarning);
    return;
  }
  SendWritten(path);
}

void SharingPanel::SendRegion() {
  CVarnelDoc* doc = m_hooks.activeDocument ? m_hooks.activeDocument() : nullptr;
  if (doc == nullptr || !EnsureControl()) return;
  const std::string path = SendTempPath("region", ".vrd");
  if (SaveSelection(doc->GetCanvas(), path) != 0) return;
  SendWritten(path);
}

void SharingPanel::SendToolState() {
  if (!m_hooks.saveToolState || !EnsureControl()) return;
  const std::string path = SendTempPath("toolstate", ".vop");
  if (!m_hooks.saveToolState(path)) {
    std::error_code error;
    fs::remove(path, error);
    return;
  }
  SendWritten(path);
}

void SharingPanel::SendColour() {
  if (!m_hooks.foreground || !EnsureControl()) return;
  const std::string path = SendTempPath("colour", ".cd");
  const ColourRef colour = m_hooks.foreground();
  if (!WriteColourDefinitionFile(path, std::span<const ColourRef>(&colour, 1))) {
    GetHost().MessageBox(FileSaveErrorMessage(path), "", kMbOk | kMbIconWarning);
    return;
  }
  SendWritten(path);
}

void SharingPanel::PeerlookNotice(int tag, const QString& qpath) {
  const std::string path = qpath.toStdString();
  if (tag == 2) {
    const auto it = std::find(m_pendingFiles.begin(), m_pendingFiles.end(), path);
    if (it == m_pendingFiles.end()) return;  // a file the user chose is never deleted
    std::error_code error;
    fs::remove(path, error);
    m_pendingFiles.erase(it);
    return;
  }
  if (tag == 1) UseReceived(path);
}

void SharingPanel::UseReceived(const std::string& path) {
  const ReceivedUse use = ReceivedUseOf(path);
  bool apply = false;
  const QString name = QString::fromStdString(fs::path(path).filename().string());
  // Without an archive library a received archive cannot be used, only kept.
  if (use == ReceivedUse::kArchive || !askUse(name, use == ReceivedUse::kRegion, apply)) {
    KeepDeclined(path);
    return;
  }
  std::error_code error;
  const auto size = fs::file_size(path, error);
  if (error || size == 0) {
    GetHost().MessageBox(name.toStdString() + kMsgCannotOpenSuffix, "", kMbOk | kMbIconWarning);
    return;
  }
  switch (use) {
    case ReceivedUse::kDocument:
      if (m_hooks.openDocument) m_hooks.openDocument(path);
      break;
    case ReceivedUse::kRegion:
      if (CVarnelDoc* doc = m_hooks.activeDocument ? m_hooks.activeDocument() : nullptr; doc != nullptr && apply) {
        if (LoadSelection(doc->GetCanvas(), path) == 0) doc->UpdateAllViews();
      }
      break;
    case ReceivedUse::kToolState:
      if (m_hooks.loadToolState) m_hooks.loadToolState(path);
      break;
    case ReceivedUse::kColour: {
      std::vector<ColourRef> colours;
      if (!ReadColourDefinitionFile(path, colours) || colours.empty()) {
        GetHost().MessageBox(name.toStdString() + kMsgCannotOpenSuffix, "", kMbOk | kMbIconWarning);
      } else if (m_hooks.setForeground) {
        m_hooks.setForeground(colours.front());
      }
      break;
    }
    case ReceivedUse::kArchive:
      break;
  }
}

void SharingPanel::KeepDeclined(const std::string& path) {
  // Asked again, saying why, while the name chosen is taken or cannot be written; a cancel
  // leaves the file in NetData/, so a received file is never lost and the question can always
  // be left.
  const QString suggested = QString::fromStdString(fs::path(path).filename().string());
  for (;;) {
    const QString answer = askSavePath(suggested);
    if (answer.isEmpty()) return;
    const std::string target = answer.toStdString();
    std::error_code error;
    if (fs::exists(target, error)) {
      GetHost().MessageBox("「" + fs::path(target).filename().string() + "」は既にあります。別の名前を選んでください。", "",
                           kMbOk | kMbIconWarning);
      continue;
    }
    fs::rename(path, target, error);
    if (error) {
      // Another file system: copy, then remove the received one.
      fs::copy_file(path, target, error);
      if (!error) {
        fs::remove(path, error);
        return;
      }
      std::error_code ignored;
      // No half-written copy stays behind; a file that appeared meanwhile is someone else's.
      if (error != std::errc::file_exists) fs::remove(target, ignored);
      GetHost().MessageBox(FileSaveErrorMessage(target), "", kMbOk | kMbIconWarning);
      continue;
    }
    return;
  }
}

}  // namespace varnel
