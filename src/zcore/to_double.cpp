#include "zcore/to_double.h"

namespace zcore {

namespace {

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

double to_double(const char* text) {
  const char* p = text;
  while (*p == ' ' || *p == '\t') ++p;
  double sign = 1.0;
  if (*p == '-') {
    sign = -1.0;
    ++p;
  } else if (*p == '+') {
    ++p;
  }
  double value = 0.0;
  for (; is_digit(*p); ++p) value = value * 10 + (*p - '0');
  if (*p == '.') {
    double divisor = 10.0;
    for (++p; is_digit(*p); ++p) {
      value += (*p - '0') / divisor;
      divisor *= 10;
    }
  }
  if (*p != 'E' && *p != 'e') return sign * value;
  ++p;
  bool negative = false;
  if (*p == '-') {
    negative = true;
    ++p;
  } else if (*p == '+') {
    ++p;
  }
  int exponent = 0;
  // Stop accumulating once past the clamp, so long digit runs cannot
  // overflow the integer.
  for (; is_digit(*p); ++p) {
    if (exponent <= 308) exponent = exponent * 10 + (*p - '0');
  }
  if (exponent > 308) exponent = 308;
  double scale = 1.0;
  for (; exponent >= 50; exponent -= 50) scale *= 1e50;
  for (; exponent >= 8; exponent -= 8) scale *= 1e8;
  for (; exponent > 0; --exponent) scale *= 10;
  return negative ? sign * value / scale : sign * value * scale;
}

}  // namespace zcore
