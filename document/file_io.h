#pragma once
// Binary file reading and writing for the program's own formats. Writers never leave a
// half-written file: they write a new file beside the target and rename it into place only
// when everything was written. Readers know how much the file still holds, so that no size
// field read from a file can make them allocate more than that.

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace varnel {

// A file system error while writing (or opening for reading): the caller reports it with the
// standard file-error message.
class FileError : public std::runtime_error {
 public:
  FileError(const std::string& path, int error);
  const std::string& Path() const { return m_path; }
  int Error() const { return m_error; }

 private:
  std::string m_path;
  int m_error;
};

class FileReader {
 public:
  FileReader() = default;
  ~FileReader();
  FileReader(const FileReader&) = delete;
  FileReader& operator=(const FileReader&) = delete;

  // False (errno kept) when the file cannot be opened or is not a regular file.
  bool Open(const std::string& path);
  void Close();
  bool IsOpen() const { return m_fd >= 0; }

  // Reads up to size bytes; answers how many were read (fewer only at the end of the file or
  // on a read error).
  size_t Read(void* buffer, size_t size);
  bool ReadExact(void* buffer, size_t size) { return Read(buffer, size) == size; }
  // Moves forward; false when that passes the end of the file (the position is then the end).
  bool Skip(uint64_t size);
  // Moves back by size bytes (not before the start).
  void Back(uint64_t size);
  uint64_t Position() const { return m_position; }
  uint64_t Size() const { return m_size; }
  uint64_t Remaining() const { return m_size > m_position ? m_size - m_position : 0; }
  // Reads size bytes at position without moving; false when the file holds fewer.
  bool ReadAt(uint64_t position, void* buffer, size_t size) const;
  // The whole file mapped read-only with its pages mapped at once, valid while the reader is
  // open; null when it cannot be mapped. Should another program cut the file short, touching
  // the lost part here faults: hand such memory to the system (FileWriter::WriteDirect),
  // which answers an error instead.
  const uint8_t* Map();

 private:
  void Seek(uint64_t position);

  int m_fd = -1;
  uint64_t m_size = 0;
  uint64_t m_position = 0;  // of the next byte the caller reads
  void* m_map = nullptr;
  size_t m_mapSize = 0;
  std::vector<uint8_t> m_buffer;
  size_t m_bufferStart = 0;  // next unread byte in m_buffer
  size_t m_bufferEnd = 0;
};

// How the temporary file a write goes to before it takes the output's name starts: ".vn", the
// writing process's number and "-", then a count and ".tmp", in the output's folder.
std::string TemporaryNamePrefix(int process);

class FileWriter {
 public:
  // bufferSize: small writes are collected up to this many bytes; larger ones go straight out.
  explicit FileWriter(size_t bufferSize = 64 * 1024);
  // Without Commit, the new file is removed and the target stays as it was.
  ~FileWriter();
  FileWriter(const FileWriter&) = delete;
  FileWriter& operator=(const FileWriter&) = delete;

  // Starts the new file beside path. Throws FileError when it cannot be created.
  void Create(const std::string& path);
  // False instead of throwing (writers that fail silently when the file cannot be made).
  bool TryCreate(const std::string& path);
  // Tells the file system how large the file will be, so its blocks are laid out in one go.
  void Reserve(uint64_t size);
  void Write(const void* data, size_t size);
  // Write without the buffer: the bytes go to the system as they are, never read here.
  void WriteDirect(const void* data, size_t size);
  void WriteU8(uint8_t v) { Write(&v, 1); }
  void WriteU16(uint16_t v);
  void WriteU32(uint32_t v);
  void WriteI32(int32_t v) { WriteU32(static_cast<uint32_t>(v)); }
  // Overwrites 4 bytes already written at offset (from the start of the file).
  void PatchU32(uint64_t offset, uint32_t v);
  uint64_t Position() const { return m_written + m_fill; }
  // Writes out what is buffered and renames the new file into place. Throws FileError.
  void Commit();
  // Removes the new file.
  void Abandon();

 private:
  void Flush();
  void WriteOut(const uint8_t* data, size_t size);
  [[noreturn]] void Fail(int error);

  int m_fd = -1;
  std::string m_path;
  std::string m_temporary;
  std::vector<uint8_t> m_buffer;
  size_t m_fill = 0;
  uint64_t m_written = 0;
};

// Little-endian field access for in-memory records.
inline uint32_t LoadU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}
inline int32_t LoadI32(const uint8_t* p) { return static_cast<int32_t>(LoadU32(p)); }
inline void StoreU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace varnel
