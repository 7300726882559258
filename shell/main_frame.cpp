#include "shell/main_frame.h"

#include <QAction>
#include <QActionGroup>
#include <QCoreApplication>
#include <QCloseEvent>
#include <QDockWidget>
#include <QScrollArea>
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
#include "core/canvas.h"
#include "core/paint_object.h"
#include "document/document_file.h"
#include "platform/host.h"
#include "shell/child_frame.h"
#include "shell/command_ids.h"
#include "shell/debug_console.h"
#include "shell/debug_console_panel.h"
#include "shell/brush_browser.h"
#include "shell/document_commands.h"
#include "shell/layer_panel.h"
#include "shell/tool_palette.h"
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
  CreatePanels();
}

namespace {

QDockWidget* Dock(QMainWindow* window, const QString& title, const char* name, QWidget* content,
                  Qt::DockWidgetArea area) {
  auto* dock = new QDockWidget(title, window);
  dock->setObjectName(name);
  // Panels scroll rather than force the main window beyond the size the user gave it.
  auto* scroller = new QScrollArea(dock);
  scroller->setWidgetResizable(true);
  scroller->setFrameShape(QFrame::NoFrame);
  scroller->setWidget(content);
  dock->setWidget(scroller);
  window->addDockWidget(area, dock);
  return dock;
}

}  // namespace

void CMainFrame::CreatePanels() {
  Profile& profile = m_app.GetProfile();
  m_toolPalette = new ToolPalette(profile);
  m_toolOptions = new ToolOptionWindow(profile);
  m_layerPanel = new LayerPanel;
  QDockWidget* paletteDock = Dock(this, kToolPaletteTitle, "ToolPaletteDock", m_toolPalette, Qt::LeftDockWidgetArea);
  QDockWidget* optionDock = Dock(this, kToolOptionTitle, "ToolOptionDock", m_toolOptions, Qt::RightDockWidgetArea);
  QDockWidget* layerDock = Dock(this, "レイヤ", "LayerDock", m_layerPanel, Qt::RightDockWidgetArea);
  // The picture gets the room: a narrow palette on the left, options over layers on the right.
  splitDockWidget(optionDock, layerDock, Qt::Vertical);
  resizeDocks({paletteDock, optionDock}, {96, m_toolOptions->sizeHint().width() + 24}, Qt::Horizontal);
  m_brushBrowser = new BrushBrowser(profile, this);
  m_brushBrowser->Mirror(m_brushMenu);
  m_brushBrowser->SetRebuild([this] { RebuildBrushKindMenu(); });

  // The panels can be shown again from the view menu once closed.
  m_panelMenu->addSeparator();
  for (QDockWidget* dock : {paletteDock, optionDock, layerDock}) m_panelMenu->addAction(dock->toggleViewAction());
  QAction* browser = m_panelMenu->addAction("ブラシブラウザ");
  browser->setCheckable(true);
  connect(browser, &QAction::toggled, m_brushBrowser, &QWidget::setVisible);
  connect(m_panelMenu, &QMenu::aboutToShow, this, [this, browser] { browser->setChecked(m_brushBrowser->isVisible()); });
  if (BrushBrowser::WasVisible(profile)) m_brushBrowser->show();

  connect(m_toolPalette, &ToolPalette::toolSelected, m_toolOptions, &ToolOptionWindow::ShowToolOptions);
  connect(m_toolPalette, &ToolPalette::coloursChanged, this, [this] {
    if (CVarnelView* view = ActiveView()) view->viewport()->update();
  });
  connect(m_layerPanel, &LayerPanel::commandRequested, this, &CMainFrame::RunCommand);
  connect(m_layerPanel, &LayerPanel::layersChanged, this, &CMainFrame::UpdateCommandStates);
  connect(this, &CMainFrame::layersChanged, m_layerPanel, &LayerPanel::Refresh);
  connect(this, &CMainFrame::toolStateChanged, m_toolOptions, &ToolOptionWindow::Refresh);
  connect(this, &CMainFrame::activeDocumentChanged, this, &CMainFrame::OnActiveDocumentChanged);

  m_commands->selectedLayers = [this] { return m_layerPanel->SelectedIndices(); };
  m_commands->selectedMask = [this]() -> int32_t {
    const CVarnelView* view = ActiveView();
    if (view == nullptr || view->GetDocument() == nullptr) return -1;
    return m_layerPanel->SelectedMask(view->GetDocument()->GetCanvas().ActiveIndex());
  };
  m_commands->foregroundColour = [this] { return m_toolPalette->Foreground(); };
}

