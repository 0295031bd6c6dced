#include "zwidget/zgraph/text_item.h"

#include "hersheyfont/hershey_font_exception.h"
#include "support/qt_printers.h"

#include <gtest/gtest.h>

#include <QGraphicsScene>
#include <QImage>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPen>

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

const QColor kColour(10, 200, 30);

struct Drawn {
  std::vector<QPointF> points;  // in device coordinates
  QPen pen;
  Qt::BrushStyle brush;
};

// Keeps each path or polyline drawn, mapped by the painter's transform, with
// the pen and brush of the moment.
class RecordingEngine : public QPaintEngine {
public:
  RecordingEngine() : QPaintEngine(AllFeatures) {}
  bool begin(QPaintDevice*) override { return true; }
  bool end() override { return true; }
  void updateState(const QPaintEngineState& state) override {
    if (state.state() & DirtyTransform) transform = state.transform();
    if (state.state() & DirtyPen) pen = state.pen();
    if (state.state() & DirtyBrush) brush = state.brush().style();
  }
  void drawPath(const QPainterPath& path) override {
    paths.push_back({{}, pen, brush});
    for (int i = 0; i < path.elementCount(); ++i)
      paths.back().points.push_back(transform.map(QPointF(path.elementAt(i))));
  }
  void drawPolygon(const QPointF* points, int count, PolygonDrawMode) override {
    paths.push_back({{}, pen, brush});
    for (int i = 0; i < count; ++i)
      paths.back().points.push_back(transform.map(points[i]));
  }
  void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
  Type type() const override { return User; }

  std::vector<Drawn> paths;
  QTransform transform;
  QPen pen;
  Qt::BrushStyle brush = Qt::NoBrush;
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
  double thickness = 0.15;
  bool italic = false;
};

std::unique_ptr<GraphicsTextItem> make(const Text& t) {
  return std::make_unique<GraphicsTextItem>("reference", t.text, t.position,
                                            t.angle, t.hide, t.size,
                                            t.thickness, t.italic, kColour);
}

std::vector<Drawn> record(const Text& t) {
  RecordingDevice device;
  QPainter painter(&device);
  make(t)->paint(&painter, nullptr, nullptr);
  return device.engine.paths;
}

void expect_near(const QPointF& expected, const QPointF& actual) {
  EXPECT_NEAR(expected.x(), actual.x(), 1e-9) << "x of " << actual.x();
  EXPECT_NEAR(expected.y(), actual.y(), 1e-9) << "y of " << actual.y();
}

TEST(GraphicsTextItem, R1IsCentredOnItsPosition) {
  EXPECT_EQ(QRectF(-0.625, -0.49875, 1.48, 1.1475),
            make(Text())->boundingRect());
  const auto paths = record(Text());
  ASSERT_EQ(4u, paths.size());  // R: stem, bowl, leg; 1: one polyline
  ASSERT_EQ(2u, paths[0].points.size());
  expect_near(QPointF(-0.55, -0.42375), paths[0].points[0]);
  expect_near(QPointF(-0.55, 0.57375), paths[0].points[1]);
  const QPen& pen = paths[0].pen;
  EXPECT_EQ(kColour, pen.color());
  EXPECT_DOUBLE_EQ(0.15, pen.widthF());
  EXPECT_EQ(Qt::RoundCap, pen.capStyle());
  EXPECT_EQ(Qt::RoundJoin, pen.joinStyle());
  EXPECT_EQ(Qt::NoBrush, paths[0].brush);
}

TEST(GraphicsTextItem, TurnsCounterClockwiseAboutItsPosition) {
  Text upright;
  upright.position = {5, 7};
  Text turned = upright;
  turned.angle = 90;
  EXPECT_EQ(QRectF(4.50125, 6.145, 1.1475, 1.48), make(turned)->boundingRect());
  const auto a = record(upright);
  const auto b = record(turned);
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t s = 0; s < a.size(); ++s) {
    ASSERT_EQ(a[s].points.size(), b[s].points.size());
    for (std::size_t i = 0; i < a[s].points.size(); ++i) {
      // With y pointing down, right turns into up.
      const QPointF d = a[s].points[i] - upright.position;
      expect_near(upright.position + QPointF(d.y(), -d.x()), b[s].points[i]);
    }
  }
}

