#include "text/numbers.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace inst {
namespace {

// An unsigned integer of any size, least significant 32 bits first: what exact conversion
// between decimal and binary fractions needs, and no more.
class Big {
 public:
  explicit Big(std::uint64_t v = 0) {
    for (; v != 0; v >>= 32) limbs_.push_back(static_cast<std::uint32_t>(v));
  }
  void mulAdd(std::uint32_t m, std::uint32_t add = 0) {
    std::uint64_t carry = add;
    for (std::uint32_t& l : limbs_) {
      carry += std::uint64_t{l} * m;
      l = static_cast<std::uint32_t>(carry);
      carry >>= 32;
    }
    if (carry) limbs_.push_back(static_cast<std::uint32_t>(carry));
  }
  void timesTenTo(std::int64_t n) {
    for (; n >= 9; n -= 9) mulAdd(1000000000);
    for (; n > 0; --n) mulAdd(10);
  }
  std::uint32_t divide(std::uint32_t d) {
    std::uint64_t rest = 0;
    for (std::size_t i = limbs_.size(); i-- > 0;) {
      rest = rest << 32 | limbs_[i];
      limbs_[i] = static_cast<std::uint32_t>(rest / d);
      rest %= d;
    }
    trim();
    return static_cast<std::uint32_t>(rest);
  }
  void shiftLeft(std::int64_t bits) {
    if (limbs_.empty() || bits <= 0) return;
    limbs_.insert(limbs_.begin(), static_cast<std::size_t>(bits / 32), 0);
    if (const int s = static_cast<int>(bits % 32)) {
      std::uint32_t carry = 0;
      for (std::uint32_t& l : limbs_) {
        const std::uint32_t next = l >> (32 - s);
        l = l << s | carry;
        carry = next;
      }
      if (carry) limbs_.push_back(carry);
    }
  }
  void shiftRight(std::int64_t bits) {
    const auto whole = std::min(limbs_.size(), static_cast<std::size_t>(bits / 32));
    limbs_.erase(limbs_.begin(), limbs_.begin() + static_cast<std::ptrdiff_t>(whole));
    if (const int s = static_cast<int>(bits % 32)) {
      for (std::size_t i = 0; i < limbs_.size(); ++i)
        limbs_[i] = limbs_[i] >> s | (i + 1 < limbs_.size() ? limbs_[i + 1] << (32 - s) : 0);
    }
    trim();
  }
  bool odd() const { return !limbs_.empty() && (limbs_[0] & 1); }
  // Subtracts `o`, if it is not larger; whether it did.
  bool subtract(const Big& o) {
    if (compare(o) < 0) return false;
    std::int64_t borrow = 0;
    for (std::size_t i = 0; i < limbs_.size(); ++i) {
      borrow += std::int64_t{limbs_[i]} - (i < o.limbs_.size() ? o.limbs_[i] : 0);
      limbs_[i] = static_cast<std::uint32_t>(borrow);
      borrow = borrow < 0 ? -1 : 0;
    }
    trim();
    return true;
  }
  int compare(const Big& o) const {
    if (limbs_.size() != o.limbs_.size()) return limbs_.size() < o.limbs_.size() ? -1 : 1;
    for (std::size_t i = limbs_.size(); i-- > 0;)
      if (limbs_[i] != o.limbs_[i]) return limbs_[i] < o.limbs_[i] ? -1 : 1;
    return 0;
  }
  std::int64_t bits() const {
    if (limbs_.empty()) return 0;
    return static_cast<std::int64_t>(limbs_.size() * 32) - __builtin_clz(limbs_.back());
  }
  bool zero() const { return limbs_.empty(); }
  std::string decimal() const {
    Big rest = *this;
    std::string out;
    do {
      std::uint32_t chunk = rest.divide(1000000000);
      for (int i = 0; i < 9 && (chunk != 0 || !rest.zero()); ++i, chunk /= 10)
        out += static_cast<char>('0' + chunk % 10);
    } while (!rest.zero());
    if (out.empty()) out = "0";
    std::reverse(out.begin(), out.end());
    return out;
  }

 private:
  void trim() {
    while (!limbs_.empty() && limbs_.back() == 0) limbs_.pop_back();
  }
  std::vector<std::uint32_t> limbs_;
};

// Enough decimal digits to decide the rounding of any double; the ones past them count only as
// being zero or not.
constexpr std::size_t kDigitsKept = 800;

}  // namespace

