#include "settings/ini_access.h"

#include <algorithm>

#include "platform/code_page.h"

namespace inst {

namespace {
constexpr std::uint32_t kBufferSize = 255;
}  // namespace

std::string ReadIniValue(Profile& profile, const std::string& section, const std::string& key,
                         const std::string& path) {
  std::string buffer(kBufferSize, '\0');
  std::uint32_t count =
      profile.getString(toAnsi(section), toAnsi(key), "", buffer.data(), kBufferSize, path);
  // The count is trusted only as far as the buffer goes.
  buffer.resize(std::min(count, kBufferSize));
  return fromAnsi(buffer);
}

std::int16_t WriteIniValue(Profile& profile, const std::string& section, const std::string& key,
                           const std::string& value, const std::string& path) {
  (void)TryWriteIniValue(profile, section, key, value, path);
  return 1;
}

Status TryWriteIniValue(Profile& profile, const std::string& section, const std::string& key,
                        const std::string& value, const std::string& path) {
  return profile.writeString(toAnsi(section), toAnsi(key), toAnsi(value), path);
}

Status TryRemoveIniValue(Profile& profile, const std::string& section, const std::string& key,
                         const std::string& path) {
  return profile.removeString(toAnsi(section), toAnsi(key), path);
}

}  // namespace inst
