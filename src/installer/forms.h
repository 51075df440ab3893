#pragma once

#include "app/window.h"

namespace inst {

// The windows as designed, before their load handlers run.
Window DesignForm1();
Window DesignForm2();

}  // namespace inst
