#include "zwidget/zviewer/graph_tools_factory.h"

#include "support/qt_printers.h"

#include <gtest/gtest.h>

namespace zwidget::zcvpcb {
namespace {

const QColor kBlack(0, 0, 0, 255);

TEST(ZGraphToolsFactory, KnowsEveryRowOfTheTable) {
  const struct {
    const char* name;
    QColor colour;
  } rows[] = {
      {"F.Cu", {132, 0, 0}},
      {"B.Cu", {0, 132, 0}},
      {"F.Adhes", {132, 0, 132}},
      {"B.Adhes", {0, 0, 132}},
      {"F.Paste", {132, 0, 0}},
      {"B.Paste", {0, 194, 194}},
      {"F.Silks", {0, 132, 132}},
      {"21", {0, 132, 132}},
      {"B.Silks", {132, 0, 132}},
      {"25", {132, 0, 132}},
      {"F.Mask", {132, 0, 132}},
      {"B.Mask", {132, 132, 0}},
      {"Dwgs.User", {194, 194, 194}},
      {"Cmts.User", {0, 0, 132}},
      {"Eco1.User", {0, 132, 0}},
      {"Eco2.User", {194, 194, 0}},
      {"Edge.Cuts", {194, 194, 0}},
      {"Margin", {194, 0, 194}},
      {"F.CrtYd", {132, 132, 132}},
      {"B.CrtYd", {194, 194, 0}},
      {"F.Fab", {194, 194, 0}},
      {"B.Fab", {132, 0, 0}},
      {"system.pad.thru_hole", {194, 194, 0}},
      {"system.pad.smd", {132, 0, 0}},
      {"system.pad.connect", {132, 0, 0}},
      {"system.pad.np_thru_hole", {194, 194, 0}},
  };
  const ZGraphToolsFactory tools;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(tools.colour(row.name), row.colour);
    EXPECT_EQ(tools.colour(row.name).alpha(), 255);
  }
}

TEST(ZGraphToolsFactory, LooksUpNamesWithoutRegardToAsciiCase) {
  const struct {
    const char* name;
    QColor colour;
  } cases[] = {
      {"F.Cu", {132, 0, 0}},
      {"f.cu", {132, 0, 0}},
      {"F.CU", {132, 0, 0}},
      {"F.SilkS", {0, 132, 132}},
      {"b.silks", {132, 0, 132}},
      {"EDGE.CUTS", {194, 194, 0}},
      {"B.CrtYd", {194, 194, 0}},
      {"In1.Cu", kBlack},
      {"20", kBlack},
      {"", kBlack},
      {"F.Cu ", kBlack},
      {"F.C", kBlack},
      {"F.Silkscreen", kBlack},
      {"F\xC3\x9C", kBlack},
      {"system.pad.", kBlack},
      {"F_Cu", kBlack},
  };
  const ZGraphToolsFactory tools;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(tools.colour(c.name), c.colour);
  }
}

TEST(ZGraphToolsFactory, PrefixIsJoinedToTheName) {
  const ZGraphToolsFactory tools;
  EXPECT_EQ(tools.colour("system.pad.", "smd"), QColor(132, 0, 0));
  EXPECT_EQ(tools.colour("system.pad.", "SMD"), QColor(132, 0, 0));
  EXPECT_EQ(tools.colour("system.pad.", "thru_hole"), QColor(194, 194, 0));
  EXPECT_EQ(tools.colour("system.pad.", ""), kBlack);
  EXPECT_EQ(tools.colour("", "F.Fab"), QColor(194, 194, 0));
  EXPECT_EQ(tools.colour("F.", "Cu"), QColor(132, 0, 0));
}

TEST(ZGraphToolsFactory, LayerPenHasTheLayerColourAndWidth) {
  const ZGraphToolsFactory tools;
  const QPen pen = tools.pen("F.Fab", 0.1);
  EXPECT_EQ(pen.color(), QColor(194, 194, 0));
  EXPECT_EQ(pen.brush().style(), Qt::SolidPattern);
  EXPECT_DOUBLE_EQ(pen.widthF(), 0.1);
  EXPECT_FALSE(pen.isCosmetic());
  EXPECT_EQ(pen.style(), Qt::SolidLine);
  EXPECT_EQ(pen.capStyle(), Qt::RoundCap);
  EXPECT_EQ(pen.joinStyle(), Qt::BevelJoin);
}

TEST(ZGraphToolsFactory, PenWithoutLayerOrWidthIsBlackAndCosmetic) {
  const ZGraphToolsFactory tools;
  const QPen pen = tools.pen("", 0);
  EXPECT_EQ(pen.color(), kBlack);
  EXPECT_EQ(pen.widthF(), 0);
  EXPECT_TRUE(pen.isCosmetic());
  EXPECT_EQ(pen.capStyle(), Qt::RoundCap);
  EXPECT_EQ(pen.joinStyle(), Qt::BevelJoin);
  EXPECT_EQ(tools.pen("User.9", 0.2).color(), kBlack);
}

}  // namespace
}  // namespace zwidget::zcvpcb
