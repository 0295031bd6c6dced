#include "support/qt_printers.h"
#include "support/test_data.h"
#include "zcore/model_exception.h"
#include "zwidget/zgraph/arc_item.h"
#include "zwidget/zgraph/circle_item.h"
#include "zwidget/zgraph/line_item.h"
#include "zwidget/zgraph/polygon_item.h"
#include "zwidget/zgraph/text_item.h"
#include "zwidget/zviewer/legacy_module_scene_loader.h"
#include "zwidget/zviewer/viewer_test_support.h"

#include <gtest/gtest.h>

#include <sstream>

namespace zwidget::zcvpcb {
namespace {

using namespace zwidget::zgraph;
using test::build_legacy;
using test::Built;

const QColor kSilk(0, 132, 132);  // layer 21

TEST(ZLegacyModuleSceneLoader, DrawsOutlinesThenTextsAndTracesTheRest) {
  const Built built = build_legacy(
      "$MODULE R1\n"
      "T0 0 -600 600 500 0 120 N V 21 N \"R1\"\n"
      "DS -500 0 500 0 120 21\n"
      "$EndMODULE R1\n");
  ASSERT_EQ(built.added.size(), 2u);
  auto* line = dynamic_cast<GraphicsLineItem*>(built.added[0]);
  ASSERT_NE(line, nullptr);
  EXPECT_EQ(line->line(), QLineF(-500, 0, 500, 0));
  EXPECT_DOUBLE_EQ(line->pen().widthF(), 120);
  EXPECT_EQ(line->pen().color(), kSilk);
  EXPECT_EQ(line->pen().capStyle(), Qt::RoundCap);
  EXPECT_EQ(line->pen().joinStyle(), Qt::BevelJoin);
  auto* text = dynamic_cast<GraphicsTextItem*>(built.added[1]);
  ASSERT_NE(text, nullptr);
  EXPECT_TRUE(text->boundingRect().contains(QPointF(0, -600)));
  EXPECT_EQ(built.trace, (std::vector<std::string>{
                             "ZLegacyModuleSceneLoader tag:$MODULE",
                             "ZLegacyModuleSceneLoader tag:T0",
                             "ZLegacyModuleSceneLoader tag:$EndMODULE"}));
}

TEST(ZLegacyModuleSceneLoader, CirclesArcsAndPolygonsInTheFileUnits) {
  const Built built = build_legacy(
      "DC 0 0 0 300 120 21\n"
      "DA 0 0 100 0 900 120 21\n"
      "DA 0 0 0 -100 900 120 21 \n"  // a trailing blank, as old files have
      "DA 10 10 0 10 -450 50 25\n"
      "DP 0 0 0 0 3 80 21\n"
      "Dl 0 0\n"
      "Dl 100 0\n"
      "Dl 100 50\n");
  ASSERT_EQ(built.added.size(), 5u);
  auto* circle = dynamic_cast<GraphicsCircleItem*>(built.added[0]);
  ASSERT_NE(circle, nullptr);
  EXPECT_EQ(circle->rect(), QRectF(-300, -300, 600, 600));

  const struct {
    QRectF rect;
    int start, span;  // sixteenths of a degree; the file has tenths
  } arcs[] = {{{-100, -100, 200, 200}, 0, -90 * 16},
              {{-100, -100, 200, 200}, 90 * 16, -90 * 16},
              {{0, 0, 20, 20}, -180 * 16, 45 * 16}};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    auto* arc = dynamic_cast<GraphicsArcItem*>(built.added[1 + i]);
    ASSERT_NE(arc, nullptr);
    EXPECT_EQ(arc->rect(), arcs[i].rect);
    EXPECT_EQ(arc->startAngle(), arcs[i].start);
    EXPECT_EQ(arc->spanAngle(), arcs[i].span);
  }
  EXPECT_EQ(dynamic_cast<GraphicsArcItem*>(built.added[3])->pen().color(),
            QColor(132, 0, 132));  // layer 25

