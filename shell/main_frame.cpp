#include "shell/main_frame.h"

#include <QAction>
#include <QActionGroup>
#include <QCoreApplication>
#include <QCloseEvent>
#include <QDir>
#include <QLabel>
#include <QMdiArea>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QStatusBar>
#include <ctime>

#include "brush/brush_preset.h"
#include "brush/brush_tool.h"
#include "document/document_file.h"
#include "platform/host.h"
#include "shell/child_frame.h"
#include "shell/command_ids.h"
#include "shell/debug_console.h"
#include "shell/debug_console_panel.h"
#include "shell/qt_host.h"
#include "shell/varnel_app.h"
#include "shell/varnel_doc.h"
#include "shell/varnel_view.h"

namespace varnel {

CMainFrame::CMainFrame(CVarnelApp& app)
    : m_app(app),
      m_mdi(new QMdiArea(this)),
      m_statusText(new QLabel(this)),
      m_gauge(new QProgressBar(this)),
      m_debugPanel(new DebugConsolePanel(app.Console(), this)) {
  setObjectName("CMainFrame");
  setWindowTitle(kAppTitle);
  m_mdi->setObjectName("MdiArea");
  m_mdi->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  m_mdi->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setCentralWidget(m_mdi);

  m_statusText->setObjectName("StatusText");
  m_gauge->setObjectName("StatusGauge");
  m_gauge->setRange(0, 100);
  m_gauge->setMaximumWidth(160);
  m_gauge->setTextVisible(true);
  m_gauge->hide();
  statusBar()->addWidget(m_statusText, 1);
  statusBar()->addPermanentWidget(m_gauge);

  addDockWidget(Qt::BottomDockWidgetArea, m_debugPanel);
  m_debugPanel->hide();
  CreateMenus();
}

QAction* CMainFrame::AddCommand(QMenu* menu, int id, const QString& label, void (CMainFrame::*slot)()) {
  // Labels keep the program's "text\tshortcut" form; the part after the tab is the shortcut.
  const QStringList parts = label.split('\t');
  QAction* action = menu->addAction(parts.front());
  action->setData(id);
  if (parts.size() > 1) action->setShortcut(QKeySequence(parts[1]));
  if (slot) connect(action, &QAction::triggered, this, slot);
  return action;
}

void CMainFrame::CreateMenus() {
  QMenuBar* bar = menuBar();
  QMenu* file = bar->addMenu("ファイル(&F)");
  file->setObjectName("FileMenu");
  AddCommand(file, cmd::kFileNew, "新規作成(&N)\tCtrl+N", &CMainFrame::OnFileNew);
  AddCommand(file, cmd::kFileClose, "閉じる(&C)", &CMainFrame::OnFileClose);
  AddCommand(file, cmd::kFileSave, "上書き保存(&S)\tCtrl+S", &CMainFrame::OnFileSave);
  AddCommand(file, cmd::kQuickSave, "クイックセーブ(&Q)\tCtrl+W", &CMainFrame::OnQuickSave);
  file->addSeparator();
  m_recentMenu = file->addMenu("最近使ったファイル(&F)");
  m_recentMenu->setObjectName("RecentFileMenu");
  file->addSeparator();
  AddCommand(file, cmd::kAppExit, "アプリケーションの終了(&X)", &CMainFrame::OnAppExit);

  QMenu* edit = bar->addMenu("編集(&E)");
  edit->setObjectName("EditMenu");
  AddCommand(edit, cmd::kEditUndo, "アンドゥ(&U)\tCtrl+Z", &CMainFrame::OnEditUndo);
  AddCommand(edit, cmd::kEditRedo, "リドゥ(&R)\tCtrl+R", &CMainFrame::OnEditRedo);

  // Menus whose commands arrive with the selection, image and layer work; shown so the menu bar
  // keeps its shape, and disabled while they hold nothing.
  for (const char* title : {"領域(&R)", "画像(&I)", "レイヤ(&L)"}) {
    QMenu* menu = bar->addMenu(QString::fromUtf8(title));
    menu->setEnabled(false);
  }

  QMenu* tools = bar->addMenu("ツール(&T)");
  tools->setObjectName("ToolMenu");
  m_brushMenu = tools->addMenu("ブラシの種類");
  m_brushMenu->setObjectName("BrushKindMenu");
  connect(m_brushMenu, &QMenu::aboutToShow, this, &CMainFrame::RebuildBrushKindMenu);
  RebuildBrushKindMenu();

  QMenu* view = bar->addMenu("表示(&V)");
  view->setObjectName("ViewMenu");
  QAction* statusToggle = AddCommand(view, cmd::kViewStatusBar, "ステータス バー(&S)", nullptr);
  statusToggle->setCheckable(true);
  statusToggle->setChecked(true);
  connect(statusToggle, &QAction::toggled, statusBar(), &QWidget::setVisible);
  QAction* consoleToggle = m_debugPanel->toggleViewAction();
  consoleToggle->setText("デバッグコンソール(&D)");
  view->addAction(consoleToggle);
  m_levelMenu = view->addMenu("メッセージレベル");
  m_levelMenu->setObjectName("MessageLevelMenu");
  m_levelGroup = new QActionGroup(this);
  m_levelGroup->setExclusive(true);
  for (int level = kMinDebugLevel; level <= kMaxDebugLevel; ++level) {
    QAction* action = m_levelMenu->addAction(QString("&%1").arg(level));
    action->setCheckable(true);
    action->setData(level);
    m_levelGroup->addAction(action);
    connect(action, &QAction::triggered, this, [this, level] { m_app.Console().SetLevel(level); });
  }

  QMenu* window = bar->addMenu("ウィンドウ(&W)");
  window->setObjectName("WindowMenu");
  QAction* cascade = AddCommand(window, cmd::kWindowCascade, "重ねて表示(&C)", nullptr);
  connect(cascade, &QAction::triggered, m_mdi, &QMdiArea::cascadeSubWindows);
  QAction* tile = AddCommand(window, cmd::kWindowTileHorz, "並べて表示(&T)", nullptr);
  connect(tile, &QAction::triggered, m_mdi, &QMdiArea::tileSubWindows);

  QMenu* help = bar->addMenu("ヘルプ(&H)");
  help->setObjectName("HelpMenu");
  AddCommand(help, cmd::kAppAbout, "バージョン情報(&A)...", &CMainFrame::OnAppAbout);

  UpdateRecentFileMenu();
}

void CMainFrame::UpdateRecentFileMenu() {
  m_recentMenu->clear();
  const auto& entries = m_app.RecentFiles().Entries();
  int index = 0;
  for (const std::string& path : entries) {
    const QString qpath = QString::fromStdString(path);
    QAction* action = m_recentMenu->addAction(QString("&%1 %2").arg(index + 1).arg(QDir::toNativeSeparators(qpath)));
    action->setData(cmd::kFileMruFile1 + index);
    connect(action, &QAction::triggered, this, [this, qpath] { m_app.OpenDocumentFile(qpath); });
    ++index;
  }
  m_recentMenu->setEnabled(!entries.empty());
}

void CMainFrame::SyncMessageLevel(int level) {
  for (QAction* action : m_levelGroup->actions()) action->setChecked(action->data().toInt() == level);
}

CChildFrame* CMainFrame::ActiveChildFrame() const {
  return qobject_cast<CChildFrame*>(m_mdi->activeSubWindow());
}

void CMainFrame::AddChildFrame(CChildFrame* frame) {
  m_mdi->addSubWindow(frame);
  frame->show();
  m_mdi->setActiveSubWindow(frame);
}

void CMainFrame::SetStatusText(const QString& text) { m_statusText->setText(text); }

void CMainFrame::SetProgress(int percent) {
  if (percent < 0) {
    m_gauge->hide();
    return;
  }
  m_gauge->setValue(std::min(percent, 100));
  m_gauge->show();
}

QString CMainFrame::StatusText() const { return m_statusText->text(); }

int CMainFrame::Progress() const { return m_gauge->isVisible() ? m_gauge->value() : -1; }

void CMainFrame::OnFileNew() { m_app.OnFileNew(); }

void CMainFrame::OnFileClose() {
  if (QMdiSubWindow* active = m_mdi->activeSubWindow()) active->close();
}

namespace {

CVarnelDoc* DocumentOf(CChildFrame* frame) {
  if (frame == nullptr || frame->GetActiveView() == nullptr) return nullptr;
  return frame->GetActiveView()->GetDocument();
}

}  // namespace

void CMainFrame::OnFileSave() {
  CVarnelDoc* doc = DocumentOf(ActiveChildFrame());
  // A picture without a file yet waits for the save dialog; there is nothing to overwrite.
  if (doc == nullptr || doc->PathName().isEmpty()) return;
  WaitCursor wait;
  doc->OnSaveDocument(doc->PathName());
}

void CMainFrame::OnQuickSave() {
  CVarnelDoc* doc = DocumentOf(ActiveChildFrame());
  if (doc == nullptr) return;
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  WaitCursor wait;
  // The document keeps its own path: a quick save is a copy.
  const bool modified = doc->IsModified();
  if (doc->OnSaveDocument(QString::fromStdString(QuickSavePath(local)))) doc->SetModifiedFlag(modified);
}

void CMainFrame::OnEditUndo() {
  if (CVarnelDoc* doc = DocumentOf(ActiveChildFrame())) {
    doc->GetCanvas().Undo();
    doc->UpdateAllViews();
  }
}

void CMainFrame::OnEditRedo() {
  if (CVarnelDoc* doc = DocumentOf(ActiveChildFrame())) {
    doc->GetCanvas().Redo();
    doc->UpdateAllViews();
  }
}

void CMainFrame::RebuildBrushKindMenu() {
  m_brushMenu->clear();
  auto addKind = [this](QMenu* menu, int32_t kind) {
    QAction* action = menu->addAction(QString::fromUtf8(BrushKindLabel(kind)));
    const int id = kBrushKindCommandBase + kind;
    action->setData(id);
    action->setToolTip(QString::fromUtf8(BrushKindTooltip(kind)));
    connect(action, &QAction::triggered, this, [this, id] { OnBrushCommand(id); });
  };
  addKind(m_brushMenu, kBrushCustom);
  // The presets: one submenu per group folder, then the presets lying in the folder itself.
  QMenu* presets = m_brushMenu->addMenu("プリセット");
  const PresetMenu model = PresetMenu::Build(ProgramBrushSettings().presetsFolder);
  auto addPreset = [this](QMenu* menu, int id, const std::string& title) {
    QAction* action = menu->addAction(QString::fromStdString(title));
    action->setData(id);
    connect(action, &QAction::triggered, this, [this, id] { OnBrushCommand(id); });
  };
  for (const PresetMenu::Group& group : model.groups) {
    QMenu* sub = presets->addMenu(QString::fromStdString(group.name));
    for (size_t i = 0; i < group.titles.size(); ++i)
      addPreset(sub, group.firstId + static_cast<int>(i), group.titles[i]);
  }
  for (size_t i = 0; i < model.topTitles.size(); ++i)
    addPreset(presets, model.topFirstId + static_cast<int>(i), model.topTitles[i]);
  struct Group {
    const char* title;
    std::initializer_list<int32_t> kinds;
  };
  for (const Group& group : {Group{"画材風", {kBrushBristle, kBrushBristle2, kBrushOilPaint}},
                             Group{"ぼかし/調整", {kBrushBlur, kBrushBlur2, kBrushFingerSmudge, kBrushStir, kBrushSharpen,
                                                 kBrushSaturationUp, kBrushSaturationDown}},
                             Group{"明度", {kBrushDodgeAll, kBrushBurnAll, kBrushDodgeBright, kBrushBurnBright,
                                           kBrushDodgeMiddle, kBrushBurnMiddle, kBrushDodgeDark, kBrushBurnDark}},
                             Group{"特殊", {kBrushRainbow, kBrushOpacityAdd, kBrushOpacitySubtract}}}) {
    QMenu* sub = m_brushMenu->addMenu(QString::fromUtf8(group.title));
    for (int32_t kind : group.kinds) addKind(sub, kind);
  }
  addKind(m_brushMenu, kBrushNormal);
}

void CMainFrame::OnBrushCommand(int id) {
  BrushToolSettings& settings = ProgramBrushSettings();
  if (id >= kBrushKindCommandBase && id < kBrushKindCommandBase + kBrushKindCount) {
    settings.kind = id - kBrushKindCommandBase;
  } else {
    const PresetMenu model = PresetMenu::Build(settings.presetsFolder);
    CustomBrushParams params = settings.customPanel.value_or(CustomBrushParams{});
    if (!SelectPreset(model, id, settings, params)) return;
    if (settings.customPanel) *settings.customPanel = params;
  }
  RebuildProgramBrush();
}

void CMainFrame::OnAppExit() { close(); }

void CMainFrame::OnAppAbout() {
  QMessageBox::about(this, "バージョン情報", QString("%1 %2").arg(kAppTitle, QCoreApplication::applicationVersion()));
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  m_app.OnMainFrameClosing(*this);
  event->accept();
}

}  // namespace varnel
