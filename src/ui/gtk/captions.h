#pragma once

#include <string>
#include <string_view>

// How the windows' texts and twips become what GTK takes. Free of GTK, so that the rules can be
// tested without a display.
namespace inst::gtk {

// A caption with GTK's mnemonic mark: "&x" becomes "_x", "&&" a literal "&", and a literal "_"
// is doubled so that GTK does not take it for a mark.
std::string MnemonicLabel(std::string_view caption);

// The text with every line break (CR LF, CR alone, LF) as one LF, which GtkTextView breaks at.
std::string DisplayLines(std::string_view text);

// GTK refuses text that is not UTF-8 and stops at a NUL; both come from files and folder names.
// Each byte that does not begin a valid sequence, and each NUL, becomes U+FFFD.
std::string ValidUtf8(std::string_view text);

// Logical pixels for twips at 96 DPI, to the nearest pixel, within what X11 can address. GDK
// multiplies logical pixels by the display's scale factor itself.
int Pixels(double twips);

}  // namespace inst::gtk
