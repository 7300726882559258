#pragma once
// Building and inspecting binary files in tests: a little-endian byte builder that spells a
// file out field by field, and whole-file reads and writes.

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/support/temp_folder.h"

namespace varnel::test {

struct Bytes {
  std::vector<uint8_t> data;

  Bytes& U8(uint8_t v) {
    data.push_back(v);
    return *this;
  }
  Bytes& U16(uint16_t v) { return U8(static_cast<uint8_t>(v)).U8(static_cast<uint8_t>(v >> 8)); }
  Bytes& U32(uint32_t v) {
    for (int i = 0; i < 4; ++i) U8(static_cast<uint8_t>(v >> (8 * i)));
    return *this;
  }
  Bytes& I32(int32_t v) { return U32(static_cast<uint32_t>(v)); }
  Bytes& F64(double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, 8);
    for (int i = 0; i < 8; ++i) U8(static_cast<uint8_t>(bits >> (8 * i)));
    return *this;
  }
  Bytes& Raw(const std::string& s) {
    data.insert(data.end(), s.begin(), s.end());
    return *this;
  }
  Bytes& Zeros(size_t n) {
    data.insert(data.end(), n, 0);
    return *this;
  }
  Bytes& Append(const Bytes& other) {
    data.insert(data.end(), other.data.begin(), other.data.end());
    return *this;
  }
  // A layer-file chunk header: "CH", the tag, the body size.
  Bytes& Chunk(const char (&tag)[5], uint32_t size) { return Raw("CH").Raw(std::string(tag, 4)).U32(size); }
};

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace varnel::test
