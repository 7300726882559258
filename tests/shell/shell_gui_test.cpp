// The desktop program's windows, driven with real input events on the offscreen platform.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMimeData>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QUrl>
#include <QMenuBar>
#include <QPainter>
#include <QProgressBar>
#include <QScreen>
#include <QScrollBar>
#include <QWheelEvent>
#include <QTest>

#include "brush/brush_tool.h"
#include "document/layer_file.h"
#include "document/picture_commands.h"
#include "memwell/memwell.h"
#include "platform/host.h"
#include "qtcommon/selection_paste_guard.h"
#include "shell/child_frame.h"
#include "shell/debug_console_panel.h"
#include "shell/main_frame.h"
#include "shell/messages.h"
#include "shell/qt_draw_context.h"
#include "shell/varnel_app.h"
#include "shell/varnel_doc.h"
#include "shell/varnel_view.h"
#include "shell_fixture.h"
#include "tests/support/temp_folder.h"

namespace varnel {
namespace {

using test::TempFolder;


TEST_F(ShellTest, WithNoSettingsTheMainWindowTakesMostOfTheScreenWithA300By300WhiteImage) {
  CVarnelApp& app = Start();
  CMainFrame* frame = app.MainFrame();
  ASSERT_NE(frame, nullptr);
  EXPECT_TRUE(frame->isVisible());
  const QRect free = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_EQ(frame->size(), QSize(free.width() * 4 / 5, free.height() * 4 / 5));
  EXPECT_EQ(frame->pos(), QPoint(free.x() + (free.width() - free.width() * 4 / 5) / 2,
                                 free.y() + (free.height() - free.height() * 4 / 5) / 2));
  ASSERT_EQ(frame->MdiArea()->subWindowList().size(), 1);
  CChildFrame* child = frame->ActiveChildFrame();
  ASSERT_NE(child, nullptr);
  EXPECT_EQ(child->windowTitle(), "Image1");
  const ImageSurface& picture = child->GetActiveDocument()->Picture();
  ASSERT_EQ(picture.GetSize(), (Size{300, 300}));
  for (int y = 0; y < 300; y += 7)
    for (int x = 0; x < 300; x += 7) {
      uint32_t c = 0;
      ASSERT_EQ(picture.GetPixel(x, y, &c), 1);
      ASSERT_EQ(c, 0xFFFFFFFFu) << x << "," << y;
    }
}

TEST_F(ShellTest, TheViewDrawsThePictureAtMargin20On0xDCDCDC) {
  Start();
  CVarnelView* view = ActiveView();
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view->ImageOrigin(), QPoint(20, 20));
  EXPECT_EQ(ViewPixel(view, 5, 5), 0xFFDCDCDCu);
  EXPECT_EQ(ViewPixel(view, 19, 40), 0xFFDCDCDCu);
  EXPECT_EQ(ViewPixel(view, 40, 19), 0xFFDCDCDCu);
  EXPECT_EQ(ViewPixel(view, 20, 20), 0xFFFFFFFFu);
  EXPECT_EQ(ViewPixel(view, 100, 100), 0xFFFFFFFFu);
}

TEST_F(ShellTest, TheStoredMarginColourIsAColourReferenceWithRedInTheLowByte) {
  Start({{"MarginColor", 0x00FF0000}});  // blue
  EXPECT_EQ(ViewPixel(ActiveView(), 5, 5), 0xFF0000FFu);
}

TEST_F(ShellTest, ThePictureIsShownTheRightWayUpAndUpdatesWhereItChanged) {
  Start({{"NEWIMAGESIZE", PackSize(40, 30)}});
  CVarnelView* view = ActiveView();
  CVarnelDoc* doc = view->GetDocument();
  ASSERT_EQ(doc->Picture().GetSize(), (Size{40, 30}));
  // Top-left red, bottom-right green, BGRA in memory, painted on the layer and composed.
  Canvas& canvas = doc->GetCanvas();
  canvas.ActiveLayer()->SetPixel(0, 0, 0xFFFF0000u);
  canvas.ActiveLayer()->SetPixel(39, 29, 0xFF00FF00u);
  canvas.Compose(canvas.ActiveLayer()->DirtyRect());
  doc->UpdateAllViews();
  QApplication::processEvents();
  EXPECT_EQ(ViewPixel(view, 20, 20), 0xFFFF0000u);
  EXPECT_EQ(ViewPixel(view, 20 + 39, 20 + 29), 0xFF00FF00u);
  EXPECT_EQ(ViewPixel(view, 20 + 39, 20), 0xFFFFFFFFu);
  EXPECT_EQ(ViewPixel(view, 20 + 40, 20 + 29), 0xFFDCDCDCu);
  EXPECT_TRUE(doc->Picture().IsDirtyEmpty());
}

TEST_F(ShellTest, ZoomScalesThePictureAroundTheSameMargin) {
  Start({{"NEWIMAGESIZE", PackSize(10, 10)}});
  CVarnelView* view = ActiveView();
  Canvas& canvas = view->GetDocument()->GetCanvas();
  canvas.ActiveLayer()->SetPixel(1, 1, 0xFF0000FFu);
  canvas.ComposeAll();
  view->GetDocument()->UpdateAllViews();
  view->SetZoom(4.0);
  QApplication::processEvents();
  // Pixel (1,1) covers 24…27 on both axes at zoom 4.
  EXPECT_EQ(ViewPixel(view, 24, 24), 0xFF0000FFu);
  EXPECT_EQ(ViewPixel(view, 27, 27), 0xFF0000FFu);
  EXPECT_EQ(ViewPixel(view, 23, 24), 0xFFFFFFFFu);
  EXPECT_EQ(ViewPixel(view, 28, 27), 0xFFFFFFFFu);
  EXPECT_EQ(ViewPixel(view, 59, 59), 0xFFFFFFFFu);
  EXPECT_EQ(ViewPixel(view, 60, 59), 0xFFDCDCDCu);
}

TEST_F(ShellTest, NewImageSizeComesFromTheSettingAndAZeroSizeFallsBackTo300) {
  Start({{"NEWIMAGESIZE", PackSize(200, 100)}});
  EXPECT_EQ(ActiveView()->GetDocument()->Picture().GetSize(), (Size{200, 100}));
  m_app.reset();
  Start({{"NEWIMAGESIZE", 0}});
  EXPECT_EQ(ActiveView()->GetDocument()->Picture().GetSize(), (Size{300, 300}));
}

TEST_F(ShellTest, StoredPlacementIsCorrectedAgainstTheScreen) {
  const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
  Start({{"MainWindowCX", screen.width() + 500}, {"MainWindowX", screen.width() + 1}, {"MainWindowY", -40},
         {"MainWindowCY", 300}});
  CMainFrame* frame = m_app->MainFrame();
  EXPECT_EQ(frame->width(), screen.width());
  EXPECT_EQ(frame->height(), 300);
  EXPECT_EQ(frame->pos(), QPoint(screen.width() - 100, 0));
}

TEST_F(ShellTest, ClosingTheMainWindowWritesBackPlacementMaximizedAndBrushSize) {
  Start({{"BRUSHSIZE", PackSize(7, 7)}});
  CMainFrame* frame = m_app->MainFrame();
  frame->move(30, 40);
  frame->resize(500, 400);
  QApplication::processEvents();
  ASSERT_TRUE(frame->close());
  const Profile stored(m_dir.File("varnel.ini"));
  EXPECT_EQ(stored.GetInt("Settings", "MainWindowX", -1), 30);
  EXPECT_EQ(stored.GetInt("Settings", "MainWindowY", -1), 40);
  EXPECT_EQ(stored.GetInt("Settings", "MainWindowCX", -1), 500);
  EXPECT_EQ(stored.GetInt("Settings", "MainWindowCY", -1), 400);
  EXPECT_EQ(stored.GetInt("Settings", "ISMAXIMIZED", -1), 0);
  EXPECT_EQ(stored.GetInt("Settings", "BRUSHSIZE", -1), PackSize(7, 7));
}

TEST_F(ShellTest, StartingMaximizedIsRememberedAtShutdown) {
  Start({{"ISMAXIMIZED", 1}});
  EXPECT_TRUE(m_app->MainFrame()->isMaximized());
  m_app->MainFrame()->close();
  EXPECT_EQ(Profile(m_dir.File("varnel.ini")).GetInt("Settings", "ISMAXIMIZED", -1), 1);
}

TEST(QtTexts, QtsOwnButtonsAndDialogsSpeakJapanese) {
  ASSERT_TRUE(InstallQtTranslations());
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString("キャンセル"));
  EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Look in:"), QString("アドレス:"));
}

