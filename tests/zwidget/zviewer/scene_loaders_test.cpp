#include "support/item_image.h"
#include "support/qt_printers.h"
#include "support/test_data.h"
#include "zwidget/zgraph/arc_item.h"
#include "zwidget/zgraph/circle_item.h"
#include "zwidget/zgraph/dimension_item.h"
#include "zwidget/zgraph/line_item.h"
#include "zwidget/zgraph/pad_item.h"
#include "zwidget/zgraph/polygon_item.h"
#include "zwidget/zgraph/text_item.h"
#include "zwidget/zgraph/zone_item.h"
#include "zwidget/zviewer/grid_painter.h"
#include "zwidget/zviewer/item_tags.h"
#include "zwidget/zviewer/viewer_test_support.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QStyleOptionGraphicsItem>
#include <QtMath>

#include <cmath>
#include <cstring>
#include <sstream>

namespace zwidget::zcvpcb {
namespace {

using namespace zwidget::zgraph;
using test::Built;
using Points = std::vector<QPointF>;

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
           "x" + n(spec.drill.size.height()) +
           (spec.drill.oval ? " slot" : "") +
           (spec.deltas.isNull() ? ""
                                 : " delta " + n(spec.deltas.width()) + "," +
                                       n(spec.deltas.height())) +
           " " + pad->pad_brush().color().name().toStdString();
  }
  if (auto* zone = dynamic_cast<const GraphicsZoneItem*>(item)) {
    static const char* const kHatch[] = {"none", "edge", "full"};
    return "zone " + zone->colour().name().toStdString() + " " +
           kHatch[int(zone->hatch())] + " " +
           std::to_string(zone->outlines().size()) + "/" +
           std::to_string(zone->fills().size());
  }
  if (auto* dimension = dynamic_cast<const GraphicsDimensionItem*>(item)) {
    std::string text = "dimension";
    for (const QPolygonF& stroke : dimension->strokes())
      text += " " + at(stroke.front()) + (stroke.size() > 2 ? "<" : "-") +
              at(stroke.back());
    return text + pen(dimension->dimension_pen());
  }
  if (auto* text = dynamic_cast<const GraphicsTextItem*>(item))
    return "text " + text->content().toStdString();
  return kind_of(item);
}

