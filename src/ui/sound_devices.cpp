#include "ui/sound_devices.h"

#include <array>
#include <functional>

#include "platform/sound/silent_device.h"

#ifdef _WIN32
#include "platform/win32/win32_mci.h"
#else
#include "platform/posix/native_path.h"
#endif
#ifdef INSTALADOR_HAVE_SDL
#include <dlfcn.h>
#endif

namespace inst::ui {
namespace {

using Make = std::unique_ptr<MciPort> (*)(const std::string& exeFolder);

struct SoundDeviceEntry {
  std::string_view name;
  Make make;  // nullptr when the device cannot be had here
};

std::string NativePath(const std::string& path) {
#ifdef _WIN32
  return path;
#else
  return posix::resolvePath(path);
#endif
}

#ifdef _WIN32
std::unique_ptr<MciPort> MakeWinmm(const std::string&) {
  return std::make_unique<Win32MciPort>();
}
#endif

#ifdef INSTALADOR_HAVE_SDL
// The module stays loaded for the life of the process.
std::unique_ptr<MciPort> MakeSdl(const std::string& exeFolder) {
  std::string module = exeFolder + "/instalador-sdl.so";
  void* handle = dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) return nullptr;
  using Factory = MciPort* (*)(const std::function<std::string(const std::string&)>*);
  auto factory = reinterpret_cast<Factory>(dlsym(handle, "instalador_sdl_port"));
  if (factory == nullptr) return nullptr;
  std::function<std::string(const std::string&)> resolver = NativePath;
  return std::unique_ptr<MciPort>(factory(&resolver));
}
#endif

std::unique_ptr<MciPort> MakeSilent(const std::string&) {
  return MakeSilentMciPort(NativePath);
}

constexpr std::array kDevices{
#ifdef _WIN32
    SoundDeviceEntry{"winmm", MakeWinmm},
#endif
#ifdef INSTALADOR_HAVE_SDL
    SoundDeviceEntry{"sdl", MakeSdl},
#endif
    SoundDeviceEntry{"silent", MakeSilent},
};

std::unique_ptr<MciPort> MakeNamed(std::string_view name, const std::string& exeFolder) {
  for (const SoundDeviceEntry& device : kDevices)
    if (device.name == name) return device.make(exeFolder);
  return nullptr;
}

}  // namespace

std::unique_ptr<MciPort> MakeSoundDevice(std::string_view hint, std::string_view preferred,
                                         const std::string& exeFolder) {
  if (auto port = MakeNamed(hint, exeFolder)) return port;
  if (auto port = MakeNamed(preferred, exeFolder)) return port;
  for (const SoundDeviceEntry& device : kDevices)
    if (auto port = device.make(exeFolder)) return port;
  return MakeSilent(exeFolder);
}

}  // namespace inst::ui
