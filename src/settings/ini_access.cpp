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

std::optional<std::string> ReadIniEntry(Profile& profile, const std::string& section,
                                        const std::string& key, const std::string& path) {
  constexpr std::uint32_t kSize = 64 * 1024;
  std::string buffer(kSize, '\0');
  const auto read = [&](const char* def) {
    const std::uint32_t n =
        profile.getString(toAnsi(section), toAnsi(key), def, buffer.data(), kSize, path);
    return buffer.substr(0, std::min(n, kSize - 1));
  };
  const std::string first = read("0");
  if (first != read("1")) return std::nullopt;
  return fromAnsi(first);
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
