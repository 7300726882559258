#pragma once
// The network sharing panel: a tool window over the Peerlook component of Ext/Peerlook.so with
// the panel's menu. The program keeps the connection settings (plv.ini), writes what it sends
// into SendTemp/ and deletes each file once its sending has ended, and acts on received files
// (NetData/) by their extension.

#include <QString>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/colour.h"
#include "shell/component_panel.h"

class QAction;
class QLabel;

namespace varnel {

class CVarnelDoc;

inline constexpr const char* kSharingTitle = "ネットワーク共有";
inline constexpr const char* kSharingLibraryName = "Ext/Peerlook.so";
inline constexpr const char* kPeerlookProgId = "PEERLOOK.PeerlookCtrl.1";
inline constexpr const char* kSharingXPosKey = "PLUIXPOS";
inline constexpr const char* kSharingYPosKey = "PLUIYPOS";
inline constexpr const char* kPeerSettingsFile = "plv.ini";
inline constexpr const char* kServerRunning = "サーバ起動中";
inline constexpr const char* kServerStopped = "サーバ停止中";
inline constexpr const char* kMsgCannotOpenSuffix = "が開けません";

// plv.ini: four labelled lines.
struct PeerSettings {
  std::string userName = "noname";
  std::string password;
  int serverPort = 14414;
  int fileTransferPort = 14415;
  bool operator==(const PeerSettings&) const = default;
};
// Each line's text after its label, trimmed; a missing file or line keeps the default, an empty
// name is "noname", a number that does not read keeps the default.
PeerSettings ParsePeerSettings(std::string_view text);
std::string FormatPeerSettings(const PeerSettings& settings);
// The message that refuses the settings, or nothing when they can be used.
std::optional<std::string> CheckPeerSettings(const PeerSettings& settings);

// What a received file is used as, by its extension without regard to case, in this order.
enum class ReceivedUse { kDocument, kRegion, kToolState, kColour, kArchive };
ReceivedUse ReceivedUseOf(std::string_view path);

// What the panel needs of the main program.
struct SharingHooks {
  std::function<CVarnelDoc*()> activeDocument;  // null without a picture
  std::function<void(const std::string&)> openDocument;
  std::function<bool(const std::string&)> saveToolState;  // false: the tool in use keeps none
  std::function<void(const std::string&)> loadToolState;
  std::function<ColourRef()> foreground;
  std::function<void(ColourRef)> setForeground;
};

class SharingPanel : public ComponentPanel {
  Q_OBJECT

 public:
  // An empty libraryPath means the program's Ext/Peerlook.so.
  SharingPanel(Profile& profile, QWidget* parent, SharingHooks hooks, std::string libraryPath = {});

  // The user's answers; tests replace them. askUse: use the received file now? For a region,
  // apply says whether it becomes the selection. askSavePath: where to keep a declined file
  // (empty: cancelled). askHost: the server to connect to (nothing: cancelled).
  std::function<bool(const QString& name, bool isRegion, bool& apply)> askUse;
  std::function<QString(const QString& suggested)> askSavePath;
  std::function<std::optional<QString>(const QString& last)> askHost;

  // The panel's commands.
  void ToggleServer();
  void Connect();
  void Disconnect();
  void EditSettings();
  void SendAnyFile();
  void SendActiveLayer();
  void SendRegion();
  void SendToolState();
  void SendColour();

  const PeerSettings& Settings() const { return m_settings; }
  // Applies and stores new settings; false (told) when they are refused.
  bool SetSettings(const PeerSettings& settings);
  // The files written for sending whose sending has not ended yet.
  const std::vector<std::string>& PendingSendFiles() const { return m_pendingFiles; }
  QString StatusText() const;

 public slots:
  // The component's notices: tag 1 a file arrived, tag 2 a sending ended.
  void PeerlookNotice(int tag, const QString& path);

 private slots:
  void UpdateStatus();

 protected:
  void ControlCreated(QWidget* control) override;

 private:
  void ApplySettings();
  // Offers the written file to the selected member; the file goes when nothing was sent.
  void SendWritten(const std::string& path);
  // A free name in SendTemp/ for base.extension.
  std::string SendTempPath(const std::string& base, const char* extension) const;
  void UseReceived(const std::string& path);
  void KeepDeclined(const std::string& path);

  SharingHooks m_hooks;
  PeerSettings m_settings;
  std::vector<std::string> m_pendingFiles;
  QString m_lastHost = "127.0.0.1";
  QLabel* m_status = nullptr;
  QAction* m_serverAction = nullptr;
};

}  // namespace varnel
