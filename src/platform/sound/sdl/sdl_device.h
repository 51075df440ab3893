#pragma once

#include <memory>

#include "platform/sound/sound_device.h"

namespace inst::sound {

// SDL_mixer's music stream: one sound at a time, which is all the interpreter asks for. SDL's
// audio is process-wide, so only one of these may exist at a time.
class SdlDevice final : public SoundDevice {
 public:
  // The opened output, or null when SDL cannot make one (not even the dummy one), or when
  // another SdlDevice is alive.
  static std::unique_ptr<SdlDevice> open();
  ~SdlDevice() override;

  std::unique_ptr<Sound> load(const std::string& nativePath, DeviceType type,
                              const Media& media) override;

 private:
  SdlDevice() = default;
};

}  // namespace inst::sound
