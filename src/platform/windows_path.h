#pragma once

#include <string>

namespace inst {

// Windows paths as the user is shown them: "\" and "/" both separate components.
inline bool IsPathSeparator(char c) {
  return c == '\\' || c == '/';
}

// The path as given, without trailing separators (a bare root keeps its one).
inline std::string ShownBase(const std::string& path) {
  std::size_t end = path.size();
  while (end > 1 && IsPathSeparator(path[end - 1])) --end;
  return path.substr(0, end);
}

inline std::string ShownChild(const std::string& base, const std::string& name) {
  if (!base.empty() && IsPathSeparator(base.back())) return base + name;
  return base + "\\" + name;
}

}  // namespace inst
