#include "ui/gtk/entry.h"

#include <cstdio>
#include <filesystem>
#include <string>

#include "cli/exit_status.h"
#include "platform/host.h"

namespace inst::gtk {
namespace {

constexpr const char* kModule = "instalador-gtk.so";
constexpr const char* kRunSymbol = "instalador_gtk_run";

std::string ModulePath(const std::string& exeFolder) {
  return exeFolder + "/" + kModule;
}

}  // namespace

bool CanRun(const Environment& env) {
  if (env.get("DISPLAY").empty() && env.get("WAYLAND_DISPLAY").empty()) return false;
  // A copy of the program without its module runs headless rather than not at all.
  std::error_code ec;
  return std::filesystem::is_regular_file(ModulePath(host::ExecutableFolder()), ec);
}

int Run(ui::Services& services) {
  const std::string path = ModulePath(services.exeFolder);
  // The module stays loaded until the process ends: GTK cannot be unloaded.
  std::string why;
  void* module = host::LoadModule(path, why);
  if (module == nullptr) {
    std::fprintf(stderr, "instalador: não foi possível carregar a interface GTK: %s\n",
                 why.c_str());
    return Code(ExitStatus::Usage);
  }
  using RunFunction = int (*)(ui::Services*);
  auto run = reinterpret_cast<RunFunction>(host::ModuleFunction(module, kRunSymbol));
  if (run == nullptr) {
    std::fprintf(stderr, "instalador: %s não tem %s\n", path.c_str(), kRunSymbol);
    return Code(ExitStatus::Usage);
  }
  return run(&services);
}

}  // namespace inst::gtk
