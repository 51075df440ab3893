#pragma once

#include <cstdio>
#include <functional>
#include <string>

#include "app/front_end.h"
#include "app/host.h"
#include "platform/event_sink.h"

namespace inst::headless {

// The installer driven by lines of text: events out, commands in.
class HeadlessFrontEnd final : public FrontEnd, public EventSink {
 public:
  // C streams rather than iostreams, which would bring the locale machinery into the Windows
  // executable for two calls.
  HeadlessFrontEnd(std::FILE* in, std::FILE* out) : in_(in), out_(out) {}

  // Starts the program and serves its windows until it ends; returns the exit status.
  int run(Host& host);

  void show(const std::string& text, const std::string& title, MsgIcon icon) override;
  // Headless has no screen and draws no frame: the default frame (none) and screen (1024 x 768
  // pixels, for the windows that open centred) are its own.
  void showWindow(const Window& window, bool modal) override;
  void windowUnloaded(const Window& window) override;
  void programEnded(ExitStatus status) override;

  // Writes one event line, unless the program has ended.
  void emit(const std::string& line);
  // As an event sink: every sound command and pause is an event line too.
  void event(const std::string& line) override { emit(line); }

 private:
  // Reads and carries out commands until `done` says so or the program ends.
  void serve(const std::function<bool()>& done);
  void command(const std::string& line);
  void dump();

  std::FILE* in_;
  std::FILE* out_;
  Host* app_ = nullptr;
};

}  // namespace inst::headless
