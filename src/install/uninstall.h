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

// Takes the package off the ticked versions (as RunInstall walks them), undoing what the records
// of the version's installations say they did and nothing else: each file, the
// configuration-names entry and the default-script step that still hold the package's bytes or
// value get back what the run that put them there found, read from the newest record back (see
// Walk in uninstall.cpp); folders the installation made and that are now empty go. Whatever the
// user changed since, and whatever no record claims, is kept and told in `report`. A kept copy is
// brought back only when its bytes are the ones its record names; one that cannot come back
// leaves the package's file, the rest is undone, and the run ends with that failure. Each record
// is then marked with what was undone. `packageId`: the Id of a named package, empty for one
// without: all versions of one Id come off together. Returns the first failure.
Status RunUninstall(Services services, const std::string& packageFolder,
                    const std::string& setupIniPath, const std::array<VersionBox, 4>& boxes,
                    std::int16_t versionCount, UninstallReport& report,
                    const std::string& packageId = "");

}  // namespace inst
