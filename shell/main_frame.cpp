#include "shell/main_frame.h"

#include <QApplication>
#include <QAction>
#include <QActionGroup>
#include <QCoreApplication>
#include <QCursor>
#include <QCloseEvent>
#include <QDockWidget>
#include <QGuiApplication>
#include <QScreen>
#include <QScrollArea>
#include <QDir>
#include <QLabel>
#include <QMdiArea>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QStatusBar>
#include <ctime>
#include <vector>

#include "brush/brush_preset.h"
#include "brush/brush_tool.h"
#include "core/canvas.h"
#include "core/paint_object.h"
#include "document/document_file.h"
#include "platform/host.h"
#include "platform/program_folder.h"
#include "qtcommon/wheel_guard.h"
#include "shell/child_frame.h"
#include "shell/command_ids.h"
#include "shell/debug_console.h"
#include "shell/debug_console_panel.h"
#include "shell/brush_browser.h"
#include "shell/colour_palette_panel.h"
#include "shell/custom_brush_panel.h"
#include "shell/document_commands.h"
#include "shell/huebox_host.h"
#include "shell/layer_panel.h"
#include "shell/loupe_panel.h"
#include "shell/sharing_panel.h"
#include "shell/object_palette.h"
#include "shell/options_dialog.h"
#include "shell/tool_palette.h"
#include "shell/qt_host.h"
#include "shell/curve_option_panel.h"
#include "shell/fill_option_panel.h"
#include "shell/gradient_option_panel.h"
#include "shell/stamp_option_panel.h"
#include "shell/layer_move_panel.h"
#include "shell/text_option_panel.h"
#include "shell/selection_option_panel.h"
#include "shell/shape_option_panels.h"
#include "shell/tool_option_panels.h"
#include "shell/varnel_app.h"
#include "shell/varnel_doc.h"
#include "shell/varnel_view.h"
#include "shell/zoom_option_panel.h"
#include "tools/area_fill_tool.h"
#include "tools/eraser_tool.h"
#include "tools/eyedropper_tool.h"
#include "tools/layer_move_tool.h"
#include "tools/selection_tool.h"
#include "tools/stamp_tool.h"
#include "tools/shape_tools.h"
#include "tools/text_tool.h"

namespace varnel {

CMainFrame::CMainFrame(CVarnelApp& app)
    : m_app(app),
      m_mdi(new QMdiArea(this)),
      m_statusText(new QLabel(this)),
      m_pointerStatus(new QLabel(this)),
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
  m_pointerStatus->setObjectName("PointerStatus");
  // Wide enough for a long reading, so the pane does not jump as the pointer moves.
  m_pointerStatus->setMinimumWidth(m_pointerStatus->fontMetrics().horizontalAdvance("X: 00000  Y: 00000  R: 255 G: 255 B: 255"));
  statusBar()->addWidget(m_statusText, 1);
  statusBar()->addPermanentWidget(m_pointerStatus);
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

// A menu list's item: numbers 1 to 9 are the items' keys.
QString NumberedItem(int number, const QString& text) {
  return (number <= 9 ? QString("&%1 ") : QString("%1 ")).arg(number) + text;
}

}  // namespace

