#include "platform/posix/posix_sleeper.h"

#include <chrono>
#include <thread>

namespace inst {

void PosixSleeper::sleep(unsigned milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace inst
