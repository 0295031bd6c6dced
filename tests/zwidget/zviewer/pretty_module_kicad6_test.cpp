#include "support/qt_printers.h"
#include "support/test_data.h"
#include "zcore/models.h"
#include "zwidget/zgraph/arc_item.h"
#include "zwidget/zgraph/circle_item.h"
#include "zwidget/zgraph/line_item.h"
#include "zwidget/zgraph/pad_item.h"
#include "zwidget/zgraph/polygon_item.h"
#include "zwidget/zviewer/pretty_module_scene_loader.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QStyleOptionGraphicsItem>

#include <cmath>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace zwidget::zcvpcb {
namespace {

using zgraph::GraphicsPadItem;

const QColor kSilk(0, 132, 132);

// A `.kicad_mod` text loaded into a scene; its items in creation order.
struct Loaded {
  explicit Loaded(const std::string& text) {
    std::istringstream in(text);
    model.load(in);
    QObject::connect(&scene, &ZScene::item_added,
                     [this](QGraphicsItem* item) { items.push_back(item); });
    scene.build(&model, new ZPrettyModuleSceneLoader(&scene, model.root()));
  }
  template <typename Item>
  std::vector<Item*> all() const {
    std::vector<Item*> found;
    for (QGraphicsItem* item : items)
      if (auto* typed = dynamic_cast<Item*>(item)) found.push_back(typed);
    return found;
  }

  zcore::S_Model model{"module_parser"};
  ZScene scene;
  std::vector<QGraphicsItem*> items;
};

// One item alone on black, 100 pixels per unit, not antialiased; colours
// are read at scene points.
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

  QRectF area;
  double scale;
  QImage image{int(std::ceil(area.width() * scale)),
               int(std::ceil(area.height() * scale)), QImage::Format_ARGB32};
};

std::string arc(const char* points) {
  return std::string("(footprint X (fp_arc ") + points +
         " (layer F.SilkS) (width 0.05)))";
}

TEST(PrettyKicad6, ThreePointArcsRunThroughTheirMiddleAndLinesStayLines) {
  const double d = std::sqrt(0.5);
  const struct {
    const char* points;
    int start, span;  // sixteenths of a degree, Qt's way round
    QPointF passes, misses;
  } arcs[] = {
      {"(start 1 0) (mid 0.7071 0.7071) (end 0 1)", 0, -1440, {d, d}, {-d, -d}},
      {"(start 0 1) (mid 0.7071 0.7071) (end 1 0)",
       -1440,
       1440,
       {d, d},
       {-d, -d}},
      {"(start 1 0) (mid -1 0) (end 0 1)", 0, 4320, {-d, -d}, {d, d}},
      {"(start 0 1) (mid -0.7071 -0.7071) (end 1 0)",
       -1440,
       -4320,
       {-1, 0},
       {d, d}},
  };
  for (const auto& c : arcs) {
    SCOPED_TRACE(c.points);
    const Loaded loaded(arc(c.points));
    const auto found = loaded.all<zgraph::GraphicsArcItem>();
    ASSERT_EQ(found.size(), 1u);
    const QRectF square = found[0]->rect();
    EXPECT_LT((square.topLeft() - QPointF(-1, -1)).manhattanLength(), 1e-4);
    EXPECT_NEAR(square.width(), 2, 1e-4);
    EXPECT_NEAR(found[0]->startAngle(), c.start, 1);
    EXPECT_NEAR(found[0]->spanAngle(), c.span, 1);
    const Alone alone(*found[0], QRectF(-1.5, -1.5, 3, 3));
    EXPECT_EQ(alone.at(c.passes), kSilk);
    EXPECT_EQ(alone.at(c.misses), Qt::black);
  }
  const struct {
    const char* points;
    QLineF line;
  } lines[] = {
      {"(start 0 0) (mid 1 1) (end 2 2)", {0, 0, 2, 2}},
      {"(start 1 1) (mid 0 0) (end 1 1)", {1, 1, 1, 1}},
      // Flatter than the arc item's sixteenth of a degree, which would
      // paint nothing.
      {"(start 0 0) (mid 5 0.000002) (end 10 0)", {0, 0, 10, 0}},
      // Out of the double's range on the way to a centre.
      {"(start 0 0) (mid 1e300 1e300) (end 1e-300 -1e300)",
       {0, 0, 1e-300, -1e300}},
  };
  for (const auto& c : lines) {
    SCOPED_TRACE(c.points);
    const Loaded loaded(arc(c.points));
    const auto found = loaded.all<zgraph::GraphicsLineItem>();
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0]->line(), c.line);
  }
  // Without `mid`: start is the centre, end where the arc begins.
  const Loaded older(arc("(start 0 0) (end 0 1) (angle 45)"));
  const auto found = older.all<zgraph::GraphicsArcItem>();
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0]->rect(), QRectF(-1, -1, 2, 2));
  EXPECT_EQ(found[0]->startAngle(), -1440);
  EXPECT_EQ(found[0]->spanAngle(), -720);
}

