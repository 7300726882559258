#include "iogate/gateway.h"

#include <cstring>

#include "platform/program_folder.h"
#include "sdk/varnel_picture_plugin.h"

namespace varnel::iogate {

PluginList& Gateway::Plugins() {
  if (!m_loaded) {
    m_loaded = true;
    m_plugins.Load(ProgramFolder());
  }
  return m_plugins;
}

void Gateway::ForgetPluginsForTesting() {
  m_plugins = PluginList();
  m_loaded = false;
}

Gateway& TheGateway() {
  static Gateway gateway;
  return gateway;
}

int32_t CopyResultPath(std::string_view path, char* result, int32_t size) {
  if (result == nullptr || size <= 0) return -1;
  std::memset(result, 0, static_cast<size_t>(size));
  if (path.empty() || path.size() + 1 > static_cast<size_t>(size)) return -1;
  std::memcpy(result, path.data(), path.size());
  return 0;
}

std::string PathExtension(std::string_view path) {
  const size_t slash = path.rfind('/');
  const size_t dot = path.rfind('.');
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return "";
  return std::string(path.substr(dot + 1));
}

void WriteImageThroughPlugins(const PluginList& plugins, const char* path, const void* info, const void* bits) {
  if (path == nullptr || info == nullptr || bits == nullptr) return;
  VarnelWriteInfo picture;
  std::memcpy(&picture, info, sizeof picture);
  const VarnelBitmapInfoHeader& header = picture.header;
  if (header.biWidth <= 0 || header.biHeight == 0 || header.biBitCount != 32) return;
  PicturePlugin* plugin = plugins.FindSaver(PathExtension(path));
  if (plugin == nullptr) return;
  plugin->writeImage(path, bits, static_cast<const VarnelWriteInfo*>(info));
}

}  // namespace varnel::iogate
