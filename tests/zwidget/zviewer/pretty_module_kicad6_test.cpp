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
#include <QStyleOptionGraphicsItem>

#include <cctype>
#include <cmath>
#include <iterator>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace zwidget::zcvpcb {
namespace {

using zgraph::GraphicsArcItem;
using zgraph::GraphicsPadItem;

const QColor kSilk(0, 132, 132);
const QColor kSmd(132, 0, 0);

// A `.kicad_mod` text read and loaded into a scene, with its items in the
// order the loader created them.
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
  const std::map<std::string, int>& not_drawn() const {
    return scene.scene_loader()->not_drawn();
  }

  zcore::S_Model model{"module_parser"};
  ZScene scene;
  std::vector<QGraphicsItem*> items;
};

// One item painted alone on black, `scale` pixels per unit over `area`,
// without antialiasing so that colours stay exact.
QImage paint_alone(QGraphicsItem& item, const QRectF& area, double scale) {
  QImage image(std::ceil(area.width() * scale),
               std::ceil(area.height() * scale), QImage::Format_ARGB32);
  image.fill(Qt::black);
  QPainter painter(&image);
  painter.scale(scale, scale);
  painter.translate(-area.topLeft());
  QStyleOptionGraphicsItem option;
  item.paint(&painter, &option, nullptr);
  return image;
}

QColor pixel(const QImage& image, const QRectF& area, double scale,
             const QPointF& p) {
  return image.pixelColor(std::floor((p.x() - area.left()) * scale),
                          std::floor((p.y() - area.top()) * scale));
}

std::string arc_snippet(const char* points) {
  return std::string("(footprint X (fp_arc ") + points +
         " (layer F.SilkS) (width 0.05)))";
}

TEST(PrettyKicad6, ThreePointArcsPassThroughTheirMiddlePoint) {
  const double d = std::sqrt(0.5);
  const struct {
    const char* points;
    int start, span;  // sixteenths of a degree
    QPointF passes, misses;
  } cases[] = {
      // The quarter circle below the centre on screen, clockwise there.
      {"(start 1 0) (mid 0.7071 0.7071) (end 0 1)",
       0,
       -90 * 16,
       {d, d},
       {-d, -d}},
      {"(start 0 1) (mid 0.7071 0.7071) (end 1 0)",
       -90 * 16,
       90 * 16,
       {d, d},
       {-d, -d}},
      // The long way round from the same ends.
      {"(start 1 0) (mid -1 0) (end 0 1)", 0, 270 * 16, {-d, -d}, {d, d}},
      {"(start 0 1) (mid -0.7071 -0.7071) (end 1 0)",
       -90 * 16,
       -270 * 16,
       {-1, 0},
       {d, d}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.points);
    const Loaded loaded(arc_snippet(c.points));
    const auto arcs = loaded.all<GraphicsArcItem>();
    ASSERT_EQ(arcs.size(), 1u);
    GraphicsArcItem& arc = *arcs[0];
    const QRectF square = arc.rect();
    EXPECT_NEAR(square.center().x(), 0, 1e-4);
    EXPECT_NEAR(square.center().y(), 0, 1e-4);
    EXPECT_NEAR(square.width(), 2, 1e-4);
    EXPECT_NEAR(arc.startAngle(), c.start, 1);
    EXPECT_NEAR(arc.spanAngle(), c.span, 1);
    EXPECT_EQ(arc.pen().color(), kSilk);
    const QRectF area(-1.5, -1.5, 3, 3);
    const QImage image = paint_alone(arc, area, 40);
    EXPECT_EQ(pixel(image, area, 40, c.passes), kSilk);
    EXPECT_EQ(pixel(image, area, 40, c.misses), Qt::black);
  }
}

