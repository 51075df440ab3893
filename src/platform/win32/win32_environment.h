#pragma once

#include "platform/environment.h"

namespace inst {

class Win32Environment final : public Environment {
 public:
  std::string get(std::string_view name) const override;
};

}  // namespace inst
