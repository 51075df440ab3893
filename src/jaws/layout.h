#pragma once

#include <string>

namespace inst::jaws {

// The JAWS folders, built by plain concatenation with "\".

// The program-files value with every " (x86)" removed when it holds "(x86)" (case-sensitive),
// followed by "\Freedom Scientific\Jaws".
std::string JawsRootFrom(const std::string& programFiles);

// appdata + "\" + "freedom scientific\jaws\"
std::string UserSettingsRoot(const std::string& appData);
// UserSettingsRoot + "instalador.lock": the lock an installation holds over this user's tree.
std::string InstallLockFile(const std::string& appData);
// UserSettingsRoot + version + "\settings\"
std::string UserSettingsFolder(const std::string& appData, const std::string& version);
// allusersprofile + "\Freedom scientific\jaws\" + version + "\settings\" + language
std::string SharedLanguageFolder(const std::string& allUsersProfile, const std::string& version,
                                 const std::string& languageFolderName);
// SharedLanguageFolder + "\confignames.ini"
std::string ConfigNamesFile(const std::string& sharedLanguageFolder);

// "ENU", "PTB" or "PTG" in any case, the whole name.
bool IsLanguageFolderName(const std::string& name);

}  // namespace inst::jaws
