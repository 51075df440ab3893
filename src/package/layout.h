#pragma once

#include <string>
#include <string_view>

// What a script package holds, beside the installer: its settings, the scripts to copy, the
// sound, the information texts and the compiled default script. Paths are Windows paths built
// from the package's folder.
namespace inst::package {

inline constexpr std::string_view kSetupIni = "Setup.ini";
inline constexpr std::string_view kScriptsFolder = "pastascripts";
inline constexpr std::string_view kAudioFolder = "Audio";
inline constexpr std::string_view kInfoFolder = "Info";
inline constexpr std::string_view kExtrasFolder = "Extras";
// The compiled default script, installed as the user's Default.jsb.
inline constexpr std::string_view kDefaultScript = "extra1.ext";
// Shipped in pastascripts; once installed, it says the package's scripts expect the default
// script to be replaced.
inline constexpr std::string_view kDefaultScriptMarker = "RedidUzizu.jsb";

inline std::string Join(std::string_view folder, std::string_view name) {
  std::string path(folder);
  path += '\\';
  path += name;
  return path;
}

inline std::string SetupIniPath(std::string_view packageFolder) {
  return Join(packageFolder, kSetupIni);
}
inline std::string ScriptsFolder(std::string_view packageFolder) {
  return Join(packageFolder, kScriptsFolder);
}
inline std::string SoundPath(std::string_view packageFolder, std::string_view file) {
  return Join(Join(packageFolder, kAudioFolder), file);
}
inline std::string InfoTextPath(std::string_view packageFolder, std::string_view file) {
  return Join(Join(packageFolder, kInfoFolder), file);
}
inline std::string DefaultScriptPath(std::string_view packageFolder) {
  return Join(Join(packageFolder, kExtrasFolder), kDefaultScript);
}
// Where the marker is: in the package's scripts folder, or in a language folder they went to.
inline std::string DefaultScriptMarkerPath(std::string_view scriptsFolder) {
  return Join(scriptsFolder, kDefaultScriptMarker);
}

}  // namespace inst::package
