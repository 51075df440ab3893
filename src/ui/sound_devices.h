#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/mci_port.h"

namespace inst::ui {

// The sound device for this run, from the table of those built in: the one `hint` names
// (INSTALADOR_SOUND) when it can be made, else the front end's `preferred`, else the first in
// the table that can be made. The silent device is last: chosen on demand or when nothing
// else can play. `exeFolder` is where loadable device modules lie.
std::unique_ptr<MciPort> MakeSoundDevice(std::string_view hint, std::string_view preferred,
                                         const std::string& exeFolder);

}  // namespace inst::ui
