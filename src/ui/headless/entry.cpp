#include "ui/headless/entry.h"

#include <cstdio>

#include "app/application.h"
#include "trace/logged_services.h"
#include "ui/headless/headless_front_end.h"

namespace inst::headless {

int Run(ui::Services& s) {
  std::unique_ptr<MciPort> sound = s.sound("silent");
  HeadlessFrontEnd ui(stdin, stdout);
  trace::LoggedMciPort mciPort(*sound, ui);
  trace::LoggedSleeper sleeper(s.sleeper, ui);
  Application app(s.app(mciPort, ui, &sleeper));
  return ui.run(app);
}

}  // namespace inst::headless