void AppendPadded(std::string& out, std::uint64_t value, int width, unsigned base) {
  const std::size_t start = out.size();
  do {
    out += "0123456789abcdef"[value % base];
    value /= base;
  } while (value != 0);
  std::reverse(out.begin() + static_cast<std::ptrdiff_t>(start), out.end());
  if (const std::size_t length = out.size() - start; static_cast<std::size_t>(width) > length)
    out.insert(start, static_cast<std::size_t>(width) - length, '0');
}

double DecimalValue(std::string_view digits, std::int64_t exponent) {
  digits.remove_prefix(std::min(digits.find_first_not_of('0'), digits.size()));
  std::string kept(digits.substr(0, kDigitsKept));
  if (digits.size() > kDigitsKept) {
    exponent += static_cast<std::int64_t>(digits.size() - kDigitsKept);
    if (digits.find_first_not_of('0', kDigitsKept) != std::string_view::npos) {
      kept += '1';
      --exponent;
    }
  }
  if (kept.empty()) return 0;
  // Beyond these the value is surely over the largest double, or under half the smallest.
  const std::int64_t magnitude = static_cast<std::int64_t>(kept.size()) + exponent;
  if (magnitude > 310) return HUGE_VAL;
  if (magnitude < -324) return 0;

  Big n, d(1);
  for (char c : kept) n.mulAdd(10, static_cast<std::uint32_t>(c - '0'));
  if (exponent >= 0) {
    n.timesTenTo(exponent);
  } else {
    d.timesTenTo(-exponent);
  }
  // The quotient n / d, scaled by 2^shift to 63 or 64 bits; `inexact` if anything is left.
  const std::int64_t shift = 63 - (n.bits() - d.bits());
  n.shiftLeft(shift);
  d.shiftLeft(-shift);
  d.shiftLeft(63);
  std::uint64_t q = 0;
  for (int bit = 63; bit >= 0; --bit, d.shiftRight(1))
    if (n.subtract(d)) q |= std::uint64_t{1} << bit;
  const bool inexact = !n.zero();

  // Down to 53 significant bits, or to the last bit a subnormal double holds.
  const int length = 64 - __builtin_clzll(q);
  const std::int64_t drop = std::max<std::int64_t>(length - 53, shift - 1074);
  if (drop > 64) return 0;
  const std::uint64_t kept_bits = drop == 64 ? 0 : q >> drop;
  const std::uint64_t rest = drop == 64 ? q : q & ((std::uint64_t{1} << drop) - 1);
  const std::uint64_t half = drop == 0 ? 0 : std::uint64_t{1} << (drop - 1);
  std::uint64_t mantissa = kept_bits;
  if (drop > 0 && (rest > half || (rest == half && (inexact || (mantissa & 1))))) ++mantissa;
  return std::ldexp(static_cast<double>(mantissa), static_cast<int>(drop - shift));
}

std::string FixedPoint(double value, int decimals) {
  int exponent = 0;
  const double fraction = std::frexp(std::fabs(value), &exponent);
  Big n(static_cast<std::uint64_t>(std::ldexp(fraction, 53)));
  exponent -= 53;
  n.timesTenTo(decimals);
  if (exponent >= 0) {
    n.shiftLeft(exponent);
  } else {
    // n / 2^-exponent, ties to even: the remainder's double against the divisor.
    Big whole = n;
    whole.shiftRight(-exponent);
    Big back = whole;
    back.shiftLeft(-exponent);
    n.subtract(back);
    n.shiftLeft(1);
    Big divisor(1);
    divisor.shiftLeft(-exponent);
    const int c = n.compare(divisor);
    n = whole;
    if (c > 0 || (c == 0 && n.odd())) n.mulAdd(1, 1);
  }
  std::string text = n.decimal();
  if (decimals > 0) {
    if (text.size() <= static_cast<std::size_t>(decimals))
      text.insert(0, static_cast<std::size_t>(decimals) + 1 - text.size(), '0');
    text.insert(text.size() - static_cast<std::size_t>(decimals), 1, '.');
  }
  return std::signbit(value) ? "-" + text : text;
}

}  // namespace inst
