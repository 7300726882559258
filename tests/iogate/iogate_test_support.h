#pragma once
// A private program folder and settings file for one gateway test, the fake plug-ins copied
// into it under chosen names, and the files the tests show the gateway.

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "sdk/varnel_picture_plugin.h"
#include "tests/iogate/fake_plugin_log.h"
#include "tests/support/temp_folder.h"

namespace varnel::iogate::testing {

// Where the build puts the fake plug-ins (never the program folder).
inline std::string FakePluginFile(const std::string& variant) {
  return std::string(IOGATE_FAKE_PLUGIN_DIR) + "/" + variant + ".spi";
}

using TempFolder = ::varnel::test::TempFolder;

// A program folder and a settings file of the test's own, in the environment while it lives.
class ProgramFolder {
 public:
  ProgramFolder() {
    std::filesystem::create_directories(m_root.Path() / "bin");
    std::filesystem::create_directories(m_root.Path() / "config");
    std::filesystem::create_directories(m_root.Path() / "pictures");
    setenv("VARNEL_HOME", Bin().c_str(), 1);
    setenv("VARNEL_CONFIG", (m_root.Path() / "config" / "varnel.ini").c_str(), 1);
  }
  ~ProgramFolder() {
    unsetenv("VARNEL_HOME");
    unsetenv("VARNEL_CONFIG");
  }

  std::string Bin() const { return (m_root.Path() / "bin").string(); }
  std::string Config(const std::string& name) const { return (m_root.Path() / "config" / name).string(); }
  std::string Picture(const std::string& name) const { return (m_root.Path() / "pictures" / name).string(); }
  std::string PictureFolder() const { return (m_root.Path() / "pictures").string(); }

  // Copies a fake plug-in variant into the program folder as name.
  std::string Install(const std::string& variant, const std::string& name) const {
    const std::string target = Bin() + "/" + name;
    std::filesystem::copy_file(FakePluginFile(variant), target, std::filesystem::copy_options::overwrite_existing);
    return target;
  }

 private:
  TempFolder m_root;
};

// The call counts of an installed fake plug-in. dlopen hands back the library already loaded
// from that file, so these are the counts of the copy the gateway uses.
class FakeLogOf {
 public:
  explicit FakeLogOf(const std::string& path) : m_handle(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {}
  ~FakeLogOf() {
    if (m_handle != nullptr) dlclose(m_handle);
  }
  FakeLogOf(const FakeLogOf&) = delete;
  FakeLogOf& operator=(const FakeLogOf&) = delete;
  const FakePluginLog& operator*() const { return *Get(); }
  const FakePluginLog* operator->() const { return Get(); }

 private:
  const FakePluginLog* Get() const {
    auto log = m_handle != nullptr ? reinterpret_cast<FakeLogFunction>(dlsym(m_handle, "FakeLog")) : nullptr;
    static const FakePluginLog kNone{};
    return log != nullptr ? log() : &kNone;
  }
  void* m_handle;
};

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

template <typename T>
void Put(std::vector<uint8_t>& bytes, T value) {
  const auto* p = reinterpret_cast<const uint8_t*>(&value);
  bytes.insert(bytes.end(), p, p + sizeof value);
}

// Colour of a test picture at (x, y) from the top, 0x00RRGGBB.
using ColourAt = std::function<uint32_t(int32_t x, int32_t y)>;

inline VarnelBitmapInfoHeader Header(int32_t width, int32_t height, uint16_t bitCount, uint32_t colours = 0) {
  VarnelBitmapInfoHeader header{};
  header.biSize = 40;
  header.biWidth = width;
  header.biHeight = height;
  header.biPlanes = 1;
  header.biBitCount = bitCount;
  header.biClrUsed = colours;
  return header;
}

// 24-bit rows bottom-up (top-down for a negative height), padded to 4 bytes.
inline std::vector<uint8_t> Bits24(int32_t width, int32_t height, const ColourAt& colour) {
  const int32_t rows = height < 0 ? -height : height;
  const size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~size_t{3};
  std::vector<uint8_t> bits(stride * rows, 0);
  for (int32_t i = 0; i < rows; ++i) {
    const int32_t y = height > 0 ? rows - 1 - i : i;
    for (int32_t x = 0; x < width; ++x) {
      const uint32_t c = colour(x, y);
      uint8_t* p = bits.data() + i * stride + x * 3;
      p[0] = c & 0xFF;
      p[1] = (c >> 8) & 0xFF;
      p[2] = (c >> 16) & 0xFF;
    }
  }
  return bits;
}

// A 24-bit Windows bitmap file.
inline void WriteBitmapFile(const std::string& path, int32_t width, int32_t height, const ColourAt& colour) {
  const std::vector<uint8_t> bits = Bits24(width, height, colour);
  std::vector<uint8_t> file = {'B', 'M'};
  Put<uint32_t>(file, static_cast<uint32_t>(54 + bits.size()));
  Put<uint32_t>(file, 0);
  Put<uint32_t>(file, 54);
  const VarnelBitmapInfoHeader header = Header(width, height, 24);
  Put(file, header);
  file.insert(file.end(), bits.begin(), bits.end());
  WriteBytes(path, file);
}

// Flags of a fake picture (see fake_plugin.cpp).
enum FakeFlags : uint32_t {
  kPreviewFails = 1,
  kPictureFails = 2,
  kNullInfo = 4,
  kNullBits = 8,
  kBrokenPreview = 16,
};

// A fake picture: what a reader plug-in hands back, block for block.
inline void WriteFakePicture(const std::string& path, const std::vector<uint8_t>& info, const std::vector<uint8_t>& bits,
                             uint32_t flags = 0) {
  std::vector<uint8_t> file = {'F', 'A', 'K', 'E', 'P', 'I', 'C', '1'};
  Put<uint32_t>(file, flags);
  Put<uint32_t>(file, static_cast<uint32_t>(info.size()));
  Put<uint32_t>(file, static_cast<uint32_t>(bits.size()));
  file.insert(file.end(), info.begin(), info.end());
  file.insert(file.end(), bits.begin(), bits.end());
  WriteBytes(path, file);
}

inline std::vector<uint8_t> InfoBlock(const VarnelBitmapInfoHeader& header, const std::vector<uint32_t>& palette = {}) {
  std::vector<uint8_t> info;
  Put(info, header);
  for (uint32_t entry : palette) Put(info, entry);
  return info;
}

// A 24-bit fake picture.
inline void WriteFake24(const std::string& path, int32_t width, int32_t height, const ColourAt& colour,
                        uint32_t flags = 0) {
  WriteFakePicture(path, InfoBlock(Header(width, height, 24)), Bits24(width, height, colour), flags);
}

inline std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace varnel::iogate::testing