TEST(ZSceneLoaders, MakeOneItemPerElementWithItsGeometryAndLayer) {
  const struct {
    const char* elements;
    const char* items;
  } cases[] = {
      // Layer names in any ASCII case.
      {"(fp_line (start -1 0) (end 1 0) (layer f.silkS) (width 0.125))",
       "line -1,0 1,0 #008484 0.125"},
      // Radius 2; a layer outside the colour table is drawn in black.
      {"(fp_circle (center 1 1) (end 1 3) (layer In31.Cu) (width 0.1)"
       " (fill solid))",
       "circle 1,1 r2 #000000 0.1 filled"},
      // Numbered user layers take the user drawing layer's colour.
      {"(fp_line (end 1 0) (layer User.2) (width 1))",
       "line 0,0 1,0 #c2c2c2 1"},
      // The pad's colour follows its type, wherever its copper is listed, or
      // without copper its first layer, the front one of a wildcard.
      {"(pad 1 smd rect (at 1 2 90) (size 1 0.5) (layers F.SilkS F.Cu))",
       "pad 1/smd/rect 1,2 @90 1x0.5 drill 0x0 #840000"},
      {"(pad \"\" connect roundrect (size 1 1) (layers *.Mask F.Paste))",
       "pad /connect/roundrect 0,0 @0 1x1 drill 0x0 #840084"},
      {"(pad 2 np_thru_hole circle (size 1 1) (drill 1) (layers *.Cu))",
       "pad 2/np_thru_hole/circle 0,0 @0 1x1 drill 1x1 #c2c200; hole"},
      {"(pad 3 SMD rect)", "pad 3/other/rect 0,0 @0 0x0 drill 0x0 #840000"},
      // Texts come last; an empty one makes nothing.
      {"(fp_text value R1 (at 0 -2)) (fp_text user \"\") (fp_line (end 1 0))",
       "line 0,0 1,0; text R1"},
      // Only the footprint's own elements count: not the text's atom `pad`.
      {"(fp_text user pad (at 1 1))", "text pad"},
      // Without `mid`: start is the centre, end where the arc begins, and
      // both angles are negated. dx = 0 gives an arc tangent of +-90.
      {"(fp_arc (start 0 0) (end -1 0) (angle 90))", "arc 0,0 r1 -180 -90"},
      {"(fp_arc (start 0 0) (end 0 1) (angle 45))", "arc 0,0 r1 -90 -45"},
      {"(fp_arc (start 2 1) (end 4 3) (angle -180))",
       "arc 2,1 r2.8284 -45 180"},
      // From start through mid to end, either way round.
      {"(fp_arc (start 1 0) (mid 0.7071 0.7071) (end 0 1))",
       "arc 0,0 r1 0 -90"},
      {"(fp_arc (start 0 1) (mid 0.6 0.8) (end 1 0))", "arc 0,0 r1 -90 90"},
      // Ending where it begins, the whole circle across to mid (a terminal
      // block's); 2e-6 off one line, an arc; on it, or out of the double's
      // range on the way to a centre, a line.
      {"(fp_arc (start 5.08 1.63) (mid 5.08 -2.23) (end 5.08 1.63))",
       "arc 5.08,-0.3 r1.93 -90 360"},
      {"(fp_arc (start 0 0) (mid 5 0.000002) (end 10 0))",
       "arc 5,-6.25e+06 r6.25e+06 -90 0"},
      {"(fp_arc (start 0 0) (mid 1 1) (end 2 2))", "line 0,0 2,2"},
      {"(fp_arc (start 0 0) (mid 1e300 1e300) (end 1e-300 -1))",
       "line 0,0 0,-1"},
      // Rectangles are polygons; a solid fill takes the layer colour.
      {"(fp_rect (start 1 2) (end -1 -2) (layer F.SilkS) (fill solid))",
       "polygon 1,2 -1,2 -1,-2 1,-2 #008484 0 filled"},
      // A polygon without a fill is filled in KiCad 5's files only.
      {"(fp_poly (pts (xy 0 0) (xy 1 0) (xy 1 1)) (layer F.SilkS))",
       "polygon 0,0 1,0 1,1 #008484 0"},
      {"(module X (fp_poly (pts (xy 0 0) (xy 1 0)) (layer B.SilkS)))",
       "polygon 0,0 1,0 #840084 0 filled"},
      // A padstack's front shape, or its back one, in the back copper's
      // colour, for a pad only there; the pad's own children where the
      // stack's layer has none.
      {"(pad 1 smd rect (size 1 1) (layers F.Cu) (padstack (mode custom)"
       " (layer \"B.Cu\" (shape oval) (size 3 1)) (layer \"F.Cu\" (shape"
       " circle))))",
       "pad 1/smd/circle 0,0 @0 1x1 drill 0x0 #840000"},
      {"(pad 1 smd rect (size 1 1) (layers B.Cu) (padstack (mode custom)"
       " (layer \"B.Cu\" (shape oval) (size 3 1)) (layer \"F.Cu\" (shape"
       " circle))))",
       "pad 1/smd/oval 0,0 @0 3x1 drill 0x0 #008400"},
      // Each line with its own layer and width, whatever the last.
      {"(fp_line (end 1 0) (layer F.SilkS) (width 0.1))"
       " (fp_line (end 1 0) (layer F.SilkS) (width 0.2))"
       " (fp_line (end 1 0) (layer F.Fab) (width 0.2))",
       "line 0,0 1,0 #008484 0.1; line 0,0 1,0 #008484 0.2; "
       "line 0,0 1,0 #c2c200 0.2"},
      // Each pad in its type's colour on its own layers, whatever the last.
      {"(pad 1 smd rect (size 1 1) (layers F.Cu))"
       " (pad 2 thru_hole rect (size 1 1) (layers F.Cu))"
       " (pad 3 thru_hole rect (size 1 1) (layers B.Cu))",
       "pad 1/smd/rect 0,0 @0 1x1 drill 0x0 #840000; "
       "pad 2/thru_hole/rect 0,0 @0 1x1 drill 0x0 #c2c200; "
       "pad 3/thru_hole/rect 0,0 @0 1x1 drill 0x0 #008400"},
      // Zones lie beneath all else, one a layer: *.Cu names both outer
      // ones, inner ones are not shown, and keep-outs are not filled.
      {"(fp_line (end 1 0)) (zone (layers *.Cu In1.Cu) (hatch edge 0.5)"
       " (keepout (tracks not_allowed)) (polygon (pts (xy 0 0) (xy 1 0)"
       " (xy 1 1))) (filled_polygon (layer F.Cu) (pts (xy 0 0) (xy 1 1))))",
       "zone #840000 edge 1/0; zone #008400 edge 1/0; line 0,0 1,0"},
      {"(zone (layer F.Cu) (hatch full 0.3) (polygon (pts (xy 0 0) (xy 1 1)))"
       " (filled_polygon (layer F.Cu) (pts (xy 0 0) (xy 1 1)))"
       " (filled_polygon (layer B.Cu) (pts (xy 0 0) (xy 1 1))))",
       "zone #840000 full 1/1"},
      // The bar 1 below A-B with its extension lines, arrows opening along
      // it, and the measured length in the format's units and precision.
      {"(dimension (type aligned) (layer F.Fab) (pts (xy 0 0) (xy 10 0))"
       " (height 1) (gr_text \"x\" (at 5 2) (layer F.Fab)) (format (units 2)"
       " (units_format 1) (precision 2)) (style (thickness 0.1)"
       " (arrow_length 1) (extension_height 0.5) (extension_offset 0.25)))",
       "dimension 0,0.25-0,1.5 10,0.25-10,1.5 0,1-10,1 "
       "0.887,1.4617<0.887,0.5383"
       " 9.113,0.5383<9.113,1.4617 #c2c200 0.1; text 10.00 mm"},
      {"(dimension (type leader) (layer F.Fab) (pts (xy 0 0) (xy 2 -2))"
       " (gr_text \"Pin 1\" (at 3 -2) (layer F.Fab)) (format (units 2)"
       " (override_value \"P1\") (prefix \"<\") (suffix \">\")))",
       "dimension 0,0-2,-2 1.2112,-0.3819<0.3819,-1.2112 #c2c200 0;"
       " text <P1>"},
      // Legacy records in the file's units, angles in tenths of a degree.
      {"T0 0 -600 600 500 0 120 N V 21 N \"R1\"\nDS -500 0 500 0 120 21\n"
       "DC 0 0 0 300 120 21",
       "line -500,0 500,0 #008484 120; circle 0,0 r300 #008484 120; text R1"},
      // Every layer number in its layer's colour; 21 and 25 keep theirs.
      {"DS 0 0 100 0 50 20\nDS 0 0 100 0 50 28",
       "line 0,0 100,0 #840084 50; line 0,0 100,0 #c2c200 50"},
      // A trailing blank, as old files have.
      {"DA 0 0 0 -100 900 120 21 ", "arc 0,0 r100 90 -90 #008484 120"},
      {"DA 10 10 0 10 -450 50 25", "arc 10,10 r10 -180 45 #840084 50"},
      // Beyond a turn, reduced by whole turns; whole turns stay a circle.
      {"DA 0 0 1 0 5400 1 21\nDA 0 0 1 0 -4500 1 21\nDA 0 0 1 0 7200 1 21",
       "arc 0,0 r1 0 -180 #008484 1; arc 0,0 r1 0 90 #008484 1; "
       "arc 0,0 r1 0 -360 #008484 1"},
      {"DP 0 0 0 0 3 80 21\nDl 0 0\nDl 100 0\nDl 100 50",
       "polygon 0,0 100,0 100,50 #008484 80"},
      // Real pads: a ring, a hole, a slot, a trapezoid turned by tenths;
      // one on the back copper alone, in its colour.
      {"$PAD\nSh \"1\" C 787 787 0 0 0\nDr 197 0 0\nAt STD N 00E0FFFF\n"
       "Po -2000 0\n$EndPAD",
       "pad 1/thru_hole/circle -2000,0 @0 787x787 drill 197x197 #c2c200; "
       "hole"},
      {"$PAD\nSh \"Hole\" C 1.39954 1.39954 0 0 0\nAt HOLE N 00E0FFFF\n$EndPAD",
       "pad Hole/np_thru_hole/circle 0,0 @0 1.3995x1.3995 drill 0x0 #c2c200"},
      {"$PAD\nSh \"MNT\" O 1.99898 1.50114 0 0 0\nDr 1.09982 0 0 O 1.09982 "
       "0.70104\nAt STD N 00E0FFFF\nPo -2.57556 -3.62458\n$EndPAD",
       "pad MNT/thru_hole/oval -2.5756,-3.6246 @0 1.999x1.5011 drill "
       "1.0998x0.701 slot #c2c200; hole"},
      {"$PAD\nSh \"\" T 1.45796 1.4986 0 -0.2794 1800\nAt SMD N 00888000\n"
       "$EndPAD",
       "pad /smd/trapezoid 0,0 @180 1.458x1.4986 drill 0x0 delta 0,-0.2794 "
       "#840000"},
      {"$PAD\nSh \"4\" O 2.99974 1.00076 0 0 0\nAt SMD N 00440001\n$EndPAD",
       "pad 4/smd/oval 0,0 @0 2.9997x1.0008 drill 0x0 #008400"},
      // Without copper, in the colour of its first layer: F.SilkS of it and
      // F.Mask.
      {"$PAD\nSh \"\" R 1 1 0 0 0\nAt SMD N 00A00000\n$EndPAD",
       "pad /smd/rect 0,0 @0 1x1 drill 0x0 #008484"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.elements);
    const Built built(test::footprint_of(c.elements));
    std::string items;
    for (const QGraphicsItem* item : built.added)
      items += (items.empty() ? "" : "; ") + describe(item);
    EXPECT_EQ(items, c.items);
  }
  EXPECT_TRUE(Built("()").added.empty());
}

