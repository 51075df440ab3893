#pragma once

namespace inst {

class Sleeper {
 public:
  virtual ~Sleeper() = default;
  // Blocks the calling thread.
  virtual void sleep(unsigned milliseconds) = 0;
};

}  // namespace inst
