#include "zcore/length_units.h"

#include <iomanip>
#include <locale>
#include <sstream>

namespace zcore {

namespace {

constexpr double kMilsPerMm = 1000 / 25.4;
constexpr double kInchesPerMm = 1 / 25.4;

// Fixed notation in the C locale: a Qt program runs under the user's
// locale, which may write a decimal comma.
std::string fixed(double value, int decimals) {
  std::ostringstream out;
  out.imbue(std::locale::classic());
  out << std::fixed << std::setprecision(decimals) << value;
  std::string text = out.str();
  if (text.front() == '-' && text.find_first_not_of("-0.") == std::string::npos)
    text.erase(0, 1);
  return text;
}

}  // namespace

const char* unit_symbol(length_unit unit) {
  switch (unit) {
    case length_unit::mil:
      return "mil";
    case length_unit::inch:
      return "in";
    case length_unit::mm:
      break;
  }
  return "mm";
}

std::optional<length_unit> unit_named(std::string_view symbol) {
  for (length_unit unit :
       {length_unit::mm, length_unit::mil, length_unit::inch})
    if (symbol == unit_symbol(unit)) return unit;
  return std::nullopt;
}

length_unit next_unit(length_unit unit) {
  switch (unit) {
    case length_unit::mm:
      return length_unit::mil;
    case length_unit::mil:
      return length_unit::inch;
    case length_unit::inch:
      break;
  }
  return length_unit::mm;
}

int unit_decimals(length_unit unit) {
  switch (unit) {
    case length_unit::mil:
      return 2;
    case length_unit::inch:
      return 5;
    case length_unit::mm:
      break;
  }
  return 4;
}

double from_mm(double mm, length_unit unit) {
  switch (unit) {
    case length_unit::mil:
      return mm * kMilsPerMm;
    case length_unit::inch:
      return mm * kInchesPerMm;
    case length_unit::mm:
      break;
  }
  return mm;
}

std::string format_number(double mm, length_unit unit) {
  return fixed(from_mm(mm, unit), unit_decimals(unit));
}

std::string format_length(double mm, length_unit unit) {
  return format_number(mm, unit) + " " + unit_symbol(unit);
}

std::string format_area(double square_mm, length_unit unit) {
  const double scale = from_mm(1, unit);
  return fixed(square_mm * scale * scale, unit_decimals(unit)) + " " +
         unit_symbol(unit) + "\u00b2";
}

}  // namespace zcore
