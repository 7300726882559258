#pragma once
// Registers the layer file type with the desktop (freedesktop.org shared MIME info and a
// desktop entry), so file managers open ".vlb" files with this program.

#include <string>
#include <string_view>

namespace varnel {

inline constexpr const char* kLayerMimeType = "application/x-varnellayer";

// The two files, below $XDG_DATA_HOME (else ~/.local/share). Answers false when either
// cannot be written; nothing half-written is left behind.
bool RegisterShellFileTypes(std::string_view programPath);

std::string LayerMimePackageXml();
std::string DesktopEntry(std::string_view programPath);

}  // namespace varnel
