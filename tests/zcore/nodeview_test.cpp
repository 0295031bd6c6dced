#include "zcore/nodeview.h"

#include "zcore/models.h"

#include <gtest/gtest.h>

#include <sstream>
#include <type_traits>

namespace zcore {
namespace {

// What to ask a view, as a number (flags as 0 or 1) or as text.
#define NUMBER(expr) [](const nodeview& v) { return static_cast<double>(expr); }
#define TEXT(expr) [](const nodeview& v) { return std::string(expr); }

struct number_case {
  const char* snippet;
  double (*ask)(const nodeview&);
  double expected;
};

struct text_case {
  const char* snippet;
  std::string (*ask)(const nodeview&);
  std::string expected;
};

const char* const kPad =
    "(pad 1 smd rect (at 1.5 -2 90) (size 1.2 0.8) (rect_delta 0 0.3)"
    " (layers F.Cu F.Paste F.Mask))";
const char* const kText =
    "(fp_text reference R1 (at 0 2) (layer F.SilkS) hide"
    " (effects (font (size 1.5 1) (thickness 0.15) italic) hide))";
const char* const kModule =
    "(module X locked (layer F.Cu) (descr \"A b\") (tags a b) (attr smd)"
    " (tedit 5A1B) (tstamp 0F) (autoplace_cost90 3) (autoplace_cost180 4)"
    " (clearance 0.1) (solder_mask_margin 0.2) (solder_paste_margin -0.3)"
    " (solder_paste_ratio -0.4) (thermal_width 0.5) (thermal_gap 0.6)"
    " (zone_connect 2) (layer B.Cu))";
const char* const kNewPad =
    "(pad 1 smd custom (at 0 0) (size 1 1) (roundrect_rratio 0.1)"
    " (chamfer_ratio 0.33) (chamfer top_left bottom_right)"
    " (options (clearance outline) (anchor circle))"
    " (primitives (gr_line (start 0 0) (end 1 0)) stray (gr_circle (width "
    "0))))";
const char* const kGraphic =
    "(fp_poly (pts (xy 0 0) (xy 1 0) (xy 1 1)) (width 0.15) (start 1 2)"
    " (end 3) (center 5 6) (angle -90))";

template <class Answer, class Case>
void check(const Case& c) {
  SCOPED_TRACE(c.snippet);
  std::istringstream in(c.snippet);
  S_Model model("module_parser");
  model.load(in);
  const Answer answer = c.ask(nodeview(model.root()));
  if constexpr (std::is_same_v<Answer, double>) {
    EXPECT_DOUBLE_EQ(answer, c.expected);
  } else {
    EXPECT_EQ(answer, c.expected);
  }
}

TEST(Nodeview, AnswersNumbers) {
  const number_case cases[] = {
      {kPad, NUMBER(v.at().pos.x), 1.5},
      {kPad, NUMBER(v.at().pos.y), -2},
      {kPad, NUMBER(v.at().angle), 90},
      {"(pad 1 (at 3 4))", NUMBER(v.at().angle), 0},
      {kPad, NUMBER(v.size().x), 1.2},
      {kPad, NUMBER(v.rect_delta().y), 0.3},
      {kPad, NUMBER(v.drill_size().x + v.drill_size().y), 0},
      {kPad, NUMBER(v.is_oval_drill()), 0},
      {"(pad (drill 1.0 (offset 0.2 0)))", NUMBER(v.drill_offset().x), 0.2},
      {"(pad (drill 1.0 (offset 0.2 0)))", NUMBER(v.drill_size().y), 1},
      {"(pad (drill oval 1.2 0.8))", NUMBER(v.drill_size().y), 0.8},
      {"(pad (drill oval 1.2))", NUMBER(v.drill_size().x), 1.2},
      {"(pad (drill oval 1.2))", NUMBER(v.drill_size().y), 0},
      {"(pad (drill oval 1.2))", NUMBER(v.drill()), 0},
      {"(pad (drill))", NUMBER(v.is_oval_drill()), 0},
      {"(pad (drill 0.8) (offset 5 5))", NUMBER(v.drill_offset().x), 0},
      {kText, NUMBER(v.hide()), 1},
      {kText, NUMBER(v.font().size.x), 1.5},
      {kText, NUMBER(v.font().thickness), 0.15},
      {kText, NUMBER(v.font().italic), 1},
      {"(fp_text (effects (font) hide))", NUMBER(v.font().thickness), 0},
      {"(fp_text (effects (font) hide))", NUMBER(v.hide()), 0},
      {kModule, NUMBER(v.locked()), 1},
      {kModule, NUMBER(v.placed()), 0},
      {kModule, NUMBER(v.autoplace_cost90()), 3},
      {kModule, NUMBER(v.autoplace_cost180()), 4},
      {kModule, NUMBER(v.clearance()), 0.1},
      {kModule, NUMBER(v.solder_mask_margin()), 0.2},
      {kModule, NUMBER(v.solder_paste_margin()), -0.3},
      {kModule, NUMBER(v.solder_paste_ratio()), -0.4},
      {kModule, NUMBER(v.thermal_width()), 0.5},
      {kModule, NUMBER(v.thermal_gap()), 0.6},
      {kModule, NUMBER(v.zone_connect()), 2},
      {kGraphic, NUMBER(v.pts().size()), 3},
      {kGraphic, NUMBER(v.pts()[2].y), 1},
      {kGraphic, NUMBER(v.width()), 0.15},
      {kGraphic, NUMBER(v.line().start.y), 2},
      {kGraphic, NUMBER(v.line().end.x + v.line().end.y), 3},
      {kGraphic, NUMBER(v.center().x), 5},
      {kGraphic, NUMBER(v.angle()), -90},
      {"(fp_line (width abc))", NUMBER(v.width()), 0},
      {"(fp_arc (start 0 0) (mid 1 -2) (end 3 4))", NUMBER(v.mid().y), -2},
      {"(fp_arc (start 0 0) (mid 1 -2) (end 3 4))", NUMBER(v.has_mid()), 1},
      {kGraphic, NUMBER(v.has_mid() + v.mid().x), 0},
      {kNewPad, NUMBER(v.roundrect_rratio()), 0.1},
      {"(pad (roundrect_rratio 0))", NUMBER(v.roundrect_rratio()), 0},
      {"(pad (roundrect_rratio))", NUMBER(v.roundrect_rratio()), 0.25},
      {kPad, NUMBER(v.roundrect_rratio()), 0.25},
      {kNewPad, NUMBER(v.chamfer_ratio()), 0.33},
      {kPad, NUMBER(v.chamfer_ratio() + v.chamfer_corners().size()), 0},
      {kNewPad, NUMBER(v.primitives().size()), 2},  // the atom is no drawing
      {kPad, NUMBER(v.primitives().size()), 0},
      {"(a (at) (size) (pts) (effects))", NUMBER(v.at().pos.x), 0},
      {"(a (at) (size) (pts) (effects))", NUMBER(v.pts().size()), 0},
  };
  for (const auto& c : cases) check<double>(c);
}

TEST(Nodeview, AnswersTexts) {
  const text_case cases[] = {
      {kPad, TEXT(v.first_text()), "1"},
      {kPad, TEXT(v.second_text()), "smd"},
      {kPad, TEXT(v.third_text()), "rect"},
      {"(pad 1 smd)", TEXT(v.third_text()), ""},
      {kText, TEXT(v.second_text()), "R1"},
      {kText, TEXT(v.layer()), "F.SilkS"},
      {kModule, TEXT(v.first_text()), "X"},
      {kModule, TEXT(v.layer()), "B.Cu"},  // the last of two
      {kModule, TEXT(v.descr()), "A b"},
      {kModule, TEXT(v.attr()), "smd"},
      {kModule, TEXT(v.tedit()), "5A1B"},
      {kModule, TEXT(v.tstamp()), "0F"},
      {kModule, TEXT(v.tags()[0] + "|" + v.tags()[1]), "a|b"},
      {"(m (tags \"R res\"))", TEXT(v.tags().back()), "R res"},
      {kModule, TEXT(v.child_text("nope", "fallback")), "fallback"},
      {"(m (layer))", TEXT(v.child_text("layer", "fallback")), ""},
      {"(fp_poly (fill solid))", TEXT(v.fill()), "solid"},
      {kGraphic, TEXT(v.fill()), ""},
      {kNewPad, TEXT(v.chamfer_corners()[0] + "|" + v.chamfer_corners()[1]),
       "top_left|bottom_right"},
      {kNewPad, TEXT(v.anchor()), "circle"},
      {kPad, TEXT(v.anchor()), "rect"},
      {"(pad (options (anchor)))", TEXT(v.anchor()), "rect"},
      {kNewPad, TEXT(v.primitives()[1]->name), "gr_circle"},
  };
  for (const auto& c : cases) check<std::string>(c);
}

TEST(Nodeview, ANullNodeGivesDefaults) {
  const nodeview v(nullptr);
  EXPECT_EQ(v.first_text(), "");
  EXPECT_EQ(v.layer(), "");
  EXPECT_TRUE(v.tags().empty() && v.pts().empty());
  EXPECT_EQ(v.at().angle + v.size().x + v.drill_size().x + v.width(), 0);
  EXPECT_FALSE(v.locked() || v.hide() || v.is_oval_drill() || v.font().italic);
  EXPECT_FALSE(v.has_mid());
  EXPECT_EQ(v.roundrect_rratio(), 0.25);
  EXPECT_EQ(v.anchor(), "rect");
  EXPECT_TRUE(v.primitives().empty() && v.chamfer_corners().empty());
}

}  // namespace
}  // namespace zcore
