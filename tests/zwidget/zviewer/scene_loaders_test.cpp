#include "support/qt_printers.h"
#include "support/test_data.h"
#include "zcore/model_exception.h"
#include "zwidget/zviewer/viewer_test_support.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QStyleOptionGraphicsItem>

#include <cmath>

namespace zwidget::zcvpcb {
namespace {

using namespace zwidget::zgraph;
using test::build;
using test::Built;

const QColor kSilk(0, 132, 132);  // F.SilkS, legacy layer 21

QPen layer_pen(const QColor& colour, double width) {
  return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::BevelJoin);
}

// One item alone on black, not antialiased; colours are read at scene
// points.
struct Alone {
  Alone(QGraphicsItem& item, const QRectF& area, double scale = 100)
      : area(area), scale(scale) {
    image.fill(Qt::black);
    QPainter painter(&image);
    painter.scale(scale, scale);
    painter.translate(-area.topLeft());
    QStyleOptionGraphicsItem option;
    item.paint(&painter, &option, nullptr);
  }
  QColor at(const QPointF& p) const {
    return image.pixelColor(std::floor((p.x() - area.left()) * scale),
                            std::floor((p.y() - area.top()) * scale));
  }
  int count(const QColor& colour) const {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x)
        n += image.pixelColor(x, y) == colour;
    return n;
  }

  QRectF area;
  double scale;
  QImage image{int(std::ceil(area.width() * scale)),
               int(std::ceil(area.height() * scale)), QImage::Format_ARGB32};
};

TEST(ZPrettyModuleSceneLoader, DrawsElementsInFileOrderAndTextsLast) {
  const Built built = build(R"((module R1 (layer F.Cu)
    (fp_text reference R1 (at 0 -2) (layer F.SilkS)
      (effects (font (size 1 1) (thickness 0.15))))
    (fp_text user "" (at 0 0) (layer F.SilkS))
    (fp_line (start -1 0) (end 1 0) (layer F.SilkS) (width 0.125))
    (pad 1 smd rect (at 1 2 90) (size 1 0.5) (layers F.Cu F.Mask))
    (fp_circle (center 1 1) (end 1 3) (layer In1.Cu) (width 0.1))))");
  // The text came first in the file, yet is made last; the empty one not.
  ASSERT_EQ(built.kinds(), "line pad circle text");
  EXPECT_EQ(built.trace, std::vector<std::string>{"module->"});
  EXPECT_EQ(built.all<GraphicsLineItem>()[0]->line(), QLineF(-1, 0, 1, 0));
  EXPECT_EQ(built.all<GraphicsLineItem>()[0]->pen(), layer_pen(kSilk, 0.125));
  // The pad's colour follows its type, not its layers.
  const GraphicsPadItem* pad = built.all<GraphicsPadItem>()[0];
  EXPECT_EQ(pad->position(), QPointF(1, 2));
  EXPECT_EQ(pad->angle(), 90);
  EXPECT_EQ(pad->size(), QSizeF(1, 0.5));
  EXPECT_EQ(pad->drill_size(), QSizeF(0, 0));
  EXPECT_EQ(pad->pad_brush().color(), QColor(132, 0, 0));  // system.pad.smd
  // Radius 2; a layer outside the colour table is drawn in black.
  const GraphicsCircleItem* circle = built.all<GraphicsCircleItem>()[0];
  EXPECT_EQ(circle->rect(), QRectF(-1, -1, 4, 4));
  EXPECT_EQ(circle->pen().color(), QColor(Qt::black));
  const GraphicsTextItem* text = built.all<GraphicsTextItem>()[0];
  EXPECT_TRUE(text->boundingRect().contains(QPointF(0, -2)));
  EXPECT_EQ(built.scene->items(Qt::DescendingOrder).front(), text);
}

