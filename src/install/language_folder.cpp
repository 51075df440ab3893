#include "install/language_folder.h"

#include "install/default_script.h"
#include "jaws/layout.h"
#include "package/layout.h"
#include "settings/ini_access.h"
#include "text/event_line.h"

namespace inst {

void SkipStep(EventSink* events, const char* step, const std::string& reason) {
  if (events) events->event(EventLine("skip").bare("step", step).quoted("reason", reason).str());
}

Status InstallLanguageFolder(InstallServices services, const std::string& exeFolder,
                             const std::string& version, const SubFolder& userLanguageFolder,
                             const InstallSettings& settings, undo::Keeper* keeper) {
  if (keeper) {
    if (Status st = keeper->beforeCopyFolder(package::ScriptsFolder(exeFolder)); !st) return st;
  }
  if (Status st =
          services.fs.copyFolder(package::ScriptsFolder(exeFolder), userLanguageFolder.path);
      !st) {
    return st;
  }

  // The shared folder takes the name as the file system spells it, not upper-cased.
  const std::string shared = jaws::SharedLanguageFolder(services.env.get("allusersprofile"),
                                                        version, userLanguageFolder.name);

  const std::string configNames = jaws::ConfigNamesFile(shared);
  if (!settings.modifyScriptName) {
    SkipStep(services.events, "confignames", "ModifyScriptName está desligado");
  } else if (!services.fs.pathExists(configNames)) {
    // JAWS owns this file; when it is not there we must not create one. Something else of its
    // name (a folder, a pipe) is not skipped: the write says what is wrong with it.
    SkipStep(services.events, "confignames", configNames + " não existe");
  } else {
    if (keeper) {
      if (Status st = keeper->beforeWrite(jaws::kConfigNamesSection, settings.application,
                                          settings.scriptName, configNames);
          !st)
        return st;
    }
    if (Status st = TryWriteIniValue(services.profile, jaws::kConfigNamesSection,
                                     settings.application, settings.scriptName, configNames);
        !st)
      return st;
  }

  return ReplaceDefaultScript(services.fs, services.profile, services.sleeper, exeFolder,
                              userLanguageFolder.path, shared, settings.extras, services.events,
                              keeper);
}

}  // namespace inst
