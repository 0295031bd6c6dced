#include "support/item_image.h"
#include "support/qt_printers.h"
#include "support/test_data.h"
#include "zwidget/zgraph/arc_item.h"
#include "zwidget/zgraph/circle_item.h"
#include "zwidget/zgraph/line_item.h"
#include "zwidget/zgraph/pad_item.h"
#include "zwidget/zgraph/polygon_item.h"
#include "zwidget/zgraph/text_item.h"
#include "zwidget/zviewer/viewer_test_support.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

#include <cmath>

namespace zwidget::zcvpcb {
namespace {

using namespace zwidget::zgraph;
using test::Built;

// An item as text: kind, geometry, pen and fill, to 1e-4; arc angles in
// degrees.
std::string describe(const QGraphicsItem* item) {
  const auto n = [](double v) {
    return QString::number(std::round(v * 1e4) / 1e4 + 0.0).toStdString();
  };
  const auto at = [&](const QPointF& p) { return n(p.x()) + "," + n(p.y()); };
  const auto pen = [&](const QPen& p) -> std::string {
    if (p.color() == Qt::black && p.widthF() == 0) return "";
    const bool layer_pen = p.style() == Qt::SolidLine &&
                           p.capStyle() == Qt::RoundCap &&
                           p.joinStyle() == Qt::BevelJoin;
    return " " + p.color().name().toStdString() + " " + n(p.widthF()) +
           (layer_pen ? "" : " (not the layer pen)");
  };
  const auto fill = [](const QAbstractGraphicsShapeItem* shape) {
    const QBrush& brush = shape->brush();
    if (brush.style() == Qt::NoBrush) return std::string();
    return brush.color() == shape->pen().color()
               ? std::string(" filled")
               : " filled " + brush.color().name().toStdString();
  };
  if (auto* line = dynamic_cast<const GraphicsLineItem*>(item))
    return "line " + at(line->line().p1()) + " " + at(line->line().p2()) +
           pen(line->pen());
  if (auto* arc = dynamic_cast<const GraphicsArcItem*>(item))
    return "arc " + at(arc->rect().center()) + " r" +
           n(arc->rect().width() / 2) + " " +
           n(std::round(arc->startAngle() / 16.0)) + " " +
           n(std::round(arc->spanAngle() / 16.0)) + pen(arc->pen());
  if (auto* circle = dynamic_cast<const GraphicsCircleItem*>(item))
    return "circle " + at(circle->rect().center()) + " r" +
           n(circle->rect().width() / 2) + pen(circle->pen()) + fill(circle);
  if (auto* polygon = dynamic_cast<const GraphicsPolygonItem*>(item)) {
    std::string text = "polygon";
    for (const QPointF& corner : polygon->polygon()) text += " " + at(corner);
    return text + pen(polygon->pen()) + fill(polygon);
  }
  if (auto* pad = dynamic_cast<const GraphicsPadItem*>(item)) {
    const PadSpec& spec = pad->spec();
    static const char* const kTypes[] = {"thru_hole", "np_thru_hole", "smd",
                                         "connect", "other"};
    static const char* const kShapes[] = {
        "circle", "rect", "oval", "trapezoid", "roundrect", "custom", "other"};
    return "pad " + spec.number.toStdString() + "/" + kTypes[int(spec.type)] +
           "/" + kShapes[int(spec.shape)] + " " + at(spec.position) + " @" +
           n(spec.turn) + " " + n(spec.size.width()) + "x" +
           n(spec.size.height()) + " drill " + n(spec.drill.size.width()) +
           "x" + n(spec.drill.size.height()) + " " +
           pad->pad_brush().color().name().toStdString();
  }
  return kind_of(item);
}

TEST(ZSceneLoaders, MakeOneItemPerElementWithItsGeometryAndLayer) {
  const struct {
    const char* elements;
    const char* items;
  } cases[] = {
      {"(fp_line (start -1 0) (end 1 0) (layer F.SilkS) (width 0.125))",
       "line -1,0 1,0 #008484 0.125"},
      // Radius 2; a layer outside the colour table is drawn in black.
      {"(fp_circle (center 1 1) (end 1 3) (layer In1.Cu) (width 0.1))",
       "circle 1,1 r2 #000000 0.1"},
      // Layer names are compared without regard to ASCII case.
      {"(fp_line (end 1 0) (layer f.silks) (width 1))",
       "line 0,0 1,0 #008484 1"},
      // The pad's colour follows its type, not its layers.
      {"(pad 1 smd rect (at 1 2 90) (size 1 0.5) (layers F.Cu F.Mask))",
       "pad 1/smd/rect 1,2 @90 1x0.5 drill 0x0 #840000"},
      {"(pad 2 np_thru_hole circle (size 1 1) (drill 1) (layers *.Cu))",
       "pad 2/np_thru_hole/circle 0,0 @0 1x1 drill 1x1 #c2c200"},
      {"(pad 3 SMD rect)", "pad 3/other/rect 0,0 @0 0x0 drill 0x0 #840000"},
      // Texts come last; an empty one makes nothing.
      {"(fp_text value R1 (at 0 -2)) (fp_text user \"\") (fp_line (end 1 0))",
       "line 0,0 1,0; text"},
      // Only the footprint's own elements count: not the text's atom `pad`.
      {"(fp_text user pad (at 1 1))", "text"},
      // Without `mid`: start is the centre, end where the arc begins, and
      // both angles are negated. dx = 0 gives an arc tangent of +-90.
      {"(fp_arc (start 0 0) (end -1 0) (angle 90))", "arc 0,0 r1 -180 -90"},
      {"(fp_arc (start 0 0) (end 0 1) (angle 45))", "arc 0,0 r1 -90 -45"},
      {"(fp_arc (start 0 0) (end 0 -1) (angle 45))", "arc 0,0 r1 90 -45"},
      {"(fp_arc (start 2 1) (end 4 3) (angle -180))",
       "arc 2,1 r2.8284 -45 180"},
      // From start through mid to end, either way round.
      {"(fp_arc (start 1 0) (mid 0.7071 0.7071) (end 0 1))",
       "arc 0,0 r1 0 -90"},
      {"(fp_arc (start 0 1) (mid 0.6 0.8) (end 1 0))", "arc 0,0 r1 -90 90"},
      {"(fp_arc (start 1 0) (mid -0.6 -0.8) (end 0 1))", "arc 0,0 r1 0 270"},
      // On one line, flatter than the arc item's sixteenth of a degree, or
      // out of the double's range on the way to a centre: a line.
      {"(fp_arc (start 0 0) (mid 1 1) (end 2 2))", "line 0,0 2,2"},
      {"(fp_arc (start 1 1) (mid 0 0) (end 1 1))", "line 1,1 1,1"},
      {"(fp_arc (start 0 0) (mid 5 0.000002) (end 10 0))", "line 0,0 10,0"},
      {"(fp_arc (start 0 0) (mid 1e300 1e300) (end 1e-300 -1e300))",
       "line 0,0 0,-1e+300"},
      // Rectangles are polygons; a solid fill takes the layer colour.
      {"(fp_rect (start 1 2) (end -1 -2) (layer F.SilkS) (fill solid))",
       "polygon 1,2 -1,2 -1,-2 1,-2 #008484 0 filled"},
      {"(fp_poly (pts (xy 0 0) (xy 1 0) (xy 1 1)) (layer F.SilkS))",
       "polygon 0,0 1,0 1,1 #008484 0"},
      {"(fp_circle (end 1 0) (layer F.SilkS) (width 0.1) (fill solid))",
       "circle 0,0 r1 #008484 0.1 filled"},
      // Legacy records in the file's units, angles in tenths of a degree.
      {"T0 0 -600 600 500 0 120 N V 21 N \"R1\"\nDS -500 0 500 0 120 21",
       "line -500,0 500,0 #008484 120; text"},
      {"DC 0 0 0 300 120 21", "circle 0,0 r300 #008484 120"},
      // A trailing blank, as old files have.
      {"DA 0 0 0 -100 900 120 21 ", "arc 0,0 r100 90 -90 #008484 120"},
      {"DA 10 10 0 10 -450 50 25", "arc 10,10 r10 -180 45 #840084 50"},
      {"DP 0 0 0 0 3 80 21\nDl 0 0\nDl 100 0\nDl 100 50",
       "polygon 0,0 100,0 100,50 #008484 80"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.elements);
    const std::string elements = c.elements;
    const Built built =
        Built(elements.front() == '('
                  ? "(footprint X " + elements + ")"
                  : "$MODULE X\n" + elements + "\n$EndMODULE X\n");
    std::string items;
    for (const QGraphicsItem* item : built.added)
      items += (items.empty() ? "" : "; ") + describe(item);
    EXPECT_EQ(items, c.items);
  }
  EXPECT_TRUE(Built("()").added.empty());
}

TEST(ZPrettyModuleSceneLoader, PadsReadTheirShapesAndWhatIsNotDrawnIsCounted) {
  const Built built = Built(
      "(footprint X (property Reference R1 (at 0 0))"
      " (pad 1 smd roundrect (size 2 1) (property pad_prop_heatsink))"
      " (pad 2 smd roundrect (roundrect_rratio 0) (chamfer_ratio 0.3)"
      "  (chamfer bottom_right top_left))"
      " (pad 3 smd custom (size 1 1) (options (anchor circle)) (primitives"
      "  (gr_poly (pts (xy 0 0) (xy 1 0) (xy 1 1)) (width 0))"
      "  (gr_poly (pts (xy 0 0) (xy 1 0) (xy 1 1)) (width 0.1) (fill none))"
      "  (gr_line (start 0 0) (end 1 0) (width 0.2))"
      "  (gr_rect (start 0 0) (end 1 1) (width 0) (fill yes))"
      "  (gr_circle (center 0 0) (end 1 0) (width 0))"
      "  (gr_circle (center 0 0) (end 1 0) (width 0.1))"
      "  (gr_arc (start 1 0) (mid 0 1) (end -1 0) (width 0.1))"
      "  (gr_arc (start 0 0) (end 1 0) (angle 90) (width 0.1))"
      "  (gr_curve (pts (xy 0 0) (xy 1 0) (xy 1 1) (xy 0 1)))))"
      " (pad 4 smd octagon (size 1 1)))");
  const auto pads = built.all<GraphicsPadItem>();
  ASSERT_EQ(pads.size(), 4u);
  EXPECT_EQ(pads[0]->spec().options.roundrect_ratio, 0.25);
  const PadShapeOptions& cut = pads[1]->spec().options;
  EXPECT_EQ(cut.roundrect_ratio + cut.chamfer_ratio, 0.3);
  EXPECT_TRUE(cut.chamfered.top_left && cut.chamfered.bottom_right);
  EXPECT_FALSE(cut.chamfered.top_right || cut.chamfered.bottom_left);
  const PadShapeOptions& custom = pads[2]->spec().options;
  EXPECT_EQ(custom.anchor, "circle");
  // Widths and fills, in file order; a circle of width 0 is a disc.
  std::string drawn;
  for (const PadPrimitive& p : custom.primitives)
    drawn += std::to_string(p.width).substr(0, 3) + (p.filled ? "F " : "- ");
  EXPECT_EQ(drawn, "0.0F 0.1- 0.2- 0.0F 0.0F 0.1- 0.1- 0.1- ");
  // The three-point arc bulges down to (0, 1).
  EXPECT_NEAR(custom.primitives[6].path.boundingRect().bottom(), 1, 1e-6);
  EXPECT_EQ(built.not_drawn(),
            (std::map<std::string, int>{{"pad primitive 'gr_curve'", 1},
                                        {"pad shape 'octagon'", 1},
                                        {"property", 1}}));
}

TEST(ZLegacyModuleSceneLoader,
     DrawsEveryTextKindTurnedByTenthsAndTracesTheRest) {
  const Built built = Built(
      "$MODULE R1\n"
      "T0 0 -600 600 500 0 120 N V 21 N \"R1\"\n"
      "T2 0 0 600 600 0 120 N V 21 N \"WIDE\"\n"
      "T3 0 0 600 600 900 120 N V 20 N \"WIDE\"\n"  // turned by 90 degrees
      "T1 0 600 600 600 0 120 N I 21 I \"10k\"\n"   // hidden and italic
      "T2 0 0 600 600 2700 120 M V 21 N \"%R=%V\"\n"
      "$EndMODULE R1\n");
  const auto texts = built.all<GraphicsTextItem>();
  ASSERT_EQ(texts.size(), 5u);
  // Mirrored, and turned by 270 degrees it is kept readable at 90.
  EXPECT_EQ(texts[4]->content(), "R1=10k");
  EXPECT_TRUE(texts[4]->text_style().mirrored);
  EXPECT_EQ(texts[4]->text_angle(), 90);
  EXPECT_TRUE(texts[0]->boundingRect().contains(QPointF(0, -600)));
  const QRectF level = texts[1]->boundingRect();
  const QRectF turned = texts[2]->boundingRect();
  EXPECT_GT(level.width(), 2 * level.height());
  EXPECT_NEAR(turned.height(), level.width(), 1e-6 * level.width());
  std::string traced;
  for (const char* tag :
       {"$MODULE", "T0", "T2", "T3", "T1", "T2", "$EndMODULE"})
    traced += std::string("ZLegacyModuleSceneLoader tag:") + tag + "\n";
  EXPECT_EQ(built.trace, traced);
}

class RealFiles : public testing::TestWithParam<const char*> {};

// Every element of every file has its item, texts on top, and every pad
// paints; KiCad writes one element a line, so lines are counted.
TEST_P(RealFiles, DrawEveryElementWithTheTextsOnTop) {
  PADSCOPE_REQUIRE_SHARED_TESTDATA();
  const bool legacy = std::string(GetParam()) == "legacy";
  const QRegularExpression element(
      legacy ? R"(^(?:(D[SCAP])\s|(T)\d+\s[^"\n]*"[^"\n]+"))"
             : R"(\n  \((fp_(line|arc|circle|poly|curve|rect)|pad|fp_text(?! )"
               R"(\S+ ""))[ )])",
      QRegularExpression::MultilineOption);
  const std::map<QString, std::string> kind{
      {"DS", "line"},         {"DC", "circle"},        {"DA", "arc"},
      {"DP", "polygon"},      {"T", "text"},           {"fp_line", "line"},
      {"fp_arc", "arc"},      {"fp_circle", "circle"}, {"fp_poly", "polygon"},
      {"fp_rect", "polygon"}, {"fp_curve", "curve"},   {"pad", "pad"},
      {"fp_text", "text"}};
  for (const std::string& path : padscope::test::files_with_suffix(
           padscope::test::shared_testdata_dir() + "/" + GetParam(),
           legacy ? ".mod" : ".kicad_mod")) {
    SCOPED_TRACE(path);
    const std::string text = padscope::test::read_file(path);
    const QString lines = QString::fromStdString(text);
    const auto count = [&lines](const char* pattern) {
      int n = 0;
      QRegularExpression found(pattern, QRegularExpression::MultilineOption);
      for (auto match = found.globalMatch(lines); match.hasNext(); match.next())
        ++n;
      return n;
    };
    const Built built = Built(text);
    std::map<std::string, int> expected, counts;
    for (auto match = element.globalMatch(lines); match.hasNext();) {
      const QRegularExpressionMatch m = match.next();
      ++expected[kind.at(m.captured(1) + (legacy ? m.captured(2) : ""))];
    }
    std::string order;  // texts last
    for (QGraphicsItem* item : built.added) {
      ++counts[kind_of(item)];
      order += kind_of(item) == "text" ? "t" : "i";
    }
    EXPECT_EQ(counts, expected);
    EXPECT_EQ(order.find("ti"), std::string::npos);
    if (legacy) {
      int corners = 0;
      for (const GraphicsPolygonItem* polygon :
           built.all<GraphicsPolygonItem>())
        corners += polygon->polygon().size();
      EXPECT_EQ(corners, count(R"(^Dl\s)"));
      continue;
    }
    EXPECT_EQ(built.trace, text.rfind("(module", 0) == 0 ? "module->\n" : "");
    for (const auto& [what, n] : built.not_drawn())
      EXPECT_EQ(what, "zone") << n;
    for (GraphicsPadItem* pad : built.all<GraphicsPadItem>()) {
      const QRectF area = pad->boundingRect();
      const padscope::test::ItemImage alone(
          *pad, area, 64 / std::max(area.width(), area.height()));
      const QColor colour = pad->pad_brush().color();
      EXPECT_FALSE(
          alone.extent([&](const QColor& c) { return c == colour; }).isEmpty())
          << pad->spec().number.toStdString();
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Folders, RealFiles,
                         testing::Values("kicad5", "kicad6", "legacy"),
                         [](const testing::TestParamInfo<const char*>& info) {
                           return std::string(info.param);
                         });

}  // namespace
}  // namespace zwidget::zcvpcb
