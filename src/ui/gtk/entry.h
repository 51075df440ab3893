#pragma once

#include "platform/environment.h"
#include "ui/front_ends.h"

namespace inst::gtk {

// The GTK 3 windows, on a Linux desktop. GTK lives in a module beside the executable
// (instalador-gtk.so), loaded only when this front end runs: the hundred libraries behind GTK
// then cost nothing to a headless run or a test.
bool CanRun(const Environment& env);
int Run(ui::Services& services);

}  // namespace inst::gtk
