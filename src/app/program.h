#pragma once

#include <string_view>

#include "cli/exit_status.h"

namespace inst {

// A program's own handlers, which the host calls; they change the windows through the host.
class Program {
 public:
  virtual ~Program() = default;
  // Start-up: loads and shows the first window, or ends the program.
  virtual void load() = 0;
  // A button of a loaded window was pressed (click, Space, Enter, access key, Esc).
  virtual void pressed(std::string_view window, std::string_view button) = 0;
  // A close request on the active window.
  virtual void closeRequest(std::string_view window) = 0;
  // Ends the program from outside any handler, through its own exit path.
  virtual void stop(ExitStatus status) = 0;
};

}  // namespace inst
