#pragma once
// The relay's rules without sockets: connections come in as events (accepted, bytes arrived,
// closed, a sweep tick) and go out as framed messages to connection identifiers and as
// connections to close. The Qt server and the fuzz target both drive it.

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "peerlook/wire.h"

namespace varnel::peerlook {

// A connection that has not presented the password after this long is dropped by the sweep.
inline constexpr int64_t kAuthenticationTimeoutMs = 30000;

// Where the relay's output goes. Called while the core dispatches; an implementation must not
// call back into the core.
class RelayOutput {
 public:
  virtual ~RelayOutput() = default;
  // One whole framed message for the connection.
  virtual void Send(int32_t id, std::string_view message) = 0;
  // A join, leave or drop, for the operator's log (UTF-8).
  virtual void Event(std::string_view line) = 0;
};

class RelayCore {
 public:
  explicit RelayCore(RelayOutput& output) : m_output(output) {}

  // Code page 932 bytes; empty means every connection is authenticated at once.
  void SetPassword(std::string password) { m_password = std::move(password); }

  // A new connection: sends the greeting, the version and its identifier, which is returned.
  // nowMs is any monotonic clock in milliseconds, the same the sweep is given.
  int32_t Accept(int64_t nowMs);
  // Bytes the connection sent. Complete messages are dispatched in order; a broken stream marks
  // the connection for dropping and nothing more is read from it.
  void Receive(int32_t id, std::string_view bytes);
  // The peer went away: forgets the connection and tells the others.
  void Closed(int32_t id);
  // Marks the connection for dropping from outside the protocol (a peer that stopped reading).
  void MarkForDrop(int32_t id, std::string_view reason);
  // The drop sweep: forgets every connection marked for dropping (telling the others) and
  // returns their identifiers, for the caller to close.
  std::vector<int32_t> Sweep(int64_t nowMs);
  // NSST to every authenticated connection, then forgets them all; returns every identifier.
  std::vector<int32_t> Shutdown();

  int ConnectionCount() const { return static_cast<int>(m_connections.size()); }
  // Whether messages may be sent to the connection.
  bool Receives(int32_t id) const;
  bool Authenticated(int32_t id) const;

 private:
  struct Connection {
    int64_t acceptedMs = 0;
    std::string name;  // code page 932
    bool announced = false;
    bool authenticated = false;
    bool drop = false;
    std::string dropReason;
    FrameReader reader;
  };

  void Dispatch(int32_t id, Connection& from, const std::string& message);
  void OnPassword(Connection& from, std::string_view payload);
  void OnName(int32_t id, Connection& from, std::string_view payload);
  void OnChat(int32_t id, std::string_view payload);
  void OnOffer(int32_t id, std::string_view message);
  void Mark(Connection& c, std::string_view reason);
  // To every connection that receives, except the one given (0: none).
  void Broadcast(const std::string& message, int32_t except);
  // Forgets the connection; a member (authenticated) is announced as gone.
  void Forget(std::map<int32_t, Connection>::iterator it);
  std::string Who(int32_t id, const Connection& c) const;

  RelayOutput& m_output;
  std::string m_password;
  int32_t m_nextId = 1;
  // Ordered by identifier, so the member list a newcomer gets is in joining order.
  std::map<int32_t, Connection> m_connections;
};

}  // namespace varnel::peerlook