void CMainFrame::CreatePanels() {
  Profile& profile = m_app.GetProfile();
  m_toolPalette = new ToolPalette(profile);
  m_toolOptions = new ToolOptionWindow(profile);
  m_layerPanel = new LayerPanel;
  GuardWheelOfControls(m_layerPanel);
  QDockWidget* paletteDock = Dock(this, kToolPaletteTitle, "ToolPaletteDock", m_toolPalette, Qt::LeftDockWidgetArea);
  QDockWidget* optionDock = Dock(this, kToolOptionTitle, "ToolOptionDock", m_toolOptions, Qt::RightDockWidgetArea);
  QDockWidget* layerDock = Dock(this, "レイヤ", "LayerDock", m_layerPanel, Qt::RightDockWidgetArea);
  // The picture gets the room: a narrow palette on the left, options over layers on the right.
  splitDockWidget(optionDock, layerDock, Qt::Vertical);
  resizeDocks({paletteDock, optionDock}, {96, m_toolOptions->sizeHint().width() + 24}, Qt::Horizontal);
  m_brushBrowser = new BrushBrowser(profile, this);
  m_brushBrowser->Mirror(m_brushMenu);
  m_brushBrowser->SetRebuild([this] { RebuildBrushKindMenu(); });
  ShowBrushKindInBrowser();

  // The colour palette below the layers; shown at start-up only when it was open at the end.
  m_colourPalette = new ColourPalettePanel(profile);
  QDockWidget* colourDock =
      Dock(this, kColourPaletteTitle, "ColourPaletteDock", m_colourPalette, Qt::RightDockWidgetArea);
  splitDockWidget(layerDock, colourDock, Qt::Vertical);
  colourDock->setVisible(ColourPalettePanel::WasVisible(profile));
  m_colourPalette->currentColour = [this] { return m_toolPalette->Foreground(); };
  connect(m_colourPalette, &ColourPalettePanel::foregroundPicked, m_toolPalette, &ToolPalette::SetForeground);
  connect(m_colourPalette, &ColourPalettePanel::backgroundPicked, m_toolPalette, &ToolPalette::SetBackground);
  connect(m_toolPalette, &ToolPalette::coloursChanged, m_colourPalette,
          [this, last = m_toolPalette->Foreground()]() mutable {
            // Only a new foreground colour goes into the history.
            if (m_toolPalette->Foreground() == last) return;
            last = m_toolPalette->Foreground();
            m_colourPalette->AddToHistory(last);
          });
  // A floating palette keeps its place (PALETTEXPOS/YPOS) and comes back there.
  connect(colourDock, &QDockWidget::visibilityChanged, this, [this, colourDock](bool visible) {
    if (!visible && colourDock->isFloating()) ColourPalettePanel::StorePosition(m_app.GetProfile(), colourDock->pos());
  });
  connect(colourDock, &QDockWidget::topLevelChanged, this, [this, colourDock](bool floating) {
    if (!floating || QGuiApplication::mouseButtons() != Qt::NoButton) return;
    if (auto at = ColourPalettePanel::StoredPosition(m_app.GetProfile(), screen()->availableGeometry()))
      colourDock->move(*at);
  });

  // The panels can be shown again from the view menu once closed.
  m_panelMenu->addSeparator();
  for (QDockWidget* dock : {paletteDock, optionDock, layerDock, colourDock})
    m_panelMenu->addAction(dock->toggleViewAction());
  QAction* browser = m_panelMenu->addAction("ブラシブラウザ");
  browser->setCheckable(true);
  connect(browser, &QAction::toggled, m_brushBrowser, &QWidget::setVisible);
  connect(m_panelMenu, &QMenu::aboutToShow, this, [this, browser] { browser->setChecked(m_brushBrowser->isVisible()); });
  if (BrushBrowser::WasVisible(profile)) m_brushBrowser->show();
  m_objectPalette = new ObjectPalette(*m_commands, profile, ProgramPath("Object"), this);
  QAction* objects = m_panelMenu->addAction(QString::fromUtf8(kObjectPaletteTitle));
  objects->setCheckable(true);
  connect(objects, &QAction::toggled, m_objectPalette, &QWidget::setVisible);
  connect(m_panelMenu, &QMenu::aboutToShow, this, [this, objects] { objects->setChecked(m_objectPalette->isVisible()); });
  // The loupe's component is loaded the first time the panel is shown.
  auto* loupePanel = new LoupePanel(profile, this);
  QAction* loupe = m_panelMenu->addAction(QString::fromUtf8(kLoupeTitle));
  loupe->setCheckable(true);
  connect(loupe, &QAction::toggled, loupePanel, &LoupePanel::SetShown);
  connect(m_panelMenu, &QMenu::aboutToShow, this, [loupe, loupePanel] { loupe->setChecked(loupePanel->isVisible()); });
  // Network sharing: the component is loaded the first time the panel is shown.
  SharingHooks sharing;
  sharing.activeDocument = [this]() -> CVarnelDoc* {
    CVarnelView* view = ActiveView();
    return view != nullptr ? view->GetDocument() : nullptr;
  };
  sharing.openDocument = [this](const std::string& path) { m_app.OpenDocumentFile(QString::fromStdString(path)); };
  sharing.saveToolState = [this](const std::string& path) { return m_commands->SaveToolStateTo(path); };
  sharing.loadToolState = [this](const std::string& path) { m_commands->LoadToolStateFrom(path); };
  sharing.foreground = [this] { return m_toolPalette->Foreground(); };
  sharing.setForeground = [this](ColourRef colour) { m_toolPalette->SetForeground(colour); };
  auto* sharingPanel = new SharingPanel(profile, this, std::move(sharing));
  QAction* sharingAction = m_panelMenu->addAction(QString::fromUtf8(kSharingTitle));
  sharingAction->setCheckable(true);
  connect(sharingAction, &QAction::toggled, sharingPanel, &SharingPanel::SetShown);
  connect(m_panelMenu, &QMenu::aboutToShow, this,
          [sharingAction, sharingPanel] { sharingAction->setChecked(sharingPanel->isVisible()); });

  // The custom brush panel owns the custom parameters; every change rebuilds the brush at once.
  m_customBrush = new CustomBrushPanel(ProgramPath("Brush"), this);
  ProgramBrushSettings().customPanel = m_customBrush->Params();
  m_customBrush->onChanged = [](const CustomBrushParams& params) {
    BrushToolSettings& settings = ProgramBrushSettings();
    settings.customPanel = params;
    if (settings.kind == kBrushCustom) RebuildProgramBrush();
  };
  // A new preset (or group) appears in the open browser at once, not only in the menu.
  m_customBrush->onPresetSaved = [this](const std::string&) {
    if (m_brushBrowser->isVisible()) {
      m_brushBrowser->Refresh();
    } else {
      RebuildBrushKindMenu();
    }
  };
  m_customBrush->SetColours(m_toolPalette->Foreground(), m_toolPalette->Background());
  connect(m_toolPalette, &ToolPalette::coloursChanged, this,
          [this] { m_customBrush->SetColours(m_toolPalette->Foreground(), m_toolPalette->Background()); });
  // A tool state read from a file or a peer may carry new custom parameters.
  connect(this, &CMainFrame::toolStateChanged, this, [this] {
    if (const auto& params = ProgramBrushSettings().customPanel) m_customBrush->SetParams(*params);
  });

  auto* selectionPanel = new SelectionOptionPanel;
  m_toolOptions->AddPanel(kSelectionToolSlot, selectionPanel, [selectionPanel] { selectionPanel->Refresh(); });
  auto* eraserPanel = new EraserOptionPanel;
  m_toolOptions->AddPanel(kEraserToolSlot, eraserPanel, [eraserPanel] { eraserPanel->Refresh(); });
  auto* eyedropperPanel = new EyedropperOptionPanel;
  m_toolOptions->AddPanel(kEyedropperToolSlot, eyedropperPanel, [eyedropperPanel] { eyedropperPanel->Refresh(); });
  auto* fillPanel = new AreaFillOptionPanel;
  m_toolOptions->AddPanel(kAreaFillToolSlot, fillPanel, [fillPanel] { fillPanel->Refresh(); });
  // "ユーザ定義" gradients are Huebox's patterns of res/grad.gpi.
  SetProgramGradientPatterns(HueboxGradientPattern);
  auto* gradientPanel = new GradientOptionPanel;
  m_toolOptions->AddPanel(kGradientToolSlot, gradientPanel, [gradientPanel] { gradientPanel->Refresh(); });
  auto* stampPanel = new StampOptionPanel;
  m_toolOptions->AddPanel(kStampToolSlot, stampPanel, [stampPanel] { stampPanel->Refresh(); });
  // Drawn from a panel: the view shows the picture and the tool's box again.
  const auto redrawView = [this] {
    if (CVarnelView* view = ActiveView()) {
      view->GetDocument()->UpdateAllViews();
      view->viewport()->update();
    }
  };
  // レイヤ移動's numbers follow the active layer through drags, keys, undo and other pictures.
  auto* movePanel = new LayerMovePanel;
  m_toolOptions->AddPanel(kLayerMoveToolSlot, movePanel, [movePanel] { movePanel->Refresh(); });
  connect(movePanel, &LayerMovePanel::layerMoved, this, redrawView);
  connect(this, &CMainFrame::layersChanged, movePanel, &LayerMovePanel::Refresh);
  connect(m_layerPanel, &LayerPanel::layersChanged, movePanel, &LayerMovePanel::Refresh);
  // 文字描画 has a window of its own, shown while the tool is in use in the active picture.
  auto* textWindow = new TextOptionPanel(profile, this);
  connect(textWindow, &TextOptionPanel::settingsChanged, this, redrawView);
  connect(textWindow, &TextOptionPanel::applied, this, redrawView);
  connect(this, &CMainFrame::toolStateChanged, textWindow, &TextOptionPanel::Refresh);
  connect(m_toolPalette, &ToolPalette::toolSelected, textWindow,
          [textWindow](int slot) { textWindow->SetToolInUse(slot == kTextToolSlot); });
  connect(this, &CMainFrame::activeDocumentChanged, this, [this, movePanel, textWindow] {
    CVarnelView* view = ActiveView();
    if (view != nullptr)
      connect(view->GetDocument(), &CVNDocument::pictureChanged, movePanel, &LayerMovePanel::Refresh,
              Qt::UniqueConnection);
    movePanel->Refresh();
    textWindow->SetToolInUse(view != nullptr && view->GetDocument()->GetCanvas().SelectedTool() == kTextToolSlot);
  });
  auto* curvePanel = new CurveOptionPanel;
  m_toolOptions->AddPanel(kCurveToolSlot, curvePanel, [curvePanel] { curvePanel->Refresh(); });
  // Drawn from the panel, or shown closed or with its handles: the view redraws the path too.
  connect(curvePanel, &CurveOptionPanel::curveChanged, this, [this] {
    if (CVarnelView* view = ActiveView()) {
      view->GetDocument()->UpdateAllViews();
      view->viewport()->update();
    }
  });
  auto* zoomPanel = new ZoomOptionPanel([this] { return ActiveView(); });
  m_toolOptions->AddPanel(kZoomToolSlot, zoomPanel, [zoomPanel] { zoomPanel->Refresh(); });
  connect(this, &CMainFrame::activeDocumentChanged, zoomPanel, &ZoomOptionPanel::Refresh);
  for (const bool filled : {false, true}) {
    auto* shapePanel = new ShapeOptionPanel(filled);
    m_toolOptions->AddPanel(filled ? kShapeFillToolSlot : kShapeDrawToolSlot, shapePanel,
                            [shapePanel] { shapePanel->Refresh(); });
    auto* polygonPanel = new PolygonOptionPanel(filled);
    m_toolOptions->AddPanel(filled ? kPolygonFillToolSlot : kPolygonDrawToolSlot, polygonPanel,
                            [polygonPanel] { polygonPanel->Refresh(); });
  }
  CVarnelDoc::setForeground = [this](ColourRef colour) { m_toolPalette->SetForeground(colour); };
  // Ctrl + pen-down with the brush opens the colour surface at the pointer instead of painting.
  SetProgramColourSurfaceOpener([this](int32_t, int32_t) {
    if (const auto picked = HueboxHost::Instance().OpenColourSurface(this, QCursor::pos(), m_toolPalette->Foreground()))
      m_toolPalette->SetForeground(*picked);
  });
  // Another option page hands the focus to its first field, where the tool keys would be typed
  // away: focus that was in the panel goes to the picture, where those keys are meant.
  connect(m_toolPalette, &ToolPalette::toolSelected, this, [this](int slot) {
    QWidget* focus = QApplication::focusWidget();
    const bool inPanel = focus != nullptr && m_toolOptions->isAncestorOf(focus);
    m_toolOptions->ShowToolOptions(slot);
    if (!inPanel) return;
    if (CVarnelView* view = ActiveView()) {
      view->setFocus(Qt::OtherFocusReason);
    } else if (QWidget* now = QApplication::focusWidget()) {
      now->clearFocus();
    }
  });
  // The view draws the chosen tool's rubber bands and previews: another tool, or other colours,
  // and what it shows must be drawn again.
  const auto repaintView = [this] {
    if (CVarnelView* view = ActiveView()) view->viewport()->update();
  };
  connect(m_toolPalette, &ToolPalette::toolSelected, this, repaintView);
  // The message pane speaks for the tool in hand: a ruler's measurement goes with the ruler.
  connect(m_toolPalette, &ToolPalette::toolSelected, this, [this] { SetStatusText(QString()); });
  connect(m_toolPalette, &ToolPalette::toolSelected, m_objectPalette, &ObjectPalette::ToolChanged);
  connect(this, &CMainFrame::activeDocumentChanged, m_objectPalette, &ObjectPalette::ToolChanged);
  connect(m_toolPalette, &ToolPalette::coloursChanged, this, repaintView);
  connect(m_layerPanel, &LayerPanel::commandRequested, this, &CMainFrame::RunCommand);
  connect(m_layerPanel, &LayerPanel::layersChanged, this, &CMainFrame::UpdateCommandStates);
  connect(this, &CMainFrame::layersChanged, m_layerPanel, &LayerPanel::Refresh);
  connect(this, &CMainFrame::toolStateChanged, m_toolOptions, &ToolOptionWindow::Refresh);
  connect(m_commands, &DocumentCommands::brushStateLoaded, m_toolOptions, &ToolOptionWindow::ForgetBrushName);
  connect(m_commands, &DocumentCommands::brushStateLoaded, this, &CMainFrame::ShowBrushKindInBrowser);
  connect(this, &CMainFrame::activeDocumentChanged, this, &CMainFrame::OnActiveDocumentChanged);

  m_commands->selectedLayers = [this] { return m_layerPanel->SelectedIndices(); };
  m_commands->selectedMask = [this]() -> int32_t {
    const CVarnelView* view = ActiveView();
    if (view == nullptr || view->GetDocument() == nullptr) return -1;
    return m_layerPanel->SelectedMask(view->GetDocument()->GetCanvas().ActiveIndex());
  };
  m_commands->foregroundColour = [this] { return m_toolPalette->Foreground(); };
  m_commands->selectTool = [this](int32_t slot) { m_toolPalette->SelectTool(slot); };
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

QAction* CMainFrame::AddCommand(QMenu* menu, const CommandRow& row) {
  // Labels keep the program's "text\tshortcut" form; the part after the tab is the shortcut.
  const QString label = QString::fromUtf8(row.label);
  QAction* action = menu->addAction(label.section('\t', 0, 0));
  action->setData(row.id);
  if (const std::string keys = LabelShortcut(row.label); !keys.empty())
    action->setShortcut(QKeySequence(QString::fromStdString(keys)));
  if (*row.keys != '\0') action->setShortcut(QKeySequence(QString::fromUtf8(row.keys)));
  if (*row.tip != '\0') action->setToolTip(QString::fromUtf8(row.tip));
  action->setCheckable(row.checked != nullptr);
  if (row.IsComing()) {
    action->setEnabled(false);
    m_coming.insert(row.id);
  }
  const int id = row.id;
  connect(action, &QAction::triggered, this, [this, id] { RunCommand(id); });
  m_actions[id] = action;
  return action;
}

QAction* CMainFrame::Command(int id) const {
  const auto it = m_actions.find(id);
  return it == m_actions.end() ? nullptr : it->second;
}

void CMainFrame::RunCommand(int id) {
  const CommandRow* row = FindCommand(id);
  if (row == nullptr || row->run == nullptr) return;
  if (row->enabled == nullptr || row->enabled(*m_context, id)) row->run(*m_context, id);
  UpdateCommandStates();
}

void CMainFrame::UpdateCommandStates() {
  for (const auto& [id, action] : m_actions) {
    const CommandRow* row = FindCommand(id);
    if (row == nullptr || row->IsComing()) continue;
    action->setEnabled(row->enabled == nullptr || row->enabled(*m_context, id));
    if (row->checked != nullptr) action->setChecked(row->checked(*m_context, id));
  }
}

void CMainFrame::CreateMenus() {
  m_commands = new DocumentCommands(m_app, this, [this] { return ActiveView(); });
  m_context = std::make_unique<CommandContext>(CommandContext{m_app, *this, *m_commands});
  std::vector<QMenu*> open;
  std::map<int, QActionGroup*> groups;
  for (const CommandRow& row : CommandTable()) {
    switch (row.kind) {
      case CommandRow::Kind::kMenu: {
        const QString title = QString::fromUtf8(row.label);
        QMenu* menu = open.empty() ? menuBar()->addMenu(title) : open.back()->addMenu(title);
        if (*row.objectName != '\0') menu->setObjectName(row.objectName);
        // Enable and check marks follow the active picture whenever a menu opens.
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandStates);
        open.push_back(menu);
        break;
      }
      case CommandRow::Kind::kEnd:
        open.pop_back();
        break;
      case CommandRow::Kind::kSeparator:
        open.back()->addSeparator();
        break;
      case CommandRow::Kind::kPlace:
        FillPlace(open.back(), static_cast<MenuPlace>(row.id));
        break;
      case CommandRow::Kind::kCommand: {
        QAction* action = AddCommand(open.back(), row);
        if (row.group != 0) {
          QActionGroup*& group = groups[row.group];
          if (group == nullptr) group = new QActionGroup(this);
          group->addAction(action);
        }
        break;
      }
    }
  }
  m_panelMenu = menuBar()->findChild<QMenu*>("ViewMenu");
  connect(m_mdi, &QMdiArea::subWindowActivated, this, [this] {
    UpdateCommandStates();
    emit activeDocumentChanged();
  });
  connect(m_commands, &DocumentCommands::layersChanged, this, &CMainFrame::layersChanged);
  connect(m_commands, &DocumentCommands::toolStateChanged, this, &CMainFrame::toolStateChanged);
  UpdateCommandStates();
  UpdateRecentFileMenu();
}