// Runs of ink along a line 10 long and 0.2 wide: dashes 12 widths long with
// gaps of 3, dots a width across 3 apart.
TEST(ZPrettyModuleSceneLoader, LineStylesBreakTheLineInKiCadsProportions) {
  const struct {
    const char* type;
    int runs;
  } cases[] = {{"solid", 1}, {"default", 1},  {"dash", 4},
               {"dot", 13},  {"dash_dot", 5}, {"dash_dot_dot", 7}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.type);
    const Built built(std::string("(footprint X (fp_line (start 0 0) (end 10 0)"
                                  " (stroke (width 0.2) (type ") +
                      c.type + ")) (layer F.SilkS)))");
    // Qt's line item leaves its pen on the painter.
    QImage image(480, 8, QImage::Format_ARGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    painter.setTransform(QTransform(40, 0, 0, 40, 20, 4));
    const QStyleOptionGraphicsItem option;
    built.added.front()->paint(&painter, &option, nullptr);
    int runs = 0;
    bool inked = false;
    for (int x = 0; x < image.width(); ++x) {
      const bool here = image.pixelColor(x, 4) != Qt::black;
      runs += here && !inked;
      inked = here;
    }
    EXPECT_EQ(runs, c.runs);
  }
}

TEST(ZPrettyModuleSceneLoader, PadsReadTheirShapesAndWhatIsNotDrawnIsCounted) {
  const Built built = Built(
      "(footprint X (image (at 0 0) (data x))"
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
                                        {"image", 1}}));
}

// The texts as text: what each shows, its angle, thickness and look.
std::string describe_texts(const Built& built) {
  std::ostringstream out;
  for (const GraphicsTextItem* text : built.all<GraphicsTextItem>()) {
    const TextStyle& style = text->text_style();
    out << (out.tellp() > 0 ? "; " : "") << text->content().toStdString()
        << " @" << text->text_angle() << " t" << text->text_thickness() << " "
        << int(style.horizontal) << int(style.vertical);
    for (const auto& [set, word] : {std::pair{text->hidden(), " hidden"},
                                    {style.mirrored, " mirrored"},
                                    {style.knockout, " knockout"},
                                    {style.wrap_width > 0, " wrapped"}})
      if (set) out << word;
    if (!style.face.isEmpty()) out << " " << style.face.toStdString();
  }
  return out.str();
}

