#include <gtest/gtest.h>

#include "text/ascii.h"
#include "text/cp1252.h"
#include "text/trim.h"
#include "text/utf8.h"

namespace inst {
namespace {

TEST(Trim, EachCallerKeepsItsOwnBlanks) {
  struct Case {
    std::string_view text;
    std::string_view blanks;
    const char* trimmed;
  };
  const Case cases[] = {
      {" \t a b \t ", kSpacesAndTabs, "a b"},
      {"\r\na\r\n", kSpacesAndTabs, "\r\na\r\n"},
      {"\r\n a \r\n", kSpacesTabsAndLineEnds, "a"},
      {"\va\f", kSpacesTabsAndLineEnds, "\va\f"},
      {"\v\f a\r\n\t", kCWhitespace, "a"},
      {"\xA0"
       "a\xA0",
       kCWhitespace,
       "\xA0"
       "a\xA0"},  // no-break space: not ASCII, kept
      {" \t\r\n", kSpacesTabsAndLineEnds, ""},
      {"", kCWhitespace, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(Trim(c.text, c.blanks), c.trimmed) << c.text;
}

TEST(Utf8, WellFormedAsUnicodeDefinesIt) {
  struct Case {
    std::string_view bytes;
    bool valid;
  };
  const Case cases[] = {
      {"", true},
      {"\x7F", true},
      {"\xC2\x80", true},
      {"\xDF\xBF", true},
      {"\xE0\xA0\x80", true},
      {"\xED\x9F\xBF", true},      // last before the surrogates
      {"\xEE\x80\x80", true},      // first after them
      {"\xF4\x8F\xBF\xBF", true},  // U+10FFFF
      {"\xC0\x80", false},         // overlong NUL
      {"\xC1\xBF", false},
      {"\xE0\x9F\xBF", false},  // overlong three bytes
      {"\xF0\x8F\xBF\xBF", false},
      {"\xED\xA0\x80", false},      // a surrogate
      {"\xF4\x90\x80\x80", false},  // above U+10FFFF
      {"\xF5\x80\x80\x80", false},
      {"\xF8\x88\x80\x80\x80", false},
      {"\x80", false},      // a continuation alone
      {"\xE2\x82", false},  // cut short
      {"\xC3"
       "a",
       false},  // continuation missing
  };
  for (const Case& c : cases)
    EXPECT_EQ(utf8::IsValid(c.bytes), c.valid) << testing::PrintToString(c.bytes);
}

TEST(Utf8, DecodesAndAppendsEveryLength) {
  for (char32_t cp : {U'\0', U'A', U'\u00E7', U'\u20AC', U'\U0001F600', U'\U0010FFFF'}) {
    std::string text;
    utf8::Append(text, cp);
    const utf8::CodePoint decoded = utf8::Decode(text, 0);
    EXPECT_EQ(decoded.value, cp);
    EXPECT_EQ(decoded.length, text.size());
  }
}

TEST(Cp1252, MalformedUtf8IsAQuestionMarkPerByte) {
  EXPECT_EQ(cp1252::encode("a\xC0\x80z"), "a??z");  // never a NUL in the middle of a name
  EXPECT_EQ(cp1252::encode("\xED\xA0\x80"), "???");
}

TEST(Ascii, FoldsOnlyAsciiLetters) {
  EXPECT_TRUE(ascii::EqualIgnoringCase("Setup.INI", "setup.ini"));
  EXPECT_FALSE(ascii::EqualIgnoringCase("\xC3\xA7", "\xC3\x87"));  // ç and Ç stay apart
  EXPECT_FALSE(ascii::EqualIgnoringCase("@[`{", "`{@["));
  EXPECT_EQ(ascii::Upper("ptb-\xE7"), "PTB-\xE7");
  EXPECT_EQ(ascii::Lower("PTB-\xC7"), "ptb-\xC7");
  EXPECT_EQ(ascii::ToUpper(u'z'), u'Z');
}

}  // namespace
}  // namespace inst
