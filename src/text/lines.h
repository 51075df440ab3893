#pragma once

#include <cstddef>
#include <string_view>

namespace inst {

// The line of `text` that begins at `start`, without its line feed and a carriage return before
// it; `start` moves to the next line. Call while `start < text.size()`.
inline std::string_view NextLine(std::string_view text, std::size_t& start) {
  std::size_t end = text.find('\n', start);
  if (end == std::string_view::npos) end = text.size();
  std::string_view line = text.substr(start, end - start);
  start = end + 1;
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

}  // namespace inst
