#include "ui/gtk/entry.h"

#include <dlfcn.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace inst::gtk {
namespace {

constexpr const char* kModule = "instalador-gtk.so";
constexpr const char* kRunSymbol = "instalador_gtk_run";

std::string ModulePath(const std::string& exeFolder) {
  return exeFolder + "/" + kModule;
}

std::string OwnFolder() {
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : exe.parent_path().string();
}

}  // namespace

bool CanRun(const Environment& env) {
  if (env.get("DISPLAY").empty() && env.get("WAYLAND_DISPLAY").empty()) return false;
  // A copy of the program without its module runs headless rather than not at all.
  std::error_code ec;
  return std::filesystem::is_regular_file(ModulePath(OwnFolder()), ec);
}

int Run(ui::Services& services) {
  const std::string path = ModulePath(services.exeFolder);
  // The module stays loaded until the process ends: GTK cannot be unloaded.
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    std::fprintf(stderr, "instalador: the GTK front end could not be loaded: %s\n", dlerror());
    return 2;
  }
  using RunFunction = int (*)(ui::Services*);
  auto run = reinterpret_cast<RunFunction>(dlsym(handle, kRunSymbol));
  if (run == nullptr) {
    std::fprintf(stderr, "instalador: %s has no %s\n", path.c_str(), kRunSymbol);
    return 2;
  }
  return run(&services);
}

}  // namespace inst::gtk
