#include "zwidget/zviewer/module/pretty_module_property.h"

#include "support/test_data.h"
#include "zcore/legacy_model.h"
#include "zwidget/zviewer/module/panel_page.h"

#include <gtest/gtest.h>

#include <QTextBlock>
#include <QTextFragment>

#include <fstream>

namespace zwidget::zcvpcb {
namespace {

using padscope::test::has_rows;
using padscope::test::page_browser;
using padscope::test::pretty_model;

TEST(PrettyModuleProperty, ShowsTheAttributesOfRealFiles) {
  PADSCOPE_REQUIRE_SHARED_TESTDATA();
  // Read by hand from the files' module-level lists. Fiducial's pad has a
  // margin and clearance of its own, which the page must not show.
  const struct {
    const char* file;
    QStringList rows;
  } cases[] = {
      {"kicad5/SOT23-5.kicad_mod",
       {"Name:SOT23-5", "Locked:false", "Layer:F.Cu", "Last Edit:58F778C6",
        "Position:0, 0", "Attribute:smd",
        "Tags:", "Solder mask margin:0.89916 mm", "Clearance:0.89916 mm"}},
      {"kicad5/SHUNT_THT.kicad_mod",
       {"Description:Resitance 3 pas", "Tags:'R'", "Auto place cost 90:0",
        "Auto place cost 180:10"}},
      {"kicad5/Relay_SPDT_RAYEX-L90.kicad_mod",
       {"Locked:true", "Placed:false", "Tags:'Relay RAYEX L90 SPDT'"}},
      {"kicad6/Xilinx_FFG1926_FFG1927_FFG1928_FFG1930.kicad_mod",
       {"Name:Xilinx_FFG1926_FFG1927_FFG1928_FFG1930", "Layer:F.Cu",
        "Solder mask margin:0.05 mm", "Solder paste ratio:0 mm"}},
      {"kicad6/Qorvo_DFN-8-1EP_2x2mm_P0.5mm.kicad_mod",
       {"Solder mask margin:0.07 mm", "Solder paste ratio:-0.05 mm"}},
      {"kicad5/Texas_RLR0018A_B3QFN_7x9x4.1mm_2EP.kicad_mod",
       {"Zone connect:2 mm", "Thermal gap:0 mm"}},
      {"kicad6/Fiducial_1mm_Mask2mm.kicad_mod",
       {"Tags:'fiducial'", "Solder mask margin:0 mm", "Clearance:0 mm"}},
  };
  PrettyModuleProperty panel;
  EXPECT_TRUE(page_browser(panel)->document()->isEmpty());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    auto model = std::make_shared<zcore::S_Model>("module_parser");
    std::ifstream in(padscope::test::shared_testdata_dir() + "/" + c.file);
    model->load(in);
    panel.update_model(model);
    EXPECT_TRUE(has_rows(panel, c.rows));
  }
}

TEST(PrettyModuleProperty, FormatsNumbersTagsAndThePosition) {
  const struct {
    const char* text;
    QStringList rows;
  } cases[] = {
      {"(module R (tags R res) (solder_mask_margin 0.05) (clearance 0.2))",
       {"Tags:'R''res'", "Solder mask margin:0.05 mm", "Clearance:0.2 mm"}},
      {"(module R placed (thermal_width 1234567) (thermal_gap abc))",
       {"Placed:true", "Thermal width:1.23457e+06 mm", "Thermal gap:0 mm"}},
      // The module's own placement, up to six significant digits.
      {"(module R (at 1.5 -2 90))", {"Position:1.5, -2 @ 90\u00b0"}},
      {"(module R (at 0.1234567 3 0))", {"Position:0.123457, 3"}},
      {"(footprint \"SOT-23\" (layer \"B.Cu\") (tstamp 5A1B) (attr smd))",
       {"Name:SOT-23", "Layer:B.Cu", "Time-stamp from the schematic:5A1B",
        "Attribute:smd"}},
  };
  PrettyModuleProperty panel;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    panel.update_model(pretty_model(c.text));
    EXPECT_TRUE(has_rows(panel, c.rows));
  }
}

TEST(PrettyModuleProperty, ShowsMarkupFromTheFileAsText) {
  PrettyModuleProperty panel;
  panel.update_model(pretty_model(
      "(module \"<b>R</b>\" (descr \"Connector <2x5> & shield "
      "<a href='http://example.org'>click</a>\") (tags <i>x</i>))"));
  EXPECT_TRUE(has_rows(panel, {"Name:<b>R</b>", "Tags:'<i>x</i>'",
                               "Description:Connector <2x5> & shield "
                               "<a href='http://example.org'>click</a>"}));
  const QTextDocument* page = page_browser(panel)->document();
  for (QTextBlock block = page->begin(); block.isValid(); block = block.next())
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      EXPECT_FALSE(it.fragment().charFormat().isAnchor());
      EXPECT_FALSE(it.fragment().charFormat().fontItalic());
    }
}

TEST(PrettyModuleProperty, CutsValuesPastFourThousandCharacters) {
  // A name of 50 MB once stalled the panel for minutes.
  const std::string name(100000, 'N');
  std::string tags;
  for (int i = 0; i < 3000; ++i) tags += " t" + std::to_string(i % 10);
  PrettyModuleProperty panel;
  panel.update_model(pretty_model("(module " + name + " (descr \"" +
                                  std::string(4096, '&') + "\") (tags" + tags +
                                  "))"));
  const QString ellipsis(QChar(0x2026));
  EXPECT_TRUE(has_rows(panel, {"Name:" + QString(4096, 'N') + ellipsis,
                               "Description:" + QString(4096, '&')}));
  QString shown_tags = "Tags:";
  for (int i = 0; shown_tags.size() - 5 <= 4096; ++i)
    shown_tags += QString("'t%1'").arg(i % 10);
  EXPECT_TRUE(has_rows(panel, {shown_tags + ellipsis}));
}

TEST(PrettyModuleProperty, ModelsWithoutAModuleTreeShowTheDefaults) {
  auto empty_list = pretty_model("()");
  ASSERT_EQ(empty_list->root(), nullptr);
  const std::shared_ptr<zcore::BaseModel> models[] = {
      empty_list,
      std::make_shared<zcore::LegacyStringModel>(
          "module_legacy_parser", std::vector<zcore::record>{{"Po", "1"}}),
      nullptr};
  PrettyModuleProperty panel;
  for (const auto& model : models) {
    panel.update_model(model);
    EXPECT_TRUE(
        has_rows(panel, {"Name:", "Locked:false", "Position:0, 0",
                         "Tags:", "Auto place cost 90:0", "Thermal gap:0 mm"}));
  }
}

TEST(PrettyModuleProperty, SameModelGivesTheSamePage) {
  PrettyModuleProperty panel;
  auto model = pretty_model("(module SOT-23 locked (layer F.Cu) (tags a b))");
  panel.update_model(model);
  const QString first = page_browser(panel)->toHtml();
  panel.update_model(model);
  EXPECT_EQ(page_browser(panel)->toHtml(), first);
  // The panel lets go of the model it no longer shows.
  panel.update_model(pretty_model("(module other)"));
  EXPECT_EQ(model.use_count(), 1);
}

}  // namespace
}  // namespace zwidget::zcvpcb
