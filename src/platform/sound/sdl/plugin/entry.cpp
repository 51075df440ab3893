// The SDL sound device as a module the program loads only when it plays through SDL: SDL_mixer
// and the libraries behind it (some seventy) then cost nothing to a run that does not use them.

#include "platform/sound/sdl/sdl_port.h"

extern "C" __attribute__((visibility("default"))) inst::MciPort* instalador_sdl_port(
    const std::function<std::string(const std::string&)>* resolvePath) {
  return inst::MakeSdlMciPort(*resolvePath).release();
}
