#include "zcore/footprint_compare.h"

#include "support/model_of.h"
#include "support/test_data.h"
#include "zcore/footprint_format.h"
#include "zcore/models.h"
#include "zcore/nodeview.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace zcore {
namespace {

using padscope::test::model_of;

footprint_contents contents(const std::string& name, const std::string& text) {
  return contents_of(*model_of(name, text));
}

footprint_contents contents_of_file(const std::string& path) {
  return contents(path, padscope::test::read_file(path));
}

// The summaries of the layers, then of every difference.
std::vector<std::string> lines_of(const footprint_comparison& result) {
  std::vector<std::string> lines;
  for (const layer_change& layer : result.layers)
    lines.push_back(layer.summary);
  for (const difference& d : result.differences) lines.push_back(d.summary);
  return lines;
}

// `from` replaced by `to` on the lines that hold `on` (every line for an
// empty one), at least once.
struct edit {
  const char* from;
  const char* to;
  const char* on = "";
};

std::string edited(const std::string& text, const std::vector<edit>& edits) {
  std::istringstream in(text);
  std::string result, line;
  int done = 0;
  while (std::getline(in, line)) {
    for (const edit& e : edits) {
      if (line.find(e.on) == std::string::npos) continue;
      for (std::size_t at = line.find(e.from); at != std::string::npos;
           at = line.find(e.from, at + std::string(e.to).size())) {
        line.replace(at, std::string(e.from).size(), e.to);
        ++done;
      }
    }
    result += line + '\n';
  }
  EXPECT_GT(done, 0) << "no edit applied";
  return result;
}

struct one_edit {
  const char* name;
  const char* file;
  std::vector<edit> edits;
  std::vector<std::string> expected;
};

// A real file against itself with one edit: exactly the difference made.
TEST(FootprintCompare, OneEditGivesExactlyItsDifference) {
  const char* lqfp = "kicad6/LQFP-48_7x7mm_P0.5mm.kicad_mod";
  const char* dip = "kicad6/DIP-8_W7.62mm.kicad_mod";
  const char* pad13 = "(pad \"13\"";
  const one_edit cases[] = {
      {"identical", lqfp, {}, {}},
      {"pad removed", lqfp, {{pad13, "(removed"}}, {"pad 13 removed"}},
      {"drill changed",
       dip,
       {{"(drill 0.8)", "(drill 1)", "(pad \"1\""}},
       {"pad 1 drill 0.8 -> 1"}},
      {"courtyard grown",
       dip,
       {{"-1.1 ", "-1.35 ", "F.CrtYd"},
        {"-1.55)", "-1.8)", "F.CrtYd"},
        {"8.7 ", "8.95 ", "F.CrtYd"},
        {"9.15)", "9.4)", "F.CrtYd"}},
       {"F.CrtYd: outline grew 0.25 mm on each side (4 lines removed, 4 "
        "lines added)",
        "F.CrtYd: line (-1.1, -1.55) to (-1.1, 9.15) width 0.05 removed",
        "F.CrtYd: line (8.7, 9.15) to (8.7, -1.55) width 0.05 removed",
        "F.CrtYd: line (-1.1, 9.15) to (8.7, 9.15) width 0.05 removed",
        "F.CrtYd: line (8.7, -1.55) to (-1.1, -1.55) width 0.05 removed",
        "F.CrtYd: line (-1.35, -1.8) to (-1.35, 9.4) width 0.05 added",
        "F.CrtYd: line (8.95, 9.4) to (8.95, -1.8) width 0.05 added",
        "F.CrtYd: line (-1.35, 9.4) to (8.95, 9.4) width 0.05 added",
        "F.CrtYd: line (8.95, -1.8) to (-1.35, -1.8) width 0.05 added"}},
      {"text changed",
       lqfp,
       {{"\"${REFERENCE}\"", "\"${VALUE}\""}},
       {"text \"${REFERENCE}\" on F.Fab text \"${REFERENCE}\" -> "
        "\"${VALUE}\""}},
      {"layers changed",
       lqfp,
       {{" \"F.Paste\"", "", pad13}},
       {"pad 13 layers F.Cu F.Mask F.Paste -> F.Cu F.Mask"}},
      {"rotated 90 degrees",
       lqfp,
       {{"(at -2.75 4.1625)", "(at -2.75 4.1625 90)"}},
       {"pad 13 rotated 0 -> 90 degrees"}},
      // Turned half a turn, the pad covers the same copper.
      {"rotated 180 degrees",
       lqfp,
       {{"(at -2.75 4.1625)", "(at -2.75 4.1625 180)"}},
       {}},
      {"moved less than the tolerance",
       lqfp,
       {{"(at -2.75 4.1625)", "(at -2.7505 4.1625)"}},
       {}},
  };
  for (const one_edit& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = padscope::test::real_file(c.file);
    const std::string text = padscope::test::read_file(path);
    const std::string changed = c.edits.empty() ? text : edited(text, c.edits);
    const footprint_comparison result =
        compare_footprints(contents(path, text), contents(path, changed));
    EXPECT_EQ(lines_of(result), c.expected);
    EXPECT_EQ(result.same(), c.expected.empty());
  }
}

// A pad moved 0.1 mm.
TEST(FootprintCompare, DifferencesSayWhereAndWhichElements) {
  const std::string path =
      padscope::test::real_file("kicad6/LQFP-48_7x7mm_P0.5mm.kicad_mod");
  const std::string text = padscope::test::read_file(path);
  const footprint_comparison result = compare_footprints(
      contents(path, text),
      contents(path,
               edited(text, {{"(at -2.75 4.1625)", "(at -2.65 4.1625)"}})));
  EXPECT_EQ(lines_of(result),
            std::vector<std::string>{"pad 13 moved (0.1, 0) mm"});
  ASSERT_EQ(result.differences.size(), 1u);
  const difference& d = result.differences[0];
  EXPECT_EQ(d.subject, "pad");
  EXPECT_EQ(d.name, "13");
  EXPECT_EQ(d.change, "moved");
  EXPECT_EQ(d.old_value, "(-2.75, 4.1625)");
  EXPECT_EQ(d.new_value, "(-2.65, 4.1625)");
  ASSERT_TRUE(d.old_where && d.new_where);
  EXPECT_NEAR(d.old_where->x0, -2.9, 1e-9);
  EXPECT_NEAR(d.new_where->x1, -2.5, 1e-9);
  EXPECT_NEAR(d.new_where->y1, 4.1625 + 1.475 / 2, 1e-9);
  // The pad's own list among the footprint's; the sides share the others.
  ASSERT_EQ(d.old_sources.size(), 1u);
  EXPECT_EQ(d.old_sources, d.new_sources);
  const std::shared_ptr<BaseModel> model = model_of(path, text);
  const basenode* root = static_cast<const S_Model&>(*model).root();
  EXPECT_EQ(first_text(root->children[d.old_sources[0]]), "13");
  EXPECT_EQ(result.old_changed, std::set<std::size_t>{d.old_sources[0]});
  EXPECT_EQ(result.new_changed, result.old_changed);
}

struct text_pair {
  std::string name;
  std::string before;
  std::string after;
  std::vector<std::string> expected;
};

std::string footprint(const std::string& body) {
  return "(footprint \"F\" (version 20211014) (layer \"F.Cu\") " + body + ")";
}

// How one footprint may be written in several ways, and what differs.
TEST(FootprintCompare, SpellingsMatchAndChangesShow) {
  const std::string ep = "(pad \"EP\" smd rect (size 1 1) (layers F.Cu) ";
  const text_pair cases[] = {
      {"pads of one number by nearest place",
       ep + "(at 0 0)) " + ep + "(at 2 0))",
       ep + "(at 2 0)) " + ep + "(at 0.1 0))",
       {"pad EP moved (0.1, 0) mm"}},
      {"pads of one number and place on both sides",
       ep + "(at 0 0)) (pad \"EP\" smd rect (size 1 1) (layers B.Cu) (at 0 0))",
       "(pad \"EP\" smd circle (size 1 1) (layers B.Cu) (at 0 0)) (pad \"EP\" "
       "smd circle (size 1 1) (layers F.Cu) (at 0 0))",
       {"pad EP reshaped rect -> circle", "pad EP reshaped rect -> circle"}},
      {"pads added, with a number and without",
       "",
       ep + "(at 1 0)) (pad \"\" smd rect (size 1 1) (layers F.Cu) (at 0 2))",
       {"unnumbered pad at (0, 2) added", "pad EP added at (1, 0)"}},
      {"a rectangle as four lines, one side in two pieces, backwards",
       "(fp_rect (start 0 0) (end 2 1) (layer F.SilkS) (width 0.1))",
       "(fp_line (start 0 0) (end 1 0) (layer F.SilkS) (width 0.1)) "
       "(fp_line (start 2 0) (end 1 0) (layer F.SilkS) (width 0.1)) "
       "(fp_line (start 2 1) (end 2 0) (layer F.SilkS) (width 0.1)) "
       "(fp_line (start 2 1) (end 0 1) (layer F.SilkS) (width 0.1)) "
       "(fp_line (start 0 0) (end 0 1) (layer F.SilkS) (width 0.1))",
       {}},
      {"a thinner line",
       "(fp_line (start 0 0) (end 1 0) (layer F.SilkS) (width 0.12))",
       "(fp_line (start 0 0) (end 1 0) (layer F.SilkS) (width 0.1))",
       {"F.SilkS: width 0.12 -> 0.1 mm on 1 shape",
        "F.SilkS: line (0, 0) to (1, 0) width 0.12 -> line (0, 0) to (1, 0) "
        "width 0.1"}},
      {"fields and attributes",
       "(descr \"old\") (attr smd)",
       "(descr \"new\") (attr through_hole exclude_from_bom)",
       {"field Description \"old\" -> \"new\"",
        "attribute exclude_from_bom none -> \"yes\"",
        "attribute type \"smd\" -> \"through_hole\""}},
      {"a reference on another layer",
       "(fp_text reference \"U\" (at 0 0) (layer F.SilkS))",
       "(fp_text reference \"U\" (at 0 0) (layer F.Fab))",
       {"text reference layer F.SilkS -> F.Fab"}},
  };
  for (const text_pair& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string before = footprint(c.before), after = footprint(c.after);
    EXPECT_EQ(lines_of(compare_footprints(contents("a.kicad_mod", before),
                                          contents("b.kicad_mod", after))),
              c.expected);
  }
  // Tenths of a mil and millimetres.
  const auto module = [](const char* units, const char* text,
                         const char* line) {
    return std::string("PCBNEW-LibModule-V1\n") + units +
           "$MODULE M\nPo 0 0 0 15 0 0 ~~\nT0 " + text +
           " N V 21 N \"U\"\nDS " + line + " 21\n$EndMODULE M\n";
  };
  const std::string mils = module("", "0 0 600 600 0 120", "0 0 1000 0 100");
  const std::string mm =
      module("Units mm\n", "0 0 1.524 1.524 0 0.3048", "0 0 2.54 0 0.254");
  const footprint_contents in_mils = contents("a.mod", mils);
  EXPECT_EQ(in_mils.graphics.size(), 1u);
  EXPECT_TRUE(compare_footprints(in_mils, contents("b.mod", mm)).same());
}

// KiCad 9 read these files of older formats and wrote them anew: the
// footprints are the same, whatever the spelling. (A legacy library against
// its conversion is LibraryDiff's.)
TEST(FootprintCompare, KiCadsOwnConversionsAreTheSame) {
  for (const std::string name : {"SOT23-5", "Relay_SPDT_RAYEX-L90"}) {
    SCOPED_TRACE(name);
    const footprint_contents before = contents_of_file(
        padscope::test::real_file("kicad5/" + name + ".kicad_mod"));
    const footprint_contents after = contents_of_file(
        padscope::test::local("converted/" + name + ".kicad_mod"));
    EXPECT_FALSE(before.facts.pads.empty() && before.graphics.empty());
    EXPECT_EQ(lines_of(compare_footprints(before, after)),
              std::vector<std::string>());
  }
}

}  // namespace
}  // namespace zcore
