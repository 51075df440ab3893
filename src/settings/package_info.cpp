#include "settings/package_info.h"

#include "settings/ini_access.h"
#include "settings/setup_keys.h"
#include "text/trim.h"

namespace inst {
namespace {

bool IsIdCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

}  // namespace

std::string DefaultPackageId(std::string_view name) {
  std::string id;
  bool gap = false;
  for (char c : name) {
    const char lower = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    if (!IsIdCharacter(lower)) {
      gap = true;
      continue;
    }
    if (id.size() + (gap && !id.empty() ? 2 : 1) > kMaxPackageIdLength) break;
    if (gap && !id.empty()) id += '-';
    gap = false;
    id += lower;
  }
  return id;
}

bool IsPackageId(std::string_view id) {
  if (id.empty() || id.size() > kMaxPackageIdLength || id.front() == '-' || id.back() == '-')
    return false;
  for (std::size_t i = 0; i < id.size(); ++i) {
    if (id[i] == '-' ? id[i - 1] == '-' : !IsIdCharacter(id[i])) return false;
  }
  return true;
}

PackageInfo ReadPackageInfo(Profile& profile, const std::string& setupIniPath) {
  auto read = [&](const char* key) {
    return Trim(ReadIniValue(profile, setup::kPackage, key, setupIniPath), kSpacesAndTabs);
  };
  PackageInfo info;
  info.name = read(setup::kPackageName);
  // Without a name the rest does not count, and the log of an unnamed package reads no more.
  if (info.name.empty()) return info;
  info.version = read(setup::kPackageVersion);
  info.publisher = read(setup::kPublisher);
  info.id = read(setup::kPackageId);
  if (info.id.empty()) info.id = DefaultPackageId(info.name);
  return info;
}

}  // namespace inst
