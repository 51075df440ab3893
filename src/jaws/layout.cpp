#include "jaws/layout.h"

#include "text/ascii.h"

namespace inst::jaws {

std::string JawsRootFrom(const std::string& programFiles) {
  // A 32-bit process sees the 32-bit program folder, but JAWS lives in the 64-bit one. The test
  // and the removal differ on purpose: "(x86)" is looked for, " (x86)" removed, in one pass.
  std::string path = programFiles;
  if (path.find("(x86)") != std::string::npos) {
    static constexpr std::string_view kSuffix = " (x86)";
    std::string kept;
    std::size_t from = 0;
    for (std::size_t at; (at = path.find(kSuffix, from)) != std::string::npos;
         from = at + kSuffix.size())
      kept.append(path, from, at - from);
    kept.append(path, from);
    path = std::move(kept);
  }
  return path + "\\Freedom Scientific\\Jaws";
}

std::string UserSettingsRoot(const std::string& appData) {
  return appData + "\\" + "freedom scientific\\jaws\\";
}

std::string InstallLockFile(const std::string& appData) {
  return UserSettingsRoot(appData) + "instalador.lock";
}

std::string UserSettingsFolder(const std::string& appData, const std::string& version) {
  return UserSettingsRoot(appData) + version + "\\settings\\";
}

std::string SharedLanguageFolder(const std::string& allUsersProfile, const std::string& version,
                                 const std::string& languageFolderName) {
  return allUsersProfile + "\\Freedom scientific\\jaws\\" + version + "\\settings\\" +
         languageFolderName;
}

std::string ConfigNamesFile(const std::string& sharedLanguageFolder) {
  return sharedLanguageFolder + "\\confignames.ini";
}

bool IsLanguageFolderName(const std::string& name) {
  if (name.size() != 3) return false;
  const std::string upper = ascii::Upper(name);
  return upper == "ENU" || upper == "PTB" || upper == "PTG";
}

}  // namespace inst::jaws
