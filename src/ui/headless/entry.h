#pragma once

#include "ui/front_ends.h"

namespace inst::headless {

// The installer driven by lines on standard input, events on standard output. Sound goes to
// the silent device unless the user asks for another.
int Run(ui::Services& services);

}  // namespace inst::headless