TEST(PrettyKicad6, RectanglesAndSolidFillsTakeTheLayerColour) {
  std::string text = "(footprint X";
  for (const char* fill : {" (fill solid))", " (fill none))", ")"}) {
    const std::string tail = std::string(" (layer F.SilkS) (width 0.1)") + fill;
    text += " (fp_rect (start 1 2) (end -1 -2)" + tail +
            " (fp_poly (pts (xy 0 0) (xy 1 0) (xy 1 1))" + tail +
            " (fp_circle (center 0 0) (end 1 0)" + tail;
  }
  const Loaded loaded(text + ")");
  const auto polygons = loaded.all<zgraph::GraphicsPolygonItem>();
  const auto circles = loaded.all<zgraph::GraphicsCircleItem>();
  ASSERT_EQ(polygons.size(), 6u);
  ASSERT_EQ(circles.size(), 3u);
  EXPECT_EQ(polygons[0]->polygon(),
            QPolygonF({{1, 2}, {-1, 2}, {-1, -2}, {1, -2}}));
  for (int i = 0; i < 3; ++i) {
    const QBrush brush = i == 0 ? QBrush(kSilk, Qt::SolidPattern) : QBrush();
    EXPECT_EQ(polygons[2 * i]->brush(), brush);
    EXPECT_EQ(polygons[2 * i + 1]->brush(), brush);
    EXPECT_EQ(circles[i]->brush(), brush);
    // A filled circle keeps its pen.
    EXPECT_EQ(circles[i]->pen(), polygons[2 * i]->pen());
  }
}

