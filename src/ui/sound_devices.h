#pragma once

#include <functional>
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

// A device made when its first file is opened. Until then nothing is open on any device, and
// the silent one `meanwhile` answers as every device answers then (a "close" of nothing at
// the end of a run that played no sound): the modules, libraries and sound server behind the
// real device cost a run nothing until it plays, and a start-up that plays nothing opens its
// window without waiting for them.
std::unique_ptr<MciPort> OpenedOnDemand(std::function<std::unique_ptr<MciPort>()> make,
                                        std::unique_ptr<MciPort> meanwhile);

}  // namespace inst::ui
