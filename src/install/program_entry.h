#pragma once

// A named package in the list of installed programs: the uninstaller kept for it and the
// registry key that points to it.

#include <string>

#include "platform/program_list.h"
#include "platform/services.h"
#include "settings/package_info.h"
#include "text/status.h"

namespace inst {

// "HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\instalador-<id>"
std::string UninstallKey(const std::string& id);
// "<localAppData>\instalador\<id>"
std::string KeptProgramFolder(const std::string& localAppData, const std::string& id);
// The kept folder + "\desinstalar.exe"
std::string KeptProgramPath(const std::string& localAppData, const std::string& id);

// The list over the platform's registry: the kept uninstaller is a bundle of the package made
// from `executable`, the running program.
class KeptPrograms final : public ProgramList {
 public:
  KeptPrograms(Registry& registry, std::string executable)
      : registry_(registry), executable_(std::move(executable)) {}
  std::string absent() const override { return registry_.absent(); }
  Status writeKey(const std::string& key, const std::vector<RegistryValue>& values) override {
    return registry_.writeKey(key, values);
  }
  Status removeKey(const std::string& key) override { return registry_.removeKey(key); }
  bool keyExists(const std::string& key) override { return registry_.keyExists(key); }
  Status keepProgram(const std::string& packageFolder, const std::string& path) override;
  Status removeProgram(const std::string& path) override;

 private:
  Registry& registry_;
  std::string executable_;
};

// After a completed installation of a named package: keeps its uninstaller and writes its key,
// in place of an older installation's, under the installation's lock. `date` is YYYYMMDD. A
// package without a name, or one whose Id is not of the safe form, writes nothing (the latter
// fails: its Id is never used as a path); a platform without the list says so to `events`.
Status RegisterPackage(Services& s, const PackageInfo& info, const std::string& packageFolder,
                       const std::string& date);

// When no version keeps the package any more: its key and its uninstaller's folder go.
Status ForgetPackage(Services& s, const PackageInfo& info);

}  // namespace inst
