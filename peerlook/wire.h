#pragma once
// The sharing protocol's wire format, free of sockets so that the relay, the members and the
// fuzz target share one reading of it. A control message is a 4-letter tag, the payload length
// as exactly 10 decimal digits, and the payload.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace varnel::peerlook {

// The tags in table order: a receiver dispatches on the index.
enum class Tag : int { BCMS = 0, NDUL, NUNN, NNID, NSST, NSVR, NWCM, NUSI, PSFD, NABP, Unknown = -1 };
inline constexpr std::array<std::string_view, 10> kTags = {"BCMS", "NDUL", "NUNN", "NNID", "NSST",
                                                           "NSVR", "NWCM", "NUSI", "PSFD", "NABP"};

inline constexpr int kDefaultServerPort = 14414;
inline constexpr int kDefaultFileTransferPort = 14415;
inline constexpr size_t kHeaderSize = 14;
// The length field allows 9,999,999,999 bytes; nothing the program sends on a control
// connection comes near a mebibyte, so a larger claim is treated as a broken peer.
inline constexpr size_t kMaxControlPayload = size_t{1} << 20;
// What the relay adds to a message it passes on: a chat line's ",id," and a name's identifier
// written out in ten digits. Members read that much more than the relay accepts, so whatever
// it accepted reaches them and is not taken for a broken stream.
inline constexpr size_t kMaxRelayedPayload = kMaxControlPayload + 64;
inline constexpr size_t kReadPiece = 1024;
inline constexpr size_t kChatLogLines = 250;
inline constexpr int64_t kMaxOfferedNameLength = 65536;
inline constexpr size_t kIdentificationSize = 23;
inline constexpr size_t kFileChunk = 1024;
inline constexpr int kDropSweepMs = 1500;

inline constexpr std::string_view kServerVersion = "0001";
inline constexpr std::string_view kWelcomeText = "Welcome To Service";
inline constexpr std::string_view kShutdownText = "Server Shutdown\r\nGood Bye\r\n";
inline constexpr std::string_view kDefaultUserName = "noname";

// The program's messages (UTF-8).
inline constexpr const char* kMsgConnected = "サーバに接続しました";
inline constexpr const char* kMsgDisconnected = "切断されました";
// A server that never answered was not lost: the user is told where the attempt went.
inline constexpr const char* kMsgCannotConnect = "サーバ %1:%2 に接続できませんでした";
inline constexpr const char* kMsgFileSizeZero = "File Size が0です";
inline constexpr const char* kMsgFileInfoFailed = "ファイル情報の取得に失敗しました";
inline constexpr const char* kMsgCannotCreate = "が作成できません";
inline constexpr const char* kMsgCommaInName = "ユーザ名に,は使えません";
inline constexpr const char* kMsgInvalidValue = "無効な値です";
inline constexpr const char* kMsgAllowTransfer = "データ転送を要求されています。許可しますか？";
inline constexpr const char* kProgressFormat = "進捗%d%%";

// An identifier as "%010d".
std::string Id10(int64_t id);
// A decimal conversion as the C library's atoi does it: leading white space, an optional sign,
// digits up to the first other character; 0 when there are none. Clamped to int32.
int32_t ParseDecimal(std::string_view text);

// tag + 10-digit length + payload.
std::string Frame(std::string_view tag, std::string_view payload);
std::string Frame(Tag tag, std::string_view payload);
// The tag of a whole message; Unknown when shorter than 4 characters or outside the table.
Tag TagOf(std::string_view message);
inline std::string_view PayloadOf(std::string_view message) {
  return message.size() >= kHeaderSize ? message.substr(kHeaderSize) : std::string_view{};
}

// Reassembles messages from a byte stream: partial headers and payloads wait for more bytes,
// several messages in one read come out one by one.
class FrameReader {
 public:
  explicit FrameReader(size_t maxPayload = kMaxControlPayload) : m_maxPayload(maxPayload) {}
  // Appends the bytes and moves every completed message (header included) to out. False when
  // the stream is broken (a length field that is not 10 digits or exceeds the cap): the peer is
  // to be dropped; nothing more is read from it.
  bool Feed(std::string_view bytes, std::vector<std::string>& out);
  bool Broken() const { return m_broken; }
  // Bytes held for the message in progress.
  size_t Pending() const { return m_current.size(); }

 private:
  size_t m_maxPayload;
  std::string m_current;
  size_t m_expected = 0;  // header + payload, known once the header is complete
  bool m_broken = false;
};

// "name,id" as NNID and NDUL carry it, split at the first comma. Empty when there is none.
std::optional<std::pair<std::string, int32_t>> SplitNameId(std::string_view payload);
// The relayed chat payload "," + id + "," + text: the sender id and the text.
std::optional<std::pair<int32_t, std::string>> SplitChat(std::string_view payload);

// A file offer: "size:%d,crc:FFFF,addr:%s,port:%d,etag:%08x," + 10-digit name length + name.
struct FileOffer {
  int64_t size = 0;
  std::string address;
  int port = kDefaultFileTransferPort;
  uint32_t etag = 0;
  std::string name;  // as on the wire (code page 932)
};
std::string FormatOffer(const FileOffer& offer);
// Reads the fields in order, each after its label; the port is 14415 when absent. Empty when a
// field is missing or malformed, or the name length lies outside 0…65536 or runs past the end.
std::optional<FileOffer> ParseOffer(std::string_view text);

// The sender's payload of "PSFD": "," + target id + "," + offer text.
std::string OfferPayload(int32_t target, const FileOffer& offer);
// The relayed offer "," + sender id + "," + offer text: the sender and the offer.
std::optional<std::pair<int32_t, FileOffer>> ParseRelayedOffer(std::string_view payload);

// The 23 characters a receiver sends on a data connection: its id (10 digits) + "etag:" + 8 hex.
std::string Identification(int32_t id, uint32_t etag);
std::optional<std::pair<int32_t, uint32_t>> ParseIdentification(std::string_view text);

// What a received file may be called: the offered name reduced to its last path component
// ('/' or '\\'). Empty result with ok = true means "no name, use a temporary one"; ok = false
// refuses the offer (a name that reduces to nothing, ".", "..", or holds a zero byte).
struct ReceivedName {
  bool ok = false;
  std::string name;
};
ReceivedName SafeReceivedName(std::string_view offered);

// Equal strings, in a time that does not depend on where they differ.
bool ConstantTimeEquals(std::string_view a, std::string_view b);

// The chat view's text: name + " : \r\n     " + text + "\r\n" per line, at most 250 lines.
class ChatLog {
 public:
  void Append(std::string_view name, std::string_view text);
  void Clear() { m_lines.clear(); }
  const std::vector<std::string>& Lines() const { return m_lines; }
  std::string Text() const;  // the lines joined with "\r\n"

 private:
  std::vector<std::string> m_lines;
};

}  // namespace varnel::peerlook
