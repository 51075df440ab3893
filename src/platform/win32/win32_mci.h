#pragma once

#include "platform/mci_port.h"

namespace inst {

// The system's own multimedia command interpreter (winmm), with ANSI texts and no callback
// window, so a "notify" flag never delivers anything.
class Win32MciPort final : public MciPort {
 public:
  MciReply send(const std::string& command, std::size_t replyCapacity) override;
};

}  // namespace inst
