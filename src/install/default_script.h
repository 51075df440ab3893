#pragma once

#include <string>

#include "platform/event_sink.h"
#include "platform/file_system.h"
#include "platform/profile.h"
#include "platform/sleeper.h"
#include "text/status.h"
#include "undo/keeper.h"

namespace inst {

// Puts the package's default script in place in `userLanguageFolder` when the package asked for
// it (its marker script is there and `extras` is on) and the user has no default script of their
// own; keeps copies of the shared default script and its documentation beside it and adds the
// key assignment. Does nothing when the shared folder is missing. Returns the first failure.
// When it does nothing, `events` (if any) is told why. `keeper` (if any) is told before each
// change.
Status ReplaceDefaultScript(FileSystem& fs, Profile& profile, Sleeper& sleeper,
                            const std::string& exeFolder, const std::string& userLanguageFolder,
                            const std::string& sharedLanguageFolder, bool extras,
                            EventSink* events = nullptr, undo::Keeper* keeper = nullptr);

}  // namespace inst
