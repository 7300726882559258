// The type lists of the open and save dialogs, in the Windows spelling, and their Qt form.

#include "iogate/file_filter.h"

#include <gtest/gtest.h>

#include "tests/iogate/iogate_test_support.h"

namespace varnel::iogate {
namespace {

using testing::ProgramFolder;

constexpr const char* kProgramSaveFilter = "Varnel layer format(*.vlb)| *.vlb;|24bit Bitmap File(*.bmp)| *.bmp;|";

PluginList LoadFrom(const ProgramFolder& folder) {
  PluginList list;
  list.Load(folder.Bin());
  return list;
}

TEST(OpenFilter, WithoutPluginsItOffersAllImageBitmapsAndAllFiles) {
  ProgramFolder folder;
  const PluginList plugins = LoadFrom(folder);
  EXPECT_EQ(WindowsFilterText(OpenFilter(plugins, "")),
            "all image|*.bmp;|Windows Bitmap|*.bmp;|すべてのファイル (*.*)|*.*||");
}

TEST(OpenFilter, PluginEntriesFollowAllImageInListOrderAndTheirPatternsJoinIt) {
  ProgramFolder folder;
  folder.Install("reader", "a.spi");
  folder.Install("jpeg_a", "b.spi");
  const PluginList plugins = LoadFrom(folder);
  EXPECT_EQ(WindowsFilterText(OpenFilter(plugins, "*.vlb;")),
            "all image|*.vlb;*.fk1;*.jpg;*.bmp;|Fake One|*.fk1|JPEG A|*.jpg|Windows Bitmap|*.bmp;|"
            "すべてのファイル (*.*)|*.*||");
}

TEST(OpenFilter, APluginWithPatternsButNoDescriptionIsLeftOutOfTheListAndOfAllImage) {
  ProgramFolder folder;
  folder.Install("no_description", "a.spi");
  folder.Install("reader", "b.spi");
  const PluginList plugins = LoadFrom(folder);
  const std::vector<FilterEntry> entries = OpenFilter(plugins, "");
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[0], (FilterEntry{"all image", "*.fk1;*.bmp;"}));
  EXPECT_EQ(entries[1], (FilterEntry{"Fake One", "*.fk1"}));
  for (const FilterEntry& entry : entries) EXPECT_EQ(entry.patterns.find("*.nd"), std::string::npos);
}

TEST(OpenFilter, APluginWithSeveralFormatsContributesAllTheirPatternsAsOneEntry) {
  ProgramFolder folder;
  folder.Install("multi", "a.spi");
  const std::vector<FilterEntry> entries = OpenFilter(LoadFrom(folder), "");
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[0].patterns, "*.fa;*.fb;*.bmp;");
  EXPECT_EQ(entries[1], (FilterEntry{"Fake A, Fake B", "*.fa;*.fb"}));
}

TEST(OpenFilter, ExtraPatternsWithoutTheClosingSemicolonStillStaySeparate) {
  ProgramFolder folder;
  folder.Install("reader", "a.spi");
  EXPECT_EQ(OpenFilter(LoadFrom(folder), "*.vlb")[0].patterns, "*.vlb;*.fk1;*.bmp;");
}

TEST(OpenFilter, APluginThatAnswersEveryNumberEndsAfterABoundedNumberOfQueries) {
  ProgramFolder folder;
  const std::string liar = folder.Install("liar", "a.spi");
  const PluginList plugins = LoadFrom(folder);
  const std::vector<FilterEntry> entries = OpenFilter(plugins, "");
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(testing::FakeLogOf(liar)->getPluginInfo, 2 * 64);
  EXPECT_LT(entries[1].patterns.size(), size_t{64} * 1024);
}

TEST(OpenFilter, APluginThatThrowsLetsTheExceptionThrough) {
  ProgramFolder folder;
  folder.Install("throw_info", "a.spi");
  const PluginList plugins = LoadFrom(folder);
  EXPECT_ANY_THROW(OpenFilter(plugins, ""));
}

TEST(SaveFilter, TheCallersTypesComeFirstThenEachSavePluginsDescriptionAndFilter) {
  ProgramFolder folder;
  folder.Install("jpeg_a", "a.spi");
  folder.Install("reader", "b.spi");
  folder.Install("jpeg_b", "c.spi");
  EXPECT_EQ(WindowsFilterText(SaveFilter(LoadFrom(folder), kProgramSaveFilter)),
            std::string(kProgramSaveFilter) + "JPEG A(*.jpg)|*.jpg|JPEG B(*.jpg)|*.jpg||");
}

