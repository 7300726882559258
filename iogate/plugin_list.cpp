#include "iogate/plugin_list.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>

#include "document/picture_loader.h"
#include "platform/code_page.h"
#include "platform/host.h"

namespace varnel::iogate {

void PluginList::Load(const std::string& folder) {
  for (const std::string& file : SpiFiles(folder)) {
    auto plugin = std::make_unique<PicturePlugin>();
    if (!plugin->library.Open(file)) continue;
    plugin->path = file;
    const DynamicLibrary& lib = plugin->library;
    plugin->getPluginInfo = lib.Function<VarnelGetPluginInfo>("GetPluginInfo");
    plugin->isSupported = lib.Function<VarnelIsSupported>("IsSupported");
    plugin->getPicture = lib.Function<VarnelGetPicture>("GetPicture");
    plugin->getPreview = lib.Function<VarnelGetPreview>("GetPreview");
    plugin->isSaveSupported = lib.Function<VarnelIsSaveSupported>("IsSaveSupported");
    plugin->writeImage = lib.Function<VarnelWriteImage>("WriteImage");
    plugin->getSupportFormatFilter = lib.Function<VarnelGetSupportFormatFilter>("GetSupportFormatFilter");
    plugin->getSupportFormatDescriptor = lib.Function<VarnelGetSupportFormatDescriptor>("GetSupportFormatDescriptor");
    plugin->openConfig = lib.Function<VarnelOpenConfig>("OpenConfig");
    plugin->setHostServices = lib.Function<VarnelSetHostServices>("SetHostServices");
    m_plugins.push_back(std::move(plugin));
    if (m_plugins.size() > kPluginWarningLimit) GetHost().MessageBox(kTooManyPlugins, "", kMbOk);
  }
}

PicturePlugin* PluginList::FindSaver(const std::string& extension) const {
  for (const auto& plugin : m_plugins) {
    if (plugin->CanSave() && plugin->isSaveSupported(extension.c_str()) == 0) return plugin.get();
  }
  return nullptr;
}

PicturePlugin* PluginList::FindReader(const std::string& path) const {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct CloseFile {
    int fd;
    ~CloseFile() { ::close(fd); }
  } closer{fd};
  for (const auto& plugin : m_plugins) {
    if (plugin->isSupported == nullptr) continue;
    ::lseek(fd, 0, SEEK_SET);
    if (plugin->isSupported(path.c_str(), static_cast<intptr_t>(fd)) != 0) return plugin.get();
  }
  return nullptr;
}

std::string PluginInfoText(const PicturePlugin& plugin, int number, int* answer) {
  *answer = 0;
  if (plugin.getPluginInfo == nullptr) return "";
  // The last byte stays zero whatever the plug-in writes, and the text is read only up to it.
  char buffer[1024] = {};
  *answer = plugin.getPluginInfo(number, buffer, static_cast<int>(sizeof buffer - 1));
  if (*answer <= 0) return "";
  return FromCodePage932(std::string_view(buffer, ::strnlen(buffer, sizeof buffer - 1)));
}

}  // namespace varnel::iogate
