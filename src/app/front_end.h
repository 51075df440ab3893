#pragma once

#include <vector>

#include "app/changes.h"
#include "app/window.h"
#include "cli/exit_status.h"
#include "platform/message_box.h"

namespace inst {

// What the host asks of a front end. Message boxes are modal and answered with OK.
//
// The windows are data held by the host, and the host alone records what the front end shows.
// A front end shows them, reports what the user did through the host's input functions, and
// after each handler hears what changed, which it applies without comparing anything itself.
class FrontEnd : public MessageBoxes {
 public:
  // The frame this front end draws around the window's client area; asked before the window's
  // load handler runs, so that the outer sizes the handlers read and write include it.
  virtual WindowFrame frameOf(const Window& /*window*/) const { return {}; }
  // Where a window that opens centred is centred.
  virtual ScreenArea screen() const { return {}; }

  // The window becomes visible, every property as the data has it. A modal showing returns
  // only when the window is unloaded: the front end runs the user's input meanwhile.
  virtual void showWindow(const Window& window, bool modal) = 0;
  // What differs in shown windows from what the front end was last told or reported: told after
  // every handler, and before every message box or modal window, so the controls are in step
  // while the user acts. After a modal box or window closes every shown window is told its
  // focus again, wherever the toolkit put it meanwhile.
  virtual void windowsChanged(const std::vector<WindowChange>& /*changes*/) {}
  virtual void windowUnloaded(const Window& window) = 0;
  // The program ends with this status; nothing runs after it.
  virtual void programEnded(ExitStatus status) = 0;
};

}  // namespace inst
