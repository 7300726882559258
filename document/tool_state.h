#pragma once
// The tool state record: a tool's class name and its named, typed settings in a small tagged
// binary record (magic "VNCO\r\n"), and the ".vpo" tool state file that carries one record
// after a first line naming the tool.
//
// Record layout, little-endian, every block a 4-byte tag and a 4-byte size:
//   "VNCO\r\n"
//   "VERS" 4  version 100
//   "CLSZ" 4  N = bytes from the first byte of N through the 8 bytes of the final "ECLR"
//   "LCLR" L  class name, code page 932, no terminator
//   entries: "LETH" 12+K, type code (4), K, key (K bytes), D, then D data bytes that the block
//            size does not cover
//   "ECLR" 0
//
// A record may start anywhere in a stream (in a ".vpo" file it follows the first line); every
// position the reader and writer remember is taken where the record starts.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/record_field.h"

namespace varnel {

class ToolStateObject;

// Type letters and flag letters of the entries; the type code is letters + 'X' + flag.
inline constexpr std::string_view kToolStateIntType = "I4";    // 32-bit integers, flags, bytes
inline constexpr std::string_view kToolStateTextType = "BS";   // text, code page 932
inline constexpr std::string_view kToolStateBlockType = "I0";  // raw bytes
inline constexpr char kToolStateValueFlag = 'O';
inline constexpr char kToolStateArrayFlag = 'A';

// Keys longer than this make a record malformed.
inline constexpr uint32_t kToolStateMaxKeyLength = 4096;

// The first line of a ".vpo" file is this prefix, the tool's name and a line feed.
inline constexpr std::string_view kToolStateFilePrefix = "Varnel.Embedded.";
// A first line that does not reach its line feed within this many bytes is not one.
inline constexpr size_t kToolStateFileMaxLine = 4096;

// Shown when a ".vpo" file does not start with the prefix, or holds no usable record.
inline constexpr const char* kUnsupportedObjectFormat = "サポートされていないオブジェクト形式です";
// When the file itself cannot be opened.
inline constexpr const char* kToolStateCannotOpen = "ファイルを開けません";
// The text of every ToolStateFormatError.
inline constexpr const char* kMalformedToolState = "ツール状態のデータが正しくありません";

// A malformed record: it ends the load, and the tool keeps the values it has read so far.
class ToolStateFormatError : public std::runtime_error {
 public:
  enum class Reason {
    kKeyTooLong,      // an entry's key is longer than kToolStateMaxKeyLength
    kIntegerSize,     // an integer entry whose data is not 4 bytes
    kMissingBlock,    // a block entry whose bytes are asked for does not exist
    kTruncated,       // an entry's data runs past the end of the stream
  };
  explicit ToolStateFormatError(Reason reason) : std::runtime_error(kMalformedToolState), m_reason(reason) {}
  Reason reason() const { return m_reason; }

 private:
  Reason m_reason;
};

// A seekable run of bytes the record is read from or written to. Positions are absolute
// within the stream.
class ToolStateStream {
 public:
  virtual ~ToolStateStream() = default;
  // Reads up to size bytes; fewer only at the end of the data or on an error.
  virtual size_t Read(void* buffer, size_t size) = 0;
  // Writes all size bytes at the position, overwriting or extending; false on failure.
  virtual bool Write(const void* data, size_t size) = 0;
  // -1 when the stream cannot tell.
  virtual int64_t Position() = 0;
  // Seeking past the end is allowed; reads there find nothing.
  virtual bool Seek(int64_t position) = 0;
  // The total length of the data; -1 when unknown.
  virtual int64_t Length() = 0;
};

// Bytes in memory: the object palette's records and what travels over the network.
class MemoryToolStateStream final : public ToolStateStream {
 public:
  MemoryToolStateStream() = default;
  explicit MemoryToolStateStream(std::vector<uint8_t> bytes) : m_bytes(std::move(bytes)) {}
  MemoryToolStateStream(const void* data, size_t size);

  size_t Read(void* buffer, size_t size) override;
  bool Write(const void* data, size_t size) override;
  int64_t Position() override { return static_cast<int64_t>(m_position); }
  bool Seek(int64_t position) override;
  int64_t Length() override { return static_cast<int64_t>(m_bytes.size()); }

  const std::vector<uint8_t>& Bytes() const { return m_bytes; }

