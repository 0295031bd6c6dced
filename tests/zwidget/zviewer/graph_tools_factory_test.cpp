#include "zwidget/zviewer/graph_tools_factory.h"

#include "support/qt_printers.h"

#include <gtest/gtest.h>

namespace zwidget::zcvpcb {
namespace {

TEST(ZGraphToolsFactory, LooksUpNamesIgnoringAsciiCase) {
  const struct {
    const char *prefix, *name;
    QColor colour;
  } cases[] = {
      {"", "F.Cu", {132, 0, 0}},
      {"", "f.cu", {132, 0, 0}},
      {"", "F.SilkS", {0, 132, 132}},
      {"", "B.CrtYd", {194, 194, 0}},
      {"", "Dwgs.User", {194, 194, 194}},
      {"", "25", {132, 0, 132}},
      {"", "In1.Cu", Qt::black},
      {"", "20", Qt::black},
      {"", "", Qt::black},
      {"", "F.C", Qt::black},
      {"", "F.Silkscreen", Qt::black},
      {"system.pad.", "SMD", {132, 0, 0}},
      {"system.pad.", "np_thru_hole", {194, 194, 0}},
      {"system.pad.", "", Qt::black},
  };
  const ZGraphToolsFactory tools;
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.prefix) + c.name);
    EXPECT_EQ(tools.colour(c.prefix, c.name), c.colour);
    EXPECT_EQ(tools.colour(std::string(c.prefix) + c.name), c.colour);
    EXPECT_EQ(tools.colour(c.prefix, c.name).alpha(), 255);
  }
}

TEST(ZGraphToolsFactory, LayerPenIsRoundCappedBevelJoinedInTheLayerColour) {
  const ZGraphToolsFactory tools;
  const QPen fab = tools.pen("F.Fab", 0.1);
  EXPECT_EQ(fab.color(), QColor(194, 194, 0));
  EXPECT_EQ(fab.brush().style(), Qt::SolidPattern);
  EXPECT_DOUBLE_EQ(fab.widthF(), 0.1);
  EXPECT_FALSE(fab.isCosmetic());
  EXPECT_EQ(fab.style(), Qt::SolidLine);
  EXPECT_EQ(fab.capStyle(), Qt::RoundCap);
  EXPECT_EQ(fab.joinStyle(), Qt::BevelJoin);
  // Without layer and width: black, one device pixel.
  const QPen bare = tools.pen("", 0);
  EXPECT_EQ(bare.color(), QColor(Qt::black));
  EXPECT_TRUE(bare.isCosmetic());
  EXPECT_EQ(bare.capStyle(), Qt::RoundCap);
}

}  // namespace
}  // namespace zwidget::zcvpcb
