#pragma once

#include <string>
#include <string_view>

namespace inst {

// Environment variables. Names are matched without regard to letter case, as on Windows.
class Environment {
 public:
  virtual ~Environment() = default;
  // The value, or the empty text when the variable is not set.
  virtual std::string get(std::string_view name) const = 0;
};

}  // namespace inst