TEST(ZPrettyModuleSceneLoader, ArcsOfBothFormsAndStraightOnesAsLines) {
  const double d = std::sqrt(0.5), r8 = std::sqrt(8.0);
  const struct {
    const char* arc;
    QPointF centre;
    double radius;
    int start, span;      // sixteenths of a degree, Qt's way round
    QPointF on{}, off{};  // painted and not, for arcs through a middle point
  } arcs[] = {
      // Without `mid`: start is the centre, end where the arc begins, and
      // both angles are negated. dx = 0 gives an arc tangent of +-90.
      {"(start 0 0) (end 1 0) (angle 90)", {0, 0}, 1, 0, -1440},
      {"(start 0 0) (end -1 0) (angle 90)", {0, 0}, 1, -2880, -1440},
      {"(start 0 0) (end 0 1) (angle 45)", {0, 0}, 1, -1440, -720},
      {"(start 0 0) (end 0 -1) (angle 45)", {0, 0}, 1, 1440, -720},
      {"(start 2 1) (end 4 3) (angle -180)", {2, 1}, r8, -720, 2880},
      {"(start 2 1) (end 0 -1) (angle 30)", {2, 1}, r8, -3600, -480},
      // From start through mid to end, either way round.
      {"(start 1 0) (mid 0.7071 0.7071) (end 0 1)",
       {0, 0},
       1,
       0,
       -1440,
       {d, d},
       {-d, -d}},
      {"(start 0 1) (mid 0.7071 0.7071) (end 1 0)",
       {0, 0},
       1,
       -1440,
       1440,
       {d, d},
       {-d, -d}},
      {"(start 1 0) (mid -1 0) (end 0 1)",
       {0, 0},
       1,
       0,
       4320,
       {-d, -d},
       {d, d}},
      {"(start 0 1) (mid -0.7071 -0.7071) (end 1 0)",
       {0, 0},
       1,
       -1440,
       -4320,
       {-1, 0},
       {d, d}},
  };
  for (const auto& c : arcs) {
    SCOPED_TRACE(c.arc);
    const Built built = build(std::string("(footprint X (fp_arc ") + c.arc +
                              " (layer F.SilkS) (width 0.05)))");
    ASSERT_EQ(built.kinds(), "arc");
    GraphicsArcItem* arc = built.all<GraphicsArcItem>()[0];
    EXPECT_LT(QLineF(arc->rect().center(), c.centre).length(), 1e-4);
    EXPECT_NEAR(arc->rect().width(), 2 * c.radius, 1e-4);
    EXPECT_NEAR(arc->startAngle(), c.start, 1);
    EXPECT_NEAR(arc->spanAngle(), c.span, 1);
    EXPECT_EQ(arc->pen(), layer_pen(kSilk, 0.05));
    if (c.on == c.off) continue;
    const Alone alone(*arc, QRectF(-1.5, -1.5, 3, 3));
    EXPECT_EQ(alone.at(c.on), kSilk);
    EXPECT_EQ(alone.at(c.off), Qt::black);
  }
  const struct {
    const char* arc;
    QLineF line;
  } lines[] = {
      {"(start 0 0) (mid 1 1) (end 2 2)", {0, 0, 2, 2}},
      {"(start 1 1) (mid 0 0) (end 1 1)", {1, 1, 1, 1}},
      // Flatter than the arc item's sixteenth of a degree.
      {"(start 0 0) (mid 5 0.000002) (end 10 0)", {0, 0, 10, 0}},
      // Out of the double's range on the way to a centre.
      {"(start 0 0) (mid 1e300 1e300) (end 1e-300 -1e300)",
       {0, 0, 1e-300, -1e300}},
  };
  for (const auto& c : lines) {
    SCOPED_TRACE(c.arc);
    const Built built = build(std::string("(footprint X (fp_arc ") + c.arc +
                              " (layer F.SilkS) (width 0.05)))");
    ASSERT_EQ(built.kinds(), "line");
    EXPECT_EQ(built.all<GraphicsLineItem>()[0]->line(), c.line);
  }
}

TEST(ZPrettyModuleSceneLoader, LooksAtNamesOnlyAndDrawsNothingForANullTree) {
  // The text's atom `pad` is a node named pad: a pad with no attributes.
  const Built atom =
      build("(module A (fp_text user pad (at 1 1) (layer F.SilkS)))");
  ASSERT_EQ(atom.kinds(), "pad text");
  const GraphicsPadItem* pad = atom.all<GraphicsPadItem>()[0];
  EXPECT_EQ(pad->size(), QSizeF(0, 0));
  EXPECT_EQ(pad->pad_brush().color(), QColor(Qt::black));
  EXPECT_TRUE(build("()").scene->items().isEmpty());
}

TEST(ZPrettyModuleSceneLoader, RectanglesAndSolidFillsTakeTheLayerColour) {
  std::string text = "(footprint X";
  for (const char* fill : {" (fill solid))", " (fill none))", ")"}) {
    const std::string tail = std::string(" (layer F.SilkS) (width 0.1)") + fill;
    text += " (fp_rect (start 1 2) (end -1 -2)" + tail +
            " (fp_poly (pts (xy 0 0) (xy 1 0) (xy 1 1))" + tail +
            " (fp_circle (center 0 0) (end 1 0)" + tail;
  }
  const Built built = build(text + ")");
  const auto polygons = built.all<GraphicsPolygonItem>();
  const auto circles = built.all<GraphicsCircleItem>();
  ASSERT_EQ(polygons.size(), 6u);
  ASSERT_EQ(circles.size(), 3u);
  EXPECT_EQ(polygons[0]->polygon(),
            QPolygonF({{1, 2}, {-1, 2}, {-1, -2}, {1, -2}}));
  for (int i = 0; i < 3; ++i) {
    const QBrush brush = i == 0 ? QBrush(kSilk, Qt::SolidPattern) : QBrush();
    EXPECT_EQ(polygons[2 * i]->brush(), brush);
    EXPECT_EQ(polygons[2 * i + 1]->brush(), brush);
    EXPECT_EQ(circles[i]->brush(), brush);
    EXPECT_EQ(circles[i]->pen(), layer_pen(kSilk, 0.1));  // filled or not
  }
}

