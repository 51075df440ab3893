#include "settings/conversions.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdint>
#include <limits>
#include <span>
#include <string>

namespace inst {
namespace {

constexpr double kMax = std::numeric_limits<double>::max();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr int kIntMax = std::numeric_limits<int>::max(), kIntMin = std::numeric_limits<int>::min();

struct NumberCase {
  std::string text;
  double number;
};

// Blanks, tabs and line feeds vanish wherever they stand; a carriage return or a no-break space
// is no blank. "&H" and "&O" integers of up to four digits are 16-bit two's complements, up to
// eight 32-bit ones; wider ones are bounded.
const NumberCase kNumbers[] = {
    {"", 0},           {"12abc", 12}, {"1,5", 1},          {"10,5", 10},  {"yes", 0},
    {"True", 0},       {"10.0", 10},  {" 10", 10},         {" 1 0", 10},  {"\t-\n2 . 5", -2.5},
    {"1 e 2", 100},    {"12\r3", 12}, {"\xC2\xA0\x35", 0}, {"+3", 3},     {"-", 0},
    {".", 0},          {"-.", 0},     {".5", 0.5},         {"5.", 5},     {"1.2.3", 1.2},
    {"00012", 12},     {"0x10", 0},   {"1e3", 1000},       {"1D3", 1000}, {"1d-2", 0.01},
    {"2.5E-1", 0.25},  {"1e", 1},     {"1e+", 1},          {"1ex", 1},    {"1e400", kMax},
    {"-1e400", -kMax}, {"1e-400", 0}, {"0e999999", 0}};
const NumberCase kRadixNumbers[] = {
    {"&H10", 16},   {"&h1f", 31},       {" & H 1 F", 31},   {"&H7FFF", 32767},   {"&H8000", -32768},
    {"&HFFFF", -1}, {"&H0000FFFF", -1}, {"&H10000", 65536}, {"&HG", 0},          {"&H", 0},
    {"&O17", 15},   {"&o777", 511},     {"&O177777", -1},   {"&O200000", 65536}, {"&O8", 0},
    {"&", 0},       {"&X1", 0},         {"-&H10", 0}};
const NumberCase kLongNumbers[] = {{"0." + std::string(400, '0') + "1", 0},
                                   {std::string(400, '9'), kMax},
                                   {"1e99999999999999999999", kMax},
                                   {"&H7FFFFFFF", 2147483647},
                                   {"&H80000000", -2147483648.0},
                                   {"&HFFFFFFFF", -1},
                                   {"&HFFFFFFFFF", 2147483647},
                                   {"&H1" + std::string(1000, '0'), 2147483647}};

TEST(LeadingNumber, ReadsTheNumberAtTheStart) {
  using Table = std::span<const NumberCase>;
  for (Table table : {Table(kNumbers), Table(kRadixNumbers), Table(kLongNumbers)}) {
    for (const NumberCase& c : table) {
      EXPECT_EQ(LeadingNumber(c.text), c.number) << '"' << c.text << '"';
    }
  }
}

TEST(LeadingNumber, IgnoresTheLocaleDecimalComma) {
  const std::string saved = std::setlocale(LC_ALL, nullptr);
  bool set = false;
  for (const char* name :
       {"pt_BR.UTF-8", "de_DE.UTF-8", "Portuguese_Brazil.1252", "German_Germany.1252"}) {
    if (std::setlocale(LC_ALL, name)) {
      set = true;
      break;
    }
  }
  if (!set) GTEST_SKIP() << "no locale with a decimal comma installed";
  const double point = LeadingNumber("2.5");
  const double comma = LeadingNumber("2,5");
  std::setlocale(LC_ALL, saved.c_str());
  EXPECT_EQ(point, 2.5);
  EXPECT_EQ(comma, 2);
}

TEST(ToFlag, IsOnWhenTheNumberIsNotZero) {
  const struct {
    const char* text;
    bool on;
  } cases[] = {
      {"1", true}, {"-1", true}, {"2", true},   {"0.5", true},  {" 1", true},   {"&HFFFF", true},
      {"", false}, {"0", false}, {"no", false}, {"yes", false}, {"0.0", false}, {"1e-400", false},
  };
  for (const auto& c : cases) EXPECT_EQ(ToFlag(c.text), c.on) << '"' << c.text << '"';
}

TEST(ToInt16, RoundsHalvesToEvenAndBounds) {
  const struct {
    double value;
    std::int16_t result;
  } cases[] = {
      {17.4, 17},      {2.5, 2},           {3.5, 4},         {10.5, 10},       {11.5, 12},
      {-2.5, -2},      {-3.5, -4},         {-0.4, 0},        {32767.4, 32767}, {32767.5, 32767},
      {40000, 32767},  {-32768.5, -32768}, {-40000, -32768}, {1e300, 32767},   {kInf, 32767},
      {-kInf, -32768}, {std::nan(""), 0},
  };
  for (const auto& c : cases) EXPECT_EQ(ToInt16(c.value), c.result) << c.value;
}

TEST(RoundHalfEven, RoundsWithoutWrapping) {
  const struct {
    double value;
    int result;
  } cases[] = {{0.5, 0},         {1.5, 2},          {-0.5, 0},       {-1.5, -2},
               {255.5, 256},     {-7.6, -8},        {300, 300},      {2147483646.5, 2147483646},
               {1e300, kIntMax}, {-1e300, kIntMin}, {kInf, kIntMax}, {std::nan(""), 0}};
  for (const auto& c : cases) EXPECT_EQ(RoundHalfEven(c.value), c.result) << c.value;
}

}  // namespace
}  // namespace inst
