// The filter host against the probe libraries: discovery, which interface lists and runs what,
// the preview's and the real run's entry points, abort, the pixel callbacks at every edge, the
// texts the dialog shows and copies, and the run on the canvas.

#include <gtest/gtest.h>

#include <dirent.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include "filters/filter_host.h"
#include "platform/dynamic_library.h"
#include "platform/host.h"
#include "tests/support/temp_folder.h"

namespace varnel {
namespace {

constexpr const char* kAllProbes[] = {"probe_name", "probe_alias", "probe_both", "probe_partial", "probe_none"};
constexpr uint32_t kGrey = 0xFF808080u;

// A Filter folder of copies of the probes, and a text file posing as a library.
bool CopyProbes(const test::TempFolder& folder) {
  for (const char* probe : kAllProbes)
    std::filesystem::copy_file(std::string(VARNEL_FILTER_PROBE_DIR) + "/" + probe + ".so",
                               folder.File(std::string(probe) + ".so"));
  std::ofstream(folder.File("broken.so")) << "not a library";
  std::ofstream(folder.File("notes.txt")) << "not a library either";
  return true;
}

struct ProbeFolder {
  test::TempFolder folder;
  bool copied = CopyProbes(folder);
  FilterLibraryList list{folder.Path().string()};
  FilterSelection Select(const char* library, const char* filter) const { return *SelectFilter(list, library, filter); }
};

// The probes write alpha = the entry's mark, red = the value count, green:blue = their sum.
constexpr uint32_t Marker(uint32_t mark, uint32_t count, uint32_t sum) { return mark << 24 | count << 16 | sum; }

void Fill(ImageSurface& image, Size size, uint32_t colour) {
  ASSERT_EQ(image.Create(size), 0);
  for (int32_t y = 0; y < size.height; ++y) std::fill_n(image.Row(y), size.width, colour);
  image.DiscardBackups();
}

std::vector<uint32_t> RowOf(const ImageSurface& image, int32_t y, int32_t count) {
  return {image.Row(y), image.Row(y) + count};
}

TEST(FilterDiscovery, ListsEverySharedObjectInFileSystemOrderEachWithTheInterfaceItPrefers) {
  const ProbeFolder probes;
  std::vector<std::string> expected;
  DIR* directory = opendir(probes.folder.Path().c_str());
  while (const dirent* entry = readdir(directory))
    if (std::string name = entry->d_name; name.ends_with(".so")) expected.push_back(name);
  closedir(directory);
  std::vector<std::string> names;
  for (const FilterTreeNode& node : BuildFilterTree(probes.list)) names.push_back(node.library);
  EXPECT_EQ(names, expected);

  struct Case {
    const char* library;
    FilterInterface interface;
    std::vector<std::string> filters;
  };
  const Case cases[] = {
      {"probe_name.so", FilterInterface::kName, {"Fill", "Bare", "Seven"}},
      {"probe_alias.so", FilterInterface::kAlias, {"Stamp", "Other"}},
      {"probe_both.so", FilterInterface::kName, {"Named"}},
      {"probe_partial.so", FilterInterface::kAlias, {"Partial"}},
      {"probe_none.so", FilterInterface::kNone, {}},
      {"broken.so", FilterInterface::kNone, {}},
  };
  ASSERT_EQ(names.size(), std::size(cases));
  for (const Case& c : cases) {
    const FilterLibrary* library = probes.list.Find(c.library);
    ASSERT_NE(library, nullptr) << c.library;
    EXPECT_EQ(library->Interface(), c.interface) << c.library;
    EXPECT_EQ(library->FilterNames(), c.filters) << c.library;
  }
  EXPECT_EQ(probes.list.Find("PROBE_NAME.so"), nullptr);
  EXPECT_TRUE(FilterLibraryList("/nonexistent/Filter").Libraries().empty());
}

TEST(FilterParameters, NameInterfaceFirstAliasOnlyWithAllThreeExportsAndTheirTextsInTheBatchLineFormat) {
  const ProbeFolder probes;
  std::vector<FilterParameter> seven;
  for (int32_t i = 0; i < 7; ++i) seven.push_back({"P" + std::to_string(i), -50, 100, 10 * i + 1});
  struct Case {
    const char* library;
    const char* filter;
    std::vector<FilterParameter> expected;
    std::vector<int32_t> values;
    std::vector<std::string> labels;
    std::string copied;
  };
  const Case cases[] = {
      {"probe_name.so", "Fill", {{"Red", 0, 255, 10}, {"Green", 0, 255, 20}}, {7, 255}, {"p0=7", "p1=255"},
       "probe_name.so:Fill:7,255"},
      {"probe_name.so", "Bare", {}, {}, {}, "probe_name.so:Bare:"},
      {"probe_name.so", "Seven", seven, {-50, 0, 1, 2, 3, 100, 61},
       {"p0=-50", "p1=0", "p2=1", "p3=2", "p4=3", "p5=100"}, "probe_name.so:Seven:-50,0,1,2,3,100,61"},
      {"probe_alias.so", "Stamp", {{"Level", 0, 255, 50}}, {9}, {"a7.0=9"}, "probe_alias.so:Stamp:9"},
      {"probe_alias.so", "Nobody", {}, {}, {}, "probe_alias.so:Nobody:"},  // a negative alias
      {"probe_both.so", "Named", {{"N", 0, 9, 1}}, {3}, {"N/A"}, "probe_both.so:Named:3"},  // neither text export
      {"probe_partial.so", "Partial", {}, {}, {}, "probe_partial.so:Partial:"},  // AliasFilterParams missing
  };
  for (const Case& c : cases) {
    const FilterSelection selection = probes.Select(c.library, c.filter);
    EXPECT_EQ(selection.parameters, c.expected) << c.filter;
    EXPECT_EQ(ValueTexts(selection, c.values), c.labels) << c.filter;
    EXPECT_EQ(CopyParameterText(selection, c.values), c.copied) << c.filter;
  }
  // A top-level item's parent has no text: no library is called that.
  EXPECT_FALSE(SelectFilter(probes.list, "", "probe_name.so"));
  // Six slots; the seventh runs at its default.
  const FilterSelection sevenSelected = probes.Select("probe_name.so", "Seven");
  EXPECT_EQ(sevenSelected.SlotCount(), 6);
  EXPECT_EQ(RunValues(sevenSelected, {5, 4, 3, 2, 1, 0}), (std::vector<int32_t>{5, 4, 3, 2, 1, 0, 61}));
}

TEST(FilterScrollBars, LinesMoveOnePagesAndEndsFiveTheThumbSetsAndOnlyTheEndPreviews) {
  using enum ScrollAction;
  const std::tuple<ScrollAction, int32_t, int32_t> cases[] = {
      {kLineLeft, 10, 9},      {kLineRight, 10, 11}, {kPageLeft, 10, 5},      {kPageRight, 10, 15},
      {kLeftEnd, 10, 5},       {kRightEnd, 10, 15},  {kThumbTrack, 10, 37},   {kThumbPosition, 10, 37},
      {kEndScroll, 10, 10},    {kPageLeft, 2, 0},    {kRightEnd, 98, 100},
  };
  for (const auto& [action, position, expected] : cases) {
    EXPECT_EQ(ScrollBarPosition(action, position, 37, 0, 100), expected) << int(action);
    EXPECT_EQ(ScrollActionEndsScroll(action), action == kEndScroll) << int(action);
  }
}

TEST(FilterPreviewSource, WideLayersFillTheWidthOthersTheHeightDegenerateOnesShowZeroDivision) {
  const std::tuple<Size, Size> cases[] = {
      {{200, 100}, {100, 50}}, {{100, 200}, {50, 100}}, {{64, 64}, {100, 100}}, {{300, 7}, {100, 2}},
  };
  for (const auto& [layerSize, previewSize] : cases) {
    ImageSurface layer;
    Fill(layer, layerSize, kGrey);
    FilterPreview preview;
    ASSERT_TRUE(preview.Load(layer, 100));
    EXPECT_EQ(preview.Surface().GetSize(), previewSize) << layerSize.width << "x" << layerSize.height;
  }
  // 5 × 2 into a side of 3 is 3 × 1: columns 0, 1 and 3 (x × 5 / 3) of row 0.
  ImageSurface layer;
  Fill(layer, {5, 2}, 0);
  for (uint32_t x = 0; x < 5; ++x) layer.Row(0)[x] = 0xFF000000u + x;
  FilterPreview preview;
  ASSERT_TRUE(preview.Load(layer, 3));
  EXPECT_EQ(RowOf(preview.Surface(), 0, 3), (std::vector<uint32_t>{0xFF000000u, 0xFF000001u, 0xFF000003u}));

  RecordingHost host;
  ScopedHost scoped(host);
  ImageSurface thin, empty;
  Fill(thin, {1, 1000}, kGrey);
  EXPECT_FALSE(preview.Load(thin, 100));  // 1 × 100 / 1000 = 0
  EXPECT_FALSE(preview.Load(empty, 100));
  EXPECT_FALSE(preview.IsLoaded());
  ASSERT_EQ(host.boxes.size(), 2u);
  EXPECT_EQ(host.boxes[1].text, "ゼロ除算");
}

TEST(FilterEntryPoints, PreviewNeverCallsProcessFilterTheRealRunPrefersIt) {
  const ProbeFolder probes;
  struct Case {
    const char* library;
    const char* filter;
    std::vector<int32_t> values;
    uint32_t preview, real;
  };
  const Case cases[] = {
      {"probe_name.so", "Fill", {1, 2}, Marker(0x11, 2, 3), Marker(0x22, 2, 3)},
      {"probe_name.so", "Bare", {}, Marker(0x11, 0, 0), Marker(0x22, 0, 0)},
      {"probe_alias.so", "Stamp", {40}, Marker(0x33, 1, 40), Marker(0x33, 1, 40)},
      {"probe_both.so", "Named", {4}, Marker(0x44, 1, 4), Marker(0x44, 1, 4)},
      {"probe_partial.so", "Partial", {}, Marker(0x66, 0, 0), Marker(0x66, 0, 0)},
      {"probe_none.so", "Any", {}, kGrey, kGrey},
  };
  for (const Case& c : cases) {
    const FilterSelection selection = probes.Select(c.library, c.filter);
    ImageSurface layer;
    Fill(layer, {8, 4}, kGrey);
    FilterPreview preview;
    ASSERT_TRUE(preview.Load(layer, 8));
    preview.Run(selection, c.values, nullptr);
    EXPECT_EQ(preview.Surface().Row(3)[7], c.preview) << c.library;
    FilterCommand command(selection, c.values);
    command.Execute(layer, 0);
    EXPECT_EQ(layer.Row(3)[7], kGrey) << c.library << ": pass 0 does nothing";
    command.Execute(layer, 1);
    EXPECT_EQ(layer.Row(3)[7], c.real) << c.library;
  }
  // Each preview run starts again from the unfiltered copy.
  ImageSurface layer;
  Fill(layer, {2, 2}, kGrey);
  FilterPreview preview;
  ASSERT_TRUE(preview.Load(layer, 2));
  preview.Run(probes.Select("probe_alias.so", "Stamp"), {1}, nullptr);
  preview.Run(probes.Select("probe_alias.so", "Nobody"), {}, nullptr);
  EXPECT_EQ(preview.Surface().Row(0)[0], kGrey);
  // At most 256 values reach the real run.
  FilterCommand command(probes.Select("probe_name.so", "Fill"), std::vector<int32_t>(300, 1));
  command.Execute(layer, 1);
  EXPECT_EQ(layer.Row(0)[0], Marker(0x22, 0, 256));
}

TEST(FilterEntryPoints, TheOwnerWindowReachesTheFilterAndOpenConfig) {
  const ProbeFolder probes;
  int dialog = 0, progressWindow = 0;
  DynamicLibrary alias, named;
  ASSERT_TRUE(alias.Open(probes.folder.File("probe_alias.so")));
  ASSERT_TRUE(named.Open(probes.folder.File("probe_name.so")));
  ImageSurface layer;
  Fill(layer, {4, 4}, kGrey);
  FilterPreview preview;
  ASSERT_TRUE(preview.Load(layer, 4));
  preview.Run(probes.Select("probe_alias.so", "Stamp"), {0}, &dialog);
  EXPECT_EQ(alias.Function<void* (*)()>("ProbeLastOwner")(), &dialog);
  FilterCommand command(probes.Select("probe_alias.so", "Stamp"), {0}, &progressWindow);
  command.Execute(layer, 1);
  EXPECT_EQ(alias.Function<void* (*)()>("ProbeLastOwner")(), &progressWindow);

  probes.Select("probe_name.so", "Fill").library->OpenConfig("Fill", &dialog);
  void* owner = nullptr;
  EXPECT_STREQ(named.Function<const char* (*)(void**)>("ProbeLastConfig")(&owner), "Fill");
  EXPECT_EQ(owner, &dialog);
  EXPECT_FALSE(probes.list.Find("probe_alias.so")->HasOpenConfig());
}

TEST(FilterProgressAndAbort, TheFilterSeesTheAbortThroughProgressHandlerAndWhatItWroteStays) {
  const ProbeFolder probes;
  for (const auto& [library, filter] : {std::pair{"probe_name.so", "Bare"}, std::pair{"probe_alias.so", "Other"}}) {
    ImageSurface layer;
    Fill(layer, {4, 4}, kGrey);
    FilterCommand command(probes.Select(library, filter), {});
    std::vector<int32_t> seen;
    command.progress.onPercent = [&](int32_t percent) {
      seen.push_back(percent);
      command.progress.cancel = true;  // "中断" during the first row
    };
    int dialogRuns = 0;
    command.runInProgress = [&](const std::function<void()>& run) { ++dialogRuns, run(); };
    command.Execute(layer, 1);
    EXPECT_EQ(dialogRuns, 1);
    EXPECT_EQ(seen, std::vector<int32_t>{25}) << library;
    EXPECT_NE(layer.Row(0)[0], kGrey) << library;
    EXPECT_EQ(layer.Row(1)[0], kGrey) << library;
  }
  EXPECT_EQ(FilterProgressHandler(0, 50), 0);  // outside a run
}

TEST(FilterCallbacks, GetHostProcKnowsExactlyItsFourNames) {
  const std::pair<const char*, VarnelHostProc> cases[] = {
      {"GetLine", reinterpret_cast<VarnelHostProc>(&FilterGetLine)},
      {"SetLine", reinterpret_cast<VarnelHostProc>(&FilterSetLine)},
      {"ProgressHandler", reinterpret_cast<VarnelHostProc>(&FilterProgressHandler)},
      {"GetImageSize", reinterpret_cast<VarnelHostProc>(&FilterGetImageSize)},
      {"getline", nullptr}, {"GETLINE", nullptr}, {"GetLine ", nullptr}, {"GetPixel", nullptr}, {"", nullptr},
  };
  for (const auto& [name, expected] : cases) EXPECT_EQ(FilterGetHostProc(name, 0), expected) << name;
  EXPECT_EQ(FilterGetHostProc(nullptr, 0), nullptr);
}

// A 4 × 3 image whose pixel (x, y) is 0xFF000000 + 16 y + x.
void Numbered(ImageSurface& image) {
  Fill(image, {4, 3}, 0);
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 4; ++x) image.Row(y)[x] = 0xFF000000u + 16u * y + x;
  image.DiscardBackups();
}

struct LineCase {
  const char* name;
  int32_t y, left, right;
  std::vector<uint32_t> got;  // GetLine into sentinels s; SetLine writes n + i from buffer place i
  std::vector<uint32_t> row;  // image row y after SetLine (row 0 for rows outside)
};

TEST(FilterCallbacks, GetLineAndSetLineTouchOnlyTheInsidePixelsAtTheirPlaces) {
  const uint32_t s = 0xDEADBEEFu, p = 0xFF000000u, n = 0xAA000000u;
  const LineCase cases[] = {
      {"whole row", 1, 0, 3, {p + 16, p + 17, p + 18, p + 19}, {n, n + 1, n + 2, n + 3}},
      {"row above", -1, 0, 3, {s, s, s, s}, {p, p + 1, p + 2, p + 3}},
      {"row below", 3, 0, 3, {s, s, s, s}, {p, p + 1, p + 2, p + 3}},
      {"left edge", 2, -2, 1, {s, s, p + 32, p + 33}, {n + 2, n + 3, p + 34, p + 35}},
      {"right edge", 0, 2, 5, {p + 2, p + 3, s, s}, {p, p + 1, n, n + 1}},
      {"both edges", 0, -1, 4, {s, p, p + 1, p + 2, p + 3, s}, {n + 1, n + 2, n + 3, n + 4}},
      {"wholly left", 0, -3, -1, {s, s, s}, {p, p + 1, p + 2, p + 3}},
      {"right to left, normalised", 1, 2, 0, {p + 16, p + 17, p + 18}, {n, n + 1, n + 2, p + 19}},
  };
  for (const LineCase& c : cases) {
    ImageSurface image;
    Numbered(image);
    ScopedFilterImage current(&image);
    std::vector<uint32_t> buffer(c.got.size(), s), source;
    for (uint32_t i = 0; i < c.got.size(); ++i) source.push_back(n + i);
    EXPECT_EQ(FilterGetLine(c.y, c.left, c.right, buffer.data()), 1) << c.name;
    EXPECT_EQ(buffer, c.got) << c.name;
    EXPECT_EQ(FilterSetLine(c.y, c.left, c.right, source.data()), 1) << c.name;
    const bool inside = c.y >= 0 && c.y < 3;
    EXPECT_EQ(RowOf(image, inside ? c.y : 0, 4), c.row) << c.name;
    const bool wrote = inside && c.right >= 0 && c.left <= 3;
    EXPECT_EQ(image.SavedTileCount(), wrote ? 1 : 0) << c.name << ": backed up for undo";
  }
  ImageSurface image, empty;
  Numbered(image);
  uint32_t one = s;
  int32_t width = -1, height = -1;
  EXPECT_EQ(FilterGetLine(0, 0, 0, &one), 0);  // no current image
  EXPECT_EQ(FilterSetLine(0, 0, 0, &one), 0);
  EXPECT_EQ(FilterGetImageSize(0, &width, &height), 0);
  {
    ScopedFilterImage current(&image);
    EXPECT_EQ(FilterGetLine(INT32_MIN, INT32_MIN, INT32_MAX, &one), 1);
    EXPECT_EQ(one, s);
    EXPECT_EQ(FilterGetImageSize(0, &width, &height), 1);
    EXPECT_EQ(std::pair(width, height), std::pair(4, 3));
  }
  ScopedFilterImage current(&empty);
  EXPECT_EQ(FilterGetImageSize(0, &width, &height), 1);
  EXPECT_EQ(std::pair(width, height), std::pair(0, 0));
}

std::unique_ptr<Layer> GreyLayer(Size size) {
  auto layer = std::make_unique<Layer>();
  Fill(*layer, size, kGrey);
  return layer;
}

TEST(FilterRun, TheActiveLayerGetsItsUndoStepBeforeTheCallAndTheLogTellsNameAndTime) {
  const ProbeFolder probes;
  for (const auto& [library, filter] : {std::pair{"probe_name.so", "Fill"}, std::pair{"probe_alias.so", "Stamp"}}) {
    RecordingHost host;
    ScopedHost scoped(host);
    Canvas canvas;
    canvas.InitWithLayer(GreyLayer({20, 20}));
    FilterCommand command(probes.Select(library, filter), {1, 2});
    canvas.ApplyOperation(command);
    Layer& layer = *canvas.ActiveLayer();
    EXPECT_NE(layer.Row(19)[19], kGrey) << library;
    EXPECT_EQ(layer.SavedTileCount(), 0) << library << ": nothing left to join the next step";
    ASSERT_EQ(host.debugMessages.size(), 2u);
    EXPECT_EQ(host.debugMessages[0].text, std::string("Filter:") + filter);
    EXPECT_EQ(host.debugMessages[0].level, 1);
    EXPECT_EQ(host.debugMessages[0].colour, ColourRef{0x282828});
    EXPECT_TRUE(std::regex_match(host.debugMessages[1].text, std::regex("[0-9]+ msec")));
    EXPECT_EQ(host.debugMessages[1].level, 2);
    EXPECT_EQ(canvas.Undo(), 0);
    EXPECT_EQ(layer.Row(19)[19], kGrey) << library;
  }
}

TEST(FilterRun, OnASoftSelectionTheResultMergesBackThroughTheCoverage) {
  const ProbeFolder probes;
  RecordingHost host;
  ScopedHost scoped(host);
  Canvas canvas;
  canvas.InitWithLayer(GreyLayer({6, 4}));
  auto selection = std::make_unique<Region>();  // columns 1…4 of row 1: 255, 128, 64, 0
  ASSERT_EQ(selection->Create({1, 1, 4, 1}, 0), 0);
  std::copy_n(std::vector<uint8_t>{255, 128, 64, 0}.begin(), 4, selection->Row(0));
  canvas.SetSelection(std::move(selection));
  FilterCommand command(probes.Select("probe_name.so", "Bare"), {});
  canvas.ApplyOperation(command);
  // ProcessFilter writes 0x22000000; each channel moves from the grey by (to − from) × m >> 8.
  const auto mix = [](int32_t from, int32_t to, int32_t m) { return static_cast<uint32_t>(from + (((to - from) * m) >> 8)); };
  const auto blended = [&](int32_t m) { return mix(0xFF, 0x22, m) << 24 | mix(0x80, 0, m) * 0x010101u; };
  const Layer& layer = *canvas.ActiveLayer();
  EXPECT_EQ(RowOf(layer, 1, 6), (std::vector<uint32_t>{kGrey, 0x22000000u, blended(128), blended(64), kGrey, kGrey}));
  EXPECT_EQ(RowOf(layer, 0, 6), std::vector<uint32_t>(6, kGrey));
  EXPECT_EQ(canvas.Undo(), 0);
  EXPECT_EQ(RowOf(layer, 1, 6), std::vector<uint32_t>(6, kGrey));
}

}  // namespace
}  // namespace varnel
