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

// A paint engine that keeps each path drawn, mapped by the painter's
// transform, with the pen and brush of the moment.
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
    Drawn drawn{{}, pen, brush};
    for (int i = 0; i < path.elementCount(); ++i)
      drawn.points.push_back(transform.map(QPointF(path.elementAt(i))));
    paths.push_back(drawn);
  }
  void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
  Type type() const override { return User; }

  std::vector<Drawn> paths;

private:
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
    switch (metric) {
      case PdmWidth:
      case PdmHeight:
        return 1000;
      case PdmDpiX:
      case PdmDpiY:
      case PdmPhysicalDpiX:
      case PdmPhysicalDpiY:
        return 96;
      case PdmDevicePixelRatio:
        return 1;
      case PdmDevicePixelRatioScaled:
        return static_cast<int>(devicePixelRatioFScale());
      default:
        return 32;
    }
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
  painter.end();
  return device.engine.paths;
}

void expect_near(const QPointF& expected, const QPointF& actual) {
  EXPECT_NEAR(expected.x(), actual.x(), 1e-9) << "x of " << actual.x();
  EXPECT_NEAR(expected.y(), actual.y(), 1e-9) << "y of " << actual.y();
}

TEST(GraphicsTextItem, R1IsCentredOnItsPosition) {
  const Text r1;
  EXPECT_EQ(QRectF(-0.625, -0.49875, 1.48, 1.1475), make(r1)->boundingRect());

  const auto paths = record(r1);
  ASSERT_EQ(4u, paths.size());  // R: stem, bowl, leg; 1: one polyline
  ASSERT_EQ(2u, paths[0].points.size());
  expect_near(QPointF(-0.55, -0.42375), paths[0].points[0]);
  expect_near(QPointF(-0.55, 0.57375), paths[0].points[1]);
  const QPen& pen = paths[0].pen;
  EXPECT_EQ(kColour, pen.color());
  EXPECT_DOUBLE_EQ(0.15, pen.widthF());
  EXPECT_EQ(Qt::SolidLine, pen.style());
  EXPECT_EQ(Qt::RoundCap, pen.capStyle());
  EXPECT_EQ(Qt::RoundJoin, pen.joinStyle());
  EXPECT_EQ(Qt::NoBrush, paths[0].brush);
}

// Every painted point with its round pen around it, whatever the turn.
TEST(GraphicsTextItem, StrokesStayInsideTheBoundingRect) {
  for (const double angle : {0.0, 30.0, 90.0, 180.0, -45.0}) {
    for (const bool italic : {false, true}) {
      SCOPED_TRACE(testing::Message() << angle << (italic ? " italic" : ""));
      Text t;
      t.text = "REF**";
      t.position = {3, -2};
      t.angle = angle;
      t.italic = italic;
      const double half = t.thickness / 2;
      const QRectF bounds = make(t)->boundingRect();
      QRectF reached;
      for (const Drawn& path : record(t)) {
        for (const QPointF& p : path.points) {
          reached |= QRectF(p.x() - half, p.y() - half, 2 * half, 2 * half);
        }
      }
      EXPECT_TRUE(bounds.adjusted(-1e-9, -1e-9, 1e-9, 1e-9).contains(reached))
          << "reached " << testing::PrintToString(reached);
      if (angle == 0) {
        EXPECT_EQ(bounds, reached);
      }
    }
  }
}

TEST(GraphicsTextItem, TurnsCounterClockwiseAboutItsPosition) {
  Text upright;
  upright.position = {5, 7};
  Text turned = upright;
  turned.angle = 90;
  EXPECT_EQ(QRectF(4.375, 6.50125, 1.48, 1.1475),
            make(upright)->boundingRect());
  EXPECT_EQ(QRectF(4.50125, 6.145, 1.1475, 1.48), make(turned)->boundingRect());

  const auto a = record(upright);
  const auto b = record(turned);
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t s = 0; s < a.size(); ++s) {
    ASSERT_EQ(a[s].points.size(), b[s].points.size());
    for (std::size_t i = 0; i < a[s].points.size(); ++i) {
      // On a screen with y down, right turns into up.
      const QPointF d = a[s].points[i] - upright.position;
      expect_near(upright.position + QPointF(d.y(), -d.x()), b[s].points[i]);
    }
  }
}

TEST(GraphicsTextItem, DoubleWidthDoublesHorizontalDistancesOnly) {
  Text narrow;
  Text wide;
  wide.size = {2, 1};
  const auto a = record(narrow);
  const auto b = record(wide);
  ASSERT_EQ(a.size(), b.size());
  const QPointF a0 = a[0].points[0];
  const QPointF b0 = b[0].points[0];
  for (std::size_t s = 0; s < a.size(); ++s) {
    for (std::size_t i = 0; i < a[s].points.size(); ++i) {
      EXPECT_NEAR(2 * (a[s].points[i].x() - a0.x()),
                  b[s].points[i].x() - b0.x(), 1e-9);
      EXPECT_NEAR(a[s].points[i].y(), b[s].points[i].y(), 1e-9);
    }
  }
}

TEST(GraphicsTextItem, ItalicLeansTheStrokes) {
  Text t;
  t.italic = true;
  const auto paths = record(t);
  ASSERT_FALSE(paths.empty());
  const auto& stem = paths[0].points;
  ASSERT_EQ(2u, stem.size());
  // Drawn from the top down to the baseline.
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

TEST(GraphicsTextItem, CharactersWithoutGlyphsTakeNoRoom) {
  Text accented;
  accented.text = QString::fromUtf8("R\u00e91");
  EXPECT_EQ(make(Text())->boundingRect(), make(accented)->boundingRect());
  EXPECT_EQ(record(Text()).size(), record(accented).size());
}

// 100 pixels per unit with the text's position in the middle of the image.
QImage render(const Text& t) {
  QImage image(400, 300, QImage::Format_RGB32);
  image.fill(Qt::black);
  QPainter painter(&image);
  painter.translate(200, 150);
  painter.scale(100, 100);
  make(t)->paint(&painter, nullptr, nullptr);
  return image;
}

TEST(GraphicsTextItem, PaintsTheStrokesInItsColour) {
  const QRgb ink = kColour.rgb();
  const QRgb black = QColor(Qt::black).rgb();
  // The stem of the R runs from (145, 207) up to (145, 108).
  const QImage upright = render(Text());
  EXPECT_EQ(ink, upright.pixel(145, 200));
  EXPECT_EQ(ink, upright.pixel(145, 115));
  EXPECT_EQ(black, upright.pixel(145, 95));
  EXPECT_EQ(black, upright.pixel(120, 160));

  // Turned by 90 degrees it lies along y = 205, from x = 158 to 257.
  Text turned_text;
  turned_text.angle = 90;
  const QImage turned = render(turned_text);
  EXPECT_EQ(ink, turned.pixel(165, 205));
  EXPECT_EQ(ink, turned.pixel(250, 205));
  EXPECT_EQ(black, turned.pixel(145, 160));

  Text hidden;
  hidden.hide = true;
  const QImage nothing = render(hidden);
  QImage blank(nothing.size(), nothing.format());
  blank.fill(Qt::black);
  EXPECT_EQ(blank, nothing);
}

// A view repaints only what meets an item's bounding rectangle: the far end
// of a turned text must show when only that part is redrawn.
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
      inked += image.pixel(x, y) != QColor(Qt::black).rgb();
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
