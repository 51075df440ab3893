#include "platform/code_page.h"

#include "text/cp1252.h"

namespace inst {

// Where the platform has no ANSI code page, it is Windows-1252.
std::string toAnsi(std::string_view utf8) {
  return cp1252::encode(utf8);
}
std::string fromAnsi(std::string_view ansi) {
  return cp1252::decode(ansi);
}

}  // namespace inst
