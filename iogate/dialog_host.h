#pragma once
// The host of Iogate.so. The library carries its own copy of the platform layer, so the
// program's host is out of its reach: messages are shown here with Qt's message box over the
// window in front, or printed on stderr when there is no desktop application. Status text,
// gauge, wait cursor and debug lines have nowhere to go and are dropped.

#include "platform/host.h"

namespace varnel::iogate {

class DialogHost : public Host {
 public:
  int MessageBox(std::string_view text, std::string_view caption, uint32_t style) override;
  void SetStatusText(std::string_view) override {}
  void SetProgress(int) override {}
  void DebugMessage(int, ColourRef, std::string_view) override {}
  void BeginWaitCursor() override {}
  void EndWaitCursor() override {}
};

}  // namespace varnel::iogate
