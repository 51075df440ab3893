#include "platform/win32/win32_sleeper.h"

#include <windows.h>

namespace inst {

void Win32Sleeper::sleep(unsigned milliseconds) {
  Sleep(milliseconds);
}

}  // namespace inst
