#pragma once
// The picture plug-ins of the gateway: every "*.spi" of the program folder, loaded once in
// name order and kept loaded for the life of the library.

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "platform/dynamic_library.h"
#include "sdk/varnel_picture_plugin.h"

namespace varnel::iogate {

inline constexpr size_t kPluginWarningLimit = 50;
inline constexpr const char* kTooManyPlugins = "プラグインが多すぎます！";

// One loaded plug-in. Every entry point may be missing (null); a missing one is never an error.
struct PicturePlugin {
  std::string path;
  DynamicLibrary library;
  VarnelGetPluginInfo getPluginInfo = nullptr;
  VarnelIsSupported isSupported = nullptr;
  VarnelGetPicture getPicture = nullptr;
  VarnelGetPreview getPreview = nullptr;
  VarnelIsSaveSupported isSaveSupported = nullptr;
  VarnelWriteImage writeImage = nullptr;
  VarnelGetSupportFormatFilter getSupportFormatFilter = nullptr;
  VarnelGetSupportFormatDescriptor getSupportFormatDescriptor = nullptr;
  VarnelOpenConfig openConfig = nullptr;
  VarnelSetHostServices setHostServices = nullptr;

  // A save plug-in answers IsSaveSupported and takes WriteImage.
  bool CanSave() const { return isSaveSupported != nullptr && writeImage != nullptr; }
};

class PluginList {
 public:
  // Loads every "*.spi" file of folder (any case) in name order. Files that do not load are
  // passed over. Each plug-in beyond the fiftieth shows kTooManyPlugins once and is kept all
  // the same. Plug-ins already loaded stay.
  void Load(const std::string& folder);

  const std::vector<std::unique_ptr<PicturePlugin>>& Plugins() const { return m_plugins; }
  size_t Size() const { return m_plugins.size(); }

  // The first save plug-in whose IsSaveSupported answers 0 for extension (without the dot,
  // passed as it is), or null.
  PicturePlugin* FindSaver(const std::string& extension) const;

  // The first plug-in whose IsSupported accepts the file, asked with the open file's
  // descriptor positioned at its start; null when none does or the file cannot be opened.
  PicturePlugin* FindReader(const std::string& path) const;

 private:
  std::vector<std::unique_ptr<PicturePlugin>> m_plugins;
};

// What GetPluginInfo answers for number, as UTF-8 (plug-ins write code page 932). answer
// receives the call's result. The text never reaches beyond the buffer the plug-in was given,
// terminated or not; a plug-in without GetPluginInfo answers 0 and "".
std::string PluginInfoText(const PicturePlugin& plugin, int number, int* answer);

}  // namespace varnel::iogate
