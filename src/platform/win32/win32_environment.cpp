#include "platform/win32/win32_environment.h"

#include <windows.h>

#include <vector>

#include "platform/win32/wide.h"

namespace inst {

// Windows matches variable names without regard to case by itself.
std::string Win32Environment::get(std::string_view name) const {
  std::wstring wname = win32::toWide(name);
  DWORD n = GetEnvironmentVariableW(wname.c_str(), nullptr, 0);
  if (n == 0) return {};
  std::vector<wchar_t> buf(n);
  DWORD got = GetEnvironmentVariableW(wname.c_str(), buf.data(), n);
  return win32::toUtf8(std::wstring(buf.data(), got));
}

}  // namespace inst