TEST(SaveFilter, APluginWithAnEmptyFilterTextIsLeftOut) {
  ProgramFolder folder;
  folder.Install("empty_save_text", "a.spi");
  EXPECT_EQ(WindowsFilterText(SaveFilter(LoadFrom(folder), kProgramSaveFilter)),
            std::string(kProgramSaveFilter) + "|");
}

TEST(SaveFilter, PluginTextsAreReadUpTo511CharactersWhateverThePluginWrites) {
  ProgramFolder folder;
  folder.Install("liar", "a.spi");
  const std::vector<FilterEntry> entries = SaveFilter(LoadFrom(folder), "");
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].description, std::string(511, 'y'));
  EXPECT_EQ(entries[0].patterns, std::string(511, 'y'));
}

TEST(SaveFilter, ACallerFilterClosedWithItsOwnEmptyEntryStillGetsThePluginTypes) {
  ProgramFolder folder;
  folder.Install("jpeg_a", "a.spi");
  EXPECT_EQ(WindowsFilterText(SaveFilter(LoadFrom(folder), "Windows Bitmap(*.bmp)| *.bmp;||")),
            "Windows Bitmap(*.bmp)| *.bmp;|JPEG A(*.jpg)|*.jpg||");
}

struct ParseCase {
  const char* name;
  const char* filter;
  std::vector<FilterEntry> entries;
};

class ParseWindows : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseWindows, ReadsPairsUpToTheEmptyDescription) {
  EXPECT_EQ(ParseWindowsFilter(GetParam().filter), GetParam().entries);
}

INSTANTIATE_TEST_SUITE_P(
    Filters, ParseWindows,
    ::testing::Values(
        ParseCase{"Empty", "", {}},
        ParseCase{"Program", kProgramSaveFilter,
                  {{"Varnel layer format(*.vlb)", " *.vlb;"}, {"24bit Bitmap File(*.bmp)", " *.bmp;"}}},
        ParseCase{"ClosedList", "A|*.a||B|*.b|", {{"A", "*.a"}}},
        ParseCase{"DescriptionWithoutPatterns", "A|*.a|B", {{"A", "*.a"}}},
        ParseCase{"DescriptionWithoutClosingBar", "A|*.a|B|*.b", {{"A", "*.a"}}},
        ParseCase{"EmptyPatterns", "A||B|*.b|", {{"A", ""}, {"B", "*.b"}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(QtNameFilter, PatternsAreSeparatedBySpacesInsideTheParentheses) {
  EXPECT_EQ(QtNameFilter({"Varnel layer format(*.vlb)", " *.vlb;"}), "Varnel layer format(*.vlb) (*.vlb)");
  EXPECT_EQ(QtNameFilter({"all image", "*.vlb;*.png;*.bmp;"}), "all image (*.vlb *.png *.bmp)");
  EXPECT_EQ(QtNameFilter({"A", "*.a ; *.b;;"}), "A (*.a *.b)");
}

TEST(QtNameFilter, TheWindowsAllFilesPatternMatchesNamesWithoutADotToo) {
  EXPECT_EQ(QtNameFilter({kAllFiles, kAllFilesPatterns}), "すべてのファイル (*.*) (*)");
}

TEST(QtNameFilter, PatternsQtCannotParseAreLeftOutAndLineBreaksLeaveTheDescription) {
  EXPECT_EQ(QtNameFilter({"A\nB", "*.a;(x);*.b"}), "A B (*.a *.b)");
}

TEST(PatternExtension, IsTheFirstPatternsFixedExtension) {
  EXPECT_EQ(PatternExtension(" *.vlb;"), "vlb");
  EXPECT_EQ(PatternExtension("*.jpg;*.jpeg"), "jpg");
  EXPECT_EQ(PatternExtension("*.*"), "");
  EXPECT_EQ(PatternExtension("*"), "");
  EXPECT_EQ(PatternExtension("*.j?g"), "");
  EXPECT_EQ(PatternExtension(""), "");
}

TEST(BareExtension, DropsTheWildcardAndTheDot) {
  EXPECT_EQ(BareExtension("*.VLB"), "VLB");
  EXPECT_EQ(BareExtension(".png"), "png");
  EXPECT_EQ(BareExtension("bmp"), "bmp");
  EXPECT_EQ(BareExtension("*.*"), "");
  EXPECT_EQ(BareExtension(""), "");
}

}  // namespace
}  // namespace varnel::iogate
