#include "ui/gtk/captions.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace inst::gtk {
namespace {

struct Case {
  const char* in;
  const char* out;
};

TEST(MnemonicLabel, MarksBecomeGtksAndLiteralsStayLiteral) {
  const Case cases[] = {
      {"&Instalar", "_Instalar"},
      {"Inf&ormações", "Inf_ormações"},
      {"Salvar && sair", "Salvar & sair"},
      {"a&&&b", "a&_b"},
      {"nome_do_pacote", "nome__do__pacote"},
      {"&_", "___"},  // the mark on a literal underscore
      {"fim&", "fim&"},
      {"", ""},
      {"17.0", "17.0"},
  };
  for (const Case& c : cases) EXPECT_EQ(MnemonicLabel(c.in), c.out) << c.in;
}

TEST(DisplayLines, EveryLineBreakBecomesOneLineFeed) {
  const Case cases[] = {
      {"a\r\nb", "a\nb"},     {"a\rb", "a\nb"},   {"a\nb", "a\nb"},     {"a\n\rb", "a\n\nb"},
      {"a\r\r\nb", "a\n\nb"}, {"fim\r", "fim\n"}, {"\r\n\r\n", "\n\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(DisplayLines(c.in), c.out) << c.in;
}

TEST(ValidUtf8, KeepsValidTextAndReplacesEachBadByte) {
  const std::string replacement = "\xEF\xBF\xBD";
  struct Bytes {
    std::string in, out;
  };
  const Bytes cases[] = {
      {"Informações", "Informações"},
      {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},                   // four bytes
      {"caf\xE9", "caf" + replacement},                           // cp1252 é, never decoded
      {std::string("a\0b", 3), "a" + replacement + "b"},          // GTK stops at a NUL
      {"\xC3", replacement},                                      // cut short at the end
      {"\xC0\xAF", replacement + replacement},                    // overlong
      {"\xED\xA0\x80", replacement + replacement + replacement},  // a surrogate
      {"\xF4\x90\x80\x80", replacement + replacement + replacement + replacement},  // > U+10FFFF
      {"\x80x", replacement + "x"},
  };
  for (const Bytes& c : cases) EXPECT_EQ(ValidUtf8(c.in), c.out) << c.in;
}

TEST(Pixels, FifteenTwipsAPixelRoundedAndClampedToWhatX11Addresses) {
  struct Twips {
    double in;
    int out;
  };
  const Twips cases[] = {
      {6680, 445},     {5090, 339},   {2032.5, 136},
      {7.4, 0},        {7.5, 1},      {-7.5, -1},
      {-1e12, -32768}, {1e12, 32767}, {std::numeric_limits<double>::quiet_NaN(), 0},
  };
  for (const Twips& c : cases) EXPECT_EQ(Pixels(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace inst::gtk