TEST(ZPrettyModuleSceneLoader, TextsHideTurnAndLookAsKiCadShowsThem) {
  const struct {
    const char *element, *texts;
  } cases[] = {
      {"(fp_text user A (at 1 2) (layer F.SilkS) (hide no))", "A @0 t0 11"},
      {"(fp_text user A (at 1 2) (layer F.SilkS) hide)", "A @0 t0 11 hidden"},
      {"(fp_text user A (layer F.SilkS) (effects (font) hide))",
       "A @0 t0 11 hidden"},
      // Properties are fields first: hidden, without a layer or empty, none.
      {"(property K A (at 1 2) (layer F.SilkS) (hide yes))", ""},
      {"(property K A (at 1 2))", ""},
      {"(property K \"\" (at 1 2) (layer F.SilkS))", ""},
      // Upside down turns upright, unless unlocked, keeping its justification;
      // without a thickness, strokes are 0.15 wide.
      {"(fp_text user A (at 0 0 180) (layer F.Fab) (effects (font (size 1 1))"
       " (justify left top)))",
       "A @0 t0.15 00"},
      {"(property K A (at 0 0 180) (unlocked yes) (layer F.Fab))",
       "A @180 t0 11"},
      // Bold keeps its thickness, which stays below a quarter of the text's
      // smaller side; back texts are mirrored.
      {"(property K A (at 0 0) (layer B.SilkS) (effects (font (size 1 1)"
       " (thickness 0.1) (bold yes)) (justify right mirror)))",
       "A @0 t0.1 21 mirrored"},
      {"(fp_text user A (at 0 0) (layer F.Cu) (effects (font (face \"Arial\")"
       " (size 2 1) (thickness 0.3)) (knockout yes)))",
       "A @0 t0.25 11 knockout Arial"},
      // Variables show what they stand for, from properties or older texts.
      {"(property Reference R7 (layer F.SilkS)) (property Value 10k (layer"
       " F.Fab)) (fp_text user \"${REFERENCE}=${VALUE}\")",
       "R7 @0 t0 11; 10k @0 t0 11; R7=10k @0 t0 11"},
      {"(module X (fp_text reference U1) (fp_text value 4k7) (fp_text user"
       " \"%R %V\"))",
       "U1 @0 t0 11; 4k7 @0 t0 11; U1 4k7 @0 t0 11"},
      // A box's text wraps, centred inside its margins.
      {"(fp_text_box \"! !\" (start 0 0) (end 4 2) (margins 0.5 0.5 0.5 0.5)"
       " (layer F.Fab) (effects (font (size 1 1))) (border yes)"
       " (stroke (width 0.1)))",
       "! ! @0 t0.125 11 wrapped"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.element);
    const Built built(test::footprint_of(c.element));
    EXPECT_EQ(describe_texts(built), c.texts);
    EXPECT_TRUE(built.not_drawn().empty());
  }
  const Built box(test::footprint_of(std::end(cases)[-1].element));
  EXPECT_EQ(describe(box.added.front()), "polygon 0,0 4,0 4,2 0,2 #c2c200 0.1");
  // Where KiCad 9 plots its ink.
  padscope::test::expect_near(
      box.all<GraphicsTextItem>().front()->boundingRect(),
      QRectF(QPointF(1.2708, 0.3936), QPointF(2.7292, 1.5186)), 0.02);
}

// The text or pad of each element drawn where KiCad 9's plot of it has ink, in
// millimetres from that plot; "!" and "_" are glyphs both fonts draw alike.
TEST(ZSceneLoaders, DrawWhereKiCadPlotsTheSame) {
  const auto text = [](const char* shown, const char* rest) {
    return std::string("(fp_text user \"") + shown + "\" " + rest +
           " (effects (font (size 1 1) (thickness 0.15))" +
           (std::strstr(rest, "180") ? " (justify left bottom)))" : "))");
  };
  const struct {
    std::string element;
    QRectF kicad;
  } cases[] = {
      // Upright about its anchor, still left and bottom justified.
      {text("!_!", "(at 0 1.5 180) (layer F.SilkS)"),
       QRectF(QPointF(0.2142, 0.2948), QPointF(1.6975, 1.5401))},
      {text("~{!_!}", "(layer F.SilkS)"),
       QRectF(QPointF(-0.8321, -0.8978), QPointF(0.8321, 0.6251))},
      {text("!_{!}", "(layer F.SilkS)"),
       QRectF(QPointF(-0.3131, -0.6202), QPointF(0.3512, 0.6403))},
      {text("!^{!}", "(layer F.SilkS)"),
       QRectF(QPointF(-0.3131, -0.7097), QPointF(0.3512, 0.5298))},
      {text("!!", "(layer In1.Cu)"),
       QRectF(QPointF(-0.3607, -0.6202), QPointF(0.3607, 0.5298))},
      // A stroke of a nanometre is drawn an eighth of the width wide.
      {"T2 0 0 1 1 0 0.000001 N V 21 N \"!!\"",
       QRectF(QPointF(-0.3482, -0.6064), QPointF(0.3482, 0.5186))},
      {"T2 0 0 1 1 0 0.1 N V 21 N \"!  \"",
       QRectF(QPointF(-0.8595, -0.5926), QPointF(-0.6643, 0.5074))},
      // The format's own overbar.
      {"T2 0 0 1 1 0 0.1 N V 21 N \"~!!~\"",
       QRectF(QPointF(-0.4262, -0.8702), QPointF(0.4262, 0.5074))},
      // A circle is as wide as its first size.
      {"$PAD\nSh \"1\" C 1.524 3.048 0 0 0\nDr 0.8 0 0\nAt STD N 00E0FFFF\n"
       "Po 0 0\n$EndPAD",
       QRectF(QPointF(-0.762, -0.762), QPointF(0.762, 0.762))},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.element);
    const Built built(test::footprint_of(c.element));
    const auto texts = built.all<GraphicsTextItem>();
    const auto pads = built.all<GraphicsPadItem>();
    ASSERT_EQ(texts.size() + pads.size(), 1u);
    QGraphicsItem& item =
        texts.empty() ? static_cast<QGraphicsItem&>(*pads[0]) : *texts[0];
    padscope::test::expect_near(
        padscope::test::ItemImage(item, {-2, -2, 4, 4}, 200).painted(), c.kicad,
        0.02);
  }
}