TEST_F(ShellTest, TheMenuBarHasTheTopLevelMenus) {
  Start();
  QStringList titles;
  for (QAction* a : m_app->MainFrame()->menuBar()->actions()) titles << a->text();
  EXPECT_EQ(titles, (QStringList{"ファイル(&F)", "編集(&E)", "領域(&R)", "画像(&I)", "レイヤ(&L)", "ツール(&T)",
                                 "表示(&V)", "ウィンドウ(&W)", "ヘルプ(&H)"}));
}

TEST_F(ShellTest, CtrlNOpensAnotherNewImageWindow) {
  Start();
  CMainFrame* frame = m_app->MainFrame();
  frame->activateWindow();
  QTest::keyClick(frame, Qt::Key_N, Qt::ControlModifier);
  QApplication::processEvents();
  ASSERT_EQ(frame->MdiArea()->subWindowList().size(), 2);
  EXPECT_EQ(frame->ActiveChildFrame()->windowTitle(), "Image2");
}

TEST_F(ShellTest, APictureOpenedWhileAnotherIsMaximizedFillsTheAreaAndTheWindowMenuLeadsBack) {
  Start();
  CMainFrame* frame = m_app->MainFrame();
  QMdiSubWindow* first = frame->ActiveChildFrame();
  first->showMaximized();
  QApplication::processEvents();
  m_app->OnFileNew();
  QApplication::processEvents();
  QMdiSubWindow* opened = frame->ActiveChildFrame();
  ASSERT_EQ(opened->windowTitle(), "Image2");
  EXPECT_TRUE(opened->isMaximized());
  EXPECT_EQ(opened->size(), frame->MdiArea()->viewport()->size());
  // The window menu lists both pictures, the active one checked, each time it opens.
  auto* windowMenu = frame->menuBar()->findChild<QMenu*>("WindowMenu");
  ASSERT_NE(windowMenu, nullptr);
  for (int shown = 0; shown < 2; ++shown) emit windowMenu->aboutToShow();
  QStringList listed;
  QAction* back = nullptr;
  for (QAction* action : windowMenu->actions()) {
    if (!action->isCheckable()) continue;
    listed << action->text() + (action->isChecked() ? " *" : "");
    if (action->text() == "&1 Image1") back = action;
  }
  EXPECT_EQ(listed, (QStringList{"&1 Image1", "&2 Image2 *"}));
  ASSERT_NE(back, nullptr);
  back->trigger();
  EXPECT_EQ(frame->ActiveChildFrame(), first);
}

