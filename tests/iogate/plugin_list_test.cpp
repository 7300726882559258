// The gateway's plug-in list: what is loaded from the program folder, in which order, and the
// warning for every plug-in beyond the fiftieth.

#include "iogate/plugin_list.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/host.h"
#include "tests/iogate/iogate_test_support.h"

namespace varnel::iogate {
namespace {

using testing::ProgramFolder;

std::vector<std::string> Names(const PluginList& list) {
  std::vector<std::string> names;
  for (const auto& plugin : list.Plugins()) names.push_back(std::filesystem::path(plugin->path).filename().string());
  return names;
}

TEST(PluginList, LoadsEverySpiFileOfTheFolderInNameOrderAndNothingElse) {
  ProgramFolder folder;
  folder.Install("multi", "c.spi");
  folder.Install("reader", "a.spi");
  folder.Install("jpeg_a", "B.SPI");
  folder.Install("jpeg_b", "d.spi.bak");
  folder.Install("jpeg_b", "e.so");
  testing::WriteBytes(folder.Bin() + "/broken.spi", {'n', 'o', 't', ' ', 'e', 'l', 'f'});
  std::filesystem::create_directory(folder.Bin() + "/folder.spi");
  RecordingHost host;
  ScopedHost scoped(host);
  PluginList list;
  list.Load(folder.Bin());
  EXPECT_EQ(Names(list), (std::vector<std::string>{"B.SPI", "a.spi", "c.spi"}));
  EXPECT_TRUE(host.boxes.empty());
}

TEST(PluginList, EntryPointsAreLookedUpAndMissingOnesStayNull) {
  ProgramFolder folder;
  folder.Install("reader", "a.spi");
  folder.Install("jpeg_a", "b.spi");
  PluginList list;
  list.Load(folder.Bin());
  ASSERT_EQ(list.Size(), 2u);
  const PicturePlugin& reader = *list.Plugins()[0];
  EXPECT_NE(reader.getPluginInfo, nullptr);
  EXPECT_NE(reader.isSupported, nullptr);
  EXPECT_NE(reader.getPicture, nullptr);
  EXPECT_NE(reader.getPreview, nullptr);
  EXPECT_EQ(reader.isSaveSupported, nullptr);
  EXPECT_EQ(reader.openConfig, nullptr);
  EXPECT_FALSE(reader.CanSave());
  const PicturePlugin& saver = *list.Plugins()[1];
  EXPECT_TRUE(saver.CanSave());
  EXPECT_NE(saver.getSupportFormatFilter, nullptr);
  EXPECT_NE(saver.getSupportFormatDescriptor, nullptr);
  EXPECT_NE(saver.openConfig, nullptr);
  EXPECT_EQ(saver.isSupported, nullptr);
}

TEST(PluginList, AMissingFolderGivesAnEmptyList) {
  PluginList list;
  list.Load("/nonexistent/varnel-iogate");
  EXPECT_EQ(list.Size(), 0u);
}

struct CountCase {
  int plugins;
  size_t warnings;
};

class PluginCount : public ::testing::TestWithParam<CountCase> {};

TEST_P(PluginCount, EveryPluginBeyondTheFiftiethWarnsOnceAndIsLoadedAllTheSame) {
  ProgramFolder folder;
  for (int i = 0; i < GetParam().plugins; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "p%02d.spi", i);
    folder.Install("no_description", name);
  }
  RecordingHost host;
  ScopedHost scoped(host);
  PluginList list;
  list.Load(folder.Bin());
  EXPECT_EQ(list.Size(), static_cast<size_t>(GetParam().plugins));
  ASSERT_EQ(host.boxes.size(), GetParam().warnings);
  for (const auto& box : host.boxes) EXPECT_EQ(box.text, "プラグインが多すぎます！");
}

INSTANTIATE_TEST_SUITE_P(Counts, PluginCount,
                         ::testing::Values(CountCase{50, 0}, CountCase{51, 1}, CountCase{53, 3}),
                         [](const auto& info) { return std::to_string(info.param.plugins) + "Plugins"; });

TEST(PluginList, FindSaverAsksInListOrderAndTakesTheFirstThatAnswersZero) {
  ProgramFolder folder;
  folder.Install("reader", "a.spi");
  const std::string first = folder.Install("jpeg_a", "b.spi");
  folder.Install("jpeg_b", "c.spi");
  PluginList list;
  list.Load(folder.Bin());
  PicturePlugin* saver = list.FindSaver("jpg");
  ASSERT_NE(saver, nullptr);
  EXPECT_EQ(saver->path, first);
  EXPECT_EQ(list.FindSaver("JPG"), saver);
  EXPECT_EQ(list.FindSaver("png"), nullptr);
  EXPECT_EQ(list.FindSaver(""), nullptr);
}

TEST(PluginList, FindReaderTakesTheFirstPluginThatAcceptsTheFile) {
  ProgramFolder folder;
  folder.Install("multi", "a.spi");
  const std::string first = folder.Install("reader_b", "b.spi");
  folder.Install("reader", "c.spi");
  const std::string picture = folder.Picture("x.fk1");
  testing::WriteFake24(picture, 2, 2, [](int, int) { return 0xFF0000u; });
  PluginList list;
  list.Load(folder.Bin());
  PicturePlugin* reader = list.FindReader(picture);
  ASSERT_NE(reader, nullptr);
  EXPECT_EQ(reader->path, first);
  testing::WriteBytes(folder.Picture("other.fk1"), {'n', 'o', 'p', 'e', 0, 0, 0, 0, 0});
  EXPECT_EQ(list.FindReader(folder.Picture("other.fk1")), nullptr);
  EXPECT_EQ(list.FindReader(folder.Picture("missing.fk1")), nullptr);
}

TEST(PluginList, InfoTextsNeverReachBeyondTheBufferEvenWhenThePluginFillsItAll) {
  ProgramFolder folder;
  folder.Install("liar", "a.spi");
  PluginList list;
  list.Load(folder.Bin());
  int answer = 0;
  const std::string text = PluginInfoText(*list.Plugins()[0], 2, &answer);
  EXPECT_GT(answer, 1023);
  EXPECT_EQ(text, std::string(1023, 'x'));
}

}  // namespace
}  // namespace varnel::iogate
