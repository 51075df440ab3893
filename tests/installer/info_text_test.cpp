#include <gtest/gtest.h>

#include "installer/info_window.h"

namespace inst {
namespace {

TEST(InfoText, Utf8WithNonAsciiIsUtf8AndEverythingElseIsTheAnsiCodePage) {
  struct Case {
    std::string bytes;
    std::string text;
  } cases[] = {
      {"", ""},
      {"plain\r\nASCII", "plain\r\nASCII"},
      {"Informa\xC3\xA7\xC3\xB5\x65s", "Informa\xC3\xA7\xC3\xB5\x65s"},  // UTF-8
      {"\xEF\xBB\xBF\xC3\xA9", "\xC3\xA9"},                              // UTF-8, BOM dropped
      {"\xEF\xBB\xBF", ""},                                              // the BOM alone
      {"Informa\xE7\xF5\x65s", "Informa\xC3\xA7\xC3\xB5\x65s"},          // Windows-1252
      {"\xC3\x28", "\xC3\x83("},                                         // broken UTF-8
      {"\xC0\xAF", "\xC3\x80\xC2\xAF"},                                  // overlong form
      {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xE2\x82\xAC"},                  // a surrogate
      {"a\xE2\x82", "a\xC3\xA2\xE2\x80\x9A"},                            // cut short
      {std::string("nul\0byte", 8), std::string("nul\0byte", 8)},
  };
  for (const Case& c : cases) EXPECT_EQ(DecodeInfoText(c.bytes), c.text) << c.bytes;
}

}  // namespace
}  // namespace inst
