#include "platform/posix/posix_environment.h"

#include <cstdlib>
#include <cstring>

#include "text/ascii.h"

extern char** environ;

namespace inst {
namespace {}  // namespace

std::string PosixEnvironment::get(std::string_view name) const {
  // An exact match wins; otherwise the first variable whose name matches ignoring case.
  std::string exact(name);
  if (const char* v = std::getenv(exact.c_str())) return v;
  for (char** e = environ; e && *e; ++e) {
    const char* eq = std::strchr(*e, '=');
    if (!eq) continue;
    if (ascii::EqualIgnoringCase(std::string_view(*e, static_cast<std::size_t>(eq - *e)), name))
      return eq + 1;
  }
  return {};
}

}  // namespace inst
