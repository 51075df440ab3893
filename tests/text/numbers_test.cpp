#include "text/numbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <tuple>

namespace inst {
namespace {

// The C library converts exactly (both glibc and MinGW's own); ours must agree on any double,
// subnormals and the extremes among them, both ways.
TEST(Numbers, AgreeWithTheCLibraryOnAnyDouble) {
  std::mt19937_64 random(2212);
  for (int i = 0; i < 20000; ++i) {
    const std::uint64_t bits = random();
    double value;
    std::memcpy(&value, &bits, sizeof value);
    if (i % 2) value = std::ldexp(static_cast<double>(bits >> 11), static_cast<int>(i % 160) - 100);
    if (!std::isfinite(value)) continue;
    const int decimals = static_cast<int>(random() % (i % 5 ? 20 : 340));
    char text[1100];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    ASSERT_EQ(FixedPoint(value, decimals), text) << decimals;
    // Read back from its fewest digits to its 40th, halves and near-halves among them.
    const int digits = static_cast<int>(random() % 40);
    std::snprintf(text, sizeof text, "%.*e", digits, std::fabs(value));
    std::string mantissa(text, std::strchr(text, 'e'));
    std::erase(mantissa, '.');
    ASSERT_EQ(DecimalValue(mantissa, std::atoi(std::strchr(text, 'e') + 1) - digits),
              std::strtod(text, nullptr))
        << text;
  }
}

TEST(Numbers, DecimalValueRoundsExactlyAtTheEdges) {
  // Half the smallest subnormal double, 2^-1075, exactly: 5^1075 times ten to -1075.
  const std::string half =
      "247032822920623272088284396434110686182529901307162382212792841250337753635104375932649918"
      "180817996189898282347722858865463328355177969898199387398005390939063150356595155702263922"
      "908583924491051844359318028499365361525003193704576782492193656236698636584807570015857692"
      "699037063119282795585513329278343384093519780155312465972635795746227664652728272200563740"
      "064854999770965994704540208281662262378573934507363390079677619305775067401763246736009689"
      "513405355374585166611342237666786041621596804619144672918403005300575308490487653917113865"
      "916462395249126236538818796362393732804238910186723484976682350898633885879256283027559956"
      "575244555072551893136908362547791869486679949683240497058210285131854513962138377228261454"
      "37693412532098591327667236328125";
  const struct {
    std::string digits;
    std::int64_t exponent;
    double value;
  } cases[] = {
      {"", 0, 0},
      {"000", 5, 0},
      {"9007199254740993", 0, 9007199254740992.0},  // a tie, to even
      {"9007199254740993" + std::string(900, '0') + "1", -901, 9007199254740994.0},
      {half, -1075, 0},  // a tie, to even
      {half + "1", -1076, 4.9406564584124654e-324},
      {half + std::string(900, '0'), -1975, 0},
      {"17976931348623157", 292, 1.7976931348623157e308},
      {"17976931348623159", 292, HUGE_VAL},
      {"1", -400, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(DecimalValue(c.digits, c.exponent), c.value) << c.digits;
}

TEST(Numbers, AppendPaddedIntegers) {
  using Case = std::tuple<std::uint64_t, int, unsigned>;
  std::string text = "x";
  for (auto [value, width, base] : {Case{0, 0, 10}, Case{7, 3, 10}, Case{12345, 2, 10},
                                    Case{0, 4, 16}, Case{0xabc, 16, 16}, Case{~0ull, 0, 10}}) {
    AppendPadded(text, value, width, base);
    text += '|';
  }
  EXPECT_EQ(text, "x0|007|12345|0000|0000000000000abc|18446744073709551615|");
}

}  // namespace
}  // namespace inst
