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
#include "text/event_line.h"
#include "trace/logged_services.h"

namespace inst {
namespace {

// Thrown to end the program at once: it unwinds the running handler, and `dispatch` stops it.
struct ProgramEnded {};

// The player's own message boxes, told to the log like the window's.
class LoggedBoxes final : public MessageBoxes {
 public:
  LoggedBoxes(MessageBoxes& inner, EventSink* events) : inner_(inner), events_(events) {}
  void show(const std::string& text, const std::string& title, MsgIcon icon) override {
    if (events_) events_->event(trace::MessageBoxEvent(text, title, icon));
    inner_.show(text, title, icon);
  }

 private:
  MessageBoxes& inner_;
  EventSink* events_;
};

}  // namespace

Application::Application(AppServices services)
    : s_(std::move(services)),
      form1_(DesignForm1()),
      playerBoxes_(std::make_unique<LoggedBoxes>(s_.ui, s_.events)) {}

void Application::event(const std::string& line) {
  if (s_.events) s_.events->event(line);
}

void Application::stop(int status) {
  dispatch([&] {
    if (player_) player_->CloseFile();
    player_.reset();
    endProgram(status);
  });
}

Application::~Application() = default;

// Every entry point runs its handler here. Nothing escapes it: a front end calls in from
// window procedures and signal handlers, which must not be unwound.
template <class F>
void Application::dispatch(F&& handler) {
  if (ended_) return;
  try {
    handler();
    bringIntoStep();
  } catch (const ProgramEnded&) {
  } catch (const std::exception& e) {
    fail(e.what());
  } catch (...) {
    fail("");
  }
}

// An error no rule of the program expects: the user is told what failed, and the program
// ends at once with its own status, as it would after any other fatal message.
void Application::fail(const std::string& what) noexcept {
  if (ended_) return;
  ended_ = true;
  exitStatus_ = kStatusUnexpected;
  try {
    std::string text = text::kUnexpected;
    if (!what.empty()) text += "\n" + what;
    event(trace::MessageBoxEvent(text, appTitle_, MsgIcon::Critical));
    s_.ui.show(text, appTitle_, MsgIcon::Critical);
  } catch (...) {
  }
  try {
    event(EventLine("end").bare("status", std::to_string(exitStatus_)).str());
    s_.ui.programEnded(exitStatus_);
  } catch (...) {
  }
}

void Application::endProgram(int status) {
  ended_ = true;
  exitStatus_ = status;
  event(EventLine("end").bare("status", std::to_string(status)).str());
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
    form1_.addFrame(s_.ui.frameOf(form1_.name()));
    loadForm1();
    if (const Control* first = form1_.nextFocusable("", true)) form1_.setFocus(first->name);
    present(form1_, false);
  });
}

void Application::present(Window& window, bool modal) {
  if (window.position == WindowPosition::CenterScreen) {
    const ScreenArea screen = s_.ui.screen();
    window.left = screen.left + (screen.width - window.width) / 2;
    window.top = screen.top + (screen.height - window.height) / 2;
  }
  bringIntoStep();
  shown_.insert_or_assign(window.name(), window);
  s_.ui.showWindow(window, modal);
  throwIfEnded();
  if (modal) reassertFocus_ = true;
}

Window* Application::shownCopy(const std::string& name) {
  auto it = shown_.find(name);
  return it == shown_.end() ? nullptr : &it->second;
}

void Application::bringIntoStep() {
  if (ended_) return;
  std::vector<const Window*> changed;
  for (Window* w : {&form1_, form2()}) {
    Window* shown = w ? shownCopy(w->name()) : nullptr;
    if (shown == nullptr || (*shown == *w && !reassertFocus_)) continue;
    *shown = *w;
    changed.push_back(w);
  }
  reassertFocus_ = false;
  if (!changed.empty()) s_.ui.windowsChanged(changed);
}

std::string Application::read(const char* section, const char* key) {
  return ReadIniValue(s_.profile, section, key, setupIniPath_);
}

void Application::message(const std::string& text, MsgIcon icon) {
  message(text, windowTitle_, icon);
}

