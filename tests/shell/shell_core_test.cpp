#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "shell/debug_console.h"
#include "shell/document_types.h"
#include "shell/instance_message.h"
#include "shell/recent_files.h"
#include "shell/shell_registration.h"
#include "shell/window_placement.h"
#include "tests/support/temp_folder.h"

namespace varnel {
namespace {

using test::TempFolder;

// --- window placement ------------------------------------------------------------------

struct PlacementCase {
  const char* name;
  WindowPlacement stored;
  WindowPlacement expected;
};

TEST(CorrectPlacement, FitsTheStoredPlacementOnAScreenOf1920By1080) {
  const PlacementCase cases[] = {
      {"defaults stay", {0, 0, 600, 480}, {0, 0, 600, 480}},
      {"width larger than the screen", {0, 0, 2500, 480}, {0, 0, 1920, 480}},
      {"height larger than the screen", {0, 0, 600, 1200}, {0, 0, 600, 1080}},
      {"left beyond the screen", {2000, 0, 600, 480}, {1820, 0, 600, 480}},
      {"top beyond the screen", {0, 1100, 600, 480}, {0, 980, 600, 480}},
      {"negative left", {-8, 10, 600, 480}, {0, 10, 600, 480}},
      {"negative top", {10, -30, 600, 480}, {10, 0, 600, 480}},
      {"negative width", {0, 0, -1, 480}, {0, 0, 600, 480}},
      {"negative height becomes 600 too", {0, 0, 600, -20}, {0, 0, 600, 600}},
      {"exactly the screen stays", {1920, 1080, 1920, 1080}, {1920, 1080, 1920, 1080}},
      {"zero size stays", {5, 5, 0, 0}, {5, 5, 0, 0}},
  };
  for (const PlacementCase& c : cases) EXPECT_EQ(CorrectPlacement(c.stored, 1920, 1080), c.expected) << c.name;
}

TEST(FirstPlacement, TakesFourFifthsOfTheFreeAreaCentredInIt) {
  EXPECT_EQ(FirstPlacement(0, 0, 1920, 1080), (WindowPlacement{192, 108, 1536, 864}));
  // A panel along the top leaves the area below it.
  EXPECT_EQ(FirstPlacement(0, 40, 1366, 728), (WindowPlacement{137, 113, 1092, 582}));
}

TEST(CorrectPlacement, NegativeHeightOnASmallScreenStill600) {
  // The replacement size is not itself checked against the screen, as designed.
  EXPECT_EQ(CorrectPlacement({0, 0, 600, -1}, 800, 500).cy, 600);
}

// --- document types --------------------------------------------------------------------

TEST(DocumentTypes, ImageAndChannelTypesCarryTheirTypeStrings) {
  EXPECT_EQ(kImageDocumentType.menuId, 129);
  EXPECT_EQ(kImageDocumentType.String(DocString::kWindowTitle), "");
  EXPECT_EQ(kImageDocumentType.String(DocString::kDocName), "Image");
  EXPECT_EQ(kImageDocumentType.String(DocString::kFileNewName), "Layer");
  EXPECT_EQ(kImageDocumentType.String(DocString::kFilterName), "LayerFile (*.vlb)");
  EXPECT_EQ(kImageDocumentType.String(DocString::kFilterExt), ".vlb");
  EXPECT_EQ(kImageDocumentType.String(DocString::kRegFileTypeId), "VarnelLayer");
  EXPECT_EQ(kImageDocumentType.String(DocString::kRegFileTypeName), "Varnel Layer");
  EXPECT_EQ(kChannelDocumentType.menuId, 295);
  EXPECT_EQ(kChannelDocumentType.String(DocString::kDocName), "Channel");
  EXPECT_EQ(kChannelDocumentType.String(DocString::kFilterExt), "");
  EXPECT_EQ(kChannelDocumentType.String(DocString::kRegFileTypeId), "VarnelChanel");
  EXPECT_EQ(kChannelDocumentType.String(DocString::kRegFileTypeName), "Varnel Channel");
}

// --- hand-over message -----------------------------------------------------------------

TEST(OpenFileMessage, IsTagOneThenByteLengthThenPathWithoutTerminator) {
  const std::string m = EncodeOpenFileMessage("/tmp/a.vlb");
  ASSERT_EQ(m.size(), 8u + 10u);
  EXPECT_EQ(m.substr(0, 8), std::string("\x01\0\0\0\x0a\0\0\0", 8));
  EXPECT_EQ(m.substr(8), "/tmp/a.vlb");
}

TEST(OpenFileMessage, LengthCountsBytesNotCharacters) {
  const std::string path = "/home/絵/猫.vlb";
  const std::string m = EncodeOpenFileMessage(path);
  EXPECT_EQ(static_cast<uint8_t>(m[4]), path.size());
}

TEST(OpenFileMessageReader, ReadsAMessageArrivingOneByteAtATime) {
  const std::string m = EncodeOpenFileMessage("/x/絵.vlb");
  OpenFileMessageReader reader;
  for (size_t i = 0; i + 1 < m.size(); ++i)
    ASSERT_EQ(reader.Feed(m.substr(i, 1)), OpenFileMessageReader::State::kNeedMore) << i;
  EXPECT_EQ(reader.Feed(m.substr(m.size() - 1)), OpenFileMessageReader::State::kComplete);
  EXPECT_EQ(reader.Path(), "/x/絵.vlb");
}

TEST(OpenFileMessageReader, IgnoresBytesAfterTheMessage) {
  OpenFileMessageReader reader;
  EXPECT_EQ(reader.Feed(EncodeOpenFileMessage("/a") + "garbage"), OpenFileMessageReader::State::kComplete);
  EXPECT_EQ(reader.Path(), "/a");
}

TEST(OpenFileMessageReader, RejectsOtherTagsAndOversizedLengths) {
  struct Case {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"tag 2", std::string("\x02\0\0\0\x01\0\0\0x", 9)},
      {"tag 0", std::string("\0\0\0\0\x01\0\0\0x", 9)},
      {"length just over the limit", std::string("\x01\0\0\0\x01\x80\0\0", 8)},
      {"length 4 GiB", std::string("\x01\0\0\0\xff\xff\xff\xff", 8)},
  };
  for (const Case& c : cases) {
    OpenFileMessageReader reader;
    EXPECT_EQ(reader.Feed(c.bytes), OpenFileMessageReader::State::kRejected) << c.name;
    EXPECT_EQ(reader.Feed("more"), OpenFileMessageReader::State::kRejected) << c.name;
  }
}

TEST(OpenFileMessageReader, AcceptsAPathOfExactlyTheLimit) {
  OpenFileMessageReader reader;
  const std::string path(kMaxHandOverPathBytes, 'a');
  EXPECT_EQ(reader.Feed(EncodeOpenFileMessage(path)), OpenFileMessageReader::State::kComplete);
  EXPECT_EQ(reader.Path().size(), kMaxHandOverPathBytes);
}

TEST(OpenFileMessageReader, AnEmptyPathCompletesEmpty) {
  OpenFileMessageReader reader;
  EXPECT_EQ(reader.Feed(EncodeOpenFileMessage("")), OpenFileMessageReader::State::kComplete);
  EXPECT_TRUE(reader.Path().empty());
}

TEST(OpenFileMessageReader, AShortHeaderWaitsForMore) {
  OpenFileMessageReader reader;
  EXPECT_EQ(reader.Feed(std::string("\x01\0\0", 3)), OpenFileMessageReader::State::kNeedMore);
}

// --- debug console ---------------------------------------------------------------------

TEST(DebugConsole, ShowsAMessageOnlyWhenItsLevelIsNotAboveTheConsoleLevel) {
  for (int consoleLevel = 0; consoleLevel <= 6; ++consoleLevel) {
    DebugConsole console;
    console.SetLevel(consoleLevel);
    for (int level = 1; level <= 6; ++level)
      EXPECT_EQ(console.Add(level, ColourRef{0}, "m"), level <= consoleLevel) << consoleLevel << "/" << level;
    EXPECT_EQ(console.ShownEntries().size(), size_t(consoleLevel));
  }
}

TEST(DebugConsole, RaisingTheLevelShowsMessagesKeptEarlier) {
  DebugConsole console;
  int rebuilds = 0;
  std::vector<std::string> appended;
  console.onChange = [&](const DebugEntry* e) {
    if (e) appended.push_back(e->text);
    else ++rebuilds;
  };
  console.Add(5, ColourRef{0x282828}, "初期化終了");
  console.Add(2, ColourRef{0x0000FF}, "two");
  EXPECT_TRUE(appended.empty());
  console.SetLevel(5);
  EXPECT_EQ(rebuilds, 1);
  const auto shown = console.ShownEntries();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].text, "初期化終了");
  EXPECT_EQ(shown[0].colour, ColourRef{0x282828u});
  console.Add(6, ColourRef{0}, "six");
  console.Add(1, ColourRef{0}, "one");
  EXPECT_EQ(appended, std::vector<std::string>{"one"});
}

