#include "ui/headless/entry.h"

#include <cstdio>

#include "installer/installer.h"
#include "trace/logged_services.h"
#include "ui/headless/headless_front_end.h"

namespace inst::headless {

int Run(ui::Services& s) {
  std::unique_ptr<MciPort> sound = s.sound("silent");
  HeadlessFrontEnd ui(stdin, stdout);
  trace::LoggedMciPort mciPort(*sound, ui);
  trace::LoggedSleeper sleeper(s.core.sleeper, ui);
  const Services& core = s.core;
  Session session(ui, {{core.fs, core.profile, core.env, sleeper, core.events},
                       mciPort,
                       s.packageFolder,
                       true,
                       s.started});
  return ui.run(session.host);
}

}  // namespace inst::headless
