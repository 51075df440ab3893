#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace inst {

struct MciReply {
  std::uint32_t code = 0;  // 0 is success, as mciSendStringA returns it
  std::string text;        // the reply, at most capacity - 1 characters
};

// The multimedia command-string interface. Command and reply are ANSI texts.
class MciPort {
 public:
  virtual ~MciPort() = default;
  virtual MciReply send(const std::string& command, std::size_t replyCapacity) = 0;
};

}  // namespace inst
