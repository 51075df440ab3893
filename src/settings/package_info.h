#pragma once

#include <string>
#include <string_view>

#include "platform/profile.h"

namespace inst {

// How a package names itself ([Package] of Setup.ini), for the list of installed programs.
struct PackageInfo {
  std::string name;  // empty: the package has no name, and nothing of the list happens
  std::string version;
  std::string publisher;
  std::string id;  // as written, or made from the name
  bool named() const { return !name.empty(); }
  // The Id a run's record names: none for a package without a name.
  std::string recordId() const { return named() ? id : std::string(); }
};

inline constexpr std::size_t kMaxPackageIdLength = 64;
inline constexpr std::size_t kMaxPackageNameLength = 100;

// The name folded to lower-case ASCII letters and digits, every other run of characters one
// "-" (none at either end), at most kMaxPackageIdLength characters.
std::string DefaultPackageId(std::string_view name);

// Whether `id` is of the form DefaultPackageId makes: the only form ever used in a path or a
// registry key, so that an Id can never lead out of its folder.
bool IsPackageId(std::string_view id);

// Reads [Package]: Name, then Version, Publisher and Id when there is a name.
PackageInfo ReadPackageInfo(Profile& profile, const std::string& setupIniPath);

}  // namespace inst
