#include "ui/headless/headless_front_end.h"

#include <cctype>

#include "platform/code_page.h"
#include "text/ascii.h"
#include "text/event_line.h"
#include "text/trim.h"
#include "trace/logged_services.h"

namespace inst::headless {
namespace {

const char* KindName(ControlKind kind) {
  switch (kind) {
    case ControlKind::Frame:
      return "frame";
    case ControlKind::CheckBox:
      return "checkbox";
    case ControlKind::Button:
      return "button";
    case ControlKind::TextBox:
      return "textbox";
  }
  return "";
}

std::string Trim(std::string_view s) {
  return inst::Trim(s, kCWhitespace);
}

using ascii::EqualIgnoringCase;

// One line without its line feed; false at the end of the input.
bool ReadLine(std::FILE* in, std::string& line) {
  line.clear();
  for (int c; (c = std::fgetc(in)) != EOF;) {
    if (c == '\n') return true;
    line += static_cast<char>(c);
  }
  return !line.empty();
}

}  // namespace

void HeadlessFrontEnd::emit(const std::string& line) {
  if (app_ != nullptr && app_->ended()) return;
  std::fwrite(line.data(), 1, line.size(), out_);
  std::fputc('\n', out_);
  std::fflush(out_);
}

int HeadlessFrontEnd::run(Host& host) {
  app_ = &host;
  host.start();
  serve([] { return false; });
  app_ = nullptr;
  return host.exitStatus();
}

void HeadlessFrontEnd::show(const std::string& text, const std::string& title, MsgIcon icon) {
  emit(trace::MessageBoxEvent(text, title, icon));
}

void HeadlessFrontEnd::showWindow(const Window& window, bool modal) {
  emit(EventLine("show").bare("name", window.name()).bare("modal", modal ? "1" : "0").str());
  if (modal) {
    std::string name = window.name();
    serve([this, name] { return app_->find(name) == nullptr; });
  }
}

void HeadlessFrontEnd::windowUnloaded(const Window& window) {
  emit(EventLine("unload").bare("name", window.name()).str());
}

// The last line: written although the program has ended, as nothing else is.
void HeadlessFrontEnd::programEnded(ExitStatus status) {
  const std::string line = EventLine("end").bare("status", std::to_string(Code(status))).str();
  std::fwrite(line.data(), 1, line.size(), out_);
  std::fputc('\n', out_);
  std::fflush(out_);
}

void HeadlessFrontEnd::serve(const std::function<bool()>& done) {
  std::string line;
  while (app_ && !app_->ended() && !done()) {
    if (ReadLine(in_, line)) {
      command(Trim(line));
    } else {
      app_->closeRequest();
    }
  }
}

void HeadlessFrontEnd::command(const std::string& line) {
  if (line.empty()) return;
  std::size_t blank = line.find(' ');
  std::string word = line.substr(0, blank);
  std::string arg = blank == std::string::npos ? "" : Trim(line.substr(blank + 1));
  const Window* active = app_->activeWindow();

  if (word == "click" && !arg.empty()) {
    const Control* c = active ? active->find(arg) : nullptr;
    if (c == nullptr) {
      emit(EventLine("error").quoted("text", "unknown control: " + arg).str());
    } else if (!active->usable(*c)) {
      std::string why = active->shownWithContainer(*c) ? "disabled" : "hidden";
      emit(EventLine("error").quoted("text", "control is " + why + ": " + arg).str());
    } else {
      app_->click(arg);
    }
  } else if (word == "key" && !arg.empty()) {
    if (EqualIgnoringCase(arg, "Tab")) {
      app_->key(Key::Tab);
    } else if (EqualIgnoringCase(arg, "Shift+Tab")) {
      app_->key(Key::ShiftTab);
    } else if (EqualIgnoringCase(arg, "Space")) {
      app_->key(Key::Space);
    } else if (EqualIgnoringCase(arg, "Enter")) {
      app_->key(Key::Enter);
    } else if (EqualIgnoringCase(arg, "Esc")) {
      app_->key(Key::Esc);
    } else if (arg.size() == 5 && EqualIgnoringCase(arg.substr(0, 4), "Alt+") &&
               std::isalnum(static_cast<unsigned char>(arg[4]))) {
      app_->key(Key::Alt, arg[4]);
    } else {
      emit(EventLine("error").quoted("text", "unknown key: " + arg).str());
    }
  } else if (word == "close" && arg.empty()) {
    app_->closeRequest();
  } else if (word == "dump" && arg.empty()) {
    dump();
  } else {
    emit(EventLine("error").quoted("text", "unknown command: " + line).str());
  }
}

void HeadlessFrontEnd::dump() {
  emit(EventLine("apptitle").quoted("text", app_->title()).str());
  for (const Window* w : app_->windows()) {
    emit(EventLine("window")
             .bare("name", w->name())
             .quoted("caption", w->caption)
             .number("left", w->left)
             .number("top", w->top)
             .number("width", w->width)
             .number("height", w->height)
             .bare("focus", w->focus())
             .str());
    for (const Control* c : w->tabOrder()) {
      EventLine line("control");
      line.bare("name", c->name).bare("window", w->name()).bare("kind", KindName(c->kind));
      if (!c->container.empty()) line.bare("container", c->container);
      if (c->kind == ControlKind::TextBox) {
        line.quoted("text", c->text);
      } else {
        line.quoted("caption", c->caption);
      }
      if (c->kind == ControlKind::CheckBox) line.number("value", c->value);
      if (c->kind == ControlKind::Button)
        line.bare("cancel", w->cancelButton == c->name ? "1" : "0");
      line.number("left", c->left)
          .number("top", c->top)
          .number("width", c->width)
          .number("height", c->height)
          .number("tabindex", c->tabIndex)
          .bare("enabled", c->enabled ? "1" : "0")
          .bare("visible", c->visible ? "1" : "0");
      emit(line.str());
    }
  }
  emit("dump end");
}

}  // namespace inst::headless
