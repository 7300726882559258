#include "platform/host.h"

#include <algorithm>
#include <atomic>
#include <cstdio>

namespace varnel {
namespace {

std::atomic<Host*> g_host{nullptr};

Host& DefaultHost() {
  // Never destroyed, so messages from code running during exit still have somewhere to go.
  static ConsoleHost* host = new ConsoleHost();
  return *host;
}

// One write per line so that lines from several threads do not interleave.
void WriteLine(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

}  // namespace

int DefaultAnswer(uint32_t style) {
  switch (style & kMbButtonMask) {
    case kMbAbortRetryIgnore: return kIdAbort;
    case kMbYesNoCancel:
    case kMbYesNo: return kIdYes;
    case kMbRetryCancel: return kIdRetry;
    default: return kIdOk;  // kMbOk, kMbOkCancel and styles we do not know
  }
}

Host& GetHost() {
  Host* host = g_host.load(std::memory_order_acquire);
  return host != nullptr ? *host : DefaultHost();
}

Host* SetHost(Host* host) { return g_host.exchange(host, std::memory_order_acq_rel); }

// ---- ConsoleHost ----

ConsoleHost::ConsoleHost(std::string programName, int debugLevel)
    : m_programName(std::move(programName)), m_debugLevel(debugLevel) {}

int ConsoleHost::MessageBox(std::string_view text, std::string_view /*caption*/,
                            uint32_t style) {
  // A console message is one line: line breaks of a multi-line box become single spaces.
  std::string line = m_programName + ": ";
  bool inBreak = false;
  for (char c : text) {
    if (c == '\n' || c == '\r') {
      if (!inBreak) line += ' ';
      inBreak = true;
    } else {
      line += c;
      inBreak = false;
    }
  }
  line += '\n';
  WriteLine(line);
  return DefaultAnswer(style);
}

void ConsoleHost::SetStatusText(std::string_view) {}

void ConsoleHost::SetProgress(int) {}

void ConsoleHost::DebugMessage(int level, ColourRef /*colour*/, std::string_view text) {
  if (level > m_debugLevel) return;
  std::string line = "[" + std::to_string(level) + "] ";
  line.append(text);
  line += '\n';
  WriteLine(line);
}

void ConsoleHost::BeginWaitCursor() {}

void ConsoleHost::EndWaitCursor() {}

// ---- RecordingHost ----

int RecordingHost::MessageBox(std::string_view text, std::string_view caption, uint32_t style) {
  boxes.push_back(Box{std::string(text), std::string(caption), style});
  if (m_answers.empty()) return DefaultAnswer(style);
  int answer = m_answers.front();
  m_answers.pop_front();
  return answer;
}

void RecordingHost::SetStatusText(std::string_view text) { statusTexts.emplace_back(text); }

void RecordingHost::SetProgress(int percent) { progress.push_back(percent); }

void RecordingHost::DebugMessage(int level, ColourRef colour, std::string_view text) {
  debugMessages.push_back(Debug{level, colour, std::string(text)});
}

void RecordingHost::BeginWaitCursor() {
  ++waitCursorDepth;
  waitCursorMaxDepth = std::max(waitCursorMaxDepth, waitCursorDepth);
}

void RecordingHost::EndWaitCursor() { waitCursorDepth = std::max(0, waitCursorDepth - 1); }

}  // namespace varnel
