#pragma once

#include <string>
#include <vector>

#include "check/package_check.h"
#include "platform/file_system.h"

namespace inst::check {

// What the package's files are, beside what they hold: Setup.ini, pastascripts, Audio, Info
// and Extras, looked at to any depth without following links. Names that differ only in case
// (one replaces the other on Windows), links that point outside the package, pipes, devices and
// sockets, and temporary files an interrupted installation left behind. Writes nothing.
void CheckPackageFiles(FileSystem& fs, const std::string& packageFolder,
                       std::vector<Finding>& findings);

// A file name from Setup.ini that leaves the folder it is looked up in: an absolute path, a
// drive, or a ".." component.
bool LeavesItsFolder(const std::string& name);

}  // namespace inst::check
