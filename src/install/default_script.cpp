#include "install/default_script.h"

#include <utility>

#include "install/language_folder.h"
#include "jaws/layout.h"
#include "package/layout.h"
#include "settings/ini_access.h"
#include "settings/setup_keys.h"

namespace inst {

namespace {

constexpr unsigned kPauseBeforeKeyMapMs = 100;

}  // namespace

Status ReplaceDefaultScript(FileSystem& fs, Profile& profile, Sleeper& sleeper,
                            const std::string& exeFolder, const std::string& userLanguageFolder,
                            const std::string& sharedLanguageFolder, bool extras, EventSink* events,
                            undo::Keeper* keeper) {
  const std::string& u = userLanguageFolder;
  const std::string& s = sharedLanguageFolder;

  // A user who has a default script of their own (compiled or source) keeps it.
  // The tests run in this order and stop at the first that fails, so that the reason given is
  // the one the decision turned on.
  const char* why = nullptr;
  std::string path;
  if (!fs.fileExists(path = package::DefaultScriptMarkerPath(u))) {
    why = " não existe";
  } else if (!extras) {
    path = setup::kExtras;
    why = " está desligado";
  } else if (fs.fileExists(path = u + "\\default.jsb") ||
             fs.fileExists(path = u + "\\default.jss")) {
    why = " existe: o usuário tem um script padrão próprio";
  } else if (!fs.folderExists(path = s)) {
    why = " não existe";
  }
  if (why) {
    SkipStep(events, "defaultscript", path + why);
    return Status::success();
  }

  // Default.jsb goes last: once it is there, no later install runs this step again, so it must
  // never be there without the two files it relies on. A missing source is found before any
  // copy (in the order the copies were once made, so the same one is named) and reported by the
  // copy that would have failed on it, which writes nothing and words it as on every platform.
  using jaws::kDefaultJsb, jaws::kKeptSharedJsb, jaws::kKeptSharedJsd;
  const std::pair<std::string, std::string> packageScript{package::DefaultScriptPath(exeFolder),
                                                          package::Join(u, kDefaultJsb)};
  const std::pair<std::string, std::string> copies[] = {
      {s + "\\default.jsb", package::Join(u, kKeptSharedJsb)},
      {s + "\\default.jsd", package::Join(u, kKeptSharedJsd)},
      packageScript,
  };
  for (const auto* copy : {&packageScript, &copies[0], &copies[1]}) {
    if (!fs.fileExists(copy->first)) {
      if (Status st = fs.copyFile(copy->first, copy->second); !st) return st;
    }
  }
  for (const auto& [from, to] : copies) {
    if (keeper) {
      if (Status st = keeper->beforeCopyFile(from, to); !st) return st;
    }
    if (Status st = fs.copyFile(from, to); !st) return st;
  }

  sleeper.sleep(kPauseBeforeKeyMapMs);

  using jaws::kKeyMapSection, jaws::kKeyMapKey, jaws::kKeyMapValue;
  const std::string keyMap = package::Join(u, jaws::kKeyMapFile);
  if (keeper) {
    if (Status st = keeper->beforeWrite(kKeyMapSection, kKeyMapKey, kKeyMapValue, keyMap); !st)
      return st;
  }
  return TryWriteIniValue(profile, kKeyMapSection, kKeyMapKey, kKeyMapValue, keyMap);
}

}  // namespace inst