void CMainFrame::FillPlace(QMenu* menu, MenuPlace place) {
  switch (place) {
    case MenuPlace::kRecentFiles:
      m_recentMenu = menu->addMenu("最近使ったファイル(&F)");
      m_recentMenu->setObjectName("RecentFileMenu");
      break;
    case MenuPlace::kBrushKinds:
      m_brushMenu = menu->addMenu("ブラシの種類");
      m_brushMenu->setObjectName("BrushKindMenu");
      connect(m_brushMenu, &QMenu::aboutToShow, this, &CMainFrame::RebuildBrushKindMenu);
      RebuildBrushKindMenu();
      break;
    case MenuPlace::kConsoleToggle: {
      QAction* consoleToggle = m_debugPanel->toggleViewAction();
      consoleToggle->setText("デバッグコンソール(&D)");
      menu->addAction(consoleToggle);
      break;
    }
    case MenuPlace::kWindowList:
      m_windowMenu = menu;
      connect(menu, &QMenu::aboutToShow, this, &CMainFrame::RebuildWindowList);
      break;
    case MenuPlace::kMessageLevels:
      m_levelMenu = menu->addMenu("メッセージレベル");
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
      break;
  }
}

void CMainFrame::RebuildWindowList() {
  for (QAction* action : m_windowList) {
    m_windowMenu->removeAction(action);
    action->deleteLater();
  }
  m_windowList.clear();
  const QList<QMdiSubWindow*> windows = m_mdi->subWindowList();
  if (windows.isEmpty()) return;
  m_windowList.push_back(m_windowMenu->addSeparator());
  int number = 0;
  for (QMdiSubWindow* window : windows) {
    QAction* action = m_windowMenu->addAction(NumberedItem(++number, window->windowTitle()));
    action->setCheckable(true);
    action->setChecked(window == m_mdi->activeSubWindow());
    connect(action, &QAction::triggered, this, [this, window = QPointer<QMdiSubWindow>(window)] {
      if (window) m_mdi->setActiveSubWindow(window);
    });
    m_windowList.push_back(action);
  }
}

