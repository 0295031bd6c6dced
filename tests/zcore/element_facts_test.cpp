#include "zcore/element_facts.h"

#include "zcore/legacy_model.h"
#include "zcore/models.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <sstream>

namespace zcore {
namespace {

const char* const kPretty = R"((footprint "X"
  (fp_line (start 0 0) (end 3 4) (stroke (width 0.12) (type solid))
    (layer "F.SilkS"))
  (fp_arc (start 1 0) (mid 0 1) (end -1 0) (stroke (width 0.1))
    (layer "F.Fab"))
  (fp_arc (start 0 0) (end 2 0) (angle 90) (layer F.Fab) (width 0.15))
  (fp_poly (pts (xy 0 0) (xy 2 0) (xy 2 1) (xy 0 1)) (layer "F.Cu"))
  (fp_text user "${REFERENCE}-x" (at 1 2 90) (layer "F.Fab")
    (effects (font (size 1 1.2) (thickness 0.15))))
  (property "Reference" "R1" (at 0 0) (layer "F.SilkS") (hide yes)
    (effects (font (size 1 1))))
  (property "Datasheet" "http://x")
  (zone (layers "F.Cu" "B.Cu") (keepout (tracks not_allowed) (vias allowed))
    (polygon (pts (xy 0 0) (xy 4 0) (xy 4 3))))
  (dimension (type aligned) (layer "Dwgs.User") (pts (xy 0 0) (xy 3 4))
    (height 2) (gr_text "5 mm" (at 0 0) (layer "Dwgs.User")))
  (pad "1" smd rect (at 0 0) (size 1 1) (layers "F.Cu"))
))";

// Tenths of a mil: 1000 is 2.54 mm; angles in tenths of a degree. Texts
// give their height first.
const char* const kLegacy = R"($MODULE M
Po 0 0 0 15 00000000 00000000 ~~
T0 0 -500 600 500 0 120 N V 21 N "U1"
T2 0 500 600 500 900 120 N I 21 N "%R-x"
DS 0 0 1000 0 120 21
DA 0 0 2000 0 4500 150 21
DP 0 0 0 0 3 100 21
Dl 0 0
Dl 1000 0
Dl 1000 1000
$EndMODULE M
)";

template <class Model>
std::unique_ptr<Model> read(const char* text) {
  auto model = std::make_unique<Model>("m");
  std::istringstream in(text);
  model->load(in);
  return model;
}

// Text as it stands, numbers to four decimals joined by a comma.
std::string shown(const fact& f) {
  if (f.type == fact::kind::text || f.type == fact::kind::link) return f.text;
  char text[64];
  if (f.type == fact::kind::count) {
    std::snprintf(text, sizeof text, "%.0f", f.x);
  } else if (f.type == fact::kind::point || f.type == fact::kind::size) {
    std::snprintf(text, sizeof text, "%.4f,%.4f", f.x, f.y);
  } else {
    std::snprintf(text, sizeof text, "%.4f", f.x);
  }
  return text;
}

// `facts` as `expected` reads them: "Label=value;" for each label it names,
// "Label?;" for one missing.
std::string pick(const fact_list& facts, const std::string& expected) {
  std::string result;
  std::istringstream items(expected);
  for (std::string item; std::getline(items, item, ';');) {
    const std::string label = item.substr(0, item.find_first_of("=?"));
    std::string found = label + "?";
    for (const fact& f : facts)
      if (f.label == label) found = label + "=" + shown(f);
    result += found + ";";
  }
  return result;
}

// Each row's facts as its text reads them.
#define EXPECT_FACTS(facts, expected) EXPECT_EQ(pick(facts, expected), expected)

