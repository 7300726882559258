// The colour palette panel and the named colour list driven with the mouse, the keyboard and the
// dialog hooks, in a program folder of the test's own.

#include "shell/colour_palette_panel.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDockWidget>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QPushButton>
#include <QScrollArea>
#include <QTest>
#include <QTreeWidget>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "colour/colour_file.h"
#include "platform/host.h"
#include "platform/profile.h"
#include "shell/file_dialogs.h"
#include "shell/named_colour_view.h"
#include "tests/support/temp_folder.h"

namespace varnel {
namespace {

constexpr ColourRef kRed = MakeColourRef(255, 0, 0);
constexpr ColourRef kGreen = MakeColourRef(0, 128, 0);
constexpr ColourRef kBlue = MakeColourRef(0, 0, 255);
constexpr ColourRef kOlive = MakeColourRef(10, 20, 30);
constexpr ColourRef kBrown = MakeColourRef(200, 100, 50);
const std::vector<ColourRef> kPalette = {kRed, kGreen, kBlue, kOlive, kBrown, kRed, kGreen, kBlue, kOlive, kBrown};

// A colour definition file as the format states it: "%d %d %d\n" red, green, blue.
std::string CdText(const std::vector<ColourRef>& colours) {
  std::string text;
  for (ColourRef c : colours)
    text += std::to_string(RedOf(c)) + " " + std::to_string(GreenOf(c)) + " " + std::to_string(BlueOf(c)) + "\n";
  return text;
}

std::string FileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteText(const std::string& path, const std::string& text) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

class PaletteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("VARNEL_HOME", m_home.c_str(), 1);
    WriteText(m_home + "/PAL.CD", CdText(kPalette));
    m_panel = std::make_unique<ColourPalettePanel>(m_profile);
    m_panel->resize(220, 400);
    QObject::connect(m_panel.get(), &ColourPalettePanel::foregroundPicked, [this](ColourRef c) { m_foreground.push_back(c); });
    QObject::connect(m_panel.get(), &ColourPalettePanel::backgroundPicked, [this](ColourRef c) { m_background.push_back(c); });
  }
  void TearDown() override {
    m_panel.reset();
    SetFileDialogHookForTesting(nullptr);
    unsetenv("VARNEL_HOME");
  }
  void Show() {
    m_panel->show();
    QApplication::processEvents();
  }
  void Click(const char* button) { m_panel->findChild<QAbstractButton*>(button)->click(); }
  void ClickSwatch(ColourSwatchGrid* grid, int index, Qt::MouseButton button = Qt::LeftButton,
                   Qt::KeyboardModifiers modifiers = {}) {
    QTest::mouseClick(grid, button, modifiers, grid->SwatchRect(index).center());
  }
  // The file dialogs answer this path (nothing: cancelled) and remember the request.
  void AnswerFileDialog(std::optional<std::string> answer) {
    SetFileDialogHookForTesting([this, answer](const FileDialogRequest& request) -> std::optional<QString> {
      m_request = request;
      if (!answer) return std::nullopt;
      return QString::fromStdString(*answer);
    });
  }
  std::string Setting(const char* key) { return m_profile.GetString("Settings", key, ""); }

  test::TempFolder m_dir;
  std::string m_home = m_dir.File("home");
  Profile m_profile{m_dir.File("varnel.ini")};
  RecordingHost m_host;
  ScopedHost m_scopedHost{m_host};
  std::unique_ptr<ColourPalettePanel> m_panel;
  std::vector<ColourRef> m_foreground, m_background;
  FileDialogRequest m_request;
};