TEST(DebugConsole, ClampsLevelsIntoOneToSix) {
  DebugConsole console;
  console.SetLevel(1);
  EXPECT_TRUE(console.Add(0, ColourRef{0}, "zero"));
  EXPECT_TRUE(console.Add(-4, ColourRef{0}, "negative"));
  EXPECT_FALSE(console.Add(99, ColourRef{0}, "huge"));
  console.SetLevel(6);
  EXPECT_EQ(console.ShownEntries().size(), 3u);
}

TEST(DebugConsole, KeepsOnlyTheNewestMessagesAtCapacity) {
  DebugConsole console;
  for (size_t i = 0; i < DebugConsole::kCapacity + 5; ++i) console.Add(1, ColourRef{0}, std::to_string(i));
  EXPECT_EQ(console.Entries().size(), DebugConsole::kCapacity);
  EXPECT_EQ(console.Entries().front().text, "5");
}

// --- recent files ----------------------------------------------------------------------

TEST(RecentFileList, KeepsFourNewestFirstWithoutDuplicates) {
  RecentFileList list;
  for (const char* p : {"/a", "/b", "/c", "/d", "/e", "/c"}) list.Add(p);
  EXPECT_EQ(list.Entries(), (std::vector<std::string>{"/c", "/e", "/d", "/b"}));
}

