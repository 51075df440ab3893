#pragma once

#include <chrono>
#include <cstdio>
#include <string>

#include "platform/event_sink.h"

namespace inst::trace {

// The --log file: each event on a line of its own after its time in ISO 8601 UTC with
// milliseconds, appended and flushed at once, so that what a killed run did is still there.
class LogFile final : public EventSink {
 public:
  // Takes an open file (opened for appending by the caller, who knows the platform's paths).
  explicit LogFile(std::FILE* file) : file_(file) {}
  ~LogFile() override;
  LogFile(const LogFile&) = delete;
  LogFile& operator=(const LogFile&) = delete;

  void event(const std::string& line) override;

  // Every line so far reached the file; else why the first one that did not failed. A run goes
  // on after a failed line (the log is no reason to stop an installation) and says so at the end.
  bool ok() const { return failure_.empty(); }
  const std::string& failure() const { return failure_; }

 private:
  std::FILE* file_;
  std::string failure_;
};

// 2026-12-07T12:00:00.123Z
std::string IsoTime(std::chrono::system_clock::time_point when);

}  // namespace inst::trace
