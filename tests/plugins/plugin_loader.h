#pragma once
// The shipped picture plug-ins as an outside host sees them: a ".spi" in the program folder,
// loaded with dlopen by its path, every entry point looked up by name, every block it hands
// back released with free. Also what the tests need around them: the libraries a plug-in file
// asks the loader for, and pictures made and read by another program (PIL).

#include <dlfcn.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "sdk/varnel_picture_plugin.h"

namespace varnel::test {

class PicturePlugin {
 public:
  explicit PicturePlugin(const std::string& fileName);
  ~PicturePlugin();
  PicturePlugin(const PicturePlugin&) = delete;
  PicturePlugin& operator=(const PicturePlugin&) = delete;

  bool Loaded() const { return m_handle != nullptr; }
  const std::string& Path() const { return m_path; }
  const std::string& Error() const { return m_error; }

  template <typename F>
  F Get(const char* name) const {
    return m_handle != nullptr ? reinterpret_cast<F>(dlsym(m_handle, name)) : nullptr;
  }

  VarnelGetPluginInfo getPluginInfo = nullptr;
  VarnelIsSupported isSupported = nullptr;
  VarnelGetPictureInfo getPictureInfo = nullptr;
  VarnelGetPicture getPicture = nullptr;
  VarnelGetPreview getPreview = nullptr;
  VarnelIsSaveSupported isSaveSupported = nullptr;
  VarnelWriteImage writeImage = nullptr;
  VarnelGetSupportFormatFilter getSupportFormatFilter = nullptr;
  VarnelGetSupportFormatDescriptor getSupportFormatDescriptor = nullptr;
  VarnelOpenConfig openConfig = nullptr;

 private:
  std::string m_path;
  std::string m_error;
  void* m_handle = nullptr;
};

// The two blocks of a picture a plug-in handed back, freed with free as a host must.
struct Picture {
  void* info = nullptr;
  void* bits = nullptr;
  Picture() = default;
  Picture(const Picture&) = delete;
  Picture& operator=(const Picture&) = delete;
  ~Picture() {
    std::free(info);
    std::free(bits);
  }
  const VarnelBitmapInfoHeader& Header() const { return *static_cast<const VarnelBitmapInfoHeader*>(info); }
  const uint8_t* Bytes() const { return static_cast<const uint8_t*>(bits); }
  // The 44 bytes of the information block.
  std::vector<uint8_t> InfoBytes() const;
};

// The DT_NEEDED entries of an ELF shared object: the libraries it asks the loader for.
std::vector<std::string> NeededLibraries(const std::string& path);

// A Python 3 that has PIL, or an empty string.
const std::string& PythonWithPil();

// Runs tests/plugins/pil_pictures.py with the arguments; answers its standard output, or
// "error: ..." when it failed.
std::string RunPil(const std::vector<std::string>& arguments);

// Bytes of one bitmap row: bitCount bits a pixel, padded to a multiple of 4.
size_t DibStride(int32_t width, int32_t bitCount);

// A plug-in's picture (24 or 32 bits, bottom row first) as top-down RGBA bytes, the layout PIL
// reads and writes; 24-bit pictures get alpha 255.
std::vector<uint8_t> TopDownRgba(const Picture& picture);

// Top-down RGBA bytes as the program hands pixels to WriteImage: 32-bit BGRA, bottom row first.
std::vector<uint8_t> BottomUpBgra(const std::vector<uint8_t>& rgba, int32_t width, int32_t height);

// The 44-byte block WriteImage receives.
VarnelWriteInfo WriteInfo(int32_t width, int32_t height, uint16_t bitCount = 32);

// The names in a folder, sorted.
std::vector<std::string> FilesIn(const std::string& folder);

}  // namespace varnel::test
