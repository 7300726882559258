#include "peerlook/relay_core.h"

#include <limits>

#include "platform/code_page.h"

namespace varnel::peerlook {
namespace {

// The routed offer: characters 16 to 25 of the message are the target, from the 27th on the
// offer text.
constexpr size_t kTargetOffset = 15;
constexpr size_t kTargetDigits = 10;
constexpr size_t kOfferTextOffset = 26;

// A name as the log shows it: UTF-8, with no line breaks or other controls a peer could use to
// forge log lines.
std::string LogName(std::string_view cp932) {
  std::string name = FromCodePage932(cp932);
  for (char& ch : name)
    if (static_cast<unsigned char>(ch) < 0x20 || ch == 0x7f) ch = '?';
  return name;
}

}  // namespace

int32_t RelayCore::Accept(int64_t nowMs) {
  // Identifiers count up from 1; should the counter ever run out it starts again at 1, past
  // the identifiers still in use.
  while (m_connections.count(m_nextId) != 0 || m_nextId <= 0)
    m_nextId = m_nextId <= 0 || m_nextId == std::numeric_limits<int32_t>::max() ? 1 : m_nextId + 1;
  const int32_t id = m_nextId;
  m_nextId = id == std::numeric_limits<int32_t>::max() ? 1 : id + 1;

  Connection& c = m_connections[id];
  c.acceptedMs = nowMs;
  c.authenticated = m_password.empty();
  // The greeting goes out before authentication: the member needs its identifier to answer.
  m_output.Send(id, Frame(Tag::NWCM, kWelcomeText));
  m_output.Send(id, Frame(Tag::NSVR, kServerVersion));
  m_output.Send(id, Frame(Tag::NUSI, Id10(id)));
  return id;
}

void RelayCore::Receive(int32_t id, std::string_view bytes) {
  const auto it = m_connections.find(id);
  if (it == m_connections.end() || it->second.drop) return;
  Connection& c = it->second;
  std::vector<std::string> messages;
  const bool intact = c.reader.Feed(bytes, messages);
  for (const std::string& message : messages) {
    if (c.drop) return;
    Dispatch(id, c, message);
  }
  if (!intact) Mark(c, "broken stream");
}

void RelayCore::Dispatch(int32_t id, Connection& from, const std::string& message) {
  // A connection that has not presented the password may do nothing but present it: the
  // others never hear from it.
  if (TagOf(message) == Tag::NABP) {
    OnPassword(from, PayloadOf(message));
    return;
  }
  if (!from.authenticated) return;
  if (message.size() >= kOfferTextOffset && message[0] == 'P') {
    OnOffer(id, message);
    return;
  }
  switch (TagOf(message)) {
    case Tag::NNID: OnName(id, from, PayloadOf(message)); break;
    case Tag::BCMS: OnChat(id, PayloadOf(message)); break;
    default: break;  // NUNN, the server's own tags and unknown ones
  }
}

void RelayCore::OnPassword(Connection& from, std::string_view payload) {
  // Also with an empty password: a member presenting a different one is dropped.
  if (ConstantTimeEquals(payload, m_password)) from.authenticated = true;
  else Mark(from, "wrong password");
}

void RelayCore::OnName(int32_t id, Connection& from, std::string_view payload) {
  if (from.announced) return Mark(from, "name announced twice");
  const auto nameId = SplitNameId(payload);
  if (!nameId) return Mark(from, "name without an identifier");
  if (nameId->second != id) return Mark(from, "name with another identifier");
  from.name = nameId->first;
  from.announced = true;
  m_output.Event("join " + Who(id, from));
  Broadcast(Frame(Tag::NNID, payload), id);
  // The newcomer's member list: every member that has announced a name, itself included.
  // Connections without a name yet are left out: a member adds an identifier only once, so an
  // empty name sent now would hide the real one announced later.
  for (const auto& [otherId, other] : m_connections)
    if (other.announced) m_output.Send(id, Frame(Tag::NNID, other.name + "," + Id10(otherId)));
}

void RelayCore::OnChat(int32_t id, std::string_view payload) {
  std::string relayed = "," + Id10(id) + ",";
  relayed.append(payload);
  Broadcast(Frame(Tag::BCMS, relayed), 0);
}

void RelayCore::OnOffer(int32_t id, std::string_view message) {
  const int32_t target = ParseDecimal(message.substr(kTargetOffset, kTargetDigits));
  if (!Receives(target)) return;
  std::string relayed = "," + Id10(id) + ",";
  relayed.append(message.substr(kOfferTextOffset));
  m_output.Send(target, Frame(message.substr(0, 4), relayed));
}

void RelayCore::Closed(int32_t id) {
  const auto it = m_connections.find(id);
  if (it == m_connections.end()) return;
  const Connection& c = it->second;
  m_output.Event((c.drop ? "drop " : "leave ") + Who(id, c) + (c.drop ? ": " + c.dropReason : std::string()));
  Forget(it);
}

void RelayCore::MarkForDrop(int32_t id, std::string_view reason) {
  const auto it = m_connections.find(id);
  if (it != m_connections.end()) Mark(it->second, reason);
}

void RelayCore::Mark(Connection& c, std::string_view reason) {
  if (c.drop) return;
  c.drop = true;
  c.dropReason = reason;
}

std::vector<int32_t> RelayCore::Sweep(int64_t nowMs) {
  for (auto& [id, c] : m_connections)
    if (!c.authenticated && nowMs - c.acceptedMs >= kAuthenticationTimeoutMs) Mark(c, "no password in time");
  std::vector<int32_t> dropped;
  for (auto it = m_connections.begin(); it != m_connections.end();) {
    const auto next = std::next(it);
    if (it->second.drop) {
      dropped.push_back(it->first);
      m_output.Event("drop " + Who(it->first, it->second) + ": " + it->second.dropReason);
      Forget(it);
    }
    it = next;
  }
  return dropped;
}

std::vector<int32_t> RelayCore::Shutdown() {
  const std::string goodbye = Frame(Tag::NSST, kShutdownText);
  std::vector<int32_t> ids;
  for (const auto& [id, c] : m_connections) {
    if (c.authenticated && !c.drop) m_output.Send(id, goodbye);
    ids.push_back(id);
  }
  m_connections.clear();
  return ids;
}

bool RelayCore::Receives(int32_t id) const {
  const auto it = m_connections.find(id);
  // A connection marked for dropping is on its way out and gets nothing more.
  return it != m_connections.end() && it->second.authenticated && !it->second.drop;
}

bool RelayCore::Authenticated(int32_t id) const {
  const auto it = m_connections.find(id);
  return it != m_connections.end() && it->second.authenticated;
}

void RelayCore::Broadcast(const std::string& message, int32_t except) {
  for (const auto& [id, c] : m_connections)
    if (id != except && c.authenticated && !c.drop) m_output.Send(id, message);
}

void RelayCore::Forget(std::map<int32_t, Connection>::iterator it) {
  const int32_t id = it->first;
  // Every member that leaves is announced, named or not (a member removes the identifier from
  // its list only if it is there); one that never gave the password was never a member.
  const bool member = it->second.authenticated;
  const std::string notice = Frame(Tag::NDUL, it->second.name + "," + Id10(id));
  m_connections.erase(it);
  if (member) Broadcast(notice, 0);
}

std::string RelayCore::Who(int32_t id, const Connection& c) const {
  return c.name.empty() ? std::to_string(id) : std::to_string(id) + " " + LogName(c.name);
}

}  // namespace varnel::peerlook