TEST_F(ShellTest, InitialisedMessageReachesTheConsoleAtLevelFiveInItsColour) {
  Start({{"DebugLevel", 5}});
  const auto shown = m_app->Console().ShownEntries();
  ASSERT_FALSE(shown.empty());
  EXPECT_EQ(shown.back().text, kMsgInitialised);
  EXPECT_EQ(shown.back().level, 5);
  EXPECT_EQ(shown.back().colour, ColourRef{0x282828u});
  QListWidget* list = m_app->MainFrame()->DebugPanel()->List();
  ASSERT_GE(list->count(), 1);
  EXPECT_EQ(list->item(list->count() - 1)->text(), QString::fromUtf8(kMsgInitialised));
  EXPECT_EQ(list->item(list->count() - 1)->foreground().color(), QColor(0x28, 0x28, 0x28));
}

TEST_F(ShellTest, BelowLevelFiveTheMessageWaitsUntilTheMenuRaisesTheLevel) {
  Start({{"DebugLevel", 4}});
  QListWidget* list = m_app->MainFrame()->DebugPanel()->List();
  EXPECT_EQ(list->count(), 0);
  QMenu* levels = m_app->MainFrame()->MessageLevelMenu();
  levels->popup(QPoint(0, 0));
  QApplication::processEvents();
  QTest::keyClick(levels, Qt::Key_6);  // the "&6" item's mnemonic
  QApplication::processEvents();
  EXPECT_EQ(m_app->Console().Level(), 6);
  ASSERT_EQ(list->count(), 1);
  EXPECT_EQ(list->item(0)->text(), QString::fromUtf8(kMsgInitialised));
  for (QAction* a : levels->actions()) EXPECT_EQ(a->isChecked(), a->data().toInt() == 6);
}

TEST_F(ShellTest, StatusTextAndGaugeFollowTheHost) {
  Start();
  CMainFrame* frame = m_app->MainFrame();
  GetHost().SetStatusText("キャンバスを作成中");
  GetHost().SetProgress(40);
  EXPECT_EQ(frame->StatusText(), "キャンバスを作成中");
  EXPECT_EQ(frame->Progress(), 40);
  EXPECT_EQ(frame->findChild<QProgressBar*>("StatusGauge")->value(), 40);
  GetHost().SetProgress(-1);
  GetHost().SetStatusText("");
  EXPECT_EQ(frame->Progress(), -1);
  EXPECT_TRUE(frame->StatusText().isEmpty());
  // Clearing the text ends the gauge, and a gauge put back to 0 without a text stays hidden.
  GetHost().SetStatusText("BMP保存中");
  GetHost().SetProgress(50);
  GetHost().SetStatusText("");
  EXPECT_EQ(frame->Progress(), -1);
  GetHost().SetProgress(0);
  EXPECT_EQ(frame->Progress(), -1);
}

TEST_F(ShellTest, AFileThatCannotBeOpenedIsReportedAndTheProgramStartsWithoutADocument) {
  m_app = std::make_unique<CVarnelApp>(*m_profile);
  RecordingHost recorder;
  ScopedHost scoped(recorder);
  const QString missing = QString::fromStdString(m_dir.File("missing.vlb"));
  EXPECT_EQ(m_app->InitInstance({missing}), CVarnelApp::StartResult::kRunning);
  ASSERT_EQ(recorder.boxes.size(), 2u);
  EXPECT_EQ(recorder.boxes[0].text, FileOpenErrorMessage(missing.toStdString()));
  EXPECT_EQ(recorder.boxes[1].text, kMsgShellCommandFailed);
  EXPECT_TRUE(m_app->MainFrame()->isVisible());
  EXPECT_TRUE(m_app->MainFrame()->MdiArea()->subWindowList().isEmpty());
}

TEST_F(ShellTest, AnExistingFileNoReaderUnderstandsSaysThePictureCannotBeRead) {
  const std::string path = m_dir.File("noise.vlb");
  std::FILE* f = std::fopen(path.c_str(), "wb");
  std::fputs("not a picture", f);
  std::fclose(f);
  Start();
  RecordingHost recorder;
  ScopedHost scoped(recorder);
  EXPECT_EQ(m_app->OpenDocumentFile(QString::fromStdString(path)), nullptr);
  ASSERT_EQ(recorder.boxes.size(), 1u);
  EXPECT_EQ(recorder.boxes[0].text, kMsgCannotReadPicture);
  EXPECT_EQ(recorder.waitCursorDepth, 0);
  EXPECT_EQ(recorder.waitCursorMaxDepth, 1);
  EXPECT_EQ(m_app->MainFrame()->MdiArea()->subWindowList().size(), 1);
}

