// The tool icons: every canvas tool slot has one, it paints at the palette's size and at twice
// that, and every file is an SVG the image plug-in reads.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QIcon>
#include <QImage>
#include <QImageReader>
#include <QPixmap>
#include <climits>
#include <vector>

#include "core/canvas.h"
#include "shell/tool_icons.h"

namespace varnel {
namespace {

// The pixels whose alpha is at least minimumAlpha.
int PixelsWithAlpha(const QImage& picture, int minimumAlpha) {
  const QImage image = picture.convertToFormat(QImage::Format_ARGB32);
  int count = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) count += qAlpha(image.pixel(x, y)) >= minimumAlpha;
  return count;
}

QImage Picture(int32_t slot, int size) {
  return ToolIcon(slot).pixmap(QSize(size, size)).toImage().convertToFormat(QImage::Format_ARGB32);
}

struct SizeCase {
  const char* name;
  int size;
};
constexpr SizeCase kSizes[] = {
    {"palette size", 24},
    {"twice the palette size", 48},
};

TEST(ToolIcons, EverySlotHasAnIconThatPaintsAtThePaletteSizeAndTwiceIt) {
  for (int32_t slot = 0; slot < Canvas::kToolSlots; ++slot) {
    ASSERT_FALSE(ToolIcon(slot).isNull()) << "slot " << slot;
    for (const SizeCase& c : kSizes) {
      const QImage picture = Picture(slot, c.size);
      EXPECT_EQ(picture.size(), QSize(c.size, c.size)) << "slot " << slot << ", " << c.name;
      // Lines on whole pixels leave fully opaque pixels at both sizes.
      EXPECT_GT(PixelsWithAlpha(picture, 255), 0) << "slot " << slot << ", " << c.name;
    }
  }
}

TEST(ToolIcons, NoTwoSlotsShowTheSamePicture) {
  std::vector<QImage> pictures;
  for (int32_t slot = 0; slot < Canvas::kToolSlots; ++slot) pictures.push_back(Picture(slot, 24));
  for (size_t a = 0; a < pictures.size(); ++a)
    for (size_t b = a + 1; b < pictures.size(); ++b)
      EXPECT_NE(pictures[a], pictures[b]) << "slots " << a << " and " << b;
}

}  // namespace
}  // namespace varnel
