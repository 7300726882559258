#pragma once
// The gateway's application object and the Qt-free halves of its exports: the plug-in list
// of the process, the result buffer rules of GetFileName, and WriteImage.

#include <cstdint>
#include <string>
#include <string_view>

#include "iogate/plugin_list.h"

namespace varnel::iogate {

// The object GetInstance hands out. Its plug-in list is loaded from the program folder on
// first use and kept until the library is unloaded. User-interface thread only.
class Gateway {
 public:
  PluginList& Plugins();
  // Tests that run several cases in one process start again from an empty list.
  void ForgetPluginsForTesting();

 private:
  bool m_loaded = false;
  PluginList m_plugins;
};

Gateway& TheGateway();

// Zeroes the whole result buffer, then copies path with its terminating zero when it fits
// (path.size() + 1 <= size). 0 when copied; -1 for an empty path, one that does not fit, or
// no usable buffer (null or size <= 0, which is left alone).
int32_t CopyResultPath(std::string_view path, char* result, int32_t size);

// The text after the last "." of the file name in path, as it is written; "" when the name
// has no ".".
std::string PathExtension(std::string_view path);

// Hands the picture to the first save plug-in that saves the path's extension. Nothing is
// written without such a plug-in, or when path, info or bits is missing or the header is not
// that of a 32-bit picture with a width and a height. The plug-in's answer is not looked at.
void WriteImageThroughPlugins(const PluginList& plugins, const char* path, const void* info, const void* bits);

}  // namespace varnel::iogate
