#include "text/event_line.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace inst {
namespace {

TEST(EventLineNumbers, PlainDecimalWithTheFewestDigitsThatReadBack) {
  struct Case {
    double value;
    const char* text;
  } cases[] = {
      {2032.5, "2032.5"},
      {480, "480"},
      {-7.5, "-7.5"},
      {0.1, "0.1"},
      {1.0 / 3, "0.3333333333333333"},
      {3487.5000001, "3487.5000001"},
      {1e-7, "0.0000001"},
      {1e21, "1000000000000000000000"},
      {-0.0, "0"},
      {std::numeric_limits<double>::quiet_NaN(), "0"},
      {std::numeric_limits<double>::infinity(), "0"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatNumber(c.value), c.text) << c.value;
}

}  // namespace
}  // namespace inst
