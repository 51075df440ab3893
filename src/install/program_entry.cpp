#include "install/program_entry.h"

#include <memory>
#include <string_view>
#include <vector>

#include "install/language_folder.h"
#include "jaws/layout.h"
#include "package/bundle.h"
#include "package/layout.h"
#include "platform/plain_files.h"
#include "platform/temp_folder.h"
#include "platform/windows_path.h"
#include "undo/record.h"

namespace inst {
namespace {

constexpr std::string_view kUninstallRoot =
    "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\instalador-";
constexpr std::string_view kKeptRoot = "instalador";
constexpr std::string_view kKeptProgram = "desinstalar.exe";
constexpr std::string_view kPackageParts[] = {package::kSetupIni, package::kScriptsFolder,
                                              package::kAudioFolder, package::kInfoFolder,
                                              package::kExtrasFolder};

// The bytes of the package's own files, as a bundle carries them.
std::uint64_t PackageBytes(FileSystem& fs, const std::string& packageFolder) {
  std::uint64_t total = 0;
  auto add = [&](const std::string& file) {
    undo::FileDigest digest;
    if (undo::Digest(fs, file, digest)) total += digest.size;
  };
  for (std::string_view part : kPackageParts) {
    const std::string path = package::Join(packageFolder, part);
    if (fs.fileExists(path)) {
      add(path);
    } else if (fs.folderExists(path)) {
      std::vector<std::pair<std::string, std::string>> copies;
      if (!undo::PlanCopies(fs, path, "\\" + std::string(kTempFilePrefix) + "size", copies))
        continue;
      for (const auto& [from, to] : copies) add(from);
    }
  }
  return total;
}

// Where the list cannot be had, the log and the dry run say so; nothing else does.
bool Present(Services& s) {
  const std::string why = s.programs == nullptr
                              ? "esta execução não grava a lista de programas instalados"
                              : s.programs->absent();
  if (why.empty()) return true;
  SkipStep(s.events, "register", why);
  return false;
}

Status CheckedId(const PackageInfo& info) {
  if (IsPackageId(info.id)) return Status::success();
  return Status::failure("[Package] Id",
                         "o Id do pacote não é só de letras minúsculas, dígitos e \"-\"; confira "
                         "o pacote com --check");
}

void Add(std::vector<RegistryValue>& values, const char* name, const std::string& text,
         std::uint32_t number = 0, bool isNumber = false) {
  values.push_back(RegistryValue{name, text, number, isNumber});
}

}  // namespace

std::string UninstallKey(const std::string& id) {
  return std::string(kUninstallRoot) + id;
}

std::string KeptProgramFolder(const std::string& localAppData, const std::string& id) {
  return package::Join(package::Join(localAppData, kKeptRoot), id);
}

std::string KeptProgramPath(const std::string& localAppData, const std::string& id) {
  return package::Join(KeptProgramFolder(localAppData, id), kKeptProgram);
}

Status KeptPrograms::keepProgram(const std::string& packageFolder, const std::string& path) {
  // The kept uninstaller run to install its own package again is already what it would write.
  if (files::SameFile(path, executable_)) return Status::success();
  return bundle::WriteBundle(executable_, packageFolder, path);
}

Status KeptPrograms::removeProgram(const std::string& path) {
  if (files::KindOf(path, false) == files::Kind::Missing) return Status::success();
  if (files::RemoveTree(path)) return Status::success();
  // Windows keeps a running program's file, but lets it be moved: out of the folder, into a
  // private temporary folder that a later start removes with the other leftovers.
  std::string aside;
  if (Status st = MakePrivateTempFolder(aside); !st) return st;
  Status moved = files::Rename(path, aside + files::kSeparator + std::string(kKeptProgram));
  if (!moved) (void)RemoveFolderTree(aside);
  return moved ? Status::success() : Status::failure(path, moved.reason());
}

Status RegisterPackage(Services& s, const PackageInfo& info, const std::string& packageFolder,
                       const std::string& date) {
  if (!info.named() || !Present(s)) return Status::success();
  if (Status st = CheckedId(info); !st) return st;
  const std::string localAppData = s.env.get("localappdata");
  if (localAppData.empty())
    return Status::failure("%LOCALAPPDATA%", "a pasta de dados locais do usuário não é conhecida");
  const std::string folder = KeptProgramFolder(localAppData, info.id);
  const std::string program = KeptProgramPath(localAppData, info.id);

  // Another installation of the same package writes the same file and key: one at a time.
  std::unique_ptr<FileLock> lock;
  if (Status st = s.fs.lockFile(jaws::InstallLockFile(s.env.get("appdata")), lock); !st) return st;
  if (s.fs.pathExists(folder) && !s.fs.folderExists(folder))
    return Status::failure(folder, "há um arquivo onde deveria estar a pasta do desinstalador");
  if (Status st = s.fs.makeFolders(folder); !st) return st;
  if (Status st = s.programs->keepProgram(packageFolder, program); !st) return st;

  // One call per value rather than the values built in place: the key's eight values inline
  // were 4 KB of the Windows program.
  std::vector<RegistryValue> values;
  Add(values, "DisplayName", info.name);
  Add(values, "DisplayVersion", info.version);
  if (!info.publisher.empty()) Add(values, "Publisher", info.publisher);
  const std::uint64_t kb = (PackageBytes(s.fs, packageFolder) + 1023) / 1024;
  Add(values, "DisplayIcon", program);
  Add(values, "InstallLocation", folder);
  Add(values, "UninstallString", "\"" + program + "\" --uninstall --ui=win32");
  Add(values, "QuietUninstallString", "\"" + program + "\" --uninstall --versions all");
  Add(values, "EstimatedSize", "",
      static_cast<std::uint32_t>(std::min<std::uint64_t>(kb, 0xFFFFFFFF)), true);
  Add(values, "InstallDate", date);
  Add(values, "NoModify", "", 1, true);
  Add(values, "NoRepair", "", 1, true);
  return s.programs->writeKey(UninstallKey(info.id), values);
}

Status ForgetPackage(Services& s, const PackageInfo& info) {
  if (!info.named() || !Present(s)) return Status::success();
  if (Status st = CheckedId(info); !st) return st;
  const std::string localAppData = s.env.get("localappdata");
  if (Status st = s.programs->removeKey(UninstallKey(info.id)); !st) return st;
  if (localAppData.empty()) return Status::success();
  const std::string folder = KeptProgramFolder(localAppData, info.id);
  if (!s.fs.folderExists(folder)) return Status::success();
  if (Status st = s.programs->removeProgram(KeptProgramPath(localAppData, info.id)); !st) return st;
  bool empty = false;
  if (Status st = s.fs.folderIsEmpty(folder, empty); !st || !empty) return st;
  return s.fs.removeFolder(folder);
}

}  // namespace inst
