#include "app/host.h"

#include "text/event_line.h"
#include "trace/logged_services.h"

namespace inst {
namespace {

// Thrown to end the program at once: it unwinds the running handler, and `dispatch` stops it.
struct ProgramEnded {};

// Message boxes that a part of the program shows by itself, told to the log like the host's.
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

Host::Host(FrontEnd& ui, EventSink* events)
    : ui_(ui), events_(events), boxes_(std::make_unique<LoggedBoxes>(ui, events)) {}

Host::~Host() = default;

void Host::event(const std::string& line) {
  if (events_) events_->event(line);
}

MessageBoxes& Host::boxes() {
  return *boxes_;
}

// Every entry point runs its handler here. Nothing escapes it: a front end calls in from
// window procedures and signal handlers, which must not be unwound.
template <class F>
void Host::dispatch(F&& handler) {
  if (ended_ || failing_) return;
  ++depth_;
  try {
    handler();
    bringIntoStep();
  } catch (const ProgramEnded&) {
  } catch (const std::exception& e) {
    fail(e.what());
  } catch (...) {
    fail("");
  }
  if (--depth_ == 0) unloaded_.clear();
}

// The user is told what failed, and the program ends at once with its own status, as it would
// after any other fatal message.
// While the box is open no handler runs, and a second failure shows no second box.
void Host::fail(const std::string& what) noexcept {
  if (ended_ || failing_) return;
  failing_ = true;
  status_ = ExitStatus::Unexpected;
  try {
    std::string text = kUnexpected;
    if (!what.empty()) text += "\n" + what;
    event(trace::MessageBoxEvent(text, title_, MsgIcon::Critical));
    ui_.show(text, title_, MsgIcon::Critical);
  } catch (...) {
  }
  ended_ = true;
  try {
    event(EventLine("end").bare("status", std::to_string(Code(status_))).str());
    ui_.programEnded(status_);
  } catch (...) {
  }
}

void Host::end(ExitStatus status) {
  ended_ = true;
  status_ = status;
  event(EventLine("end").bare("status", std::to_string(Code(status))).str());
  ui_.programEnded(status);
  throw ProgramEnded{};
}

void Host::throwIfEnded() const {
  if (ended_) throw ProgramEnded{};
}

void Host::start() {
  dispatch([&] { program_->load(); });
}

void Host::stop(ExitStatus status) {
  dispatch([&] { program_->stop(status); });
}

// --- the windows ----------------------------------------------------------------------------

std::vector<const Window*> Host::windows() const {
  std::vector<const Window*> all;
  for (const Loaded& l : windows_) all.push_back(l.data.get());
  return all;
}

Host::Loaded* Host::loaded(std::string_view window) {
  for (Loaded& l : windows_)
    if (l.data->name() == window) return &l;
  return nullptr;
}

const Window* Host::find(std::string_view window) const {
  for (const Loaded& l : windows_)
    if (l.data->name() == window) return l.data.get();
  return nullptr;
}

Window* Host::active() {
  for (auto it = windows_.rbegin(); it != windows_.rend(); ++it)
    if (it->seen && it->modal) return it->data.get();
  return windows_.empty() ? nullptr : windows_.front().data.get();
}

const Window* Host::activeWindow() const {
  return const_cast<Host*>(this)->active();
}

Window& Host::load(Window design) {
  Loaded l;
  l.data = std::make_unique<Window>(std::move(design));
  l.data->addFrame(ui_.frameOf(*l.data));
  windows_.push_back(std::move(l));
  return *windows_.back().data;
}

void Host::show(Window& window, bool modal) {
  if (const Control* first = window.nextFocusable("", true)) window.setFocus(first->name);
  if (window.position == WindowPosition::CenterScreen) {
    const ScreenArea screen = ui_.screen();
    window.left = screen.left + (screen.width - window.width) / 2;
    window.top = screen.top + (screen.height - window.height) / 2;
  }
  bringIntoStep();
  Loaded* l = loaded(window.name());
  l->seen = window;
  l->modal = modal;
  ui_.showWindow(window, modal);
  throwIfEnded();
  if (modal) reassertFocus_ = true;
}

void Host::unload(std::string_view window) {
  Loaded* l = loaded(window);
  if (l == nullptr) return;
  l->seen.reset();
  ui_.windowUnloaded(*l->data);
  // A front end's showing of it may still be on the stack: the data goes when the outermost
  // handler returns.
  unloaded_.push_back(std::move(l->data));
  std::erase_if(windows_, [](const Loaded& each) { return each.data == nullptr; });
}

void Host::bringIntoStep() {
  if (ended_) return;
  std::vector<WindowChange> changes;
  for (Loaded& l : windows_) {
    if (!l.seen) continue;
    WindowChange change = Compare(*l.seen, *l.data);
    if (reassertFocus_) change.what.add(Property::Focus);
    if (!change.any()) continue;
    *l.seen = *l.data;
    changes.push_back(std::move(change));
  }
  reassertFocus_ = false;
  if (!changes.empty()) ui_.windowsChanged(changes);
}

void Host::message(const std::string& text, const std::string& title, MsgIcon icon) {
  bringIntoStep();
  event(trace::MessageBoxEvent(text, title, icon));
  ui_.show(text, title, icon);
  throwIfEnded();
  reassertFocus_ = true;
}

// --- input and the dialog rules -------------------------------------------------------------

void Host::click(std::string_view name) {
  dispatch([&] {
    Window* w = active();
    Control* c = w ? w->find(name) : nullptr;
    if (c == nullptr || !w->usable(*c)) return;
    activate(*w, *c);
  });
}

// A click, a press of Space or Enter on the focused control, or its access key.
void Host::activate(Window& w, const Control& c) {
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
      // The handler may unload the window.
      const std::string window = w.name();
      const std::string button = c.name;
      program_->pressed(window, button);
      return;
    }
  }
}

void Host::key(Key key, char letter) {
  dispatch([&] {
    Window* active = this->active();
    if (active == nullptr) return;
    Window& w = *active;
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

void Host::closeRequest() {
  dispatch([&] {
    if (const Window* w = active()) {
      const std::string window = w->name();
      program_->closeRequest(window);
    }
  });
}

Window* Host::inputWindow(std::string_view name) {
  Window* w = active();
  return w && w->name() == name ? w : nullptr;
}

void Host::inputChecked(std::string_view window, std::string_view control, int value) {
  dispatch([&] {
    if (Loaded* l = loaded(window); l && l->seen)
      if (Control* c = l->seen->find(control)) c->value = value;
    Window* w = inputWindow(window);
    Control* box = w ? w->find(control) : nullptr;
    if (box == nullptr || box->kind != ControlKind::CheckBox || !w->usable(*box)) return;
    box->value = value != 0 ? 1 : 0;
    w->setFocus(box->name);
  });
}

void Host::inputPressed(std::string_view window, std::string_view control) {
  dispatch([&] {
    Window* w = inputWindow(window);
    const Control* button = w ? w->find(control) : nullptr;
    if (button == nullptr || button->kind != ControlKind::Button || !w->usable(*button)) return;
    activate(*w, *button);
  });
}

void Host::inputFocus(std::string_view window, std::string_view control) {
  dispatch([&] {
    if (Loaded* l = loaded(window); l && l->seen) l->seen->setFocus(control);
    Window* w = inputWindow(window);
    const Control* c = w ? w->find(control) : nullptr;
    if (c == nullptr || !w->canFocus(*c)) return;
    w->setFocus(c->name);
  });
}

void Host::inputClose(std::string_view window) {
  if (inputWindow(window) != nullptr) closeRequest();
}

}  // namespace inst
