#pragma once

#include "platform/profile.h"

namespace inst {

// The profile functions of kernel32, the wide ones, so that any path reaches them. A write edits
// a copy beside the file and moves it over the file in one step, so that a failure part way
// never leaves a torn file behind.
class Win32Profile final : public Profile {
 public:
  std::uint32_t getString(const std::string& section, const std::string& key,
                          const std::string& def, char* buffer, std::uint32_t size,
                          const std::string& path) override;
  Status writeString(const std::string& section, const std::string& key, const std::string& value,
                     const std::string& path) override;
  Status removeString(const std::string& section, const std::string& key,
                      const std::string& path) override;
};

}  // namespace inst
