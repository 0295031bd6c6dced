#include "zwidget/zgraph/pad_geometry.h"

#include <gtest/gtest.h>

#include <QPainterPathStroker>

namespace zwidget::zgraph {
namespace {

QPainterPath rect(const QRectF& r) {
  QPainterPath path;
  path.addRect(r);
  return path;
}

TEST(PadGeometry, HoleIsClearOfCopperOnlyWhereNoPointOfItCanTouch) {
  QPainterPath ring = rect(QRectF(-2, -2, 4, 4));
  ring.addRect(QRectF(-1, -1, 2, 2));
  QPainterPath disc;
  disc.addEllipse(QPointF(0, 0), 1, 1);
  QPainterPath arc;
  arc.moveTo(1, 0);
  arc.arcTo(QRectF(-1, -1, 2, 2), 0, 90);
  QPainterPathStroker stroker;
  stroker.setWidth(0.2);
  const QPainterPath stroke = stroker.createStroke(arc);
  const QPainterPath square = rect(QRectF(0, 0, 1, 1));
  const QPainterPath bar = rect(QRectF(0, 0, 1, 0.1));
  const struct {
    const char* what;
    QPainterPath region;
    Stadium hole;
    bool clear;
  } cases[] = {
      {"beside", square, {{2, 0.5}, {2, 0.5}, 0.5}, true},
      {"touching", square, {{2, 0.5}, {2, 0.5}, 1}, false},
      {"over a corner", square, {{1.2, 1.2}, {1.2, 1.2}, 0.3}, false},
      {"inside", square, {{0.5, 0.5}, {0.5, 0.5}, 0.1}, false},
      // A slot across a bar, both ends off it.
      {"across", bar, {{0.5, -1}, {0.5, 1}, 0.01}, false},
      {"in the ring's hole", ring, {{0, 0}, {0, 0}, 0.9}, true},
      {"on the ring", ring, {{0, 0}, {0, 0}, 1.1}, false},
      {"off the disc", disc, {{1.05, 0}, {1.05, 0}, 0.01}, true},
      // Off the disc, but within its curves' control points.
      {"by its curve", disc, {{0.75, 0.75}, {0.75, 0.75}, 0.01}, false},
      {"inside the stroked arc", stroke, {{0, 0}, {0, 0}, 0.5}, true},
      {"on the stroked arc", stroke, {{0, 0}, {0, 0}, 0.95}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(is_clear_of(c.hole, c.region), c.clear);
  }
}

TEST(PadGeometry, HoleStadiumLiesAlongTheLongerSideAndMapsBySimilaritiesOnly) {
  PadSpec pad;
  pad.position = QPointF(1, 2);
  pad.drill = PadDrill{QSizeF(3, 1), true};
  const auto slot = hole_stadium(pad, 2);
  ASSERT_TRUE(slot);
  EXPECT_EQ(slot->a, QPointF(0, 4));
  EXPECT_EQ(slot->b, QPointF(4, 4));
  EXPECT_EQ(slot->radius, 1);
  pad.drill = PadDrill{QSizeF(1, 3), true};
  EXPECT_EQ(hole_stadium(pad)->a, QPointF(1, 1));
  pad.drill = PadDrill{QSizeF(1, 3), false};
  EXPECT_FALSE(hole_stadium(pad)) << "an ellipse";

  QTransform turn;
  turn.rotate(90);
  turn.scale(2, 2);
  const auto turned = mapped(*slot, turn);
  ASSERT_TRUE(turned);
  EXPECT_NEAR(turned->a.x(), -8, 1e-12);
  EXPECT_NEAR(turned->a.y(), 0, 1e-12);
  EXPECT_EQ(turned->radius, 2);
  EXPECT_FALSE(mapped(*slot, QTransform::fromScale(1, 2)));
  EXPECT_FALSE(mapped(*slot, QTransform().shear(0.1, 0)));
}

}  // namespace
}  // namespace zwidget::zgraph
