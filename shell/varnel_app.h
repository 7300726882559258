#pragma once
// The application object: start-up in the program's fixed order, the settings, the documents,
// single-instance mode and shutdown.

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <memory>
#include <vector>

#include "platform/profile.h"
#include "shell/debug_console.h"
#include "shell/document_types.h"
#include "shell/qt_host.h"
#include "shell/recent_files.h"
#include "settings/app_settings.h"

namespace varnel {

class CChildFrame;
class CMainFrame;
class CVarnelDoc;
class Layer;
class RecoveryService;
class SingleInstance;

// The clipboard formats the program registers by name at start-up; the channel editor adds
// "CF_VNCHANNELDATA" when it first runs.
inline constexpr const char* kClipboardLayerData = "CF_VN_LAYERDATA";
inline constexpr const char* kClipboardChannel = "CF_VNCHANNEL";
inline constexpr const char* kClipboardObject = "CF_VN_OBJECT";
inline constexpr const char* kClipboardChannelData = "CF_VNCHANNELDATA";

inline constexpr int32_t kTileBlockSize = 1032;

// Qt's own texts (the buttons of message boxes, the file and colour dialogs) in Japanese, as the
// rest of the program is: the translations Debian ships for Qt. False when they are not there.
bool InstallQtTranslations();

class CVarnelApp : public QObject {
  Q_OBJECT

 public:
  // How start-up ended.
  enum class StartResult { kRunning, kHandedOver, kFailed };

  explicit CVarnelApp(Profile& profile);
  ~CVarnelApp() override;

  // Runs start-up with the program's arguments (without the program name). kFailed means the
  // user was told why; kHandedOver means a running copy took the file.
  StartResult InitInstance(const QStringList& arguments);

  // A new image of NEWIMAGESIZE in its own window.
  CVarnelDoc* OnFileNew();
  // Opens a picture file in its own window; null when it cannot be opened (the user is told).
  CVarnelDoc* OpenDocumentFile(const QString& path);

  // A document made elsewhere (a recovered picture) in its own window.
  CVarnelDoc* ShowDocument(std::unique_ptr<CVarnelDoc> doc);
  // The recovery copies of the open pictures (null before start-up has made it).
  RecoveryService* Recovery() const { return m_recovery.get(); }

  // A new document window whose only layer is the given one (merging into a new document).
  CVarnelDoc* OpenLayerAsDocument(std::unique_ptr<Layer> layer);
  // Puts a path at the top of the recent-file list and stores the list.
  void AddRecentFile(const QString& path);
  // Repaints every view of every document (a display setting changed).
  void RedrawAllViews();

  // Writes back the placement, ISMAXIMIZED and BRUSHSIZE, and stops accepting hand-overs.
  void OnMainFrameClosing(CMainFrame& frame);

  Profile& GetProfile() { return m_profile; }
  AppSettings& Settings() { return m_settings; }
  DebugConsole& Console() { return m_console; }
  RecentFileList& RecentFiles() { return m_recent; }
  CMainFrame* MainFrame() const;
  SingleInstance* Instance() const { return m_instance.get(); }
  const std::vector<DocumentType>& DocumentTypes() const { return m_documentTypes; }
  const QStringList& ClipboardFormats() const { return m_clipboardFormats; }
  bool IsPropertySet() const;  // "VarnelProp": hand-overs are being accepted

 private:
  bool InitComponentServices();
  void ShowStartupFailure(const char* message);
  void PlaceMainWindow();
  // Shows the main window over the others (a later start asked for it).
  void BringMainFrameForward();
  CVarnelDoc* CreateDocumentWindow(std::unique_ptr<CVarnelDoc> doc);
  void FitChildFrame(CChildFrame* frame);
  void FitChildFrames();
  // "Image1", "Image2", … for pictures not yet saved.
  QString NextUntitledTitle();

  Profile& m_profile;
  AppSettings m_settings;
  DebugConsole m_console;
  QtHost m_host;
  Host* m_previousHost = nullptr;
  RecentFileList m_recent;
  std::vector<DocumentType> m_documentTypes;
  QStringList m_clipboardFormats;
  std::unique_ptr<SingleInstance> m_instance;
  std::unique_ptr<RecoveryService> m_recovery;
  QPointer<CMainFrame> m_mainFrame;
  int m_untitledCount = 0;
  bool m_shutdownWritten = false;
};

}  // namespace varnel
