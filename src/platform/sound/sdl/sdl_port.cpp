#include "platform/sound/sdl/sdl_port.h"

#include <utility>

#include "platform/sound/interpreter.h"
#include "platform/sound/sdl/sdl_device.h"
#include "platform/sound/silent_device.h"

namespace inst {

std::unique_ptr<MciPort> MakeSdlMciPort(
    std::function<std::string(const std::string&)> resolvePath) {
  std::unique_ptr<sound::SdlDevice> device = sound::SdlDevice::open();
  if (!device) return MakeSilentMciPort(std::move(resolvePath));
  return std::make_unique<sound::CommandInterpreter>(std::move(device), std::move(resolvePath));
}

}  // namespace inst
