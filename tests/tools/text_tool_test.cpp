// The text tool with a fixed coverage in place of the desktop program's fonts: where a click
// places the text, the pixels Enter draws, one undo step, the box shown meanwhile, Escape, the
// selection, and the tool state.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "core/canvas.h"
#include "core/region.h"
#include "core/undo.h"
#include "tools/text_tool.h"

namespace varnel {
namespace {

constexpr uint32_t kWhite = 0xFFFFFFFFu;
// Red through coverage c over white, as a selection blends: green and blue become
// 255 + floor(−255 × c / 256).
constexpr uint32_t kRed = 0xFFFF0000u, kRed128 = 0xFFFF7F7Fu, kRed64 = 0xFFFFBFBFu, kRed32 = 0xFFFFDFDFu,
                   kRed10 = 0xFFFFF5F5u, kRed5 = 0xFFFFFAFAu;

// Four by two pixels of coverage starting one column left of the placed corner.
CoverageMask FixedCoverage(const TextSettings& settings) {
  if (settings.text.empty()) return {};
  return {{-1, 0, 2, 1}, {255, 128, 0, 64, 10, 255, 255, 0}};
}

struct Pixel {
  int32_t x, y;  // canvas
  uint32_t value;
  friend bool operator==(const Pixel&, const Pixel&) = default;
};

struct TextCanvas {
  explicit TextCanvas(int32_t offsetX = 0, int32_t offsetY = 0) {
    StartSpillWriter();
    auto layer = std::make_unique<Layer>();
    EXPECT_EQ(layer->Create({12, 8}), 0);
    layer->SetOffset(offsetX, offsetY);
    canvas.InitWithLayer(std::move(layer));
    settings.text = "あ";
    auto owned = std::make_unique<TextTool>(canvas, FixedCoverage, settings);
    owned->SetColours(MakeColourRef(255, 0, 0), MakeColourRef(255, 255, 255));
    tool = owned.get();
    canvas.SetTool(kTextToolSlot, std::move(owned));
    canvas.SelectTool(kTextToolSlot);
  }
  ~TextCanvas() { StopSpillWriter(); }

  bool Key(int32_t key) { return tool->KeyMessage(kToolKeyDown, key, 1, 0); }
  std::vector<Pixel> Painted() const {
    const Layer& layer = *canvas.ActiveLayer();
    std::vector<Pixel> painted;
    for (int32_t y = 0; y < layer.Height(); ++y)
      for (int32_t x = 0; x < layer.Width(); ++x)
        if (layer.Row(y)[x] != kWhite) painted.push_back({x + layer.OffsetX(), y + layer.OffsetY(), layer.Row(y)[x]});
    return painted;
  }

