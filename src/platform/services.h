#pragma once

#include "platform/environment.h"
#include "platform/event_sink.h"
#include "platform/file_system.h"
#include "platform/profile.h"
#include "platform/program_list.h"
#include "platform/sleeper.h"

namespace inst {

// What every part of the core needs of the platform for one run. The front end, the sound and
// the package's folder are the installer's own business and travel beside it.
struct Services {
  FileSystem& fs;
  Profile& profile;
  Environment& env;
  Sleeper& sleeper;
  // Told what the program decides and does (versions found and offered, steps passed over,
  // message boxes, the end), for the log and a dry run's plan; may be null.
  EventSink* events = nullptr;
  // The list of installed programs a named package goes into; null where a run has none.
  ProgramList* programs = nullptr;
};

}  // namespace inst
