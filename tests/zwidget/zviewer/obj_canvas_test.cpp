#include "zwidget/zviewer/obj_canvas.h"

#include "support/qt_printers.h"
#include "support/test_data.h"
#include "zcore/legacy_model.h"
#include "zcore/model_exception.h"
#include "zwidget/zgraph/pad_item.h"
#include "zwidget/zviewer/viewer_test_support.h"
#include "zwidget/zviewer/zmessage_exception.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QGraphicsSceneMouseEvent>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWheelEvent>
#include <QtTest/QTest>

#include <cmath>
#include <functional>
#include <ios>
#include <memory>

namespace zwidget::zcvpcb {
namespace {

using Model = std::shared_ptr<zcore::BaseModel>;
using padscope::test::local;
using Log = std::vector<std::string>;

// A shown canvas logging its signals; a run of item_added is one entry.
struct ShownCanvas : test::ShownCanvas {
  explicit ShownCanvas(const char* parser = "module_parser")
      : test::ShownCanvas(parser, {900, 700}) {
    QObject::connect(&canvas, &ZObjCanvas::reseted,
                     [this] { note("reseted"); });
    QObject::connect(&canvas, &ZObjCanvas::item_added, [this](QGraphicsItem*) {
      if (log.empty() || log.back().rfind("item_added", 0) != 0) items = 0;
      if (items == 0) log.emplace_back();
      log.back() = "item_added x" + std::to_string(++items);
    });
    QObject::connect(&canvas, qOverload<const QString&>(&ZObjCanvas::loaded),
                     [this](const QString& type) { note("loaded " + type); });
    QObject::connect(&canvas, &ZObjCanvas::rotated, [this](double v) {
      note("rotated " + QString::number(v));
    });
    QObject::connect(&canvas, &ZObjCanvas::scaled,
                     [this](double) { log.push_back(scaled()); });
    QObject::connect(
        &canvas, qOverload<Model>(&ZObjCanvas::loaded), [this](Model shown) {
          model = shown;
          note(shown ? "model " + QString::fromStdString(shown->name())
                     : "no model");
        });
  }
  void note(const QString& entry) { log.push_back(entry.toStdString()); }
  std::string scaled() const {
    return "scaled " + QString::number(canvas.current_scale).toStdString();
  }

