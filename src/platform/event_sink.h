#pragma once

#include <string>
#include <vector>

namespace inst {

// Where the program tells what it does: a log, the plan of a dry run. One event line at a time,
// in the headless transcript's format, without the line feed.
class EventSink {
 public:
  virtual ~EventSink() = default;
  virtual void event(const std::string& line) = 0;
};

// Several sinks as one, each told every event in the order given.
class EventFanOut final : public EventSink {
 public:
  void add(EventSink& sink) { sinks_.push_back(&sink); }
  bool empty() const { return sinks_.empty(); }
  void event(const std::string& line) override {
    for (EventSink* sink : sinks_) sink->event(line);
  }

 private:
  std::vector<EventSink*> sinks_;
};

}  // namespace inst
