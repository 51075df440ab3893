#pragma once

#include "ui/front_ends.h"

namespace inst::silent {

// The installer without any window, message box or sound, for deployment tools: the versions
// come from `services.versions`, message texts go to standard error, and the exit status says
// how it went (0 installed, 1 start-up stop, 3 a version not offered, 4 failed part way, 5 a
// chosen version without a language folder).
int Run(ui::Services& services);

}  // namespace inst::silent
