#pragma once

#include <string>
#include <string_view>

#include "app/window.h"

namespace inst::win32ui {

// Twips to pixels at a DPI, rounded to the nearest pixel (halves away from zero), as the
// platform's own twips conversions do.
int TwipsToPixels(double twips, unsigned dpi);
double PixelsToTwips(int pixels, unsigned dpi);

// A control's rectangle in pixels within its window's client area. Controls inside a frame are
// the frame's siblings in Win32 (so that the dialog manager walks them and a screen reader sees
// them after their group box), placed at the frame's corner plus their own offset, each step
// rounded as a nested child window would be.
struct PixelRect {
  int left = 0, top = 0, width = 0, height = 0;
  bool operator==(const PixelRect&) const = default;
};
PixelRect ControlRect(const Window& window, const Control& control, unsigned dpi);

// The text as a Win32 edit control shows it: an edit breaks lines only at CR LF, so every CR
// LF, lone LF and lone CR becomes CR LF; a NUL, where the control's text would end, becomes a
// blank so that the rest of the file is still read.
std::string EditText(std::string_view text);

// The dialog manager moves the arrow keys within a group (WS_GROUP starts one): the frame and
// its checkboxes make one group, the buttons after them another.
bool StartsGroup(const Control* previousInTabOrder, const Control& control);

}  // namespace inst::win32ui
