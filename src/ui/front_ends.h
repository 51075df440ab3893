#pragma once

#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "platform/environment.h"
#include "platform/mci_port.h"
#include "platform/services.h"

namespace inst::ui {

// What main has made for one run; a front end builds the application from it, wrapping what
// it needs to wrap (headless writes every sound command and pause as an event line).
struct Services {
  // The platform's services, the log already told what they do; `events` is the log (--log)
  // for the program's own events, null without one.
  inst::Services core;
  std::string packageFolder;  // Setup.ini, pastascripts, Audio, Info, Extras
  std::string exeFolder;      // the program's own folder, where its modules lie
  // The sound device: the one the user's hint names when it can be made, else `preferred`,
  // else the first in the table that can be made.
  std::function<std::unique_ptr<MciPort>(std::string_view preferred)> sound;
  // --versions of an unattended run: "all", names separated by commas, or empty for the
  // version the window would tick.
  std::string versions;
  // --uninstall: the unattended run takes the package off instead.
  bool uninstall = false;
  // The run's start, the name of its backup folder (YYYYMMDD-HHMMSS, UTC).
  std::string started;
};

struct FrontEndEntry {
  std::string_view name;
  // Whether it can run here (a desktop front end needs a display).
  bool (*canRun)(const Environment& env);
  // Builds the front end, runs the program with it and returns the exit status.
  int (*run)(Services& services);
  // Whether it talks through the standard streams; a program started without a console (the
  // Windows GUI program) then takes the console of the one that started it.
  bool textual = true;
  // Chosen only when its own option asks for it: never the default, and not offered by --ui.
  bool demandOnly = false;
};

// The front ends built into this executable, the platform's desktop one first.
std::span<const FrontEndEntry> FrontEnds();
const FrontEndEntry* FindFrontEnd(std::string_view name);
// The first in the table that can run here and is not only on demand; headless always can.
const FrontEndEntry& DefaultFrontEnd(const Environment& env);

}  // namespace inst::ui
