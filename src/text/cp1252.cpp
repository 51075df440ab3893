#include "text/cp1252.h"

#include <array>
#include <cstdint>

#include "text/utf8.h"

namespace inst::cp1252 {
namespace {

// Code points of the bytes 0x80 to 0x9F; the rest of the code page is Latin-1.
constexpr std::array<char32_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char32_t toCodePoint(unsigned char b) {
  return b >= 0x80 && b < 0xA0 ? kHigh[b - 0x80] : b;
}

char toByte(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char>(cp);
  for (std::size_t i = 0; i < kHigh.size(); ++i) {
    if (kHigh[i] == cp) return static_cast<char>(0x80 + i);
  }
  return '?';
}

bool isHighSurrogate(char16_t u) {
  return u >= 0xD800 && u <= 0xDBFF;
}
bool isLowSurrogate(char16_t u) {
  return u >= 0xDC00 && u <= 0xDFFF;
}

}  // namespace

std::string decode(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (char c : bytes) utf8::Append(out, toCodePoint(static_cast<unsigned char>(c)));
  return out;
}

std::string encode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const utf8::CodePoint c = utf8::Decode(text, i);
    if (c.length == 0) {
      out += '?';
      ++i;
      continue;
    }
    out += toByte(c.value);
    i += c.length;
  }
  return out;
}

std::u16string toUtf16(std::string_view bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  for (char c : bytes) out += static_cast<char16_t>(toCodePoint(static_cast<unsigned char>(c)));
  return out;
}

std::string fromUtf16(std::u16string_view units) {
  std::string out;
  out.reserve(units.size());
  for (std::size_t i = 0; i < units.size(); ++i) {
    const char16_t u = units[i];
    if (isHighSurrogate(u) && i + 1 < units.size() && isLowSurrogate(units[i + 1])) ++i;
    out += toByte(u);
  }
  return out;
}

}  // namespace inst::cp1252
