#include "support/qt_printers.h"
#include "support/test_data.h"
#include "zwidget/zgraph/arc_item.h"
#include "zwidget/zgraph/circle_item.h"
#include "zwidget/zgraph/line_item.h"
#include "zwidget/zgraph/pad_item.h"
#include "zwidget/zgraph/polygon_item.h"
#include "zwidget/zgraph/text_item.h"
#include "zwidget/zviewer/pretty_module_scene_loader.h"
#include "zwidget/zviewer/viewer_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>

namespace zwidget::zcvpcb {
namespace {

using namespace zwidget::zgraph;
using test::build_pretty;
using test::Built;

TEST(ZPrettyModuleSceneLoader, DrawsElementsInFileOrderAndTextsLast) {
  const Built built = build_pretty(R"((module R1 (layer F.Cu)
    (fp_text reference R1 (at 0 -2) (layer F.SilkS)
      (effects (font (size 1 1) (thickness 0.15))))
    (fp_text user "" (at 0 0) (layer F.SilkS))
    (fp_line (start -1 0) (end 1 0) (layer F.SilkS) (width 0.12))
    (pad 1 smd rect (at 1 2 90) (size 1 0.5) (layers F.Cu F.Mask))
    (fp_circle (center 1 1) (end 1 3) (layer In1.Cu) (width 0.1))))");
  ASSERT_EQ(built.added.size(), 4u);
  EXPECT_EQ(built.scene->items().size(), 4);
  EXPECT_EQ(built.trace, std::vector<std::string>{"module->"});

  auto* silk = dynamic_cast<GraphicsLineItem*>(built.added[0]);
  ASSERT_NE(silk, nullptr);
  EXPECT_EQ(silk->line(), QLineF(-1, 0, 1, 0));
  EXPECT_EQ(silk->pen().color(), QColor(0, 132, 132));
  EXPECT_DOUBLE_EQ(silk->pen().widthF(), 0.12);

  // The pad's colour follows its type, not its layers.
  auto* pad = dynamic_cast<GraphicsPadItem*>(built.added[1]);
  ASSERT_NE(pad, nullptr);
  EXPECT_EQ(pad->position(), QPointF(1, 2));
  EXPECT_EQ(pad->angle(), 90);
  EXPECT_EQ(pad->size(), QSizeF(1, 0.5));
  EXPECT_EQ(pad->drill_size(), QSizeF(0, 0));
  EXPECT_EQ(pad->pad_brush().color(), QColor(132, 0, 0));  // system.pad.smd

  // Radius 2; a layer outside the colour table is drawn in black.
  auto* circle = dynamic_cast<GraphicsCircleItem*>(built.added[2]);
  ASSERT_NE(circle, nullptr);
  EXPECT_EQ(circle->rect(), QRectF(-1, -1, 4, 4));
  EXPECT_EQ(circle->pen().color(), QColor(Qt::black));

  // The text came first in the file, yet is made last; the empty one not.
  auto* text = dynamic_cast<GraphicsTextItem*>(built.added[3]);
  ASSERT_NE(text, nullptr);
  EXPECT_TRUE(text->boundingRect().contains(QPointF(0, -2)));
  EXPECT_EQ(built.scene->items(Qt::DescendingOrder).front(), text);
}

TEST(ZPrettyModuleSceneLoader, ArcStartIsTheCentreAndBothAnglesAreNegated) {
  const struct {
    const char* arc;
    QPointF centre;
    double radius;
    int start, span;  // sixteenths of a degree
  } cases[] = {
      {"(start 0 0) (end 1 0) (angle 90)", {0, 0}, 1, 0, -90 * 16},
      {"(start 0 0) (end -1 0) (angle 90)", {0, 0}, 1, -180 * 16, -90 * 16},
      // dx = 0: the arc tangent of +-infinity is +-90.
      {"(start 0 0) (end 0 1) (angle 45)", {0, 0}, 1, -90 * 16, -45 * 16},
      {"(start 0 0) (end 0 -1) (angle 45)", {0, 0}, 1, 90 * 16, -45 * 16},
      {"(start 2 1) (end 4 3) (angle -180)",
       {2, 1},
       std::sqrt(8.0),
       -45 * 16,
       180 * 16},
      {"(start 2 1) (end 0 -1) (angle 30)",
       {2, 1},
       std::sqrt(8.0),
       -225 * 16,
       -30 * 16},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arc);
    const Built built = build_pretty(std::string("(module A (fp_arc ") + c.arc +
                                     " (layer F.Fab) (width 0.1)))");
    const auto arcs = built.all<GraphicsArcItem>();
    ASSERT_EQ(arcs.size(), 1u);
    EXPECT_NEAR(arcs[0]->rect().center().x(), c.centre.x(), 1e-12);
    EXPECT_NEAR(arcs[0]->rect().center().y(), c.centre.y(), 1e-12);
    EXPECT_NEAR(arcs[0]->rect().width(), 2 * c.radius, 1e-12);
    // Degrees are kept in whole sixteenths, truncated.
    EXPECT_NEAR(arcs[0]->startAngle(), c.start, 1);
    EXPECT_EQ(arcs[0]->spanAngle(), c.span);
    EXPECT_EQ(arcs[0]->pen().color(), QColor(194, 194, 0));
  }
}

