#pragma once

#include <cstdint>
#include <string_view>

namespace inst {

// The number written at the start of a setting's text: blanks, tabs and line feeds are skipped
// wherever they stand; sign, digits with one ".", exponent with "E" or "D"; "&H" hexadecimal
// and "&O" octal; 0 when there are no digits.
double LeadingNumber(std::string_view text);

// A flag is on when its leading number is not 0.
bool ToFlag(std::string_view text);

// To the nearest integer, halves to the even neighbour; bounded to -32768..32767.
std::int16_t ToInt16(double value);

// To the nearest integer, halves to the even neighbour, not wrapped: the caller checks the range
// of a byte. Values beyond int's range are bounded to it.
int RoundHalfEven(double value);

}  // namespace inst
