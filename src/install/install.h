#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/profile.h"
#include "platform/services.h"
#include "text/status.h"

namespace inst {

struct VersionBox {
  std::string caption;  // the version name
  int value = 0;        // 0 unticked, anything else ticked
};

// The install tells `events` of every step passed over and why.
using InstallServices = Services;

// The four install values of Setup.ini, read afresh for every install.
struct InstallSettings {
  std::string application;  // key of the ConfigNames entry
  std::string scriptName;   // its value
  bool modifyScriptName = false;
  bool extras = false;
};

// A key that a profile reader would not find again, or that would turn into a section header
// or a comment, must never reach JAWS's shared confignames.ini: empty, holding "=", or
// beginning with "[" or ";" (after blanks). The failure names `setupIniPath`.
Status CheckConfigNamesKey(const std::string& application, const std::string& setupIniPath);

// Reads Application, ScriptName, ModifyScriptName and Extras, in that order.
InstallSettings ReadInstallSettings(Profile& profile, const std::string& setupIniPath);

// What an installation and an uninstall take in before any file is touched: Setup.ini, read as a
// regular file, and its four settings; the user's settings root; how many boxes are visited (below
// both versionCount and 4). A ticked version whose name would lead out of the JAWS settings trees
// is refused.
struct RunInputs {
  InstallSettings settings;
  std::string appData;
  std::size_t visited = 0;
};
Status ReadRunInputs(Services& services, const std::string& setupIniPath,
                     const std::array<VersionBox, 4>& boxes, std::int16_t versionCount,
                     RunInputs& out);

// A chosen version whose settings folder holds none of the language folders (JAWS not yet
// started by this user): it gets nothing.
struct VersionWithoutLanguage {
  std::string version;
  std::string folder;  // its user settings folder
};

// The install after the tick check: reads the four install settings from `setupIniPath`, then
// walks the ticked versions (index below both versionCount and 4) and their language folders.
// Stops at the first failure and returns it; nothing after it runs. Every file the install
// replaces is kept first in the version's backup folder under `stamp` (empty: the time now), and
// a language folder that fails part way is put back as it was; the failure's note says how that
// went. Folders completed before it stay installed. Settings or version names that would make it
// write a broken INI entry or leave the JAWS settings folders are refused before any file is
// touched. `packageId` is the Id of a named package ([Package]), empty for one without a name.
// Each version that got nothing for want of a language folder is told to `events` and
// added to `withoutLanguage` (when given).
Status RunInstall(InstallServices services, const std::string& packageFolder,
                  const std::string& setupIniPath, const std::array<VersionBox, 4>& boxes,
                  std::int16_t versionCount,
                  std::vector<VersionWithoutLanguage>* withoutLanguage = nullptr,
                  const std::string& stamp = "", const std::string& packageId = "");

}  // namespace inst