void CMainFrame::OnActiveDocumentChanged() {
  CVarnelView* view = ActiveView();
  CVarnelDoc* doc = view ? view->GetDocument() : nullptr;
  Canvas* canvas = doc ? &doc->GetCanvas() : nullptr;
  m_layerPanel->SetDocument(doc);
  m_toolPalette->SetCanvas(canvas);
  m_toolOptions->SetCanvas(canvas);
}

CMainFrame::~CMainFrame() {
  // The document windows go after this object's members; their last activation signals must
  // not reach it.
  disconnect(m_mdi, nullptr, this, nullptr);
}

QAction* CMainFrame::AddCommand(QMenu* menu, int id, const QString& label, void (CMainFrame::*slot)()) {
  // Labels keep the program's "text\tshortcut" form; the part after the tab is the shortcut.
  const QStringList parts = label.split('\t');
  QAction* action = menu->addAction(parts.front());
  action->setData(id);
  if (parts.size() > 1) {
    QString keys = parts[1];
    keys.replace("↑", "Up").replace("↓", "Down").remove(' ');
    action->setShortcut(QKeySequence(keys));
  }
  if (slot) connect(action, &QAction::triggered, this, slot);
  m_actions[id] = action;
  return action;
}

QAction* CMainFrame::AddDocumentCommand(QMenu* menu, int id, const QString& label) {
  QAction* action = AddCommand(menu, id, label, nullptr);
  connect(action, &QAction::triggered, this, [this, id] { RunCommand(id); });
  return action;
}

QAction* CMainFrame::AddComingCommand(QMenu* menu, int id, const QString& label) {
  // Present so the menus keep their shape; the work behind them has not arrived yet.
  QAction* action = AddCommand(menu, id, label, nullptr);
  action->setEnabled(false);
  m_coming.insert(id);
  return action;
}

QAction* CMainFrame::Command(int id) const {
  const auto it = m_actions.find(id);
  return it == m_actions.end() ? nullptr : it->second;
}

void CMainFrame::RunCommand(int id) {
  if (m_coming.contains(id)) return;
  m_commands->Run(id);
  UpdateCommandStates();
}

void CMainFrame::UpdateCommandStates() {
  for (const auto& [id, action] : m_actions) {
    if (m_coming.contains(id) || !m_documentCommands.contains(id)) continue;
    action->setEnabled(m_commands->IsEnabled(id));
    if (action->isCheckable()) action->setChecked(m_commands->IsChecked(id));
  }
}

