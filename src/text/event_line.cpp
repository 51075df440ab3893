#include "text/event_line.h"

#include <cmath>

#include "text/numbers.h"

namespace inst {

std::string Quote(std::string_view value) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out = "\"";
  for (char c : value) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '"':
        out += "\\\"";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          out += "\\x";
          out += kHex[(c >> 4) & 0xF];
          out += kHex[c & 0xF];
        } else {
          out += c;
        }
    }
  }
  out += '"';
  return out;
}

std::string FormatNumber(double value) {
  if (!std::isfinite(value)) return "0";
  if (value == 0) return "0";  // never "-0"
  // The fewest decimals that read back as the same number, as std::to_chars writes it; its
  // tables would be a sixth of the Windows executable.
  const double magnitude = std::fabs(value);
  std::string text;
  for (int decimals = 0; decimals < 330; ++decimals) {
    text = FixedPoint(magnitude, decimals);
    std::string digits = text;
    std::erase(digits, '.');
    if (DecimalValue(digits, -decimals) == magnitude) break;
  }
  return value < 0 ? "-" + text : text;
}

EventLine& EventLine::bare(std::string_view name, std::string_view value) {
  line_ += ' ';
  line_ += name;
  line_ += '=';
  line_ += value;
  return *this;
}

EventLine& EventLine::quoted(std::string_view name, std::string_view value) {
  return bare(name, Quote(value));
}

EventLine& EventLine::number(std::string_view name, double value) {
  return bare(name, FormatNumber(value));
}

}  // namespace inst
