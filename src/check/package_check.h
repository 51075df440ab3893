#pragma once

#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/profile.h"

namespace inst::check {

enum class Severity {
  Error,    // the installation would fail, or do something else than the author meant
  Warning,  // the user would meet something surprising
};

struct Finding {
  Severity severity;
  std::string text;  // Portuguese: the file or key concerned and what to change
};

// Reads a package folder as its author would ship it (Setup.ini, pastascripts, Audio, Info,
// Extras) with the same rules the installer applies, without needing JAWS, and says what would
// go wrong. Writes nothing. Findings come in a fixed order: Setup.ini, the scripts, the package's
// files, the default script, the welcome sound, the information text, the texts the user sees.
std::vector<Finding> CheckPackage(FileSystem& fs, Profile& profile,
                                  const std::string& packageFolder);

// "erro: …" or "aviso: …", as the check prints a finding.
std::string FormatFinding(const Finding& finding);

}  // namespace inst::check
