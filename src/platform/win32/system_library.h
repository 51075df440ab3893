#pragma once

#include <windows.h>

namespace inst::win32 {

// A DLL that is not one of the system's known ones, loaded from the system folder only (or,
// for the common controls, from where the manifest's activation context sends the loader),
// never from the program's folder or the current one: a bundle runs from a Downloads folder,
// beside files nobody chose. Loaded once and kept; null when it cannot be loaded.
HMODULE SystemLibrary(const wchar_t* name);

// A function of such a DLL, or null.
template <class F>
F SystemFunction(const wchar_t* library, const char* name) {
  HMODULE module = SystemLibrary(library);
  return module ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)))
                : nullptr;
}

}  // namespace inst::win32
