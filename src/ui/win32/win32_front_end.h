#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "app/front_end.h"
#include "app/host.h"

namespace inst::win32ui {

// The two windows as native Win32 controls, which a screen reader reads through the system's
// own accessibility: a window class of the program's own holding standard BUTTON and EDIT
// controls, the dialog manager (IsDialogMessage) doing the keyboard work, MessageBoxW for the
// messages.
//
// Every user action is posted back to the window and handed to the application from there, so
// that the window procedure or accessibility call that caused it (BM_CLICK, accDoDefaultAction)
// returns before a handler opens a message box.
class Win32FrontEnd final : public FrontEnd {
 public:
  explicit Win32FrontEnd(HINSTANCE instance);
  ~Win32FrontEnd() override;
  Win32FrontEnd(const Win32FrontEnd&) = delete;
  Win32FrontEnd& operator=(const Win32FrontEnd&) = delete;

  // Starts the program and runs the message loop until it ends; returns the exit status.
  int run(Host& host);

  void show(const std::string& text, const std::string& title, MsgIcon icon) override;
  WindowFrame frameOf(const Window& window) const override;
  ScreenArea screen() const override;
  void showWindow(const Window& window, bool modal) override;
  void windowsChanged(const std::vector<WindowChange>& changes) override;
  void windowUnloaded(const Window& window) override;
  void programEnded(ExitStatus status) override;

  struct Native;

 private:
  static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK EditProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT handle(Native& n, UINT message, WPARAM wParam, LPARAM lParam);

  Native* nativeOf(const std::string& windowName) const;
  Native* nativeOf(HWND hwnd) const;
  Native& create(const Window& window);
  void destroy(Native& n);
  void layout(Native& n);
  void apply(Native& n, const WindowChange& change);
  void applyFocus(Native& n);
  void reportFocus();
  void input(Native& n, WPARAM kind, LPARAM argument);
  void pump(const Native* modal);
  void failed(const char* what) noexcept;
  // Whether the program has ended, or none runs: no input is reported then.
  bool over() const { return app_ == nullptr || app_->ended(); }

  HINSTANCE instance_;
  ATOM windowClass_ = 0;
  Host* app_ = nullptr;
  std::vector<std::unique_ptr<Native>> windows_;
  std::vector<std::unique_ptr<Native>> graveyard_;
  int pumpDepth_ = 0;
  int boxesOpen_ = 0;
};

}  // namespace inst::win32ui