// A recent file that is gone is told once and leaves the list, on disk too.
TEST_F(ShellTest, ARecentFileThatNoLongerOpensLeavesTheList) {
  const std::string gone = m_dir.File("gone.vlb");
  m_profile->WriteString("Recent File List", "File1", gone);
  Start();
  RecordingHost recorder;
  ScopedHost scoped(recorder);
  auto* menu = m_app->MainFrame()->findChild<QMenu*>("RecentFileMenu");
  ASSERT_TRUE(menu != nullptr && !menu->actions().isEmpty());
  menu->actions().front()->trigger();
  EXPECT_EQ(recorder.boxes.size(), 1u);
  EXPECT_TRUE(m_app->RecentFiles().Entries().empty());
  EXPECT_TRUE(menu->actions().isEmpty());
  m_profile->Reload();
  EXPECT_FALSE(m_profile->Has("Recent File List", "File1"));
}

TEST_F(ShellTest, ALayerFileOpensWithItsLayersCanvasSizeAndGrid) {
  LayerList layers;
  for (const uint32_t colour : {0xFF0000FFu, 0x80FF0000u}) {
    auto layer = std::make_unique<Layer>();
    ASSERT_EQ(layer->Create({6, 4}), 0);
    for (int32_t y = 0; y < 4; ++y)
      for (int32_t x = 0; x < 6; ++x) layer->Row(y)[x] = colour;
    layers.push_back(std::move(layer));
  }
  layers[1]->SetName("上");
  GridSettings grid;
  grid.shown = 1;
  grid.cellWidth = 5;
  ImageSurface preview;
  ASSERT_EQ(preview.Create({10, 8}), 0);
  const std::string path = m_dir.File("two.vlb");
  ASSERT_EQ(WriteLayerFile(path, LayerRefs{layers[0].get(), layers[1].get()}, 10, 8, preview, grid), 0);
  Start();
  CVarnelDoc* doc = m_app->OpenDocumentFile(QString::fromStdString(path));
  ASSERT_NE(doc, nullptr);
  EXPECT_EQ(doc->GetCanvas().LayerCount(), 2);
  EXPECT_EQ(doc->GetCanvas().GetSize(), (Size{10, 8}));
  EXPECT_EQ(doc->GetCanvas().GetLayer(1)->Name(), "上");
  EXPECT_EQ(doc->Grid().cellWidth, 5);
  EXPECT_EQ(doc->Title(), "two.vlb");
  EXPECT_FALSE(doc->IsModified());
  // Blue under half-transparent red, on the white background beyond the layers.
  uint32_t pixel = 0;
  ASSERT_EQ(doc->Picture().GetPixel(0, 0, &pixel), 1);
  EXPECT_NE(pixel & 0x00FF0000u, 0u);
  ASSERT_EQ(doc->Picture().GetPixel(9, 7, &pixel), 1);
  EXPECT_EQ(pixel | 0xFF000000u, 0xFFFFFFFFu);
  // Opened again, under another spelling of its path, the open picture comes to the front.
  const int windows = static_cast<int>(m_app->MainFrame()->MdiArea()->subWindowList().size());
  m_app->OnFileNew();
  EXPECT_EQ(m_app->OpenDocumentFile(QString::fromStdString(m_dir.File(".")) + "/./two.vlb"), doc);
  EXPECT_EQ(m_app->MainFrame()->MdiArea()->subWindowList().size(), windows + 1);
  EXPECT_EQ(ActiveView()->GetDocument(), doc);
}

TEST_F(ShellTest, ViewPointsMapThroughScrollMarginAndZoom) {
  Start({{"NEWIMAGESIZE", PackSize(200, 100)}});
  CVarnelView* view = ActiveView();
  ASSERT_NE(view, nullptr);
  view->SetZoom(2.0);
  EXPECT_EQ(view->ViewToImage({21, 21}), QPoint(0, 0));
  EXPECT_EQ(view->ViewToImage({23, 21}), QPoint(1, 0));
  EXPECT_EQ(view->ViewToImage({19, 25}), QPoint(0, 2));  // -0.5 truncates to 0
  view->SetZoom(0.5);
  EXPECT_EQ(view->ViewToImage({30, 20}), QPoint(20, 0));
}

TEST(QtDrawContextZoomedOut, ThinLinesShowAsGreyAndRowsKeepTheirOrder) {
  // Left half: a black line in every fourth column; right half: black above, white below.
  ImageSurface surface;
  ASSERT_EQ(surface.Create({16, 8}), 0);
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 16; ++x)
      surface.Row(y)[x] = (x < 8 ? x % 4 == 1 : y < 4) ? 0xFF000000u : 0xFFFFFFFFu;
  QImage image(4, 2, QImage::Format_RGB32);
  image.fill(Qt::red);
  {
    QPainter painter(&image);
    QtDrawContext context(painter);
    context.CopyPixels(surface, {0, 0, 16, 8}, {0, 0, 4, 2});  // a quarter each way
  }
  const QRgb grey = qRgb(191, 191, 191);  // 12 white and 4 black pixels a box
  EXPECT_EQ(image.pixel(0, 0), grey);
  EXPECT_EQ(image.pixel(1, 1), grey);
  EXPECT_EQ(image.pixel(2, 0), qRgb(0, 0, 0));
  EXPECT_EQ(image.pixel(3, 1), qRgb(255, 255, 255));
}

