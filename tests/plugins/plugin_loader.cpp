#include "tests/plugins/plugin_loader.h"

#include <elf.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace varnel::test {

PicturePlugin::PicturePlugin(const std::string& fileName) : m_path(std::string(VARNEL_PROGRAM_DIR) + "/" + fileName) {
  m_handle = dlopen(m_path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (m_handle == nullptr) {
    const char* error = dlerror();
    m_error = error != nullptr ? error : "dlopen failed";
    return;
  }
  getPluginInfo = Get<VarnelGetPluginInfo>("GetPluginInfo");
  isSupported = Get<VarnelIsSupported>("IsSupported");
  getPictureInfo = Get<VarnelGetPictureInfo>("GetPictureInfo");
  getPicture = Get<VarnelGetPicture>("GetPicture");
  getPreview = Get<VarnelGetPreview>("GetPreview");
  isSaveSupported = Get<VarnelIsSaveSupported>("IsSaveSupported");
  writeImage = Get<VarnelWriteImage>("WriteImage");
  getSupportFormatFilter = Get<VarnelGetSupportFormatFilter>("GetSupportFormatFilter");
  getSupportFormatDescriptor = Get<VarnelGetSupportFormatDescriptor>("GetSupportFormatDescriptor");
  openConfig = Get<VarnelOpenConfig>("OpenConfig");
}

PicturePlugin::~PicturePlugin() {
  if (m_handle != nullptr) dlclose(m_handle);
}

std::vector<uint8_t> Picture::InfoBytes() const {
  const auto* p = static_cast<const uint8_t*>(info);
  return std::vector<uint8_t>(p, p + sizeof(VarnelWriteInfo));
}

std::vector<std::string> NeededLibraries(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<char> file((std::istreambuf_iterator<char>(in)), {});
  std::vector<std::string> needed;
  auto fits = [&](uint64_t offset, uint64_t size) { return offset <= file.size() && size <= file.size() - offset; };
  Elf64_Ehdr elf;
  if (!fits(0, sizeof elf)) return needed;
  std::memcpy(&elf, file.data(), sizeof elf);
  if (std::memcmp(elf.e_ident, ELFMAG, SELFMAG) != 0 || elf.e_ident[EI_CLASS] != ELFCLASS64) return needed;
  std::vector<Elf64_Phdr> segments(elf.e_phnum);
  for (size_t i = 0; i < segments.size(); ++i) {
    const uint64_t at = elf.e_phoff + i * sizeof(Elf64_Phdr);
    if (!fits(at, sizeof(Elf64_Phdr))) return needed;
    std::memcpy(&segments[i], file.data() + at, sizeof(Elf64_Phdr));
  }
  // Addresses in the dynamic section are where the loader maps them; the file offset follows
  // from the load segment that holds the address.
  auto fileOffset = [&](uint64_t address) -> uint64_t {
    for (const Elf64_Phdr& s : segments) {
      if (s.p_type == PT_LOAD && address >= s.p_vaddr && address < s.p_vaddr + s.p_filesz) return address - s.p_vaddr + s.p_offset;
    }
    return UINT64_MAX;
  };
  for (const Elf64_Phdr& s : segments) {
    if (s.p_type != PT_DYNAMIC || !fits(s.p_offset, s.p_filesz)) continue;
    std::vector<Elf64_Dyn> entries(s.p_filesz / sizeof(Elf64_Dyn));
    std::memcpy(entries.data(), file.data() + s.p_offset, entries.size() * sizeof(Elf64_Dyn));
    uint64_t strings = UINT64_MAX;
    for (const Elf64_Dyn& d : entries) {
      if (d.d_tag == DT_STRTAB) strings = fileOffset(d.d_un.d_ptr);
    }
    if (strings == UINT64_MAX) continue;
    for (const Elf64_Dyn& d : entries) {
      if (d.d_tag != DT_NEEDED || !fits(strings + d.d_un.d_val, 1)) continue;
      const char* name = file.data() + strings + d.d_un.d_val;
      needed.emplace_back(name, strnlen(name, file.size() - (strings + d.d_un.d_val)));
    }
  }
  return needed;
}

namespace {

std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

// Runs a shell command; its standard output, and whether it exited with 0.
bool Capture(const std::string& command, std::string& output) {
  output.clear();
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return false;
  char buffer[4096];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, got);
  return pclose(pipe) == 0;
}

}  // namespace

const std::string& PythonWithPil() {
  // The first python3 on the path may be a private installation without Debian's packages.
  static const std::string python = [] {
    for (const char* candidate : {"python3", "/usr/bin/python3"}) {
      std::string output;
      if (Capture(std::string(candidate) + " -c 'import PIL' 2>/dev/null", output)) return std::string(candidate);
    }
    return std::string();
  }();
  return python;
}

std::string RunPil(const std::vector<std::string>& arguments) {
  std::string command = PythonWithPil() + " " + Quote(std::string(VARNEL_SOURCE_DIR) + "/tests/plugins/pil_pictures.py");
  for (const std::string& argument : arguments) command += " " + Quote(argument);
  std::string output;
  if (!Capture(command + " 2>&1", output)) return "error: " + output;
  return output;
}

size_t DibStride(int32_t width, int32_t bitCount) {
  return (static_cast<size_t>(width) * static_cast<size_t>(bitCount) + 31) / 32 * 4;
}

std::vector<uint8_t> TopDownRgba(const Picture& picture) {
  const VarnelBitmapInfoHeader& h = picture.Header();
  const size_t bytesPerPixel = h.biBitCount / 8;
  const size_t stride = DibStride(h.biWidth, h.biBitCount);
  std::vector<uint8_t> rgba;
  rgba.reserve(static_cast<size_t>(h.biWidth) * h.biHeight * 4);
  for (int32_t y = 0; y < h.biHeight; ++y) {
    const uint8_t* row = picture.Bytes() + static_cast<size_t>(h.biHeight - 1 - y) * stride;
    for (int32_t x = 0; x < h.biWidth; ++x) {
      const uint8_t* p = row + x * bytesPerPixel;
      rgba.insert(rgba.end(), {p[2], p[1], p[0], bytesPerPixel == 4 ? p[3] : uint8_t{255}});
    }
  }
  return rgba;
}

std::vector<uint8_t> BottomUpBgra(const std::vector<uint8_t>& rgba, int32_t width, int32_t height) {
  std::vector<uint8_t> bgra(rgba.size());
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      const uint8_t* in = rgba.data() + (static_cast<size_t>(y) * width + x) * 4;
      uint8_t* out = bgra.data() + (static_cast<size_t>(height - 1 - y) * width + x) * 4;
      out[0] = in[2];
      out[1] = in[1];
      out[2] = in[0];
      out[3] = in[3];
    }
  }
  return bgra;
}

VarnelWriteInfo WriteInfo(int32_t width, int32_t height, uint16_t bitCount) {
  VarnelWriteInfo info;
  std::memset(&info, 0, sizeof info);
  info.header.biSize = 40;
  info.header.biWidth = width;
  info.header.biHeight = height;
  info.header.biPlanes = 1;
  info.header.biBitCount = bitCount;
  return info;
}

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace varnel::test
