#pragma once
// A test with a folder of its own, and whole files written into it and read back.

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/support/temp_folder.h"

namespace varnel::test {

class FolderTest : public ::testing::Test {
 protected:
  std::string PathOf(const std::string& name) const { return m_folder.File(name); }

  // Writes the bytes as the file name in the folder; answers its path.
  std::string WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) const {
    const std::string path = PathOf(name);
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
  }

  static std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  std::vector<std::string> FolderEntries() const { return m_folder.List(); }

  TempFolder m_folder;
};

}  // namespace varnel::test
