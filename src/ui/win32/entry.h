#pragma once

#include "ui/front_ends.h"

namespace inst::win32ui {

// The Windows program: native windows and message boxes, the welcome sound through the
// system's multimedia commands unless the user asks for another device.
bool CanRun(const Environment& env);
int Run(ui::Services& services);

}  // namespace inst::win32ui