TEST(QtDrawContextOutlines, RectanglesAndEllipsesStayInsideTheirBoundsWithoutFill) {
  QImage image(12, 12, QImage::Format_RGB32);
  image.fill(Qt::white);
  {
    QPainter painter(&image);
    painter.setPen(Qt::black);
    QtDrawContext context(painter);
    context.Rectangle({2, 2, 7, 7});  // 5 × 5, right and bottom excluded
    context.Ellipse({0, 0, 0, 5});    // empty: nothing drawn
  }
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 12; ++x) {
      const bool edge = (x >= 2 && x <= 6 && (y == 2 || y == 6)) || (y >= 2 && y <= 6 && (x == 2 || x == 6));
      EXPECT_EQ(image.pixel(x, y) == qRgb(0, 0, 0), edge) << x << "," << y;
    }
  QImage round(12, 12, QImage::Format_RGB32);
  round.fill(Qt::white);
  {
    QPainter painter(&round);
    painter.setPen(Qt::black);
    QtDrawContext context(painter);
    context.Ellipse({1, 1, 11, 11});
  }
  EXPECT_EQ(round.pixel(6, 6), qRgb(255, 255, 255));  // not filled
  EXPECT_EQ(round.pixel(0, 0), qRgb(255, 255, 255));
  EXPECT_EQ(round.pixel(11, 11), qRgb(255, 255, 255));
  int dark = 0;
  for (int x = 0; x < 12; ++x) dark += round.pixel(x, 1) != qRgb(255, 255, 255);
  EXPECT_GT(dark, 0);  // the top of the ellipse is on row 1
}

TEST_F(ShellTest, CtrlWheelZoomsByFifthsAndCtrlArrowsScrollBy50) {
  Start({{"NEWIMAGESIZE", PackSize(2000, 2000)}});
  CVarnelView* view = ActiveView();
  ASSERT_NE(view, nullptr);
  QWidget* surface = view->viewport();
  auto wheel = [&](int delta, Qt::KeyboardModifiers modifiers) {
    QWheelEvent event(QPointF(10, 10), surface->mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, delta), Qt::NoButton,
                      modifiers, Qt::NoScrollPhase, false);
    QApplication::sendEvent(surface, &event);
  };
  wheel(120, Qt::ControlModifier);
  EXPECT_DOUBLE_EQ(view->Zoom(), 1.2);
  wheel(-120, Qt::ControlModifier);
  wheel(-120, Qt::ControlModifier);
  EXPECT_DOUBLE_EQ(view->Zoom(), 0.8);
  for (int i = 0; i < 10; ++i) wheel(-120, Qt::ControlModifier);
  EXPECT_DOUBLE_EQ(view->Zoom(), 0.2);  // never below one step
  wheel(-120, Qt::NoModifier);
  EXPECT_DOUBLE_EQ(view->Zoom(), 0.2);  // a plain wheel only scrolls
  for (int i = 0; i < 4; ++i) wheel(120, Qt::ControlModifier);
  EXPECT_EQ(view->Zoom(), 1.0);  // back to exactly 1:1
  // From a zoom off the steps: steps of 0.2 all the same, and a smaller zoom is not raised.
  view->SetZoom(1.0 / 3.0);
  wheel(120, Qt::ControlModifier);
  EXPECT_NEAR(view->Zoom(), 1.0 / 3.0 + 0.2, 1e-9);
  view->SetZoom(0.125);
  wheel(-120, Qt::ControlModifier);
  EXPECT_DOUBLE_EQ(view->Zoom(), 0.125);

  view->SetZoom(1.0);
  QScrollBar* vertical = view->verticalScrollBar();
  QScrollBar* horizontal = view->horizontalScrollBar();
  // Zooming keeps the picture's point under the pointer (viewport (10, 10)) in place, then the
  // wheel scrolls as far as a turn without Ctrl does.
  vertical->setValue(200);
  wheel(120, Qt::NoModifier);
  const int turn = 200 - vertical->value();
  ASSERT_GT(turn, 0);
  horizontal->setValue(300);
  vertical->setValue(200);
  EXPECT_EQ(view->ViewToImage(QPoint(10, 10)), QPoint(290, 190));
  wheel(120, Qt::ControlModifier);
  EXPECT_DOUBLE_EQ(view->Zoom(), 1.2);
  EXPECT_EQ(horizontal->value(), 290 * 6 / 5 + 20 - 10);
  EXPECT_EQ(vertical->value(), 190 * 6 / 5 + 20 - 10 - turn);
  const int before = vertical->value();
  wheel(-120, Qt::ControlModifier);
  EXPECT_DOUBLE_EQ(view->Zoom(), 1.0);
  EXPECT_GT(vertical->value(), (before + 10 - 20) * 5 / 6 + 20 - 10);  // lowered, and still scrolled

  view->SetZoom(1.0);
  vertical->setValue(100);
  horizontal->setValue(100);
  QTest::keyClick(view, Qt::Key_Down, Qt::ControlModifier);
  EXPECT_EQ(vertical->value(), 150);
  QTest::keyClick(view, Qt::Key_Up, Qt::ControlModifier);
  QTest::keyClick(view, Qt::Key_Up, Qt::ControlModifier);
  EXPECT_EQ(vertical->value(), 50);
  QTest::keyClick(view, Qt::Key_Right, Qt::ControlModifier);
  EXPECT_EQ(horizontal->value(), 150);
  QTest::keyClick(view, Qt::Key_Left, Qt::ControlModifier);
  EXPECT_EQ(horizontal->value(), 100);
  // The plain arrows go to the tool alone.
  QTest::keyClick(view, Qt::Key_Down);
  QTest::keyClick(view, Qt::Key_Right);
  EXPECT_EQ(vertical->value(), 50);
  EXPECT_EQ(horizontal->value(), 100);
}

