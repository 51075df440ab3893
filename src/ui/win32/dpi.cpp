#include "ui/win32/dpi.h"

namespace inst::win32ui {
namespace {

template <class F>
F User32(const char* name) {
  return reinterpret_cast<F>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

using GetDpiForSystemFn = UINT(WINAPI*)();
using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using AdjustForDpiFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
using SystemParametersForDpiFn = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);

}  // namespace

unsigned SystemDpi() {
  static const auto forSystem = User32<GetDpiForSystemFn>("GetDpiForSystem");
  if (forSystem) return forSystem();
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<unsigned>(dpi) : 96;
}

unsigned WindowDpi(HWND window) {
  static const auto forWindow = User32<GetDpiForWindowFn>("GetDpiForWindow");
  if (forWindow && window) {
    if (UINT dpi = forWindow(window)) return dpi;
  }
  return SystemDpi();
}

SIZE OuterSize(int width, int height, DWORD style, DWORD exStyle, unsigned dpi) {
  static const auto adjust = User32<AdjustForDpiFn>("AdjustWindowRectExForDpi");
  RECT r{0, 0, width, height};
  if (!adjust || !adjust(&r, style, FALSE, exStyle, dpi))
    AdjustWindowRectEx(&r, style, FALSE, exStyle);
  return SIZE{r.right - r.left, r.bottom - r.top};
}

LOGFONTW DialogFont(unsigned dpi) {
  static const auto forDpi = User32<SystemParametersForDpiFn>("SystemParametersInfoForDpi");
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (forDpi && forDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi))
    return metrics.lfMessageFont;
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
    LOGFONTW font = metrics.lfMessageFont;
    font.lfHeight = MulDiv(font.lfHeight, static_cast<int>(dpi), static_cast<int>(SystemDpi()));
    return font;
  }
  LOGFONTW fallback{};
  fallback.lfHeight = -MulDiv(8, static_cast<int>(dpi), 72);
  fallback.lfWeight = FW_NORMAL;
  fallback.lfCharSet = DEFAULT_CHARSET;
  lstrcpyW(fallback.lfFaceName, L"MS Shell Dlg 2");
  return fallback;
}

}  // namespace inst::win32ui
