#pragma once

#include <string>
#include <vector>

#include "app/window.h"
#include "platform/message_box.h"

namespace inst {

// What the application asks of a front end. Message boxes are modal and answered with OK.
//
// The windows are data held by the application. A front end shows them, reports what the user
// did through the application's input functions, and after each handler hears which windows
// changed so it can bring its controls into step.
class FrontEnd : public MessageBoxes {
 public:
  // The frame this front end draws around a window's client area; asked before the window's
  // load handler runs, so that the outer sizes the handlers read and write include it.
  virtual WindowFrame frameOf(const std::string& /*windowName*/) const { return {}; }
  // Where a window that opens centred is centred.
  virtual ScreenArea screen() const { return {}; }

  // The window becomes visible. A modal showing returns only when the window is unloaded:
  // the front end runs the user's input meanwhile.
  virtual void showWindow(const Window& window, bool modal) = 0;
  // These shown windows differ from what the front end was last given: captions, values,
  // enabled and visible states, focus, geometry. Told after every handler, and before every
  // message box or modal window, so the controls are in step while the user acts.
  virtual void windowsChanged(const std::vector<const Window*>& /*windows*/) {}
  virtual void windowUnloaded(const Window& window) = 0;
  // The program ends with this status; nothing runs after it.
  virtual void programEnded(int status) = 0;
};

}  // namespace inst
