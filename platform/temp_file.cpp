#include "platform/temp_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>

namespace varnel {
namespace {

constexpr uint32_t kMaxTempNumber = 0xFFFF;

uint32_t StartNumber() {
  // Time and process id spread the first guesses of copies started together.
  auto ticks = static_cast<uint64_t>(
      std::chrono::steady_clock::now().time_since_epoch().count());
  uint64_t mixed = ticks ^ (static_cast<uint64_t>(getpid()) * 0x9E3779B97F4A7C15ull);
  mixed ^= mixed >> 29;
  return static_cast<uint32_t>(mixed % kMaxTempNumber) + 1;
}

}  // namespace

std::string TempDirectory() {
  const char* tmp = std::getenv("TMPDIR");
  std::string folder = tmp != nullptr && tmp[0] != '\0' ? tmp : "/tmp";
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

std::string TempFileName(std::string_view prefix, uint32_t number) {
  return TempFileName(TempDirectory(), prefix, number);
}

std::string TempFileName(std::string_view directory, std::string_view prefix, uint32_t number) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string digits;
  do {
    digits.insert(digits.begin(), kHex[number & 0xF]);
    number >>= 4;
  } while (number != 0);

  std::string name(directory);
  if (name.empty() || name.back() != '/') name += '/';  // TMPDIR=/ must not give "//"
  name.append(prefix);
  name += digits;
  name += ".tmp";
  return name;
}

uint32_t CreateTempFile(std::string_view prefix) { return CreateTempFile(TempDirectory(), prefix); }

uint32_t CreateTempFile(std::string_view directory, std::string_view prefix) {
  // The prefix is part of a file name in the temporary folder, nowhere else.
  if (prefix.find('/') != std::string_view::npos || prefix.find('\0') != std::string_view::npos) {
    return 0;
  }
  uint32_t number = StartNumber();
  for (uint32_t tried = 0; tried < kMaxTempNumber;) {
    int fd = open(TempFileName(directory, prefix, number).c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC,
                  0600);
    if (fd >= 0) {
      close(fd);
      return number;
    }
    if (errno == EINTR) continue;
    if (errno != EEXIST) return 0;
    number = number == kMaxTempNumber ? 1 : number + 1;
    ++tried;
  }
  return 0;
}

}  // namespace varnel
