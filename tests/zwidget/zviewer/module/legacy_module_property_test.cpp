#include "zwidget/zviewer/module/legacy_module_property.h"

#include "support/test_data.h"
#include "zcore/legacy_model.h"
#include "zwidget/zviewer/module/panel_page.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace zwidget::zcvpcb {
namespace {

using padscope::test::has_rows;
using padscope::test::page_browser;

// One module of a library, made into a model as the canvas makes it.
std::shared_ptr<zcore::BaseModel> module_model(std::istream& in,
                                               const std::string& name) {
  zcore::LegacyStringModel library("module_legacy_parser");
  library.load(in);
  for (const zcore::legacy_module& module : library.modules()) {
    if (module.name == name)
      return std::make_shared<zcore::LegacyStringModel>(
          name, library.module_records(module));
  }
  ADD_FAILURE() << "no module " << name;
  return nullptr;
}

TEST(LegacyModuleProperty, ShowsTheModuleRecordsOfRealLibraries) {
  PADSCOPE_REQUIRE_SHARED_TESTDATA();
  // Read by hand from each module's own records. The pads of 0201 carry
  // "Po -103 0", "At SMD N 00888000" and ".LocalClearance 59", which must
  // not show.
  const struct {
    const char *file, *module;
    QStringList rows;
  } cases[] = {
      {"freetronics_kicad_pcb_lib.mod",
       "OMRON_XF2L-3025-1A",
       {"Locked:false", "Placed:false", "Layer:15 (F.Cu, front copper)",
        "Last Edit:51255868", "Position:0, 0",
        "Type:", "Tags:'OMRON''FFC''inline''XF2L'", "Clearance:0.09906 mm"}},
      {"freetronics_kicad_pcb_lib.mod",
       "POWER_JACK_PTH",
       {"Locked:true", "Last Edit:51AFDA8A", "Description:"}},
      {"freetronics_kicad_pcb_lib.mod",
       "HC49-US",
       {"Description:Quartz boitier HC-49 Vertical", "Tags:'QUARTZ''DEV'",
        "Auto place cost 90:0", "Auto place cost 180:10"}},
      {"ds_footprints.mod", "SOT23GDS_ds", {"Type:SMD"}},
      {"valves.mod", "VALVE-NOVAL_P", {"Type:VIRTUAL", "Last Edit:48DE60A2"}},
      {"standard.mod",
       "0201",
       {"Last Edit:4C3D74C2", "Position:0, 0", "Type:", "Clearance:0 mm"}},
      // Latin-1 bytes, as old libraries without an encoding line hold.
      {"WirePads_RevA.mod",
       "SolderWirePad_3x_2mmDrill",
       {"Description:Solder Wire Pad; L\u00f6tanschluss; 3x; 2mm Drill;"}},
  };
  LegacyModuleProperty panel;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.module);
    std::ifstream in(padscope::test::shared_testdata_dir() + "/legacy/" +
                     c.file);
    panel.update_model(module_model(in, c.module));
    EXPECT_TRUE(has_rows(panel, c.rows));
  }
}

TEST(LegacyModuleProperty, CutsValuesPastFourThousandCharacters) {
  std::string many_words, many_tags;
  for (int i = 0; i < 100000; ++i) many_words += " w";
  for (int i = 0; i < 3000; ++i) many_tags += " k";
  std::istringstream library(
      "PCBNEW-LibModule-V1\n$MODULE R\nPo 0 0 0 15 0 0 ~~" +
      std::string("\nCd") + many_words + "\nKw" + many_tags +
      "\n$EndMODULE R\n");
  auto model = std::make_shared<zcore::LegacyStringModel>("legacy");
  model->load(library);
  LegacyModuleProperty panel;
  panel.update_model(model);
  const QString ellipsis(QChar(0x2026));
  QString words = "w";
  while (words.size() < 4096) words += " w";
  QString tags;
  while (tags.size() <= 4096) tags += "'k'";
  EXPECT_TRUE(has_rows(panel, {"Description:" + words.left(4096) + ellipsis,
                               "Tags:" + tags + ellipsis}));
}

TEST(LegacyModuleProperty, ReadsOnlyTheFirstModuleOutsideItsBlocks) {
  // A one-module library handed on whole, whose index, pad and 3D shape
  // repeat the module's tags, followed by a second module.
  std::istringstream library(
      "PCBNEW-LibModule-V1\n$INDEX\nCd\n$EndINDEX\n$MODULE R\n"
      "Po 150 -250 900 0 4C3D74C2 00000000 FP\n"
      "Cd  resistor  <b>bold</b> & more\nAt SMD VIRTUAL\nOp 1F a 0\n"
      ".SolderMask 0.1\n.SolderPaste -0.02\n.SolderPasteRatio -0.5\n"
      ".ZoneConnection 2\n.ThermalWidth 0.3\n.ThermalGap 0.25\n"
      "$PAD\nPo 5 5\nAt STD N 00E0FFFF\n.SolderMask 9\nKw pad\n$EndPAD\n"
      "$SHAPE3D\nKw shape\n$EndSHAPE3D\n$EndMODULE R\n"
      "$MODULE S\nKw second\n.LocalClearance 7\n$EndMODULE S\n");
  auto model = std::make_shared<zcore::LegacyStringModel>("legacy");
  model->load(library);
  LegacyModuleProperty panel;
  panel.update_model(model);
  EXPECT_TRUE(has_rows(
      panel,
      {"Locked:true", "Placed:true", "Layer:0 (B.Cu, back copper)",
       "Position:150, -250", "Type:SMD VIRTUAL",
       "Tags:", "Description:resistor <b>bold</b> & more",
       "Auto place cost 90:31", "Auto place cost 180:10",
       "Solder mask margin:0.1 mm", "Solder paste margin:-0.02 mm",
       "Solder paste ratio:-0.5 mm", "Clearance:0 mm", "Zone connect:2 mm",
       "Thermal width:0.3 mm", "Thermal gap:0.25 mm"}));
  EXPECT_FALSE(page_browser(panel)->toHtml().contains("<b>bold"));
}

TEST(LegacyModuleProperty, MissingFieldsAndOtherModelsGiveTheDefaults) {
  const std::shared_ptr<zcore::BaseModel> models[] = {
      std::make_shared<zcore::LegacyStringModel>(
          "legacy", std::vector<zcore::record>{{"Po", "3"}, {"Op"}}),
      padscope::test::pretty_model("(module R (descr x) locked)"), nullptr};
  LegacyModuleProperty panel;
  for (const auto& model : models) {
    panel.update_model(model);
    EXPECT_TRUE(
        has_rows(panel, {"Locked:false", "Layer:", "Position:", "Description:",
                         "Auto place cost 90:0", "Thermal gap:0 mm"}));
  }
}

}  // namespace
}  // namespace zwidget::zcvpcb
