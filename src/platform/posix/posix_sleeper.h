#pragma once

#include "platform/sleeper.h"

namespace inst {

class PosixSleeper final : public Sleeper {
 public:
  void sleep(unsigned milliseconds) override;
};

}  // namespace inst
