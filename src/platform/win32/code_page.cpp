#include "platform/code_page.h"

#include <windows.h>

#include "platform/win32/wide.h"

namespace inst {

std::string toAnsi(std::string_view utf8) {
  return win32::fromWide(win32::toWide(utf8), CP_ACP);
}
std::string fromAnsi(std::string_view ansi) {
  return win32::toUtf8(win32::toWide(ansi, CP_ACP));
}

}  // namespace inst
