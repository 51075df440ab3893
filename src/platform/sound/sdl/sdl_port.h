#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/mci_port.h"

namespace inst {

// The command interpreter playing through SDL_mixer. Without a usable sound card it goes on
// with SDL's dummy output (sounds take their real time but are not heard), and when SDL cannot
// start at all, or another SDL port is alive in the process, with the silent device. It never
// reports the fallback: the program carries on as it would with sound.
std::unique_ptr<MciPort> MakeSdlMciPort(std::function<std::string(const std::string&)> resolvePath);

}  // namespace inst