TEST_F(PaletteTest, SwatchesWrapAtTheWidthAndClicksPickForegroundAndBackground) {
  Show();
  ColourSwatchGrid* grid = m_panel->PaletteGrid();
  ASSERT_EQ(grid->Colours(), kPalette);
  ASSERT_LT(grid->ColumnsFor(grid->width()), static_cast<int>(kPalette.size()));
  for (int i = 0; i < static_cast<int>(kPalette.size()); ++i) {
    EXPECT_TRUE(grid->rect().contains(grid->SwatchRect(i))) << i;
    EXPECT_EQ(grid->SwatchAt(grid->SwatchRect(i).center()), i);
  }
  struct Case {
    int index;
    Qt::MouseButton button;
    Qt::KeyboardModifiers modifiers;
    std::vector<ColourRef> foreground, background;
  };
  const Case cases[] = {
      {2, Qt::LeftButton, {}, {kBlue}, {}},
      {4, Qt::RightButton, {}, {}, {kBrown}},
      {3, Qt::LeftButton, Qt::ControlModifier, {}, {}},  // only selects
  };
  for (const Case& c : cases) {
    m_foreground.clear();
    m_background.clear();
    ClickSwatch(grid, c.index, c.button, c.modifiers);
    EXPECT_EQ(m_foreground, c.foreground) << c.index;
    EXPECT_EQ(m_background, c.background) << c.index;
  }
  EXPECT_EQ(grid->Selected(), 3);
}

TEST_F(PaletteTest, AddAndDeleteWriteThePaletteFileAtOnce) {
  Show();
  m_panel->currentColour = [] { return MakeColourRef(1, 2, 3); };
  Click("PaletteAdd");
  std::vector<ColourRef> expected = kPalette;
  expected.push_back(MakeColourRef(1, 2, 3));
  EXPECT_EQ(FileText(m_home + "/PAL.CD"), CdText(expected));
  // Ctrl+click selects; each 削除 then takes the swatch that moved into the gap.
  ClickSwatch(m_panel->PaletteGrid(), 1, Qt::LeftButton, Qt::ControlModifier);
  Click("PaletteDelete");
  Click("PaletteDelete");
  expected.erase(expected.begin() + 1, expected.begin() + 3);
  EXPECT_EQ(FileText(m_home + "/PAL.CD"), CdText(expected));
  EXPECT_EQ(m_panel->Colours(), expected);
  EXPECT_TRUE(m_foreground.empty());
}

TEST_F(PaletteTest, AnEditThatCannotBeWrittenIsToldAndUndone) {
  m_profile.WriteString("Settings", "PALETTEFILE", m_home + "/missing/p.cd");
  ColourPalettePanel panel(m_profile);
  panel.currentColour = [] { return kRed; };
  panel.findChild<QAbstractButton*>("PaletteAdd")->click();
  EXPECT_TRUE(panel.Colours().empty());
  EXPECT_EQ(m_host.boxes.size(), 1u);
}

TEST_F(PaletteTest, LoadAndSaveGoThroughTheFileDialogAndChangeThePaletteFile) {
  const std::string other = m_dir.File("other.cd");
  WriteText(other, CdText({kOlive, kBlue}));
  AnswerFileDialog(std::nullopt);
  Click("PaletteLoad");
  EXPECT_EQ(m_panel->Colours(), kPalette);
  AnswerFileDialog(m_dir.File("absent.cd"));
  Click("PaletteLoad");
  EXPECT_EQ(m_panel->Colours(), kPalette);
  EXPECT_EQ(m_host.boxes.size(), 1u);
  AnswerFileDialog(other);
  Click("PaletteLoad");
  EXPECT_TRUE(m_request.open);
  EXPECT_EQ(m_request.filter, QString(kColourDefinitionFilter));
  EXPECT_EQ(m_panel->Colours(), (std::vector<ColourRef>{kOlive, kBlue}));
  EXPECT_EQ(Setting("PALETTEFILE"), other);

  const std::string saved = m_dir.File("saved.cd");
  AnswerFileDialog(saved);
  Click("PaletteSave");
  EXPECT_FALSE(m_request.open);
  EXPECT_EQ(m_request.filter, QString(kColourDefinitionFilter));
  EXPECT_EQ(Setting("PALETTEFILE"), saved);
  m_panel->currentColour = [] { return kRed; };
  Click("PaletteAdd");
  EXPECT_EQ(FileText(saved), CdText({kOlive, kBlue, kRed}));
  EXPECT_EQ(FileText(other), CdText({kOlive, kBlue}));
}