TEST(PrettyKicad6, ArcsOnALineBecomeLinesAndTheOlderFormStays) {
  const struct {
    const char* points;
    QLineF line;
  } lines[] = {
      {"(start 0 0) (mid 1 1) (end 2 2)", {0, 0, 2, 2}},
      {"(start 2 0) (mid 2 0) (end 0 0)", {2, 0, 0, 0}},
      {"(start 1 1) (mid 0 0) (end 1 1)", {1, 1, 1, 1}},
      // A bulge of two nanometres over 10 mm: flatter than the arc item's
      // sixteenth of a degree, which would paint nothing.
      {"(start 0 0) (mid 5 0.000002) (end 10 0)", {0, 0, 10, 0}},
  };
  for (const auto& c : lines) {
    SCOPED_TRACE(c.points);
    const Loaded loaded(arc_snippet(c.points));
    ASSERT_EQ(loaded.items.size(), 1u);
    const auto* line =
        dynamic_cast<zgraph::GraphicsLineItem*>(loaded.items.front());
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->line(), c.line);
    EXPECT_EQ(line->pen().color(), kSilk);
  }
  // Without `mid`: start is the centre, end where the arc begins.
  const Loaded older(arc_snippet("(start 0 0) (end 0 1) (angle 45)"));
  const auto arcs = older.all<GraphicsArcItem>();
  ASSERT_EQ(arcs.size(), 1u);
  EXPECT_EQ(arcs[0]->rect(), QRectF(-1, -1, 2, 2));
  EXPECT_EQ(arcs[0]->startAngle(), -90 * 16);
  EXPECT_EQ(arcs[0]->spanAngle(), -45 * 16);
}

TEST(PrettyKicad6, RectanglesAndFillsTakeTheLayerColour) {
  const Loaded loaded(
      "(footprint X"
      " (fp_rect (start 1 2) (end -1 -2) (layer F.SilkS) (width 0.1)"
      "  (fill solid))"
      " (fp_rect (start 0 0) (end 1 1) (layer F.SilkS) (width 0.1)"
      "  (fill none))"
      " (fp_poly (pts (xy 0 0) (xy 1 0) (xy 1 1)) (layer F.SilkS)"
      "  (width 0.1) (fill solid))"
      " (fp_poly (pts (xy 0 0) (xy 1 0) (xy 1 1)) (layer F.SilkS)"
      "  (width 0.1))"
      " (fp_circle (center 0 0) (end 1 0) (layer F.SilkS) (width 0.1)"
      "  (fill solid))"
      " (fp_circle (center 0 0) (end 1 0) (layer F.SilkS) (width 0.1)"
      "  (fill none)))");
  const auto polygons = loaded.all<zgraph::GraphicsPolygonItem>();
  const auto circles = loaded.all<zgraph::GraphicsCircleItem>();
  ASSERT_EQ(polygons.size(), 4u);
  ASSERT_EQ(circles.size(), 2u);
  EXPECT_EQ(polygons[0]->polygon(),
            QPolygonF({{1, 2}, {-1, 2}, {-1, -2}, {1, -2}}));
  const QBrush solid(kSilk, Qt::SolidPattern);
  const QBrush none;
  const std::vector<QBrush> brushes{solid, none, solid, none};
  for (std::size_t i = 0; i < polygons.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(polygons[i]->brush(), brushes[i]);
    EXPECT_EQ(polygons[i]->pen().color(), kSilk);
    EXPECT_EQ(polygons[i]->pen().widthF(), 0.1);
  }
  EXPECT_EQ(circles[0]->brush(), solid);
  EXPECT_EQ(circles[1]->brush(), none);
  // A filled circle keeps its pen: the outline still reaches past the fill.
  EXPECT_EQ(circles[0]->pen().widthF(), 0.1);
  const QRectF area(-1.5, -1.5, 3, 3);
  const QImage filled = paint_alone(*circles[0], area, 40);
  EXPECT_EQ(pixel(filled, area, 40, {0, 0}), kSilk);
  EXPECT_EQ(pixel(filled, area, 40, {1.04, 0}), kSilk);
  EXPECT_EQ(pixel(paint_alone(*circles[1], area, 40), area, 40, {0, 0}),
            Qt::black);
  EXPECT_TRUE(loaded.not_drawn().empty());
}

