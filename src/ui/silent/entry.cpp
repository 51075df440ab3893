#include "ui/silent/entry.h"

#include <cstdio>

#include "installer/installer.h"
#include "ui/silent/silent_front_end.h"

namespace inst::silent {

int Run(ui::Services& s) {
  // Only the exit path's close command reaches it: start-up's sound step does not run.
  std::unique_ptr<MciPort> sound = s.sound("silent");
  SilentFrontEnd ui(stderr);
  Session session(ui, {s.core, *sound, s.packageFolder, /*welcomeSound=*/false, s.started,
                       [&ui](const std::string& text) { ui.note(text); }});
  return ui.run(session.host, session.installer, s.versions, s.uninstall);
}

}  // namespace inst::silent
