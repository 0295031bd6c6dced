#include "zwidget/zgraph/pad_item.h"

#include "scene_image.h"
#include "support/qt_printers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

namespace zwidget::zgraph {
namespace {

using padscope::test::SceneImage;

const QColor kPad(194, 194, 0);
const QColor kBlack(Qt::black);

// The pad colours have no blue; the white label has.
bool is_label(const QColor& c) {
  return c.blue() > 100;
}

// A pad's constructor arguments, defaulting to a bare thru_hole circle.
struct Pad {
  QString number;
  QString type = "thru_hole";
  QString shape = "circle";
  QSizeF size{1.6, 1.6};
  QPointF position;
  double angle = 0;
  QSizeF rect_delta{0, 0};
  bool oval_drill = false;
  QPointF drill_offset;
  QSizeF drill_size{0, 0};

  std::unique_ptr<GraphicsPadItem> make() const {
    return std::make_unique<GraphicsPadItem>(
        number, type, shape, size, position, angle, rect_delta, oval_drill,
        drill_offset, drill_size, kPad);
  }
};

SceneImage render(const Pad& pad) {
  SceneImage image;
  image.paint(*pad.make());
  return image;
}

void expect_rect_near(const QRectF& actual, const QRectF& expected) {
  EXPECT_NEAR(actual.left(), expected.left(), 1e-9)
      << testing::PrintToString(actual);
  EXPECT_NEAR(actual.top(), expected.top(), 1e-9)
      << testing::PrintToString(actual);
  EXPECT_NEAR(actual.right(), expected.right(), 1e-9)
      << testing::PrintToString(actual);
  EXPECT_NEAR(actual.bottom(), expected.bottom(), 1e-9)
      << testing::PrintToString(actual);
}

TEST(PadItem, KeepsWhatItIsGivenAndPaintsInTheColour) {
  const GraphicsPadItem pad("A1", "smd", "rect", QSizeF(1, 0.5), QPointF(1, 2),
                            90, QSizeF(0.1, 0.2), true, QPointF(0.3, 0.4),
                            QSizeF(0.5, 0.6), kPad);
  EXPECT_EQ(pad.number(), "A1");
  EXPECT_EQ(pad.pad_type(), "smd");
  EXPECT_EQ(pad.pad_shape(), "rect");
  EXPECT_EQ(pad.size(), QSizeF(1, 0.5));
  EXPECT_EQ(pad.position(), QPointF(1, 2));
  EXPECT_EQ(pad.angle(), 90);
  EXPECT_EQ(pad.rect_delta(), QSizeF(0.1, 0.2));
  EXPECT_TRUE(pad.oval_drill());
  EXPECT_EQ(pad.drill_offset(), QPointF(0.3, 0.4));
  EXPECT_EQ(pad.drill_size(), QSizeF(0.5, 0.6));
  EXPECT_EQ(pad.pad_rect(), QRectF(0.5, 1.75, 1, 0.5));
  EXPECT_EQ(pad.drill_rect(), QRectF(0.45, 1.3, 0.5, 0.6));
  EXPECT_EQ(pad.pad_pen().color(), kPad);
  EXPECT_EQ(pad.pad_pen().width(), 0);
  EXPECT_TRUE(pad.pad_pen().isCosmetic());
  EXPECT_EQ(pad.pad_pen().capStyle(), Qt::RoundCap);
  EXPECT_EQ(pad.pad_pen().style(), Qt::SolidLine);
  EXPECT_EQ(pad.pad_brush(), QBrush(kPad, Qt::SolidPattern));
}

// Scene points that must show the pad colour and points that must show the
// background, for one pad.
struct PixelCase {
  const char* name;
  Pad pad;
  std::vector<QPointF> filled;
  std::vector<QPointF> empty;
};

void PrintTo(const PixelCase& c, std::ostream* out) {
  *out << c.name;
}

class PadPixels : public testing::TestWithParam<PixelCase> {};

TEST_P(PadPixels, ShowPadColourAndBackgroundWhereExpected) {
  const PixelCase& c = GetParam();
  const SceneImage image = render(c.pad);
  for (const QPointF& p : c.filled) {
    SCOPED_TRACE(testing::PrintToString(p));
    EXPECT_EQ(image.at(p), kPad);
  }
  for (const QPointF& p : c.empty) {
    SCOPED_TRACE(testing::PrintToString(p));
    EXPECT_EQ(image.at(p), kBlack);
  }
}

Pad ring(const QString& type) {
  Pad pad;
  pad.type = type;
  pad.drill_size = QSizeF(0.8, 0.8);
  return pad;
}

Pad sized(const QString& shape, double w, double h,
          QSizeF delta = QSizeF(0, 0)) {
  Pad pad;
  pad.type = "smd";
  pad.shape = shape;
  pad.size = QSizeF(w, h);
  pad.rect_delta = delta;
  return pad;
}

Pad drilled(const QString& shape, QSizeF drill, bool oval, QPointF offset) {
  Pad pad = sized(shape, 2, 1);
  pad.type = "thru_hole";
  pad.drill_size = drill;
  pad.oval_drill = oval;
  pad.drill_offset = offset;
  return pad;
}

Pad turned(const QString& shape, double angle, QPointF position) {
  Pad pad = sized(shape, 2, 0.5);
  pad.angle = angle;
  pad.position = position;
  return pad;
}

const PixelCase kPixelCases[] = {
    {"thru_hole_ring",
     ring("thru_hole"),
     {{0.6, 0}, {0, -0.6}},
     {{0, 0}, {0.3, 0.1}, {0.85, 0}}},
    {"np_thru_hole_ring", ring("np_thru_hole"), {{0.6, 0}}, {{0, 0}}},
    {"smd_has_no_hole", ring("smd"), {{0, 0}, {0.3, 0.1}}, {}},
    {"connect_has_no_hole", ring("connect"), {{0, 0}}, {}},
    {"circle_of_unequal_sides_is_an_ellipse",
     sized("circle", 2, 1),
     {{0.9, 0}, {0, 0.45}},
     {{0.95, 0.3}, {0.95, 0.45}}},
    {"rect",
     sized("rect", 2, 1),
     {{0.97, 0.47}, {-0.97, -0.47}},
     {{1.03, 0}, {0, 0.53}}},
    {"oval_is_an_obround",
     sized("oval", 2, 1),
     {{0, 0.45}, {0.95, 0}, {0.7, 0.4}, {-0.7, -0.4}},
     {{0.95, 0.45}, {-0.95, -0.45}, {0.95, -0.45}}},
    {"upright_oval_is_an_obround",
     sized("oval", 1, 2),
     {{0.45, 0}, {0.4, 0.7}},
     {{0.45, 0.95}, {-0.45, -0.95}}},
    {"square_oval_is_a_circle",
     sized("oval", 1, 1),
     {{0.3, 0.3}},
     {{0.45, 0.45}, {-0.45, 0.45}}},
    {"trapezoid_without_delta_is_a_rect",
     sized("trapezoid", 2, 1),
     {{0.97, 0.47}, {-0.97, -0.47}, {0.97, -0.47}, {-0.97, 0.47}},
     {}},
    {"trapezoid_positive_dh_shortens_top",
     sized("trapezoid", 2, 1, QSizeF(0, 0.4)),
     {{0.75, -0.48}, {-0.75, -0.48}, {0.97, 0.48}, {-0.97, 0.48}},
     {{0.85, -0.48}, {-0.85, -0.48}}},
    {"trapezoid_negative_dh_shortens_bottom",
     sized("trapezoid", 2, 1, QSizeF(0, -0.4)),
     {{0.75, 0.48}, {-0.75, 0.48}, {0.97, -0.48}},
     {{0.85, 0.48}, {-0.85, 0.48}}},
    {"trapezoid_positive_dw_shortens_right",
     sized("trapezoid", 1, 2, QSizeF(0.4, 0)),
     {{0.48, 0.75}, {0.48, -0.75}, {-0.48, 0.97}},
     {{0.48, 0.85}, {0.48, -0.85}}},
    {"trapezoid_negative_dw_shortens_left",
     sized("trapezoid", 1, 2, QSizeF(-0.4, 0)),
     {{-0.48, 0.75}, {0.48, 0.97}},
     {{-0.48, 0.85}, {-0.48, -0.85}}},
    {"trapezoid_both_deltas",
     sized("trapezoid", 2, 2, QSizeF(0.4, 0.4)),
     {{0.85, 0}, {-0.97, 0.97}, {0.97, 0.75}},
     {{0.95, 0}, {0.97, -0.85}, {-0.85, -0.97}}},
    {"drill_offset_moves_the_hole_the_other_way",
     drilled("circle", QSizeF(0.4, 0.4), false, QPointF(0.2, 0)),
     {{0.2, 0}, {0.1, 0}},
     {{-0.2, 0}, {-0.3, 0}}},
    {"oval_drill_is_a_slot",
     drilled("oval", QSizeF(1.2, 0.4), true, QPointF()),
     {{0.7, 0}, {0, 0.3}},
     {{0, 0}, {0.5, 0.12}, {-0.5, -0.12}}},
    {"round_drill_of_unequal_sides_is_an_ellipse",
     drilled("oval", QSizeF(1.2, 0.4), false, QPointF()),
     {{0.7, 0}, {0.5, 0.12}},
     {{0, 0}, {0.5, 0}}},
    {"turned_90_about_its_centre",
     turned("rect", 90, QPointF(1, 0.5)),
     {{1, 1.4}, {1, -0.4}, {1.2, 0.5}},
     {{1.9, 0.5}, {0.1, 0.5}}},
    {"turned_30_counter_clockwise",
     turned("rect", 30, QPointF()),
     {{0.78, -0.45}, {-0.78, 0.45}},
     {{0.78, 0.45}, {-0.78, -0.45}}},
    {"trapezoid_turned_180_has_the_short_edge_below",
     [] {
       Pad pad = sized("trapezoid", 2, 1, QSizeF(0, 0.4));
       pad.angle = 180;
       return pad;
     }(),
     {{0.85, -0.48}, {0.75, 0.48}},
     {{0.85, 0.48}, {-0.85, 0.48}}},
};

INSTANTIATE_TEST_SUITE_P(Shapes, PadPixels, testing::ValuesIn(kPixelCases),
                         [](const testing::TestParamInfo<PixelCase>& info) {
                           return std::string(info.param.name);
                         });

TEST(PadItem, OtherShapesPaintNothingButKeepTheirRectangle) {
  for (const char* shape : {"roundrect", "custom", "Circle", "RECT", ""}) {
    SCOPED_TRACE(shape);
    Pad pad = ring("thru_hole");
    pad.number = "1";
    pad.shape = shape;
    pad.position = QPointF(0.5, -0.5);
    const auto item = pad.make();
    EXPECT_EQ(item->boundingRect(), QRectF(-0.3, -1.3, 1.6, 1.6));
    SceneImage image;
    image.paint(*item);
    EXPECT_TRUE(image.blank());
  }
}

TEST(PadItem, BoundingRectangleHoldsTheTurnedPad) {
  const struct {
    double angle;
    QRectF bounds;
  } cases[] = {
      {0, QRectF(0, 0.25, 2, 0.5)},
      {90, QRectF(0.75, -0.5, 0.5, 2)},
      {-90, QRectF(0.75, -0.5, 0.5, 2)},
      {180, QRectF(0, 0.25, 2, 0.5)},
      {45, QRectF(1 - 1.25 / std::sqrt(2), 0.5 - 1.25 / std::sqrt(2),
                  2.5 / std::sqrt(2), 2.5 / std::sqrt(2))},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.angle);
    const auto pad = turned("rect", c.angle, QPointF(1, 0.5)).make();
    expect_rect_near(pad->boundingRect(), c.bounds);
    // Everything painted lies inside it.
    SceneImage image;
    image.paint(*pad);
    const QRectF painted =
        image.extent([](const QColor& c) { return c != QColor(Qt::black); });
    EXPECT_TRUE(pad->boundingRect()
                    .adjusted(-0.02, -0.02, 0.02, 0.02)
                    .contains(painted))
        << testing::PrintToString(painted);
  }
}

TEST(PadItem, LabelIsWhiteUnlessTheTypeIsConnect) {
  const struct {
    const char* type;
    bool labelled;
  } cases[] = {
      {"smd", true},
      {"thru_hole", true},
      {"np_thru_hole", true},
      {"connect", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.type);
    Pad pad = sized("rect", 2, 1);
    pad.type = c.type;
    pad.number = "8";
    const SceneImage image = render(pad);
    EXPECT_EQ(image.count([](const QColor& c) { return c == Qt::white; }) > 0,
              c.labelled);
    EXPECT_EQ(image.count(is_label) > 0, c.labelled);
    pad.number.clear();
    EXPECT_EQ(render(pad).count(is_label), 0);
  }
}

TEST(PadItem, LabelIsCentredAndOneSizeOnEveryPad) {
  Pad small = sized("rect", 1, 1);
  small.number = "88";
  small.position = QPointF(-0.5, 0.5);
  Pad large = small;
  large.size = QSizeF(3, 3);
  const SceneImage small_image = render(small);
  const SceneImage large_image = render(large);
  const QPointF centre = small_image.centroid(is_label);
  EXPECT_NEAR(centre.x(), -0.5, 0.05);
  EXPECT_NEAR(centre.y(), 0.5, 0.1);
  EXPECT_EQ(small_image.count(is_label), large_image.count(is_label));
  // Not fitted to the pad, but cut at its edges.
  small.number = "123456789";
  const QRectF label = render(small).extent(is_label);
  EXPECT_GT(label.width(), 0.9 * small.size.width());
  EXPECT_TRUE(QRectF(-1.01, -0.01, 1.02, 1.02).contains(label))
      << testing::PrintToString(label);
}

TEST(PadItem, LabelTurnsWithThePad) {
  Pad pad = turned("rect", 0, QPointF());
  pad.number = "12345";
  const QRectF level = render(pad).extent(is_label);
  pad.angle = 90;
  const QRectF upright = render(pad).extent(is_label);
  EXPECT_GT(level.width(), 2 * level.height());
  EXPECT_GT(upright.height(), 2 * upright.width());
  EXPECT_NEAR(upright.height(), level.width(), 0.05);
}

}  // namespace
}  // namespace zwidget::zgraph
