#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace inst::utf8 {

// One character of UTF-8 text; `length` is 0 where the bytes at that place are not well-formed.
struct CodePoint {
  char32_t value = 0;
  std::size_t length = 0;
};

// Well-formed as Unicode defines it: no overlong form, no surrogate, nothing above U+10FFFF, no
// sequence cut short. This is the rule Windows applies to CP_UTF8, so the portable code that
// stands in for it, and every check that predicts what the program will show, share it.
// `at` is less than text.size().
CodePoint Decode(std::string_view text, std::size_t at);
bool IsValid(std::string_view text);
bool HasNonAscii(std::string_view text);
void Append(std::string& out, char32_t codePoint);
// UTF-16 for the system's wide-character calls; a byte that is not text becomes U+FFFD, as
// Windows' own conversion makes it.
std::u16string ToUtf16(std::string_view text);

}  // namespace inst::utf8
