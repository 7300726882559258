// The text tool's glyphs from Qt's fonts: Japanese draws, each writing direction lays the text
// its way, the drawn text stays inside the box the tool shows, and texts too large to draw give
// nothing.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "core/canvas.h"
#include "core/undo.h"
#include "shell/text_renderer.h"

namespace varnel {
namespace {

TextSettings Text(std::string text, bool vertical = false, int32_t size = 32) {
  TextSettings settings;
  settings.text = std::move(text);
  settings.vertical = vertical;
  settings.size = size;
  return settings;
}

TEST(TextRendering, JapaneseDrawsEachCharacterInItsOwnShape) {
  const CoverageMask three = RenderTextCoverage(Text("日本語"));
  EXPECT_GT(three.bounds.Width(), 2 * 32);
  EXPECT_LE(three.bounds.Width(), 3 * 32);
  // A font without the characters would draw the same empty box for each.
  EXPECT_NE(RenderTextCoverage(Text("あ")).coverage, RenderTextCoverage(Text("い")).coverage);
  for (const TextSettings& nothing : {Text("\n "), Text(std::string(40, 'W'), false, 1000)})
    EXPECT_TRUE(RenderTextCoverage(nothing).IsEmpty()) << nothing.text.size();
}

TEST(TextRendering, EachWritingDirectionLaysTheTextItsWay) {
  struct Case {
    const char* name;
    TextSettings settings;
    bool taller;  // than wide
  };
  for (const Case& c : {Case{"a line", Text("縦書きの文字"), false}, Case{"a column", Text("縦書きの文字", true), true},
                        Case{"lines", Text("一\n二\n三"), true}, Case{"columns", Text("一\n二\n三\n四\n五", true), false},
                        Case{"long vowel mark", Text("ーーー"), false}, Case{"turned along a column", Text("ー", true), true}}) {
    const CoverageMask mask = RenderTextCoverage(c.settings);
    ASSERT_FALSE(mask.IsEmpty()) << c.name;
    EXPECT_EQ(mask.bounds.Height() > mask.bounds.Width(), c.taller) << c.name;
  }
  // Columns go from right to left: the long second one ends lowest, on the left.
  const CoverageMask columns = RenderTextCoverage(Text("一\n二二二", true));
  const auto lowest = std::find_if(columns.coverage.rbegin(), columns.coverage.rend(), [](uint8_t c) { return c != 0; });
  const auto column = (columns.coverage.rend() - lowest - 1) % columns.bounds.Width();
  EXPECT_LT(column, columns.bounds.Width() / 2);
}

TEST(TextRendering, TheDrawnTextStaysInsideTheBoxTheToolShows) {
  StartSpillWriter();
  for (const bool vertical : {false, true}) {
    for (const bool antialias : {false, true}) {
      Canvas canvas;
      auto layer = std::make_unique<Layer>();
      ASSERT_EQ(layer->CreateWithAlpha({160, 160}, 0), 0);
      canvas.InitWithLayer(std::move(layer));
      TextSettings settings = Text("文字を\n描く", vertical, 24);
      settings.italic = true;
      settings.antialias = antialias;
      TextTool tool(canvas, RenderTextCoverage, settings);
      tool.ButtonDown({canvas.DrawingTarget(), kToolLeftButton, 40, 50});
      const Rect box = tool.PlacedBounds();
      ASSERT_TRUE(tool.Commit());
      Rect inked{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
      bool partial = false;
      for (int32_t y = 0; y < 160; ++y) {
        for (int32_t x = 0; x < 160; ++x) {
          const uint32_t alpha = canvas.ActiveLayer()->Row(y)[x] >> 24;
          if (alpha == 0) continue;
          partial |= alpha != 255;
          inked = {std::min(inked.left, x), std::min(inked.top, y), std::max(inked.right, x), std::max(inked.bottom, y)};
        }
      }
      EXPECT_EQ(partial, antialias) << vertical;
      // Whole pixels reach each side; a faint edge pixel (coverage 1) leaves transparency as it was.
      if (antialias)
        EXPECT_TRUE(inked.left >= box.left && inked.top >= box.top && inked.right <= box.right && inked.bottom <= box.bottom);
      else
        EXPECT_EQ(inked, box) << vertical;
    }
  }
  StopSpillWriter();
}

}  // namespace
}  // namespace varnel
