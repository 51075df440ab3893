#pragma once

#include <string>
#include <string_view>

namespace inst::win32 {

// UTF-8 program text <-> the UTF-16 of the wide Windows API.
std::wstring toWide(std::string_view utf8);
std::string toUtf8(std::wstring_view wide);
// The same for 8-bit text in another code page (CP_ACP for the ANSI one).
std::wstring toWide(std::string_view text, unsigned codePage);
std::string fromWide(std::wstring_view wide, unsigned codePage);

// The system's message for an error code (GetLastError), in program text, without line breaks.
std::string errorText(unsigned long code);

}  // namespace inst::win32
