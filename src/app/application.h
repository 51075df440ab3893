#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "app/front_end.h"
#include "app/window.h"
#include "audio/mci.h"
#include "platform/environment.h"
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

 private:
  template <class F>
  void dispatch(F&& handler);
  [[noreturn]] void endProgram(int status);
  void throwIfEnded() const;

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
  std::string read(const char* section, const char* key);

  AppServices s_;
  Window form1_;
  std::optional<Window> form2_;
  bool form2Shown_ = false;
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
