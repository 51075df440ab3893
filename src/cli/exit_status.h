#pragma once

namespace inst {

// How the program ends, as the command line and the deployment tools that run it read it.
// Each status is defined here and nowhere else; the README's table lists every one.
enum class ExitStatus : int {
  Done = 0,         // installed, or ended by the user (Sair, Esc, the close box)
  StartupStop = 1,  // no Setup.ini, no JAWS version found; a package check with an erro
  Usage = 2,        // an unknown option, a bad value, a conflict, a log that cannot be opened
  NotOffered = 3,   // --versions named a version that is not offered
  Failed = 4,       // the installation failed part way
  // Installed, but a chosen version had no language folder to install into (unattended only:
  // the window keeps its success message)
  NoLanguageFolder = 5,
  Unexpected = 70,  // an error nothing in the program expected (as sysexits' EX_SOFTWARE)
};

constexpr int Code(ExitStatus status) {
  return static_cast<int>(status);
}

}  // namespace inst
