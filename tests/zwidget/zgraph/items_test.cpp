#include "support/qt_printers.h"
#include "zwidget/zgraph/arc_item.h"
#include "zwidget/zgraph/circle_item.h"
#include "zwidget/zgraph/curve_item.h"
#include "zwidget/zgraph/line_item.h"
#include "zwidget/zgraph/pad_item.h"

#include <gtest/gtest.h>

#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionGraphicsItem>

#include <cmath>
#include <limits>
#include <optional>
#include <utility>
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

TEST(LineItem, KeepsQtsBoundingRectangleForItsPen) {
  const struct {
    QLineF line;
    QPen pen;
  } cases[] = {
      {QLineF(0, 0, 3, 4), QPen(Qt::red, 0.2, Qt::SolidLine, Qt::RoundCap)},
      {QLineF(-1, 2, -1, 2), QPen(Qt::red, 1.5)},
      {QLineF(5, 5, -5, 7), QPen(Qt::green, 0)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c.line.p1().x() << " " << c.pen.widthF());
    QGraphicsLineItem qt(c.line);
    qt.setPen(c.pen);
    const GraphicsLineItem item(c.line, c.pen);
    EXPECT_EQ(item.boundingRect(), qt.boundingRect());
    EXPECT_EQ(item.shape(), qt.shape());
  }
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

Pad with(Pad pad, double rounding, double chamfer = 0, PadCorners cut = {}) {
  pad.options = PadShapeOptions();
  pad.options->roundrect_ratio = rounding;
  pad.options->chamfer_ratio = chamfer;
  pad.options->chamfered = cut;
  return pad;
}

// A small anchor with a filled bar overlapping it to the right, a ring below
// it and a thick line above it, all in pad coordinates.
Pad custom(Pad pad, const QString& anchor = "rect") {
  QPainterPath bar, ring, line;
  bar.addRect(QRectF(0, -0.1, 0.9, 0.2));
  ring.addEllipse(QPointF(0, 0.6), 0.3, 0.3);
  line.moveTo(-0.8, -0.6);
  line.lineTo(0.8, -0.6);
  pad.options = PadShapeOptions();
  pad.options->anchor = anchor;
  pad.options->primitives = {
      {bar, 0.1, true}, {ring, 0.1, false}, {line, 0.2, false}};
  return pad;
}

TEST(PadItem, NewerShapesShowPadColourAndBackgroundWhereTheySay) {
  const Pad wide{"roundrect", "smd", {2, 1}}, square{"rect", "smd", {2, 2}};
  const Pad small{"custom", "smd", {0.4, 0.4}};
  const PadCorners tl{true, false, false, false}, tr{false, true, false, false};
  const PadCorners tl_br{true, false, false, true};
  // Probes 0.15 inside the corners of the 2 x 2 pads, whose cuts are 0.5.
  const QPointF c1(-0.85, -0.85), c2(0.85, -0.85), c3(-0.85, 0.85),
      c4(0.85, 0.85);
  const struct {
    Pad pad;
    std::vector<QPointF> filled, empty;
  } cases[] = {
      // Radius 0.25 (the ratio when none is given) of the shorter side 1.
      {wide, {{0, -0.48}, {0.98, 0}}, {{0.97, -0.47}, {-0.97, 0.47}}},
      {with(wide, 0), {{0.97, -0.47}, {-0.97, 0.47}}, {}},
      {with(wide, std::nan("")), {{0.97, -0.47}}, {}},
      {with(wide, 3), {{0.5, 0.48}}, {{0.9, 0.4}}},  // at most a half
      {with(square, 0, 0.25, tl), {c2, c3, c4, {-0.4, -0.97}}, {c1}},
      {with(square, 0, 0.25, tr), {c1, c3, c4}, {c2}},
      {with({"roundrect", "smd", {2, 2}}, 0.05, 0.25, tl_br),
       {c2, c3},
       {c1, c4}},
      // Turned a quarter counter-clockwise, the top left is at the bottom.
      {with({"rect", "smd", {2, 2}, k0, k0, 90}, 0, 0.25, tl),
       {c1, c2, c4},
       {c3}},
      // The bar overlaps the anchor: the overlap stays filled.
      {custom(small),
       {{0.1, 0}, {0.9, 0}, {-0.15, -0.15}, {0.3, 0.6}, {-0.75, -0.6}},
       {{0, 0.6}, {0.3, 0.25}, {0.5, -0.3}, {-0.5, 0}}},
      {custom(small, "circle"), {{0.1, 0}}, {{-0.19, -0.19}}},
      {custom({"custom", "smd", {0.4, 0.4}, k0, k0, 90}),
       {{0, -0.9}, {0.6, 0.3}, {-0.6, 0.75}},
       {{0.5, 0.05}, {0.6, 0}}},
      {custom({"custom", "thru_hole", {0.4, 0.4}, {0.3, 0.3}}),
       {{0.3, 0}, {0.5, 0}},
       {{0.05, 0.05}, {-0.1, 0}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c.pad.shape.toStdString() << " " << (&c - cases));
    const SceneImage image = c.pad.paint();
    for (const QPointF& p : c.filled)
      EXPECT_EQ(image.at(p.x(), p.y()), kInk) << testing::PrintToString(p);
    for (const QPointF& p : c.empty)
      EXPECT_EQ(image.at(p.x(), p.y()), Qt::black) << testing::PrintToString(p);
  }
}

TEST(PadItem, CustomPadsBoundTheirTurnedPrimitives) {
  Pad pad = custom({"custom", "smd", {0.4, 0.4}});
  // The bar, ring and line reach 0.95, 0.95 and -0.7 with half their widths.
  EXPECT_LT((pad.make().boundingRect().bottomRight() - QPointF(0.95, 0.95))
                .manhattanLength(),
            0.01);
  pad.angle = 90;
  EXPECT_NEAR(pad.make().boundingRect().top(), -0.95, 0.01);
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

// The pad painted at `dpi` on an antialiased image, and beside it the
// same pad without a number with the label drawn by QPainter::drawText
// as the pad item once drew it.
std::pair<QImage, QImage> label_and_reference(const QString& number,
                                              const QSizeF& size, int dpi) {
  const QTransform view(41.3, 0, 0, 41.3, 97.5, 88.25);
  const auto paint = [&](const QString& text, bool reference) {
    QImage image(200, 180, QImage::Format_ARGB32_Premultiplied);
    image.setDotsPerMeterX(std::lround(dpi / 0.0254));
    image.setDotsPerMeterY(std::lround(dpi / 0.0254));
    image.fill(Qt::black);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setTransform(view);
    GraphicsPadItem pad(text, "smd", "rect", size, QPointF(0.3, -0.2), 0, k0,
                        false, QPointF(), k0, kInk);
    QStyleOptionGraphicsItem option;
    pad.paint(&painter, &option, nullptr);
    if (reference) {
      painter.setTransform(QTransform::fromScale(0.3, 0.3) * view);
      painter.setPen(QColor(Qt::white));
      painter.setFont(QFont(QStringLiteral("Arial"), 1));
      const QRectF rect = pad.pad_rect();
      painter.drawText(QRectF(rect.topLeft() / 0.3, rect.bottomRight() / 0.3),
                       Qt::AlignHCenter | Qt::AlignVCenter, number);
    }
    return image;
  };
  return {paint(number, false), paint(QString(), true)};
}

TEST(PadItem, LabelLooksExactlyAsDrawTextDrawsIt) {
  const struct {
    const char* number;
    QSizeF size;
    int dpi;
  } cases[] = {
      {"1", {1.2, 0.9}, 96},  {"A12", {1.2, 0.9}, 96}, {"12345", {1, 1}, 96},
      {"EP", {2.5, 0.4}, 72}, {"1 ", {1.2, 0.9}, 192}, {"a&b", {1.2, 0.9}, 96},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.number << " at " << c.dpi);
    const auto [label, reference] =
        label_and_reference(c.number, c.size, c.dpi);
    EXPECT_EQ(label, reference);
  }
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
