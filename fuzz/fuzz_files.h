#pragma once
// What the file-reader fuzz targets share: a failure that stops the run, and a pair of scratch
// files (the input as the reader sees it, and what a round trip writes) that are emptied after
// every input, because libFuzzer ends its run without exit handlers.

#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace fuzz {

[[noreturn]] inline void Fail(const char* target, const char* what) {
  std::fprintf(stderr, "%s: %s\n", target, what);
  std::abort();
}

class ScratchFiles {
 public:
  explicit ScratchFiles(const char* target) : m_target(target), input(Make()), saved(Make()) {}

  // Writes the fuzzer's bytes as the input file.
  void WriteInput(const uint8_t* data, size_t size) const {
    std::FILE* f = std::fopen(input.c_str(), "wb");
    if (f == nullptr) Fail(m_target, "cannot write the input file");
    if (size > 0 && std::fwrite(data, 1, size, f) != size) Fail(m_target, "cannot write the input file");
    std::fclose(f);
  }
  void Remove() const {
    unlink(input.c_str());
    unlink(saved.c_str());
  }

 private:
  std::string Make() const {
    std::string name = std::string("/tmp/") + m_target + "-XXXXXX";
    const int fd = mkstemp(name.data());
    if (fd < 0) Fail(m_target, "cannot create a temporary file");
    close(fd);
    return name;
  }

  const char* m_target;

 public:
  const std::string input;
  const std::string saved;
};

// Removes both files when an input is done, however the target returns.
struct RemoveAfterInput {
  const ScratchFiles& files;
  ~RemoveAfterInput() { files.Remove(); }
};

}  // namespace fuzz