TEST(ElementFacts, GeometryAndTextsOfEachKindFromEitherFormat) {
  const auto pretty = read<S_Model>(kPretty);
  const auto legacy = read<LegacyStringModel>(kLegacy);
  const struct {
    const BaseModel& model;
    std::size_t element;
    std::string expected;
  } rows[] = {
      {*pretty, 1,
       "Kind=Line;Layer=F.SilkS;Width=0.1200;End=3.0000,4.0000;"
       "Length=5.0000;"},
      // Through (0, 1), below the centre: clockwise on screen, y down.
      {*pretty, 2,
       "Mid=0.0000,1.0000;Centre=0.0000,0.0000;Radius=1.0000;"
       "Angle=180.0000;Arc length=3.1416;"},
      // The older form: the centre, where the arc starts, and its sweep.
      {*pretty, 3,
       "Start=2.0000,0.0000;End=0.0000,2.0000;Centre=0.0000,0.0000;"
       "Angle=90.0000;"},
      {*pretty, 4, "Kind=Polygon;Corners=4;Area=2.0000;"},
      {*pretty, 5,
       "Text=${REFERENCE}-x;Shown as=R1-x;Size=1.2000,1.0000;"
       "Thickness=0.1500;Angle=90.0000;Hidden=no;"},
      {*pretty, 6, "Field=Reference;Hidden=yes;Thickness?;"},
      {*pretty, 8,
       "Kind=Keep-out zone;Layers=F.Cu B.Cu;Corners=3;Area=6.0000;"
       "Not allowed=tracks;"},
      {*pretty, 9, "Type=aligned;Distance=5.0000;Height=2.0000;Text=5 mm;"},
      {*legacy, 2,
       "Role=reference;Layer=F.SilkS;Position=0.0000,-1.2700;"
       "Size=1.2700,1.5240;Thickness=0.3048;"},
      {*legacy, 3, "Role=user;Shown as=U1-x;Angle=90.0000;Hidden=yes;"},
      {*legacy, 4, "Kind=Line;Length=2.5400;"},
      // A sweep beyond a turn is cut down by whole turns.
      {*legacy, 5, "Kind=Arc;Radius=5.0800;Angle=90.0000;End=0.0000,5.0800;"},
      {*legacy, 6, "Kind=Polygon;Corners=3;Area=3.2258;"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.expected);
    EXPECT_FACTS(element_facts(row.model, row.element), row.expected);
  }
  // The name, a field without a layer, a pad and what lies past the end
  // tell nothing here; pads have facts of their own.
  for (std::size_t element : {0, 7, 10, 99})
    EXPECT_TRUE(element_facts(*pretty, element).empty()) << element;
}

// A pad shows what its shape and type need and what it sets for itself; a
// plain pad no more than its kind.
TEST(ElementFacts, PadRowsFollowWhatThePadHolds) {
  pad_facts pad;
  pad.number = "A1";
  pad.pin_function = "GND";
  pad.type = "thru_hole";
  pad.shape = "roundrect";
  pad.size = {1.7, 1.0};
  pad.drill = {1.0, 0.6};
  pad.slot = true;
  pad.drill_offset = {0.1, 0};
  pad.layers = {"F.Cu", "B.Cu", "F.Mask"};
  pad.roundrect_ratio = 0.25;
  pad.corner_radius = 0.25;
  pad.zone_connection = 2;
  EXPECT_FACTS(pad_fact_list(pad),
               "Number=A1;Pin function=GND;Pin type?;Slot=1.0000,0.6000;Drill?;"
               "Drill offset=0.1000,0.0000;Layers=F.Cu B.Cu F.Mask;"
               "Corner radius=0.2500;Corner ratio=0.25;Clearance?;"
               "Zone connection=2 (solid);");
  pad = pad_facts();
  pad.shape = "rect";
  pad.drill = {0.8, 0.8};
  EXPECT_FACTS(pad_fact_list(pad),
               "Drill=0.8000;Slot?;Drill offset?;Corner radius?;Primitives?;");

  footprint_facts none;
  none.generation = "legacy";
  EXPECT_FACTS(footprint_fact_list(none),
               "Pads=0;Pitch=\u2014;Courtyard=\u2014;3D models=\u2014;"
               "Datasheet=\u2014;");
  none.datasheet = "https://example.com/a.pdf";
  none.models = {"${KICAD9_3DMODEL_DIR}/Package_SO.3dshapes/SOIC-8.wrl"};
  const fact_list figures = footprint_fact_list(none);
  EXPECT_FACTS(figures,
               "3D models=SOIC-8.wrl;Datasheet=https://example.com/a.pdf;");
  EXPECT_EQ(figures.back().type, fact::kind::link);
}

}  // namespace
}  // namespace zcore