void CMainFrame::UpdateRecentFileMenu() {
  m_recentMenu->clear();
  const auto& entries = m_app.RecentFiles().Entries();
  int index = 0;
  for (const std::string& path : entries) {
    const QString qpath = QString::fromStdString(path);
    QAction* action = m_recentMenu->addAction(NumberedItem(index + 1, QDir::toNativeSeparators(qpath)));
    action->setData(cmd::kFileMruFile1 + index);
    // As the framework's list does: an entry that no longer opens leaves the list.
    connect(action, &QAction::triggered, this, [this, qpath] {
      if (m_app.OpenDocumentFile(qpath) != nullptr) return;
      m_app.RecentFiles().Remove(qpath.toStdString());
      m_app.RecentFiles().Save(m_app.GetProfile());
      UpdateRecentFileMenu();
    });
    ++index;
  }
  m_recentMenu->setEnabled(!entries.empty());
}

void CMainFrame::SyncMessageLevel(int level) {
  for (QAction* action : m_levelGroup->actions()) action->setChecked(action->data().toInt() == level);
}

std::vector<CChildFrame*> CMainFrame::ChildFrames() const {
  std::vector<CChildFrame*> frames;
  for (QMdiSubWindow* window : m_mdi->subWindowList())
    if (auto* frame = qobject_cast<CChildFrame*>(window)) frames.push_back(frame);
  return frames;
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

void CMainFrame::SetPointerStatus(const QString& text) { m_pointerStatus->setText(text); }

QString CMainFrame::PointerStatus() const { return m_pointerStatus->text(); }

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
  if (CVarnelView* view = ActiveView()) view->ToggleFitToWindow();
}

