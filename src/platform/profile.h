#pragma once

#include <cstdint>
#include <string>

#include "text/status.h"

namespace inst {

// The private-profile (INI) functions. Section, key, default and value are 8-bit texts in the
// ANSI code page; the path is program text (UTF-8), converted by the back end as it needs.
class Profile {
 public:
  virtual ~Profile() = default;

  // GetPrivateProfileStringA: copies at most size - 1 characters and a NUL into `buffer`
  // and returns the count copied, NUL not counted.
  virtual std::uint32_t getString(const std::string& section, const std::string& key,
                                  const std::string& def, char* buffer, std::uint32_t size,
                                  const std::string& path) = 0;

  // WritePrivateProfileStringA: sets the key, adding section and key when missing; every
  // other line keeps its bytes. Failure carries the path and the system's reason.
  virtual Status writeString(const std::string& section, const std::string& key,
                             const std::string& value, const std::string& path) = 0;

  // WritePrivateProfileStringA with a null value: the line of the key (first match in the first
  // section of that name) goes; every other line keeps its bytes and an emptied section keeps
  // its header. A missing file, section or key is success with nothing written: unlike Windows,
  // the file is not created, so that taking an entry back never leaves an empty file behind.
  virtual Status removeString(const std::string& section, const std::string& key,
                              const std::string& path) = 0;
};

}  // namespace inst
