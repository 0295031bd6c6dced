#include "zwidget/zviewer/zscene.h"

#include "support/qt_printers.h"
#include "zcore/models.h"
#include "zwidget/zviewer/grid_painter.h"
#include "zwidget/zviewer/viewer_test_support.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QGraphicsLineItem>
#include <QGraphicsSceneMouseEvent>
#include <QImage>
#include <QPainter>
#include <QPointer>
#include <QSignalSpy>

#include <cmath>
#include <limits>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace zwidget::zcvpcb {
namespace {

using test::CoutCapture;

// Paints the grid of `rect` at `scale` device pixels per unit into an
// image that was red, without antialiasing so that a point is one pixel.
struct GridImage {
  GridImage(const QRectF& rect, double scale)
      : image(std::ceil(rect.width() * scale) + 2,
              std::ceil(rect.height() * scale) + 2, QImage::Format_RGB32) {
    image.fill(Qt::red);
    to_pixels.translate(1, 1)
        .scale(scale, scale)
        .translate(-rect.left(), -rect.top());
    QPainter painter(&image);
    painter.setTransform(to_pixels);
    CoutCapture capture;
    GridPainter(&painter, rect).paint();
    trace = capture.lines();
  }

  int count(const QColor& colour) const {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x)
        n += image.pixelColor(x, y) == colour;
    return n;
  }

  // A white pixel at most one pixel away from the scene point.
  bool white_near(const QPointF& p) const {
    const QPoint centre = to_pixels.map(p).toPoint();
    for (int dy = -1; dy <= 1; ++dy)
      for (int dx = -1; dx <= 1; ++dx)
        if (image.pixelColor(centre + QPoint(dx, dy)) == Qt::white) return true;
    return false;
  }

  QImage image;
  QTransform to_pixels;
  std::vector<std::string> trace;
};

TEST(GridPainter, AnchorsPointsAtTheOriginAndThinsThemBelowFourPixels) {
  const struct {
    QRectF rect;
    double scale;
    const char* trace;
    int counter;
    std::vector<double> corners;  // x and y of some of the points drawn
  } cases[] = {
      {{-3, -3, 6, 6},
       10,
       "-3 -3 6 6  step=1.27 counter=25",
       25,
       {-2.54, 0, 2.54}},
      // 8 x 1.27 = 10.16 lies inside too: columns and rows 8 to 15.
      {{10, 10, 10, 10},
       10,
       "10 10 10 10  step=1.27 counter=64",
       64,
       {10.16, 19.05}},
      {{0.5, 0.5, 0.5, 0.5}, 10, "0.5 0.5 0.5 0.5  step=1.27 counter=0", 0, {}},
      // 1.27 units are 4.06 pixels: unchanged.
      {{-3, -3, 6, 6},
       3.2,
       "-3 -3 6 6  step=1.27 counter=25",
       25,
       {-2.54, 0, 2.54}},
      // 3.81 pixels: doubled once; 1.27 pixels: doubled twice.
      {{-3, -3, 6, 6}, 3, "-3 -3 6 6  step=2.54 counter=9", 9, {-2.54, 2.54}},
      {{-3, -3, 6, 6}, 1, "-3 -3 6 6  step=5.08 counter=1", 1, {0}},
      // A legacy library in its own units: 64 x 1.27 is the first pitch of
      // 4 pixels or more; 123 columns, 99 rows.
      {{-5000, -4000, 10000, 8000},
       0.05,
       "-5000 -4000 8000 10000  step=81.28 counter=12177",
       12177,
       {-3901.44, 0, 3901.44}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.trace);
    const GridImage grid(c.rect, c.scale);
    EXPECT_EQ(grid.trace, std::vector<std::string>{c.trace});
    EXPECT_EQ(grid.count(Qt::white), c.counter);
    // The exposed area is black wherever there is no point.
    const QPoint middle = grid.to_pixels.map(c.rect.center()).toPoint();
    EXPECT_NE(grid.image.pixelColor(middle), QColor(Qt::red));
    EXPECT_EQ(grid.count(Qt::black) + c.counter,
              grid.image.width() * grid.image.height() - grid.count(Qt::red));
    for (double x : c.corners)
      for (double y : c.corners)
        EXPECT_TRUE(grid.white_near({x, y})) << x << ", " << y;
  }
}

TEST(ZCoverScene, DrawsABlueCrossOverBlack) {
  ZCoverScene cover;
  EXPECT_TRUE(cover.is_cover());
  EXPECT_FALSE(ZScene().is_cover());
  QImage image(100, 100, QImage::Format_RGB32);
  image.fill(Qt::green);
  QPainter painter(&image);
  cover.render(&painter, QRectF(0, 0, 100, 100), QRectF(0, 0, 100, 100));
  painter.end();
  for (const QPoint& p : {QPoint(50, 50), QPoint(15, 15), QPoint(85, 15),
                          QPoint(15, 85), QPoint(85, 85)})
    EXPECT_EQ(image.pixelColor(p), QColor(Qt::blue)) << p.x() << "," << p.y();
  for (const QPoint& p : {QPoint(50, 10), QPoint(10, 50), QPoint(90, 50)})
    EXPECT_EQ(image.pixelColor(p), QColor(Qt::black)) << p.x() << "," << p.y();
}

