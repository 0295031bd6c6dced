#include "apps/padscope/startup.h"

#include "support/qt_printers.h"

#include <gtest/gtest.h>

namespace {

TEST(CentredGeometry, CentresTheStartWindowOnTheScreen) {
  const struct {
    QSize screen;
    QPoint expected;
  } cases[] = {
      {{1920, 1080}, {510, 190}},
      {{1365, 768}, {232, 34}},    // odd widths truncate: 1365 / 2 = 682
      {{640, 480}, {-130, -110}},  // smaller than the window: not clamped
      {{901, 701}, {0, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.screen));
    EXPECT_EQ(padscope::centred_geometry(c.screen),
              QRect(c.expected, QSize(900, 700)));
  }
}

}  // namespace
