#include "zcore/to_double.h"

namespace zcore {

namespace {

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

double to_double(std::string_view text) {
  // The bytes past the end read as a NUL, which ends every step.
  const char* p = text.data();
  const char* const end = p + text.size();
  const auto at = [&p, end]() { return p != end ? *p : '\0'; };
  while (at() == ' ' || at() == '\t') ++p;
  double sign = 1.0;
  if (at() == '-') {
    sign = -1.0;
    ++p;
  } else if (at() == '+') {
    ++p;
  }
  double value = 0.0;
  for (; is_digit(at()); ++p) value = value * 10 + (at() - '0');
  if (at() == '.') {
    double divisor = 10.0;
    for (++p; is_digit(at()); ++p) {
      value += (at() - '0') / divisor;
      divisor *= 10;
    }
  }
  if (at() != 'E' && at() != 'e') return sign * value;
  ++p;
  bool negative = false;
  if (at() == '-') {
    negative = true;
    ++p;
  } else if (at() == '+') {
    ++p;
  }
  int exponent = 0;
  // Stop accumulating once past the clamp, so long digit runs cannot
  // overflow the integer.
  for (; is_digit(at()); ++p) {
    if (exponent <= 308) exponent = exponent * 10 + (at() - '0');
  }
  if (exponent > 308) exponent = 308;
  double scale = 1.0;
  for (; exponent >= 50; exponent -= 50) scale *= 1e50;
  for (; exponent >= 8; exponent -= 8) scale *= 1e8;
  for (; exponent > 0; --exponent) scale *= 10;
  return negative ? sign * value / scale : sign * value * scale;
}

}  // namespace zcore
