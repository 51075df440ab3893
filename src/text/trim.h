#pragma once

#include <string>
#include <string_view>

namespace inst {

// What counts as blank at the ends of a text depends on where the text comes from; each caller
// names its set, so that a value read one way is never trimmed another way.
// Spaces and tabs: a list typed on one line (the versions asked for on the command line).
inline constexpr std::string_view kSpacesAndTabs = " \t";
// Also the line ends a value read from a file may carry (what the package check reads).
inline constexpr std::string_view kSpacesTabsAndLineEnds = " \t\r\n";
// Everything isspace() takes in the C locale, vertical tab and form feed too (headless commands).
inline constexpr std::string_view kCWhitespace = " \t\n\v\f\r";

std::string Trim(std::string_view text, std::string_view blanks);

}  // namespace inst
