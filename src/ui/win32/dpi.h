#pragma once

#include <windows.h>

namespace inst::win32ui {

// The per-monitor DPI functions, looked up at run time: Windows 7 and 8 have none of them, and
// the program must still start there at the system DPI.
unsigned SystemDpi();
unsigned WindowDpi(HWND window);
// The outer size in pixels of a window whose client area is `width` x `height` at `dpi`.
SIZE OuterSize(int width, int height, DWORD style, DWORD exStyle, unsigned dpi);
// The platform's dialog font (the message font of the non-client metrics) at `dpi`.
LOGFONTW DialogFont(unsigned dpi);

}  // namespace inst::win32ui
