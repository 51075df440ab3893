#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "app/front_end.h"
#include "app/host.h"
#include "installer/installer.h"

namespace inst::silent {

// The versions a --versions value chooses among those offered (box index and name, in box
// order): "all", or names matched without regard to case, duplicates counted once. Empty
// `value`: the boxes already ticked. A name not offered fills `unknown` and chooses nothing.
struct Choice {
  std::vector<int> boxes;
  std::string unknown;
};
Choice ChooseVersions(const std::string& value,
                      const std::vector<std::pair<int, std::string>>& offered,
                      const std::vector<int>& ticked);

// No window is ever shown; every message box text goes to `err` as one UTF-8 text and a line
// feed. The choice of versions and the press of "&Instalar" go to the installer as the user's
// would, so the same handlers run as under the window.
class SilentFrontEnd final : public FrontEnd {
 public:
  // Messages go to `err` (standard error): C streams, since iostreams would double the
  // size of the Windows executable.
  explicit SilentFrontEnd(std::FILE* err) : err_(err) {}

  // Starts the program, ticks the chosen versions, installs (or takes the package off them);
  // returns the exit status.
  int run(Host& host, Installer& installer, const std::string& versions, bool uninstall = false);

  // What the program says to the administrator and no message box would: a line on `err`.
  void note(const std::string& text);

  void show(const std::string& text, const std::string& title, MsgIcon icon) override;
  void showWindow(const Window& window, bool modal) override;
  void windowUnloaded(const Window&) override {}
  void programEnded(ExitStatus) override {}

 private:
  std::FILE* err_;
  Host* app_ = nullptr;
};

}  // namespace inst::silent
