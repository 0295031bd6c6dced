#include "zcore/length_units.h"

#include <gtest/gtest.h>

namespace {

using zcore::length_unit;

TEST(LengthUnits, LengthsShowWithTheDecimalsOfTheirUnit) {
  const struct {
    double mm;
    const char *in_mm, *in_mil, *in_inch;
  } rows[] = {
      {0.5, "0.5000 mm", "19.69 mil", "0.01969 in"},
      {2.54, "2.5400 mm", "100.00 mil", "0.10000 in"},
      {-1.27, "-1.2700 mm", "-50.00 mil", "-0.05000 in"},
      // A QFP's pitch from two pad centres, with the doubles' rounding.
      {-0.325 - -0.975, "0.6500 mm", "25.59 mil", "0.02559 in"},
      {25.4, "25.4000 mm", "1000.00 mil", "1.00000 in"},
      // Rounding to zero never shows a sign.
      {-0.00001, "0.0000 mm", "0.00 mil", "0.00000 in"},
      {0, "0.0000 mm", "0.00 mil", "0.00000 in"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.mm);
    EXPECT_EQ(zcore::format_length(row.mm, length_unit::mm), row.in_mm);
    EXPECT_EQ(zcore::format_length(row.mm, length_unit::mil), row.in_mil);
    EXPECT_EQ(zcore::format_length(row.mm, length_unit::inch), row.in_inch);
  }
  EXPECT_EQ(zcore::format_area(2.0, length_unit::mm), "2.0000 mm\u00b2");
  EXPECT_EQ(zcore::format_area(1.0, length_unit::mil), "1550.00 mil\u00b2");
}

TEST(LengthUnits, UnitsCycleAndAreStoredByTheirSymbol) {
  length_unit unit = length_unit::mm;
  std::string seen;
  for (int i = 0; i < 4; ++i) {
    seen += zcore::unit_symbol(unit) + std::string(" ");
    EXPECT_EQ(zcore::unit_named(zcore::unit_symbol(unit)), unit);
    unit = zcore::next_unit(unit);
  }
  EXPECT_EQ(seen, "mm mil in mm ");
  EXPECT_EQ(zcore::unit_named("inch"), std::nullopt);
  EXPECT_EQ(zcore::unit_named(""), std::nullopt);
}

}  // namespace
