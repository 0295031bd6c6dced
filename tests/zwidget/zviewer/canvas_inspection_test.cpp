#include "support/qt_printers.h"
#include "support/test_data.h"
#include "zwidget/zgraph/pad_item.h"
#include "zwidget/zviewer/item_tags.h"
#include "zwidget/zviewer/obj_canvas.h"
#include "zwidget/zviewer/viewer_test_support.h"

#include <gtest/gtest.h>

#include <QGraphicsItem>
#include <QSignalSpy>
#include <QtTest/QTest>

#include <string>

namespace zwidget::zcvpcb {
namespace {

using padscope::test::local;
using padscope::test::real_file;

struct Inspected : test::ShownCanvas {
  explicit Inspected(const std::string& path,
                     const char* parser = "module_parser")
      : test::ShownCanvas(parser, {600, 600}) {
    load_file(path);
  }

  QGraphicsItem* pad(const QString& number) const {
    // A pad's hole carries the pad's tag too, so check the item's class.
    for (QGraphicsItem* item : canvas.scene()->items()) {
      const auto* found = dynamic_cast<zgraph::GraphicsPadItem*>(item);
      if (found && found->spec().number == number) return item;
    }
    ADD_FAILURE() << "no pad " << number.toStdString();
    return nullptr;
  }
  // A few pixels off the pad's centre, within reach of its snap.
  QPoint near(const QGraphicsItem* item) const {
    const QPointF centre =
        dynamic_cast<const zgraph::GraphicsPadItem&>(*item).spec().position;
    return canvas.mapFromScene(centre) + QPoint(3, -2);
  }
  void click(const QPoint& at) const {
    QTest::mouseClick(canvas.viewport(), Qt::LeftButton, Qt::NoModifier, at);
  }
  void key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(&canvas, key, modifiers);
  }
  QString selected_number() const {
    for (const zcore::fact& fact : canvas.selection_facts())
      if (fact.label == "Number") return QString::fromStdString(fact.text);
    return "-";
  }
  int brightness(const QPoint& at) const {
    const QColor colour = canvas.viewport()->grab().toImage().pixelColor(at);
    return colour.red() + colour.green() + colour.blue();
  }
};

TEST(CanvasInspection, HoverHighlightsPadsClicksAndTabSelectEscClears) {
  Inspected shown(real_file("kicad6/LQFP-48_7x7mm_P0.5mm.kicad_mod"));
  QGraphicsItem* first = shown.pad("1");
  const QPoint at = shown.near(first);
  const int plain = shown.brightness(at);
  QTest::mouseMove(shown.canvas.viewport(), at);
  EXPECT_GT(shown.brightness(at), plain + 60);
  // A light theme gets a dark highlight.
  PictureOptions light;
  light.theme = ColourTheme::light;
  shown.canvas.set_picture(light);
  QTest::mouseMove(shown.canvas.viewport(), at + QPoint(1, 0));
  const int lit = shown.brightness(at);
  QTest::mouseMove(shown.canvas.viewport(), QPoint(3, 3));
  EXPECT_LT(lit, shown.brightness(at) - 40);
  shown.canvas.set_picture(PictureOptions());
  first = shown.pad("1");
  EXPECT_EQ(shown.canvas.pad_tooltip(first),
            "Number: 1\nType: smd\nShape: roundrect\n"
            "Size: 1.4750 \u00d7 0.3000 mm");

  QSignalSpy changed(&shown.canvas, &ZObjCanvas::selection_changed);
  shown.click(at);
  EXPECT_EQ(shown.canvas.selected_element(), element_of(first));
  EXPECT_EQ(changed.count(), 1);
  EXPECT_TRUE(
      shown.canvas.selection_text().contains("Position: -4.1625, -2.7500 mm"))
      << shown.canvas.selection_text().toStdString();
  // In number order, round the end.
  QStringList stepped;
  for (const auto& [key, modifiers] : {std::pair{Qt::Key_Tab, Qt::NoModifier},
                                       {Qt::Key_Backtab, Qt::ShiftModifier},
                                       {Qt::Key_Backtab, Qt::ShiftModifier}}) {
    shown.key(key, modifiers);
    stepped << shown.selected_number();
  }
  EXPECT_EQ(stepped, QStringList({"2", "1", "48"}));
  shown.key(Qt::Key_Escape);
  EXPECT_EQ(shown.canvas.selected_element(), -1);
  shown.click(at);
  shown.click(QPoint(3, 3));  // nothing there
  EXPECT_EQ(shown.canvas.selected_element(), -1);
  // What is hidden is passed over: pad 2 lies beyond reach.
  first->setVisible(false);
  shown.click(at);
  EXPECT_EQ(shown.canvas.selected_element(), -1);
  EXPECT_TRUE(shown.canvas.selection_text().isEmpty());
}

// Two clicks near two pad centres measure the file's pitch exactly, in any
// unit of the file; Esc ends.
TEST(CanvasInspection, MeasureSnapsToPadCentresForTheExactPitch) {
  const struct {
    std::string path;
    const char* parser;
    QString from, to;
    double pitch;
    const char* distance;
  } cases[] = {
      {real_file("kicad6/LQFP-48_7x7mm_P0.5mm.kicad_mod"), "module_parser", "1",
       "2", 0.5, "distance 0.5000 mm"},
      {real_file("kicad6/DIP-8_W7.62mm.kicad_mod"), "module_parser", "1", "8",
       7.62, "distance 7.6200 mm"},
      {real_file("kicad5/ST_TFBGA-225_13x13mm_Layout15x15_P0.8mm.kicad_mod"),
       "module_parser", "A1", "B2", std::hypot(0.8, 0.8), "distance 1.1314 mm"},
      {local("w_pth_resistors.mod"), "module_legacy_parser", "1", "2", 2.54,
       "distance 2.5400 mm"},
  };
  for (const auto& each : cases) {
    SCOPED_TRACE(each.path);
    Inspected shown(each.path, each.parser);
    QSignalSpy measuring(&shown.canvas, &ZObjCanvas::measuring_changed);
    shown.canvas.set_measuring(true);
    shown.click(shown.near(shown.pad(each.from)));
    QTest::mouseMove(shown.canvas.viewport(), shown.near(shown.pad(each.to)));
    ASSERT_TRUE(shown.canvas.measurement());
    const double mm = shown.canvas.millimetres_per_unit();
    EXPECT_NEAR(shown.canvas.measurement()->length() * mm, each.pitch, 1e-12);
    shown.click(shown.near(shown.pad(each.to)));
    QTest::mouseMove(shown.canvas.viewport(), QPoint(5, 5));
    EXPECT_EQ(shown.canvas.measurement_text().value(2), each.distance);
    shown.key(Qt::Key_Escape);
    EXPECT_FALSE(shown.canvas.measurement());
    EXPECT_EQ(measuring.count(), 2);
  }
}

}  // namespace
}  // namespace zwidget::zcvpcb
