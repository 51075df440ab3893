#include "install/default_script.h"

#include "settings/ini_access.h"

namespace inst {

namespace {

constexpr unsigned kPauseBeforeKeyMapMs = 100;

}  // namespace

Status ReplaceDefaultScript(FileSystem& fs, Profile& profile, Sleeper& sleeper,
                            const std::string& exeFolder, const std::string& userLanguageFolder,
                            const std::string& sharedLanguageFolder, bool extras) {
  const std::string& u = userLanguageFolder;
  const std::string& s = sharedLanguageFolder;

  // A user who has a default script of their own (compiled or source) keeps it.
  const bool wanted = fs.fileExists(u + "\\RedidUzizu.jsb") && extras &&
                      !fs.fileExists(u + "\\default.jsb") && !fs.fileExists(u + "\\default.jss");
  if (!wanted) return Status::success();
  if (!fs.folderExists(s)) return Status::success();

  if (Status st = fs.copyFile(exeFolder + "\\Extras\\extra1.ext", u + "\\Default.jsb"); !st) {
    return st;
  }
  if (Status st = fs.copyFile(s + "\\default.jsb", u + "\\default_fs.jsb"); !st) return st;
  if (Status st = fs.copyFile(s + "\\default.jsd", u + "\\default_fs.jsd"); !st) return st;

  sleeper.sleep(kPauseBeforeKeyMapMs);

  return TryWriteIniValue(profile, "Common Keys", "windows+backspace", "swSayAlert(1)",
                          u + "\\Default.jkm");
}

}  // namespace inst
