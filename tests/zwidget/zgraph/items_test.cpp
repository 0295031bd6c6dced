#include "support/qt_printers.h"
#include "zwidget/zgraph/arc_item.h"
#include "zwidget/zgraph/circle_item.h"
#include "zwidget/zgraph/curve_item.h"
#include "zwidget/zgraph/pad_item.h"

#include <gtest/gtest.h>

#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionGraphicsItem>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <vector>

namespace zwidget::zgraph {
namespace {

const QColor kInk(194, 194, 0);
const QPen kPen(QBrush(kInk), 0.1, Qt::SolidLine, Qt::RoundCap, Qt::BevelJoin);
const QSizeF k0(0, 0);

// A black image of the scene around the origin, 50 pixels per unit, y down,
// painted without antialiasing so that colours stay exact. Painting must
// leave the painter as it found it.
class SceneImage {
public:
  explicit SceneImage(QGraphicsItem& item) {
    image.fill(Qt::black);
    QPainter painter(&image);
    painter.setTransform(to_pixels);
    painter.setBrush(Qt::magenta);  // must not leak into any item
    const QPen pen = painter.pen();
    const QFont font = painter.font();
    QStyleOptionGraphicsItem option;
    item.paint(&painter, &option, nullptr);
    EXPECT_EQ(painter.transform(), to_pixels);
    EXPECT_EQ(painter.brush(), QBrush(Qt::magenta));
    EXPECT_EQ(painter.pen(), pen);
    EXPECT_EQ(painter.font(), font);
  }

  QColor at(double x, double y) const {
    const QPointF p = to_pixels.map(QPointF(x, y));
    return image.pixelColor(std::floor(p.x()), std::floor(p.y()));
  }

  // The scene-unit bounds of the pixels passing `test`; empty if none does.
  template <typename Test>
  QRectF extent(Test test) const {
    QRect pixels;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x)
        if (test(image.pixelColor(x, y))) pixels |= QRect(x, y, 1, 1);
    return to_pixels.inverted().mapRect(QRectF(pixels));
  }

  bool blank() const {
    return extent([](const QColor& c) { return c != Qt::black; }).isEmpty();
  }

private:
  QImage image{200, 200, QImage::Format_ARGB32};
  QTransform to_pixels{50, 0, 0, 50, 100, 100};
};

TEST(ArcItem, StoresSixteenthsTruncatedTowardZeroAndClamped) {
  constexpr int kMax = std::numeric_limits<int>::max();
  const struct {
    double degrees;
    int sixteenths;
  } cases[] = {{12.34, 197},  {-9.9, -158},        {-0.05, 0},
               {1e300, kMax}, {-1e300, -kMax - 1}, {std::nan(""), 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.degrees);
    const GraphicsArcItem arc(QPointF(1, 2), 3, c.degrees, c.degrees, kPen);
    EXPECT_EQ(arc.startAngle(), c.sixteenths);
    EXPECT_EQ(arc.spanAngle(), c.sixteenths);
    EXPECT_EQ(arc.rect(), QRectF(-2, -1, 6, 6));
  }
}

TEST(ArcItem, PaintsOnlyTheArcCounterClockwiseFromThreeOClock) {
  GraphicsArcItem arc(QPointF(0, 0), 1, 0, 90, kPen);
  arc.setBrush(Qt::red);
  EXPECT_EQ(GraphicsCircleItem(QPointF(0, 0), 1, kPen).rect(), arc.rect());
  const SceneImage image(arc);
  const double d = std::sqrt(0.5);
  EXPECT_EQ(image.at(d, -d), kInk);  // on screen, up is scene -y
  EXPECT_EQ(image.at(d, d), Qt::black);
  EXPECT_EQ(image.at(0.5, -0.5), Qt::black);  // no chord, no fill
  EXPECT_EQ(image.at(0.5, 0), Qt::black);     // no radius
}

TEST(ArcItem, OfRadiusZeroPaintsNothing) {
  GraphicsArcItem arc(QPointF(0.2, 0.2), 0, 30, 120, kPen);
  EXPECT_TRUE(SceneImage(arc).blank());
}

TEST(CurveItem, BoundingRectangleSpansItsPointsAndPen) {
  const std::vector<QPointF> points{{-3, -2}, {-1, -4}, {-2, -1}};
  EXPECT_EQ(GraphicsCurveItem(points, QPen(kInk, 0)).boundingRect(),
            QRectF(QPointF(-3, -4), QPointF(-1, -1)));
  EXPECT_EQ(GraphicsCurveItem(points, kPen).boundingRect(),
            QRectF(QPointF(-3.05, -4.05), QPointF(-0.95, -0.95)));
  // One point or none: nothing is painted, and the rectangle is empty.
  GraphicsCurveItem one({{0.4, -0.2}}, kPen);
  GraphicsCurveItem none({}, kPen);
  EXPECT_EQ(one.boundingRect(), QRectF(0.4, -0.2, 0, 0));
  EXPECT_EQ(none.boundingRect(), QRectF(0, 0, 0, 0));
  EXPECT_TRUE(SceneImage(one).blank());
  EXPECT_TRUE(SceneImage(none).blank());
}

TEST(CurveItem, JoinsItsPointsWithOpenStraightSegments) {
  GraphicsCurveItem curve({{-1, 1}, {-1, -1}, {1, -1}, {1, 1}}, kPen);
  const SceneImage image(curve);
  EXPECT_EQ(image.at(0, -1), kInk);         // a Bezier would not reach this
  EXPECT_EQ(image.at(0, -0.5), Qt::black);  // where it would pass
  EXPECT_EQ(image.at(0, 1), Qt::black);     // not closed
  EXPECT_EQ(image.at(0, 0), Qt::black);     // not filled
}

// A pad's constructor arguments in the order tests vary them most.
struct Pad {
  QString shape, type;
  QSizeF size, drill = k0, delta = k0;
  double angle = 0;
  QPointF position = {}, offset = {};
  bool oval_drill = false;
  QString number = {};
  std::optional<PadShapeOptions> options = {};

