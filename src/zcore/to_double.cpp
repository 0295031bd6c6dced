#include "zcore/to_double.h"

#include <cstdint>

namespace zcore {

namespace {

// The value of digit d at the k-th place after the point, as the digit
// over a divisor multiplied up by ten from 10 (which is exact up to 1e22,
// and beyond that rounds as it does at run time).
struct fraction_digits {
  static constexpr int kPlaces = 24;
  double of[kPlaces][10];
  // The divisor of the place after the last one tabled.
  double divisor_after = 10.0;

  constexpr fraction_digits() : of() {
    for (int place = 0; place < kPlaces; ++place) {
      for (int digit = 0; digit < 10; ++digit)
        of[place][digit] = digit / divisor_after;
      divisor_after *= 10;
    }
  }
};

constexpr fraction_digits kFractions;

// The digit at `p`, or 10 or more for another byte or the end.
unsigned digit_at(const char* p, const char* end) {
  return p != end ? static_cast<unsigned>(*p - '0') : 10u;
}

bool is_at(const char* p, const char* end, char c) {
  return p != end && *p == c;
}

// The sign, then digits accumulated as value × 10 + digit; up to 15 digits
// every step is exact, so an integer does them.
double integer_part(const char*& p, const char* end) {
  std::uint64_t whole = 0;
  unsigned digit;
  for (int count = 0; count < 15 && (digit = digit_at(p, end)) < 10; ++count) {
    whole = whole * 10 + digit;
    ++p;
  }
  double value = static_cast<double>(whole);
  for (; (digit = digit_at(p, end)) < 10; ++p) value = value * 10 + digit;
  return value;
}

// Adds each digit after the point over its divisor, in order, as the
// program always has: the rounding of every step is part of the result.
double add_fraction(double value, const char*& p, const char* end) {
  unsigned digit;
  int place = 0;
  for (; place < fraction_digits::kPlaces && (digit = digit_at(p, end)) < 10;
       ++p, ++place)
    value += kFractions.of[place][digit];
  if (place < fraction_digits::kPlaces) return value;
  double divisor = kFractions.divisor_after;
  for (; (digit = digit_at(p, end)) < 10; ++p) {
    value += digit / divisor;
    divisor *= 10;
  }
  return value;
}

}  // namespace

double to_double(std::string_view text) {
  const char* p = text.data();
  const char* const end = p + text.size();
  while (is_at(p, end, ' ') || is_at(p, end, '\t')) ++p;
  double sign = 1.0;
  if (is_at(p, end, '-')) {
    sign = -1.0;
    ++p;
  } else if (is_at(p, end, '+')) {
    ++p;
  }
  double value = integer_part(p, end);
  if (is_at(p, end, '.')) value = add_fraction(value, ++p, end);
  if (!is_at(p, end, 'E') && !is_at(p, end, 'e')) return sign * value;
  ++p;
  bool negative = false;
  if (is_at(p, end, '-')) {
    negative = true;
    ++p;
  } else if (is_at(p, end, '+')) {
    ++p;
  }
  int exponent = 0;
  // Stop accumulating once past the clamp, so long digit runs cannot
  // overflow the integer.
  for (unsigned digit; (digit = digit_at(p, end)) < 10; ++p) {
    if (exponent <= 308) exponent = exponent * 10 + static_cast<int>(digit);
  }
  if (exponent > 308) exponent = 308;
  double scale = 1.0;
  for (; exponent >= 50; exponent -= 50) scale *= 1e50;
  for (; exponent >= 8; exponent -= 8) scale *= 1e8;
  for (; exponent > 0; --exponent) scale *= 10;
  return negative ? sign * value / scale : sign * value * scale;
}

}  // namespace zcore
