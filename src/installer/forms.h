#pragma once

#include <array>

#include "app/window.h"
#include "install/install.h"

namespace inst {

// The windows as designed, before their load handlers run.
Window DesignForm1();
Window DesignForm2();

// Form1's geometry, tab order and cancel button as its load handler sets them; the captions
// and the boxes' states are each program's own.
void LayOutForm1(Window& w);

// Form1's four version boxes as an installation or an uninstall reads them: caption and value;
// all empty without the window.
std::array<VersionBox, 4> Form1Boxes(const Window* form1);

}  // namespace inst
