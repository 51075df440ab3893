#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "install/install.h"
#include "settings/package_info.h"

namespace inst {

// The ticked boxes whose version holds the package: where an uninstall would find something of
// it to take off, asked of the uninstall itself in a dry run, so nothing is written.
std::vector<int> VersionsHolding(Services s, const std::string& packageFolder,
                                 const std::string& setupIniPath,
                                 const std::array<VersionBox, 4>& boxes, std::int16_t versionCount,
                                 const std::string& packageId);

// After an uninstall: when none of the ticked `boxes` (the versions offered) holds the package
// any more, its entry in the list of installed programs and its uninstaller go. A failure is
// added to `notes`; the uninstall itself went well.
void ForgetIfNowhere(Services s, const PackageInfo& info, const std::string& packageFolder,
                     const std::array<VersionBox, 4>& boxes, std::vector<std::string>& notes);

}  // namespace inst