void Application::message(const std::string& text, const std::string& title, MsgIcon icon) {
  bringIntoStep();
  event(trace::MessageBoxEvent(text, title, icon));
  s_.ui.show(text, title, icon);
  throwIfEnded();
  reassertFocus_ = true;
}

void Application::loadForm1() {
  player_ = std::make_unique<mci>(s_.mciPort, s_.fs, *playerBoxes_, [this] { return appTitle_; });
  setupIniPath_ = s_.exeFolder + "\\Setup.ini";

  windowTitle_ = read(setup::kConfigurations, setup::kTitle);
  const std::string frameCaption = read(setup::kConfigurations, setup::kFrameTitle);
  startVersion_ = ToInt16(LeadingNumber(read(setup::kConfigurations, setup::kStartVersion)));
  const bool yearVersions = ToFlag(read(setup::kConfigurations, setup::kYearVersions));
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
  // The handler places the window itself, and it opens where it was put.
  w.position = WindowPosition::Manual;
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

  jaws::Discovery found =
      jaws::DiscoverVersions(s_.fs, jawsRoot_, startVersion_, windowTitle_, yearVersions);
  versionCount_ = found.versionCount;
  for (const std::string& name : found.found) event("found" + trace::Field("name", name));
  if (found.stop) {
    message(found.message, found.title, found.icon);
    endProgram(1);
  }
  for (int i = 0; i < 4; ++i) {
    const jaws::CheckboxState& state = found.checkboxes[static_cast<std::size_t>(i)];
    Control& box = w.control(Check1(i));
    if (!state.caption.empty()) box.caption = state.caption;
    box.enabled = state.enabled;
    box.visible = state.visible;
    if (!state.caption.empty())
      event(EventLine("offered").number("box", i).str() + trace::Field("name", state.caption));
  }

  startWelcomeSound(playSound, volume);
}

void Application::startWelcomeSound(bool playSound, double volume) {
  if (!playSound || !s_.welcomeSound) return;
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

Window* Application::inputWindow(std::string_view name) {
  Window& active = activeWindow();
  return active.name() == name ? &active : nullptr;
}

void Application::inputChecked(std::string_view window, std::string_view control, int value) {
  dispatch([&] {
    if (Window* shown = shownCopy(std::string(window)))
      if (Control* c = shown->find(control)) c->value = value;
    Window* w = inputWindow(window);
    Control* box = w ? w->find(control) : nullptr;
    if (box == nullptr || box->kind != ControlKind::CheckBox || !w->usable(*box)) return;
    box->value = value != 0 ? 1 : 0;
    w->setFocus(box->name);
  });
}

void Application::inputPressed(std::string_view window, std::string_view control) {
  dispatch([&] {
    Window* w = inputWindow(window);
    const Control* button = w ? w->find(control) : nullptr;
    if (button == nullptr || button->kind != ControlKind::Button || !w->usable(*button)) return;
    activate(*w, *button);
  });
}

void Application::inputFocus(std::string_view window, std::string_view control) {
  dispatch([&] {
    if (Window* shown = shownCopy(std::string(window))) shown->setFocus(control);
    Window* w = inputWindow(window);
    const Control* c = w ? w->find(control) : nullptr;
    if (c == nullptr || !w->canFocus(*c)) return;
    w->setFocus(c->name);
  });
}

void Application::inputClose(std::string_view window) {
  if (inputWindow(window) != nullptr) closeRequest();
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
  Status result = RunInstall({s_.fs, s_.profile, s_.env, s_.sleeper, s_.events}, s_.exeFolder,
                             setupIniPath_, boxes, versionCount_);
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
  shown_.erase(form1_.name());
  s_.ui.windowUnloaded(form1_);
  endProgram(0);
}

Window& Application::loadedForm2() {
  if (!form2_) {
    form2_.emplace(DesignForm2());
    form2_->addFrame(s_.ui.frameOf(form2_->name()));
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
  present(form2, true);
}

void Application::unloadForm2() {
  if (!form2_) return;
  shown_.erase(form2_->name());
  s_.ui.windowUnloaded(*form2_);
  form2_.reset();
  form2Shown_ = false;
}

}  // namespace inst
