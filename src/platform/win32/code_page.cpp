#include "platform/code_page.h"

#include <windows.h>

namespace inst {
namespace {

std::wstring widen(std::string_view text, UINT codePage) {
  if (text.empty()) return {};
  int n = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
  return wide;
}

std::string narrow(const std::wstring& wide, UINT codePage) {
  if (wide.empty()) return {};
  int n = WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                              nullptr, nullptr);
  std::string text(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), text.data(), n,
                      nullptr, nullptr);
  return text;
}

}  // namespace

std::string toAnsi(std::string_view utf8) {
  return narrow(widen(utf8, CP_UTF8), CP_ACP);
}
std::string fromAnsi(std::string_view ansi) {
  return narrow(widen(ansi, CP_ACP), CP_UTF8);
}

}  // namespace inst
