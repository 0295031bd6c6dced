#include "zwidget/zviewer/compare_scene.h"

#include "support/item_image.h"
#include "support/model_of.h"
#include "support/test_data.h"
#include "zcore/footprint_format.h"
#include "zcore/models.h"
#include "zwidget/zviewer/compare_view.h"
#include "zwidget/zviewer/obj_canvas.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QTreeWidget>

namespace zwidget::zcvpcb {
namespace {

using padscope::test::model_of;

zcore::footprint_comparison compared(const zcore::BaseModel& a,
                                     const zcore::BaseModel& b) {
  return zcore::compare_footprints(zcore::contents_of(a),
                                   zcore::contents_of(b));
}

// The scene drawn at 40 pixels a millimetre over its own rectangle.
class SceneImage {
public:
  explicit SceneImage(ZCompareScene& scene)
      : area(scene.sceneRect()),
        image((area.size() * 40).toSize(), QImage::Format_RGB32) {
    QPainter painter(&image);
    scene.render(&painter, QRectF(image.rect()), area);
  }
  QColor at(double x, double y) const {
    return image.pixelColor(int((x - area.left()) * 40),
                            int((y - area.top()) * 40));
  }

private:
  QRectF area;
  QImage image;
};

TEST(CompareScene, EachSideInItsColourWhatTheyShareInGrey) {
  const std::string name = "LQFP-48_7x7mm_P0.5mm.kicad_mod";
  const std::string text =
      padscope::test::read_file(padscope::test::real_file("kicad6/" + name));
  std::string moved = text;
  const std::string from = "(at -2.75 4.1625)";
  moved.replace(moved.find(from), from.size(), "(at -2.75 6.1625)");
  const auto before = model_of(name, text), after = model_of(name, moved);
  const zcore::footprint_comparison result = compared(*before, *after);
  ZCompareScene scene;
  const CompareColours colours;
  scene.build_pair(*before, *after, result, colours);
  const SceneImage picture(scene);
  // Pad 13 where it was, where it went, and pad 14 beside it; off the
  // numbers written across them.
  const QColor old_place = picture.at(-2.75, 3.6);
  const QColor new_place = picture.at(-2.75, 6.8);
  const QColor shared = picture.at(-2.25, 3.6);
  EXPECT_GT(old_place.red(), old_place.blue() + 80)
      << old_place.name().toStdString();
  EXPECT_GT(new_place.blue(), new_place.red() + 80)
      << new_place.name().toStdString();
  EXPECT_EQ(shared, colours.shared) << shared.name().toStdString();

  ASSERT_EQ(result.differences.size(), 1u);
  const zcore::difference& d = result.differences[0];
  EXPECT_TRUE(scene.highlighted().isEmpty());
  scene.highlight(d.old_where, d.new_where);
  const QRectF frame = scene.highlighted();
  EXPECT_TRUE(frame.contains(QPointF(-2.75, 3.5)));
  EXPECT_TRUE(frame.contains(QPointF(-2.75, 6.8)));
  EXPECT_FALSE(frame.contains(QPointF(2.75, 4.1625)));
  // Overlapping places: one frame around both, no line where one place
  // ends inside the other.
  scene.highlight(zcore::box{0, 0, 2, 1}, zcore::box{0.5, 0, 2.5, 1});
  const SceneImage framed(scene);
  int yellow = 0;
  for (double x = 1.9; x < 2.3; x += 0.01)
    yellow += framed.at(x, 0.5) == colours.highlight;
  EXPECT_EQ(yellow, 0);
}

// A legacy module stands in millimetres beside the file KiCad made of it.
TEST(CompareScene, LegacyUnitsBecomeMillimetres) {
  const std::string local = padscope::test::local_testdata_dir();
  const auto legacy = model_of(
      "w.mod", padscope::test::read_file(local + "/w_pth_resistors.mod"));
  const auto pretty = model_of(
      "t.kicad_mod",
      padscope::test::read_file(
          local + "/converted/w_pth_resistors.pretty/trimmer_64w.kicad_mod"));
  ZCompareScene mixed, alone;
  mixed.build_pair(*legacy, *pretty, compared(*legacy, *pretty));
  alone.build_pair(*pretty, *pretty, compared(*pretty, *pretty));
  const QRectF a = mixed.itemsBoundingRect(), b = alone.itemsBoundingRect();
  padscope::test::expect_near(a, b, 0.01);
  EXPECT_EQ(mixed.sceneRect(), a);
}

// A layer's row frames the outline on both sides; a row whose place lies
// out of sight brings it into the view; comparing again starts afresh.
TEST(CompareView, RowsFrameTheirPlacesAndBringThemIntoSight) {
  const std::string name = "DIP-8_W7.62mm.kicad_mod";
  const std::string text =
      padscope::test::read_file(padscope::test::real_file("kicad6/" + name));
  std::string changed = text;
  // Pad 8 moved 1 mm right, the courtyard's right side 0.25 mm out.
  for (const auto& [from, to] :
       {std::pair<std::string, std::string>{"(at 7.62 0)", "(at 8.62 0)"},
        {"(start 8.7 9.15) (end 8.7 -1.55)",
         "(start 8.95 9.15) (end 8.95 -1.55)"}}) {
    const std::size_t at = changed.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    changed.replace(at, from.size(), to);
  }
  CompareView view;
  view.resize(1000, 600);
  view.show();
  view.compare(model_of(name, text), "old", model_of(name, changed), "new");
  EXPECT_TRUE(view.heading().endsWith(": 3 differences"))
      << view.heading().toStdString();
  QTreeWidget* list = view.differences();
  QTreeWidgetItem* layer =
      list->findItems("F.CrtYd:", Qt::MatchStartsWith).value(0);
  QTreeWidgetItem* pad =
      list->findItems("pad 8 moved", Qt::MatchStartsWith).value(0);
  ASSERT_TRUE(layer && pad);
  EXPECT_EQ(layer->childCount(), 2);
  list->setCurrentItem(layer);
  const QRectF outline = view.scene()->highlighted();
  EXPECT_TRUE(outline.contains(QPointF(8.7, 0)));
  EXPECT_TRUE(outline.contains(QPointF(8.95, 9.15)));
  EXPECT_FALSE(outline.contains(QPointF(0, 0)));

  // Zoomed in on the far corner, pad 8 lies out of sight until chosen.
  ZObjCanvas* canvas = view.canvas();
  canvas->scale(20);
  canvas->centre_on(QPointF(0, 9));
  const auto seen = [canvas] {
    return canvas->mapToScene(canvas->viewport()->rect()).boundingRect();
  };
  EXPECT_FALSE(seen().contains(QPointF(8.62, 0)));
  list->setCurrentItem(pad);
  EXPECT_TRUE(seen().contains(view.scene()->highlighted().center()));

  view.compare(model_of(name, text), "a", model_of(name, text), "b");
  EXPECT_TRUE(view.heading().endsWith("identical"));
  EXPECT_EQ(list->topLevelItemCount(), 0);
  EXPECT_TRUE(view.scene()->highlighted().isEmpty());
}

}  // namespace
}  // namespace zwidget::zcvpcb
