#include "scene_image.h"
#include "support/qt_printers.h"
#include "zwidget/zgraph/arc_item.h"
#include "zwidget/zgraph/circle_item.h"
#include "zwidget/zgraph/curve_item.h"
#include "zwidget/zgraph/line_item.h"
#include "zwidget/zgraph/polygon_item.h"

#include <gtest/gtest.h>

#include <QPen>

#include <cmath>
#include <limits>

namespace zwidget::zgraph {
namespace {

using padscope::test::SceneImage;
constexpr auto kQtPaints = SceneImage::PainterState::kLeftToTheView;

const QColor kInk(194, 194, 0);
const QColor kBlack(Qt::black);

QPen thick_pen() {
  return QPen(QBrush(kInk), 0.1, Qt::SolidLine, Qt::RoundCap, Qt::BevelJoin);
}

QPen cosmetic_pen() {
  return QPen(QBrush(kInk), 0, Qt::SolidLine, Qt::RoundCap, Qt::BevelJoin);
}

TEST(ArcItem, StoresWholeSixteenthsTruncatedTowardZero) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const int max = std::numeric_limits<int>::max();
  const int min = std::numeric_limits<int>::min();
  const struct {
    double degrees;
    int sixteenths;
  } cases[] = {
      {12.34, 197}, {-9.9, -158}, {90, 1440},   {-360, -5760},
      {0.05, 0},    {-0.05, 0},   {1e300, max}, {-1e300, min},
      {inf, max},   {-inf, min},  {nan, 0},     {134217727.9, 2147483646},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.degrees);
    const GraphicsArcItem arc(QPointF(1, 2), 3, c.degrees, c.degrees,
                              thick_pen());
    EXPECT_EQ(arc.startAngle(), c.sixteenths);
    EXPECT_EQ(arc.spanAngle(), c.sixteenths);
  }
}

TEST(ArcItem, HasTheCirclesSquareAndPen) {
  const GraphicsArcItem arc(QPointF(1, -2), 0.5, 0, 90, thick_pen());
  EXPECT_EQ(arc.rect(), QRectF(0.5, -2.5, 1, 1));
  EXPECT_EQ(arc.pen(), thick_pen());
}

TEST(ArcItem, PaintsOnlyTheArcCounterClockwiseFromThreeOClock) {
  // A quarter from 3 o'clock to 12 o'clock: on screen, y up is scene -y.
  GraphicsArcItem arc(QPointF(0, 0), 1, 0, 90, thick_pen());
  arc.setBrush(QColor(Qt::red));
  SceneImage image;
  image.paint(arc);
  const double d = std::sqrt(0.5);
  EXPECT_EQ(image.at(d, -d), kInk);
  EXPECT_EQ(image.at(1, 0), kInk);
  EXPECT_EQ(image.at(0, -1), kInk);
  EXPECT_EQ(image.at(d, d), kBlack);       // outside the span
  EXPECT_EQ(image.at(-d, -d), kBlack);     // outside the span
  EXPECT_EQ(image.at(0.5, -0.5), kBlack);  // chord and fill
  EXPECT_EQ(image.at(0.5, 0), kBlack);     // radius
}

TEST(CircleItem, IsAnOutlineOnTheSquareAroundItsCentre) {
  GraphicsCircleItem circle(QPointF(0.5, 0), 1, thick_pen());
  EXPECT_EQ(circle.rect(), QRectF(-0.5, -1, 2, 2));
  SceneImage image;
  image.paint(circle, kQtPaints);
  EXPECT_EQ(image.at(1.5, 0), kInk);
  EXPECT_EQ(image.at(0.5, -1), kInk);
  EXPECT_EQ(image.at(-0.5, 0), kInk);
  EXPECT_EQ(image.at(0.5, 0), kBlack);
}

TEST(CircleAndArcItems, OfRadiusZeroPaintNothing) {
  for (const QPen& pen : {cosmetic_pen(), thick_pen()}) {
    SCOPED_TRACE(pen.widthF());
    GraphicsCircleItem circle(QPointF(0.2, 0.2), 0, pen);
    GraphicsArcItem arc(QPointF(0.2, 0.2), 0, 30, 120, pen);
    EXPECT_TRUE(circle.rect().isEmpty());
    EXPECT_TRUE(arc.rect().isEmpty());
    SceneImage image;
    image.paint(circle, kQtPaints);
    image.paint(arc);
    EXPECT_TRUE(image.blank());
  }
}

