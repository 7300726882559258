// Animorph.so through its exports, and the program's side: listing a folder of libraries and
// rendering frames from surfaces.

#include "animorph/effect_host.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "animorph/effects.h"
#include "tests/support/temp_folder.h"

namespace varnel {
namespace {

const std::string kEffectFolder = VARNEL_PROGRAM_DIR "/Animation/Effect";

class AnimorphExports : public ::testing::Test {
 protected:
  void SetUp() override {
    m_handle = dlopen((kEffectFolder + "/Animorph.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(m_handle, nullptr) << dlerror();
  }
  void TearDown() override {
    if (m_handle) dlclose(m_handle);
  }
  template <typename F>
  F Get(const char* name) {
    return reinterpret_cast<F>(dlsym(m_handle, name));
  }
  void* m_handle = nullptr;
};

TEST_F(AnimorphExports, ListTwelveEffectsAndAnswerMinusOneAfterThem) {
  const auto getName = Get<VarnelGetEffectName>("GetEffectName");
  ASSERT_NE(getName, nullptr);
  char buffer[VARNEL_EFFECT_NAME_SIZE];
  for (int32_t index = 0; index < 12; ++index) EXPECT_EQ(getName(index, buffer), 0) << index;
  EXPECT_EQ(getName(12, buffer), -1);
  EXPECT_EQ(getName(-1, buffer), -1);
}

TEST_F(AnimorphExports, OpenConfigChecksTheEnlargementObject) {
  const auto openConfig = Get<VarnelEffectOpenConfig>("OpenConfig");
  const auto create = Get<VarnelCreateEffectObject>("CreateEffectObject");
  const auto destroy = Get<VarnelDeleteEffectObject>("DeleteEffectObject");
  ASSERT_NE(openConfig, nullptr);
  struct Case {
    const char* name;
    int32_t type;
    bool hasObject;
    int32_t version;
    int32_t result;
  };
  const Case cases[] = {{"missing object", 4, false, 1, -1},
                        {"wrong version", 4, true, 2, -1},
                        {"another effect", 0, false, 1, 0}};
  for (const Case& c : cases) {
    VarnelEnlargeObject object{c.version, 200};
    EXPECT_EQ(openConfig(nullptr, c.type, c.hasObject ? &object : nullptr), c.result) << c.name;
  }
  // Without a user interface (no application object) nothing is shown and the percent stays.
  void* object = create(4);
  ASSERT_NE(object, nullptr);
  EXPECT_EQ(static_cast<VarnelEnlargeObject*>(object)->version, 1);
  EXPECT_EQ(static_cast<VarnelEnlargeObject*>(object)->percent, 200);
  EXPECT_EQ(openConfig(nullptr, 4, object), 0);
  EXPECT_EQ(destroy(4, object), 0);
}

TEST_F(AnimorphExports, KeepObjectsOnlyForEnlargeAndSnowAndNeedNoBuffer) {
  const auto create = Get<VarnelCreateEffectObject>("CreateEffectObject");
  const auto destroy = Get<VarnelDeleteEffectObject>("DeleteEffectObject");
  const auto bufferSize = Get<VarnelGetEffectBufferSize>("GetEffectBufferSize");
  for (int32_t type = -1; type <= 12; ++type) {
    void* object = create(type);
    EXPECT_EQ(object != nullptr, type == 4 || type == 11) << type;
    EXPECT_EQ(destroy(type, object), 0);
  }
  EXPECT_EQ(bufferSize(0), 0);
}

TEST_F(AnimorphExports, ExecEffectStoresTheFadeOpacityAndRefusesBadSizes) {
  const auto exec = Get<VarnelExecEffect>("ExecEffect");
  std::vector<uint32_t> src(4, 0xFF102030u), dst(4, 0);
  const VarnelBitmapInfoHeader header{40, 2, 2, 1, 32, 0, 0, 0, 0, 0, 0};
  int32_t opacity = 0;
  EXPECT_EQ(exec(0, nullptr, &header, dst.data(), &header, src.data(), 0, 1, &opacity), 0);
  EXPECT_EQ(opacity, 128);
  EXPECT_EQ(dst, src);
  const VarnelBitmapInfoHeader empty{40, 0, 2, 1, 32, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(exec(0, nullptr, &empty, dst.data(), &header, src.data(), 0, 1, &opacity), -1);
  EXPECT_EQ(exec(0, nullptr, nullptr, dst.data(), &header, src.data(), 0, 1, &opacity), -1);
}

TEST(EffectLibraryList, ListsEveryLibraryOfTheFolderAndItsEffects) {
  test::TempFolder folder;
  const std::string copy = folder.Path().string() + "/Animorph.so";
  ASSERT_EQ(std::system(("cp '" + kEffectFolder + "/Animorph.so' '" + copy + "'").c_str()), 0);
  // Not a library at all: it stays in the list with no effects.
  std::FILE* bad = std::fopen((folder.Path().string() + "/broken.so").c_str(), "wb");
  ASSERT_NE(bad, nullptr);
  std::fputs("not an ELF file", bad);
  std::fclose(bad);
  std::fclose(std::fopen((folder.Path().string() + "/readme.txt").c_str(), "wb"));

  const EffectLibraryList list(folder.Path().string());
  ASSERT_EQ(list.Libraries().size(), 2u);
  const EffectLibrary* animorph = list.Find("Animorph");
  ASSERT_NE(animorph, nullptr);
  EXPECT_EQ(animorph, list.Find("Animorph.so"));
  EXPECT_EQ(animorph->EffectNames().size(), 12u);
  EXPECT_EQ(animorph->EffectNames()[11], "雪");  // read back from code page 932
  const EffectLibrary* broken = list.Find("broken.so");
  ASSERT_NE(broken, nullptr);
  EXPECT_FALSE(broken->IsLoaded());
  EXPECT_TRUE(broken->EffectNames().empty());
  EXPECT_EQ(list.Find("readme.txt"), nullptr);
}

TEST(EffectInstance, RendersFromASourceOverAStartPictureOrZeros) {
  const EffectLibraryList list(kEffectFolder);
  const EffectLibrary* animorph = list.Find(kAnimorphLibrary);
  ASSERT_NE(animorph, nullptr);
  ImageSurface source, start;
  ASSERT_EQ(source.CreateWithAlpha({3, 4}, 0xFF), 0);  // white
  ASSERT_EQ(start.CreateWithAlpha({2, 2}, 0x40), 0);
  source.DiscardBackups();
  start.DiscardBackups();
  // Wipe out at k = 1 of 4 clears one row of four and copies the rest.
  EffectInstance wipe(*animorph, animorph::kWipeOut);
  ImageSurface frame;
  int32_t opacity = 0;
  ASSERT_TRUE(wipe.RenderFrame(source, nullptr, 1, 4, frame, opacity));
  EXPECT_EQ(frame.Width(), 3);
  EXPECT_EQ(frame.Height(), 4);
  EXPECT_EQ(frame.Row(0)[0], 0u);
  EXPECT_EQ(frame.Row(1)[2], 0xFFFFFFFFu);
  EXPECT_EQ(opacity, 256);
  // Blinds at frame 0 copy only the last row: the start picture shows above it, zeros beside.
  EffectInstance blinds(*animorph, animorph::kBlinds);
  ASSERT_TRUE(blinds.RenderFrame(source, &start, 0, 4, frame, opacity));
  EXPECT_EQ(frame.Row(0)[0], 0x40FFFFFFu);
  EXPECT_EQ(frame.Row(0)[2], 0u);
  EXPECT_EQ(frame.Row(2)[0], 0u);
  EXPECT_EQ(frame.Row(3)[1], 0xFFFFFFFFu);
  // The fade's opacity comes back; an enlargement at 99 percent fails.
  EffectInstance fade(*animorph, animorph::kFadeOut);
  ASSERT_TRUE(fade.RenderFrame(source, nullptr, 0, 1, frame, opacity));
  EXPECT_EQ(opacity, 128);
  EffectInstance enlarge(*animorph, animorph::kEnlarge);
  ASSERT_NE(enlarge.EnlargeObject(), nullptr);
  enlarge.EnlargeObject()->percent = 99;
  EXPECT_FALSE(enlarge.RenderFrame(source, nullptr, 1, 2, frame, opacity));
}

}  // namespace
}  // namespace varnel