// Each hole shows through every pad stacked on it, painted before or after;
// the copper around it stays, and a hole half off a pad, stroked copper
// too, leaves no fill. The pads have no numbers to write over the holes.
// The scene keeps what the loader marked each item with, and an item it
// never marked, on it or on no scene, reads as a drawing of no element.
TEST(ZScene, KeepsEachItemsMarksAndNoneForOthers) {
  Built built(
      "(footprint X (fp_line (start 0 0) (end 1 0) (layer F.SilkS)"
      " (width 0.1)) (pad 1 thru_hole circle (size 1 1) (drill 0.5)"
      " (layers *.Cu F.Mask)))");
  ASSERT_EQ(test::kinds(built.added), "line pad hole");
  const QGraphicsItem *line = built.added[0], *pad = built.added[1],
                      *hole = built.added[2];
  EXPECT_EQ(element_of(line) + 1, element_of(pad));
  EXPECT_EQ(element_of(hole), element_of(pad));
  EXPECT_EQ(pad_of(line), -1);
  EXPECT_EQ(pad_of(pad), 0);
  EXPECT_EQ(pad_of(hole), 0);
  EXPECT_EQ(role_of(*line), ItemRole::drawing);
  EXPECT_EQ(role_of(*pad), ItemRole::through_pad);
  EXPECT_EQ(role_of(*hole), ItemRole::hole);
  EXPECT_EQ(layers_of(*line), QStringList{"F.SilkS"});
  EXPECT_EQ(layers_of(*pad), QStringList({"F.Cu", "B.Cu", "F.Mask"}));
  const auto unmarked = [](const QGraphicsItem& item) {
    const ItemMarks marks = marks_of(item);
    return marks.element == -1 && marks.pad == -1 &&
           marks.role == ItemRole::drawing && marks.layers.isEmpty();
  };
  QGraphicsLineItem alone;
  EXPECT_TRUE(unmarked(alone));
  // Marked out of the order of their addresses, and one marked again: the
  // last marks count.
  std::vector<QGraphicsLineItem> others(3);
  ZScene scene;
  for (int i = 2; i >= 0; --i) scene.mark(others[i], ItemMarks{i, -1, {}, {}});
  scene.mark(others[1], ItemMarks{7, -1, {}, {}});
  const std::vector<const ItemMarks*> found{
      scene.marks_of(others[0]), scene.marks_of(others[1]),
      scene.marks_of(others[2]), scene.marks_of(alone)};
  ASSERT_TRUE(found[0] && found[1] && found[2]);
  EXPECT_EQ(found[0]->element, 0);
  EXPECT_EQ(found[1]->element, 7);
  EXPECT_EQ(found[2]->element, 2);
  EXPECT_EQ(found[3], nullptr);
  for (int round = 0; round < 2; ++round) {
    auto* added = new QGraphicsLineItem;
    built.scene->addItem(added);
    EXPECT_TRUE(unmarked(*added));
    built.scene->reset();
  }
}

TEST(ZScene, CutsEveryHoleThroughThePadsStackedOnIt) {
  const Built built = Built(
      "(footprint X (pad \"\" connect circle (size 2 2) (layers B.Cu))"
      " (pad \"\" thru_hole circle (size 1 1) (drill 0.6) (layers *.Cu))"
      " (pad \"\" connect circle (size 2 2) (layers F.Cu))"
      " (pad \"\" smd rect (at 3 0) (size 1 1) (layers F.Cu))"
      " (pad \"\" thru_hole circle (at 3.5 0) (size 0.6 0.6) (drill 0.4))"
      " (pad \"\" smd custom (at 0 3) (size 0.4 0.4) (layers F.Cu) (primitives"
      "  (gr_poly (pts (xy 0 -0.2) (xy 1 -0.2) (xy 1 0.2) (xy 0 0.2))"
      "   (width 0.1))))"
      " (pad \"\" np_thru_hole circle (at 0.8 3) (size 0.2 0.2) (drill 0.2)))");
  const auto pads = built.all<GraphicsPadItem>();
  ASSERT_EQ(pads.size(), 7u);
  const struct {
    int pad;
    Points inked, black;
  } cases[] = {{0, {{0.8, 0}, {0, -0.4}}, {{0, 0}, {0.25, 0}}},
               {2, {{0.8, 0}, {0, -0.4}}, {{0, 0}, {0.25, 0}}},
               {3, {{3.1, 0}, {3.4, 0.4}}, {{3.4, 0}, {3.6, 0}}},
               {5, {{0.3, 3}, {0.8, 3.15}}, {{0.8, 3}, {0.75, 3}}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pad);
    const padscope::test::ItemImage alone(*pads[c.pad], QRectF(-2, -2, 6, 6),
                                          50);
    const QColor copper = pads[c.pad]->pad_brush().color();
    for (const QPointF& p : c.inked) EXPECT_EQ(alone.at(p), copper) << p.x();
    for (const QPointF& p : c.black) EXPECT_EQ(alone.at(p), Qt::black) << p.x();
  }
}

// The scene as the view paints it, `scale` pixels a unit over `area`, on
// `background` and not antialiased.
QImage picture(QGraphicsScene& scene, const QRectF& area, double scale,
               const QColor& background = Qt::black) {
  QImage image(int(area.width() * scale), int(area.height() * scale),
               QImage::Format_RGB32);
  image.fill(background);
  QPainter painter(&image);
  scene.render(&painter, QRectF(image.rect()), area);
  return image;
}

// Whether a pixel of `colour` lies within a pixel of `at`.
bool near(const QImage& image, const QPoint& at, const QColor& colour) {
  for (int dy = -1; dy <= 1; ++dy)
    for (int dx = -1; dx <= 1; ++dx)
      if (image.pixelColor(at + QPoint(dx, dy)) == colour) return true;
  return false;
}

