#include "ui/win32/accessible_name.h"

// After windows.h, which they build on.
#include <objbase.h>
#include <oleacc.h>

namespace inst::win32ui {
namespace {

// CLSID_CAccPropServices, which MinGW's import libraries do not carry.
constexpr CLSID kAccPropServices = {
    0xb5f8350b, 0x0548, 0x48b1, {0xa6, 0xee, 0x88, 0xbd, 0x00, 0xb4, 0xa5, 0xe7}};

IAccPropServices* Services() {
  IAccPropServices* services = nullptr;
  if (FAILED(CoCreateInstance(kAccPropServices, nullptr, CLSCTX_INPROC_SERVER, IID_IAccPropServices,
                              reinterpret_cast<void**>(&services))))
    return nullptr;
  return services;
}

}  // namespace

void SetAccessibleName(HWND control, const std::wstring& name) {
  if (IAccPropServices* services = Services()) {
    services->SetHwndPropStr(control, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                             PROPID_ACC_NAME, name.c_str());
    services->Release();
  }
}

void ClearAccessibleName(HWND control) {
  if (IAccPropServices* services = Services()) {
    MSAAPROPID props[] = {PROPID_ACC_NAME};
    services->ClearHwndProps(control, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, props, 1);
    services->Release();
  }
}

}  // namespace inst::win32ui