TEST_F(ShellTest, AMouseStrokePaintsTheActiveLayerAndUndoesAsOneStep) {
  Start();
  CVarnelView* view = ActiveView();
  ASSERT_NE(view, nullptr);
  CVarnelDoc* doc = view->GetDocument();
  Layer& layer = *doc->GetCanvas().ActiveLayer();
  QWidget* surface = view->viewport();
  // The default brush: 2 × 2, normal, black. Image (10, 10) lies at viewport (30, 30).
  QTest::mousePress(surface, Qt::LeftButton, Qt::NoModifier, QPoint(30, 30));
  for (int x = 31; x <= 50; ++x) {
    QMouseEvent move(QEvent::MouseMove, QPointF(x, 30), surface->mapToGlobal(QPointF(x, 30)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(surface, &move);
  }
  QTest::mouseRelease(surface, Qt::LeftButton, Qt::NoModifier, QPoint(50, 30));
  uint32_t pixel = 0;
  // The pen-down dab covers (9, 9)–(10, 10); the stroke trails toward x = 30.
  ASSERT_EQ(layer.GetPixel(10, 10, &pixel), 1);
  EXPECT_EQ(pixel, 0xFF000000u);
  ASSERT_EQ(layer.GetPixel(9, 9, &pixel), 1);
  EXPECT_EQ(pixel, 0xFF000000u);
  ASSERT_EQ(layer.GetPixel(20, 10, &pixel), 1);
  EXPECT_EQ(pixel, 0xFF000000u);
  ASSERT_EQ(layer.GetPixel(10, 12, &pixel), 1);
  EXPECT_EQ(pixel, 0xFFFFFFFFu);
  // The view's picture shows it.
  ASSERT_EQ(doc->Picture().GetPixel(20, 10, &pixel), 1);
  EXPECT_EQ(pixel & 0x00FFFFFFu, 0u);
  EXPECT_TRUE(doc->IsModified());
  ASSERT_EQ(doc->GetCanvas().Undo(), 0);
  ASSERT_EQ(layer.GetPixel(10, 10, &pixel), 1);
  EXPECT_EQ(pixel, 0xFFFFFFFFu);
  ASSERT_EQ(layer.GetPixel(20, 10, &pixel), 1);
  EXPECT_EQ(pixel, 0xFFFFFFFFu);
  EXPECT_NE(doc->GetCanvas().Undo(), 0);  // one step for the whole stroke
}

// A stroke dragged across the view from one viewport point to another.
void DragStroke(QWidget* surface, QPoint from, QPoint to) {
  QTest::mousePress(surface, Qt::LeftButton, Qt::NoModifier, from);
  for (int step = 1; step <= 10; ++step) {
    const QPointF at = from + (to - from) * (step / 10.0);
    QMouseEvent move(QEvent::MouseMove, at, surface->mapToGlobal(at), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(surface, &move);
  }
  QTest::mouseRelease(surface, Qt::LeftButton, Qt::NoModifier, to);
}

std::vector<uint32_t> Pixels(const Layer& layer) {
  std::vector<uint32_t> pixels;
  for (int32_t y = 0; y < layer.Height(); ++y) pixels.insert(pixels.end(), layer.Row(y), layer.Row(y) + layer.Width());
  return pixels;
}

TEST_F(ShellTest, AStrokeAfterOneThatMissedTheLayerStillUndoesAsOneStep) {
  Start();
  CVarnelView* view = ActiveView();
  Canvas& canvas = view->GetDocument()->GetCanvas();
  ImageSurface picture;
  ASSERT_EQ(picture.Create({64, 64}), 0);
  Layer* pasted = PasteImageAsLayer(canvas, picture);
  ASSERT_NE(pasted, nullptr);
  ASSERT_EQ(canvas.ActiveLayer(), pasted);
  QWidget* surface = view->viewport();
  // Image (100, 100)–(140, 100): wholly outside the 64 × 64 layer, nothing changes.
  DragStroke(surface, QPoint(120, 120), QPoint(160, 120));
  const std::vector<uint32_t> before = Pixels(*pasted);
  // Image (30, 30) to (100, 30): starts inside and leaves it.
  DragStroke(surface, QPoint(50, 50), QPoint(120, 50));
  ASSERT_NE(Pixels(*pasted), before);
  ASSERT_EQ(canvas.Undo(), 0);
  EXPECT_EQ(Pixels(*pasted), before);
  EXPECT_EQ(canvas.Undo(), -1);  // the whole stroke was the one step
  // A stroke that misses the layer is still a new change: the undone one cannot come back.
  DragStroke(surface, QPoint(120, 120), QPoint(160, 120));
  EXPECT_EQ(pasted->Undo().StepCount(), 0u);
}

// The action of a menu command, found by its id.
QAction* Command(CMainFrame* frame, int id) {
  for (QAction* action : frame->findChildren<QAction*>())
    if (action->data().toInt() == id) return action;
  return nullptr;
}

TEST_F(ShellTest, UndoAndRedoThroughTheEditMenu) {
  Start();
  CVarnelView* view = ActiveView();
  ASSERT_NE(view, nullptr);
  Layer& layer = *view->GetDocument()->GetCanvas().ActiveLayer();
  QWidget* surface = view->viewport();
  QTest::mousePress(surface, Qt::LeftButton, Qt::NoModifier, QPoint(30, 30));
  QTest::mouseRelease(surface, Qt::LeftButton, Qt::NoModifier, QPoint(30, 30));
  uint32_t pixel = 0;
  layer.GetPixel(10, 10, &pixel);
  ASSERT_EQ(pixel, 0xFF000000u);
  QAction* undo = Command(m_app->MainFrame(), 57643);
  QAction* redo = Command(m_app->MainFrame(), 57644);
  ASSERT_NE(undo, nullptr);
  ASSERT_NE(redo, nullptr);
  EXPECT_EQ(undo->text(), "アンドゥ(&U)");
  EXPECT_EQ(undo->shortcut(), QKeySequence("Ctrl+Z"));
  EXPECT_EQ(redo->shortcut(), QKeySequence("Ctrl+R"));
  undo->trigger();
  layer.GetPixel(10, 10, &pixel);
  EXPECT_EQ(pixel, 0xFFFFFFFFu);
  redo->trigger();
  layer.GetPixel(10, 10, &pixel);
  EXPECT_EQ(pixel, 0xFF000000u);
  // The picture the view shows follows.
  view->GetDocument()->Picture().GetPixel(10, 10, &pixel);
  EXPECT_EQ(pixel & 0x00FFFFFFu, 0u);
}

TEST_F(ShellTest, TheBrushKindMenuSelectsKindsAndRebuildsTheBrush) {
  Start();
  QMenu* menu = m_app->MainFrame()->BrushKindMenu();
  ASSERT_NE(menu, nullptr);
  std::vector<QString> titles;
  for (QAction* action : menu->actions()) titles.push_back(action->text());
  EXPECT_EQ(titles, (std::vector<QString>{"現在のカスタムブラシ", "プリセット", "画材風", "ぼかし/調整", "明度", "特殊",
                                          "ノーマル描画"}));
  // Every kind 0…22 is in the menu once, by its id.
  std::vector<int> ids;
  for (QAction* action : menu->findChildren<QAction*>())
    if (action->data().toInt() >= 34000 && action->data().toInt() <= 34022) ids.push_back(action->data().toInt());
  std::sort(ids.begin(), ids.end());
  ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
  EXPECT_EQ(ids.size(), 23u);
  Command(m_app->MainFrame(), 34020)->trigger();
  EXPECT_EQ(ProgramBrushSettings().kind, kBrushSharpen);
  EXPECT_NE(ProgramBrush(), nullptr);
  Command(m_app->MainFrame(), 34001)->trigger();
  EXPECT_EQ(ProgramBrushSettings().kind, kBrushNormal);
}

TEST_F(ShellTest, QuickSaveWritesIntoTheSaveFolderAndKeepsTheDocumentsPath) {
  const std::string home = m_dir.File("home");
  std::filesystem::create_directories(home + "/Save");
  setenv("VARNEL_HOME", home.c_str(), 1);
  Start();
  CVarnelDoc* doc = ActiveView()->GetDocument();
  const QString path = doc->PathName();
  Command(m_app->MainFrame(), 32959)->trigger();
  unsetenv("VARNEL_HOME");
  std::vector<std::string> saved;
  for (const auto& entry : std::filesystem::directory_iterator(home + "/Save")) saved.push_back(entry.path().filename());
  ASSERT_EQ(saved.size(), 1u);
  EXPECT_EQ(saved[0].rfind("Y", 0), 0u);
  EXPECT_EQ(saved[0].substr(saved[0].size() - 4), ".VLB");
  EXPECT_EQ(doc->PathName(), path);
}

TEST_F(ShellTest, AFileDroppedOnAViewOpensAsADocument) {
  LayerList layers;
  auto layer = std::make_unique<Layer>();
  ASSERT_EQ(layer->Create({5, 5}), 0);
  layers.push_back(std::move(layer));
  const std::string path = m_dir.File("dropped.vlb");
  ASSERT_EQ(WriteLayerList(path, LayerRefs{layers[0].get()}), 0);
  Start();
  CVarnelView* view = ActiveView();
  ASSERT_NE(view, nullptr);
  QMimeData data;
  // Only local files count: the first of them is opened.
  data.setUrls({QUrl("https://example.invalid/x.vlb"), QUrl::fromLocalFile(QString::fromStdString(path))});
  QDragEnterEvent enter(QPoint(30, 30), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(view->viewport(), &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(30, 30), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(view->viewport(), &drop);
  QApplication::processEvents();
  EXPECT_EQ(m_app->MainFrame()->MdiArea()->subWindowList().size(), 2);
  EXPECT_EQ(ActiveView()->GetDocument()->Title(), "dropped.vlb");
}

TEST_F(ShellTest, SavingWritesTheFileAndClearsTheModifiedFlagOnlyWhenWritten) {
  Start();
  CVarnelDoc* doc = ActiveView()->GetDocument();
  doc->SetModifiedFlag(true);
  const std::string path = m_dir.File("saved.vlb");
  ASSERT_TRUE(doc->OnSaveDocument(QString::fromStdString(path)));
  EXPECT_FALSE(doc->IsModified());
  LayerList layers;
  ASSERT_EQ(ReadAnyLayerFile(path, layers), 0);
  EXPECT_EQ(layers.size(), 1u);

  doc->GetCanvas().AddLayer();
  doc->SetModifiedFlag(true);
  RecordingHost recorder;
  ScopedHost scoped(recorder);
  recorder.QueueAnswer(kIdNo);
  EXPECT_FALSE(doc->OnSaveDocument(QString::fromStdString(m_dir.File("flat.bmp"))));
  ASSERT_EQ(recorder.boxes.size(), 1u);
  EXPECT_EQ(recorder.boxes[0].text, "VLB形式以外ではレイヤ情報が失われます。よろしいですか？");
  EXPECT_TRUE(doc->IsModified());
  EXPECT_FALSE(doc->OnSaveDocument(QString::fromStdString(m_dir.File("missing/folder/x.vlb"))));
  EXPECT_EQ(recorder.boxes.back().text, FileSaveErrorMessage(m_dir.File("missing/folder/x.vlb")));
  EXPECT_TRUE(doc->IsModified());
}

TEST_F(ShellTest, ABrokenBitmapShowsTheReadersReasonThenThePictureMessage) {
  const std::string path = m_dir.File("broken.bmp");
  std::FILE* f = std::fopen(path.c_str(), "wb");
  std::fputs("BMnot really a bitmap header at all, but long enough to be read as one....", f);
  std::fclose(f);
  Start();
  RecordingHost recorder;
  ScopedHost scoped(recorder);
  EXPECT_EQ(m_app->OpenDocumentFile(QString::fromStdString(path)), nullptr);
  ASSERT_EQ(recorder.boxes.size(), 2u);
  EXPECT_EQ(recorder.boxes[1].text, kMsgCannotReadPicture);
}

TEST_F(ShellTest, RecordingAnUndoStepMarksTheActiveDocumentModified) {
  Start();
  CVarnelDoc* doc = ActiveView()->GetDocument();
  ASSERT_FALSE(doc->IsModified());
  Layer& layer = *doc->GetCanvas().ActiveLayer();
  layer.Undo().PushUndoStep(layer, true);  // nothing saved: no step
  EXPECT_FALSE(doc->IsModified());
  layer.SetPixel(3, 3, 0);
  layer.Undo().PushUndoStep(layer, true);
  EXPECT_TRUE(doc->IsModified());
  EXPECT_EQ(Canvas::GetActiveCanvas(), &doc->GetCanvas());
}

TEST_F(ShellTest, TheThreeClipboardFormatsAreRegisteredByName) {
  Start();
  EXPECT_EQ(m_app->ClipboardFormats(), (QStringList{"CF_VN_LAYERDATA", "CF_VNCHANNEL", "CF_VN_OBJECT"}));
}

TEST_F(ShellTest, StartUpCreatesThePoolOf1032ByteBlocks) {
  Start();
  // LIFO from the pool: a block freed and taken again is the same address.
  void* block = FXAlloc();
  ASSERT_NE(block, nullptr);
  FXFree(block);
  EXPECT_EQ(FXAlloc(), block);
  FXFree(block);
}

// The offscreen platform keeps no primary selection, so a middle click has nothing to paste.
TEST(SelectionPasteGuard, AMiddleClickWithNothingToPasteNeverReachesATextBox) {
  varnel::GuardSelectionPaste(*qApp);
  struct Counter : QObject {
    int middle = 0, left = 0;
    bool eventFilter(QObject*, QEvent* event) override {
      if (event->type() == QEvent::MouseButtonRelease)
        ++(static_cast<QMouseEvent*>(event)->button() == Qt::MiddleButton ? middle : left);
      return false;
    }
  };
  QPlainTextEdit plain;
  QTextEdit rich;
  QLineEdit line;  // a line box takes the middle click without harm
  const std::pair<QWidget*, int> cases[] = {{plain.viewport(), 0}, {rich.viewport(), 0}, {&line, 1}};
  for (const auto& [target, middles] : cases) {
    Counter counter;
    target->installEventFilter(&counter);
    QTest::mouseClick(target, Qt::MiddleButton);
    QTest::mouseClick(target, Qt::LeftButton);
    EXPECT_EQ(counter.middle, middles) << target->metaObject()->className();
    EXPECT_EQ(counter.left, 1);
    target->removeEventFilter(&counter);
  }
}


}  // namespace
}  // namespace varnel
