#include "zwidget/zgraph/text_item.h"

#include "hersheyfont/hershey_font_exception.h"
#include "support/item_image.h"
#include "support/qt_printers.h"

#include <gtest/gtest.h>

#include <QPaintEngine>
#include <QPainter>

#include <functional>
#include <memory>
#include <vector>

// Unregistering the font bundle stands for a build that lacks it.
static void drop_font_resources() {
  Q_CLEANUP_RESOURCE(padscope_fonts);
}
static void restore_font_resources() {
  Q_INIT_RESOURCE(padscope_fonts);
}

namespace {

using zwidget::zgraph::GraphicsTextItem;
using zwidget::zgraph::TextStyle;
using Align = TextStyle::Align;

const QColor kColour(10, 200, 30);

// Keeps each polyline drawn, transformed, and the pen it was drawn with.
class RecordingEngine : public QPaintEngine {
public:
  RecordingEngine() : QPaintEngine(AllFeatures) {}
  bool begin(QPaintDevice*) override { return true; }
  bool end() override { return true; }
  void updateState(const QPaintEngineState& state) override {
    if (state.state() & DirtyTransform) transform = state.transform();
    if (state.state() & DirtyPen) pen = state.pen();
  }
  void drawPolygon(const QPointF* points, int count, PolygonDrawMode) override {
    strokes.emplace_back();
    stroke_pen = pen;
    for (int i = 0; i < count; ++i)
      strokes.back().push_back(transform.map(points[i]));
  }
  void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
  Type type() const override { return User; }

  std::vector<std::vector<QPointF>> strokes;
  QTransform transform;
  QPen pen, stroke_pen;
};

class RecordingDevice : public QPaintDevice {
public:
  QPaintEngine* paintEngine() const override { return &engine; }
  mutable RecordingEngine engine;

protected:
  int metric(PaintDeviceMetric metric) const override {
    if (metric == PdmWidth || metric == PdmHeight) return 1000;
    if (metric == PdmDevicePixelRatio) return 1;
    if (metric == PdmDevicePixelRatioScaled) return devicePixelRatioFScale();
    return metric == PdmDepth ? 32 : 96;
  }
};

struct Text {
  QString text = "R1";
  QPointF position{0, 0};
  double angle = 0;
  bool hide = false;
  QSizeF size{1, 1};
  bool italic = false;
  TextStyle style = {};
  double thickness = 0.15;

  std::unique_ptr<GraphicsTextItem> make() const {
    return std::make_unique<GraphicsTextItem>("reference", text, position,
                                              angle, hide, size, thickness,
                                              italic, kColour, style);
  }
  // Painted on black at 100 pixels a unit over (-2, -2) to (2, 2).
  padscope::test::ItemImage image(QRectF area = {-2, -2, 4, 4}) const {
    return padscope::test::ItemImage(*make(), area, 100);
  }
  std::pair<std::vector<std::vector<QPointF>>, QPen> record() const {
    RecordingDevice device;
    QPainter painter(&device);
    make()->paint(&painter, nullptr, nullptr);
    return {device.engine.strokes, device.engine.stroke_pen};
  }
};

// Each point of "R1" moved as expected, measured from the first one.
TEST(GraphicsTextItem, TurnsWidensAndSlantsTheStrokes) {
  Text mirrored;
  mirrored.style.mirrored = true;
  const struct {
    const char* what;
    Text text;
    std::function<QPointF(QPointF)> move;
  } cases[] = {
      // With y pointing down, right turns into up.
      {"turned",
       {"R1", {5, 7}, 90},
       [](QPointF p) { return QPointF(5 + p.y(), 7 - p.x()); }},
      {"wide",
       {"R1", {}, 0, false, {2, 1}},
       [](QPointF p) { return QPointF(2 * p.x(), p.y()); }},
      {"italic",
       {"R1", {}, 0, false, {1, 1}, true},
       [](QPointF p) { return p - QPointF(p.y() / 8, 0); }},
      {"mirrored", mirrored, [](QPointF p) { return QPointF(-p.x(), p.y()); }},
  };
  const auto upright = Text().record().first;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const auto moved = c.text.record().first;
    ASSERT_EQ(moved.size(), upright.size());
    for (std::size_t s = 0; s < moved.size(); ++s) {
      ASSERT_EQ(moved[s].size(), upright[s].size());
      for (std::size_t i = 0; i < moved[s].size(); ++i) {
        const QPointF expected = c.move(upright[s][i]) - c.move(upright[0][0]);
        const QPointF actual = moved[s][i] - moved[0][0];
        EXPECT_NEAR(actual.x(), expected.x(), 1e-9);
        EXPECT_NEAR(actual.y(), expected.y(), 1e-9);
      }
    }
  }
}

