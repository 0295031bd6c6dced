#include "apps/padscope/startup.h"

#include "support/qt_printers.h"

#include <gtest/gtest.h>

#include <QString>

namespace {

struct CentringCase {
  QSize screen;
  QRect expected;
};

void PrintTo(const CentringCase& c, std::ostream* out) {
  *out << c.screen.width() << "x" << c.screen.height();
}

class CentredGeometry : public testing::TestWithParam<CentringCase> {};

TEST_P(CentredGeometry, CentresTheStartWindow) {
  EXPECT_EQ(padscope::centred_geometry(GetParam().screen), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Screens, CentredGeometry,
    testing::Values(CentringCase{QSize(1920, 1080), QRect(510, 190, 900, 700)},
                    // Odd widths truncate: 1365 / 2 = 682.
                    CentringCase{QSize(1365, 768), QRect(232, 34, 900, 700)},
                    // Smaller than the window: negative, not clamped.
                    CentringCase{QSize(640, 480), QRect(-130, -110, 900, 700)},
                    CentringCase{QSize(901, 701), QRect(0, 0, 900, 700)}),
    [](const testing::TestParamInfo<CentringCase>& info) {
      return QString("screen_%1x%2")
          .arg(info.param.screen.width())
          .arg(info.param.screen.height())
          .toStdString();
    });

}  // namespace