TEST(PrettyKicad6, PadsCarryTheirRoundingChamfersAndPrimitives) {
  const Loaded loaded(
      "(footprint X"
      " (pad 1 smd roundrect (at 0 0) (size 2 1) (layers F.Cu))"
      " (pad 2 smd roundrect (at 0 0) (size 2 1) (layers F.Cu)"
      "  (roundrect_rratio 0) (chamfer_ratio 0.3) (chamfer bottom_right"
      "  top_left))"
      " (pad 3 smd custom (at 0 0) (size 1 1) (layers F.Cu)"
      "  (options (anchor circle))"
      "  (primitives (gr_poly (pts (xy 0 0) (xy 1 0) (xy 1 1)) (width 0))"
      "   (gr_poly (pts (xy 0 0) (xy 1 0) (xy 1 1)) (width 0.1) (fill none))"
      "   (gr_line (start 0 0) (end 1 0) (width 0.2))"
      "   (gr_rect (start 0 0) (end 1 1) (width 0) (fill yes))"
      "   (gr_circle (center 0 0) (end 1 0) (width 0))"
      "   (gr_circle (center 0 0) (end 1 0) (width 0.1))"
      "   (gr_arc (start 1 0) (mid 0 1) (end -1 0) (width 0.1))"
      "   (gr_arc (start 0 0) (end 1 0) (angle 90) (width 0.1))"
      "   (gr_curve (pts (xy 0 0) (xy 1 0) (xy 1 1) (xy 0 1)))))"
      " (pad 4 smd octagon (at 0 0) (size 1 1) (layers F.Cu)))");
  const auto pads = loaded.all<GraphicsPadItem>();
  ASSERT_EQ(pads.size(), 4u);
  EXPECT_EQ(pads[0]->shape_options().roundrect_ratio, 0.25);
  const zgraph::PadShapeOptions& chamfered = pads[1]->shape_options();
  EXPECT_EQ(chamfered.roundrect_ratio, 0);
  EXPECT_EQ(chamfered.chamfer_ratio, 0.3);
  EXPECT_TRUE(chamfered.chamfered.top_left && chamfered.chamfered.bottom_right);
  EXPECT_FALSE(chamfered.chamfered.top_right ||
               chamfered.chamfered.bottom_left);
  const zgraph::PadShapeOptions& custom = pads[2]->shape_options();
  EXPECT_EQ(custom.anchor, "circle");
  const struct {
    double width;
    bool filled;
  } primitives[] = {{0, true}, {0.1, false}, {0.2, false}, {0, true},
                    {0, true}, {0.1, false}, {0.1, false}, {0.1, false}};
  ASSERT_EQ(custom.primitives.size(), std::size(primitives));
  for (std::size_t i = 0; i < std::size(primitives); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(custom.primitives[i].width, primitives[i].width);
    EXPECT_EQ(custom.primitives[i].filled, primitives[i].filled);
    EXPECT_FALSE(custom.primitives[i].path.isEmpty());
  }
  // The three-point arc runs through (0, 1), below its ends on screen.
  EXPECT_NEAR(custom.primitives[6].path.boundingRect().bottom(), 1, 1e-6);
  EXPECT_NEAR(custom.primitives[6].path.boundingRect().top(), 0, 1e-6);
  const std::map<std::string, int> not_drawn{{"pad primitive 'gr_curve'", 1},
                                             {"pad shape 'octagon'", 1}};
  EXPECT_EQ(loaded.not_drawn(), not_drawn);
}

TEST(PrettyKicad6, NumbersAtTheEdgeOfTheRangeDrawWithoutHarm) {
  Loaded loaded(
      "(footprint X"
      " (fp_arc (start 0 0) (mid 1e300 1e300) (end 1e-300 -1e300)"
      "  (layer F.SilkS) (width 0.1))"
      " (fp_rect (start -1e308 0) (end 1e308 1) (layer F.SilkS) (fill solid))"
      " (pad 1 thru_hole custom (at 0 0 45) (size 1e300 1e300) (drill 1e300)"
      "  (primitives (gr_poly (pts (xy 0 0) (xy 1e300 0) (xy 1e300 1e300))"
      "   (width 1e300))"
      "   (gr_arc (start 0 0) (mid 1e300 1e300) (end 1e-300 -1e300)"
      "    (width 1e300))"
      "   (gr_arc (start 0 0) (end 0 0) (angle 90) (width 0.2))"
      "   (gr_circle (center 0 0) (end 1e300 0) (width 1e308))"
      "   (gr_line (start 0 0) (end 1e308 1e308) (width 1e308))))"
      " (pad 2 smd roundrect (at 0 0) (size 1e308 1e308) (chamfer_ratio 1e308)"
      "  (chamfer top_left) (roundrect_rratio 1e308))"
      " (pad 3 smd custom (at 0 0) (size 1 1)"
      "  (primitives (gr_poly (pts)) (gr_rect (width 0)))))");
  ASSERT_EQ(loaded.items.size(), 5u);
  EXPECT_NE(dynamic_cast<zgraph::GraphicsLineItem*>(loaded.items[0]), nullptr);
  const QRectF area(-2, -2, 4, 4);
  for (QGraphicsItem* item : loaded.items) paint_alone(*item, area, 10);
  // The empty primitives add nothing to the anchor.
  EXPECT_EQ(loaded.all<GraphicsPadItem>().back()->boundingRect(),
            QRectF(-0.5, -0.5, 1, 1));
}

