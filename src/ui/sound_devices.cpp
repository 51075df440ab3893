#include "ui/sound_devices.h"

#include "platform/host.h"

namespace inst::ui {
namespace {

std::unique_ptr<MciPort> MakeNamed(std::string_view name, const std::string& exeFolder) {
  for (const host::SoundDeviceEntry& device : host::SoundDevices())
    if (device.name == name) return device.make(exeFolder);
  return nullptr;
}

}  // namespace

std::unique_ptr<MciPort> MakeSoundDevice(std::string_view hint, std::string_view preferred,
                                         const std::string& exeFolder) {
  if (auto port = MakeNamed(hint, exeFolder)) return port;
  if (auto port = MakeNamed(preferred, exeFolder)) return port;
  for (const host::SoundDeviceEntry& device : host::SoundDevices())
    if (auto port = device.make(exeFolder)) return port;
  return MakeNamed("silent", exeFolder);
}

}  // namespace inst::ui
