// The line tool: a straight line of the brush's dabs from pen-down to pen-up, Shift's 45° steps,
// the line shown while dragging, and one undo step; the ruler's and the coordinates' texts.

#include <gtest/gtest.h>

#include "brush/brush_kinds.h"
#include "core/canvas.h"
#include "core/undo.h"
#include "tools/line_tool.h"
#include "tools/measure_tools.h"

namespace varnel {
namespace {

TEST(LineConstraint, SnapsToTheNearest45DegreeStep) {
  struct Case {
    int32_t x, y, wantX, wantY;
  };
  // From (10, 10): shallow goes horizontal, steep vertical, between them a diagonal as long as
  // the longer side.
  for (const Case& c : {Case{30, 14, 30, 10}, Case{13, -20, 10, -20}, Case{28, 22, 28, 28}, Case{-5, 0, -5, -5},
                        Case{10, 10, 10, 10}}) {
    int32_t x = c.x, y = c.y;
    ConstrainTo45Degrees(10, 10, x, y);
    EXPECT_EQ(x, c.wantX) << c.x << "," << c.y;
    EXPECT_EQ(y, c.wantY) << c.x << "," << c.y;
  }
}

class LineToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StartSpillWriter();
    auto layer = std::make_unique<Layer>();
    ASSERT_EQ(layer->Create({40, 30}), 0);
    for (int32_t y = 0; y < 30; ++y) std::fill_n(layer->Row(y), 40, 0xFFFFFFFFu);
    canvas.InitWithLayer(std::move(layer));
    brush.SetColours(MakeColourRef(0, 0, 0), MakeColourRef(255, 255, 255));
    canvas.SetTool(kLineToolSlot, std::make_unique<LineTool>(canvas, [this] { return &brush; }));
    canvas.SelectTool(kLineToolSlot);
  }
  void TearDown() override { StopSpillWriter(); }

  // Which pixels of row y are black.
  std::string Row(int32_t y) const {
    std::string row;
    for (int32_t x = 0; x < 40; ++x) row += canvas.ActiveLayer()->Row(y)[x] == 0xFF000000u ? '#' : '.';
    return row;
  }

  Canvas canvas;
  NormalBrush brush{Size{1, 1}};  // spacing 10 %: a dab at every step
};

TEST_F(LineToolTest, LaysTheBrushAlongTheWholeLineAsOneUndoStep) {
  canvas.DeliverEvent(kToolButtonDown, 0, 2, 5, 0);
  canvas.DeliverEvent(kToolMove, 0, 20, 9, 256);
  const std::vector<FeedbackPath> band = canvas.ActiveTool()->Feedback();
  ASSERT_EQ(band.size(), 1u);
  EXPECT_EQ(band[0].points.back(), (std::pair<double, double>{20.5, 9.5}));
  // Shift at pen-up: the line stays horizontal.
  canvas.DeliverEvent(kToolButtonUp, kToolShift, 20, 9, 0);
  EXPECT_TRUE(canvas.ActiveTool()->Feedback().empty());
  EXPECT_EQ(Row(5), std::string(2, '.') + std::string(19, '#') + std::string(19, '.'));
  EXPECT_EQ(Row(9), std::string(40, '.'));
  ASSERT_EQ(canvas.Undo(), 0);
  EXPECT_EQ(Row(5), std::string(40, '.'));
}

TEST(MeasureTexts, LengthAngleCoordinatesAndColour) {
  // Up and to the right on the screen is 45°; straight down 270°.
  EXPECT_EQ(RulerText(10, 10, 20, 0), "長さ: 14.1  角度: 45.0°");
  EXPECT_EQ(RulerText(0, 0, 0, 5), "長さ: 5.0  角度: 270.0°");
  EXPECT_EQ(RulerText(3, 3, 3, 3), "長さ: 0.0  角度: 0.0°");
  const uint32_t colour = 0xFF804020u;
  EXPECT_EQ(CoordinatesText(12, 34, &colour), "X: 12  Y: 34  R: 128 G: 64 B: 32");
  EXPECT_EQ(CoordinatesText(-1, 5, nullptr), "X: -1  Y: 5");
}

}  // namespace
}  // namespace varnel
