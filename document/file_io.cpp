#include "document/file_io.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace varnel {
namespace {

constexpr size_t kReadBuffer = 64 * 1024;

std::string DescribeError(const std::string& path, int error) {
  return path + ": " + std::strerror(error);
}

}  // namespace

FileError::FileError(const std::string& path, int error)
    : std::runtime_error(DescribeError(path, error)), m_path(path), m_error(error) {}

// ---------------------------------------------------------------------------------------------
// Reading

FileReader::~FileReader() { Close(); }

bool FileReader::Open(const std::string& path) {
  Close();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    const int error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    ::close(fd);
    errno = error;
    return false;
  }
  m_fd = fd;
  m_size = static_cast<uint64_t>(st.st_size);
  m_position = 0;
  m_bufferStart = m_bufferEnd = 0;
  return true;
}

void FileReader::Close() {
  if (m_map) ::munmap(m_map, m_mapSize);
  m_map = nullptr;
  m_mapSize = 0;
  if (m_fd >= 0) ::close(m_fd);
  m_fd = -1;
  m_size = m_position = 0;
  m_bufferStart = m_bufferEnd = 0;
}

size_t FileReader::Read(void* buffer, size_t size) {
  if (m_fd < 0) return 0;
  auto* out = static_cast<uint8_t*>(buffer);
  size_t done = 0;
  // What the buffer holds first.
  const size_t buffered = std::min(size, m_bufferEnd - m_bufferStart);
  if (buffered > 0) {
    std::memcpy(out, m_buffer.data() + m_bufferStart, buffered);
    m_bufferStart += buffered;
    done = buffered;
  }
  while (done < size) {
    const size_t want = size - done;
    if (want >= kReadBuffer) {
      // Large reads (pixel blocks) go straight into the caller's memory.
      const ssize_t n = ::read(m_fd, out + done, want);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += static_cast<size_t>(n);
      continue;
    }
    if (m_buffer.size() < kReadBuffer) m_buffer.resize(kReadBuffer);
    const ssize_t n = ::read(m_fd, m_buffer.data(), kReadBuffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    m_bufferStart = 0;
    m_bufferEnd = static_cast<size_t>(n);
    const size_t take = std::min(want, m_bufferEnd);
    std::memcpy(out + done, m_buffer.data(), take);
    m_bufferStart = take;
    done += take;
  }
  m_position += done;
  return done;
}

void FileReader::Seek(uint64_t position) {
  m_position = std::min(position, m_size);
  m_bufferStart = m_bufferEnd = 0;
  ::lseek(m_fd, static_cast<off_t>(m_position), SEEK_SET);
}

bool FileReader::ReadAt(uint64_t position, void* buffer, size_t size) const {
  if (m_fd < 0) return false;
  auto* out = static_cast<uint8_t*>(buffer);
  while (size > 0) {
    const ssize_t n = ::pread(m_fd, out, size, static_cast<off_t>(position));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    out += n;
    size -= static_cast<size_t>(n);
    position += static_cast<uint64_t>(n);
  }
  return true;
}

const uint8_t* FileReader::Map() {
  if (m_map) return static_cast<const uint8_t*>(m_map);
  if (m_fd < 0 || m_size == 0 || m_size > SIZE_MAX) return nullptr;
  void* map = ::mmap(nullptr, static_cast<size_t>(m_size), PROT_READ, MAP_PRIVATE | MAP_POPULATE, m_fd, 0);
  if (map == MAP_FAILED) return nullptr;
  m_map = map;
  m_mapSize = static_cast<size_t>(m_size);
  return static_cast<const uint8_t*>(m_map);
}

bool FileReader::Skip(uint64_t size) {
  if (m_fd < 0) return false;
  const uint64_t buffered = m_bufferEnd - m_bufferStart;
  if (size <= buffered) {
    m_bufferStart += static_cast<size_t>(size);
    m_position += size;
    return true;
  }
  const bool inside = size <= Remaining();
  Seek(inside ? m_position + size : m_size);
  return inside;
}

void FileReader::Back(uint64_t size) {
  if (m_fd < 0) return;
  if (size <= m_bufferStart) {
    m_bufferStart -= static_cast<size_t>(size);
    m_position -= size;
    return;
  }
  Seek(size > m_position ? 0 : m_position - size);
}

// ---------------------------------------------------------------------------------------------
// Writing

std::string TemporaryNamePrefix(int process) { return ".vn" + std::to_string(process) + "-"; }

FileWriter::FileWriter(size_t bufferSize) : m_buffer(std::max<size_t>(bufferSize, 16)) {}

FileWriter::~FileWriter() { Abandon(); }

bool FileWriter::TryCreate(const std::string& path) {
  Abandon();
  static std::atomic<uint32_t> counter{0};
  // The new file keeps the permissions of the one it replaces; a folder is not replaced, even
  // one a link points to.
  mode_t mode = 0666;
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) {
      errno = EISDIR;
      return false;
    }
    if (S_ISREG(st.st_mode)) mode = st.st_mode & 07777;
  }
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  for (int tried = 0; tried < 100; ++tried) {
    // A short name of its own, so that an output name as long as a file name may be still
    // leaves room for it; the process number lets an interrupted command find its own.
    std::string name = folder + TemporaryNamePrefix(::getpid()) + std::to_string(counter++) + ".tmp";
    const int fd = ::open(name.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, mode);
    if (fd >= 0) {
      m_fd = fd;
      m_path = path;
      m_temporary = std::move(name);
      m_fill = 0;
      m_written = 0;
      return true;
    }
    if (errno != EEXIST && errno != EINTR) return false;
  }
  errno = EEXIST;
  return false;
}