void CMainFrame::CreateMenus() {
  m_commands = new DocumentCommands(m_app, this, [this] { return ActiveView(); });
  QMenuBar* bar = menuBar();
  auto doc = [this](QMenu* menu, int id, const char* label) {
    m_documentCommands.insert(id);
    return AddDocumentCommand(menu, id, QString::fromUtf8(label));
  };
  auto coming = [this](QMenu* menu, int id, const char* label) {
    return AddComingCommand(menu, id, QString::fromUtf8(label));
  };

  QMenu* file = bar->addMenu("ファイル(&F)");
  file->setObjectName("FileMenu");
  AddCommand(file, cmd::kFileNew, "新規作成(&N)\tCtrl+N", &CMainFrame::OnFileNew);
  doc(file, cmd::kFileOpen, "開く(&O)...\tCtrl+O");
  AddCommand(file, cmd::kFileClose, "閉じる(&C)", &CMainFrame::OnFileClose);
  doc(file, cmd::kFileSave, "上書き保存(&S)\tCtrl+S");
  doc(file, cmd::kFileSaveAs, "名前を付けて保存(&A)...");
  doc(file, cmd::kQuickSave, "クイックセーブ(&Q)\tCtrl+W");
  doc(file, cmd::kEmptyQuickSaveFolder, "クイックセーブディレクトリを空にする(&Q)");
  file->addSeparator();
  doc(file, cmd::kLoadLayers, "レイヤ読み込み(&L)");
  doc(file, cmd::kSaveActiveLayer, "アクティブなレイヤを保存(&S)");
  doc(file, cmd::kSave256Colours, "256色で保存");
  file->addSeparator();
  doc(file, cmd::kSaveToolState, "ツール状態の保存(&T)");
  doc(file, cmd::kLoadToolState, "ツール状態の読み込み(&N)");
  file->addSeparator();
  m_recentMenu = file->addMenu("最近使ったファイル(&F)");
  m_recentMenu->setObjectName("RecentFileMenu");
  file->addSeparator();
  AddCommand(file, cmd::kAppExit, "アプリケーションの終了(&X)", &CMainFrame::OnAppExit);

  QMenu* edit = bar->addMenu("編集(&E)");
  edit->setObjectName("EditMenu");
  doc(edit, cmd::kEditUndo, "アンドゥ(&U)\tCtrl+Z");
  doc(edit, cmd::kEditRedo, "リドゥ(&R)\tCtrl+R");
  doc(edit, cmd::kClearUndoBuffer, "アンドゥバッファを空にする(&E)");
  edit->addSeparator();
  doc(edit, cmd::kEditCut, "切り取り(&T)\tCtrl+X");
  doc(edit, cmd::kEditCopy, "ｺﾋﾟｰ(&C)\tCtrl+C");
  doc(edit, cmd::kCopyAsBitmap, "ビットマップとしてコピー(&B)");
  doc(edit, cmd::kCopyDisplaySurface, "表示サーフェイスのコピー(&S)");
  // The label carries no shortcut, but a painter reaches for Ctrl+V.
  doc(edit, cmd::kPasteAsLayer, "レイヤとして追加(&L)")->setShortcut(QKeySequence("Ctrl+V"));

  QMenu* region = bar->addMenu("領域(&R)");
  region->setObjectName("RegionMenu");
  doc(region, cmd::kSelectAll, "全体を選択(&A)\tCtrl+A");
  doc(region, cmd::kSelectNone, "選択を解除(&E)\tCtrl+Q");
  doc(region, cmd::kInvertSelection, "選択の反転(&R)");
  region->addSeparator();
  doc(region, cmd::kSelectionToLayer, "選択範囲をレイヤ化(&B)");
  doc(region, cmd::kAlphaToRegion, "アルファチャンネルを領域に変換(&S)");
  doc(region, cmd::kRegionToAlpha, "領域->アルファチャンネル変換");
  region->addSeparator();
  doc(region, cmd::kGrowSelection, "選択領域の膨張(&O)");
  doc(region, cmd::kShrinkSelection, "選択領域の収縮(&X)");
  doc(region, cmd::kFeatherSelection, "選択領域をぼかす(&G)");
  region->addSeparator();
  doc(region, cmd::kSaveSelection, "選択領域の保存(&W)");
  doc(region, cmd::kLoadSelection, "選択領域の読み込み(&L)");
  doc(region, cmd::kFillSelection, "選択領域を塗りつぶし(&F)");
  region->addSeparator();
  QMenu* outside = region->addMenu("領域外表示");
  outside->setObjectName("RegionViewMenu");
  auto* outsideGroup = new QActionGroup(this);
  const char* outsideLabels[7] = {"なし", "反転表示", "黒", "チェック", "白", "暗く", "明るく"};
  for (int mode = 0; mode < 7; ++mode) {
    QAction* action = doc(outside, kRegionViewCommands[mode], outsideLabels[mode]);
    action->setCheckable(true);
    outsideGroup->addAction(action);
  }

  QMenu* image = bar->addMenu("画像(&I)");
  image->setObjectName("ImageMenu");
  coming(image, cmd::kRotateFree, "画像の任意回転(&R)");
  coming(image, cmd::kRotateToLine, "直線にあわせて回転(&P)");
  QMenu* resize = image->addMenu("画像サイズの変更");
  coming(resize, cmd::kResizeActiveLayer, "アクティブなレイヤのみに適用");
  coming(resize, cmd::kResizeAllLayers, "すべてのレイヤに適用");
  QMenu* turn = image->addMenu("回転・反転");
  coming(turn, cmd::kTurnRight, "右90度回転");
  coming(turn, cmd::kTurnLeft, "左90度回転");
  coming(turn, cmd::kFlipVertical, "上下反転");
  coming(turn, cmd::kFlipHorizontal, "左右反転");
  image->addSeparator();
  doc(image, cmd::kCanvasSize, "キャンバスのサイズ変更(&C)");
  doc(image, cmd::kAddMargin, "余白追加(&M)");
  image->addSeparator();
  coming(image, cmd::kColourCurves, "色調補正(&C)");
  coming(image, cmd::kBrightnessContrast, "明度・コントラスト調整(&V)");
  coming(image, cmd::kToneBalance, "トーンバランス(&T)");
  coming(image, cmd::kRgbaAdjust, "RGBA値操作(&R)");
  coming(image, cmd::kFilterBatch, "フィルタバッチ処理");
  coming(image, cmd::kScript, "Script(&S)");
  image->addSeparator();
  QMenu* channel = image->addMenu("チャンネル");
  channel->setObjectName("ChannelMenu");
  // The channel-to-layer commands have tool tips but no labels of their own; the menu shows
  // the tips.
  const char* toLayerTips[4] = {"赤色のみをレイヤ化", "緑色のみをレイヤ化", "青色のみをレイヤ化", "アルファチャンネルをレイヤ化"};
  for (int c = 0; c < 4; ++c) doc(channel, cmd::kRedToLayer + c, toLayerTips[c])->setToolTip(QString::fromUtf8(toLayerTips[c]));
  QMenu* clear = channel->addMenu("削除");
  const char* clearLabels[4] = {"赤", "緑", "青", "アルファ(不透明度)"};
  for (int c = 0; c < 4; ++c) doc(clear, cmd::kClearRed + c, clearLabels[c]);
  QMenu* invert = channel->addMenu("反転");
  doc(invert, cmd::kInvertRed, "赤");
  doc(invert, cmd::kInvertGreen, "緑");
  doc(invert, cmd::kInvertBlue, "青");
  doc(invert, cmd::kInvertAlpha, "アルファ");
  doc(channel, cmd::kUnifyAlpha, "アルファチャンネルの統一(&A)");
  image->addSeparator();
  doc(image, cmd::kPictureInfo, "画像情報(&I)");
  doc(image, cmd::kPictureStatistics, "画像統計情報");
  doc(image, cmd::kExtractPalette, "パレット抽出(&P)");

  QMenu* layer = bar->addMenu("レイヤ(&L)");
  layer->setObjectName("LayerMenu");
  doc(layer, cmd::kNewLayer, "新規レイヤ(&N)\tCtrl+L");
  doc(layer, cmd::kDuplicateLayer, "アクティブレイヤの複製(&P)");
  doc(layer, cmd::kDeleteLayer, "レイヤの削除&D)");
  doc(layer, cmd::kLayerUp, "アクティブレイヤを上へ(&U)\tShift + ↑");
  doc(layer, cmd::kLayerDown, "アクティブレイヤを下へ(&D)\tShift + ↓");
  layer->addSeparator();
  doc(layer, cmd::kMergeDown, "下のレイヤと結合");
  doc(layer, cmd::kMergeWithBase, "ベースレイヤと結合");
  doc(layer, cmd::kMergeIntoNewDocument, "新規ドキュメントとして結合");
  doc(layer, cmd::kMergeAll, "すべてのレイヤを結合(&M)");
  layer->addSeparator();
  auto* modeGroup = new QActionGroup(this);
  QAction* pixels = doc(layer, cmd::kImageEditMode, "画像編集モード(&G)");
  QAction* masks = doc(layer, cmd::kMaskEditMode, "マスク編集モード(&M)");
  for (QAction* action : {pixels, masks}) {
    action->setCheckable(true);
    modeGroup->addAction(action);
  }
  doc(layer, cmd::kSelectionToMask, "領域をレイヤマスクに追加(&A)");
  layer->addSeparator();
  doc(layer, cmd::kCloneSource, "アクティブレイヤをクローンソースに(&A)");

  QMenu* tools = bar->addMenu("ツール(&T)");
  tools->setObjectName("ToolMenu");
  m_brushMenu = tools->addMenu("ブラシの種類");
  m_brushMenu->setObjectName("BrushKindMenu");
  connect(m_brushMenu, &QMenu::aboutToShow, this, &CMainFrame::RebuildBrushKindMenu);
  RebuildBrushKindMenu();
  AddCommand(tools, cmd::kBrushSizeUp, "ブラシサイズ+4", &CMainFrame::OnBrushSizeUp)->setShortcut(QKeySequence("]"));
  AddCommand(tools, cmd::kBrushSizeDown, "ブラシサイズ-4", &CMainFrame::OnBrushSizeDown)->setShortcut(QKeySequence("["));

  QMenu* view = bar->addMenu("表示(&V)");
  view->setObjectName("ViewMenu");
  AddCommand(view, cmd::kFitToWindow, "ウインドウの大きさに一致", &CMainFrame::OnFitToWindow)->setCheckable(true);
  AddCommand(view, cmd::kScrollUp, "上へスクロール\tCtrl+Up", &CMainFrame::OnScrollUp);
  AddCommand(view, cmd::kScrollDown, "下へスクロール\tCtrl+Down", &CMainFrame::OnScrollDown);
  AddCommand(view, cmd::kScrollLeft, "左へスクロール\tCtrl+Left", &CMainFrame::OnScrollLeft);
  AddCommand(view, cmd::kScrollRight, "右へスクロール\tCtrl+Right", &CMainFrame::OnScrollRight);
  view->addSeparator();
  m_panelMenu = view;
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

  // Enable and check marks follow the active picture whenever a menu opens or the window changes.
  for (QMenu* menu : {file, edit, region, image, layer, outside, channel})
    connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandStates);
  connect(m_mdi, &QMdiArea::subWindowActivated, this, [this] {
    UpdateCommandStates();
    emit activeDocumentChanged();
  });
  connect(m_commands, &DocumentCommands::layersChanged, this, &CMainFrame::layersChanged);
  connect(m_commands, &DocumentCommands::toolStateChanged, this, &CMainFrame::toolStateChanged);
  UpdateCommandStates();
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

