#pragma once

// One file to ship: a copy of the installer that carries its package as a ZIP archive appended
// to the executable, with a trailer that finds it (also after signing has appended a
// certificate table). Paths are program text (UTF-8), as the platform names them.

#include <cstdint>
#include <string>
#include <vector>

#include "text/status.h"

namespace inst::bundle {

struct PackageEntry {
  std::string name;  // '/' between components, e.g. "pastascripts/notepad.jss"
  bool folder = false;
  std::uint64_t size = 0;
};

// Whether `executable` carries a package. A failure says, in Portuguese, that the one it carries
// is damaged or incomplete; its path is the executable.
Status FindPackage(const std::string& executable, bool& carries);

// The entries of the package `executable` carries, every file's bytes checked against its CRC.
Status ListPackage(const std::string& executable, std::vector<PackageEntry>& entries);

// Unpacks the package `executable` carries into `folder`, which must exist and be empty; the
// bytes stream through, each file's checked against its CRC. On failure the folder is left
// empty.
Status UnpackPackage(const std::string& executable, const std::string& folder);

// Writes `output`: `executable`'s own bytes (without a package or signature it carries) and the
// package's own files from `packageFolder` (Setup.ini, pastascripts, Audio, Info, Extras; the
// names matched without regard to case). `output` is replaced whole or not at all. The package
// check is the caller's to run first.
Status WriteBundle(const std::string& executable, const std::string& packageFolder,
                   const std::string& output);

}  // namespace inst::bundle
