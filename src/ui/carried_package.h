#pragma once

#include <string>

#include "platform/file_system.h"
#include "platform/profile.h"

namespace inst::ui {

// The package a bundle carries, unpacked for this run into a private folder under the system's
// temporary folder. The folder goes when this object does: main holds it for the whole run, and
// every front end returns to main however the run ends (installed, failed, a start-up stop,
// Esc, the close box, an unexpected error). An interrupted run removes it as it ends; one killed
// outright leaves it to the next start, which removes what dead runs left.
class CarriedPackage {
 public:
  CarriedPackage() = default;
  CarriedPackage(const CarriedPackage&) = delete;
  CarriedPackage& operator=(const CarriedPackage&) = delete;
  ~CarriedPackage();

  // Unpacks the package `executable` carries, if it carries one. False, with the reason on
  // standard error (and in a message box for a window front end) and nothing left behind, when
  // it carries a damaged one or cannot unpack it.
  bool open(const std::string& executable, bool window);
  // Where the package lies; empty when the executable carries none.
  const std::string& folder() const { return folder_; }

 private:
  std::string folder_;
};

// --bundle: checks the package in `packageFolder` as --check does, and when it finds no erro
// writes `output`, a copy of `executable` that carries the package. The findings go to standard
// output, a failure to write to standard error; returns the exit status.
int WriteBundleCommand(FileSystem& fs, Profile& profile, const std::string& executable,
                       const std::string& packageFolder, const std::string& output);

}  // namespace inst::ui
