#include "zcore/footprint_facts.h"

#include "support/model_of.h"
#include "support/test_data.h"
#include "zcore/legacy_model.h"
#include "zcore/models.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>
#include <utility>
#include <vector>

namespace zcore {
namespace {

std::string text_of(double value) {
  std::ostringstream out;
  out.precision(12);
  out << value;
  return out.str();
}

std::string or_dash(const std::optional<double>& value) {
  return value ? text_of(*value) : "-";
}

std::string size_of(const std::optional<dimensions>& d) {
  return d ? text_of(d->width) + "x" + text_of(d->height) : "-";
}

// The footprint's figures on one line.
std::string summary(const footprint_facts& f) {
  std::string text = f.name + "; " + f.generation + " " +
                     std::to_string(f.version) + "; " + kind_name(f.kind) +
                     "; pads " + std::to_string(f.pads.size());
  for (const auto& [type, count] : f.pads_by_type)
    text += " " + type + ":" + std::to_string(count);
  text += "; numbers " + std::to_string(f.distinct_numbers) + "; pitch " +
          or_dash(f.pitch) + "; courtyard " + size_of(f.courtyard) + "; fab " +
          size_of(f.fab) + "; bounds";
  if (f.bounds)
    for (double v : {f.bounds->x0, f.bounds->y0, f.bounds->x1, f.bounds->y1})
      text += " " + text_of(v);
  return text + "; models " + std::to_string(f.models.size());
}

// A pad on one line; the parts a pad lacks are left out.
std::string line_of(const pad_facts& p) {
  const auto pair = [](double a, double b, const char* between) {
    return text_of(a) + between + text_of(b);
  };
  std::string text = '"' + p.number + "\" " + p.type + " " + p.shape + " at " +
                     pair(p.position.x, p.position.y, " ") + " " +
                     text_of(p.rotation) + " size " +
                     pair(p.size.width, p.size.height, "x");
  if (p.drill.width > 0)
    text += " drill " + pair(p.drill.width, p.drill.height, "x") +
            (p.slot ? " slot" : "");
  if (p.drill_offset.x != 0 || p.drill_offset.y != 0)
    text += " offset " + pair(p.drill_offset.x, p.drill_offset.y, " ");
  for (const std::string& layer : p.layers) text += " " + layer;
  if (p.roundrect_ratio > 0)
    text += " round " + pair(p.roundrect_ratio, p.corner_radius, " ");
  if (p.chamfer_ratio > 0) text += " chamfer " + text_of(p.chamfer_ratio);
  for (const std::string& corner : p.chamfered_corners) text += " " + corner;
  if (p.primitives) text += " primitives " + std::to_string(p.primitives);
  if (p.zone_connection) text += " zone " + std::to_string(*p.zone_connection);
  return text;
}

footprint_facts facts_of_text(const std::string& text) {
  return facts_of(*padscope::test::pretty_model(text));
}

struct real_file {
  const char* path;
  const char* summary;
  std::vector<std::pair<std::size_t, const char*>> pads;
};

// Every value below was read off the file by hand; lengths of legacy files
// in tenths of a mil times 0.00254.
TEST(FootprintFacts, RealFilesOfEveryGeneration) {
  const real_file cases[] = {
      {"kicad5/ST_TFBGA-225_13x13mm_Layout15x15_P0.8mm.kicad_mod",
       "ST_TFBGA-225_13x13mm_Layout15x15_P0.8mm; KiCad 5 0; SMD; pads 225 "
       "smd:225; numbers 225; pitch 0.8; courtyard 15x15; fab 13x13; bounds "
       "-7.525 -7.525 7.525 7.525; models 1",
       {{0,
         "\"A1\" smd circle at -5.6 -5.6 0 size 0.4x0.4 F.Cu F.Mask "
         "F.Paste"}}},
      {"kicad6/LQFP-48_7x7mm_P0.5mm.kicad_mod",
       "LQFP-48_7x7mm_P0.5mm; KiCad 6 20211014; SMD; pads 48 smd:48; numbers "
       "48; pitch 0.5; courtyard 10.3x10.3; fab 7x7; bounds -5.175 -5.175 "
       "5.175 5.175; models 1",
       {{12,
         "\"13\" smd roundrect at -2.75 4.1625 0 size 0.3x1.475 F.Cu "
         "F.Paste F.Mask round 0.25 0.075"}}},
      {"kicad6/MountingHole_3mm_Pad.kicad_mod",
       "MountingHole_3mm_Pad; KiCad 6 20211014; through-hole; pads 1 "
       "thru_hole:1; numbers 1; pitch -; courtyard 6.5x6.5; fab -; bounds "
       "-3.275 -3.275 3.275 3.275; models 0",
       {{0,
         "\"1\" thru_hole circle at 0 0 0 size 6x6 drill 3x3 F.Cu B.Cu "
         "F.Mask B.Mask"}}},
      {"kicad6/AMS_OLGA-8_2x3.1mm_P0.8mm.kicad_mod",
       "AMS_OLGA-8_2x3.1mm_P0.8mm; KiCad 6 20211014; SMD; pads 8 smd:8; "
       "numbers 8; pitch 0.8; courtyard 2.5x3.6; fab 2x3.1; bounds -1.275 "
       "-1.825 1.275 1.825; models 1",
       {{0,
         "\"1\" smd chamfered_rect at -0.638 -1.2 0 size 0.575x0.488 F.Cu "
         "F.Paste F.Mask chamfer 0.3625 bottom_right"}}},
      // Four unnumbered paste pads; a ratio of 0.213675 of 1.17 rounds to
      // 0.25 at the nanometre.
      {"kicad7/QFN-32-1EP_4x4mm_P0.4mm_EP2.9x2.9mm.kicad_mod",
       "QFN-32-1EP_4x4mm_P0.4mm_EP2.9x2.9mm; KiCad 7 20221018; SMD; pads 37 "
       "smd:37; numbers 33; pitch 0.4; courtyard 5.2x5.2; fab 4x4; bounds "
       "-2.625 -2.625 2.625 2.625; models 1",
       {{0,
         "\"\" smd roundrect at -0.725 -0.725 0 size 1.17x1.17 F.Paste "
         "round 0.213675 0.25"}}},
      {"kicad8/TYPE-C-SMD_HX-TYPE-C-16PIN.kicad_mod",
       "TYPE-C-SMD_HX-TYPE-C-16PIN; KiCad 8 20240108; mixed; pads 23 "
       "np_thru_hole:2 smd:13 thru_hole:8; numbers 13; pitch 0.5; courtyard "
       "9.5x8.25; fab -; bounds -4.98 -3.2 4.98 5.275; models 1",
       {{0,
         "\"\" np_thru_hole circle at -2.89 -1.3 0 size 0.6x0.6 drill "
         "0.6x0.6 F.Cu B.Cu F.Mask B.Mask"},
        {14,
         "\"S1\" thru_hole oval at -4.33 -1.82 0 size 1.3x2.3 drill "
         "0.5x1.6 slot F.Cu B.Cu F.Mask B.Mask"},
        {18,
         "\"S1\" smd roundrect at 0 2 0 size 5x3 F.Cu F.Paste F.Mask "
         "round 0.1666666667 0.5 zone 2"}}},
      {"kicad8/SOT-89-3_L4.5-W2.5-P1.50-LS4.2-BR.kicad_mod",
       "SOT-89-3_L4.5-W2.5-P1.50-LS4.2-BR; KiCad 8 20240108; mixed; pads 7 "
       "smd:5 thru_hole:2; numbers 3; pitch 1.5; courtyard 2.5x4.5; fab "
       "0.3x0.3; bounds -3.236708 -2.405 2.15 2.405; models 1",
       {{1,
         "\"2\" smd custom at -1.36 0 0 size 0.1x0.1 F.Cu F.Paste F.Mask "
         "primitives 1 zone 2"}}},
      {"kicad9/1x05_P2.54mm.kicad_mod",
       "1x05_P2.54mm; KiCad 9 20241229; through-hole; pads 5 thru_hole:5; "
       "numbers 5; pitch 2.54; courtyard 12.7x2.54; fab 10.668x0.508; bounds "
       "-1.295 -1.295 11.455 1.295; models 1",
       {{1,
         "\"2\" thru_hole circle at 2.54 0 90 size 1.8796x1.8796 drill "
         "1.016x1.016 F.Cu B.Cu F.Mask B.Mask"}}},
      {"kicad10/0402.kicad_mod",
       "0402; KiCad 10 20260206; SMD; pads 2 smd:2; numbers 2; pitch -; "
       "courtyard 1.86x0.94; fab 1x0.5; bounds -0.955 -0.495 0.955 0.495; "
       "models 1",
       {{1,
         "\"2\" smd roundrect at 0.485 0 0 size 0.59x0.64 F.Cu F.Mask "
         "F.Paste round 0.25 0.1475"}}},
      {"legacy/40xx.mod",
       "40xx-DIL08; legacy 0; through-hole; pads 8 thru_hole:8; numbers 8; "
       "pitch 2.54; courtyard -; fab -; bounds -5.1562 -5.1308 5.1562 5.1308; "
       "models 0",
       {{0,
         "\"1\" thru_hole oval at -3.81 3.81 0 size 1.3208x2.6416 drill "
         "0.8128x0.8128 F.Cu B.Cu F.Paste F.SilkS F.Mask"}}},
      {"legacy/divers.mod",
       "2PIN_6mm; legacy 0; through-hole; pads 2 thru_hole:2; numbers 2; "
       "pitch -; courtyard -; fab -; bounds -21.7805 -6.5405 21.7805 6.5405; "
       "models 2",
       {{1,
         "\"2\" thru_hole circle at 14.986 0 0 size 10.16x10.16 drill "
         "6.096x6.096 F.Cu B.Cu F.SilkS B.Mask F.Mask"}}},
  };
  for (const real_file& c : cases) {
    if (!padscope::test::has_real_file(c.path)) continue;
    SCOPED_TRACE(c.path);
    const std::string path = padscope::test::real_file(c.path);
    const footprint_facts facts = facts_of(
        *padscope::test::model_of(path, padscope::test::read_file(path)));
    EXPECT_EQ(summary(facts), c.summary);
    // Whole nanometres, so that a pitch is 0.5 and not 0.49999999999.
    const auto exact = [](double mm) {
      return mm == std::round(mm * 1e6) / 1e6;
    };
    EXPECT_TRUE(!facts.pitch || exact(*facts.pitch));
    for (const pad_facts& pad : facts.pads)
      EXPECT_TRUE(exact(pad.position.x) && exact(pad.position.y));
    for (const auto& [index, line] : c.pads) {
      ASSERT_LT(index, facts.pads.size());
      EXPECT_EQ(line_of(facts.pads[index]), line);
    }
  }
}

TEST(FootprintFacts, TextsAndWhatPadsSetForThemselves) {
  const footprint_facts k8 = facts_of_text(
      "(footprint \"R\" (version 20240108) (descr \"A resistor\") "
      "(tags \"R res\") (property \"Datasheet\" \"https://x.org/r.pdf\") "
      "(model \"a/r.wrl\") (model \"a/r.step\") (attr smd board_only) "
      "(solder_mask_margin 0.2) (pad 1 smd rect (die_length 2) "
      "(solder_paste_margin_ratio -0.1) (clearance 0.15) (pinfunction \"VCC\") "
      "(pintype \"power_in\")))");
  const pad_facts& pad = k8.pads.at(0);
  EXPECT_EQ(pad.pin_function + " " + pad.pin_type, "VCC power_in");
  EXPECT_EQ(pad.die_length, std::optional<double>(2));
  EXPECT_EQ(pad.solder_paste_ratio, std::optional<double>(-0.1));
  EXPECT_EQ(pad.clearance, std::optional<double>(0.15));
  EXPECT_FALSE(pad.solder_mask_margin || pad.solder_paste_margin ||
               pad.zone_connection);
  EXPECT_EQ(k8.description, "A resistor");
  EXPECT_EQ(k8.tags, std::vector<std::string>{"R res"});
  EXPECT_EQ(k8.datasheet, "https://x.org/r.pdf");
  EXPECT_EQ(k8.models, (std::vector<std::string>{"a/r.wrl", "a/r.step"}));
  EXPECT_EQ(k8.kind, footprint_kind::board_only);
  // KiCad's "~" for no datasheet; the description only as a property.
  const footprint_facts k9 = facts_of_text(
      "(footprint \"X\" (version 20241229) (property \"Datasheet\" \"~\") "
      "(property \"Description\" \"From the property\"))");
  EXPECT_EQ(k9.datasheet, "");
  EXPECT_EQ(k9.description, "From the property");
  EXPECT_EQ(k9.kind, footprint_kind::unspecified);
  EXPECT_EQ(generation_of(20250101), "KiCad 10");
  EXPECT_EQ(generation_of(20300101), "newer than KiCad 10");
}

TEST(FootprintFacts, ExtentsOfArcsCurvesAndTurnedPads) {
  const std::pair<const char*, const char*> cases[] = {
      // The upper half circle through its top.
      {"(fp_arc (start -1 0) (mid 0 -1) (end 1 0) (layer F.CrtYd) "
       "(width 0.1))",
       "2x1 -1.05 -1.05 1.05 0.05"},
      // Older arcs: centre, start and a sweep clockwise on screen.
      {"(fp_arc (start 0 0) (end 1 0) (angle 180) (layer F.CrtYd) (width 0))",
       "2x1 -1 0 1 1"},
      {"(fp_arc (start 0 0) (end 1 0) (angle -90) (layer F.CrtYd) (width 0))",
       "1x1 0 -1 1 0"},
      {"(fp_curve (pts (xy 0 0) (xy 0 -2) (xy 2 -2) (xy 2 0)) "
       "(layer F.CrtYd) (width 0))",
       "2x1.5 0 -1.5 2 0"},
      // Copper 2 by 1 beside its hole, turned a quarter counter-clockwise.
      {"(pad 1 thru_hole rect (at 1 0 90) (size 2 1) (drill 0.4 (offset 0.5 "
       "0)) (layers *.Cu))",
       "- 0.5 -1.5 1.5 0.5"},
      {"(pad 1 smd circle (at 0 0 45) (size 1 1) (layers F.Cu))",
       "- -0.5 -0.5 0.5 0.5"},
      {"(pad 1 smd roundrect (at 0 0 45) (size 2 2) (roundrect_rratio 0.5) "
       "(layers F.Cu))",
       "- -1 -1 1 1"},
      {"(pad 1 smd custom (at 1 1) (size 0.5 0.5) (layers F.Cu) (options "
       "(anchor circle)) (primitives (gr_poly (pts (xy 0 0) (xy 2 0) (xy 2 "
       "1)) (width 0.2))))",
       "- 0.75 0.75 3.1 2.1"},
  };
  for (const auto& [element, expected] : cases) {
    SCOPED_TRACE(element);
    const footprint_facts f =
        facts_of_text(std::string("(footprint x ") + element + ")");
    ASSERT_TRUE(f.bounds);
    EXPECT_EQ(size_of(f.courtyard) + " " + text_of(f.bounds->x0) + " " +
                  text_of(f.bounds->y0) + " " + text_of(f.bounds->x1) + " " +
                  text_of(f.bounds->y1),
              expected);
  }
}

pad_facts pad_at(std::string number, double x, double y, double w = 0.3,
                 double h = 1.5, std::string type = "smd") {
  pad_facts pad;
  pad.number = std::move(number);
  pad.type = std::move(type);
  pad.position = {x, y};
  pad.size = {w, h};
  pad.layers = {"F.Cu"};
  return pad;
}

TEST(FootprintFacts, PitchIsExactAndLeavesOutWhatIsNoRow) {
  // A 32 by 32 ball grid at 0.8, listed out of order, numbers all apart.
  std::vector<pad_facts> grid;
  for (int i = 0; i < 1024; ++i) {
    const int k = (i * 37) % 1024;
    grid.push_back(pad_at(std::to_string(k), -12.4 + 0.8 * (k % 32),
                          -12.4 + 0.8 * (k / 32), 0.4, 0.4));
  }
  ASSERT_TRUE(pitch_of(grid));
  EXPECT_EQ(*pitch_of(grid), 0.8);

  // Thermal vias sharing the pad's number, paste openings and non-plated
  // holes at 0.3 are no row; the leads at 0.65 are.
  std::vector<pad_facts> leads;
  for (int i = 0; i < 4; ++i) {
    leads.push_back(pad_at(std::to_string(i + 1), 0.65 * i, 2));
    leads.push_back(pad_at("9", 0.3 * i, 0, 0.3, 0.3, "thru_hole"));
    leads.push_back(pad_at(std::to_string(i + 1), 0.3 * i, 0.5, 0.2, 0.2));
    leads.back().layers = {"F.Paste"};
    leads.push_back(pad_at("M", 0.3 * i, 1, 0.2, 0.2, "np_thru_hole"));
  }
  EXPECT_EQ(pitch_of(leads), std::optional<double>(0.65));

  // Two pads, and pads of different sizes or rows, repeat nothing.
  EXPECT_FALSE(pitch_of({pad_at("1", -1, 0), pad_at("2", 1, 0)}));
  EXPECT_FALSE(pitch_of({pad_at("1", 0, 0), pad_at("2", 1, 0),
                         pad_at("3", 2, 0, 0.5), pad_at("4", 3, 1)}));
  // A position no double holds to the nanometre takes no part.
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(pitch_of({pad_at("1", 0, 0), pad_at("2", 1, 0), pad_at("3", 2, 0),
                      pad_at("4", nan, 0), pad_at("5", 1e300, 0)}),
            std::optional<double>(1));
}

}  // namespace
}  // namespace zcore
