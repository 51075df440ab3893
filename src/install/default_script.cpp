#include "install/default_script.h"

#include <utility>

#include "install/language_folder.h"
#include "package/layout.h"
#include "settings/ini_access.h"
#include "settings/setup_keys.h"

namespace inst {

namespace {

constexpr unsigned kPauseBeforeKeyMapMs = 100;

}  // namespace

Status ReplaceDefaultScript(FileSystem& fs, Profile& profile, Sleeper& sleeper,
                            const std::string& exeFolder, const std::string& userLanguageFolder,
                            const std::string& sharedLanguageFolder, bool extras,
                            EventSink* events) {
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
  const std::pair<std::string, std::string> packageScript{package::DefaultScriptPath(exeFolder),
                                                          u + "\\Default.jsb"};
  const std::pair<std::string, std::string> copies[] = {
      {s + "\\default.jsb", u + "\\default_fs.jsb"},
      {s + "\\default.jsd", u + "\\default_fs.jsd"},
      packageScript,
  };
  for (const auto* copy : {&packageScript, &copies[0], &copies[1]}) {
    if (!fs.fileExists(copy->first)) {
      if (Status st = fs.copyFile(copy->first, copy->second); !st) return st;
    }
  }
  for (const auto& [from, to] : copies) {
    if (Status st = fs.copyFile(from, to); !st) return st;
  }

  sleeper.sleep(kPauseBeforeKeyMapMs);

  return TryWriteIniValue(profile, "Common Keys", "windows+backspace", "swSayAlert(1)",
                          u + "\\Default.jkm");
}

}  // namespace inst
