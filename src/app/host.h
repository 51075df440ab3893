#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/front_end.h"
#include "app/program.h"
#include "app/window.h"
#include "cli/exit_status.h"
#include "platform/event_sink.h"
#include "platform/message_box.h"

namespace inst {

// An error nothing in the program expected; the line after it names what failed.
inline constexpr const char* kUnexpected =
    "Ocorreu um erro inesperado e o instalador precisa ser encerrado.";

// The window host: the loaded windows as data, the one record of what the front end shows of
// them, dispatch of the user's input to the program's handlers, the dialog rules for a front
// end without a dialog manager, message boxes, and the end of the program.
//
// Every entry point does nothing once the program has ended; nothing escapes it.
class Host {
 public:
  Host(FrontEnd& ui, EventSink* events);
  ~Host();
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  // The program whose handlers run; attached once, before start.
  void attach(Program& program) { program_ = &program; }
  // Runs the program's start-up.
  void start();

  // --- what a front end reads ---
  bool ended() const { return ended_; }
  int exitStatus() const { return Code(status_); }
  // The application's title (App.Title), named in message boxes the host shows itself.
  const std::string& title() const { return title_; }
  // The loaded windows, in the order they were loaded.
  std::vector<const Window*> windows() const;
  const Window* find(std::string_view window) const;
  // The window that takes the user's input: the last one shown modally, else the first; null
  // before any is loaded.
  const Window* activeWindow() const;

  // --- the user's input ---
  // A mouse click on a control of the active window, as a user makes it.
  void click(std::string_view control);
  // A key in the active window; `letter` with Key::Alt.
  void key(Key key, char letter = 0);
  // A close request on the active window (its close box, Alt+F4, log-off).
  void closeRequest();
  // What a native toolkit has already done, reported after the fact: the toolkit owns the
  // focus, Tab, access keys and the toggling of boxes. `window` is the window it happened in;
  // input for any window but the active one is ignored, as a modal window blocks the others,
  // and the front end hears that the window differs from what it shows.
  void inputChecked(std::string_view window, std::string_view control, int value);
  // A button was pressed (click, Space, Enter, its access key, Esc on the cancel button); like
  // a click, it takes the focus.
  void inputPressed(std::string_view window, std::string_view control);
  void inputFocus(std::string_view window, std::string_view control);
  void inputClose(std::string_view window);

  // Ends the program from outside any handler, through the program's exit path.
  void stop(ExitStatus status);
  // An error nothing expected, in a handler or in a front end's own code: one critical message
  // box saying what failed, and the end with ExitStatus::Unexpected.
  void fail(const std::string& what) noexcept;

  // --- what the program's handlers do ---
  void setTitle(std::string title) { title_ = std::move(title); }
  // Loads a window from its design, in the front end's frame. The window stays where it is
  // until unloaded.
  Window& load(Window design);
  // Shows a loaded window, its focus on the first control that can hold it; a modal showing
  // returns when the window is unloaded.
  void show(Window& window, bool modal);
  void unload(std::string_view window);
  void message(const std::string& text, const std::string& title, MsgIcon icon);
  // Message boxes a part of the program shows by itself (the sound player's), told to the log.
  MessageBoxes& boxes();
  // Ends the program at once: unwinds the running handler.
  [[noreturn]] void end(ExitStatus status);
  // After anything that lets the user act, a handler must not go on once the program ended.
  void throwIfEnded() const;
  void event(const std::string& line);
  // The front end's frame and screen.
  ScreenArea screen() const { return ui_.screen(); }

 private:
  struct Loaded {
    std::unique_ptr<Window> data;
    // What the front end shows, from what it was last told and what the toolkit reported
    // since; empty while the window is not shown.
    std::optional<Window> seen;
    bool modal = false;
  };

  template <class F>
  void dispatch(F&& handler);
  Loaded* loaded(std::string_view window);
  Window* inputWindow(std::string_view window);
  Window* active();
  void activate(Window& window, const Control& control);
  void bringIntoStep();

  FrontEnd& ui_;
  EventSink* events_;
  Program* program_ = nullptr;
  std::unique_ptr<MessageBoxes> boxes_;
  std::vector<Loaded> windows_;
  std::vector<std::unique_ptr<Window>> unloaded_;
  int depth_ = 0;  // handlers running, one inside another while a modal window is shown
  // A modal box or window has closed: the toolkit may have put the focus anywhere, so every
  // shown window is told its focus again.
  bool reassertFocus_ = false;
  bool ended_ = false;
  bool failing_ = false;
  ExitStatus status_ = ExitStatus::Done;
  std::string title_ = "instalador";
};

}  // namespace inst