TEST(ZPrettyModuleSceneLoader, PadsReadTheirRoundingChamfersAndPrimitives) {
  const Built built = build(
      "(footprint X (pad 1 smd roundrect (size 2 1))"
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
  EXPECT_EQ(pads[0]->shape_options().roundrect_ratio, 0.25);
  const PadShapeOptions& cut = pads[1]->shape_options();
  EXPECT_EQ(cut.roundrect_ratio + cut.chamfer_ratio, 0.3);
  EXPECT_TRUE(cut.chamfered.top_left && cut.chamfered.bottom_right);
  EXPECT_FALSE(cut.chamfered.top_right || cut.chamfered.bottom_left);
  const PadShapeOptions& custom = pads[2]->shape_options();
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
                                        {"pad shape 'octagon'", 1}}));
}

TEST(ZPrettyModuleSceneLoader, ACustomPadOfARealFilePaintsItsPrimitivesTurned) {
  PADSCOPE_REQUIRE_SHARED_TESTDATA();
  const Built built = build(
      padscope::test::read_file(padscope::test::shared_testdata_dir() +
                                "/kicad6/Texas_QFN-41_10x16mm.kicad_mod"));
  // A paste opening 0.27 x 1.6 at 270 degrees whose primitives are three
  // teeth reaching 0.565 to its left in pad coordinates.
  const QPointF centre(0, -7.635);
  GraphicsPadItem* comb = nullptr;
  for (GraphicsPadItem* pad : built.all<GraphicsPadItem>())
    if (pad->position() == centre && pad->angle() == 270) comb = pad;
  ASSERT_NE(comb, nullptr);
  const Alone alone(*comb, QRectF(-1.2, -8.5, 2.4, 1.8));
  const struct {
    QPointF in_pad;
    bool inked;
  } probes[] = {{{0, 0}, true},        {{-0.4, 0.8}, true},
                {{-0.4, 0}, true},     {{-0.4, -0.8}, true},
                {{-0.4, 0.45}, false}, {{-0.4, -0.45}, false},
                {{0.3, 0}, false}};
  for (const auto& probe : probes) {
    SCOPED_TRACE(testing::PrintToString(probe.in_pad));
    // Turned by 270, (x, y) of the pad lands at (-y, x) from its centre.
    const QPointF turned(-probe.in_pad.y(), probe.in_pad.x());
    EXPECT_EQ(alone.at(centre + turned) != Qt::black, probe.inked);
    // Where the outer teeth would be unturned, the turned pad leaves black.
    if (std::abs(probe.in_pad.y()) > 0.5) {
      EXPECT_EQ(alone.at(centre + probe.in_pad), Qt::black);
    }
  }
}

TEST(ZLegacyModuleSceneLoader, DrawsOutlinesThenTextsAndTracesTheRest) {
  const Built built = build(
      "$MODULE R1\n"
      "T0 0 -600 600 500 0 120 N V 21 N \"R1\"\n"
      "DS -500 0 500 0 120 21\n"
      "T2 0 0 600 600 0 120 N V 21 N \"WIDE\"\n"
      "T3 0 0 600 600 900 120 N V 20 N \"WIDE\"\n"  // turned by 90 degrees
      "T1 0 600 600 600 0 120 N I 21 I \"10k\"\n"   // hidden and italic
      "T0 0 0 600 600 0 120 N V 21 N \"\"\n"
      "$EndMODULE R1\n");
  ASSERT_EQ(built.kinds(), "line text text text text");
  EXPECT_EQ(built.all<GraphicsLineItem>()[0]->line(), QLineF(-500, 0, 500, 0));
  EXPECT_EQ(built.all<GraphicsLineItem>()[0]->pen(), layer_pen(kSilk, 120));
  const auto texts = built.all<GraphicsTextItem>();
  EXPECT_TRUE(texts[0]->boundingRect().contains(QPointF(0, -600)));
  const QRectF level = texts[1]->boundingRect();
  const QRectF turned = texts[2]->boundingRect();
  EXPECT_GT(level.width(), 2 * level.height());
  EXPECT_NEAR(turned.height(), level.width(), 1e-6 * level.width());
  std::vector<std::string> traced;
  for (const char* tag :
       {"$MODULE", "T0", "T2", "T3", "T1", "T0", "$EndMODULE"})
    traced.push_back(std::string("ZLegacyModuleSceneLoader tag:") + tag);
  EXPECT_EQ(built.trace, traced);
}

