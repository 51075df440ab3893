#include "ui/gtk/captions.h"

#include <algorithm>
#include <cmath>

#include "app/window.h"

namespace inst::gtk {

std::string MnemonicLabel(std::string_view caption) {
  std::string out;
  out.reserve(caption.size() + 2);
  for (std::size_t i = 0; i < caption.size(); ++i) {
    const char c = caption[i];
    if (c == '_') {
      out += "__";
    } else if (c == '&' && i + 1 < caption.size()) {
      // "&&" is a literal "&"; "&x" marks x. A lone "&" at the end stays as it is.
      out += caption[i + 1] == '&' ? '&' : '_';
      if (caption[i + 1] == '&') ++i;
    } else {
      out += c;
    }
  }
  return out;
}

std::string DisplayLines(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      out += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

namespace {

// The length of the valid UTF-8 sequence at `at`, or 0.
std::size_t SequenceLength(std::string_view s, std::size_t at) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[at + k]); };
  const unsigned char lead = byte(0);
  std::size_t length;
  unsigned min;
  unsigned value;
  if (lead >= 0x01 && lead < 0x80) return 1;
  if (lead >= 0xC2 && lead < 0xE0) {
    length = 2, min = 0x80, value = lead & 0x1Fu;
  } else if (lead >= 0xE0 && lead < 0xF0) {
    length = 3, min = 0x800, value = lead & 0x0Fu;
  } else if (lead >= 0xF0 && lead < 0xF5) {
    length = 4, min = 0x10000, value = lead & 0x07u;
  } else {
    return 0;
  }
  if (at + length > s.size()) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(k) & 0xC0u) != 0x80u) return 0;
    value = (value << 6) | (byte(k) & 0x3Fu);
  }
  if (value < min || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  return length;
}

}  // namespace

std::string ValidUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    if (std::size_t n = SequenceLength(text, i)) {
      out.append(text.substr(i, n));
      i += n;
    } else {
      out += "\xEF\xBF\xBD";
      ++i;
    }
  }
  return out;
}

int Pixels(double twips) {
  // X11 coordinates and sizes are 16-bit; a handler's value beyond them is clamped, not wrapped.
  const double pixels = std::round(twips / kTwipsPerPixel);
  if (std::isnan(pixels)) return 0;
  return static_cast<int>(std::clamp(pixels, -32768.0, 32767.0));
}

}  // namespace inst::gtk
