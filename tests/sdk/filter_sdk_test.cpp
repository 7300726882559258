// The filter interface's records have one layout in C and C++, and a filter written in C works
// through the host's callbacks.

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "filters/filter_host.h"
#include "sdk/varnel_filter.h"
#include "tests/sdk/filter_layout_c.h"

namespace {

TEST(FilterSdkLayout, HostInfoIsTheSameTwoPointersInCAndCxx) {
  const std::map<std::string, size_t> cxx = {
      {"sizeof HostInfo", sizeof(HostInfo)},
      {"HostInfo.owner", offsetof(HostInfo, owner)},
      {"HostInfo.getHostProc", offsetof(HostInfo, getHostProc)},
  };
  size_t count = 0;
  const SdkLayoutEntry* entries = FilterLayoutEntries(&count);
  ASSERT_EQ(count, cxx.size());
  for (size_t i = 0; i < count; ++i) {
    EXPECT_EQ(entries[i].value, entries[i].expected) << entries[i].name;
    EXPECT_EQ(cxx.at(entries[i].name), entries[i].value) << entries[i].name;
  }
}

TEST(FilterSdkLayout, TheHostBuffersAreTheContractsSizes) {
  EXPECT_EQ(VARNEL_FILTER_NAME_SIZE, 64);
  EXPECT_EQ(VARNEL_PARAM_NAME_SIZE, 64);
  EXPECT_EQ(VARNEL_VALUE_TEXT_SIZE, 256);
  EXPECT_EQ(VARNEL_MAX_FILTER_VALUES, 256);
}

TEST(FilterSdkLayout, ACFilterChangesTheCurrentImageThroughTheCallbacks) {
  varnel::ImageSurface image;
  ASSERT_EQ(image.Create({3, 2}), 0);
  image.Row(1)[0] = 0x80102030u;
  image.DiscardBackups();
  HostInfo host{nullptr, &varnel::FilterGetHostProc};
  EXPECT_EQ(FilterInvertRowFromC(&host, 1), 0) << "no current image";
  varnel::ScopedFilterImage current(&image);
  EXPECT_EQ(FilterInvertRowFromC(&host, 1), 1);
  EXPECT_EQ(image.Row(1)[0], 0x80EFDFCFu);
  EXPECT_EQ(image.Row(1)[2], 0xFF000000u);
  EXPECT_EQ(image.Row(0)[0], 0xFFFFFFFFu);
}

}  // namespace