// Every hole shows its rim over whatever lies under it, its centre empty;
// a pad looks the same wherever the file lists it: the thermal vias before
// and after the exposed pad alike.
TEST(ZScene, ShowsEveryHoleWithItsRimOverTheCopper) {
  const ZGraphToolsFactory colours;
  const QColor bare = colours.colour("system.hole.bare");
  const QColor plated = colours.colour("system.hole.plated");
  const struct {
    double radius;
    QColor rim;
    const char* elements;
    std::vector<QPointF> centres = {{0, 0}};
  } cases[] = {
      {1.6, bare,
       "(pad \"\" np_thru_hole circle (size 3.2 3.2) (drill 3.2)"
       " (layers *.Cu *.Mask))"},
      {0.15,
       plated,
       "(pad 1 thru_hole circle (at -1 0) (size 0.6 0.6) (drill 0.3)"
       " (layers *.Cu)) (pad 1 smd rect (size 3 3) (layers F.Cu))"
       " (pad 1 thru_hole circle (at 1 0) (size 0.6 0.6) (drill 0.3)"
       " (layers *.Cu))",
       {{-1, 0}, {1, 0}}},
      {1.5875, bare,
       "$PAD\nSh \"\" C 3.175 3.175 0 0 900\nDr 3.175 0 0\n"
       "At HOLE N 00E0FFFF\nPo 0 0\n$EndPAD"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.elements);
    const Built built(test::footprint_of(c.elements));
    const QRectF area(-2, -2, 4, 4);
    const double scale = 100;
    const QImage image = picture(*built.scene, area, scale);
    std::vector<QColor> rings;
    for (const QPointF& centre : c.centres) {
      // Beside the number written across it.
      EXPECT_EQ(image.pixelColor(int((centre.x() + 0.6 * c.radius + 2) * scale),
                                 int((centre.y() + 2) * scale)),
                Qt::black);
      int rim = 0;
      for (int degrees = 0; degrees < 360; degrees += 15) {
        const double a = qDegreesToRadians(double(degrees));
        const QPointF p = centre + c.radius * QPointF(std::cos(a), std::sin(a));
        rim += near(image, ((p - area.topLeft()) * scale).toPoint(), c.rim);
      }
      EXPECT_EQ(rim, 24) << centre.x();
      rings.push_back(image.pixelColor(int((centre.x() + 0.225 + 2) * scale),
                                       int((centre.y() + 2) * scale)));
    }
    EXPECT_EQ(rings.front(), rings.back());
  }
}

// A pad number written over a drill hole shows in every theme, on white
// paper too: the hole is the background, so the number needs a rim there.
TEST(ZScene, WritesPadNumbersReadablyOverTheirHoles) {
  for (const ColourTheme theme : colour_themes()) {
    SCOPED_TRACE(theme_name(theme).toStdString());
    for (const char* pad :
         {"(pad 8 thru_hole circle (size 1.6 1.6) (drill 1.2) (layers *.Cu))",
          "$PAD\nSh \"8\" C 1.6 1.6 0 0 0\nDr 1.2 0 0\nAt STD N 00E0FFFF\n"
          "Po 0 0\n$EndPAD"}) {
      const Built built(test::footprint_of(pad), theme);
      const QColor background =
          ZGraphToolsFactory(theme).colour("system.background");
      const double scale = 100;
      const QImage image =
          picture(*built.scene, {-1, -1, 2, 2}, scale, background);
      // Well inside the hole, clear of its rim.
      int ink = 0;
      for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
          ink += std::hypot(x / scale - 1, y / scale - 1) < 0.5 &&
                 image.pixelColor(x, y) != background;
      EXPECT_GT(ink, 200);
    }
  }
}

// In KiCad's and the light theme every layer, the pads and the holes have
// colours of their own that show on the theme's background; in every
// theme a pad on the back copper alone differs from one on the front.
TEST(ZGraphToolsFactory, ThemesGiveEveryLayerAColourOfItsOwn) {
  const auto apart = [](const QColor& a, const QColor& b) {
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
           std::abs(a.blue() - b.blue());
  };
  for (const ColourTheme theme : colour_themes()) {
    SCOPED_TRACE(theme_name(theme).toStdString());
    const ZGraphToolsFactory colours(theme);
    for (const char* type : {"smd", "thru_hole", "connect"})
      EXPECT_NE(colours.pad_colour(type, {"B.Cu", "B.Mask"}),
                colours.pad_colour(type, {"F.Cu", "F.Mask"}))
          << type;
    std::vector<std::string> names;
    for (const QString& layer : known_layers())
      names.push_back(layer.toStdString());
    for (const char* row :
         {"system.pad.thru_hole", "system.hole.plated", "system.hole.bare"})
      names.push_back(row);
    const auto is_inner = [](const std::string& name) {
      return name.rfind("In", 0) == 0;
    };
    if (theme == ColourTheme::classic) {
      // Its layers share colours, but an inner copper layer takes none of
      // another kind's.
      for (const std::string& inner : names) {
        for (const std::string& other : names) {
          if (is_inner(inner) && !is_inner(other)) {
            EXPECT_NE(colours.colour(inner), colours.colour(other))
                << inner << " " << other;
          }
        }
      }
      continue;
    }
    const QColor background = colours.colour("system.background");
    for (std::size_t i = 0; i < names.size(); ++i) {
      const QColor colour = colours.colour(names[i]);
      EXPECT_GE(apart(colour, background), 100) << names[i];
      for (std::size_t j = i + 1; j < names.size(); ++j) {
        // Thirty inner layers cannot all be far apart.
        const bool inner = is_inner(names[i]) && is_inner(names[j]);
        EXPECT_GE(apart(colour, colours.colour(names[j])), inner ? 1 : 25)
            << names[i] << " " << names[j];
      }
    }
  }
}

