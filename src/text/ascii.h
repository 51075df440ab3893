#pragma once

#include <string>
#include <string_view>

namespace inst::ascii {

// Only A-Z and a-z change: names compared this way (files, sections, keys, devices, variables)
// match as Windows matches them, whatever the locale the program runs in. Templates, so that
// the UTF-16 profile code folds its own code units the same way.
template <class U>
constexpr U ToUpper(U c) {
  return c >= U('a') && c <= U('z') ? static_cast<U>(c - ('a' - 'A')) : c;
}
template <class U>
constexpr U ToLower(U c) {
  return c >= U('A') && c <= U('Z') ? static_cast<U>(c + ('a' - 'A')) : c;
}

inline std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = ToUpper(c);
  return out;
}
inline std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = ToLower(c);
  return out;
}

template <class U>
bool EqualIgnoringCase(std::basic_string_view<U> a, std::basic_string_view<U> b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (ToUpper(a[i]) != ToUpper(b[i])) return false;
  return true;
}
inline bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  return EqualIgnoringCase<char>(a, b);
}

}  // namespace inst::ascii
