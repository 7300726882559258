#include "shell/shell_registration.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "shell/document_types.h"

namespace varnel {
namespace {

std::filesystem::path DataHome() {
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) return xdg;
  if (const char* home = std::getenv("HOME"); home && *home) return std::filesystem::path(home) / ".local/share";
  return {};
}

bool WriteAtomically(const std::filesystem::path& path, const std::string& text) {
  std::error_code ec;
  std::filesystem::create_directories(path.parent_path(), ec);
  if (ec) return false;
  const std::filesystem::path temp = path.string() + ".new";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) {
      std::filesystem::remove(temp, ec);
      return false;
    }
  }
  std::filesystem::rename(temp, path, ec);
  if (ec) std::filesystem::remove(temp, ec);
  return !ec;
}

// Desktop entry values escape backslashes; Exec also needs quoting for spaces.
std::string QuoteExec(std::string_view path) {
  std::string out = "\"";
  for (char c : path) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') out += "\\\\";
    out += c;
  }
  return out + "\"";
}

}  // namespace

std::string LayerMimePackageXml() {
  std::string xml =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
      "  <mime-type type=\"";
  xml += kLayerMimeType;
  xml += "\">\n    <comment>";
  xml += kImageDocumentType.String(DocString::kRegFileTypeName);
  xml += "</comment>\n    <glob pattern=\"*";
  xml += kImageDocumentType.String(DocString::kFilterExt);
  xml += "\" case-sensitive=\"false\"/>\n  </mime-type>\n</mime-info>\n";
  return xml;
}

std::string DesktopEntry(std::string_view programPath) {
  std::string entry =
      "[Desktop Entry]\nType=Application\nName=Varnel\nComment=Layered paint program\nExec=";
  entry += QuoteExec(programPath);
  entry += " %f\nMimeType=";
  entry += kLayerMimeType;
  entry += ";\nCategories=Graphics;2DGraphics;RasterGraphics;\nTerminal=false\n";
  return entry;
}

bool RegisterShellFileTypes(std::string_view programPath) {
  const std::filesystem::path home = DataHome();
  if (home.empty()) return false;
  const bool mime = WriteAtomically(home / "mime/packages/varnel-layer.xml", LayerMimePackageXml());
  const bool desktop = WriteAtomically(home / "applications/varnel.desktop", DesktopEntry(programPath));
  return mime && desktop;
}

}  // namespace varnel
