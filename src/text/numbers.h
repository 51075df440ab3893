#pragma once
// Numbers written and read exactly without the C library's printf and strtod, whose MinGW
// versions are a tenth of the Windows executable; the same code runs on every platform.
#include <cstdint>
#include <string>
#include <string_view>

namespace inst {

// Appends `value` in decimal, or in lowercase hexadecimal with `base` 16, with leading zeros up
// to `width` digits.
void AppendPadded(std::string& out, std::uint64_t value, int width, unsigned base = 10);

// The double nearest to the integer `digits` (decimal digits only) times ten to `exponent`,
// ties to even; infinity when too large for any double.
double DecimalValue(std::string_view digits, std::int64_t exponent);

// A finite `value` with `decimals` digits after the point, rounded exactly, ties to even: what
// printf's "%.*f" writes.
std::string FixedPoint(double value, int decimals);

}  // namespace inst
