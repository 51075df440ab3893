#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/mci_port.h"
#include "platform/sound/sound_device.h"

namespace inst {

namespace sound {

// Makes no sound and takes no time: a sound plays until it is stopped, paused or closed, and
// waiting for its end returns at once, leaving it at its end. It reads the files the real
// device reads, so the same commands succeed and fail.
class SilentDevice final : public SoundDevice {
 public:
  std::unique_ptr<Sound> load(const std::string& nativePath, DeviceType type,
                              const Media& media) override;
};

}  // namespace sound

// The command interpreter over the silent device. `resolvePath` maps a command's Windows path
// to the native one.
std::unique_ptr<MciPort> MakeSilentMciPort(
    std::function<std::string(const std::string&)> resolvePath);

}  // namespace inst
