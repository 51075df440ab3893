#pragma once

#include <string>
#include <string_view>

namespace inst {

// One line of the headless transcript: an event word and name=value fields.
class EventLine {
 public:
  explicit EventLine(std::string_view event) : line_(event) {}
  // A bare token (no blank, no quote, no "=").
  EventLine& bare(std::string_view name, std::string_view value);
  // A quoted string with \\ \" \n \r \t and \xHH for other control bytes.
  EventLine& quoted(std::string_view name, std::string_view value);
  // A number in plain decimal, with a fractional part only when it has one.
  EventLine& number(std::string_view name, double value);
  const std::string& str() const { return line_; }

 private:
  std::string line_;
};

std::string Quote(std::string_view value);
std::string FormatNumber(double value);

}  // namespace inst