void CMainFrame::OnViewStatusBar() { statusBar()->setVisible(statusBar()->isHidden()); }

bool CMainFrame::IsStatusBarShown() const { return !statusBar()->isHidden(); }

void CMainFrame::OnWindowCascade() { m_mdi->cascadeSubWindows(); }

void CMainFrame::OnWindowTile() { m_mdi->tileSubWindows(); }

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

// The labels keep the shipped step; the options dialog's ブラシ page sets the one used.
void CMainFrame::OnBrushSizeUp() { StepBrushSize(BrushSizeStep(m_app.GetProfile())); }

void CMainFrame::OnBrushSizeDown() { StepBrushSize(-BrushSizeStep(m_app.GetProfile())); }

void CMainFrame::RebuildBrushKindMenu() {
  m_brushMenu->clear();
  auto addKind = [this](QMenu* menu, int32_t kind) {
    QAction* action = menu->addAction(QString::fromUtf8(BrushKindLabel(kind)));
    const int id = kBrushKindCommandBase + kind;
    action->setData(id);
    action->setToolTip(QString::fromUtf8(BrushKindTooltip(kind)));
    if (const char* prompt = BrushKindPrompt(kind)) action->setStatusTip(QString::fromUtf8(prompt));
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
    // The current custom brush is set up in its panel.
    if (settings.kind == kBrushCustom && m_customBrush != nullptr) OnCustomBrushPanel();
  } else {
    const PresetMenu model = PresetMenu::Build(settings.presetsFolder);
    CustomBrushParams params = settings.customPanel.value_or(CustomBrushParams{});
    const auto title = SelectPreset(model, id, settings, params);
    if (!title) return;
    settings.customPanel = params;
    if (m_customBrush != nullptr) m_customBrush->SetParams(params);
    name = QString::fromStdString(*title);
  }
  RebuildProgramBrush();
  if (m_brushBrowser != nullptr) m_brushBrowser->SetCurrent(id, name);
  if (m_toolOptions != nullptr) {
    m_toolOptions->SetBrushName(name);
    m_toolOptions->Refresh();
  }
}

