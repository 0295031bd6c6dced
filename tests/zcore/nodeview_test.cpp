#include "zcore/nodeview.h"

#include "zcore/models.h"
#include "zcore/text_variables.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <ostream>
#include <sstream>

namespace zcore {
namespace {

std::ostream& operator<<(std::ostream& out, const point& p) {
  return out << '(' << p.x << ", " << p.y << ')';
}
std::ostream& operator<<(std::ostream& out, const placement& p) {
  return out << p.pos << ' ' << p.angle;
}
std::ostream& operator<<(std::ostream& out, const font_info& f) {
  return out << f.size << ' ' << f.thickness << (f.italic ? " italic" : "");
}
std::ostream& operator<<(std::ostream& out, const text_effects& e) {
  const char* const across[] = {"left", "centre", "right"};
  const char* const down[] = {"top", "centre", "bottom"};
  out << e.size << " thickness " << e.thickness
      << (e.has_thickness ? " given" : "") << " spacing " << e.line_spacing
      << ' ' << across[e.horizontal + 1] << ' ' << down[e.vertical + 1];
  for (const auto& [set, name] : {std::pair{e.bold, "bold"},
                                  {e.italic, "italic"},
                                  {e.mirror, "mirror"},
                                  {e.knockout, "knockout"},
                                  {e.hidden, "hidden"}})
    if (set) out << ' ' << name;
  return out << (e.face.empty() ? "" : " face ") << e.face;
}
std::ostream& operator<<(std::ostream& out, const basenode* node) {
  return out << node->name;
}
template <class T>
std::ostream& operator<<(std::ostream& out, const std::vector<T>& values) {
  out << '[';
  for (std::size_t i = 0; i < values.size(); ++i)
    out << (i ? ", " : "") << values[i];
  return out << ']';
}

// The answers of several accessors as one line of text.
template <class... T>
std::string show(const T&... values) {
  std::ostringstream out;
  out << std::boolalpha;
  const char* separator = "";
  ((out << separator << values, separator = ", "), ...);
  return out.str();
}

using Ask = std::string (*)(const nodeview&);
#define ASK(...) [](const nodeview& v) { return show(__VA_ARGS__); }
#define RESOLVE(text) ASK(footprint_variables(v.node()).resolve(text))

std::string drill(const nodeview& v) {
  return show(v.drill(), v.is_oval_drill(), v.drill_size(), v.drill_offset());
}
std::string pad_shape(const nodeview& v) {
  return show(v.roundrect_rratio(), v.chamfer_ratio(), v.chamfer_corners(),
              v.anchor(), v.primitives());
}

std::string answer(const std::string& text, Ask ask) {
  std::istringstream in(text);
  S_Model model("module_parser");
  model.load(in);
  return ask(nodeview(model.root()));
}

const char* const kNewPad =
    "(pad 1 smd custom (at 0 0) (size 1 1) (roundrect_rratio 0.1)"
    " (chamfer_ratio 0.33) (chamfer top_left bottom_right)"
    " (options (clearance outline) (anchor circle))"
    " (primitives (gr_line (start 0 0) (end 1 0)) stray (gr_circle (width "
    "0))))";
const char* const kGraphic =
    "(fp_poly (pts (xy 0 0) (xy 1 0) (xy 1 1)) (width 0.15) (start 1 2)"
    " (end 3) (center 5 6) (angle -90) (fill solid))";

TEST(Nodeview, AnswersEachAccessorFamily) {
  const struct {
    const char* snippet;
    Ask ask;
    const char* expected;
  } cases[] = {
      {"(pad (drill 1.0 (offset 0.2 0)))", drill, "1, false, (1, 1), (0.2, 0)"},
      {"(pad (drill oval 1.2 0.8))", drill, "0, true, (1.2, 0.8), (0, 0)"},
      // An offset beside the drill is not the drill's.
      {"(pad (drill 0.8) (offset 5 5))", drill,
       "0.8, false, (0.8, 0.8), (0, 0)"},
      // Effects in every generation's spelling; the size is height first.
      {"(fp_text user hide (at 0 0 unlocked) (effects (font (size 1 2) bold"
       " (line_spacing 1.5)) (justify right top mirror)))",
       ASK(v.effects(), v.unlocked(), v.font()),
       "(2, 1) thickness 0 spacing 1.5 right top bold mirror, true, (1, 2) 0"},
      {"(property K V (unlocked yes) (layer F.Cu knockout) (hide no) (effects"
       " (font (face Arial) (italic no) (thickness 0.1)) (justify bottom)))",
       ASK(v.effects(), v.unlocked()),
       "(0, 0) thickness 0.1 given spacing 1 centre bottom knockout face "
       "Arial, "
       "true"},
      {"(m (tags \"R res\") (layer))",
       ASK(v.tags(), v.layer(), v.child_text("layer", "x"),
           v.child_text("nope", "fallback")),
       "[R res], , , fallback"},
      {kGraphic,
       ASK(v.pts(), v.width(), v.line().start, v.line().end, v.center(),
           v.angle(), v.fill(), v.has_mid()),
       "[(0, 0), (1, 0), (1, 1)], 0.15, (1, 2), (3, 0), (5, 6), -90, solid, "
       "false"},
      {kNewPad, pad_shape,
       "0.1, 0.33, [top_left, bottom_right], circle, [gr_line, gr_circle]"},
      // A ratio of 0 is kept; an empty one and an empty anchor default.
      {"(pad (roundrect_rratio 0) (options (anchor)))", pad_shape,
       "0, 0, [], rect, []"},
      {"(pad (roundrect_rratio))", ASK(v.roundrect_rratio()), "0.25"},
      {"(a (at) (size) (pts) (effects))",
       ASK(v.at(), v.size(), v.pts(), v.font()),
       "(0, 0) 0, (0, 0), [], (0, 0) 0"},
      // Text variables; the loader tests cover ${REFERENCE}, ${VALUE}, %R/%V.
      {"(footprint \"R_0805\" (version 20240108) (layer \"F.Cu\")"
       " (property \"PROD_ID\" \"X-1\"))",
       RESOLVE(
           "${PROD_ID} of ${FOOTPRINT_NAME} on ${LAYER}: ${NOPE} %R 100% ${X"),
       "X-1 of R_0805 on F.Cu: ${NOPE} %R 100% ${X"},
      {"(module R (fp_text reference R1) (property Sheet \"a b\"))",
       RESOLVE("%R%V ${Sheet}$}{${}"), "R1%V a b$}{${}"},
      {"(footprint X (version 20211014) (fp_text reference U1))", RESOLVE("%R"),
       "U1"},
      // "()" reads as a null node.
      {"()",
       ASK(v.first_text(), v.layer(), v.tags(), v.locked(), v.hide(), v.at(),
           v.font(), v.pts(), v.has_mid(), v.width(), drill(v), pad_shape(v)),
       ", , [], false, false, (0, 0) 0, (0, 0) 0, [], false, 0, 0, false, "
       "(0, 0), (0, 0), 0.25, 0, [], rect, []"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.snippet);
    EXPECT_EQ(answer(c.snippet, c.ask), c.expected);
  }
}

// Expansion ends at its bound, and a text of many "${" without a "}" takes
// linear time (every "${" looked for its "}" to the text's end).
TEST(TextVariables, ExpandWithinABoundInLinearTime) {
  text_variables variables;
  variables.set("BIG", std::string(64, 'B'));
  std::string names;
  for (int i = 0; i < 100; ++i) names += "${BIG}";
  EXPECT_EQ(variables.resolve_within(names, 6400), std::string(6400, 'B'));
  EXPECT_EQ(variables.resolve_within(names, 6399), std::nullopt);
  std::string opens;
  for (int i = 0; i < (1 << 20); ++i) opens += "${";
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(variables.resolve(opens), opens);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

}  // namespace
}  // namespace zcore
