#include "app/application.h"

#include <array>

#include "app/forms.h"
#include "app/messages.h"
#include "info/info_window.h"
#include "install/install.h"
#include "jaws/discovery.h"
#include "jaws/layout.h"
#include "settings/conversions.h"
#include "settings/ini_access.h"
#include "settings/setup_keys.h"

namespace inst {
namespace {

// Thrown to end the program at once: it unwinds the running handler, and `dispatch` stops it.
struct ProgramEnded {};

}  // namespace

Application::Application(AppServices services) : s_(std::move(services)), form1_(DesignForm1()) {}

Application::~Application() = default;

template <class F>
void Application::dispatch(F&& handler) {
  if (ended_) return;
  try {
    handler();
  } catch (const ProgramEnded&) {
  }
}

void Application::endProgram(int status) {
  ended_ = true;
  exitStatus_ = status;
  s_.ui.programEnded(status);
  throw ProgramEnded{};
}

// After anything that lets the user act (a modal window), the handler must not go on if the
// program ended meanwhile.
void Application::throwIfEnded() const {
  if (ended_) throw ProgramEnded{};
}

Window& Application::activeWindow() {
  return form2_ && form2Shown_ ? *form2_ : form1_;
}

void Application::start() {
  dispatch([&] {
    loadForm1();
    if (const Control* first = form1_.nextFocusable("", true)) form1_.setFocus(first->name);
    s_.ui.showWindow(form1_, false);
  });
}

std::string Application::read(const char* section, const char* key) {
  return ReadIniValue(s_.profile, section, key, setupIniPath_);
}

void Application::message(const std::string& text, MsgIcon icon) {
  s_.ui.show(text, windowTitle_, icon);
  throwIfEnded();
}

void Application::loadForm1() {
  player_ = std::make_unique<mci>(s_.mciPort, s_.fs, s_.ui, [this] { return appTitle_; });
  setupIniPath_ = s_.exeFolder + "\\Setup.ini";

  windowTitle_ = read(setup::kConfigurations, setup::kTitle);
  const std::string frameCaption = read(setup::kConfigurations, setup::kFrameTitle);
  startVersion_ = ToInt16(LeadingNumber(read(setup::kConfigurations, setup::kStartVersion)));
  soundFileName_ = read(setup::kSound, setup::kSoundFile);
  const bool playSound = ToFlag(read(setup::kSound, setup::kPlaySound));
  playModeSetting_ = ToInt16(LeadingNumber(read(setup::kSound, setup::kPlayMode)));
  const double volume = LeadingNumber(read(setup::kSound, setup::kVolume));
  const bool showInfo = ToFlag(read(setup::kInfo, setup::kShowInfo));

  Window& w = form1_;
  Control& command1 = w.control("Command1");
  Control& command2 = w.control("Command2");
  Control& command3 = w.control("Command3");
  w.caption = windowTitle_;
  w.control("Frame1").caption = frameCaption;
  w.width = w.width + 2000;
  w.height = w.height + 2000;
  if (!showInfo) {
    command3.enabled = false;
    command3.visible = false;
  }
  command1.caption = text::kInstall;
  command2.caption = text::kExit;
  command3.caption = text::kInfo;
  command3.top = command1.top;
  command2.top = command1.top;
  const float x = static_cast<float>(command3.width) + static_cast<float>(command3.left);
  w.left = (static_cast<float>(command2.left) - x) / 2;
  command1.left = static_cast<float>(x + w.left - command2.width / 2);
  w.setTabIndex("Frame1", 0);
  for (int i = 0; i < 4; ++i) w.setTabIndex(Check1(i), i + 1);
  w.top = 480;
  for (int i = 1; i <= 3; ++i) {
    Control& box = w.control(Check1(i));
    box.left = 360;
    box.top = w.top + 600 * i;
  }
  w.setTabIndex("Command1", 6);
  w.setTabIndex("Command3", 5);
  w.setTabIndex("Command2", 7);
  w.cancelButton = "Command2";
  w.control(Check1(0)).value = 1;
  appTitle_ = windowTitle_;
  jawsRoot_ = jaws::JawsRootFrom(s_.env.get("programfiles"));

  if (!s_.fs.fileExists(setupIniPath_)) {
    message(text::kNoSetupIni, MsgIcon::Exclamation);
    endProgram(1);
  }

  jaws::Discovery found = jaws::DiscoverVersions(s_.fs, jawsRoot_, startVersion_, windowTitle_);
  versionCount_ = found.versionCount;
  if (found.stop) {
    s_.ui.show(found.message, found.title, found.icon);
    throwIfEnded();
    endProgram(1);
  }
  for (int i = 0; i < 4; ++i) {
    const jaws::CheckboxState& state = found.checkboxes[static_cast<std::size_t>(i)];
    Control& box = w.control(Check1(i));
    if (!state.caption.empty()) box.caption = state.caption;
    box.enabled = state.enabled;
    box.visible = state.visible;
  }

  startWelcomeSound(playSound, volume);
}

void Application::startWelcomeSound(bool playSound, double volume) {
  if (!playSound) return;
  player_->FileName(s_.exeFolder + "\\Audio\\" + soundFileName_);
  throwIfEnded();
  player_->OpenFile();
  player_->PlayMode(playModeSetting_);
  throwIfEnded();
  player_->volume(RoundHalfEven(volume));
  throwIfEnded();
  player_->Play();
}

void Application::click(std::string_view name) {
  dispatch([&] {
    Window& w = activeWindow();
    Control* c = w.find(name);
    if (c == nullptr || !w.usable(*c)) return;
    activate(w, *c);
  });
}

// A click, a press of Space or Enter on the focused control, or its access key.
void Application::activate(Window& w, const Control& c) {
  switch (c.kind) {
    case ControlKind::Frame:
      return;
    case ControlKind::TextBox:
      w.setFocus(c.name);
      return;
    case ControlKind::CheckBox:
      w.setFocus(c.name);
      w.control(c.name).value = c.value == 0 ? 1 : 0;
      return;
    case ControlKind::Button: {
      w.setFocus(c.name);
      std::string name = c.name;  // the handler may unload the window
      buttonClicked(w, name);
      return;
    }
  }
}

void Application::buttonClicked(Window& w, const std::string& name) {
  if (&w == &form1_) {
    if (name == "Command1") installClicked();
    if (name == "Command2") exitSequence();
    if (name == "Command3") infoClicked();
  } else if (name == "Sair") {
    unloadForm2();
  }
}

void Application::key(Key key, char letter) {
  dispatch([&] {
    Window& w = activeWindow();
    const Control* focused = w.find(w.focus());
    switch (key) {
      case Key::Tab:
      case Key::ShiftTab:
        if (const Control* next = w.nextFocusable(w.focus(), key == Key::Tab))
          w.setFocus(next->name);
        return;
      case Key::Space:
        if (focused && focused->kind != ControlKind::TextBox && w.usable(*focused))
          activate(w, *focused);
        return;
      case Key::Enter:
        // No button is the default one: Enter acts only on a focused button.
        if (focused && focused->kind == ControlKind::Button && w.usable(*focused))
          activate(w, *focused);
        return;
      case Key::Esc:
        if (const Control* cancel = w.find(w.cancelButton); cancel && w.usable(*cancel))
          activate(w, *cancel);
        return;
      case Key::Alt: {
        const Control* target = w.accessKeyTarget(letter);
        if (!target) return;
        if (target->kind == ControlKind::Frame) {
          // A frame's access key moves to the next control in tab order.
          if (const Control* next = w.nextFocusable(target->name, true)) w.setFocus(next->name);
          return;
        }
        activate(w, *target);
        return;
      }
    }
  });
}

void Application::closeRequest() {
  dispatch([&] {
    if (form2_ && form2Shown_) {
      unloadForm2();
    } else {
      form1CloseRequest();
    }
  });
}

void Application::installClicked() {
  int sum = 0;
  std::array<VersionBox, 4> boxes;
  for (int i = 0; i < 4; ++i) {
    const Control& box = form1_.control(Check1(i));
    sum += box.value;
    boxes[static_cast<std::size_t>(i)] = VersionBox{box.caption, box.value};
  }
  if (sum == 0) {
    message(text::kNoneTicked, MsgIcon::Exclamation);
    return;
  }
  Status result = RunInstall({s_.fs, s_.profile, s_.env, s_.sleeper}, s_.exeFolder, setupIniPath_,
                             boxes, versionCount_);
  if (!result) {
    message(std::string(text::kInstallFailed) + "\n" + result.path() + "\n" + result.reason(),
            MsgIcon::Exclamation);
    return;
  }
  message(text::kInstallDone, MsgIcon::None);
  exitSequence();
}

void Application::exitSequence() {
  if (player_) player_->CloseFile();
  player_.reset();
  endProgram(0);
}

void Application::form1CloseRequest() {
  if (player_) player_->CloseFile();
  player_.reset();
  s_.ui.windowUnloaded(form1_);
  endProgram(0);
}

Window& Application::loadedForm2() {
  if (!form2_) {
    form2_.emplace(DesignForm2());
    LoadForm2(*form2_, s_.profile, s_.exeFolder);
  }
  return *form2_;
}

void Application::infoClicked() {
  form1_.setFocus("Command1");
  const std::string fileName = read(setup::kInfo, setup::kInfoFile);
  LoadInfoFile(s_.fs, s_.exeFolder, fileName, [this]() -> Window& { return loadedForm2(); });
  Window& form2 = loadedForm2();
  if (const Control* first = form2.nextFocusable("", true)) form2.setFocus(first->name);
  form2Shown_ = true;
  s_.ui.showWindow(form2, true);
  throwIfEnded();
}

void Application::unloadForm2() {
  if (!form2_) return;
  s_.ui.windowUnloaded(*form2_);
  form2_.reset();
  form2Shown_ = false;
}

}  // namespace inst