TEST_F(PaletteTest, ThePaletteMenuListsThePaletteFilesAndLoadsOne) {
  WriteText(m_home + "/res/PaletteMenu/肌色.cd", CdText({kBrown, kOlive}));
  WriteText(m_home + "/res/PaletteMenu/グレー.cd", CdText({MakeColourRef(17, 17, 17)}));
  WriteText(m_home + "/res/PaletteMenu/notes.txt", "not a palette");
  emit m_panel->PaletteMenu()->aboutToShow();
  QStringList items;
  for (QAction* action : m_panel->PaletteMenu()->actions()) items << action->text();
  ASSERT_EQ(items, (QStringList{"グレー", "肌色"}));
  m_panel->PaletteMenu()->actions()[1]->trigger();
  EXPECT_EQ(m_panel->Colours(), (std::vector<ColourRef>{kBrown, kOlive}));
  EXPECT_EQ(Setting("PALETTEFILE"), m_home + "/res/PaletteMenu/肌色.cd");
}

std::vector<ColourRef> Greys(int first, int last) {  // first, first ± 1, …, last
  std::vector<ColourRef> greys;
  for (int i = first;; i += first <= last ? 1 : -1) {
    greys.push_back(MakeColourRef(i, i, i));
    if (i == last) return greys;
  }
}

TEST_F(PaletteTest, TheHistoryIsReadWhenShownAndWrittenWhenHiddenNewestFirstBoundedAndWithoutRepeats) {
  struct Case {
    const char* name;
    std::optional<std::vector<ColourRef>> file;  // res/hist.cd before
    std::vector<ColourRef> usedClosed, usedShown;
    std::vector<ColourRef> expected;
  };
  const Case cases[] = {
      {"a colour used again moves to the front", std::nullopt, {}, {kRed, kGreen, kBlue, kGreen}, {kGreen, kBlue, kRed}},
      {"the oldest fall off after 32", std::nullopt, {}, Greys(0, 39), Greys(39, 8)},
      {"the file is read on opening", std::vector<ColourRef>{kRed, kBlue, kRed}, {}, {kGreen}, {kGreen, kRed, kBlue}},
      {"colours used while closed go first", std::vector<ColourRef>{kRed, kBlue}, {kBlue, kOlive}, {},
       {kOlive, kBlue, kRed}},
  };
  const std::string history = m_home + "/res/hist.cd";
  for (const Case& c : cases) {
    std::filesystem::remove(history);
    if (c.file) WriteText(history, CdText(*c.file));
    ColourPalettePanel panel(m_profile);
    for (ColourRef colour : c.usedClosed) panel.AddToHistory(colour);
    panel.show();
    for (ColourRef colour : c.usedShown) panel.AddToHistory(colour);
    EXPECT_EQ(panel.HistoryGrid()->Colours(), c.expected) << c.name;
    panel.hide();
    EXPECT_EQ(FileText(history), CdText(c.expected)) << c.name;
  }
  // Destroyed while shown, it writes too; a history swatch picks as a palette swatch does.
  Show();
  m_panel->AddToHistory(kBrown);
  ClickSwatch(m_panel->HistoryGrid(), 1, Qt::LeftButton);
  ClickSwatch(m_panel->HistoryGrid(), 0, Qt::RightButton);
  EXPECT_EQ(m_foreground, std::vector<ColourRef>{kOlive});
  EXPECT_EQ(m_background, std::vector<ColourRef>{kBrown});
  m_panel.reset();
  EXPECT_EQ(FileText(history), CdText({kBrown, kOlive, kBlue, kRed}));
}

