#include "zcore/nodeview.h"

#include "zcore/models.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>

namespace zcore {
namespace {

// Keeps the model alive beside the view over its root.
struct view_of {
  explicit view_of(const std::string& text) : model("module_parser") {
    std::istringstream in(text);
    model.load(in);
  }
  nodeview view() const { return nodeview(model.root()); }

  S_Model model;
};

void expect_point(const point& p, double x, double y) {
  EXPECT_DOUBLE_EQ(p.x, x);
  EXPECT_DOUBLE_EQ(p.y, y);
}

TEST(Nodeview, ReadsAPad) {
  const view_of pad(
      "(pad 1 smd rect (at 1.5 -2 90) (size 1.2 0.8) (rect_delta 0 0.3)"
      " (layers F.Cu F.Paste F.Mask))");
  const nodeview v = pad.view();
  EXPECT_EQ(v.first_text(), "1");
  EXPECT_EQ(v.second_text(), "smd");
  EXPECT_EQ(v.third_text(), "rect");
  expect_point(v.at().pos, 1.5, -2);
  EXPECT_EQ(v.at().angle, 90);
  expect_point(v.size(), 1.2, 0.8);
  expect_point(v.rect_delta(), 0, 0.3);
  expect_point(v.drill_size(), 0, 0);
  EXPECT_FALSE(v.is_oval_drill());

  const view_of short_model("(pad 1 smd)");
  EXPECT_EQ(short_model.view().third_text(), "");
  expect_point(short_model.view().at().pos, 0, 0);
  const view_of at_model("(pad 1 (at 3 4))");
  expect_point(at_model.view().at().pos, 3, 4);
  EXPECT_EQ(at_model.view().at().angle, 0);
}

TEST(Nodeview, ReadsDrills) {
  const struct {
    const char* pad;
    bool oval;
    double drill, size_x, size_y, offset_x, offset_y;
  } cases[] = {
      {"(pad 1 (drill 1.0 (offset 0.2 0)))", false, 1, 1, 1, 0.2, 0},
      {"(pad 1 (drill oval 1.2 0.8 (offset 0 -0.1)))", true, 0, 1.2, 0.8, 0,
       -0.1},
      {"(pad 1 (drill oval 1.2))", true, 0, 1.2, 0, 0, 0},
      {"(pad 1 (drill))", false, 0, 0, 0, 0, 0},
      {"(pad 1 (drill 0.8) (offset 5 5))", false, 0.8, 0.8, 0.8, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pad);
    const view_of pad(c.pad);
    const nodeview v = pad.view();
    EXPECT_EQ(v.is_oval_drill(), c.oval);
    EXPECT_DOUBLE_EQ(v.drill(), c.drill);
    expect_point(v.drill_size(), c.size_x, c.size_y);
    expect_point(v.drill_offset(), c.offset_x, c.offset_y);
  }
}

TEST(Nodeview, ReadsTextsAndFonts) {
  const view_of text(
      "(fp_text reference R1 (at 0 2) (layer F.SilkS) hide"
      " (effects (font (size 1 1) (thickness 0.15))))");
  EXPECT_EQ(text.view().first_text(), "reference");
  EXPECT_EQ(text.view().second_text(), "R1");
  EXPECT_EQ(text.view().layer(), "F.SilkS");
  EXPECT_TRUE(text.view().hide());
  EXPECT_FALSE(text.view().font().italic);
  EXPECT_DOUBLE_EQ(text.view().font().thickness, 0.15);

  const font_info font =
      view_of(
          "(fp_text user x (effects (font (size 1.5 1) (thickness 0.15)"
          " italic) hide))")
          .view()
          .font();
  expect_point(font.size, 1.5, 1);
  EXPECT_DOUBLE_EQ(font.thickness, 0.15);
  EXPECT_TRUE(font.italic);
  EXPECT_FALSE(view_of("(fp_text user x (effects hide))").view().hide());
  EXPECT_EQ(view_of("(fp_text (effects (font)))").view().font().thickness, 0);
}

TEST(Nodeview, ReadsModuleAttributes) {
  const view_of module(
      "(module X locked (layer F.Cu) (descr \"A b\") (tags a b) (attr smd)"
      " (tedit 5A1B) (tstamp 0F) (autoplace_cost90 3) (autoplace_cost180 4)"
      " (clearance 0.1) (solder_mask_margin 0.2) (solder_paste_margin -0.3)"
      " (solder_paste_ratio -0.4) (thermal_width 0.5) (thermal_gap 0.6)"
      " (zone_connect 2) (layer B.Cu))");
  const nodeview v = module.view();
  EXPECT_EQ(v.first_text(), "X");
  EXPECT_TRUE(v.locked());
  EXPECT_FALSE(v.placed());
  EXPECT_EQ(v.layer(), "B.Cu");  // the last of two
  EXPECT_EQ(v.descr(), "A b");
  EXPECT_EQ(v.tags(), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(v.attr(), "smd");
  EXPECT_EQ(v.tedit(), "5A1B");
  EXPECT_EQ(v.tstamp(), "0F");
  const double numbers[] = {
      v.autoplace_cost90(),   v.autoplace_cost180(),   v.clearance(),
      v.solder_mask_margin(), v.solder_paste_margin(), v.solder_paste_ratio(),
      v.thermal_width(),      v.thermal_gap(),         v.zone_connect()};
  const double expected[] = {3, 4, 0.1, 0.2, -0.3, -0.4, 0.5, 0.6, 2};
  for (int i = 0; i < 9; ++i) EXPECT_DOUBLE_EQ(numbers[i], expected[i]) << i;
  EXPECT_EQ(view_of("(m (tags \"R res\"))").view().tags(),
            std::vector<std::string>{"R res"});
  EXPECT_EQ(v.child_text("nope", "fallback"), "fallback");
}

TEST(Nodeview, ReadsGraphics) {
  const view_of poly(
      "(fp_poly (pts (xy 0 0) (xy 1 0) (xy 1 1)) (layer F.SilkS)"
      " (width 0.15) (start 1 2) (end 3) (center 5 6) (angle -90))");
  const nodeview v = poly.view();
  const std::vector<point> pts = v.pts();
  ASSERT_EQ(pts.size(), 3u);
  expect_point(pts[1], 1, 0);
  expect_point(pts[2], 1, 1);
  EXPECT_DOUBLE_EQ(v.width(), 0.15);
  expect_point(v.line().start, 1, 2);
  expect_point(v.line().end, 3, 0);
  expect_point(v.center(), 5, 6);
  EXPECT_DOUBLE_EQ(v.angle(), -90);
  EXPECT_EQ(view_of("(fp_line (width abc))").view().width(), 0);
}

TEST(Nodeview, MissingPartsAndANullNodeGiveDefaults) {
  EXPECT_EQ(nodeview(nullptr).first_text(), "");
  EXPECT_EQ(nodeview(nullptr).node(), nullptr);
  const view_of bare("(fp_line)");
  const view_of empty_children("(a (at) (size) (pts) (tags) (effects))");
  for (const nodeview& v :
       {nodeview(nullptr), bare.view(), empty_children.view()}) {
    EXPECT_EQ(v.layer(), "");
    EXPECT_TRUE(v.tags().empty());
    EXPECT_TRUE(v.pts().empty());
    EXPECT_EQ(v.width(), 0);
    expect_point(v.at().pos, 0, 0);
    expect_point(v.size(), 0, 0);
    expect_point(v.drill_offset(), 0, 0);
    EXPECT_EQ(v.font().size.x, 0);
    EXPECT_FALSE(v.hide());
  }
}

}  // namespace
}  // namespace zcore
