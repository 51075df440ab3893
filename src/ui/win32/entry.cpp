#include "ui/win32/entry.h"

#include <windows.h>
// After windows.h, which it builds on.
#include <commctrl.h>
#include <objbase.h>

#include "installer/installer.h"
#include "installer/remover.h"
#include "ui/win32/win32_front_end.h"

namespace inst::win32ui {

bool CanRun(const Environment&) {
  return true;  // Windows always has its desktop
}

int Run(ui::Services& s) {
  // The themed controls of the manifest's common controls 6.
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  // The accessibility annotations are COM objects of this thread.
  const bool com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  std::unique_ptr<MciPort> sound = s.sound("winmm");
  Win32FrontEnd ui(GetModuleHandleW(nullptr));
  int status = 0;
  if (s.uninstall) {
    RemovalSession session(ui, {s.core, *sound, s.packageFolder, false, s.started});
    status = ui.run(session.host);
  } else {
    Session session(ui, {s.core, *sound, s.packageFolder, true, s.started});
    status = ui.run(session.host);
  }
  if (com) CoUninitialize();
  return status;
}

}  // namespace inst::win32ui
