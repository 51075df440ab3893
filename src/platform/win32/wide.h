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

// The reasons of the POSIX back end that no Windows error number stands for.
inline constexpr const char* kNotRegular = "Não é um arquivo comum.";
inline constexpr const char* kTooLarge = "O arquivo é grande demais.";
// The reason of a change refused, after a wait, because another program holds the file open.
inline constexpr const char* kInUseReason = "O arquivo está sendo usado por outro programa.";

// Puts the file's bytes on the disk; 0 or the error.
unsigned long flushFile(const std::wstring& path);

// A temporary file of a write whose process (named by the id after the prefix) has ended.
bool isOrphanTemp(std::wstring_view name);
// Removes the orphaned temporary files in the folder of the file `path`.
void removeOrphanTempsBeside(const std::wstring& path);

}  // namespace inst::win32
