// The baseline of bench/win32_startup.py: the least a Win32 program does to show a window.
// Built with COMMON_CONTROLS_6 (and linked with the program's manifest) it is the fairer
// second baseline: the themed common controls loaded the way the program loads them, so that
// what the loader and the theme cost under Wine is not counted against the program.

#include <windows.h>
#ifdef COMMON_CONTROLS_6
#include <commctrl.h>
#endif

namespace {

LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
#ifdef COMMON_CONTROLS_6
  using Init = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
  if (HMODULE comctl = LoadLibraryExW(L"comctl32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32))
    if (const auto init = reinterpret_cast<Init>(
            reinterpret_cast<void*>(GetProcAddress(comctl, "InitCommonControlsEx"))))
      init(&controls);
#endif
  WNDCLASSW wc{};
  wc.lpfnWndProc = Procedure;
  wc.hInstance = instance;
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = L"empty";
  RegisterClassW(&wc);
  HWND hwnd = CreateWindowW(L"empty", L"empty", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                            451, 364, nullptr, nullptr, instance, nullptr);
  ShowWindow(hwnd, SW_SHOW);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}
