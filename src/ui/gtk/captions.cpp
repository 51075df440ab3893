#include "ui/gtk/captions.h"

#include <algorithm>
#include <cmath>

#include "app/window.h"
#include "text/utf8.h"

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

// The length of the valid UTF-8 sequence at `at`, or 0. GTK ends a text at a NUL, so a NUL is
// shown as a replacement character like any byte that is not text.
std::size_t SequenceLength(std::string_view s, std::size_t at) {
  return s[at] == '\0' ? 0 : utf8::Decode(s, at).length;
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