TEST(ZLegacyModuleSceneLoader, CirclesArcsAndPolygonsInTheFileUnits) {
  const Built built = build(
      "DC 0 0 0 300 120 21\n"
      "DA 0 0 100 0 900 120 21\n"
      "DA 0 0 0 -100 900 120 21 \n"  // a trailing blank, as old files have
      "DA 10 10 0 10 -450 50 25\n"
      "DP 0 0 0 0 3 80 21\nDl 0 0\nDl 100 0\nDl 100 50\n");
  ASSERT_EQ(built.kinds(), "circle arc arc arc polygon");
  EXPECT_EQ(built.all<GraphicsCircleItem>()[0]->rect(),
            QRectF(-300, -300, 600, 600));
  const struct {
    QRectF rect;
    int start, span;  // sixteenths of a degree; the file has tenths
  } expected[] = {{{-100, -100, 200, 200}, 0, -90 * 16},
                  {{-100, -100, 200, 200}, 90 * 16, -90 * 16},
                  {{0, 0, 20, 20}, -180 * 16, 45 * 16}};
  const auto arcs = built.all<GraphicsArcItem>();
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(arcs[i]->rect(), expected[i].rect);
    EXPECT_EQ(arcs[i]->startAngle(), expected[i].start);
    EXPECT_EQ(arcs[i]->spanAngle(), expected[i].span);
  }
  EXPECT_EQ(arcs[2]->pen().color(), QColor(132, 0, 132));  // layer 25
  const GraphicsPolygonItem* polygon = built.all<GraphicsPolygonItem>()[0];
  EXPECT_EQ(polygon->polygon(), QPolygonF({{0, 0}, {100, 0}, {100, 50}}));
  EXPECT_EQ(polygon->brush().style(), Qt::NoBrush);
  // The corners are drawn with their polygon, and traced as records.
  EXPECT_EQ(built.trace,
            std::vector<std::string>(3, "ZLegacyModuleSceneLoader tag:Dl"));
}

TEST(ZLegacyModuleSceneLoader, AShortRecordAbortsAfterTheEarlierItems) {
  Built built;
  bool announced = false;
  QObject::connect(built.scene.get(), &ZScene::loaded,
                   [&] { announced = true; });
  try {
    built.load(
        "DS 0 0 100 0 10 21\nDC 0 0 0 50 10 21\nDS 0 0 1 1\n"
        "DS 0 0 5 5 1 21\n");
    FAIL() << "no exception";
  } catch (const zcore::ModelException& e) {
    EXPECT_STREQ(e.what(), "Not enough parameters");
  }
  EXPECT_EQ(built.scene->items().size(), 2);
  EXPECT_FALSE(announced);
}

class RealFiles : public testing::TestWithParam<const char*> {};

// Every element of every file has its item, of its kind, the texts on top,
// and every pad paints. KiCad writes an element to a line, a `.kicad_mod`
// one indented by two blanks: so they are counted here. A legacy library
// draws every module, each on the others.
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
    const Built built = build(text);
    std::map<std::string, int> expected;
    for (auto match = element.globalMatch(lines); match.hasNext();) {
      const QRegularExpressionMatch m = match.next();
      ++expected[kind.at(m.captured(1) + (legacy ? m.captured(2) : ""))];
    }
    EXPECT_EQ(built.counts(), expected);
    EXPECT_TRUE(built.texts_last());
    if (legacy) {
      // Every record but the outlines is traced; comments are no records.
      EXPECT_EQ(int(built.trace.size()),
                count(R"(^[ \t]*[^#\s])") - count(R"(^D[SCAP]\s)"));
      int corners = 0;
      for (const GraphicsPolygonItem* polygon :
           built.all<GraphicsPolygonItem>())
        corners += polygon->polygon().size();
      EXPECT_EQ(corners, count(R"(^Dl\s)"));
      continue;
    }
    EXPECT_EQ(built.trace.size(), text.rfind("(module", 0) == 0 ? 1u : 0u);
    for (const auto& [what, n] : built.not_drawn())
      EXPECT_EQ(what, "zone") << n;
    for (GraphicsPadItem* pad : built.all<GraphicsPadItem>()) {
      const QRectF area = pad->boundingRect();
      const Alone alone(*pad, area, 64 / std::max(area.width(), area.height()));
      EXPECT_GT(alone.count(pad->pad_brush().color()), 0)
          << pad->pad_shape().toStdString();
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
