#pragma once

#include <string>
#include <string_view>

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

// The configuration-names entry's section in confignames.ini.
inline constexpr const char* kConfigNamesSection = "ConfigNames";

// The default-script step's files in a user's language folder, and its key-map entry.
inline constexpr std::string_view kDefaultJsb = "Default.jsb";
inline constexpr std::string_view kKeptSharedJsb = "default_fs.jsb";
inline constexpr std::string_view kKeptSharedJsd = "default_fs.jsd";
inline constexpr std::string_view kKeyMapFile = "Default.jkm";
inline constexpr const char* kKeyMapSection = "Common Keys";
inline constexpr const char* kKeyMapKey = "windows+backspace";
inline constexpr const char* kKeyMapValue = "swSayAlert(1)";

// "ENU", "PTB" or "PTG" in any case, the whole name.
bool IsLanguageFolderName(const std::string& name);

}  // namespace inst::jaws
