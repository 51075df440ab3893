#include "ui/win32/layout.h"

#include <cmath>

namespace inst::win32ui {

int TwipsToPixels(double twips, unsigned dpi) {
  return static_cast<int>(std::lround(twips * dpi / kTwipsPerInch));
}

double PixelsToTwips(int pixels, unsigned dpi) {
  return dpi ? pixels * kTwipsPerInch / dpi : 0;
}

PixelRect ControlRect(const Window& window, const Control& control, unsigned dpi) {
  PixelRect r{TwipsToPixels(control.left, dpi), TwipsToPixels(control.top, dpi),
              TwipsToPixels(control.width, dpi), TwipsToPixels(control.height, dpi)};
  if (!control.container.empty()) {
    if (const Control* frame = window.find(control.container)) {
      r.left += TwipsToPixels(frame->left, dpi);
      r.top += TwipsToPixels(frame->top, dpi);
    }
  }
  return r;
}

std::string EditText(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r') {
      out += "\r\n";
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else if (c == '\n') {
      out += "\r\n";
    } else {
      out += c == '\0' ? ' ' : c;
    }
  }
  return out;
}

bool StartsGroup(const Control* previous, const Control& control) {
  if (!previous || control.kind == ControlKind::Frame) return true;
  if (previous->kind == ControlKind::Frame) return false;
  return previous->kind != control.kind;
}

}  // namespace inst::win32ui