// Lists directly inside the root, by name, from a plain scan of the text.
std::map<std::string, int> top_level_lists(const std::string& text) {
  std::map<std::string, int> counts;
  int depth = 0;
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '\\')
        ++i;
      else if (c == '"')
        quoted = false;
    } else if (c == '"') {
      quoted = true;
    } else if (c == ')') {
      --depth;
    } else if (c == '(' && ++depth == 2) {
      std::size_t end = i + 1;
      while (end < text.size() && !std::isspace(text[end]) &&
             text[end] != '(' && text[end] != ')')
        ++end;
      ++counts[text.substr(i + 1, end - i - 1)];
    }
  }
  return counts;
}

TEST(PrettyKicad6, EveryFileDrawsEveryElementAndEveryPadPaints) {
  PADSCOPE_REQUIRE_SHARED_TESTDATA();
  const std::set<std::string> drawable{"fp_line", "fp_arc",   "fp_circle",
                                       "fp_poly", "fp_curve", "fp_rect",
                                       "fp_text", "pad"};
  const std::set<QString> known_shapes{"circle",    "rect",      "oval",
                                       "trapezoid", "roundrect", "custom"};
  const auto paths = padscope::test::files_with_suffix(
      padscope::test::shared_testdata_dir() + "/kicad6", ".kicad_mod");
  ASSERT_GE(paths.size(), 30u);
  int custom_pads = 0;
  for (const std::string& path : paths) {
    SCOPED_TRACE(path);
    const std::string text = padscope::test::read_file(path);
    const Loaded loaded(text);
    int expected = 0;
    for (const auto& [name, count] : top_level_lists(text))
      if (drawable.count(name)) expected += count;
    // A text that is empty draws nothing.
    static const std::regex empty_text(R"(\(fp_text \S+ "")");
    expected -= std::distance(
        std::sregex_iterator(text.begin(), text.end(), empty_text),
        std::sregex_iterator());
    EXPECT_EQ(static_cast<int>(loaded.items.size()), expected);
    for (const auto& [kind, count] : loaded.not_drawn())
      EXPECT_EQ(kind, "zone") << count;

    for (GraphicsPadItem* pad : loaded.all<GraphicsPadItem>()) {
      ASSERT_TRUE(known_shapes.count(pad->pad_shape()));
      custom_pads += pad->pad_shape() == "custom";
      const QRectF area = pad->boundingRect();
      const double scale = 64 / std::max(area.width(), area.height());
      const QImage image = paint_alone(*pad, area, scale);
      int inked = 0;
      for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
          inked += image.pixelColor(x, y) == pad->pad_brush().color();
      EXPECT_GT(inked, 0) << pad->number().toStdString() << " at "
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
  GraphicsPadItem* comb = nullptr;
  for (GraphicsPadItem* pad : loaded.all<GraphicsPadItem>())
    if (pad->position() == QPointF(0, -7.635)) comb = pad;
  ASSERT_NE(comb, nullptr);
  ASSERT_EQ(comb->angle(), 270);
  ASSERT_EQ(comb->shape_options().primitives.size(), 7u);
  // A paste opening 0.27 x 1.6 whose primitives are three teeth reaching
  // 0.565 to the left of it in pad coordinates; turned by 270 they reach up
  // on screen. (x, y) of the pad lands at (-y, x) from its centre.
  const QRectF area(-1.2, -8.5, 2.4, 1.8);
  const QImage image = paint_alone(*comb, area, 100);
  const QPointF centre(0, -7.635);
  const struct {
    QPointF in_pad;
    bool inked;
  } probes[] = {{{0, 0}, true},        {{-0.4, 0.8}, true},
                {{-0.4, 0}, true},     {{-0.4, -0.8}, true},
                {{-0.4, 0.45}, false}, {{-0.4, -0.45}, false},
                {{0.3, 0}, false}};
  for (const auto& probe : probes) {
    SCOPED_TRACE(testing::PrintToString(probe.in_pad));
    const QPointF turned(-probe.in_pad.y(), probe.in_pad.x());
    EXPECT_EQ(pixel(image, area, 100, centre + turned) == kSmd, probe.inked);
  }
  // Unturned, the outer teeth would lie where the turned pad leaves black.
  EXPECT_EQ(pixel(image, area, 100, centre + QPointF(-0.4, 0.8)), Qt::black);
  EXPECT_EQ(pixel(image, area, 100, centre + QPointF(-0.4, -0.8)), Qt::black);
}

}  // namespace
}  // namespace zwidget::zcvpcb