TEST(RecentFileList, RoundTripsThroughTheProfileAsFile1ToFile4) {
  TempFolder dir;
  Profile profile(dir.File("r.ini"));
  RecentFileList list;
  list.Add("/one.vlb");
  list.Add("/二.vlb");
  list.Save(profile);
  Profile reread(dir.File("r.ini"));
  EXPECT_EQ(reread.GetString("Recent File List", "File1", ""), "/二.vlb");
  EXPECT_EQ(reread.GetString("Recent File List", "File2", ""), "/one.vlb");
  RecentFileList back;
  back.Load(reread);
  EXPECT_EQ(back.Entries(), list.Entries());
  // Fewer entries later removes the stale keys.
  back.Remove("/one.vlb");
  back.Save(reread);
  EXPECT_FALSE(Profile(dir.File("r.ini")).Has("Recent File List", "File2"));
}

// --- shell registration ----------------------------------------------------------------

TEST(ShellRegistration, WritesTheMimePackageAndDesktopEntryBelowXdgDataHome) {
  TempFolder dir;
  setenv("XDG_DATA_HOME", dir.Path().c_str(), 1);
  ASSERT_TRUE(RegisterShellFileTypes("/opt/my varnel/varnel"));
  std::ifstream mime(dir.Path() / "mime/packages/varnel-layer.xml");
  std::stringstream mimeText;
  mimeText << mime.rdbuf();
  EXPECT_NE(mimeText.str().find("<glob pattern=\"*.vlb\""), std::string::npos);
  EXPECT_NE(mimeText.str().find("Varnel Layer"), std::string::npos);
  std::ifstream desktop(dir.Path() / "applications/varnel.desktop");
  std::stringstream desktopText;
  desktopText << desktop.rdbuf();
  EXPECT_NE(desktopText.str().find("Exec=\"/opt/my varnel/varnel\" %f\n"), std::string::npos);
  EXPECT_NE(desktopText.str().find(std::string("MimeType=") + kLayerMimeType + ";"), std::string::npos);
  unsetenv("XDG_DATA_HOME");
}

TEST(ShellRegistration, AnswersFalseWhenTheFolderCannotBeMade) {
  TempFolder dir;
  const std::string blocker = dir.File("file");
  std::ofstream(blocker) << "x";
  setenv("XDG_DATA_HOME", blocker.c_str(), 1);
  EXPECT_FALSE(RegisterShellFileTypes("/usr/bin/varnel"));
  unsetenv("XDG_DATA_HOME");
}

}  // namespace
}  // namespace varnel