TEST(LineItem, PaintsTheSegmentInItsPen) {
  GraphicsLineItem line(QLineF(-1, 0.5, 1, 0.5), thick_pen());
  EXPECT_EQ(line.line(), QLineF(-1, 0.5, 1, 0.5));
  SceneImage image;
  image.paint(line, kQtPaints);
  EXPECT_EQ(image.at(0, 0.5), kInk);
  EXPECT_EQ(image.at(1.03, 0.5), kInk);  // round cap
  EXPECT_EQ(image.at(0, 0.6), kBlack);
}

TEST(PolygonItem, WithTheDefaultBrushIsAClosedOutline) {
  const QPolygonF triangle({{-1, -1}, {1, -1}, {1, 1}});
  GraphicsPolygonItem polygon(triangle, thick_pen(), QBrush());
  SceneImage image;
  image.paint(polygon, kQtPaints);
  EXPECT_EQ(image.at(0, -1), kInk);
  EXPECT_EQ(image.at(1, 0), kInk);
  EXPECT_EQ(image.at(0, 0), kInk);  // the closing edge
  EXPECT_EQ(image.at(0.5, -0.3), kBlack);
}

TEST(PolygonItem, FillsWithItsBrushOddEven) {
  // A pentagram: its centre is covered twice, so odd-even leaves it empty.
  QPolygonF star;
  for (int i = 0; i < 5; ++i) {
    const double a = M_PI / 2 + i * 4 * M_PI / 5;
    star << QPointF(std::cos(a), -std::sin(a));
  }
  GraphicsPolygonItem polygon(star, cosmetic_pen(), QBrush(Qt::red));
  SceneImage image;
  image.paint(polygon, kQtPaints);
  EXPECT_EQ(image.at(0, 0), kBlack);
  EXPECT_EQ(image.at(0, -0.7), QColor(Qt::red));
}

TEST(CurveItem, BoundingRectangleSpansItsPoints) {
  const std::vector<QPointF> points{{-3, -2}, {-1, -4}, {-2, -1}, {-2.5, -3}};
  EXPECT_EQ(GraphicsCurveItem(points, cosmetic_pen()).boundingRect(),
            QRectF(QPointF(-3, -4), QPointF(-1, -1)));
  // A pen with a width reaches half of it beyond the points.
  EXPECT_EQ(GraphicsCurveItem(points, thick_pen()).boundingRect(),
            QRectF(QPointF(-3.05, -4.05), QPointF(-0.95, -0.95)));
}

TEST(CurveItem, JoinsItsPointsWithStraightSegmentsLeftOpen) {
  const std::vector<QPointF> points{{-1, 1}, {-1, -1}, {1, -1}, {1, 1}};
  GraphicsCurveItem curve(points, thick_pen());
  EXPECT_EQ(curve.points(), points);
  EXPECT_EQ(curve.curve_pen(), thick_pen());
  SceneImage image;
  image.paint(curve);
  EXPECT_EQ(image.at(-1, 0), kInk);
  EXPECT_EQ(image.at(0, -1), kInk);  // no Bezier reaches its control points
  EXPECT_EQ(image.at(1, 0), kInk);
  EXPECT_EQ(image.at(0, -0.5), kBlack);  // where the Bezier would pass
  EXPECT_EQ(image.at(0, 1), kBlack);     // not closed
  EXPECT_EQ(image.at(0, 0), kBlack);     // not filled
}

TEST(CurveItem, WithOneOrNoPointsPaintsNothing) {
  const struct {
    const char* name;
    std::vector<QPointF> points;
    QRectF bounds;
  } cases[] = {
      {"one point", {{0.4, -0.2}}, QRectF(0.4, -0.2, 0, 0)},
      {"no points", {}, QRectF()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    GraphicsCurveItem curve(c.points, thick_pen());
    EXPECT_EQ(curve.boundingRect(), c.bounds);
    EXPECT_EQ(curve.boundingRect().topLeft(), c.bounds.topLeft());
    SceneImage image;
    image.paint(curve);
    EXPECT_TRUE(image.blank());
  }
}

}  // namespace
}  // namespace zwidget::zgraph
