#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "app/front_end.h"
#include "app/window.h"
#include "audio/mci.h"
#include "platform/environment.h"
#include "platform/event_sink.h"
#include "platform/file_system.h"
#include "platform/mci_port.h"
#include "platform/profile.h"
#include "platform/sleeper.h"

namespace inst {

struct AppServices {
  FileSystem& fs;
  Profile& profile;
  Environment& env;
  Sleeper& sleeper;
  MciPort& mciPort;
  FrontEnd& ui;
  std::string exeFolder;  // the package's folder: Setup.ini, pastascripts, Audio, Info, Extras
  // Told what the program decides (versions found and offered, steps passed over), every
  // message box and the end, for the log; may be null.
  EventSink* events = nullptr;
  // Off for a run that must make no sound: start-up's sound step does not run at all.
  bool welcomeSound = true;
};

// The program: Form1 and its handlers, Form2, the player and the ways the program ends.
// Every entry point does nothing once the program has ended.
class Application {
 public:
  explicit Application(AppServices services);
  ~Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // Loads Form1 (the start-up sequence) and shows it, unless start-up stops the program.
  void start();

  bool ended() const { return ended_; }
  int exitStatus() const { return exitStatus_; }
  const std::string& applicationTitle() const { return appTitle_; }

  Window& form1() { return form1_; }
  Window* form2() { return form2_ ? &*form2_ : nullptr; }
  // The window that takes the user's input: the modal Form2 while it is shown.
  Window& activeWindow();

  // A mouse click on a control of the active window, as a user makes it.
  void click(std::string_view control);
  // A key in the active window; `letter` with Key::Alt.
  void key(Key key, char letter = 0);
  // A close request on the active window (its close box, Alt+F4, log-off).
  void closeRequest();

  // What a native toolkit has already done, reported after the fact: the toolkit owns the
  // focus, Tab, access keys and the toggling of boxes. `window` is the window it happened in;
  // input for any window but the active one is ignored, as the modal Form2 blocks Form1, and
  // the front end hears that the window differs from what it shows.
  void inputChecked(std::string_view window, std::string_view control, int value);
  // A button was pressed (click, Space, Enter, its access key, Esc on the cancel button); like
  // a click, it takes the focus.
  void inputPressed(std::string_view window, std::string_view control);
  void inputFocus(std::string_view window, std::string_view control);
  void inputClose(std::string_view window);

  // Ends the program from outside any handler, through the exit path that closes the sound,
  // with this status: for a front end that cannot go on (an unattended run that has nothing
  // to install, or whose installation failed).
  void stop(int status);

 private:
  template <class F>
  void dispatch(F&& handler);
  [[noreturn]] void endProgram(int status);
  void throwIfEnded() const;
  void fail(const std::string& what) noexcept;

  Window* inputWindow(std::string_view name);
  Window* shownCopy(const std::string& name);
  void present(Window& window, bool modal);
  void bringIntoStep();

  void loadForm1();
  void startWelcomeSound(bool playSound, double volume);
  void activate(Window& window, const Control& control);
  void buttonClicked(Window& window, const std::string& name);

  void installClicked();
  void exitSequence();
  void form1CloseRequest();
  void infoClicked();
  Window& loadedForm2();
  void unloadForm2();

  void message(const std::string& text, MsgIcon icon);
  void message(const std::string& text, const std::string& title, MsgIcon icon);
  std::string read(const char* section, const char* key);

  AppServices s_;
  Window form1_;
  std::optional<Window> form2_;
  bool form2Shown_ = false;
  // Each shown window as the front end shows it: what it was last given, with what the
  // toolkit reported since. A difference from the data is what the front end is told.
  std::map<std::string, Window, std::less<>> shown_;
  // A modal box or window has closed: the toolkit may have put the focus anywhere, so the
  // front end is told every shown window again and puts it back where the data has it.
  bool reassertFocus_ = false;
  void event(const std::string& line);

  std::unique_ptr<MessageBoxes> playerBoxes_;
  std::unique_ptr<mci> player_;
  bool ended_ = false;
  int exitStatus_ = 0;

  std::string appTitle_ = "instalador";
  std::string setupIniPath_;
  std::string windowTitle_;
  std::string soundFileName_;
  std::int16_t playModeSetting_ = 0;
  std::int16_t startVersion_ = 0;
  std::string jawsRoot_;
  std::int16_t versionCount_ = 0;
};

}  // namespace inst
