#include "ui/win32/entry.h"

#include <windows.h>
// After windows.h, which it builds on.
#include <commctrl.h>
#include <objbase.h>

#include "installer/installer.h"
#include "installer/remover.h"
#include "platform/win32/system_library.h"
#include "ui/win32/win32_front_end.h"

namespace inst::win32ui {

bool CanRun(const Environment&) {
  return true;  // Windows always has its desktop
}

int Run(ui::Services& s) {
  // The themed controls of the manifest's common controls 6.
  // Loaded, not imported: an imported COMCTL32 would have its own imports looked for in the
  // program's folder before the program's first instruction.
  // What the controls load later, on their own, is loaded first from the system folder: not
  // every loader honours the narrowed search for a DLL's delayed imports (Wine's does not).
  win32::SystemLibrary(L"msimg32.dll");
  using Init = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
  if (const auto init = win32::SystemFunction<Init>(L"comctl32.dll", "InitCommonControlsEx"))
    init(&controls);
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