void CMainFrame::ShowBrushKindInBrowser() {
  const int32_t kind = ProgramBrushSettings().kind;
  m_brushBrowser->SetCurrent(kBrushKindCommandBase + kind, QString::fromUtf8(BrushKindLabel(kind)));
}

void CMainFrame::OnCustomBrushPanel() {
  m_customBrush->show();
  m_customBrush->raise();
  m_customBrush->activateWindow();
}

void CMainFrame::OnAppExit() { close(); }

void CMainFrame::OnAppAbout() {
  QMessageBox::about(this, "バージョン情報", QString("%1 %2").arg(kAppTitle, QCoreApplication::applicationVersion()));
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  // Every modified picture asks before any window closes, and a Cancel keeps them all open: the
  // painter who cancels quitting finds the pictures as they were.
  const std::vector<CChildFrame*> frames = ChildFrames();
  for (CChildFrame* frame : frames) {
    if (!frame->SaveModified()) {
      event->ignore();
      return;
    }
  }
  for (CChildFrame* frame : frames) frame->CloseAnswered();
  m_mdi->closeAllSubWindows();
  if (!m_mdi->subWindowList().isEmpty()) {
    event->ignore();
    return;
  }
  if (auto* colourDock = findChild<QDockWidget*>("ColourPaletteDock"); colourDock && colourDock->isFloating())
    ColourPalettePanel::StorePosition(m_app.GetProfile(), colourDock->pos());
  m_app.OnMainFrameClosing(*this);
  event->accept();
}

}  // namespace varnel
