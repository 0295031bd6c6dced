#include "zwidget/zviewer/graph_tools_factory.h"

#include "support/qt_printers.h"

#include <gtest/gtest.h>

namespace zwidget::zcvpcb {
namespace {

TEST(ZGraphToolsFactory, LooksUpNamesIgnoringAsciiCaseBlackWhenUnknown) {
  const QColor black(Qt::black), red(132, 0, 0), yellow(194, 194, 0);
  const struct {
    const char *prefix, *name;
    QColor colour;
  } cases[] = {{"", "F.Cu", red},
               {"", "f.cu", red},
               {"", "F.SilkS", {0, 132, 132}},
               {"", "B.CrtYd", yellow},
               {"", "25", {132, 0, 132}},
               {"", "In1.Cu", black},
               {"", "20", black},
               {"", "", black},
               {"", "F.C", black},
               {"", "F.Silkscreen", black},
               {"system.pad.", "SMD", red},
               {"system.pad.", "np_thru_hole", yellow},
               {"system.pad.", "", black}};
  const ZGraphToolsFactory tools;
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.prefix) + c.name);
    EXPECT_EQ(tools.colour(c.prefix, c.name), c.colour);
    EXPECT_EQ(tools.colour(std::string(c.prefix) + c.name), c.colour);
  }
}

}  // namespace
}  // namespace zwidget::zcvpcb
