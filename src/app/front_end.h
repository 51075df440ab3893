#pragma once

#include "app/window.h"
#include "platform/message_box.h"

namespace inst {

// What the application asks of a front end. Message boxes are modal and answered with OK.
class FrontEnd : public MessageBoxes {
 public:
  // The window becomes visible. A modal showing returns only when the window is unloaded:
  // the front end runs the user's input meanwhile.
  virtual void showWindow(Window& window, bool modal) = 0;
  virtual void windowUnloaded(const Window& window) = 0;
  // The program ends with this status; nothing runs after it.
  virtual void programEnded(int status) = 0;
};

}  // namespace inst
