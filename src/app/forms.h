#pragma once

#include "app/window.h"

namespace inst {

// The windows as designed, before their load handlers run.
Window DesignForm1();
Window DesignForm2();

// Names of the version checkboxes, members 0 to 3 of the control array Check1.
std::string Check1(int index);

}  // namespace inst
