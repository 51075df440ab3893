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

// The folder the path is in, as shown: empty for a bare name.
inline std::string ShownParent(const std::string& path) {
  const std::string base = ShownBase(path);
  const std::size_t cut = base.find_last_of("\\/");
  return cut == std::string::npos ? std::string() : base.substr(0, cut);
}

// The path as Windows compares it: "\" for every run of separators, none at the end, ASCII
// letters upper-cased. Two paths of one file have the same key.
inline std::string PathKey(const std::string& path) {
  std::string out;
  out.reserve(path.size());
  for (char c : path) {
    if (IsPathSeparator(c)) {
      if (!out.empty() && out.back() == '\\') continue;
      c = '\\';
    }
    out += c >= 'a' && c <= 'z' ? static_cast<char>(c - ('a' - 'A')) : c;
  }
  while (out.size() > 1 && out.back() == '\\') out.pop_back();
  return out;
}

inline std::string ShownChild(const std::string& base, const std::string& name) {
  if (!base.empty() && IsPathSeparator(base.back())) return base + name;
  return base + "\\" + name;
}

}  // namespace inst
