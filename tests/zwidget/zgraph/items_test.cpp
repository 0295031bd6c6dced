#include "support/item_image.h"
#include "support/qt_printers.h"
#include "zwidget/zgraph/arc_geometry.h"
#include "zwidget/zgraph/arc_item.h"
#include "zwidget/zgraph/circle_item.h"
#include "zwidget/zgraph/curve_item.h"
#include "zwidget/zgraph/item_caches.h"
#include "zwidget/zgraph/line_item.h"
#include "zwidget/zgraph/pad_item.h"
#include "zwidget/zgraph/polygon_item.h"
#include "zwidget/zgraph/zone_item.h"

#include <gtest/gtest.h>

#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace zwidget::zgraph {
namespace {

const QColor kInk(194, 194, 0);
const QPen kPen(QBrush(kInk), 0.1, Qt::SolidLine, Qt::RoundCap, Qt::BevelJoin);
const QSizeF k0(0, 0);
using Points = std::vector<QPointF>;

// The item on black, 50 px a unit, over (-2, -2) to (2, 2).
class SceneImage : public padscope::test::ItemImage {
public:
  explicit SceneImage(QGraphicsItem& item)
      : ItemImage(item, QRectF(-2, -2, 4, 4), 50) {}

  void expect(const Points& inked, const Points& black) const {
    for (const QPointF& p : inked)
      EXPECT_EQ(at(p), kInk) << testing::PrintToString(p);
    for (const QPointF& p : black)
      EXPECT_EQ(at(p), Qt::black) << testing::PrintToString(p);
  }
};

// A square zone of side 3 hatched 0.5 apart: inked pixels along y = 0,
// inside the border, in the middle and outside it.
TEST(ZoneItem, HatchesAllOverOrAlongTheBorderAndFillsBeneath) {
  const QPolygonF square(QRectF(-1.5, -1.5, 3, 3));
  const struct {
    ZoneHatch hatch;
    bool filled;
    int near_border, middle;
  } cases[] = {{ZoneHatch::full, false, 1, 3},
               {ZoneHatch::edge, false, 1, 0},
               {ZoneHatch::none, false, 0, 0},
               {ZoneHatch::none, true, 35, 90}};
  for (const auto& c : cases) {
    SCOPED_TRACE(int(c.hatch));
    GraphicsZoneItem zone(
        {square}, c.hatch, 0.5,
        c.filled ? std::vector<QPolygonF>{square} : std::vector<QPolygonF>(),
        kInk);
    const SceneImage image(zone);
    const auto inked = [&image](double from, double to) {
      int n = 0;
      for (double x = from; x < to; x += 0.02) n += image.at({x, 0}) == kInk;
      return n;
    };
    EXPECT_EQ(inked(-1.45, -0.75), c.near_border);
    EXPECT_EQ(inked(-0.9, 0.9), c.middle);
    EXPECT_EQ(inked(1.55, 2), 0);
    EXPECT_EQ(image.at({-1.5, 0}), kInk);  // the outline
  }
  // The lines run up to the right.
  GraphicsZoneItem full({square}, ZoneHatch::full, 0.5, {}, kInk);
  EXPECT_NEAR(full.hatch_lines().front().angle(), 45, 1e-9);
}

// The stretches inside `outline` of the lines x + y = c, found the plain
// way: every edge against every line.
std::size_t stretches_of(const QPolygonF& outline, double first, double step,
                         int lines) {
  std::size_t stretches = 0;
  for (int j = 0; j < lines; ++j) {
    const double c = first + j * step;
    std::size_t crossings = 0;
    for (int i = 0; i < outline.size(); ++i) {
      const QPointF& p = outline[i];
      const QPointF& q = outline[(i + 1) % outline.size()];
      crossings += (p.x() + p.y() > c) != (q.x() + q.y() > c);
    }
    stretches += crossings / 2;
  }
  return stretches;
}

// A comb of 5,000 teeth as tall as it is wide crosses each hatch line
// thousands of times: the hatch keeps to 20,000 segments spread over the
// whole zone, and counts the others.
TEST(ZoneItem, HatchOfACombKeepsToItsBoundAndCountsTheRest) {
  QPolygonF comb;
  const int teeth = 5000;
  const double width = teeth * 0.2;
  for (int i = 0; i < teeth; ++i) {
    comb << QPointF(i * 0.2, 0) << QPointF(i * 0.2, width)
         << QPointF(i * 0.2 + 0.1, width) << QPointF(i * 0.2 + 0.1, 1);
  }
  comb << QPointF(width, 1) << QPointF(width, -1) << QPointF(0, -1);
  // 2000 lines across the zone at most: they are (x + y range) / 2000 apart.
  const double low = -1, high = 2 * width;
  const double step = (high - low) / 2000;
  const std::size_t all =
      stretches_of(comb, std::ceil(low / step) * step, step, 2001);
  ASSERT_GT(all, 1000000u);
  for (const ZoneHatch hatch : {ZoneHatch::full, ZoneHatch::edge}) {
    SCOPED_TRACE(int(hatch));
    const GraphicsZoneItem zone({comb}, hatch, 0.01, {}, kInk);
    const std::size_t per_stretch = hatch == ZoneHatch::edge ? 2 : 1;
    const std::size_t drawn = zone.hatch_lines().size();
    EXPECT_LE(drawn, 20000u);
    EXPECT_GT(drawn, 10000u);
    EXPECT_EQ(drawn + zone.hatch_left_out(), all * per_stretch);
    double least = high, most = low;
    for (const QLineF& line : zone.hatch_lines()) {
      least = std::min(least, line.p1().x() + line.p1().y());
      most = std::max(most, line.p1().x() + line.p1().y());
    }
    EXPECT_LT(least, low + (high - low) / 4);
    EXPECT_GT(most, high - (high - low) / 4);
  }
}

TEST(ArcItem, KeepsSixteenthsTruncatedTowardZeroAndPaintsOnlyTheArc) {
  constexpr int kMax = std::numeric_limits<int>::max();
  const std::pair<double, int> cases[] = {{12.34, 197},
                                          {-9.9, -158},
                                          {1e300, kMax},
                                          {-1e300, -kMax - 1},
                                          {std::nan(""), 0}};
  for (const auto& [degrees, sixteenths] : cases) {
    SCOPED_TRACE(degrees);
    const GraphicsArcItem arc(QPointF(1, 2), 3, degrees, degrees, kPen);
    EXPECT_EQ(arc.startAngle(), sixteenths);
    EXPECT_EQ(arc.spanAngle(), sixteenths);
    EXPECT_EQ(arc.rect(), QRectF(-2, -1, 6, 6));
  }
  GraphicsArcItem arc(QPointF(0, 0), 1, 0, 90, kPen);
  arc.setBrush(Qt::red);
  const double d = std::sqrt(0.5);
  // Counter-clockwise on screen, where up is scene -y; no chord, no fill.
  SceneImage(arc).expect({{d, -d}}, {{d, d}, {0.5, -0.5}, {0.5, 0}});
  GraphicsArcItem dot(QPointF(0.2, 0.2), 0, 30, 120, kPen);
  EXPECT_TRUE(SceneImage(dot).painted().isEmpty());
  // Through points 2e-6 off one line: a span of whole sixteenths would be
  // 0, and Qt's bounds would reach the centre 560000 away.
  const ArcShape flat = arc_through({-1.5, 0}, {0, 2e-6}, {1.5, 0});
  ASSERT_FALSE(flat.straight);
  GraphicsArcItem thin(flat.centre, flat.radius, flat.start, flat.span, kPen);
  SceneImage(thin).expect({{-1.5, 0}, {0, 0}, {1.5, 0}},
                          {{0, 0.1}, {-1.6, 0}, {1.6, 0}});
  EXPECT_TRUE(
      QRectF(-1.551, -0.051, 3.102, 0.102).contains(thin.boundingRect()));
}

// Shapes bounded before, alike in all but one number of the shape or the
// pen, must not lend their rectangle: each item has Qt's own, the second
// time round from what was kept.
TEST(ShapeItems, HaveQtsOwnRectangleWhateverWasBoundedBefore) {
  clear_item_caches();
  QPen dashed = kPen;
  dashed.setDashPattern({11, 4});
  QPen long_dashed = kPen;
  long_dashed.setDashPattern({11, 4, 0.01, 4});
  const QPen pens[] = {
      kPen,
      QPen(kInk, 0.3, Qt::SolidLine, Qt::RoundCap),
      QPen(kInk, 0.3, Qt::SolidLine, Qt::SquareCap),
      QPen(kInk, 0.3, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin),
      QPen(kInk, 0),
      QPen(Qt::NoPen),
      dashed,
      long_dashed};
  const QPolygonF corners[] = {
      QPolygonF({{0, 0}, {1, 0.2}, {0.3, 1}}),
      QPolygonF({{0, 0}, {1, 0.2}, {0.3, 1}, {0.1, 0.5}}),
      QPolygonF({{0, 0}, {1, 0.2}, {0.3, 1.5}})};
  const struct {
    QPointF centre;
    double radius, start, span;
  } arcs[] = {{{0, 0}, 1, 0, 90},
              {{0, 0}, 1, 0, 180},
              {{0, 0}, 1.5, 0, 90},
              {{0.5, 0}, 1, 30, 90}};
  for (int round = 0; round < 2; ++round) {
    for (const QPen& pen : pens) {
      SCOPED_TRACE(testing::PrintToString(pen.widthF()) + " " +
                   std::to_string(int(pen.capStyle())) + " " +
                   std::to_string(int(pen.style())));
      for (const QPolygonF& polygon : corners) {
        QGraphicsPolygonItem qt(polygon);
        qt.setPen(pen);
        EXPECT_EQ(GraphicsPolygonItem(polygon, pen, QBrush()).boundingRect(),
                  qt.boundingRect());
        const QLineF line(polygon[1], polygon[2]);
        QGraphicsLineItem qt_line(line);
        qt_line.setPen(pen);
        EXPECT_EQ(GraphicsLineItem(line, pen).boundingRect(),
                  qt_line.boundingRect());
      }
      for (const auto& arc : arcs) {
        const QRectF box(arc.centre.x() - arc.radius,
                         arc.centre.y() - arc.radius, 2 * arc.radius,
                         2 * arc.radius);
        QGraphicsEllipseItem circle(box), part(box);
        circle.setPen(pen);
        part.setPen(pen);
        part.setStartAngle(int(arc.start * 16));
        part.setSpanAngle(int(arc.span * 16));
        EXPECT_EQ(
            GraphicsCircleItem(arc.centre, arc.radius, pen).boundingRect(),
            circle.boundingRect());
        EXPECT_EQ(
            GraphicsArcItem(arc.centre, arc.radius, arc.start, arc.span, pen)
                .boundingRect(),
            part.boundingRect());
      }
    }
  }
}

TEST(CurveItem, JoinsItsPointsWithOpenSegmentsBoundedWithTheirPen) {
  const Points points{{-3, -2}, {-1, -4}, {-2, -1}};
  EXPECT_EQ(GraphicsCurveItem(points, QPen(kInk, 0)).boundingRect(),
            QRectF(QPointF(-3, -4), QPointF(-1, -1)));
  EXPECT_EQ(GraphicsCurveItem(points, kPen).boundingRect(),
            QRectF(QPointF(-3.05, -4.05), QPointF(-0.95, -0.95)));
  GraphicsCurveItem curve({{-1, 1}, {-1, -1}, {1, -1}, {1, 1}}, kPen);
  // Straight (a Bezier would not reach (0, -1)), open and not filled.
  SceneImage(curve).expect({{0, -1}}, {{0, -0.5}, {0, 1}, {0, 0}});
  // One point: nothing painted, an empty rectangle.
  GraphicsCurveItem one({{0.4, -0.2}}, kPen);
  EXPECT_EQ(one.boundingRect(), QRectF(0.4, -0.2, 0, 0));
  EXPECT_TRUE(SceneImage(one).painted().isEmpty());
}

// A pad's keywords and figures in the order tests vary them most.
struct Pad {
  QString shape, type;
  QSizeF size, drill = k0, delta = k0;
  double angle = 0;
  QPointF position = {}, offset = {};
  bool oval_drill = false;
  QString number = {};
  PadShapeOptions options = {};

