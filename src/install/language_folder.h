#pragma once

#include <string>

#include "install/install.h"
#include "platform/event_sink.h"
#include "platform/file_system.h"
#include "text/status.h"
#include "undo/keeper.h"

namespace inst {

// Tells `events` (when there is one) that an install step was passed over, and why.
void SkipStep(EventSink* events, const char* step, const std::string& reason);

// One per-user language folder of one version: the package copy, the ConfigNames entry in the
// shared folder of the same language, then the default-script step. Returns the first failure.
// `keeper` (when given) is told before each change.
Status InstallLanguageFolder(InstallServices services, const std::string& exeFolder,
                             const std::string& version, const SubFolder& userLanguageFolder,
                             const InstallSettings& settings, undo::Keeper* keeper = nullptr);

}  // namespace inst