// The view culls by the bounding rectangle: every stroke must lie inside,
// drawn with round ends and joins of the text's thickness and colour.
TEST(GraphicsTextItem, StrokesStayInsideTheBoundingRect) {
  for (const double angle : {0.0, 30.0, 90.0, 180.0, -45.0}) {
    for (const bool italic : {false, true}) {
      SCOPED_TRACE(testing::Message() << angle << (italic ? " italic" : ""));
      const Text t{"REF**", {3, -2}, angle, false, {1, 1}, italic};
      const auto [strokes, pen] = t.record();
      EXPECT_EQ(
          pen, QPen(kColour, 0.15, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
      QRectF reached;
      for (const auto& stroke : strokes)
        for (const QPointF& p : stroke)
          reached |= QRectF(p - QPointF(0.075, 0.075), QSizeF(0.15, 0.15));
      const QRectF bounds = t.make()->boundingRect();
      EXPECT_TRUE(bounds.adjusted(-1e-9, -1e-9, 1e-9, 1e-9).contains(reached));
      if (angle == 0) {
        EXPECT_EQ(bounds, reached);
      }
    }
  }
}

TEST(GraphicsTextItem, DrawsNothingForBlanksOrWhenHidden) {
  const Text blanks{"   "}, hidden{"R1", {}, 0, true};
  EXPECT_TRUE(blanks.record().first.empty());
  EXPECT_EQ(QSizeF(0.15, 0.15), blanks.make()->boundingRect().size());
  EXPECT_TRUE(hidden.record().first.empty());
  EXPECT_EQ(Text().make()->boundingRect(), hidden.make()->boundingRect());
}

// The ink of "!_!" about its anchor (1, 2) as KiCad 9 plots it, size 1.2
// wide by 1.5 high, strokes 0.2 wide: the two fonts draw these glyphs alike.
TEST(GraphicsTextItem, PlacesEachJustificationWhereKiCadDoes) {
  const double left[] = {1.2601, 0.1, -1.0602}, top[] = {1.961, 1.0835, 0.206};
  const Align aligns[] = {Align::start, Align::centre, Align::end};
  // Every pair, and mirrored about the anchor: start lands where end does.
  for (int row = 0; row < 10; ++row) {
    const int across = row % 3, down = row < 9 ? row / 3 : 1;
    const bool mirrored = row == 9;
    SCOPED_TRACE(testing::Message() << across << down << " " << mirrored);
    Text t{"!_!", {1, 2}, 0, false, {1.2, 1.5}};
    t.thickness = 0.2;
    t.style.horizontal = aligns[across];
    t.style.vertical = aligns[down];
    t.style.mirrored = mirrored;
    padscope::test::expect_near(
        t.image({-2, 0, 6, 4}).painted(),
        {left[mirrored ? 2 - across : across], top[down], 1.8, 1.8429}, 0.02);
  }
}

TEST(GraphicsTextItem, LinesBreakAtNewlinesOrWrapAndStackByTheirPitch) {
  const double one = Text{"I"}.make()->boundingRect().height();
  Text spaced{"I\nI\nI"};
  spaced.style.line_spacing = 2;
  Text wrapped{"II II II"};
  wrapped.style.wrap_width = 1;
  // KiCad's lines are 1.61 heights apart.
  EXPECT_NEAR(Text{"I\nI"}.make()->boundingRect().height(), one + 1.61, 1e-9);
  EXPECT_NEAR(spaced.make()->boundingRect().height(), one + 4 * 1.61, 1e-9);
  EXPECT_NEAR(wrapped.make()->boundingRect().height(), one + 2 * 1.61, 1e-9);
}

// A thin I is a pixel wide; a face's I is filled, its knockout a hole.
TEST(GraphicsTextItem, FacesFillTheirGlyphsAndKnockoutsCutThemOut) {
  Text stroked{"I", {}, 0, false, {2, 2}};
  stroked.thickness = 0.01;
  Text face = stroked, knocked = stroked;
  face.style.face = "DejaVu Sans";
  knocked.thickness = 0.3;
  knocked.style.knockout = true;
  // The ink's width along one row of pixels, 0.2 below the middle.
  const auto row_ink = [](const Text& text) {
    return text.image({-2, 0.2, 4, 0.01}).painted().width();
  };
  EXPECT_LE(row_ink(stroked), 0.02);
  EXPECT_GE(row_ink(face), 0.15);
  const auto hole = knocked.image();
  const QRectF box = hole.painted();
  EXPECT_EQ(hole.at(box.center()), Qt::black);
  EXPECT_EQ(hole.at({box.left() + 0.02, box.center().y()}), kColour);
  EXPECT_GT(box.width(), 0.4);
}

TEST(GraphicsTextItem, MissingFontResourceFailsTheConstruction) {
  Text().make();  // the bundle is registered by then
  drop_font_resources();
  try {
    Text().make();
    ADD_FAILURE() << "constructed without a font";
  } catch (const hersheyfont::HersheyFontException& e) {
    EXPECT_STREQ("Failed to load file:", e.what());
  }
  restore_font_resources();
  EXPECT_NO_THROW(Text().make());
}

}  // namespace
