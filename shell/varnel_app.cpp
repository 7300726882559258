#include "shell/varnel_app.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLayout>
#include <QLibraryInfo>
#include <QLocale>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScreen>
#include <QTimer>
#include <QTranslator>

#include "brush/brush_tool.h"
#include "core/undo.h"
#include "document/layer_mask_file.h"
#include "memwell/memwell.h"
#include "platform/allocator.h"
#include "qtcommon/qt_colour.h"
#include "shell/child_frame.h"
#include "shell/document_commands.h"
#include "shell/main_frame.h"
#include "shell/messages.h"
#include "shell/recovery_service.h"
#include "shell/shell_registration.h"
#include "shell/single_instance.h"
#include "shell/tool_palette.h"
#include "shell/varnel_doc.h"
#include "shell/varnel_view.h"
#include "shell/window_placement.h"

namespace varnel {
namespace {

// MarginColor is stored as the profile's signed number.
QColor MarginColour(int32_t stored) { return QColorFromColourRef(ColourRef{static_cast<uint32_t>(stored)}); }

}  // namespace

bool InstallQtTranslations() {
  static QTranslator translator;
  if (!translator.isEmpty()) return true;
  if (!translator.load(QLocale(QLocale::Japanese, QLocale::Japan), "qtbase", "_",
                       QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    return false;
  return QCoreApplication::installTranslator(&translator);
}

CVarnelApp::CVarnelApp(Profile& profile) : m_profile(profile), m_host(m_console) {
  m_previousHost = SetHost(&m_host);
  m_host.SetEcho(qEnvironmentVariableIntValue("VARNEL_DEBUG_ECHO") != 0);
  // Masks that are off wait in their temporary region files.
  InstallMaskFileStore();
  // Tools and commands reach the picture of the active document through this lookup.
  Canvas::SetActiveCanvasLookup([this]() -> Canvas* {
    if (!m_mainFrame) return nullptr;
    CChildFrame* frame = m_mainFrame->ActiveChildFrame();
    return frame ? &frame->GetActiveDocument()->GetCanvas() : nullptr;
  });
  // A recorded change marks the active document as modified.
  SetUndoStepRecordedHandler([this](ImageSurface&) {
    if (m_recovery) m_recovery->PictureChanged();
    if (!m_mainFrame) return;
    if (CChildFrame* frame = m_mainFrame->ActiveChildFrame()) frame->GetActiveDocument()->SetModifiedFlag(true);
  });
}

CVarnelApp::~CVarnelApp() {
  // A clean end: this run's recovery copies go.
  m_recovery.reset();
  SetUndoStepRecordedHandler(nullptr);
  Canvas::SetActiveCanvasLookup(nullptr);
  if (m_mainFrame) delete m_mainFrame.data();
  SetHost(m_previousHost);
}

bool CVarnelApp::InitComponentServices() {
  // Components are shared objects loaded on demand; what they need is a running application.
  return QCoreApplication::instance() != nullptr;
}

void CVarnelApp::ShowStartupFailure(const char* message) { GetHost().MessageBox(message, "", kMbOk | kMbIconError); }

CVarnelApp::StartResult CVarnelApp::InitInstance(const QStringList& arguments) {
  // 1. Component services.
  if (!InitComponentServices()) {
    ShowStartupFailure(kMsgOleInitFailed);
    return StartResult::kFailed;
  }
  // 2. The settings store and the recent-file list.
  m_recent.Load(m_profile);
  // 3. The two document types.
  m_documentTypes = {kImageDocumentType, kChannelDocumentType};
  // 4. The start-up settings.
  m_settings = AppSettings::Load(m_profile);
  // 5. Shell registration of the layer file type.
  if (m_settings.shellRegist != 0) RegisterShellFileTypes(QCoreApplication::applicationFilePath().toStdString());
  // 6. The main frame.
  m_mainFrame = new CMainFrame(*this);
  if (!m_mainFrame) {
    ShowStartupFailure(kMsgMainFrameLoadFailed);
    return StartResult::kFailed;
  }
  m_host.SetMainFrame(m_mainFrame);
  // 7. Single-instance mode.
  if (m_settings.mutex != 0) {
    m_instance = std::make_unique<SingleInstance>();
    m_instance->Acquire();
    connect(m_instance.get(), &SingleInstance::openFileRequested, this, [this](const QString& path) {
      GetHost().DebugMessage(5, kInitialisedColour, ("受け取ったファイル: " + path).toStdString());
      BringMainFrameForward();
      OpenDocumentFile(path);
    });
    connect(m_instance.get(), &SingleInstance::showRequested, this, [this] {
      GetHost().DebugMessage(5, kInitialisedColour, kMsgShownForAnotherStart);
      BringMainFrameForward();
    });
  }
  // 8. The command line: open the named file or make a new image.
  const QString fileArgument = arguments.isEmpty() ? QString() : arguments.front();
  // A second instance hands its file (or, without one, the wish to see the program) to the
  // first and ends; when no running copy answers it goes on as a copy of its own rather than
  // lose the file or leave the user with nothing.
  if (m_instance && m_instance->IsSecondInstance()) {
    const QString path = fileArgument.isEmpty() ? QString() : QFileInfo(fileArgument).absoluteFilePath();
    if (path.isEmpty() ? SingleInstance::SendShow() : SingleInstance::SendPath(path)) return StartResult::kHandedOver;
  }
  if (!fileArgument.isEmpty()) {
    // A file that cannot be opened is reported, and the program starts without a document as
    // every desktop program does.
    if (!OpenDocumentFile(QFileInfo(fileArgument).absoluteFilePath())) ShowStartupFailure(kMsgShellCommandFailed);
  } else if (!OnFileNew()) {
    ShowStartupFailure(kMsgShellCommandFailed);
    return StartResult::kFailed;
  }
  // 9. Window placement.
  PlaceMainWindow();
  // Recovery copies of the pictures; what a crashed run left is offered once the window shows.
  m_recovery = std::make_unique<RecoveryService>(
      *this, m_profile.GetInt(kSettingsSection, kAutosaveMinutesKey, kDefaultAutosaveMinutes));
  QTimer::singleShot(0, m_recovery.get(), &RecoveryService::OfferRecovery);
  // 10. Clipboard formats, the picture plug-in folder, the debug level, the backup setting.
  m_clipboardFormats = {kClipboardLayerData, kClipboardChannel, kClipboardObject};
  m_console.SetLevel(m_settings.debugLevel);
  m_mainFrame->SyncMessageLevel(m_settings.debugLevel);
  // 11. The process-wide pool of tile blocks, and an allocator that keeps what backups beyond
  // it free for the next change.
  TuneAllocatorForPainting();
  FXCreateMemBlock(kTileBlockSize);
  // The brush starts at the size it had when the program last ended.
  ProgramBrushSettings().SetPackedSize(m_settings.brushSize);
  RebuildProgramBrush();
  if (ToolOptionWindow* options = m_mainFrame->ToolOptions()) options->Refresh();
  // 12. Panels shown at start (the colour palette panel arrives with the colour tools).
  // 13. Accept hand-overs from later copies, then report that start-up is done.
  if (m_instance && !m_instance->IsSecondInstance()) m_instance->Listen();
  GetHost().DebugMessage(kInitialisedLevel, kInitialisedColour, kMsgInitialised);
  return StartResult::kRunning;
}

CMainFrame* CVarnelApp::MainFrame() const { return m_mainFrame.data(); }

void CVarnelApp::BringMainFrameForward() {
  if (!m_mainFrame) return;
  if (m_mainFrame->isMinimized()) m_mainFrame->showNormal();
  m_mainFrame->raise();
  m_mainFrame->activateWindow();
}

bool CVarnelApp::IsPropertySet() const { return m_instance && m_instance->IsListening(); }

void CVarnelApp::PlaceMainWindow() {
  if (m_settings.isMaximized != 0) {
    m_mainFrame->showMaximized();
    FitChildFrames();
    return;
  }
  QRect screenArea(0, 0, 1024, 768), freeArea = screenArea;
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    screenArea = screen->geometry();
    freeArea = screen->availableGeometry();
  }
  // A first start has no placement to return to: the window takes most of the screen rather
  // than the small default size, which a picture and the panels do not fit into.
  bool stored = false;
  for (const char* key : {"MainWindowCX", "MainWindowCY", "MainWindowX", "MainWindowY"})
    stored = stored || m_profile.Has(kSettingsSection, key);
  const WindowPlacement p =
      stored ? CorrectPlacement({m_settings.mainWindowX, m_settings.mainWindowY, m_settings.mainWindowCX,
                                 m_settings.mainWindowCY},
                                screenArea.width(), screenArea.height())
             : FirstPlacement(freeArea.x(), freeArea.y(), freeArea.width(), freeArea.height());
  m_mainFrame->move(p.x, p.y);
  m_mainFrame->resize(p.cx, p.cy);
  m_mainFrame->show();
  // The panels take their room first, so the pictures are fitted to what is left.
  if (QLayout* layout = m_mainFrame->layout()) layout->activate();
  FitChildFrames();
}

void CVarnelApp::FitChildFrames() {
  for (CChildFrame* frame : m_mainFrame->ChildFrames()) FitChildFrame(frame);
}

CVarnelDoc* CVarnelApp::CreateDocumentWindow(std::unique_ptr<CVarnelDoc> doc) {
  auto* view = new CVarnelView(doc.get(), MarginColour(m_settings.marginColor), &m_settings);
  // A file dropped on a picture opens as a document of its own.
  connect(view, &CVarnelView::fileDropped, this, [this](const QString& path) { OpenDocumentFile(path); },
          Qt::QueuedConnection);
  connect(view, &CVarnelView::pointerStatus, m_mainFrame.data(), &CMainFrame::SetPointerStatus);
  CVarnelDoc* raw = doc.release();
  auto* frame = new CChildFrame(raw, view);
  frame->saveDocument = [this](CVarnelDoc* document) {
    return m_mainFrame && m_mainFrame->Commands()->SaveDocument(document);
  };
  m_mainFrame->AddChildFrame(frame);
  FitChildFrame(frame);
  return raw;
}

void CVarnelApp::FitChildFrame(CChildFrame* frame) {
  // A maximized window fills the MDI area, and so does one opened while another is maximized:
  // sizing it to its picture would leave it maximized in name only, the area bare beside it.
  if (frame->isMaximized() || frame->isMinimized()) return;
  // Large enough for the picture and its margins, but within the MDI area once that has its
  // size (before the main window is placed it has none worth keeping to).
  const QSize wanted = frame->sizeHint().expandedTo(frame->minimumSizeHint());
  if (m_mainFrame->isVisible()) {
    const QSize room = m_mainFrame->MdiArea()->viewport()->size();
    frame->resize(wanted.boundedTo(room));
    // A window that no longer fits where it was is moved back into view.
    if (frame->x() + frame->width() > room.width() || frame->x() < 0) frame->move(0, frame->y());
    if (frame->y() + frame->height() > room.height() || frame->y() < 0) frame->move(frame->x(), 0);
  }
  else
    frame->resize(wanted);
}

QString CVarnelApp::NextUntitledTitle() {
  return QString::fromUtf8(kImageDocumentType.String(DocString::kDocName).data()) + QString::number(++m_untitledCount);
}

CVarnelDoc* CVarnelApp::OnFileNew() {
  PackedSize size = m_settings.NewImageSize();
  // A stored size of zero would leave the program unable to start; use the shipped size.
  if (size.width < 1 || size.height < 1) size = UnpackSize(kDefaultNewImageSize);
  auto doc = std::make_unique<CVarnelDoc>();
  if (!doc->OnNewDocument({size.width, size.height})) return nullptr;
  doc->SetTitle(NextUntitledTitle());
  return CreateDocumentWindow(std::move(doc));
}

CVarnelDoc* CVarnelApp::OpenDocumentFile(const QString& path) {
  // A file already open comes to the front instead of opening a second, independent copy, whose
  // saving would silently write over what was done in the first.
  const QString wanted = QFileInfo(path).canonicalFilePath();
  if (m_mainFrame && !wanted.isEmpty()) {
    for (CChildFrame* frame : m_mainFrame->ChildFrames()) {
      CVarnelDoc* open = frame->GetActiveDocument();
      if (open == nullptr || open->PathName().isEmpty() || QFileInfo(open->PathName()).canonicalFilePath() != wanted)
        continue;
      m_mainFrame->MdiArea()->setActiveSubWindow(frame);
      AddRecentFile(path);
      return open;
    }
  }
  auto doc = std::make_unique<CVarnelDoc>();
  if (!doc->OnOpenDocument(path)) return nullptr;
  doc->SetPathName(path);
  doc->SetTitle(QFileInfo(path).fileName());
  AddRecentFile(path);
  return CreateDocumentWindow(std::move(doc));
}

CVarnelDoc* CVarnelApp::ShowDocument(std::unique_ptr<CVarnelDoc> doc) { return CreateDocumentWindow(std::move(doc)); }

CVarnelDoc* CVarnelApp::OpenLayerAsDocument(std::unique_ptr<Layer> layer) {
  if (!layer) return nullptr;
  auto doc = std::make_unique<CVarnelDoc>();
  doc->GetCanvas().InitWithLayer(std::move(layer));
  doc->GetCanvas().ComposeAll();
  doc->GetCanvas().Composite().ClearDirty();
  doc->SetTitle(NextUntitledTitle());
  // Nothing of it is on disk yet.
  doc->SetModifiedFlag(true);
  return CreateDocumentWindow(std::move(doc));
}

void CVarnelApp::AddRecentFile(const QString& path) {
  m_recent.Add(path.toStdString());
  m_recent.Save(m_profile);
  if (m_mainFrame) m_mainFrame->UpdateRecentFileMenu();
}

void CVarnelApp::RedrawAllViews() {
  if (!m_mainFrame) return;
  for (CChildFrame* frame : m_mainFrame->ChildFrames())
    if (frame->GetActiveView()) frame->GetActiveView()->viewport()->update();
}

void CVarnelApp::OnMainFrameClosing(CMainFrame& frame) {
  if (m_instance) m_instance->Close();
  if (m_shutdownWritten) return;
  m_shutdownWritten = true;
  m_settings.isMaximized = frame.isMaximized() ? 1 : 0;
  const QRect normal = frame.isMaximized() || frame.isMinimized() ? frame.normalGeometry() : frame.geometry();
  const QPoint position = frame.isMaximized() || frame.isMinimized() ? normal.topLeft() : frame.pos();
  m_settings.mainWindowX = position.x();
  m_settings.mainWindowY = position.y();
  m_settings.mainWindowCX = normal.width();
  m_settings.mainWindowCY = normal.height();
  // The brush size as the user last left it, whatever changed it during the run.
  m_settings.brushSize = ProgramBrushSettings().PackedSize();
  m_settings.SaveShutdown(m_profile);
}

}  // namespace varnel
