#pragma once

#include "platform/profile.h"

namespace inst {

// The profile functions on a POSIX file system: the Windows path is resolved without regard to
// case, the file read whole and handed to the portable profile code. A write replaces the file
// through a temporary file beside it and one rename, so readers never see half a file.
class PosixProfile final : public Profile {
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
