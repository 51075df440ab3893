#pragma once

#include "platform/mci_port.h"

namespace inst {

// The system's own multimedia command interpreter (winmm), with ANSI texts and no callback
// window, so a "notify" flag never delivers anything.
class Win32MciPort final : public MciPort {
 public:
  Win32MciPort() = default;
  Win32MciPort(const Win32MciPort&) = delete;
  Win32MciPort& operator=(const Win32MciPort&) = delete;
  // Closes every device the program left open (an unexpected error ends the run without the
  // exit path's "close"): an open file cannot be deleted, and a bundle's unpacked package goes
  // after the run.
  ~Win32MciPort() override;
  MciReply send(const std::string& command, std::size_t replyCapacity) override;
};

}  // namespace inst