TEST_F(PaletteTest, ItStaysMarkedOpenOnlyWhenHiddenWithTheMainWindow) {
  // Placed as the main window places it: in a dock, inside a scroll area.
  QMainWindow window;
  auto* dock = new QDockWidget(kColourPaletteTitle, &window);
  auto* scroller = new QScrollArea(dock);
  scroller->setWidget(new ColourPalettePanel(m_profile));
  dock->setWidget(scroller);
  window.addDockWidget(Qt::LeftDockWidgetArea, dock);
  window.show();
  EXPECT_TRUE(ColourPalettePanel::WasVisible(m_profile));
  for (bool floating : {false, true}) {
    dock->setFloating(floating);
    dock->show();
    dock->close();
    EXPECT_FALSE(ColourPalettePanel::WasVisible(m_profile)) << floating;
  }
  dock->show();
  window.close();
  EXPECT_TRUE(ColourPalettePanel::WasVisible(m_profile));
}

TEST_F(PaletteTest, TheStoredPositionStaysGrabbableOnTheScreen) {
  const QRect screen(100, 50, 800, 600);  // x 100…899, y 50…649
  EXPECT_EQ(ColourPalettePanel::StoredPosition(m_profile, screen), std::nullopt);
  m_profile.WriteInt("Settings", "PALETTEXPOS", 10);
  EXPECT_EQ(ColourPalettePanel::StoredPosition(m_profile, screen), std::nullopt);
  struct Case {
    QPoint stored, expected;
  };
  const Case cases[] = {
      {{300, 200}, {300, 200}}, {{-40, 20}, {100, 50}}, {{2000, 640}, {800, 550}}, {{800, 550}, {800, 550}}};
  for (const Case& c : cases) {
    ColourPalettePanel::StorePosition(m_profile, c.stored);
    EXPECT_EQ(ColourPalettePanel::StoredPosition(m_profile, screen), c.expected) << c.stored.x() << "," << c.stored.y();
  }
}

// ---- the named colour list --------------------------------------------------------------------

TEST_F(PaletteTest, TheNamedColourSearchMatchesNamesWithoutCaseAndHexDigits) {
  const std::string list = "RGB.HEX\nff0000 , Red\n00ff7f , SpringGreen\nfa8072 , salmon\n8b0000 , DarkRed\n";
  WriteText(m_home + "/res/html.ncl", list);
  NamedColourView view(NamedColourListPath());
  view.show();
  struct Case {
    const char* search;
    std::vector<int> shown;
  };
  const Case cases[] = {{"red", {0, 3}}, {"RED", {0, 3}}, {"#FF", {0, 1}}, {"80", {2}},
                        {" salmon ", {2}}, {"zz", {}}, {"", {0, 1, 2, 3}}};
  for (const Case& c : cases) {
    view.SearchBox()->clear();
    QTest::keyClicks(view.SearchBox(), c.search);
    EXPECT_EQ(view.ShownEntries(), c.shown) << c.search;
  }

  std::vector<ColourRef> picked;
  QObject::connect(&view, &NamedColourView::foregroundPicked, [&](ColourRef c) { picked.push_back(c); });
  QTreeWidget* rows = view.List();
  QTest::mouseClick(rows->viewport(), Qt::LeftButton, {}, rows->visualItemRect(rows->topLevelItem(2)).center());
  EXPECT_EQ(picked, std::vector<ColourRef>{MakeColourRef(0xfa, 0x80, 0x72)});

  std::vector<QString> asked;
  std::optional<QString> answer = QString("   ");
  SetColourNameDialogHookForTesting([&](const QString& current) {
    asked.push_back(current);
    return answer;
  });
  QPushButton* rename = view.findChild<QPushButton*>("NamedColourRename");
  rename->click();  // a blank name changes nothing
  EXPECT_EQ(FileText(m_home + "/res/html.ncl"), list);
  answer = QString("  Light Salmon ");
  rename->click();
  SetColourNameDialogHookForTesting(nullptr);
  EXPECT_EQ(asked, (std::vector<QString>{"salmon", "salmon"}));
  EXPECT_EQ(FileText(m_home + "/res/html.ncl"),
            "RGB.HEX\nff0000 , Red\n00ff7f , SpringGreen\nfa8072 , Light Salmon\n8b0000 , DarkRed\n");
}

}  // namespace
}  // namespace varnel