TEST(PrettyKicad6, PadsReadTheirRoundingChamfersAndPrimitives) {
  const Loaded loaded(
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
  const auto pads = loaded.all<GraphicsPadItem>();
  ASSERT_EQ(pads.size(), 4u);
  EXPECT_EQ(pads[0]->shape_options().roundrect_ratio, 0.25);
  const zgraph::PadShapeOptions& cut = pads[1]->shape_options();
  EXPECT_EQ(cut.roundrect_ratio + cut.chamfer_ratio, 0.3);
  EXPECT_TRUE(cut.chamfered.top_left && cut.chamfered.bottom_right);
  EXPECT_FALSE(cut.chamfered.top_right || cut.chamfered.bottom_left);
  const zgraph::PadShapeOptions& custom = pads[2]->shape_options();
  EXPECT_EQ(custom.anchor, "circle");
  // Widths and fills, in file order; a circle of width 0 is a disc.
  std::string drawn;
  for (const zgraph::PadPrimitive& p : custom.primitives)
    drawn += std::to_string(p.width).substr(0, 3) + (p.filled ? "F " : "- ");
  EXPECT_EQ(drawn, "0.0F 0.1- 0.2- 0.0F 0.0F 0.1- 0.1- 0.1- ");
  // The three-point arc bulges down to (0, 1).
  EXPECT_NEAR(custom.primitives[6].path.boundingRect().bottom(), 1, 1e-6);
  const std::map<std::string, int> not_drawn{{"pad primitive 'gr_curve'", 1},
                                             {"pad shape 'octagon'", 1}};
  EXPECT_EQ(loaded.scene.scene_loader()->not_drawn(), not_drawn);
}

TEST(PrettyKicad6, NumbersAtTheEdgeOfTheRangeDrawWithoutHarm) {
  Loaded loaded(
      "(footprint X (fp_rect (start -1e308 0) (end 1e308 1) (fill solid))"
      " (pad 1 thru_hole custom (at 0 0 45) (size 1e300 1e300) (drill 1e300)"
      "  (primitives (gr_poly (pts (xy 0 0) (xy 1e300 1e300)) (width 1e300))"
      "   (gr_arc (start 0 0) (mid 1e300 1e300) (end 1 -1e300) (width 1e300))"
      "   (gr_arc (start 0 0) (end 0 0) (angle 90) (width 0.2))"
      "   (gr_line (start 0 0) (end 1e308 1e308) (width 1e308))))"
      " (pad 2 smd roundrect (size 1e308 1e308) (chamfer_ratio 1e308)"
      "  (chamfer top_left) (roundrect_rratio 1e308)))");
  // The rectangle's outline runs past the largest double and is left out.
  ASSERT_EQ(loaded.items.size(), 2u);
  EXPECT_EQ(loaded.scene.scene_loader()->not_drawn(),
            (std::map<std::string, int>{{"non-finite geometry", 1}}));
  for (QGraphicsItem* item : loaded.items) Alone(*item, {-2, -2, 4, 4}, 10);
}

TEST(PrettyKicad6, EveryFileDrawsEveryElementAndEveryPadPaints) {
  PADSCOPE_REQUIRE_SHARED_TESTDATA();
  // The drawable elements of the footprint, which KiCad writes one to a
  // line indented by two blanks; a text that is empty draws nothing.
  const QRegularExpression drawable(
      R"(\n  \((fp_(line|arc|circle|poly|curve|rect)|pad|fp_text(?! \S+ ""))[ )])");
  int custom_pads = 0;
  for (const std::string& path : padscope::test::files_with_suffix(
           padscope::test::shared_testdata_dir() + "/kicad6", ".kicad_mod")) {
    SCOPED_TRACE(path);
    const std::string text = padscope::test::read_file(path);
    const Loaded loaded(text);
    auto match = drawable.globalMatch(QString::fromStdString(text));
    std::size_t expected = 0;
    for (; match.hasNext(); match.next()) ++expected;
    EXPECT_EQ(loaded.items.size(), expected);
    for (const auto& [kind, count] : loaded.scene.scene_loader()->not_drawn())
      EXPECT_EQ(kind, "zone") << count;
    for (GraphicsPadItem* pad : loaded.all<GraphicsPadItem>()) {
      custom_pads += pad->pad_shape() == "custom";
      const QRectF area = pad->boundingRect();
      const Alone alone(*pad, area, 64 / std::max(area.width(), area.height()));
      const QImage& image = alone.image;
      int inked = 0;
      for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
          inked += image.pixelColor(x, y) == pad->pad_brush().color();
      EXPECT_GT(inked, 0) << pad->pad_shape().toStdString() << " "
                          << testing::PrintToString(pad->position());
    }
  }
  EXPECT_GT(custom_pads, 10);
}

TEST(PrettyKicad6, ACustomPadOfARealFilePaintsItsPrimitivesTurned) {
  PADSCOPE_REQUIRE_SHARED_TESTDATA();
  const Loaded loaded(
      padscope::test::read_file(padscope::test::shared_testdata_dir() +
                                "/kicad6/Texas_QFN-41_10x16mm.kicad_mod"));
  // A paste opening 0.27 x 1.6 at 270 degrees whose primitives are three
  // teeth reaching 0.565 to its left in pad coordinates.
  const QPointF centre(0, -7.635);
  GraphicsPadItem* comb = nullptr;
  for (GraphicsPadItem* pad : loaded.all<GraphicsPadItem>())
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
    // Turned by 270, (x, y) of the pad lands at (-y, x) from its centre,
    // and the teeth reach up on screen.
    const QPointF turned(-probe.in_pad.y(), probe.in_pad.x());
    EXPECT_EQ(alone.at(centre + turned) != Qt::black, probe.inked);
    // Where the outer teeth would be unturned, the turned pad leaves black.
    if (std::abs(probe.in_pad.y()) > 0.5) {
      EXPECT_EQ(alone.at(centre + probe.in_pad), Qt::black);
    }
  }
}

}  // namespace
}  // namespace zwidget::zcvpcb
