#include "platform/win32/long_path.h"

#include <windows.h>

#include "platform/win32/wide.h"

namespace inst::win32 {

std::wstring LongPath(std::wstring path) {
  constexpr std::size_t kRoom = MAX_PATH - 20;  // what an appended name or temp suffix may add
  if (path.size() < kRoom || path.starts_with(L"\\\\?\\")) return path;
  DWORD n = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (n == 0) return path;
  std::wstring full(n, L'\0');
  n = GetFullPathNameW(path.c_str(), n, full.data(), nullptr);
  full.resize(n);
  if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

std::wstring LongPath(const std::string& utf8) {
  return LongPath(toWide(utf8));
}

}  // namespace inst::win32
