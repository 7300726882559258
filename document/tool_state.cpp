#include "document/tool_state.h"

#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <memory>

#include "document/file_io.h"
#include "platform/code_page.h"

namespace varnel {
namespace {

constexpr char kMagic[6] = {'V', 'N', 'C', 'O', '\r', '\n'};
constexpr char kVersionTag[4] = {'V', 'E', 'R', 'S'};
constexpr char kSizeTag[4] = {'C', 'L', 'S', 'Z'};
constexpr char kClassTag[4] = {'L', 'C', 'L', 'R'};
constexpr char kEntryTag[4] = {'L', 'E', 'T', 'H'};
constexpr char kEndTag[4] = {'E', 'C', 'L', 'R'};
constexpr uint32_t kVersion = 100;
// Type code, key length and data size around the key: the part of an entry its block size counts.
constexpr uint32_t kEntryFixedSize = 12;
// Data whose size comes from the stream is read in pieces this big, so that a size field
// never decides by itself how much memory is taken.
constexpr size_t kChunk = 64 * 1024;

void PutU32(uint8_t* out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint32_t GetU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

bool SameTag(const uint8_t* p, const char (&tag)[4]) { return std::memcmp(p, tag, 4) == 0; }

bool ReadExact(ToolStateStream& s, void* buffer, size_t size) { return s.Read(buffer, size) == size; }

// Reads size bytes into out in pieces; false when the stream ends first. Memory grows only
// with the bytes that actually arrive.
bool ReadPieces(ToolStateStream& s, uint64_t size, std::string& out) {
  out.clear();
  while (out.size() < size) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(size - out.size(), kChunk));
    const size_t old = out.size();
    out.resize(old + want);
    const size_t got = s.Read(out.data() + old, want);
    if (got < want) {
      out.resize(old + got);
      return false;
    }
  }
  return true;
}

// Text as the tools hand it over ends at its first NUL.
std::string_view UpToNul(std::string_view text) { return text.substr(0, text.find('\0')); }

std::string TypeCode(std::string_view letters, char flag) {
  std::string code(letters);
  code += 'X';
  code += flag;
  return code;
}

// Reads the record header from the stream's position. False when it is unusable; otherwise
// the stream stands just after "LCLR".
bool ReadHeader(ToolStateStream& s, std::string& className) {
  className.clear();
  int64_t at = s.Position();
  if (at < 0) return false;
  const int64_t length = s.Length();

  uint8_t magic[6];
  if (!ReadExact(s, magic, 6) || std::memcmp(magic, kMagic, 6) != 0) return false;
  at += 6;

  // The version block: only its size is checked, its value never is.
  uint8_t block[8];
  if (!ReadExact(s, block, 8) || GetU32(block + 4) != 4) return false;
  at += 8 + 4;
  if (!s.Seek(at)) return false;

  // The size block is passed over by its own size.
  if (!ReadExact(s, block, 8)) return false;
  at += 8 + static_cast<int64_t>(GetU32(block + 4));
  if (!s.Seek(at)) return false;

  if (!ReadExact(s, block, 8) || !SameTag(block, kClassTag)) return false;
  at += 8;
  const uint32_t nameSize = GetU32(block + 4);
  if (length >= 0 && static_cast<int64_t>(nameSize) > length - at) return false;
  std::string name;
  if (!ReadPieces(s, nameSize, name)) return false;
  className = FromCodePage932(name);
  return true;
}

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

// ---- streams --------------------------------------------------------------------------------

MemoryToolStateStream::MemoryToolStateStream(const void* data, size_t size)
    : m_bytes(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size) {}

size_t MemoryToolStateStream::Read(void* buffer, size_t size) {
  if (m_position >= m_bytes.size()) return 0;
  const size_t n = std::min(size, m_bytes.size() - m_position);
  std::memcpy(buffer, m_bytes.data() + m_position, n);
  m_position += n;
  return n;
}

bool MemoryToolStateStream::Write(const void* data, size_t size) {
  if (size > std::numeric_limits<size_t>::max() - m_position) return false;
  const size_t end = m_position + size;
  if (end > m_bytes.size()) m_bytes.resize(end);  // a gap after a seek past the end reads as zeros
  if (size > 0) std::memcpy(m_bytes.data() + m_position, data, size);
  m_position = end;
  return true;
}

bool MemoryToolStateStream::Seek(int64_t position) {
  if (position < 0) return false;
  m_position = static_cast<size_t>(position);
  return true;
}

size_t FileToolStateStream::Read(void* buffer, size_t size) { return std::fread(buffer, 1, size, m_file); }

bool FileToolStateStream::Write(const void* data, size_t size) {
  return std::fwrite(data, 1, size, m_file) == size;
}

int64_t FileToolStateStream::Position() { return static_cast<int64_t>(::ftello(m_file)); }

bool FileToolStateStream::Seek(int64_t position) {
  return position >= 0 && ::fseeko(m_file, static_cast<off_t>(position), SEEK_SET) == 0;
}

int64_t FileToolStateStream::Length() {
  const off_t here = ::ftello(m_file);
  if (here < 0 || ::fseeko(m_file, 0, SEEK_END) != 0) return -1;
  const off_t end = ::ftello(m_file);
  if (::fseeko(m_file, here, SEEK_SET) != 0) return -1;
  return static_cast<int64_t>(end);
}

size_t FdToolStateStream::Read(void* buffer, size_t size) {
  auto* out = static_cast<uint8_t*>(buffer);
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::read(m_fd, out + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

bool FdToolStateStream::Write(const void* data, size_t size) {
  const auto* in = static_cast<const uint8_t*>(data);
  while (size > 0) {
    const ssize_t n = ::write(m_fd, in, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    in += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

int64_t FdToolStateStream::Position() { return static_cast<int64_t>(::lseek(m_fd, 0, SEEK_CUR)); }

bool FdToolStateStream::Seek(int64_t position) {
  return position >= 0 && ::lseek(m_fd, static_cast<off_t>(position), SEEK_SET) == static_cast<off_t>(position);
}

int64_t FdToolStateStream::Length() {
  const off_t here = ::lseek(m_fd, 0, SEEK_CUR);
  if (here < 0) return -1;
  const off_t end = ::lseek(m_fd, 0, SEEK_END);
  if (::lseek(m_fd, here, SEEK_SET) != here) return -1;
  return static_cast<int64_t>(end);
}

// ---- writer ---------------------------------------------------------------------------------

void ToolStateWriter::Put(const void* data, size_t size) {
  if (m_stream == nullptr || m_failed) return;
  if (!m_stream->Write(data, size)) m_failed = true;
}

void ToolStateWriter::WriteEntry(std::string_view key, std::string_view type, char flag, const void* data,
                                 size_t size) {
  if (m_stream == nullptr) return;
  // Such an entry could not be read back: the reader refuses long keys, and the sizes are 32-bit.
  if (key.size() > kToolStateMaxKeyLength || size > std::numeric_limits<uint32_t>::max()) {
    m_failed = true;
    return;
  }
  const std::string code = TypeCode(type, flag);
  const uint32_t keyLength = static_cast<uint32_t>(key.size());
  uint8_t head[16];
  std::memcpy(head, kEntryTag, 4);
  PutU32(head + 4, kEntryFixedSize + keyLength);
  std::memcpy(head + 8, code.data(), 4);
  PutU32(head + 12, keyLength);
  Put(head, sizeof head);
  Put(key.data(), key.size());
  uint8_t dataSize[4];
  PutU32(dataSize, static_cast<uint32_t>(size));
  Put(dataSize, 4);
  Put(data, size);
}

void ToolStateWriter::WriteInt(std::string_view key, int32_t value) {
  uint8_t bytes[4];
  PutU32(bytes, static_cast<uint32_t>(value));
  WriteEntry(key, kToolStateIntType, kToolStateValueFlag, bytes, 4);
}

void ToolStateWriter::WriteFlag(std::string_view key, int32_t value) { WriteInt(key, value & 0xFF); }

void ToolStateWriter::WriteText(std::string_view key, std::string_view text) {
  if (m_stream == nullptr) return;
  const std::string stored = ToCodePage932(UpToNul(text));
  WriteEntry(key, kToolStateTextType, kToolStateValueFlag, stored.data(), stored.size());
}

void ToolStateWriter::WriteBlock(std::string_view key, const void* bytes, size_t size) {
  if (bytes == nullptr && size > 0) {
    if (m_stream != nullptr) m_failed = true;
    return;
  }
  WriteEntry(key, kToolStateBlockType, kToolStateArrayFlag, bytes, size);
}

int32_t WriteToolState(ToolStateStream& file, ToolStateObject& tool) {
  ToolStateWriter writer(file);
  const int64_t start = file.Position();
  if (start < 0) return -1;

  uint8_t head[6 + 12 + 12];
  std::memcpy(head, kMagic, 6);
  std::memcpy(head + 6, kVersionTag, 4);
  PutU32(head + 10, 4);
  PutU32(head + 14, kVersion);
  std::memcpy(head + 18, kSizeTag, 4);
  PutU32(head + 22, 4);
  PutU32(head + 26, 0);  // N, filled in once the record is complete
  writer.Put(head, sizeof head);
  const int64_t sizePosition = start + 26;

  const std::string name = ToCodePage932(tool.ToolClassName());
  if (name.size() > std::numeric_limits<uint32_t>::max()) return -1;
  uint8_t classHead[8];
  std::memcpy(classHead, kClassTag, 4);
  PutU32(classHead + 4, static_cast<uint32_t>(name.size()));
  writer.Put(classHead, 8);
  writer.Put(name.data(), name.size());

  tool.SaveState(writer);

  uint8_t end[8];
  std::memcpy(end, kEndTag, 4);
  PutU32(end + 4, 0);
  writer.Put(end, 8);
  if (writer.Failed()) return -1;

  const int64_t endPosition = file.Position();
  if (endPosition < sizePosition) return -1;
  const uint64_t n = static_cast<uint64_t>(endPosition - sizePosition);
  if (n > std::numeric_limits<uint32_t>::max()) return -1;
  uint8_t nBytes[4];
  PutU32(nBytes, static_cast<uint32_t>(n));
  if (!file.Seek(sizePosition) || !file.Write(nBytes, 4) || !file.Seek(endPosition)) return -1;
  return 0;
}

// ---- reader ---------------------------------------------------------------------------------

std::string ReadToolClassName(ToolStateStream& file) {
  std::string name;
  ReadHeader(file, name);
  return name;
}

ToolStateReader::ToolStateReader(ToolStateStream& stream) {
  std::string name;
  if (!ReadHeader(stream, name)) return;
  const int64_t entries = stream.Position();
  if (entries < 0) return;
  m_stream = &stream;
  m_entriesStart = entries;
  m_length = stream.Length();
  m_className = std::move(name);
}

// Reads the next entry header from at, passing over blocks that are not entries. False at
// "ECLR" or when the data ends inside a header.
bool ToolStateReader::NextEntry(int64_t at, EntryHeader& header) {
  for (;;) {
    if (!m_stream->Seek(at)) return false;
    uint8_t block[8];
    if (!ReadExact(*m_stream, block, 8)) return false;
    const uint32_t blockSize = GetU32(block + 4);
    at += 8;
    if (SameTag(block, kEndTag)) return false;
    if (!SameTag(block, kEntryTag)) {
      at += blockSize;
      continue;
    }
    uint8_t fields[8];
    if (!ReadExact(*m_stream, fields, 8)) return false;
    const uint32_t keyLength = GetU32(fields + 4);
    if (keyLength > kToolStateMaxKeyLength) throw ToolStateFormatError(ToolStateFormatError::Reason::kKeyTooLong);
    header.type.assign(reinterpret_cast<const char*>(fields), 4);
    header.key.resize(keyLength);
    if (!ReadExact(*m_stream, header.key.data(), keyLength)) return false;
    uint8_t dataSize[4];
    if (!ReadExact(*m_stream, dataSize, 4)) return false;
    header.size = GetU32(dataSize);
    // A block size larger than the header leaves bytes that come before the data.
    const uint64_t counted = uint64_t{kEntryFixedSize} + keyLength;
    const uint64_t rest = blockSize > counted ? blockSize - counted : 0;
    header.dataPosition = at + static_cast<int64_t>(counted + rest);
    return true;
  }
}

bool ToolStateReader::Locate(std::string_view key, std::string_view typeCode, uint32_t& size) {
  EntryHeader header;
  int64_t at = m_entriesStart;
  while (NextEntry(at, header)) {
    if (header.key == key && header.type == typeCode) {
      // Data that runs past the end cannot be read, and its size must not be handed on as a
      // size to allocate.
      if (m_length >= 0 && static_cast<int64_t>(header.size) > m_length - header.dataPosition) {
        throw ToolStateFormatError(ToolStateFormatError::Reason::kTruncated);
      }
      if (!m_stream->Seek(header.dataPosition)) return false;
      size = header.size;
      return true;
    }
    at = header.dataPosition + header.size;
  }
  return false;
}

std::string ToolStateReader::ReadData(uint32_t size) {
  std::string data;
  if (!ReadPieces(*m_stream, size, data)) throw ToolStateFormatError(ToolStateFormatError::Reason::kTruncated);
  return data;
}

int64_t ToolStateReader::FindEntry(std::string_view key, std::string_view typeLetters, char flag) {
  if (m_stream == nullptr) return -1;
  uint32_t size = 0;
  if (typeLetters.size() != 2 || !Locate(key, TypeCode(typeLetters, flag), size)) return 0;
  return size;
}

int32_t ToolStateReader::ReadInt(std::string_view key) {
  const int64_t size = FindEntry(key, kToolStateIntType, kToolStateValueFlag);
  if (size <= 0) return 0;
  if (size != 4) throw ToolStateFormatError(ToolStateFormatError::Reason::kIntegerSize);
  uint8_t bytes[4];
  if (!ReadExact(*m_stream, bytes, 4)) throw ToolStateFormatError(ToolStateFormatError::Reason::kTruncated);
  return static_cast<int32_t>(GetU32(bytes));
}

void WriteToolStateField(ToolStateWriter& writer, std::string_view key, const FieldPointer& field) {
  std::visit(FieldVisitor{
                 [&](const int32_t* value) { writer.WriteInt(key, *value); },
                 [&](const bool* value) { writer.WriteFlag(key, *value ? 1 : 0); },
                 [&](const uint8_t* value) { writer.WriteFlag(key, *value); },
                 [&](const std::string* value) { writer.WriteText(key, *value); },
                 [](const std::optional<int32_t>*) {},
                 [](std::monostate) {},
             },
             field);
}

void ReadToolStateField(ToolStateReader& reader, std::string_view key, const FieldPointer& field) {
  std::visit(FieldVisitor{
                 [&](int32_t* value) { *value = reader.ReadInt(key); },
                 [&](bool* value) { *value = reader.ReadFlag(key); },
                 [&](uint8_t* value) { *value = reader.ReadFlag(key) ? 1 : 0; },
                 [&](std::string* value) { reader.ReadText(key, *value); },
                 [](std::optional<int32_t>*) {},
                 [](std::monostate) {},
             },
             field);
}

bool ToolStateReader::ReadText(std::string_view key, std::string& text) {
  const int64_t size = FindEntry(key, kToolStateTextType, kToolStateValueFlag);
  if (size <= 0) return false;
  const std::string stored = ReadData(static_cast<uint32_t>(size));
  text = FromCodePage932(UpToNul(stored));
  return true;
}

int64_t ToolStateReader::ReadBlock(std::string_view key, void* buffer, size_t size) {
  if (m_stream == nullptr) return -1;
  uint32_t found = 0;
  // An entry of D = 0 exists and is not missing, unlike an empty text.
  const bool exists = Locate(key, TypeCode(kToolStateBlockType, kToolStateArrayFlag), found);
  if (buffer == nullptr) return exists ? found : 0;
  if (!exists) throw ToolStateFormatError(ToolStateFormatError::Reason::kMissingBlock);
  // Never more than the entry holds: bytes beyond it belong to the next block.
  const size_t take = std::min<size_t>(size, found);
  if (!ReadExact(*m_stream, buffer, take)) throw ToolStateFormatError(ToolStateFormatError::Reason::kTruncated);
  return found;
}

std::vector<ToolStateEntry> ToolStateReader::ListEntries() {
  std::vector<ToolStateEntry> entries;
  if (m_stream == nullptr) return entries;
  EntryHeader header;
  int64_t at = m_entriesStart;
  while (NextEntry(at, header)) {
    if (m_length >= 0 && static_cast<int64_t>(header.size) > m_length - header.dataPosition) {
      throw ToolStateFormatError(ToolStateFormatError::Reason::kTruncated);
    }
    if (!m_stream->Seek(header.dataPosition)) throw ToolStateFormatError(ToolStateFormatError::Reason::kTruncated);
    entries.push_back({header.key, header.type, ReadData(header.size)});
    at = header.dataPosition + header.size;
  }
  return entries;
}

int32_t ReadToolState(ToolStateStream& file, ToolStateObject& tool, bool paste) {
  ToolStateReader reader(file);
  if (!reader.IsUsable()) return -1;
  return tool.LoadState(reader, paste);
}

// ---- the ".vpo" file ------------------------------------------------------------------------

int32_t SaveToolStateFile(const std::string& path, std::string_view toolName, ToolStateObject& tool) {
  // The name ends at the line feed, so it cannot hold one.
  if (toolName.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos) return -1;
  std::string line(kToolStateFilePrefix);
  line += ToCodePage932(toolName);
  line += '\n';

  // The record's size is back-filled, so it is built in memory and written in one piece.
  MemoryToolStateStream record;
  if (!record.Write(line.data(), line.size()) || WriteToolState(record, tool) != 0) return -1;
  FileWriter out;
  if (!out.TryCreate(path)) return -1;
  try {
    out.Write(record.Bytes().data(), record.Bytes().size());
    out.Commit();
  } catch (const FileError&) {
    return -1;
  }
  return 0;
}

bool ReadToolStateFileLine(ToolStateStream& file, std::string& toolName) {
  const int64_t start = file.Position();
  if (start < 0) return false;
  char buffer[kToolStateFileMaxLine];
  const size_t got = file.Read(buffer, sizeof buffer);
  const std::string_view read(buffer, got);
  size_t lineEnd = read.find('\n');
  if (lineEnd == std::string_view::npos) {
    // A whole buffer without a line feed is no first line; a shorter file is one line.
    if (got == sizeof buffer) return false;
    lineEnd = got;
  }
  if (!file.Seek(start + static_cast<int64_t>(std::min(lineEnd + 1, got)))) return false;
  std::string_view line = read.substr(0, lineEnd);
  if (line.ends_with('\r')) line.remove_suffix(1);
  if (!line.starts_with(kToolStateFilePrefix)) return false;
  toolName = FromCodePage932(line.substr(kToolStateFilePrefix.size()));
  return true;
}

int32_t LoadToolStateFile(ToolStateStream& file, const ToolStateLookup& lookup, std::string& toolName,
                          std::string& message) {
  toolName.clear();
  message.clear();
  if (!ReadToolStateFileLine(file, toolName)) {
    toolName.clear();
    message = kUnsupportedObjectFormat;
    return -1;
  }
  ToolStateObject* tool = lookup ? lookup(toolName) : nullptr;
  if (tool == nullptr) {
    message = kUnsupportedObjectFormat;
    return -1;
  }
  // A record that cannot be read would leave the tool with nothing but defaults, so the tool
  // is not asked to load from it.
  ToolStateReader reader(file);
  if (!reader.IsUsable()) {
    message = kUnsupportedObjectFormat;
    return -1;
  }
  try {
    return tool->LoadState(reader, false);
  } catch (const ToolStateFormatError& error) {
    message = error.what();
    return -1;
  }
}

int32_t LoadToolStateFile(const std::string& path, const ToolStateLookup& lookup, std::string& toolName,
                          std::string& message) {
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) {
    toolName.clear();
    message = kToolStateCannotOpen;
    return -1;
  }
  FileToolStateStream stream(file.get());
  return LoadToolStateFile(stream, lookup, toolName, message);
}

}  // namespace varnel
