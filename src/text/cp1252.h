#pragma once

#include <string>
#include <string_view>

namespace inst::cp1252 {

// Windows-1252 <-> UTF-8, as MultiByteToWideChar and WideCharToMultiByte do it: the five
// unassigned bytes map to the C1 controls of the same value, and a character the code page
// lacks becomes '?'. Invalid UTF-8 bytes become '?' too.
std::string decode(std::string_view bytes);
std::string encode(std::string_view utf8);

}  // namespace inst::cp1252
