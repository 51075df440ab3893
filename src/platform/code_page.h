#pragma once

#include <string>
#include <string_view>

namespace inst {

// The system's ANSI code page (Windows-1252 where the platform has none). Program text is UTF-8.
std::string toAnsi(std::string_view utf8);
std::string fromAnsi(std::string_view ansi);

}  // namespace inst