// Every painted point with its round pen around it, whatever the turn.
TEST(GraphicsTextItem, StrokesStayInsideTheBoundingRect) {
  for (const double angle : {0.0, 30.0, 90.0, 180.0, -45.0}) {
    for (const bool italic : {false, true}) {
      SCOPED_TRACE(testing::Message() << angle << (italic ? " italic" : ""));
      Text t{"REF**", {3, -2}, angle, false, {1, 1}, 0.15, italic};
      QRectF reached;
      for (const Drawn& path : record(t))
        for (const QPointF& p : path.points)
          reached |= QRectF(p - QPointF(0.075, 0.075), QSizeF(0.15, 0.15));
      const QRectF bounds = make(t)->boundingRect();
      EXPECT_TRUE(bounds.adjusted(-1e-9, -1e-9, 1e-9, 1e-9).contains(reached));
      if (angle == 0) {
        EXPECT_EQ(bounds, reached);
      }
    }
  }
}

TEST(GraphicsTextItem, DoubleWidthDoublesHorizontalDistancesOnly) {
  Text wide;
  wide.size = {2, 1};
  const auto a = record(Text());
  const auto b = record(wide);
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t s = 0; s < a.size(); ++s) {
    for (std::size_t i = 0; i < a[s].points.size(); ++i) {
      const QPointF da = a[s].points[i] - a[0].points[0];
      const QPointF db = b[s].points[i] - b[0].points[0];
      expect_near(QPointF(2 * da.x(), da.y()), db);
    }
  }
}

TEST(GraphicsTextItem, ItalicLeansByAnEighthOfTheHeight) {
  Text t;
  t.italic = true;
  const auto stem = record(t).at(0).points;  // top, then baseline
  ASSERT_EQ(2u, stem.size());
  EXPECT_NEAR(0.9975, stem[1].y() - stem[0].y(), 1e-9);
  EXPECT_NEAR(0.9975 / 8, stem[0].x() - stem[1].x(), 1e-9);
}

TEST(GraphicsTextItem, DrawsNothingForBlanksOrWhenHidden) {
  Text blanks;
  blanks.text = "   ";
  EXPECT_TRUE(record(blanks).empty());
  EXPECT_EQ(QSizeF(0.15, 0.15), make(blanks)->boundingRect().size());
  Text hidden;
  hidden.hide = true;
  EXPECT_TRUE(record(hidden).empty());
  EXPECT_EQ(make(Text())->boundingRect(), make(hidden)->boundingRect());
}

// A view redraws only the items whose bounding rectangle meets the exposed
// region: the end of a turned text must show when only that part is drawn.
TEST(GraphicsTextItem, ATurnedTextShowsWhereItsStrokesAre) {
  QGraphicsScene scene;
  Text t;
  t.text = "REF**";
  t.angle = 90;
  scene.addItem(make(t).release());
  QImage image(100, 60, QImage::Format_RGB32);
  image.fill(Qt::black);
  QPainter painter(&image);
  scene.render(&painter, QRectF(0, 0, 100, 60), QRectF(-0.5, -1.3, 1, 0.6));
  painter.end();
  int inked = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      inked += image.pixel(x, y) == kColour.rgb();
  EXPECT_GT(inked, 100);
}

TEST(GraphicsTextItem, MissingFontResourceFailsTheConstruction) {
  make(Text());  // the bundle is registered by then
  drop_font_resources();
  try {
    make(Text());
    ADD_FAILURE() << "constructed without a font";
  } catch (const hersheyfont::HersheyFontException& e) {
    EXPECT_STREQ("Failed to load file:", e.what());
  }
  restore_font_resources();
  EXPECT_NO_THROW(make(Text()));
}

}  // namespace
