#pragma once

#include "app/window.h"

namespace inst {

// The windows as designed, before their load handlers run.
Window DesignForm1();
Window DesignForm2();

// Form1's geometry, tab order and cancel button as its load handler sets them; the captions
// and the boxes' states are each program's own.
void LayOutForm1(Window& w);

}  // namespace inst