  Log log;
  Model model;
  int items = 0;
};

const std::vector<zcore::record>& records(const Model& model) {
  return dynamic_cast<zcore::LegacyStringModel&>(*model).records();
}

// How far from viewport point `at` the scene point `held` is shown.
double drift(const ZObjCanvas& canvas, const QPointF& held, const QPointF& at) {
  return QLineF(canvas.viewportTransform().map(held), at).length();
}

TEST(ZObjCanvas, WheelZoomsByTheZoomStepAboutTheCursorAndDraggingPans) {
  ShownCanvas shown;
  shown.load_file(local("Battery_CR1225.kicad_mod"));
  shown.canvas.rotate(30);
  const struct {
    QPoint at;
    Qt::KeyboardModifiers modifiers;
    int delta;
    double factor;
  } notches[] = {
      {{200, 150}, Qt::ControlModifier, 120, 1.1},
      {{10, 690}, Qt::NoModifier, -120 * 80, std::pow(1.1, -80)},
      {{450, 350}, Qt::NoModifier, 0, 1},
  };
  for (const auto& notch : notches) {
    SCOPED_TRACE(notch.delta);
    const QPointF held = shown.canvas.mapToScene(notch.at);
    const double before = shown.canvas.current_scale;
    QWheelEvent wheel(notch.at, shown.canvas.mapToGlobal(notch.at), QPoint(),
                      QPoint(0, notch.delta), Qt::NoButton, notch.modifiers,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(shown.canvas.viewport(), &wheel);
    EXPECT_NEAR(shown.canvas.current_scale / before, notch.factor, 1e-9);
    EXPECT_LT(drift(shown.canvas, held, notch.at), 1.0);
  }

  // The left and the middle button drag the point grabbed along; the right
  // one does not.
  for (Qt::MouseButton button :
       {Qt::LeftButton, Qt::MiddleButton, Qt::RightButton}) {
    SCOPED_TRACE(button);
    const QPoint from(300, 300), to(-2000, 5000);
    const QPointF grabbed = shown.canvas.mapToScene(from);
    auto send = [&](QEvent::Type type, QPoint at, Qt::MouseButtons held) {
      QMouseEvent event(type, at,
                        type == QEvent::MouseMove ? Qt::NoButton : button, held,
                        Qt::NoModifier);
      QApplication::sendEvent(shown.canvas.viewport(), &event);
    };
    send(QEvent::MouseButtonPress, from, button);
    send(QEvent::MouseMove, (from + to) / 2, button);
    send(QEvent::MouseMove, to, button);
    send(QEvent::MouseButtonRelease, to, Qt::NoButton);
    const double moved = drift(shown.canvas, grabbed, to);
    EXPECT_EQ(moved < 1.0, button != Qt::RightButton) << moved;
  }
}

// A canvas that paints as Qt's own view does on demand: every item drawn.
struct FullyPainted : ZObjCanvas {
  FullyPainted() : ZObjCanvas(nullptr) {}
  void paintEvent(QPaintEvent* event) override {
    for (const QRect& rect : event->region())
      painted += rect.width() * rect.height();
    if (full) {
      QGraphicsView::paintEvent(event);
    } else {
      ZObjCanvas::paintEvent(event);
    }
  }
  // The pixels where the viewport as the kept drawing shows it differs
  // from everything drawn.
  int differing() {
    QApplication::processEvents();
    full = false;
    const QImage kept = viewport()->grab().toImage();
    full = true;
    const QImage drawn = viewport()->grab().toImage();
    full = false;
    EXPECT_EQ(kept.size(), drawn.size());
    int count = 0;
    for (int y = 0; y < kept.height(); ++y)
      for (int x = 0; x < kept.width(); ++x)
        count += kept.pixel(x, y) != drawn.pixel(x, y);
    return count;
  }
  bool full = false;
  // The pixels repainted, counted over.
  int painted = 0;
};

// The kept drawing, shifted by pans and drawn anew on a zoom, a turn or
// another picture, shows every pixel as drawing all items shows it once the
// view rests, the hover highlight too; while it moves, a shifted pixel may
// round a level apart. A hover repaints its highlights only.
TEST(ZObjCanvas, TheKeptDrawingShowsWhatDrawingEverythingShows) {
  FullyPainted canvas;
  canvas.resize(700, 500);
  canvas.show();
  {
    test::CoutCapture quiet;
    canvas.load(QString::fromStdString(
        padscope::test::real_file("kicad6/DIP-8_W7.62mm.kicad_mod")));
  }
  const auto mouse = [&canvas](QEvent::Type type, QPoint at,
                               Qt::MouseButtons held) {
    QMouseEvent event(type, at, held ? Qt::LeftButton : Qt::NoButton, held,
                      Qt::NoModifier);
    QApplication::sendEvent(canvas.viewport(), &event);
  };
  const auto drag = [&](QPoint from, QPoint by) {
    mouse(QEvent::MouseButtonPress, from, Qt::LeftButton);
    for (int step = 1; step <= 3; ++step) {
      mouse(QEvent::MouseMove, from + by * step / 3, Qt::LeftButton);
      QApplication::processEvents();
    }
    mouse(QEvent::MouseButtonRelease, from + by, Qt::NoButton);
  };
  PictureOptions hidden;
  hidden.hidden = {"F.SilkS"};
  QPoint centre;
  const std::vector<std::pair<const char*, std::function<void()>>> steps = {
      {"fitted", [] {}},
      {"hovered",
       [&] {
         for (const QGraphicsItem* item : canvas.scene()->items()) {
           const auto* pad = dynamic_cast<const zgraph::GraphicsPadItem*>(item);
           if (pad && canvas.viewport()->rect().contains(
                          canvas.mapFromScene(pad->spec().position)))
             centre = canvas.mapFromScene(pad->spec().position);
         }
         canvas.painted = 0;
         mouse(QEvent::MouseMove, centre, Qt::NoButton);
         QApplication::processEvents();
         EXPECT_GT(canvas.painted, 0);
         EXPECT_LT(canvas.painted, 700 * 500 / 20);
       }},
      {"dragged",
       [&] {
         drag({300, 200}, {-37, 23});
       }},
      {"dragged far",
       [&] {
         drag({600, 400}, {-650, -450});
       }},
      {"arrow key", [&] { QTest::keyClick(&canvas, Qt::Key_Right); }},
      {"zoomed", [&] { canvas.scale(kZoomStep); }},
      {"turned and dragged",
       [&] {
         canvas.rotate(30);
         drag({100, 100}, {5, 41});
       }},
      {"a layer hidden", [&] { canvas.set_picture(hidden); }},
  };
  for (const auto& [name, step] : steps) {
    SCOPED_TRACE(name);
    step();
    EXPECT_LE(canvas.differing(), 700 * 500 / 1000);
    QTest::qWait(kSettleMilliseconds + 50);
    EXPECT_EQ(canvas.differing(), 0);
  }
}

TEST(ZObjCanvas, LoadSignalsInOrderFitsAndThenZoomsAndTurnsOneMatrix) {
  ShownCanvas shown;
  EXPECT_TRUE(shown.is_cover());
  shown.canvas.rotate(30);
  shown.log.clear();
  shown.load_file(local("Battery_CR1225.kicad_mod"));
  const std::string scaled = shown.scaled();
  // A circle and two texts.
  EXPECT_EQ(shown.log, (Log{"reseted", "item_added x3", "loaded module_parser",
                            "rotated 0", scaled, "model module_parser"}));
  EXPECT_NE(dynamic_cast<zcore::S_Model*>(shown.model.get()), nullptr);
  EXPECT_EQ(shown.canvas.module_count(), 1);
  // Moves are reported; neither they nor clicks make the scene repaint.
  QGraphicsScene* scene = shown.canvas.scene();
  QSignalSpy positions(&shown.canvas, &ZObjCanvas::position_changed);
  QSignalSpy changed(scene, &QGraphicsScene::changed);
  QGraphicsSceneMouseEvent press(QEvent::GraphicsSceneMousePress);
  press.setButton(Qt::LeftButton);
  QApplication::sendEvent(scene, &press);
  QApplication::processEvents();
  const int changes = changed.count();
  QGraphicsSceneMouseEvent move(QEvent::GraphicsSceneMouseMove);
  move.setScenePos(QPointF(2, 3));
  QApplication::sendEvent(scene, &move);
  QApplication::processEvents();
  ASSERT_EQ(positions.count(), 1);
  EXPECT_EQ(positions[0][0].toPointF(), QPointF(2, 3));
  // Relative to the footprint origin until another is set.
  EXPECT_EQ(positions[0][1].toPointF(), QPointF(2, 3));
  EXPECT_EQ(changed.count(), changes);
  QSignalSpy moved(&shown.canvas, &ZObjCanvas::zerro_position);
  shown.canvas.set_relative_origin(QPointF(1, -1));
  ASSERT_EQ(moved.count(), 1);
  EXPECT_EQ(moved[0][0].toPointF(), QPointF(0, 0));
  ASSERT_EQ(positions.count(), 2);  // the cursor again, from the new origin
  EXPECT_EQ(positions[1][1].toPointF(), QPointF(1, 4));

  // Fitted: the drawing fills the viewport in one direction, unrotated.
  const double fitted = shown.canvas.current_scale;
  EXPECT_EQ(shown.canvas.transform(), QTransform::fromScale(fitted, fitted));
  const QRectF drawn =
      shown.canvas.mapFromScene(shown.canvas.sceneRect()).boundingRect();
  const QRect viewport = shown.canvas.viewport()->rect();
  EXPECT_TRUE(viewport.adjusted(-1, -1, 1, 1).contains(drawn.toRect()));
  EXPECT_GT(std::max(drawn.width() / viewport.width(),
                     drawn.height() / viewport.height()),
            0.98);

  // Zoom and angle rebuild one matrix; the angle is never wrapped.
  shown.log.clear();
  shown.canvas.scale(2);
  for (int i = 0; i < 4; ++i) shown.canvas.rotate(90);
  shown.canvas.rotate(-45);
  EXPECT_EQ(shown.log, (Log{shown.scaled(), "rotated 90", "rotated 180",
                            "rotated 270", "rotated 360", "rotated 315"}));
  EXPECT_EQ(shown.canvas.transform(),
            QTransform().scale(2 * fitted, 2 * fitted).rotate(315));
  // A later fit starts again from whatever zoom and angle there are.
  shown.log.clear();
  shown.canvas.fit();
  EXPECT_EQ(shown.log, (Log{"rotated 0", scaled}));
  EXPECT_NEAR(shown.canvas.current_scale, fitted, 1e-9 * fitted);
}

TEST(ZObjCanvas, ALegacyFileFittedBelowOnePixelPerUnitStaysVisibleZoomed) {
  ShownCanvas shown("module_legacy_parser");
  shown.load_file(local("w_pth_resistors.mod"));
  // The first module, trimmer_64w, is some 5000 decimils long.
  EXPECT_GT(shown.canvas.current_scale, 0.05);
  EXPECT_LT(shown.canvas.current_scale, 1);
  EXPECT_EQ(shown.canvas.millimetres_per_unit(), 0.00254);
  shown.canvas.scale(1.1);
  test::CoutCapture quiet;
  const QImage image = shown.canvas.viewport()->grab().toImage();
  int silk = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      silk += image.pixelColor(x, y) == QColor(0, 132, 132);
  EXPECT_GT(silk, 500);
}

// Serves the start of a legacy file, then fails.
struct FailingDevice : QBuffer {
  FailingDevice() {
    setData("$MODULE A\nDS 0 0 100 0 10 21\n");
    open(QIODevice::ReadOnly);
  }
  qint64 readData(char* data, qint64 size) override {
    return pos() > 0 ? -1 : QBuffer::readData(data, size);
  }
};

TEST(ZObjCanvas, FailedLoadsThrowAndLeaveTheCover) {
  ShownCanvas shown("module_legacy_parser");
  for (const QString& name : {QString("/nonexistent/R1.mod"), QDir::tempPath()})
    EXPECT_THAT([&] { shown.canvas.load(name); },
                testing::ThrowsMessage<zaux::ZMessageException>(
                    testing::HasSubstr(name.toStdString())));
  // A read that fails half-way is no end of file.
  FailingDevice device;
  QDataStream stream(&device);
  EXPECT_THROW(shown.canvas.load(stream), std::ios_base::failure);
  EXPECT_TRUE(shown.log.empty());

  // What holds no footprint fails as none.
  EXPECT_THAT([&] { shown.load_bytes("PCBNEW-BOARD Version 1"); },
              testing::ThrowsMessage<zaux::ZMessageException>(testing::StrEq(
                  "Not a footprint library: no $MODULE in the file")));
  EXPECT_TRUE(shown.log.empty());

  shown.canvas.parser_name = "no_parser";
  EXPECT_THAT([&] { shown.load_bytes("(module A)"); },
              testing::ThrowsMessage<zaux::ZMessageException>(
                  testing::StrEq("Parser:no_parser not found.")));
  // A file that no reader takes is no footprint.
  EXPECT_THAT([&] { shown.load_file(local("ATTRIBUTION.md")); },
              testing::ThrowsMessage<zaux::ZMessageException>(
                  testing::StartsWith("Not a footprint: neither")));
  EXPECT_EQ(shown.log, (Log{"no model", "no model"}));
  EXPECT_TRUE(shown.is_cover());
}

// A library shows one module at a time, signalling as a load does. A short
// record ends a load after the items before it, without `loaded`; stepping
// to such a module leaves the cover and no model. CR LF, or CR alone, ends a
// line, and so does the end of the file.
TEST(ZObjCanvas, ShowsALibraryOneModuleAtATimeAndTheCoverForABrokenOne) {
  ShownCanvas shown("module_legacy_parser");
  EXPECT_THAT(
      [&] {
        shown.load_bytes(
            "PCBNEW-LibModule-V1\r\nUnits mm\r\n$MODULE A\r\n"
            "DS 0 0 100 0 10 21\r\nDC 0 0 0 50 10 21\r\nDS 0 0 1 1\r\n"
            "DS 0 0 5 5 1 21\r\n$EndMODULE A\r\n$MODULE B\r"
            "DS 0 0 100 0 10 21\r\n$EndMODULE B");
      },
      testing::ThrowsMessage<zcore::ModelException>(
          testing::StrEq("Not enough parameters at line 6 (module A)")));
  EXPECT_EQ(shown.log, (Log{"reseted", "item_added x2"}));
  EXPECT_EQ(shown.canvas.module_count(), 2);
  EXPECT_EQ(shown.canvas.millimetres_per_unit(), 1.0);

  shown.log.clear();
  test::CoutCapture quiet;
  EXPECT_TRUE(shown.canvas.show_module(1));
  EXPECT_EQ(shown.log,
            (Log{"reseted", "item_added x1", "loaded module_legacy_parser",
                 "rotated 0", shown.scaled(), "model module_legacy_parser"}));
  EXPECT_EQ(shown.canvas.module_name(), "B");
  EXPECT_EQ(records(shown.model).front(), (zcore::record{"$MODULE", "B"}));
  EXPECT_EQ(records(shown.model).back(), (zcore::record{"$EndMODULE", "B"}));
  EXPECT_EQ(test::kinds(shown.canvas.scene()->items()), "line");

  shown.log.clear();
  EXPECT_FALSE(shown.canvas.show_module(2));
  EXPECT_FALSE(shown.canvas.show_module(-1));
  EXPECT_TRUE(shown.log.empty());
  EXPECT_FALSE(shown.canvas.show_module(0));
  EXPECT_EQ(shown.log, (Log{"reseted", "item_added x2", "no model"}));
  EXPECT_TRUE(shown.is_cover());
  EXPECT_EQ(shown.canvas.module_index(), 0);
}

// The name wins; a file of another name is known by its first bytes.
TEST(FootprintFormats, AFileIsReadByItsNameElseByItsFirstBytes) {
  QTemporaryDir dir;
  const auto parser_of = [&dir](const char* name, const char* bytes) {
    const QString path = dir.filePath(name);
    EXPECT_TRUE(padscope::test::write_file(path.toStdString(), bytes));
    const FootprintFormat* format = format_for_file(path);
    return std::string(format ? format->parser : "");
  };
  EXPECT_EQ(parser_of("a.kicad_mod", "PCBNEW-LibModule-V1"), "module_parser");
  EXPECT_EQ(parser_of("fp", "(footprint \"R\" (layer F.Cu))"), "module_parser");
  EXPECT_EQ(format_for_file(dir.filePath("missing")), nullptr);
}

}  // namespace
}  // namespace zwidget::zcvpcb
