// The gateway's result buffer rules and writing pictures through save plug-ins.

#include "iogate/gateway.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/host.h"
#include "tests/iogate/iogate_test_support.h"

namespace varnel::iogate {
namespace {

using testing::ProgramFolder;

TEST(CopyResultPath, APathOfExactlySizeMinusOneCharactersFits) {
  char buffer[8];
  std::memset(buffer, 'z', sizeof buffer);
  EXPECT_EQ(CopyResultPath("/a/b/cd", buffer, 8), 0);
  EXPECT_STREQ(buffer, "/a/b/cd");
}

TEST(CopyResultPath, OneCharacterMoreGivesMinusOneAndAZeroedBuffer) {
  char buffer[8];
  std::memset(buffer, 'z', sizeof buffer);
  EXPECT_EQ(CopyResultPath("/a/b/cde", buffer, 8), -1);
  for (char c : buffer) EXPECT_EQ(c, '\0');
}

TEST(CopyResultPath, TheWholeBufferIsZeroedBeforeAShortPathIsCopied) {
  char buffer[16];
  std::memset(buffer, 'z', sizeof buffer);
  EXPECT_EQ(CopyResultPath("/x", buffer, 16), 0);
  for (size_t i = 2; i < sizeof buffer; ++i) EXPECT_EQ(buffer[i], '\0') << i;
}

TEST(CopyResultPath, NoPathOrNoUsableBufferIsMinusOne) {
  char buffer[4] = {'z', 'z', 'z', 'z'};
  EXPECT_EQ(CopyResultPath("", buffer, 4), -1);
  EXPECT_EQ(buffer[0], '\0');
  EXPECT_EQ(CopyResultPath("/x", nullptr, 4), -1);
  buffer[0] = 'z';
  EXPECT_EQ(CopyResultPath("/x", buffer, 0), -1);
  EXPECT_EQ(CopyResultPath("/x", buffer, -5), -1);
  EXPECT_EQ(buffer[0], 'z');
}

TEST(PathExtension, IsTheTextAfterTheLastDotOfTheFileName) {
  EXPECT_EQ(PathExtension("/a/b.c/pic.tar.JPG"), "JPG");
  EXPECT_EQ(PathExtension("/a/b.c/pic"), "");
  EXPECT_EQ(PathExtension("/a/pic."), "");
  EXPECT_EQ(PathExtension("pic.png"), "png");
}

struct Picture {
  VarnelWriteInfo info{};
  std::vector<uint32_t> pixels;
  Picture(int32_t width, int32_t height) : pixels(static_cast<size_t>(width) * height, 0xFF332211u) {
    info.header = testing::Header(width, height, 32);
  }
};

class WriteImageTest : public ::testing::Test {
 protected:
  // Kept loaded, so that the plug-ins' call counts can be read afterwards.
  const PluginList& Plugins() {
    if (!m_loaded) m_plugins.Load(m_folder.Bin());
    m_loaded = true;
    return m_plugins;
  }
  ProgramFolder m_folder;
  PluginList m_plugins;
  bool m_loaded = false;
};

TEST_F(WriteImageTest, WithTwoPluginsSavingJpgTheOneFoundFirstWrites) {
  const std::string a = m_folder.Install("jpeg_a", "a.spi");
  const std::string b = m_folder.Install("jpeg_b", "b.spi");
  const Picture picture(5, 3);
  const std::string path = m_folder.Picture("out.jpg");
  WriteImageThroughPlugins(Plugins(), path.c_str(), &picture.info, picture.pixels.data());
  EXPECT_EQ(testing::ReadText(path), "A 5 3 17");
  EXPECT_EQ(testing::FakeLogOf(a)->writeImage, 1);
  EXPECT_EQ(testing::FakeLogOf(b)->writeImage, 0);
}

TEST_F(WriteImageTest, TheExtensionIsAskedForAsItIsWritten) {
  m_folder.Install("jpeg_b", "b.spi");
  const Picture picture(2, 2);
  const std::string path = m_folder.Picture("OUT.JpG");
  WriteImageThroughPlugins(Plugins(), path.c_str(), &picture.info, picture.pixels.data());
  EXPECT_EQ(testing::ReadText(path), "B 2 2 17");
}

TEST_F(WriteImageTest, NothingIsWrittenWithoutAPluginForTheExtension) {
  m_folder.Install("jpeg_a", "a.spi");
  m_folder.Install("reader", "b.spi");
  const Picture picture(2, 2);
  for (const char* name : {"out.png", "out", "out.jpg.png"}) {
    const std::string path = m_folder.Picture(name);
    WriteImageThroughPlugins(Plugins(), path.c_str(), &picture.info, picture.pixels.data());
    EXPECT_FALSE(std::filesystem::exists(path)) << name;
  }
}

TEST_F(WriteImageTest, AMissingOrUnusablePictureIsNeverHandedOn) {
  const std::string a = m_folder.Install("jpeg_a", "a.spi");
  const PluginList& plugins = Plugins();
  const std::string path = m_folder.Picture("out.jpg");
  Picture picture(2, 2);
  WriteImageThroughPlugins(plugins, nullptr, &picture.info, picture.pixels.data());
  WriteImageThroughPlugins(plugins, path.c_str(), nullptr, picture.pixels.data());
  WriteImageThroughPlugins(plugins, path.c_str(), &picture.info, nullptr);
  picture.info.header.biBitCount = 24;
  WriteImageThroughPlugins(plugins, path.c_str(), &picture.info, picture.pixels.data());
  picture.info.header = testing::Header(0, 2, 32);
  WriteImageThroughPlugins(plugins, path.c_str(), &picture.info, picture.pixels.data());
  picture.info.header = testing::Header(2, 0, 32);
  WriteImageThroughPlugins(plugins, path.c_str(), &picture.info, picture.pixels.data());
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_EQ(testing::FakeLogOf(a)->writeImage, 0);
}

TEST(Gateway, LoadsTheProgramFoldersPluginsOnceAndKeepsThem) {
  ProgramFolder folder;
  folder.Install("jpeg_a", "a.spi");
  Gateway gateway;
  EXPECT_EQ(gateway.Plugins().Size(), 1u);
  folder.Install("jpeg_b", "b.spi");
  EXPECT_EQ(gateway.Plugins().Size(), 1u);
  gateway.ForgetPluginsForTesting();
  EXPECT_EQ(gateway.Plugins().Size(), 2u);
}

}  // namespace
}  // namespace varnel::iogate
