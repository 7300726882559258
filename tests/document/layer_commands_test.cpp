// The layer commands around the canvas's layer operations: what they ask and tell the user.

#include "document/layer_commands.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/host.h"

namespace varnel {
namespace {

std::unique_ptr<Layer> MakeLayer(Size size, uint32_t fill) {
  auto layer = std::make_unique<Layer>();
  EXPECT_EQ(layer->Create(size), 0);
  for (int32_t r = 0; r < size.height; ++r) std::fill_n(layer->Row(r), size.width, fill);
  return layer;
}

TEST(LayerCommands, MergeAllMergesHiddenLayersOntoWhite) {
  RecordingHost host;
  ScopedHost scoped(host);
  Canvas canvas;
  canvas.InitWithLayer(MakeLayer({3, 3}, 0xFF000000u));
  canvas.GetLayer(0)->SetVisible(false);
  std::unique_ptr<Layer> result = MergeAll(canvas);
  ASSERT_NE(result, nullptr);
  uint32_t pixel;
  result->GetPixel(1, 1, &pixel);
  EXPECT_EQ(pixel, 0xFF000000u);
  EXPECT_EQ(MergeIntoNewDocument(canvas, {}), nullptr);
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0].text, "複数のレイヤを選択してください");
}

TEST(LayerCommands, DeletingAsksFirstAndKeepsTheBaseLayer) {
  RecordingHost host;
  ScopedHost scoped(host);
  Canvas canvas;
  canvas.InitWithLayer(MakeLayer({2, 2}, 0xFF000000u));
  canvas.AddLayer();
  canvas.AddLayer();
  host.QueueAnswer(kIdNo);
  DeleteSelectedLayers(canvas, {0, 2});
  EXPECT_EQ(canvas.LayerCount(), 3);
  host.QueueAnswer(kIdYes);
  DeleteSelectedLayers(canvas, {0, 2});
  EXPECT_EQ(canvas.LayerCount(), 2);
  ASSERT_EQ(host.boxes.size(), 3u);
  EXPECT_EQ(host.boxes[0].text, "レイヤを削除します。よろしいですか？");
  EXPECT_EQ(host.boxes[2].text, "最下位レイヤは削除できません");
}

TEST(LayerCommands, MergeDownMergesIntoTheFirstSelectedAndOffersToDeleteTheRest) {
  RecordingHost host;
  ScopedHost scoped(host);
  Canvas canvas;
  canvas.InitWithLayer(MakeLayer({2, 2}, 0xFF000000u));
  canvas.AppendLayer(MakeLayer({2, 2}, 0xFFFFFFFFu), false);
  host.QueueAnswer(kIdYes);  // delete the merged layer
  host.QueueAnswer(kIdYes);  // confirm the deletion
  MergeDown(canvas, {0, 1});
  EXPECT_EQ(canvas.LayerCount(), 1);
  uint32_t pixel;
  canvas.GetLayer(0)->GetPixel(0, 0, &pixel);
  EXPECT_EQ(pixel, 0xFFFFFFFFu);
  EXPECT_EQ(host.boxes[0].text, "結合したレイヤを削除しますか？");
  // Undo goes back over the merge, then over the backup step.
  EXPECT_EQ(canvas.Undo(), 0);
  canvas.GetLayer(0)->GetPixel(0, 0, &pixel);
  EXPECT_EQ(pixel, 0xFF000000u);
}

TEST(LayerCommands, AMergeWithNothingToMergeSaysSoAndRecordsNoStep) {
  RecordingHost host;
  ScopedHost scoped(host);
  Canvas canvas;
  canvas.InitWithLayer(MakeLayer({2, 2}, 0xFF000000u));
  canvas.AppendLayer(MakeLayer({2, 2}, 0xFFFFFFFFu), false);
  MergeDown(canvas, {1});
  MergeWithBase(canvas, {0});
  ASSERT_EQ(host.boxes.size(), 2u);
  for (const auto& box : host.boxes) EXPECT_EQ(box.text, "複数のレイヤを選択してください");
  EXPECT_EQ(canvas.LayerCount(), 2);
  for (int32_t i = 0; i < 2; ++i) EXPECT_EQ(canvas.GetLayer(i)->Undo().StepCount(), 0u) << i;
}

}  // namespace
}  // namespace varnel
