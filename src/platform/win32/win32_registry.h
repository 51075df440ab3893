#pragma once

#include "platform/program_list.h"

namespace inst {

// The current user's hive through the registry functions of advapi32.
class Win32Registry final : public Registry {
 public:
  std::string absent() const override { return ""; }
  Status writeKey(const std::string& key, const std::vector<RegistryValue>& values) override;
  Status removeKey(const std::string& key) override;
  bool keyExists(const std::string& key) override;
};

}  // namespace inst