  auto* polygon = dynamic_cast<GraphicsPolygonItem*>(built.added[4]);
  ASSERT_NE(polygon, nullptr);
  EXPECT_EQ(polygon->polygon(), QPolygonF({{0, 0}, {100, 0}, {100, 50}}));
  EXPECT_EQ(polygon->brush().style(), Qt::NoBrush);
  EXPECT_DOUBLE_EQ(polygon->pen().widthF(), 80);
  // The corners are drawn with their polygon, and traced as records.
  EXPECT_EQ(built.trace,
            std::vector<std::string>(3, "ZLegacyModuleSceneLoader tag:Dl"));
}

TEST(ZLegacyModuleSceneLoader, DrawsEveryTextKindHiddenOrTurned) {
  const Built built = build_legacy(
      "T0 0 0 600 600 0 120 N V 21 N \"WIDE-TEXT\"\n"
      "T1 0 600 600 600 0 120 N I 21 I \"10k\"\n"
      "T2 0 0 600 600 900 120 N V 21 N \"WIDE-TEXT\"\n"
      "T0 0 0 600 600 0 120 N V 21 N \"\"\n"
      "T3 0 0 600 600 0 120 N V 20 N \"user\"\n");
  const auto texts = built.all<GraphicsTextItem>();
  ASSERT_EQ(texts.size(), 4u);  // the empty text makes none
  const QRectF level = texts[0]->boundingRect();
  const QRectF turned = texts[2]->boundingRect();
  EXPECT_GT(level.width(), 2 * level.height());
  EXPECT_GT(turned.height(), 2 * turned.width());
  EXPECT_NEAR(turned.height(), level.width(), 1e-6 * level.width());
}

TEST(ZLegacyModuleSceneLoader, AShortRecordAbortsAfterTheEarlierItems) {
  zcore::LegacyStringModel model("module_legacy_parser");
  std::istringstream in(
      "DS 0 0 100 0 10 21\nDC 0 0 0 50 10 21\nDS 0 0 1 1\nDS 0 0 5 5 1 21\n");
  model.load(in);
  ZScene scene;
  bool announced = false;
  QObject::connect(&scene, &ZScene::loaded, [&] { announced = true; });
  test::CoutCapture capture;
  try {
    scene.build(&model, new ZLegacyModuleSceneLoader(&scene, &model.records()));
    FAIL() << "no exception";
  } catch (const zcore::ModelException& e) {
    EXPECT_STREQ(e.what(), "Not enough parameters");
  }
  EXPECT_EQ(scene.items().size(), 2);
  EXPECT_FALSE(announced);
}

// A whole library through the loader, without the canvas: every module on
// top of the others. Counts read from the files with grep; trace lines are
// the records (non-blank, non-comment lines) that are not outlines.
struct LegacyFile {
  const char* path;
  int lines, circles, arcs, polygons, texts, corners, traced;
};

void PrintTo(const LegacyFile& f, std::ostream* out) {
  *out << f.path;
}

class LegacyRealFile : public testing::TestWithParam<LegacyFile> {};

TEST_P(LegacyRealFile, HasOneItemPerOutlineAndTextWithTheTextsOnTop) {
  PADSCOPE_REQUIRE_SHARED_TESTDATA();
  const LegacyFile& f = GetParam();
  const Built built = build_legacy(padscope::test::read_file(
      padscope::test::shared_testdata_dir() + "/legacy/" + f.path));
  EXPECT_EQ(built.all<GraphicsLineItem>().size(), std::size_t(f.lines));
  EXPECT_EQ(built.all<GraphicsCircleItem>().size(), std::size_t(f.circles));
  EXPECT_EQ(built.all<GraphicsArcItem>().size(), std::size_t(f.arcs));
  EXPECT_EQ(built.all<GraphicsTextItem>().size(), std::size_t(f.texts));
  const auto polygons = built.all<GraphicsPolygonItem>();
  EXPECT_EQ(polygons.size(), std::size_t(f.polygons));
  int corners = 0;
  for (const auto* polygon : polygons) corners += polygon->polygon().size();
  EXPECT_EQ(corners, f.corners);
  const int total = f.lines + f.circles + f.arcs + f.polygons + f.texts;
  ASSERT_EQ(built.added.size(), std::size_t(total));
  EXPECT_EQ(built.first_text(), std::size_t(total - f.texts));
  EXPECT_EQ(built.trace.size(), std::size_t(f.traced));
}

INSTANTIATE_TEST_SUITE_P(
    Files, LegacyRealFile,
    testing::Values(
        // Texts glued to their flag: N"0201".
        LegacyFile{"standard.mod", 42, 0, 0, 0, 24, 0, 504 - 42},
        // Half of the texts lack the italic flag.
        LegacyFile{"w_pth_resistors.mod", 43, 4, 0, 0, 20, 0, 439 - 47},
        // CRLF; many T2 user texts.
        LegacyFile{"valves.mod", 21, 12, 18, 0, 67, 0, 722 - 51},
        // Texts without a layer; arcs with a trailing blank.
        LegacyFile{"40xx.mod", 1501, 3, 92, 0, 44, 0, 5657 - 1596},
        // 5442 polygons with 27210 corners; one comment line.
        LegacyFile{"Logo.mod", 0, 0, 0, 5442, 4, 27210, 32677 - 1 - 5442}),
    [](const testing::TestParamInfo<LegacyFile>& info) {
      return test::param_name(info.param.path);
    });

}  // namespace
}  // namespace zwidget::zcvpcb