// The last text mirrored, and turned by 270 degrees kept readable at 90.
TEST(ZLegacyModuleSceneLoader,
     DrawsEveryTextKindTurnedByTenthsAndTracesTheRest) {
  const Built built(
      "$MODULE R1\n"
      "T0 0 -600 600 500 0 120 N V 21 N \"R1\"\n"
      "T2 0 0 600 600 0 120 N V 21 N \"WIDE\"\n"
      "T3 0 0 600 600 900 120 N V 20 N \"WIDE\"\n"  // turned by 90 degrees
      "T1 0 600 600 600 0 120 N I 21 I \"10k\"\n"   // hidden and italic
      "T2 0 0 600 600 2700 120 M V 21 N \"%R=%V\"\n"
      "$PAD\nSh \"7\" R 10 20 0 0 0\nPo 5 5\n$EndPAD\n"
      "$EndMODULE R1\n");
  EXPECT_EQ(test::kinds(built.added), "pad text text text text text");
  EXPECT_EQ(describe_texts(built),
            "R1 @0 t120 11; WIDE @0 t120 11; WIDE @90 t120 11; "
            "10k @0 t120 11 hidden; R1=10k @90 t120 11 mirrored");
  EXPECT_TRUE(built.all<GraphicsTextItem>()[0]->boundingRect().contains(
      QPointF(0, -600)));
  // A pad's block traces what it lacks before its records.
  std::string traced;
  for (const char* line :
       {"tag:$MODULE", "tag:T0", "tag:T2", "tag:T3", "tag:T1", "tag:T2",
        "pad \"7\": Missing Dr", "pad \"7\": Missing At", "tag:$PAD", "tag:Sh",
        "tag:Po", "tag:$EndPAD", "tag:$EndMODULE"})
    traced += std::string("ZLegacyModuleSceneLoader ") + line + "\n";
  EXPECT_EQ(built.trace, traced);
}

// The footprint's own elements as the file writes them, found by a scanner
// of the test's own: newer files indent with tabs or write one line.
std::vector<std::string> top_level(const std::string& text) {
  std::vector<std::string> elements;
  int depth = 0;
  bool quoted = false;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '\\') ++i;
      quoted = c != '"';
    } else if (c == '"') {
      quoted = true;
    } else if (c == '(' && ++depth == 2) {
      start = i;
    } else if (c == ')' && depth-- == 2) {
      elements.push_back(text.substr(start, i + 1 - start));
    }
  }
  return elements;
}

// What an element of the file should become, counted into `expected` by
// item kind, "hidden" for a text that is not drawn.
void expect_items(const std::string& element,
                  std::map<std::string, int>& expected) {
  static const QRegularExpression name(R"(^\(\s*(\S+))");
  static const QRegularExpression hidden(R"(\(hide yes\)|\shide[\s)])");
  static const QRegularExpression empty(R"(^\(\s*\S+\s+(\S+\s+)?"")");
  // Outer layers named one by one or both by a wildcard.
  static const QRegularExpression outer(R"re("?([FB]\.\w+|\*\.\w+)"?[\s)])re");
  static const std::map<QString, std::string> kinds{
      {"fp_line", "line"},    {"fp_arc", "arc"},      {"fp_circle", "circle"},
      {"fp_poly", "polygon"}, {"fp_rect", "polygon"}, {"fp_curve", "curve"},
      {"pad", "pad"},         {"fp_text", "text"},    {"property", "text"}};
  const QString source = QString::fromStdString(element);
  const QString kind = name.match(source).captured(1);
  if (kind == "zone") {
    const QString layers = source.section("(layer", 1, 1).section(')', 0, 0);
    for (auto m = outer.globalMatch(layers + ')'); m.hasNext();)
      expected["zone"] += m.next().captured(1).startsWith('*') ? 2 : 1;
    return;
  }
  if (kind == "dimension") {
    ++expected["dimension"];
    expected["text"] += !source.contains("(type center)");
    return;
  }
  const auto found = kinds.find(kind);
  if (found == kinds.end() ||
      (found->second == "text" && source.contains(empty)))
    return;
  const bool property = kind == "property";
  if (found->second != "text")
    ++expected[found->second];
  else if (property && !source.contains("(layer"))
    return;
  else if (!source.contains(hidden))
    ++expected["text"];
  else if (!property)
    ++expected["hidden"];
}

class RealFiles : public testing::TestWithParam<const char*> {};

