#include "ui/silent/entry.h"

#include <cstdio>

#include "app/application.h"
#include "ui/silent/silent_front_end.h"

namespace inst::silent {

int Run(ui::Services& s) {
  // Only the exit path's close command reaches it: start-up's sound step does not run.
  std::unique_ptr<MciPort> sound = s.sound("silent");
  SilentFrontEnd ui(stderr);
  AppServices services = s.app(*sound, ui);
  services.welcomeSound = false;
  Application app(services);
  return ui.run(app, s.versions);
}

}  // namespace inst::silent
