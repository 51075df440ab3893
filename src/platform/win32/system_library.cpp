#include "platform/win32/system_library.h"

// The program's entry point, which the linker is told to use instead of the C runtime's: it
// takes the program's folder and the current folder out of the DLL search before any code runs
// that could load a DLL (the C runtime's start-up and the static constructors included).
extern "C" int WinMainCRTStartup();

extern "C" int InstaladorEntry() {
  // Looked up rather than imported: an unpatched Windows 7 lacks it, and the program must still
  // start there.
  using SetDirectories = BOOL(WINAPI*)(DWORD);
  const auto set = reinterpret_cast<SetDirectories>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
  if (set) set(LOAD_LIBRARY_SEARCH_SYSTEM32);
  SetDllDirectoryW(L"");  // the current folder too, where the call above is missing
  return WinMainCRTStartup();
}

namespace inst::win32 {

HMODULE SystemLibrary(const wchar_t* name) {
  return LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
}

}  // namespace inst::win32
