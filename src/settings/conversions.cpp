#include "settings/conversions.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>

#include "text/numbers.h"

namespace inst {
namespace {

// Reads the text as the leading-number rule sees it: blanks, tabs and line feeds vanish
// wherever they stand, so " 1 0" is read as 10.
class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {}

  int peek() {
    while (pos_ < text_.size() &&
           (text_[pos_] == ' ' || text_[pos_] == '\t' || text_[pos_] == '\n'))
      ++pos_;
    return pos_ < text_.size() ? static_cast<unsigned char>(text_[pos_]) : -1;
  }
  void take() { ++pos_; }
  bool takeIf(int c) {
    if (peek() != c) return false;
    take();
    return true;
  }
  std::size_t position() const { return pos_; }
  void rewind(std::size_t pos) { pos_ = pos; }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

bool isDigit(int c) {
  return c >= '0' && c <= '9';
}

int digitValue(int c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 99;
}

// "&H" and "&O" integers take the width their value needs, as the literals of the language
// that wrote the settings format do: up to FFFF a 16-bit two's-complement value (so &HFFFF is
// -1), up to FFFFFFFF a 32-bit one (&HFFFFFFFF is -1, &H10000 is 65536). A wider value has no
// such reading; it is bounded to the largest 32-bit value, 2147483647.
double radixNumber(Reader& in, int base) {
  constexpr std::uint64_t kLimit = 0xFFFFFFFFu;
  std::uint64_t value = 0;
  bool any = false, tooWide = false;
  for (int c = in.peek(); digitValue(c) < base; c = in.peek()) {
    in.take();
    any = true;
    value = value * static_cast<unsigned>(base) + static_cast<unsigned>(digitValue(c));
    if (value > kLimit) {
      tooWide = true;
      value = kLimit;  // keeps the arithmetic bounded however many digits follow
    }
  }
  if (!any) return 0;
  if (tooWide) return std::numeric_limits<std::int32_t>::max();
  if (value <= 0xFFFF) return static_cast<std::int16_t>(static_cast<std::uint16_t>(value));
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

}  // namespace

double LeadingNumber(std::string_view text) {
  Reader in(text);
  if (in.takeIf('&')) {
    const int c = in.peek();
    if (c == 'H' || c == 'h') {
      in.take();
      return radixNumber(in, 16);
    }
    if (c == 'O' || c == 'o') {
      in.take();
      return radixNumber(in, 8);
    }
    return 0;
  }

  bool negative = false;
  if (in.takeIf('-')) {
    negative = true;
  } else {
    in.takeIf('+');
  }

  // The number is rebuilt without the blanks and the point, and read exactly whatever the
  // locale's decimal point (a GTK program runs in the user's locale).
  std::string digits;
  std::int64_t fractionDigits = 0;
  bool any = false, point = false, significant = false;
  for (int c = in.peek();; c = in.peek()) {
    if (isDigit(c)) {
      in.take();
      any = true;
      if (c != '0') significant = true;
      if (point) ++fractionDigits;
      digits += static_cast<char>(c);
    } else if (c == '.' && !point) {
      in.take();
      point = true;
    } else {
      break;
    }
  }
  if (!any) return 0;

  std::int64_t exponent = 0;
  const int e = in.peek();
  if (e == 'E' || e == 'e' || e == 'D' || e == 'd') {
    const std::size_t before = in.position();
    in.take();
    bool negativeExponent = false;
    if (in.takeIf('-')) {
      negativeExponent = true;
    } else {
      in.takeIf('+');
    }
    bool exponentDigits = false;
    for (int c = in.peek(); isDigit(c); c = in.peek()) {
      in.take();
      exponentDigits = true;
      // Far beyond any double's range, and small enough never to overflow.
      if (exponent < 100000) exponent = exponent * 10 + (c - '0');
    }
    if (exponentDigits) {
      if (negativeExponent) exponent = -exponent;
    } else {
      in.rewind(before);  // "1e" is the number 1 followed by a letter
      exponent = 0;
    }
  }
  if (!significant) return 0;

  double value = DecimalValue(digits, exponent - fractionDigits);
  // Too large for any double: the largest; too small for even a subnormal one: zero.
  if (std::isinf(value)) value = std::numeric_limits<double>::max();
  if (value == 0) return 0;
  return negative ? -value : value;
}

bool ToFlag(std::string_view text) {
  return LeadingNumber(text) != 0;
}

namespace {

double roundHalfEven(double value) {
  const double floor = std::floor(value);
  const double fraction = value - floor;
  if (fraction > 0.5) return floor + 1;
  if (fraction < 0.5) return floor;
  return std::fmod(floor, 2.0) == 0 ? floor : floor + 1;
}

}  // namespace

std::int16_t ToInt16(double value) {
  if (std::isnan(value)) return 0;
  const double r = roundHalfEven(value);
  if (r <= std::numeric_limits<std::int16_t>::min())
    return std::numeric_limits<std::int16_t>::min();
  if (r >= std::numeric_limits<std::int16_t>::max())
    return std::numeric_limits<std::int16_t>::max();
  return static_cast<std::int16_t>(r);
}

int RoundHalfEven(double value) {
  if (std::isnan(value)) return 0;
  const double r = roundHalfEven(value);
  if (r <= std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
  if (r >= std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
  return static_cast<int>(r);
}

}  // namespace inst