// Every element of every file has its item, texts on top with their
// variables resolved, and every pad paints.
TEST_P(RealFiles, DrawEveryElementWithTheTextsOnTop) {
  const std::vector<std::string> files = padscope::test::files_with_suffix(
      padscope::test::real_files_dir() + "/" + GetParam(),
      std::string(GetParam()) == "legacy" ? ".mod" : ".kicad_mod");
  if (files.empty()) PADSCOPE_REQUIRE_SHARED_TESTDATA();
  ASSERT_FALSE(files.empty()) << "no footprints in " << GetParam();
  const bool legacy = std::string(GetParam()) == "legacy";
  // KiCad writes one legacy record a line.
  const QRegularExpression record(
      R"(^(?:(D[SCAP])\s|(T)\d+\s[^"\n]*"[^"\n]+"|(\$PAD)\s*$))",
      QRegularExpression::MultilineOption);
  const std::map<QString, std::string> kind{{"DS", "line"}, {"DC", "circle"},
                                            {"DA", "arc"},  {"DP", "polygon"},
                                            {"T", "text"},  {"$PAD", "pad"}};
  for (const std::string& path : files) {
    SCOPED_TRACE(path);
    const std::string text = padscope::test::read_file(path);
    const QString lines = QString::fromStdString(text);
    const Built built = Built(text);
    std::map<std::string, int> expected, counts;
    if (legacy) {
      for (auto match = record.globalMatch(lines); match.hasNext();) {
        const QRegularExpressionMatch m = match.next();
        ++expected[kind.at(m.captured(1) + m.captured(2) + m.captured(3))];
      }
    } else {
      for (const std::string& element : top_level(text))
        expect_items(element, expected);
      // A dimension shows what KiCad stored as its last text.
      static const QRegularExpression stored(R"re(\(gr_text "([^"]*)")re");
      for (auto m = stored.globalMatch(lines); m.hasNext();) {
        const QString shown = m.next().captured(1);
        const auto texts = built.all<GraphicsTextItem>();
        EXPECT_TRUE(std::any_of(texts.begin(), texts.end(), [&](auto* t) {
          return t->content() == shown;
        })) << shown.toStdString();
      }
    }
    std::string order;  // texts last
    for (QGraphicsItem* item : built.added) {
      const auto* shown = dynamic_cast<const GraphicsTextItem*>(item);
      // Holes have their own test.
      if (kind_of(item) == "hole") continue;
      ++counts[shown && shown->hidden() && !legacy ? "hidden" : kind_of(item)];
      order += shown ? "t" : "i";
      if (shown) {
        EXPECT_FALSE(shown->content().contains("${REFERENCE}"));
      }
    }
    EXPECT_EQ(counts, expected);
    EXPECT_EQ(order.find("ti"), std::string::npos);
    if (legacy) {
      int corners = 0;
      for (const GraphicsPolygonItem* polygon :
           built.all<GraphicsPolygonItem>())
        corners += polygon->polygon().size();
      EXPECT_EQ(corners,
                int(lines.count(QRegularExpression(
                    R"(^Dl\s)", QRegularExpression::MultilineOption))));
    } else {
      EXPECT_EQ(built.trace, text.rfind("(module", 0) == 0 ? "module->\n" : "");
    }
    EXPECT_TRUE(built.not_drawn().empty());
    // Each pad made anew, uncut by the other modules of a library, paints;
    // a non-plated one no larger than its hole shows the hole alone.
    for (const GraphicsPadItem* built_pad : built.all<GraphicsPadItem>()) {
      const PadSpec& spec = built_pad->spec();
      const bool hole_only = spec.type == PadType::np_thru_hole &&
                             spec.size.width() <= spec.drill.size.width() &&
                             spec.size.height() <= spec.drill.size.height();
      const QColor colour = built_pad->pad_brush().color();
      GraphicsPadItem pad(spec, colour);
      const QRectF area = pad.boundingRect();
      const padscope::test::ItemImage alone(
          pad, area, 64 / std::max(area.width(), area.height()));
      EXPECT_NE(
          alone.extent([&](const QColor& c) { return c == colour; }).isEmpty(),
          !hole_only)
          << spec.number.toStdString();
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Folders, RealFiles,
                         testing::Values("kicad5", "kicad6", "kicad7", "kicad8",
                                         "kicad9", "kicad10", "legacy"),
                         [](const testing::TestParamInfo<const char*>& info) {
                           return std::string(info.param);
                         });

TEST(GridPainter, AnchorsPointsAtTheOriginAndThinsThemBelowFourPixels) {
  const struct {
    QRectF rect;
    double scale;  // device pixels per unit
    const char* trace;
    std::vector<double> corners;  // x and y of some of the points drawn
  } cases[] = {
      {{-3, -3, 6, 6}, 10, "-3 -3 6 6  step=1.27 counter=25", {-2.54, 0}},
      // 8 x 1.27 = 10.16 lies inside too: columns and rows 8 to 15.
      {{10, 10, 10, 10}, 10, "10 10 10 10  step=1.27 counter=64", {10.16}},
      // 3.81 pixels: doubled once.
      {{-3, -3, 6, 6}, 3, "-3 -3 6 6  step=2.54 counter=9", {-2.54, 2.54}},
      // A legacy library in its own units: 64 x 1.27 is the first pitch of
      // 4 pixels or more; 123 columns, 99 rows.
      {{-5000, -4000, 10000, 8000},
       0.05,
       "-5000 -4000 8000 10000  step=81.28 counter=12177",
       {-3901.44, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.trace);
    // Not antialiased, so that a point is one pixel; red where not painted.
    QImage image(std::ceil(c.rect.width() * c.scale) + 2,
                 std::ceil(c.rect.height() * c.scale) + 2,
                 QImage::Format_RGB32);
    image.fill(Qt::red);
    QTransform to_pixels;
    to_pixels.translate(1, 1)
        .scale(c.scale, c.scale)
        .translate(-c.rect.left(), -c.rect.top());
    const test::DebugOutput on;
    test::CoutCapture trace;
    {
      QPainter painter(&image);
      painter.setTransform(to_pixels);
      GridPainter(&painter, c.rect).paint();
    }
    EXPECT_EQ(trace.str(), std::string(c.trace) + "\n");
    std::map<QRgb, int> pixels;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) ++pixels[image.pixel(x, y)];
    const int points = std::stoi(std::strstr(c.trace, "counter=") + 8);
    EXPECT_EQ(pixels[QColor(Qt::white).rgb()], points);
    EXPECT_EQ(pixels.size(), 3u);  // white, black and the red border only
    const QPoint middle = to_pixels.map(c.rect.center()).toPoint();
    EXPECT_NE(image.pixelColor(middle), QColor(Qt::red));  // painted
    for (double x : c.corners) {
      for (double y : c.corners) {
        EXPECT_TRUE(
            near(image, to_pixels.map(QPointF(x, y)).toPoint(), Qt::white))
            << x << ", " << y;
      }
    }
  }
}

}  // namespace
}  // namespace zwidget::zcvpcb