  PadSpec spec() const {
    return {number,
            pad_type_of(type.toStdString()),
            pad_shape_of(shape.toStdString()),
            size,
            position,
            angle,
            delta,
            {drill, oval_drill},
            offset,
            options};
  }
  GraphicsPadItem make() const { return GraphicsPadItem(spec(), kInk); }
  SceneImage paint() const {
    GraphicsPadItem item = make();
    return SceneImage(item);
  }
};

Pad with(Pad pad, double rounding, double chamfer = 0, PadCorners cut = {}) {
  pad.options.roundrect_ratio = rounding;
  pad.options.chamfer_ratio = chamfer;
  pad.options.chamfered = cut;
  return pad;
}

// A filled bar right of the anchor, a ring below it, a thick line above.
Pad custom(Pad pad, const QString& anchor = "rect") {
  QPainterPath bar, ring, line;
  bar.addRect(QRectF(0, -0.1, 0.9, 0.2));
  ring.addEllipse(QPointF(0, 0.6), 0.3, 0.3);
  line.moveTo(-0.8, -0.6);
  line.lineTo(0.8, -0.6);
  pad.options.anchor = anchor;
  pad.options.primitives = {
      {bar, 0.1, true}, {ring, 0.1, false}, {line, 0.2, false}};
  return pad;
}

TEST(PadItem, ShowsPadColourAndBackgroundWhereItsShapeSays) {
  const QSizeF k08(0.8, 0.8), slot(1.2, 0.4);
  const Pad rounded{"roundrect", "smd", {2, 1}}, square{"rect", "smd", {2, 2}};
  const Pad small{"custom", "smd", {0.4, 0.4}};
  const PadCorners top_left{true, false, false, false};
  // 0.15 inside the corners of a 2 x 2 pad, whose cuts are 0.5.
  const QPointF tl(-0.85, -0.85), tr(0.85, -0.85), bl(-0.85, 0.85),
      br(0.85, 0.85);
  const struct {
    Pad pad;
    Points inked, black;
  } cases[] = {
      {{"circle", "smd", {1.6, 1.6}, k08}, {{0, 0}}, {{0.85, 0}}},
      {{"oval", "smd", {2, 1}}, {{0.95, 0}, {0.7, 0.4}}, {{0.95, 0.45}}},
      // H at the centre line, the ends H + D and H - D.
      {{"trapezoid", "smd", {1, 2}, k0, {0, -0.4}},
       {{0.65, -0.97}, {0.48, 0}},
       {{0.52, 0}, {0.35, 0.97}}},
      // W at the centre line, the left side W + D and the right one W - D.
      {{"trapezoid", "smd", {2, 1}, k0, {0.4, 0}},
       {{-0.97, 0.65}, {0, 0.48}},
       {{0, 0.52}, {0.97, 0.35}}},
      // The copper moves by the drill offset, the hole stays; turned, and
      // on a pad without a hole too.
      {{"circle", "thru_hole", {1.6, 1.6}, {0.4, 0.4}, k0, 0, {}, {0.2, 0}},
       {{0.95, 0}, {0.3, 0}},
       {{0, 0}, {-0.7, 0}}},
      {{"rect", "smd", {1, 0.5}, k0, k0, 90, {}, {0.5, 0}},
       {{0, -0.9}, {0.2, -0.1}},
       {{0, 0.1}, {0.5, 0}}},
      // A non-plated pad no larger than its hole has no rim; a larger one.
      {{"circle", "np_thru_hole", {1, 1}, {1, 1}},
       {},
       {{0.49, 0}, {0.5, 0}, {-0.5, 0}, {0, 0.5}, {0, -0.5}}},
      {{"oval", "np_thru_hole", {1.2, 1}, {1, 1}}, {{0.55, 0}}, {{0, 0}}},
      // An oval drill is a slot, not an ellipse.
      {{"oval", "thru_hole", {2, 1}, slot, k0, 0, {}, {}, true},
       {{0.7, 0}},
       {{0.5, 0.12}}},
      // Radius 0.25 of the shorter side by default, at most a half.
      {rounded, {{0, -0.48}, {0.98, 0}}, {{0.97, -0.47}, {-0.97, 0.47}}},
      {with(rounded, std::nan("")), {{0.97, -0.47}}, {}},
      {with(rounded, 3), {{0.5, 0.48}}, {{0.9, 0.4}}},
      {with(square, 0, 0.25, top_left), {tr, bl, br, {-0.4, -0.97}}, {tl}},
      {with({"roundrect", "smd", {2, 2}}, 0.05, 0.25,
            {true, false, false, true}),
       {tr, bl},
       {tl, br}},
      // Turned a quarter, the top left corner is at the bottom left.
      {with({"rect", "smd", {2, 2}, k0, k0, 90}, 0, 0.25, top_left),
       {tl, tr, br},
       {bl}},
      // The bar overlaps the anchor: the overlap stays filled.
      {custom(small),
       {{0.1, 0}, {0.9, 0}, {-0.15, -0.15}, {0.3, 0.6}, {-0.75, -0.6}},
       {{0, 0.6}, {0.3, 0.25}, {0.5, -0.3}, {-0.5, 0}}},
      {custom(small, "circle"), {{0.1, 0}}, {{-0.19, -0.19}}},
      {custom({"custom", "thru_hole", {0.4, 0.4}, {0.3, 0.3}}),
       {{0.3, 0}, {0.5, 0}},
       {{0.05, 0.05}, {-0.1, 0}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << "row " << &c - cases << " " << c.pad.shape.toStdString());
    c.pad.paint().expect(c.inked, c.black);
  }
}

// Turned counter-clockwise on screen about the pad's centre.
TEST(PadItem, BoundingRectangleHoldsTheTurnedPadAndPrimitives) {
  const double s = 1.25 / std::sqrt(2);
  const QRectF expected(1 - s, 0.5 - s, 2 * s, 2 * s);
  const Pad turned{"rect", "smd", {2, 0.5}, k0, k0, 45, {1, 0.5}};
  const QRectF bounds = turned.make().boundingRect();
  EXPECT_NEAR(
      (bounds.topLeft() - expected.topLeft()).manhattanLength() +
          (bounds.bottomRight() - expected.bottomRight()).manhattanLength(),
      0, 1e-9);
  const QRectF painted = turned.paint().painted();
  EXPECT_TRUE(bounds.adjusted(-0.02, -0.02, 0.02, 0.02).contains(painted));
  EXPECT_GT(painted.width(), 2 * s - 0.05);
  // The bar, ring and line reach 0.95, 0.95 and -0.7 with half their widths.
  Pad pad = custom({"custom", "smd", {0.4, 0.4}});
  EXPECT_NEAR(pad.make().boundingRect().right(), 0.95, 0.01);
  EXPECT_NEAR(pad.make().boundingRect().bottom(), 0.95, 0.01);
  pad.angle = 90;
  EXPECT_NEAR(pad.make().boundingRect().top(), -0.95, 0.01);
  // Shapes it does not know (the case counts) paint nothing.
  for (const char* shape : {"octagon", "Circle"}) {
    SCOPED_TRACE(shape);
    const Pad odd{shape, "thru_hole", {1.6, 1.6}, {0.8, 0.8},
                  k0,    0,           {0.5, -0.5}};
    EXPECT_EQ(odd.make().boundingRect(), QRectF(-0.3, -1.3, 1.6, 1.6));
    EXPECT_TRUE(odd.paint().painted().isEmpty());
  }
}

// Numbers on every pad type, connect pads too: inside the pad and centred
// on it at every zoom, reading along its long side, and left out where they
// would be smaller than a few pixels. A pin name goes under its number; a
// rim, where the theme gives one, rings both. The pads are a 0.4 mm pitch
// QFP's.
TEST(PadItem, LabelFitsItsPadAtEveryZoomAndReadsAlongItsLongSide) {
  const QColor rim(255, 0, 0);
  const struct {
    const char* type;
    double angle;
    QString pin_name;
    QColor rim;
  } cases[] = {{"smd", 0, {}, {}},
               {"connect", 90, {}, {}},
               {"smd", 30, {}, {}},
               {"smd", 180, {}, rim},
               {"smd", 0, "VDD", rim}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.type << " " << c.angle);
    Pad pad{"roundrect", c.type, {1.5, 0.25}, k0, k0, c.angle};
    pad.number = "64";
    PadSpec spec = pad.spec();
    spec.pin_name = c.pin_name;
    GraphicsPadItem item(spec, kInk, Qt::white, c.rim);
    const QTransform turn = pad_turn(spec);
    for (const double scale : {10.0, 40.0, 100.0, 400.0}) {
      SCOPED_TRACE(scale);
      const padscope::test::ItemImage image(item, QRectF(-1, -1, 2, 2), scale);
      // The pad colour has no blue, the label is white.
      const QRectF label = image.extent(
          [](const QColor& colour) { return colour.blue() > 100; });
      // Two rows are smaller, and one shows from 40 pixels a millimetre.
      if (scale == 10 || (scale == 40 && !c.pin_name.isEmpty()))
        EXPECT_TRUE(label.isEmpty());
      else
        ASSERT_FALSE(label.isEmpty());
      const QRectF ringed = image.extent([](const QColor& colour) {
        return colour.red() > 200 && colour.green() < 60;
      });
      EXPECT_EQ(ringed.isEmpty(), label.isEmpty() || !c.rim.isValid());
      if (label.isEmpty()) continue;
      const double pixel = 1.5 / scale;
      if (c.rim.isValid()) {
        EXPECT_TRUE(
            ringed.adjusted(-pixel, -pixel, pixel, pixel).contains(label));
      }
      EXPECT_TRUE(item.boundingRect()
                      .adjusted(-pixel, -pixel, pixel, pixel)
                      .contains(label));
      // Every corner of the label's box within the turned pad.
      const QPolygonF inside = turn.map(
          QPolygonF(pad_rect(spec).adjusted(-pixel, -pixel, pixel, pixel)));
      if (int(c.angle) % 90 == 0) {
        for (const QPointF& corner : {label.topLeft(), label.topRight(),
                                      label.bottomLeft(), label.bottomRight()})
          EXPECT_TRUE(inside.containsPoint(corner, Qt::OddEvenFill));
        EXPECT_NEAR(label.center().x(), 0, 2 * pixel);
        EXPECT_NEAR(label.center().y(), 0, 2 * pixel);
        const bool across = int(c.angle) % 180 != 0;
        EXPECT_EQ(label.height() > label.width(), across);
      }
    }
  }
}

}  // namespace
}  // namespace zwidget::zgraph
