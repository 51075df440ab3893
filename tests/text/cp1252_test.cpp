#include <gtest/gtest.h>

#include "text/cp1252.h"

namespace inst {
namespace {

struct Case {
  const char* utf8;
  const char* ansi;
};

const Case kCases[] = {
    {"plain ASCII", "plain ASCII"},
    {"Instala\xC3\xA7\xC3\xA3o conclu\xC3\xAD\x64\x61", "Instala\xE7\xE3o conclu\xED\x64\x61"},
    {"\xE2\x82\xAC \xE2\x80\x9C\xE2\x80\x9D \xC5\x93", "\x80 \x93\x94 \x9C"},
    {"\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D", "\x81\x8D\x8F\x90\x9D"},
    {"\xC3\xBF", "\xFF"},
};

TEST(Cp1252, RoundTripsEveryMappedCharacter) {
  for (const Case& c : kCases) {
    EXPECT_EQ(cp1252::encode(c.utf8), c.ansi) << c.utf8;
    EXPECT_EQ(cp1252::decode(c.ansi), c.utf8) << c.utf8;
  }
  for (int b = 0; b < 256; ++b) {
    std::string byte(1, static_cast<char>(b));
    EXPECT_EQ(cp1252::encode(cp1252::decode(byte)), byte) << b;
  }
}

TEST(Cp1252, UnmappableAndInvalidInputBecomesQuestionMarks) {
  EXPECT_EQ(cp1252::encode("\xE4\xB8\xAD"), "?");      // a CJK character
  EXPECT_EQ(cp1252::encode("\xF0\x9F\x98\x80"), "?");  // outside the BMP
  EXPECT_EQ(cp1252::encode("a\xC3"), "a?");            // cut short
  EXPECT_EQ(cp1252::encode("\xFF\xFE"), "??");         // never valid UTF-8
}

}  // namespace
}  // namespace inst
