#include "platform/event_line.h"

#include <charconv>
#include <cmath>
#include <system_error>

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
  char buffer[400];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
  if (result.ec != std::errc()) return "0";
  return std::string(buffer, result.ptr);
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