// Adds `count` lines, then fails if asked to, as a text whose font cannot
// be read would.
class FakeLoader : public ZSceneLoader {
public:
  FakeLoader(ZScene* scene, int count, bool fail)
      : ZSceneLoader(scene), count(count), fail(fail) {}
  void load() override {
    for (int i = 0; i < count; ++i) add(new QGraphicsLineItem(0, i, 1, i));
    if (fail) throw std::runtime_error("font");
  }

private:
  int count;
  bool fail;
};

TEST(ZScene, BuildResetsAddsAnnouncesAndOwnsTheLoader) {
  ZScene scene;
  std::vector<std::string> log;
  QObject::connect(&scene, &ZScene::reseted, [&] { log.push_back("reseted"); });
  QObject::connect(&scene, &ZScene::item_added, [&](QGraphicsItem* item) {
    log.push_back(item->scene() == &scene ? "item" : "item off the scene");
  });
  QObject::connect(&scene, &ZScene::loaded, [&](const QString& type) {
    log.push_back(type.toStdString());
  });
  zcore::S_Model model("module_parser");
  QPointer<ZSceneLoader> loader = new FakeLoader(&scene, 2, false);
  scene.build(&model, loader);
  EXPECT_EQ(log, (std::vector<std::string>{"reseted", "item", "item",
                                           "module_parser"}));
  EXPECT_EQ(scene.items().size(), 2);
  EXPECT_EQ(scene.scene_loader(), loader.data());

  log.clear();
  scene.reset();
  EXPECT_EQ(log, std::vector<std::string>{"reseted"});
  EXPECT_TRUE(scene.items().isEmpty());
  EXPECT_TRUE(loader.isNull());

  // A loader that fails leaves its items and stays owned; no `loaded`.
  log.clear();
  auto* failing = new FakeLoader(&scene, 1, true);
  EXPECT_THROW(scene.build(&model, failing), std::runtime_error);
  EXPECT_EQ(log, (std::vector<std::string>{"reseted", "item"}));
  EXPECT_EQ(scene.items().size(), 1);
  EXPECT_EQ(scene.scene_loader(), failing);
}

// Adds one line from the origin to each end point.
class ReachLoader : public ZSceneLoader {
public:
  ReachLoader(ZScene* scene, std::vector<QPointF> ends)
      : ZSceneLoader(scene), ends(std::move(ends)) {}
  void load() override {
    for (const QPointF& end : ends)
      add(new QGraphicsLineItem(0, 0, end.x(), end.y()));
  }

private:
  std::vector<QPointF> ends;
};

TEST(ZScene, NonFiniteGeometryIsCountedNotDrawn) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  ZScene scene;
  std::vector<QPointF> announced;
  QObject::connect(&scene, &ZScene::item_added, [&](QGraphicsItem* item) {
    announced.push_back(static_cast<QGraphicsLineItem*>(item)->line().p2());
  });
  zcore::S_Model model("module_parser");
  auto* loader = new ReachLoader(
      &scene, {QPointF(1, 2), QPointF(inf, 0), QPointF(0, -inf),
               QPointF(nan, 1), QPointF(1e308, -1e308), QPointF(3, 4)});
  scene.build(&model, loader);
  EXPECT_EQ(announced,
            (std::vector<QPointF>{QPointF(1, 2), QPointF(1e308, -1e308),
                                  QPointF(3, 4)}));
  EXPECT_EQ(scene.items().size(), 3);
  EXPECT_EQ(loader->not_drawn(),
            (std::map<std::string, int>{{"non-finite geometry", 3}}));
  const QRectF bounds = scene.itemsBoundingRect();
  EXPECT_TRUE(std::isfinite(bounds.width()) && std::isfinite(bounds.height()));
}

TEST(ZScene, MouseMovesReportThePositionAndRepaintClicksDoNot) {
  ZScene scene;
  QSignalSpy positions(&scene, &ZScene::position_changed);
  QSignalSpy changed(&scene, &QGraphicsScene::changed);
  QGraphicsSceneMouseEvent press(QEvent::GraphicsSceneMousePress);
  press.setButton(Qt::LeftButton);
  QApplication::sendEvent(&scene, &press);
  QApplication::processEvents();
  EXPECT_EQ(positions.count(), 0);
  const int changes_before = changed.count();

  QGraphicsSceneMouseEvent move(QEvent::GraphicsSceneMouseMove);
  move.setScenePos(QPointF(1.5, -2.25));
  QApplication::sendEvent(&scene, &move);
  QApplication::processEvents();
  ASSERT_EQ(positions.count(), 1);
  EXPECT_EQ(positions[0][0].toPointF(), QPointF(1.5, -2.25));
  EXPECT_EQ(positions[0][1].toPointF(), QPointF(0, 0));
  EXPECT_EQ(changed.count(), changes_before + 1);
}

}  // namespace
}  // namespace zwidget::zcvpcb