TEST(ZPrettyModuleSceneLoader, LooksAtNamesOnlyAndDrawsNothingForANullTree) {
  // The text's atom `pad` is a node named pad: a pad with no attributes.
  const Built atom =
      build_pretty("(module A (fp_text user pad (at 1 1) (layer F.SilkS)))");
  ASSERT_EQ(atom.added.size(), 2u);
  auto* pad = dynamic_cast<GraphicsPadItem*>(atom.added[0]);
  ASSERT_NE(pad, nullptr);
  EXPECT_EQ(pad->number(), "");
  EXPECT_EQ(pad->size(), QSizeF(0, 0));
  EXPECT_EQ(pad->pad_brush().color(), QColor(Qt::black));
  EXPECT_NE(dynamic_cast<GraphicsTextItem*>(atom.added[1]), nullptr);

  const Built empty = build_pretty("()");
  EXPECT_TRUE(empty.added.empty());
  EXPECT_TRUE(empty.scene->items().isEmpty());
  EXPECT_TRUE(empty.trace.empty());
}

TEST(ZPrettyModuleSceneLoader,
     TextsPastOneHundredTwentyEightKilobytesAreLeftOut) {
  for (const std::size_t length :
       {std::size_t{1} << 17, (std::size_t{1} << 17) + 1}) {
    SCOPED_TRACE(length);
    const Built built =
        build_pretty("(footprint A (fp_text user " + std::string(length, 'x') +
                     " (at 0 0) (layer F.SilkS)))");
    const bool drawn = length <= (1u << 17);
    EXPECT_EQ(built.added.size(), drawn ? 1u : 0u);
    EXPECT_EQ(built.scene->scene_loader()->not_drawn(),
              drawn ? (std::map<std::string, int>{})
                    : (std::map<std::string, int>{{"text too long", 1}}));
  }
}

// Counts read from the files with grep: fp_line, fp_circle, fp_arc,
// fp_poly, pad, and fp_text with a non-empty text.
struct PrettyFile {
  const char* path;
  int lines, circles, arcs, polygons, pads, texts;
  bool kicad5;  // `(module ...)`: one "module->" trace line
};

void PrintTo(const PrettyFile& f, std::ostream* out) {
  *out << f.path;
}

class PrettyRealFile : public testing::TestWithParam<PrettyFile> {};

TEST_P(PrettyRealFile, HasOneItemPerElementWithTheTextsOnTop) {
  PADSCOPE_REQUIRE_SHARED_TESTDATA();
  const PrettyFile& f = GetParam();
  const Built built = build_pretty(padscope::test::read_file(
      padscope::test::shared_testdata_dir() + "/" + f.path));
  EXPECT_EQ(built.all<GraphicsLineItem>().size(), std::size_t(f.lines));
  EXPECT_EQ(built.all<GraphicsCircleItem>().size(), std::size_t(f.circles));
  EXPECT_EQ(built.all<GraphicsArcItem>().size(), std::size_t(f.arcs));
  EXPECT_EQ(built.all<GraphicsPolygonItem>().size(), std::size_t(f.polygons));
  EXPECT_EQ(built.all<GraphicsPadItem>().size(), std::size_t(f.pads));
  EXPECT_EQ(built.all<GraphicsTextItem>().size(), std::size_t(f.texts));
  const int total =
      f.lines + f.circles + f.arcs + f.polygons + f.pads + f.texts;
  ASSERT_EQ(built.added.size(), std::size_t(total));
  EXPECT_EQ(built.scene->items().size(), total);
  EXPECT_EQ(built.first_text(), std::size_t(total - f.texts));
  EXPECT_EQ(built.trace, f.kicad5 ? std::vector<std::string>{"module->"}
                                  : std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(
    Files, PrettyRealFile,
    testing::Values(
        PrettyFile{"kicad6/DIP-8_W7.62mm.kicad_mod", 14, 0, 1, 0, 8, 3, false},
        // One of its four texts is empty.
        PrettyFile{"kicad6/Converter_DCDC_Murata_NCS1SxxxxSC_THT.kicad_mod", 15,
                   0, 0, 0, 5, 3, false},
        PrettyFile{
            "kicad6/DINRailAdapter_3xM3_PhoenixContact_1201578.kicad_mod", 8, 9,
            0, 0, 3, 3, false},
        PrettyFile{"kicad6/OSHW-Logo2_9.8x8mm_SilkScreen.kicad_mod", 0, 0, 0,
                   13, 0, 2, false},
        PrettyFile{"kicad6/Xilinx_FFG1926_FFG1927_FFG1928_FFG1930.kicad_mod",
                   13, 0, 0, 0, 1924, 3, false},
        PrettyFile{"kicad5/Relay_SPDT_RAYEX-L90.kicad_mod", 43, 1, 20, 0, 6, 3,
                   true},
        PrettyFile{"kicad5/ST_TFBGA-225_13x13mm_Layout15x15_P0.8mm.kicad_mod",
                   13, 0, 0, 0, 225, 3, true},
        // CRLF line ends.
        PrettyFile{"kicad5/SW_Digitast.kicad_mod", 31, 0, 0, 0, 6, 3, true},
        // No line feed after the last parenthesis.
        PrettyFile{"kicad5/Jack_3.5mm_CUI_SJ1-3533NG_Horizontal.kicad_mod", 20,
                   0, 0, 0, 3, 3, true},
        // Texts only; one of them is the bare atom %R.
        PrettyFile{"kicad5/Relay_DPDT_Kemet_EE2_NU.kicad_mod", 0, 0, 0, 0, 0, 4,
                   true}),
    [](const testing::TestParamInfo<PrettyFile>& info) {
      return test::param_name(info.param.path);
    });

}  // namespace
}  // namespace zwidget::zcvpcb
