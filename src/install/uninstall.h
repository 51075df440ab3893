#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "install/install.h"

namespace inst {

struct UninstallReport {
  // What the administrator is told beside the outcome: each file or entry kept, and why, and
  // each part of a backup record that could not be trusted.
  std::vector<std::string> notes;
  // Whether anything of the package was there to take away.
  bool found = false;
};

// Takes the package off the ticked versions (as RunInstall walks them): in each language folder
// every file that still has the package's bytes goes, and the newest backup of it comes back;
// the configuration-names entry and the default-script step are undone where they are still the
// package's; folders the installation made and that are now empty go. Whatever the user changed
// since is kept, and told in `report`. Backups are only read: a kept copy is brought back only
// when its bytes are the ones its record names. Returns the first failure.
Status RunUninstall(Services services, const std::string& packageFolder,
                    const std::string& setupIniPath, const std::array<VersionBox, 4>& boxes,
                    std::int16_t versionCount, UninstallReport& report);

}  // namespace inst