 private:
  std::vector<uint8_t> m_bytes;
  size_t m_position = 0;
};

// An open stdio file; not owned, not closed.
class FileToolStateStream final : public ToolStateStream {
 public:
  explicit FileToolStateStream(std::FILE* file) : m_file(file) {}

  size_t Read(void* buffer, size_t size) override;
  bool Write(const void* data, size_t size) override;
  int64_t Position() override;
  bool Seek(int64_t position) override;
  int64_t Length() override;

 private:
  std::FILE* m_file;
};

// An open POSIX file descriptor; not owned, not closed.
class FdToolStateStream final : public ToolStateStream {
 public:
  explicit FdToolStateStream(int fd) : m_fd(fd) {}

  size_t Read(void* buffer, size_t size) override;
  bool Write(const void* data, size_t size) override;
  int64_t Position() override;
  bool Seek(int64_t position) override;
  int64_t Length() override;

 private:
  int m_fd;
};

// Writes the entries of one record. Without a stream every write does nothing.
class ToolStateWriter {
 public:
  ToolStateWriter() = default;
  explicit ToolStateWriter(ToolStateStream& stream) : m_stream(&stream) {}

  void WriteInt(std::string_view key, int32_t value);
  // Stores the low byte of value as a 32-bit 0 … 255.
  void WriteFlag(std::string_view key, int32_t value);
  // UTF-8 text up to its first NUL, stored in code page 932 without a terminator.
  void WriteText(std::string_view key, std::string_view text);
  void WriteBlock(std::string_view key, const void* bytes, size_t size);

  // True once a write failed or an entry could not be stored (a key longer than
  // kToolStateMaxKeyLength, data beyond 32-bit sizes).
  bool Failed() const { return m_failed; }

 private:
  friend int32_t WriteToolState(ToolStateStream&, ToolStateObject&);
  void WriteEntry(std::string_view key, std::string_view type, char flag, const void* data, size_t size);
  void Put(const void* data, size_t size);

  ToolStateStream* m_stream = nullptr;
  bool m_failed = false;
};

// One entry as it stands in the record, for listing a record's contents.
struct ToolStateEntry {
  std::string key;   // the key bytes as stored
  std::string type;  // the 4-letter type code as stored
  std::string data;  // the D data bytes
};

// Reads the entries of one record by key. Every lookup starts again at the first entry, so
// the order of lookups need not follow the order of writing. Reads that find nothing leave
// the tool's defaults; a malformed record throws ToolStateFormatError.
class ToolStateReader {
 public:
  // No stream: FindEntry answers -1 and every read returns its default.
  ToolStateReader() = default;
  // Reads the record header at the stream's current position (see ReadToolClassName).
  explicit ToolStateReader(ToolStateStream& stream);

  // False when no stream is attached or the header was unusable; the reader then acts as if
  // no stream were attached.
  bool IsUsable() const { return m_stream != nullptr; }
  // The class name read from the header, UTF-8.
  const std::string& ClassName() const { return m_className; }

  // The data size D of the first entry with this key and type code (type letters + 'X' +
  // flag), leaving the stream at its data; 0 when there is none; -1 without a stream.
  int64_t FindEntry(std::string_view key, std::string_view typeLetters, char flag);
  // 0 when missing.
  int32_t ReadInt(std::string_view key);
  bool ReadFlag(std::string_view key) { return ReadInt(key) != 0; }
  // Replaces text with the stored text (UTF-8, up to its first NUL) and answers true; a
  // missing or empty entry leaves text unchanged and answers false.
  bool ReadText(std::string_view key, std::string& text);
  // D of the block entry. With a buffer, its first min(D, size) bytes are filled and the rest
  // is left as it was; a missing entry is then malformed. Without a stream, -1.
  int64_t ReadBlock(std::string_view key, void* buffer, size_t size);

  // Every entry from the first to "ECLR" (or the end of the data), in record order.
  std::vector<ToolStateEntry> ListEntries();

 private:
  struct EntryHeader {
    std::string type;
    std::string key;
    uint32_t size = 0;          // D
    int64_t dataPosition = 0;   // where the D bytes start
  };
  bool NextEntry(int64_t at, EntryHeader& header);
  bool Locate(std::string_view key, std::string_view typeCode, uint32_t& size);
  std::string ReadData(uint32_t size);

