#include "ui/carried_package.h"

#include <cstdio>

#include "check/package_check.h"
#include "cli/exit_status.h"
#include "package/bundle.h"
#include "platform/host.h"
#include "platform/temp_folder.h"

namespace inst::ui {
namespace {

void Report(const char* what, const Status& s, bool window = false) {
  const std::string text = what + s.path() + ": " + s.reason();
  std::fputs(("instalador: " + text + "\n").c_str(), stderr);
  if (window) host::ShowStartupFailure(text);
}

}  // namespace

CarriedPackage::~CarriedPackage() {
  if (folder_.empty()) return;
  // Nothing is left to tell when the run has ended; a folder that resists (a file another
  // process holds open) goes with the next start's leftovers.
  (void)RemoveFolderTree(folder_);
}

bool CarriedPackage::open(const std::string& executable, bool window) {
  // Folders of runs that were killed before they could remove their own.
  RemoveLeftoverTempFolders();
  bool carries = false;
  if (executable.empty()) return true;  // a platform that cannot say: run as a plain program
  if (Status s = bundle::FindPackage(executable, carries); !s) {
    Report("", s, window);
    return false;
  }
  if (!carries) return true;
  std::string folder;
  if (Status s = MakePrivateTempFolder(folder); !s) {
    Report("não foi possível criar uma pasta temporária para o pacote: ", s, window);
    return false;
  }
  if (Status s = bundle::UnpackPackage(executable, folder); !s) {
    Report("", s, window);
    (void)RemoveFolderTree(folder);
    return false;
  }
  folder_ = folder;
  host::RemoveOnInterrupt(folder_);
  return true;
}

int WriteBundleCommand(FileSystem& fs, Profile& profile, const std::string& executable,
                       const std::string& packageFolder, const std::string& output) {
  bool failed = false;
  for (const check::Finding& finding : check::CheckPackage(fs, profile, packageFolder)) {
    failed |= finding.severity == check::Severity::Error;
    std::fputs((check::FormatFinding(finding) + "\n").c_str(), stdout);
  }
  if (failed) {
    std::fputs(("instalador: " + output + " não foi gravado: o pacote tem erros\n").c_str(),
               stderr);
    return Code(ExitStatus::StartupStop);
  }
  if (Status s = bundle::WriteBundle(executable, packageFolder, output); !s) {
    Report("", s);
    return Code(ExitStatus::Failed);
  }
  std::fputs(("gravado: " + output + "\n").c_str(), stdout);
  return Code(ExitStatus::Done);
}

}  // namespace inst::ui
