#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zcore {

// The units a length is shown in; files hold millimetres (or tenths of a
// mil, converted before they reach here).
enum class length_unit { mm, mil, inch };

// "mm", "mil" or "in": the symbol shown after a value, and the name the
// choice is stored under.
const char* unit_symbol(length_unit unit);
// The unit stored as `symbol`; none for any other text.
std::optional<length_unit> unit_named(std::string_view symbol);
// mm, mil, inch, then mm again.
length_unit next_unit(length_unit unit);

// Decimals shown: a tenth of a micrometre in millimetres, a hundredth of a
// mil, and the same quarter micrometre in inches.
int unit_decimals(length_unit unit);
double from_mm(double mm, length_unit unit);

// `mm` in `unit` with the unit's decimals and without the symbol, such as
// "19.69"; a value that rounds to zero is "0.00", never "-0.00".
std::string format_number(double mm, length_unit unit);
// The same with the symbol: "0.5000 mm", "19.69 mil", "0.01969 in".
std::string format_length(double mm, length_unit unit);
// An area given in square millimetres: "1.2500 mm²".
std::string format_area(double square_mm, length_unit unit);

}  // namespace zcore