  ToolStateStream* m_stream = nullptr;
  int64_t m_entriesStart = 0;
  int64_t m_length = -1;
  std::string m_className;
};

// A record's entries as its key table names them; the writer and the reader walk the same rows
// in the same order. Integers are integers, bool and uint8_t fields flags, texts texts.
template <class Record>
struct ToolStateKey {
  const char* key;
  RecordField<Record> field;
};

void WriteToolStateField(ToolStateWriter& writer, std::string_view key, const FieldPointer& field);
// A missing integer or flag reads as 0; a missing text leaves the field as it was.
void ReadToolStateField(ToolStateReader& reader, std::string_view key, const FieldPointer& field);

template <class Record>
void WriteToolStateKeys(ToolStateWriter& writer, std::span<const ToolStateKey<Record>> keys, const Record& record) {
  for (const ToolStateKey<Record>& row : keys) WriteToolStateField(writer, row.key, row.field.Bind(record));
}

template <class Record>
void ReadToolStateKeys(ToolStateReader& reader, std::span<const ToolStateKey<Record>> keys, Record& record) {
  for (const ToolStateKey<Record>& row : keys) ReadToolStateField(reader, row.key, row.field.Bind(record));
}

// What a tool implements to store and restore its settings.
class ToolStateObject {
 public:
  virtual ~ToolStateObject() = default;
  // The class name recorded in "LCLR", UTF-8.
  virtual std::string ToolClassName() const = 0;
  // Writes the tool's entries.
  virtual void SaveState(ToolStateWriter& writer) = 0;
  // Reads the tool's entries; paste is set when the object palette pastes a stored state
  // rather than loading it. Answers 0, or -1. May throw ToolStateFormatError.
  virtual int32_t LoadState(ToolStateReader& reader, bool paste) = 0;
};

// A tool whose settings record writes and reads its own entries (WriteToolState,
// ReadToolState), as a tool state object of the given class name.
template <class Settings>
class SettingsToolState : public ToolStateObject {
 public:
  SettingsToolState(Settings& settings, std::string className)
      : m_settings(settings), m_className(std::move(className)) {}
  std::string ToolClassName() const override { return m_className; }
  void SaveState(ToolStateWriter& writer) override { m_settings.WriteToolState(writer); }
  int32_t LoadState(ToolStateReader& reader, bool /*paste*/) override {
    m_settings.ReadToolState(reader);
    return 0;
  }

 private:
  Settings& m_settings;
  std::string m_className;
};

// Writes a whole record for tool at the stream's position and leaves the stream after it.
// 0, or -1 when the stream failed or an entry could not be stored.
int32_t WriteToolState(ToolStateStream& file, ToolStateObject& tool);

// The class name (UTF-8) of the record at the stream's position, leaving the stream just after
// "LCLR". Empty when the magic is wrong, the first block's size is not 4, a block header or the
// name cannot be read, or the third block is not "LCLR".
std::string ReadToolClassName(ToolStateStream& file);

// Lets tool read the record at the stream's position. The tool's result; -1 without calling
// the tool when the header is unusable. ToolStateFormatError passes through.
int32_t ReadToolState(ToolStateStream& file, ToolStateObject& tool, bool paste);

// Saves a ".vpo" file: the first line, then the tool's record. Written to a new file beside
// path and renamed into place. 0, or -1 (nothing at path changes then).
int32_t SaveToolStateFile(const std::string& path, std::string_view toolName, ToolStateObject& tool);

// Reads a ".vpo" first line at the stream's position, leaving the stream after its line feed.
// True with the tool's name (UTF-8, a carriage return before the line feed dropped) when it
// starts with the prefix.
bool ReadToolStateFileLine(ToolStateStream& file, std::string& toolName);

// Picks the tool that a ".vpo" file names; null when there is none of that name.
using ToolStateLookup = std::function<ToolStateObject*(const std::string& toolName)>;

// Loads a ".vpo" file from the stream's position: reads the first line, lets lookup pick the
// tool and lets it read the record that follows. The tool's result; -1 with message set when
// the file is not a tool state file, names no known tool, holds no usable record, or is
// malformed (the tool then keeps what it read). toolName is the name the line gave.
int32_t LoadToolStateFile(ToolStateStream& file, const ToolStateLookup& lookup, std::string& toolName,
                          std::string& message);
int32_t LoadToolStateFile(const std::string& path, const ToolStateLookup& lookup, std::string& toolName,
                          std::string& message);

}  // namespace varnel
