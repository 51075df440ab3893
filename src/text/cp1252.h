#pragma once

#include <string>
#include <string_view>

namespace inst::cp1252 {

// Windows-1252 <-> UTF-8, as MultiByteToWideChar and WideCharToMultiByte do it: the five
// unassigned bytes map to the C1 controls of the same value, and a character the code page
// lacks becomes '?'. Each byte that does not begin a well-formed UTF-8 sequence becomes '?' too.
std::string decode(std::string_view bytes);
std::string encode(std::string_view utf8);

// The same code page against UTF-16 code units, for profile files kept in UTF-16: a surrogate
// pair, a character outside the code page, becomes one '?'.
std::u16string toUtf16(std::string_view bytes);
std::string fromUtf16(std::u16string_view units);

}  // namespace inst::cp1252
