#include "platform/win32/test_hold.h"

#include <windows.h>

#include <string>

#include "platform/win32/wide.h"

namespace inst::win32 {

void TestHold([[maybe_unused]] const char* where, [[maybe_unused]] std::wstring_view target) {
#ifdef INSTALADOR_TEST_HOOKS
  wchar_t file[MAX_PATH], at[MAX_PATH];
  if (!GetEnvironmentVariableW(L"INSTALADOR_TEST_HOLD", file, MAX_PATH) ||
      !GetEnvironmentVariableW(L"INSTALADOR_TEST_HOLD_AT", at, MAX_PATH))
    return;
  const std::wstring name(target.substr(target.find_last_of(L"\\/") + 1));
  const std::wstring place = toWide(where);
  if (place != at &&
      CompareStringOrdinal((place + L":" + name).c_str(), -1, at, -1, TRUE) != CSTR_EQUAL)
    return;
  if (GetFileAttributesW(file) == INVALID_FILE_ATTRIBUTES) return;
  CloseHandle(CreateFileW((std::wstring(file) + L".held").c_str(), GENERIC_WRITE, 0, nullptr,
                          CREATE_ALWAYS, 0, nullptr));
  while (GetFileAttributesW(file) != INVALID_FILE_ATTRIBUTES) Sleep(20);
#endif
}

}  // namespace inst::win32
