#include "platform/posix/posix_environment.h"

#include <cstdlib>
#include <cstring>

extern char** environ;

namespace inst {
namespace {

bool sameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto up = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; };
    if (up(a[i]) != up(b[i])) return false;
  }
  return true;
}

}  // namespace

std::string PosixEnvironment::get(std::string_view name) const {
  // An exact match wins; otherwise the first variable whose name matches ignoring case.
  std::string exact(name);
  if (const char* v = std::getenv(exact.c_str())) return v;
  for (char** e = environ; e && *e; ++e) {
    const char* eq = std::strchr(*e, '=');
    if (!eq) continue;
    if (sameIgnoringCase(std::string_view(*e, static_cast<std::size_t>(eq - *e)), name))
      return eq + 1;
  }
  return {};
}

}  // namespace inst
