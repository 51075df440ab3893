#pragma once

#include "platform/sleeper.h"

namespace inst {

class Win32Sleeper final : public Sleeper {
 public:
  void sleep(unsigned milliseconds) override;
};

}  // namespace inst
