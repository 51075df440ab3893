#include "install/install.h"

#include <algorithm>
#include <memory>
#include <string_view>
#include <vector>

#include "install/language_folder.h"
#include "jaws/layout.h"
#include "settings/conversions.h"
#include "settings/ini_access.h"
#include "settings/setup_keys.h"
#include "undo/keeper.h"

namespace inst {

namespace {

constexpr std::size_t kCheckboxCount = 4;

}  // namespace

Status CheckConfigNamesKey(const std::string& application, const std::string& setupIniPath) {
  const std::string_view key = application;
  const std::size_t first = key.find_first_not_of(" \t\v");
  if (first == std::string_view::npos) {
    return Status::failure(setupIniPath,
                           "ModifyScriptName está ligado, mas Application está vazio: não há "
                           "nome para a entrada de confignames.ini.");
  }
  if (key.find('=') != std::string_view::npos || key[first] == '[' || key[first] == ';') {
    return Status::failure(setupIniPath,
                           "O valor de Application não serve como nome de chave de "
                           "confignames.ini: contém \"=\" ou começa com \"[\" ou \";\".");
  }
  return Status::success();
}

namespace {

// The version name comes from a folder listing, but on POSIX a name may hold "\" and the paths
// built from it would then climb out of the JAWS settings trees.
bool IsSingleFolderName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of("\\/") == std::string_view::npos;
}

}  // namespace

InstallSettings ReadInstallSettings(Profile& profile, const std::string& setupIniPath) {
  InstallSettings s;
  s.application = ReadIniValue(profile, setup::kConfigurations, setup::kApplication, setupIniPath);
  s.scriptName = ReadIniValue(profile, setup::kConfigurations, setup::kScriptName, setupIniPath);
  s.modifyScriptName =
      ToFlag(ReadIniValue(profile, setup::kConfigurations, setup::kModifyScriptName, setupIniPath));
  s.extras = ToFlag(ReadIniValue(profile, setup::kConfigurations, setup::kExtras, setupIniPath));
  return s;
}

Status ReadRunInputs(Services& services, const std::string& setupIniPath,
                     const std::array<VersionBox, 4>& boxes, std::int16_t versionCount,
                     RunInputs& out) {
  // A Setup.ini that is there but cannot be read as a file (a folder, a pipe, a device, a huge
  // file) would read as empty: the run would do what nobody asked for.
  if (services.fs.pathExists(setupIniPath)) {
    std::string bytes;
    if (Status st = services.fs.readFile(setupIniPath, bytes); !st) return st;
  }
  out.settings = ReadInstallSettings(services.profile, setupIniPath);
  out.appData = services.env.get("appdata");
  out.visited =
      versionCount <= 0 ? 0 : std::min(static_cast<std::size_t>(versionCount), kCheckboxCount);
  for (std::size_t i = 0; i < out.visited; ++i) {
    if (boxes[i].value != 0 && !IsSingleFolderName(boxes[i].caption))
      return Status::failure(jaws::UserSettingsFolder(out.appData, boxes[i].caption),
                             "Nome de versão do JAWS inválido: \"" + boxes[i].caption + "\".");
  }
  return Status::success();
}

Status RunInstall(InstallServices services, const std::string& packageFolder,
                  const std::string& setupIniPath, const std::array<VersionBox, 4>& boxes,
                  std::int16_t versionCount, std::vector<VersionWithoutLanguage>* withoutLanguage,
                  const std::string& stamp, const std::string& packageId) {
  // Everything that can be refused without touching a file is refused before the first copy,
  // so bad input never leaves a half-done install behind.
  RunInputs in;
  if (Status st = ReadRunInputs(services, setupIniPath, boxes, versionCount, in); !st) return st;
  const InstallSettings& settings = in.settings;
  const std::string& appData = in.appData;
  const std::size_t visited = in.visited;
  if (settings.modifyScriptName) {
    if (Status st = CheckConfigNamesKey(settings.application, setupIniPath); !st) return st;
  }

  // Taken before the first change, held to the end: two runs for the same user never meet in
  // the middle of each other's writes, nor remove each other's temporary files.
  std::unique_ptr<FileLock> lock;
  undo::Keeper keeper(services, stamp.empty() ? undo::StampNow() : stamp, packageId);
  for (std::size_t i = 0; i < visited; ++i) {
    if (boxes[i].value == 0) continue;
    const std::string& version = boxes[i].caption;

    const std::string settingsFolder = jaws::UserSettingsFolder(appData, version);
    std::vector<SubFolder> subFolders;
    if (Status st = services.fs.subFolders(settingsFolder, subFolders); !st) return st;
    if (std::none_of(subFolders.begin(), subFolders.end(),
                     [](const SubFolder& f) { return jaws::IsLanguageFolderName(f.name); })) {
      SkipStep(services.events, "version",
               "a versão " + version + " não tem pasta de idioma (ENU, PTB ou PTG) em " +
                   settingsFolder);
      if (withoutLanguage) withoutLanguage->push_back({version, settingsFolder});
    }
    for (const SubFolder& folder : subFolders) {
      if (!jaws::IsLanguageFolderName(folder.name)) continue;
      if (!lock) {
        if (Status st = services.fs.lockFile(jaws::InstallLockFile(appData), lock); !st) return st;
        if (!lock) lock = std::make_unique<FileLock>();  // a file system that takes none
      }
      keeper.enter(settingsFolder, folder);
      if (Status st =
              InstallLanguageFolder(services, packageFolder, version, folder, settings, &keeper);
          !st) {
        st.withNote(keeper.putBack());
        return st;
      }
      keeper.leave();
    }
  }
  return Status::success();
}

}  // namespace inst