void CMainFrame::SetStatusText(const QString& text) {
  m_statusText->setText(text);
  // The work the gauge showed is over once its text goes.
  if (text.isEmpty()) m_gauge->hide();
}

void CMainFrame::SetProgress(int percent) {
  // Readers rest the gauge at 0 after clearing their text: nothing is running then.
  if (percent < 0 || (percent == 0 && m_statusText->text().isEmpty())) {
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

CVarnelView* CMainFrame::ActiveView() const {
  CChildFrame* frame = ActiveChildFrame();
  return frame ? frame->GetActiveView() : nullptr;
}

void CMainFrame::OnFitToWindow() {
  if (CVarnelView* view = ActiveView()) {
    view->ToggleFitToWindow();
    Command(cmd::kFitToWindow)->setChecked(view->IsFitToWindow());
  }
}

void CMainFrame::OnScrollUp() {
  if (CVarnelView* view = ActiveView()) view->ScrollBy(0, -CVarnelView::kScrollStep);
}

void CMainFrame::OnScrollDown() {
  if (CVarnelView* view = ActiveView()) view->ScrollBy(0, CVarnelView::kScrollStep);
}

void CMainFrame::OnScrollLeft() {
  if (CVarnelView* view = ActiveView()) view->ScrollBy(-CVarnelView::kScrollStep, 0);
}

void CMainFrame::OnScrollRight() {
  if (CVarnelView* view = ActiveView()) view->ScrollBy(CVarnelView::kScrollStep, 0);
}

void CMainFrame::OnBrushSizeUp() { StepBrushSize(4); }

void CMainFrame::OnBrushSizeDown() { StepBrushSize(-4); }

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
  QString name;
  if (id >= kBrushKindCommandBase && id < kBrushKindCommandBase + kBrushKindCount) {
    settings.kind = id - kBrushKindCommandBase;
    name = QString::fromUtf8(BrushKindLabel(settings.kind));
  } else {
    const PresetMenu model = PresetMenu::Build(settings.presetsFolder);
    CustomBrushParams params = settings.customPanel.value_or(CustomBrushParams{});
    const auto title = SelectPreset(model, id, settings, params);
    if (!title) return;
    if (settings.customPanel) *settings.customPanel = params;
    name = title->empty() ? QString("カスタムブラシ") : QString::fromStdString(*title);
  }
  RebuildProgramBrush();
  if (m_toolOptions != nullptr) {
    m_toolOptions->SetBrushName(name);
    m_toolOptions->Refresh();
  }
}

void CMainFrame::OnAppExit() { close(); }

void CMainFrame::OnAppAbout() {
  QMessageBox::about(this, "バージョン情報", QString("%1 %2").arg(kAppTitle, QCoreApplication::applicationVersion()));
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  // Every modified picture asks first; one kept open keeps the program running.
  m_mdi->closeAllSubWindows();
  if (!m_mdi->subWindowList().isEmpty()) {
    event->ignore();
    return;
  }
  m_app.OnMainFrameClosing(*this);
  event->accept();
}

}  // namespace varnel