  GraphicsPadItem make() const {
    if (options)
      return GraphicsPadItem(number, type, shape, size, position, angle, delta,
                             oval_drill, offset, drill, kInk, *options);
    return GraphicsPadItem(number, type, shape, size, position, angle, delta,
                           oval_drill, offset, drill, kInk);
  }
  SceneImage paint() const {
    GraphicsPadItem item = make();
    return SceneImage(item);
  }
};

bool is_label(const QColor& c) {
  return c.blue() > 100;  // the pad colour has no blue, the label is white
}

TEST(PadItem, ShowsPadColourAndBackgroundWhereItsShapeSays) {
  const QSizeF k08(0.8, 0.8), slot(1.2, 0.4);
  const struct {
    Pad pad;
    std::vector<QPointF> filled, empty;
  } cases[] = {
      {{"circle", "thru_hole", {1.6, 1.6}, k08}, {{0.6, 0}}, {{0, 0}}},
      {{"circle", "np_thru_hole", {2, 2}, k08}, {{0.6, 0}}, {{0.3, 0.1}}},
      {{"circle", "smd", {1.6, 1.6}, k08}, {{0, 0}}, {{0.85, 0}}},
      {{"circle", "connect", {2, 2}, k08}, {{0, 0}}, {}},
      {{"oval", "smd", {2, 1}}, {{0.95, 0}, {0.7, 0.4}}, {{0.95, 0.45}}},
      {{"oval", "smd", {1, 1}}, {{0.3, 0.3}}, {{0.45, 0.45}}},
      // The top edge of 2 shortened by 0.4 is 1.6 long.
      {{"trapezoid", "smd", {2, 1}, k0, {0, 0.4}},
       {{0.75, -0.48}, {-0.75, -0.48}, {0.97, 0.48}},
       {{0.85, -0.48}, {-0.85, -0.48}}},
      {{"trapezoid", "smd", {2, 1}, k0, {0, -0.4}},
       {{0.97, -0.48}},
       {{0.85, 0.48}}},
      {{"trapezoid", "smd", {2, 2}, k0, {0.4, 0.4}},
       {{0.85, 0}, {-0.97, 0.97}},
       {{0.95, 0}, {-0.85, -0.97}}},
      {{"trapezoid", "smd", {1, 2}, k0, {-0.4, 0}},
       {{0.48, 0.97}},
       {{-0.48, 0.85}}},
      // The hole sits at the position minus the drill offset.
      {{"circle", "thru_hole", {1.6, 1.6}, {0.4, 0.4}, k0, 0, {}, {0.2, 0}},
       {{0.2, 0}},
       {{-0.2, 0}}},
      {{"oval", "thru_hole", {2, 1}, slot, k0, 0, {}, {}, true},
       {{0.7, 0}},
       {{0.5, 0.12}}},
      {{"oval", "thru_hole", {2, 1}, slot}, {{0.5, 0.12}}, {{0, 0}}},
      // Turned counter-clockwise on screen about the pad's centre.
      {{"rect", "smd", {2, 0.5}, k0, k0, 90, {1, 0.5}},
       {{1, 1.4}},
       {{1.9, 0.5}}},
      {{"rect", "smd", {2, 0.5}, k0, k0, 30, {}, {}, false, "1"},
       {{0.78, -0.45}},
       {{0.78, 0.45}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c.pad.shape.toStdString() << " " << c.pad.type.toStdString()
                 << " " << testing::PrintToString(c.pad.size));
    const SceneImage image = c.pad.paint();
    for (const QPointF& p : c.filled)
      EXPECT_EQ(image.at(p.x(), p.y()), kInk) << testing::PrintToString(p);
    for (const QPointF& p : c.empty)
      EXPECT_EQ(image.at(p.x(), p.y()), Qt::black) << testing::PrintToString(p);
  }
}

TEST(PadItem, OtherShapesPaintNothingButKeepTheirRectangle) {
  for (const char* shape : {"octagon", "Circle", "RoundRect", ""}) {
    SCOPED_TRACE(shape);
    const Pad pad{shape, "thru_hole", {1.6, 1.6}, {0.8, 0.8}, k0,
                  0,     {0.5, -0.5}, {},         false,      "1"};
    EXPECT_EQ(pad.make().boundingRect(), QRectF(-0.3, -1.3, 1.6, 1.6));
    EXPECT_TRUE(pad.paint().blank());
  }
}

PadShapeOptions rounded(double ratio) {
  PadShapeOptions options;
  options.roundrect_ratio = ratio;
  return options;
}

TEST(PadItem, RoundrectRoundsItsCornersByTheRatioOfTheShorterSide) {
  // 2 x 1 at 0.25: corners of radius 0.25, 0.06 of which lie beyond the
  // quarter circle along the diagonal.
  const std::vector<QPointF> edges{
      {0, -0.48}, {0, 0.48}, {-0.98, 0}, {0.98, 0}};
  const std::vector<QPointF> corners{
      {-0.97, -0.47}, {0.97, -0.47}, {-0.97, 0.47}, {0.97, 0.47}};
  const struct {
    std::optional<PadShapeOptions> options;
    bool corners_filled;
  } cases[] = {{{}, false},  // the constructor of the older shapes: 0.25
               {rounded(0.25), false},
               {rounded(0), true},
               {rounded(-1), true},
               {rounded(std::nan("")), true},
               {rounded(0.03), true}};  // radius 0.03: the probes lie inside
  for (const auto& c : cases) {
    SCOPED_TRACE(c.options ? c.options->roundrect_ratio : -99);
    Pad pad{"roundrect", "smd", {2, 1}};
    pad.options = c.options;
    const SceneImage image = pad.paint();
    for (const QPointF& p : edges) EXPECT_EQ(image.at(p.x(), p.y()), kInk);
    for (const QPointF& p : corners)
      EXPECT_EQ(image.at(p.x(), p.y()) == kInk, c.corners_filled)
          << testing::PrintToString(p);
  }
  // A ratio above a half is a half: the ends become half circles.
  Pad obround{"roundrect", "smd", {2, 1}};
  obround.options = rounded(3);
  const SceneImage image = obround.paint();
  EXPECT_EQ(image.at(0.9, 0.4), Qt::black);
  EXPECT_EQ(image.at(0.5, 0.48), kInk);
}

TEST(PadItem, ChamfersCutOnlyTheNamedCornersAndTurnWithThePad) {
  // Probes 0.15 inside each corner of a 2 x 2 pad, whose cuts are 0.5.
  const QPointF tl(-0.85, -0.85), tr(0.85, -0.85), bl(-0.85, 0.85),
      br(0.85, 0.85);
  const struct {
    const char* shape;
    PadCorners cut;
    double angle;
    std::vector<QPointF> cut_probes;
  } cases[] = {
      {"rect", {true, false, false, false}, 0, {tl}},
      {"rect", {false, true, false, false}, 0, {tr}},
      {"rect", {false, false, true, false}, 0, {bl}},
      {"rect", {false, false, false, true}, 0, {br}},
      {"roundrect", {true, false, false, true}, 0, {tl, br}},
      {"roundrect", {true, true, true, true}, 0, {tl, tr, bl, br}},
      {"rect", {false, false, false, false}, 0, {}},
      // Turned a quarter counter-clockwise, the top left is at the bottom.
      {"rect", {true, false, false, false}, 90, {bl}},
      {"roundrect", {false, true, false, false}, -90, {br}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c.shape << " " << c.cut.top_left << c.cut.top_right
                 << c.cut.bottom_left << c.cut.bottom_right << " " << c.angle);
    Pad pad{c.shape, "smd", {2, 2}, k0, k0, c.angle};
    pad.options = rounded(0.05);  // a radius of 0.1 keeps the probes inside
    pad.options->chamfer_ratio = 0.25;
    pad.options->chamfered = c.cut;
    const SceneImage image = pad.paint();
    EXPECT_EQ(image.at(0, 0), kInk);
    for (const QPointF& p : {tl, tr, bl, br}) {
      const bool cut = std::find(c.cut_probes.begin(), c.cut_probes.end(), p) !=
                       c.cut_probes.end();
      EXPECT_EQ(image.at(p.x(), p.y()), cut ? QColor(Qt::black) : kInk)
          << testing::PrintToString(p);
    }
    // Along the edge just past the cut the pad is whole again.
    EXPECT_EQ(image.at(0.4, -0.97), kInk);
  }
}

PadPrimitive primitive(const QPainterPath& path, double width, bool filled) {
  return PadPrimitive{path, width, filled};
}

// A small square anchor with a filled bar overlapping it to the right, a
// ring below it and a thick line above it, all in pad coordinates.
PadShapeOptions custom_shapes() {
  PadShapeOptions options;
  QPainterPath bar, ring, line;
  bar.addRect(QRectF(0, -0.1, 0.9, 0.2));
  ring.addEllipse(QPointF(0, 0.6), 0.3, 0.3);
  line.moveTo(-0.8, -0.6);
  line.lineTo(0.8, -0.6);
  options.primitives = {primitive(bar, 0.1, true), primitive(ring, 0.1, false),
                        primitive(line, 0.2, false)};
  return options;
}

TEST(PadItem, CustomPadsPaintAnchorAndPrimitivesAsOneAreaTurnedWithThePad) {
  const struct {
    QString anchor;
    double angle;
    std::vector<QPointF> filled, empty;
  } cases[] = {
      // The bar overlaps the anchor: the overlap stays filled.
      {"rect",
       0,
       {{0.1, 0}, {0.9, 0}, {-0.15, -0.15}, {0.3, 0.6}, {-0.75, -0.6}},
       {{0, 0.6}, {0.3, 0.25}, {0.5, -0.3}, {-0.5, 0}}},
      {"circle", 0, {{0.1, 0}, {0, 0.3}}, {{-0.19, -0.19}, {0.19, 0.19}}},
      // A quarter counter-clockwise: the bar points up, the ring to the right.
      {"rect",
       90,
       {{0, -0.9}, {0.6, 0.3}, {-0.6, 0.75}},
       {{0.5, 0.05}, {0, 0.6}, {0.6, 0}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c.anchor.toStdString() << " " << c.angle);
    Pad pad{"custom", "smd", {0.4, 0.4}, k0, k0, c.angle};
    pad.options = custom_shapes();
    pad.options->anchor = c.anchor;
    const SceneImage image = pad.paint();
    for (const QPointF& p : c.filled)
      EXPECT_EQ(image.at(p.x(), p.y()), kInk) << testing::PrintToString(p);
    for (const QPointF& p : c.empty)
      EXPECT_EQ(image.at(p.x(), p.y()), Qt::black) << testing::PrintToString(p);
  }
}

TEST(PadItem, CustomPadsKeepHoleAndLabelOnTopAndBoundTheirPrimitives) {
  Pad pad{"custom", "thru_hole", {0.4, 0.4}, {0.3, 0.3}, k0,
          0,        {},          {},         false,      "7"};
  pad.options = custom_shapes();
  const SceneImage image = pad.paint();
  EXPECT_EQ(image.at(0.05, 0.05), Qt::black);  // the hole, bar or not
  EXPECT_FALSE(image.extent(is_label).isEmpty());
  // The bar, ring and line reach out to 0.95, 0.95 and 0.9 (with half their
  // widths); the turned item's bounds follow.
  const QRectF bounds = pad.make().boundingRect();
  EXPECT_NEAR(bounds.right(), 0.95, 0.01);
  EXPECT_NEAR(bounds.bottom(), 0.95, 0.01);
  EXPECT_NEAR(bounds.top(), -0.7, 0.01);
  pad.angle = 90;
  const QRectF turned = pad.make().boundingRect();
  EXPECT_NEAR(turned.top(), -0.95, 0.01);
  EXPECT_NEAR(turned.right(), 0.95, 0.01);
  // Without primitives a custom pad is its anchor.
  pad.options->primitives.clear();
  EXPECT_EQ(pad.make().boundingRect(), QRectF(-0.2, -0.2, 0.4, 0.4));
}

TEST(PadItem, BoundingRectangleHoldsTheTurnedPad) {
  const double s = 1.25 / std::sqrt(2);
  const struct {
    double angle;
    QRectF bounds;
  } cases[] = {{0, QRectF(0, 0.25, 2, 0.5)},
               {90, QRectF(0.75, -0.5, 0.5, 2)},
               {180, QRectF(0, 0.25, 2, 0.5)},
               {45, QRectF(1 - s, 0.5 - s, 2 * s, 2 * s)}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.angle);
    const Pad pad{"rect", "smd", {2, 0.5}, k0, k0, c.angle, {1, 0.5}};
    const QRectF bounds = pad.make().boundingRect();
    EXPECT_LT((bounds.topLeft() - c.bounds.topLeft()).manhattanLength(), 1e-9);
    EXPECT_LT((bounds.bottomRight() - c.bounds.bottomRight()).manhattanLength(),
              1e-9);
    const QRectF painted =
        pad.paint().extent([](const QColor& c) { return c != Qt::black; });
    EXPECT_TRUE(bounds.adjusted(-0.02, -0.02, 0.02, 0.02).contains(painted));
  }
}

TEST(PadItem, LabelIsWhiteCentredOfOneSizeCutAtThePadAndTurnsWithIt) {
  for (const char* type : {"smd", "thru_hole", "np_thru_hole", "connect"}) {
    SCOPED_TRACE(type);
    const Pad pad{"rect", type, {2, 1}, k0, k0, 0, {}, {}, false, "8"};
    EXPECT_EQ(pad.paint().extent(is_label).isEmpty(),
              type == QString("connect"));
  }
  Pad pad{"rect", "smd", {1, 1}, k0, k0, 0, {-0.5, 0.5}, {}, false, "88"};
  const QRectF label = pad.paint().extent(is_label);
  EXPECT_NEAR(label.center().x(), -0.5, 0.05);
  EXPECT_NEAR(label.center().y(), 0.5, 0.1);
  pad.size = QSizeF(3, 3);
  EXPECT_EQ(pad.paint().extent(is_label).size(), label.size());
  pad.size = QSizeF(1, 1);
  pad.number = "12345";
  const QRectF cut = pad.paint().extent(is_label);
  EXPECT_TRUE(QRectF(-1.01, -0.01, 1.02, 1.02).contains(cut));
  EXPECT_GT(cut.width(), 2 * cut.height());
  pad.angle = 90;
  const QRectF turned = pad.paint().extent(is_label);
  EXPECT_NEAR(turned.height(), cut.width(), 0.05);
  EXPECT_NEAR(turned.width(), cut.height(), 0.05);
}

TEST(PadItem, PaintsWithACosmeticPenAndSolidBrushInItsColour) {
  const GraphicsPadItem pad = Pad{"rect", "smd", {1, 1}}.make();
  EXPECT_EQ(pad.pad_pen().color(), kInk);
  EXPECT_TRUE(pad.pad_pen().isCosmetic());
  EXPECT_EQ(pad.pad_pen().capStyle(), Qt::RoundCap);
  EXPECT_EQ(pad.pad_brush(), QBrush(kInk, Qt::SolidPattern));
}

}  // namespace
}  // namespace zwidget::zgraph
