#pragma once

#include <string>

namespace inst::win32 {

// The path as the wide file calls take it: near or past the classic limit of 260 characters,
// the "\\?\" form of the full, normalised path, which has no limit; shorter paths as they are.
std::wstring LongPath(std::wstring path);
std::wstring LongPath(const std::string& utf8);

}  // namespace inst::win32
