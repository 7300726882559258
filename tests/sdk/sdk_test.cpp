// The plug-in records must have one layout whoever compiles them: C or C++, now or later.

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "sdk/varnel_image.h"
#include "sdk/varnel_picture_plugin.h"
#include "sdk/transformer.h"
#include "tests/sdk/sdk_layout_c.h"

namespace {

#define CXX_FIELD(record, field) {#record "." #field, offsetof(record, field)}
#define CXX_SIZE(record) {"sizeof " #record, sizeof(record)}

// The same measurements taken by the C++ compiler.
const std::map<std::string, size_t>& CxxLayout() {
  static const std::map<std::string, size_t> kLayout = {
      CXX_SIZE(VarnelBitmapInfoHeader),
      CXX_SIZE(VarnelPictureInfo),
      CXX_FIELD(VarnelPictureInfo, width),
      CXX_FIELD(VarnelPictureInfo, xDensity),
      CXX_FIELD(VarnelPictureInfo, colourDepth),
      CXX_FIELD(VarnelPictureInfo, text),
      CXX_SIZE(VarnelWriteInfo),
      CXX_FIELD(VarnelWriteInfo, reserved),
      CXX_FIELD(VarnelBitmapInfoHeader, biSize),
      CXX_FIELD(VarnelBitmapInfoHeader, biWidth),
      CXX_FIELD(VarnelBitmapInfoHeader, biHeight),
      CXX_FIELD(VarnelBitmapInfoHeader, biPlanes),
      CXX_FIELD(VarnelBitmapInfoHeader, biBitCount),
      CXX_FIELD(VarnelBitmapInfoHeader, biCompression),
      CXX_FIELD(VarnelBitmapInfoHeader, biSizeImage),
      CXX_FIELD(VarnelBitmapInfoHeader, biXPelsPerMeter),
      CXX_FIELD(VarnelBitmapInfoHeader, biYPelsPerMeter),
      CXX_FIELD(VarnelBitmapInfoHeader, biClrUsed),
      CXX_FIELD(VarnelBitmapInfoHeader, biClrImportant),
      CXX_SIZE(TileBackup),
      CXX_FIELD(TileBackup, pixels),
      CXX_FIELD(TileBackup, column),
      CXX_FIELD(TileBackup, row),
      CXX_SIZE(ImageDescriptor),
      CXX_FIELD(ImageDescriptor, bitmap),
      CXX_FIELD(ImageDescriptor, header),
      CXX_FIELD(ImageDescriptor, bits),
      CXX_FIELD(ImageDescriptor, dirtyLeft),
      CXX_FIELD(ImageDescriptor, dirtyTop),
      CXX_FIELD(ImageDescriptor, dirtyRight),
      CXX_FIELD(ImageDescriptor, dirtyBottom),
      CXX_FIELD(ImageDescriptor, stride),
      CXX_FIELD(ImageDescriptor, tilesAcross),
      CXX_FIELD(ImageDescriptor, tilesDown),
      CXX_FIELD(ImageDescriptor, tileFlags),
      CXX_FIELD(ImageDescriptor, savedTileCount),
      CXX_FIELD(ImageDescriptor, savedTiles),
      CXX_FIELD(ImageDescriptor, modified),
      CXX_FIELD(ImageDescriptor, rows),
      CXX_SIZE(TransformMask),
      CXX_FIELD(TransformMask, width),
      CXX_FIELD(TransformMask, height),
      CXX_FIELD(TransformMask, bits),
  };
  return kLayout;
}

TEST(SdkLayout, EveryFieldSitsAtItsFixedOffsetWhenCompiledAsC) {
  size_t count = 0;
  const SdkLayoutEntry* entries = SdkLayoutEntries(&count);
  ASSERT_EQ(count, CxxLayout().size());
  for (size_t i = 0; i < count; ++i) {
    EXPECT_EQ(entries[i].value, entries[i].expected) << entries[i].name;
  }
}

TEST(SdkLayout, TheCAndCxxCompilersAgreeOnEveryFieldAndSize) {
  size_t count = 0;
  const SdkLayoutEntry* entries = SdkLayoutEntries(&count);
  for (size_t i = 0; i < count; ++i) {
    const auto found = CxxLayout().find(entries[i].name);
    ASSERT_NE(found, CxxLayout().end()) << entries[i].name;
    EXPECT_EQ(found->second, entries[i].value) << entries[i].name;
  }
}

TEST(SdkLayout, ACPlugInWritingThroughTheRowTableReachesTheBottomUpPixelMemory) {
  // A 3 x 2 image laid out bottom-up by hand: image row 1 comes first in memory.
  constexpr int kWidth = 3;
  constexpr int kHeight = 2;
  std::vector<uint32_t> pixels(kWidth * kHeight, 0xFFFFFFFFu);
  auto* bits = reinterpret_cast<uint8_t*>(pixels.data());
  std::vector<uint8_t*> rows(kHeight);
  for (int y = 0; y < kHeight; ++y) {
    rows[y] = bits + (kHeight - 1 - y) * kWidth * 4;
  }
  ImageDescriptor descriptor{};
  descriptor.bitmap = bits;
  descriptor.header.biSize = 40;
  descriptor.header.biWidth = kWidth;
  descriptor.header.biHeight = kHeight;
  descriptor.bits = bits;
  descriptor.stride = kWidth * 4;
  descriptor.rows = rows.data();

  EXPECT_EQ(SdkSetPixelFromC(&descriptor, 2, 0, 0x80112233u), 1);
  EXPECT_EQ(SdkSetPixelFromC(&descriptor, 0, 1, 0x01020304u), 1);
  EXPECT_EQ(SdkSetPixelFromC(&descriptor, 3, 0, 0u), 0);
  EXPECT_EQ(SdkSetPixelFromC(&descriptor, 0, 2, 0u), 0);
  // Top row (y 0) is the second row in memory, the bottom row the first.
  EXPECT_EQ(pixels[kWidth + 2], 0x80112233u);
  EXPECT_EQ(pixels[0], 0x01020304u);
  // BGRA bytes: blue first, alpha last.
  EXPECT_EQ(bits[(kWidth + 2) * 4 + 0], 0x33);
  EXPECT_EQ(bits[(kWidth + 2) * 4 + 1], 0x22);
  EXPECT_EQ(bits[(kWidth + 2) * 4 + 2], 0x11);
  EXPECT_EQ(bits[(kWidth + 2) * 4 + 3], 0x80);
  int changed = 0;
  for (uint32_t pixel : pixels) {
    changed += pixel != 0xFFFFFFFFu ? 1 : 0;
  }
  EXPECT_EQ(changed, 2);
}

}  // namespace