  Canvas canvas;
  TextSettings settings;
  TextTool* tool;
};

TEST(TextTool, EnterDrawsTheCoverageAtTheClickAsOneUndoStep) {
  struct Case {
    const char* name;
    int32_t offsetX, offsetY, opacity;
    bool selection;  // canvas columns 0…5 only
    std::vector<Pixel> want;
  };
  // Clicked at canvas (5, 4): columns 4…7, rows 4 and 5. At 50 % (128 of 255) each coverage
  // is first scaled by (c × 128 + 127) / 255: 255 → 128, 128 → 64, 64 → 32, 10 → 5.
  const std::vector<Pixel> full = {{4, 4, kRed}, {5, 4, kRed128}, {7, 4, kRed64},
                                   {4, 5, kRed10}, {5, 5, kRed}, {6, 5, kRed}};
  const Case cases[] = {
      {"full opacity", 0, 0, 100, false, full},
      {"half opacity", 0, 0, 50, false, {{4, 4, kRed128}, {5, 4, kRed64}, {7, 4, kRed32}, {4, 5, kRed5}, {5, 5, kRed128}, {6, 5, kRed128}}},
      {"layer moved", 3, 2, 100, false, full},
      {"selection", 0, 0, 100, true, {{4, 4, kRed}, {5, 4, kRed128}, {4, 5, kRed10}, {5, 5, kRed}}},
  };
  for (const Case& c : cases) {
    TextCanvas f(c.offsetX, c.offsetY);
    f.settings.opacity = c.opacity;
    if (c.selection) {
      auto region = std::make_unique<Region>();
      ASSERT_EQ(region->Create({0, 0, 5, 9}, 255), 0);
      f.canvas.SetSelection(std::move(region));
    }
    f.canvas.DeliverEvent(kToolButtonDown, kToolLeftButton, 5, 4, 0);
    f.canvas.DeliverEvent(kToolButtonUp, 0, 5, 4, 0);
    EXPECT_TRUE(f.Painted().empty()) << c.name << ": a click only places";
    EXPECT_TRUE(f.Key(kKeyReturn)) << c.name;
    EXPECT_EQ(f.Painted(), c.want) << c.name;
    uint32_t shown = 0;
    f.canvas.Composite().GetPixel(4, 4, &shown);
    EXPECT_EQ(shown, c.want[0].value) << c.name << ": recomposed";
    ASSERT_EQ(f.canvas.Undo(), 0);
    EXPECT_TRUE(f.Painted().empty()) << c.name;
    ASSERT_EQ(f.canvas.Redo(), 0);
    EXPECT_EQ(f.Painted(), c.want) << c.name;
  }
}

TEST(TextTool, TheBoxFollowsThePointerWhileHeldUntilEscapeGivesItUp) {
  TextCanvas f;
  EXPECT_FALSE(f.Key(kKeyReturn));  // nothing placed
  f.canvas.DeliverEvent(kToolButtonDown, kToolLeftButton, 1, 1, 0);
  f.canvas.DeliverEvent(kToolMove, kToolLeftButton, 6, 2, 0);
  f.canvas.DeliverEvent(kToolButtonUp, 0, 6, 3, 0);
  f.canvas.DeliverEvent(kToolMove, 0, 9, 6, 0);
  const std::vector<FeedbackPath> box = f.tool->Feedback();
  ASSERT_EQ(box.size(), 1u);
  // The corners of columns 5…8 and rows 3 and 4.
  EXPECT_EQ(box[0].points, (std::vector<std::pair<double, double>>{{5, 3}, {9, 3}, {9, 5}, {5, 5}}));
  // The glyphs show in the box before they are drawn, the opacity in the colour's alpha.
  f.settings.opacity = 50;
  const FeedbackPixels shown = f.tool->PreviewPixels();
  EXPECT_EQ(shown.bounds, (Rect{5, 3, 8, 4}));
  ASSERT_NE(shown.coverage, nullptr);
  EXPECT_EQ(std::vector<uint8_t>(shown.coverage, shown.coverage + 8), FixedCoverage(f.settings).coverage);
  EXPECT_EQ(shown.colour, 0x80FF0000u);
  EXPECT_TRUE(f.Painted().empty());
  EXPECT_TRUE(f.Key(kKeyEscape));
  EXPECT_TRUE(f.tool->Feedback().empty());
  EXPECT_EQ(f.tool->PreviewPixels().coverage, nullptr);
  EXPECT_FALSE(f.tool->Commit());
  EXPECT_TRUE(f.Painted().empty());
  EXPECT_EQ(f.canvas.ActiveLayer()->Undo().StepCount(), 0u);
}

TEST(TextTool, AToolStateKeepsEverySettingAndHoldsNumbersToTheirRanges) {
  const TextSettings plain{"縦書き\n二行目", "Noto Serif CJK JP", 48, true, false, true, false, 70};
  TextSettings wild = plain, held = plain;
  wild.size = 5000, wild.opacity = -4;
  held.size = kTextSizeMaximum, held.opacity = 0;
  for (const auto& [written, want] : {std::pair{plain, plain}, std::pair{wild, held}}) {
    TextSettings source = written, read;
    TextToolState writer(source), reader(read);
    MemoryToolStateStream stream;
    ASSERT_EQ(WriteToolState(stream, writer), 0);
    ASSERT_TRUE(stream.Seek(0));
    ASSERT_EQ(ReadToolState(stream, reader, false), 0);
    EXPECT_EQ(read, want) << written.size;
  }
}

}  // namespace
}  // namespace varnel