void FileWriter::Create(const std::string& path) {
  if (!TryCreate(path)) throw FileError(path, errno);
}

void FileWriter::Fail(int error) {
  const std::string path = m_path;
  Abandon();
  throw FileError(path, error);
}

void FileWriter::WriteOut(const uint8_t* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(m_fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      Fail(errno);
    }
    if (n == 0) Fail(ENOSPC);
    data += n;
    size -= static_cast<size_t>(n);
    m_written += static_cast<uint64_t>(n);
  }
}

void FileWriter::Flush() {
  if (m_fill == 0) return;
  const size_t fill = m_fill;
  m_fill = 0;
  WriteOut(m_buffer.data(), fill);
}

void FileWriter::Write(const void* data, size_t size) {
  if (m_fd < 0) throw FileError(m_path, EBADF);
  const auto* bytes = static_cast<const uint8_t*>(data);
  if (m_fill + size <= m_buffer.size()) {
    std::memcpy(m_buffer.data() + m_fill, bytes, size);
    m_fill += size;
    return;
  }
  Flush();
  if (size >= m_buffer.size()) {
    WriteOut(bytes, size);
  } else {
    std::memcpy(m_buffer.data(), bytes, size);
    m_fill = size;
  }
}

void FileWriter::WriteDirect(const void* data, size_t size) {
  if (m_fd < 0) throw FileError(m_path, EBADF);
  Flush();
  WriteOut(static_cast<const uint8_t*>(data), size);
}

void FileWriter::Reserve(uint64_t size) {
  // Only a hint: a file system without it just allocates as the bytes arrive.
  if (m_fd >= 0 && size > 0) ::posix_fallocate(m_fd, 0, static_cast<off_t>(size));
}

void FileWriter::WriteU16(uint16_t v) {
  const uint8_t b[2] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)};
  Write(b, 2);
}

void FileWriter::WriteU32(uint32_t v) {
  uint8_t b[4];
  StoreU32(b, v);
  Write(b, 4);
}

void FileWriter::PatchU32(uint64_t offset, uint32_t v) {
  uint8_t b[4];
  StoreU32(b, v);
  if (offset >= m_written && offset + 4 <= m_written + m_fill) {
    std::memcpy(m_buffer.data() + (offset - m_written), b, 4);
    return;
  }
  Flush();
  if (::pwrite(m_fd, b, 4, static_cast<off_t>(offset)) != 4) Fail(errno ? errno : EIO);
}

void FileWriter::Commit() {
  if (m_fd < 0) throw FileError(m_path, EBADF);
  Flush();
  const int fd = m_fd;
  m_fd = -1;
  if (::close(fd) != 0) {
    const int error = errno;
    m_fd = -1;
    ::unlink(m_temporary.c_str());
    m_temporary.clear();
    throw FileError(m_path, error);
  }
  // Swapping the two names keeps the old file whole until the new one is in place, without
  // the file system's write-out that renaming over an existing file triggers; file systems
  // without the swap get the plain rename.
  // Only a regular file is swapped: anything else at the path (a folder, a link) must make the
  // plain rename answer as it does.
  struct stat target {};
  const bool replacesFile = ::lstat(m_path.c_str(), &target) == 0 && S_ISREG(target.st_mode);
  if (replacesFile &&
      ::renameat2(AT_FDCWD, m_temporary.c_str(), AT_FDCWD, m_path.c_str(), RENAME_EXCHANGE) == 0) {
    ::unlink(m_temporary.c_str());  // now the old file
    m_temporary.clear();
    return;
  }
  if (std::rename(m_temporary.c_str(), m_path.c_str()) != 0) {
    const int error = errno;
    ::unlink(m_temporary.c_str());
    m_temporary.clear();
    throw FileError(m_path, error);
  }
  m_temporary.clear();
}

void FileWriter::Abandon() {
  if (m_fd >= 0) ::close(m_fd);
  m_fd = -1;
  if (!m_temporary.empty()) ::unlink(m_temporary.c_str());
  m_temporary.clear();
  m_fill = 0;
}

}  // namespace varnel
