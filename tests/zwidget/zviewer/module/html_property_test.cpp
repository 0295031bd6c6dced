#include "zwidget/zviewer/module/html_property.h"

#include "support/qt_printers.h"
#include "support/test_data.h"
#include "zcore/legacy_model.h"
#include "zcore/models.h"
#include "zwidget/zviewer/footprint_formats.h"
#include "zwidget/zviewer/module/legacy_module_property.h"
#include "zwidget/zviewer/module/no_obj_property.h"
#include "zwidget/zviewer/module/pretty_module_property.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QFile>
#include <QTextBrowser>
#include <QTextCursor>

#include <memory>
#include <sstream>
#include <stdexcept>
#include <utility>
#include <vector>

// Dropping the bundle stands for a template that cannot be opened.
static void drop_templates() {
  Q_CLEANUP_RESOURCE(padscope_templates);
}
static void restore_templates() {
  Q_INIT_RESOURCE(padscope_templates);
}

namespace zwidget::zcvpcb {
namespace {

using Model = std::shared_ptr<zcore::BaseModel>;
using padscope::test::read_file;
using padscope::test::real_file;

QTextBrowser* browser(const QWidget& panel) {
  return panel.findChild<QTextBrowser*>("textBrowser");
}

// Succeeds when each of `rows` is a whole line of the page as it reads, or
// with `cells`, each "Label:value" a label cell above its value cell.
testing::AssertionResult has_rows(const QWidget& panel, const QStringList& rows,
                                  bool cells = false) {
  const QString page = '\n' + browser(panel)->toPlainText() + '\n';
  for (QString row : rows)
    if (!page.contains('\n' + (cells ? row.replace(':', ":\n") : row) + '\n'))
      return testing::AssertionFailure() << "no row \"" << row.toStdString()
                                         << "\" in:" << page.toStdString();
  return testing::AssertionSuccess();
}

template <class Kind = zcore::S_Model>
std::shared_ptr<Kind> model(const std::string& text) {
  auto model = std::make_shared<Kind>("module_parser");
  std::istringstream in(text);
  model->load(in);
  return model;
}

using Pages = std::vector<std::pair<Model, QStringList>>;

// Shows each model on `panel` in turn; its page must hold the rows given.
void expect_pages(HtmlProperty& panel, const Pages& pages) {
  for (const auto& [model, rows] : pages) {
    SCOPED_TRACE(rows.first().left(80).toStdString());
    panel.update_model(model);
    EXPECT_TRUE(has_rows(panel, rows));
  }
}

// One module of a legacy library, made into a model as the canvas makes it.
Model module_of(const std::string& bytes, const std::string& name) {
  const auto library =
      legacy_format().library_of(model<zcore::LegacyStringModel>(bytes));
  for (std::size_t i = 0; library && i < library->names.size(); ++i)
    if (library->names[i] == name) return library->model(i);
  ADD_FAILURE() << "no module " << name;
  return nullptr;
}

// One panel going leaves the bundle to the others; without it each panel
// throws and keeps its page.
TEST(HtmlProperty, TemplatesLiveWithThePanelsAndTheirLackThrows) {
  {
    auto first = std::make_unique<NoObjProperty>();
    LegacyModuleProperty second;
    first.reset();
    EXPECT_TRUE(QFile::exists(":/no_module.html"));
  }
  EXPECT_FALSE(QFile::exists(":/no_module.html"));
  NoObjProperty nothing;
  nothing.update_model(model("(module SOT-23)"));
  EXPECT_TRUE(has_rows(nothing, {"No module loaded"}));
  PrettyModuleProperty pretty;
  LegacyModuleProperty legacy;
  pretty.update_model(model("(module SOT-23)"));
  const QString page = browser(pretty)->toHtml();
  const auto fails = [](auto action, const std::string& page) {
    EXPECT_THAT(action, testing::ThrowsMessage<std::runtime_error>(
                            "Failed to open resource(:/" + page + ".html)"));
  };
  drop_templates();
  fails([&] { pretty.update_model(nullptr); }, "pretty_module");
  fails([&] { legacy.update_model(nullptr); }, "legacy_module");
  fails([] { NoObjProperty none; }, "no_module");
  restore_templates();
  EXPECT_EQ(browser(pretty)->toHtml(), page);
}

// Values longer than 4096 characters end in an ellipsis: a name of 50 MB
// once stalled the panel for minutes.
struct LongValues {
  std::string words, tags;
  QString shown_words = "w", shown_tags, ellipsis = QChar(0x2026);
  LongValues() {
    for (int i = 0; i < 100000; ++i) words += " w";
    for (int i = 0; i < 3000; ++i) tags += " k";
    while (shown_words.size() < 4096) shown_words += " w";
    while (shown_tags.size() <= 4096) shown_tags += "'k'";
  }
};

TEST(PrettyModuleProperty, FormatsEscapesAndCutsTheModulesAttributes) {
  const LongValues long_values;
  const QStringList defaults{
      "Name:", "Locked:false",         "Position:0, 0",
      "Tags:", "Auto place cost 90:0", "Thermal gap:0.0000 mm"};
  auto empty_list = model("()");
  ASSERT_EQ(empty_list->root(), nullptr);
  const Pages cases = {
      // A ratio and a kind of connection are no lengths; a turn is shown.
      {model("(module R locked placed (layer B.Cu) (at 1.5 -2 90) (tags R res)"
             " (autoplace_cost90 3) (autoplace_cost180 4) (clearance 0.2)"
             " (solder_mask_margin 0.05) (solder_paste_margin -0.3)"
             " (solder_paste_ratio -0.1) (zone_connect 2) (thermal_width 0.5)"
             " (thermal_gap abc))"),
       {"Locked:true", "Placed:true", "Layer:B.Cu",
        "Position:1.5, -2 @ 90\u00b0", "Tags:'R''res'", "Auto place cost 90:3",
        "Auto place cost 180:4", "Clearance:0.2000 mm",
        "Solder mask margin:0.0500 mm", "Solder paste margin:-0.3000 mm",
        "Solder paste ratio:-0.1", "Zone connect:2", "Thermal width:0.5000 mm",
        "Thermal gap:0.0000 mm"}},
      {model(
           "(footprint \"SOT-23\" (tstamp 5A1B) (attr smd exclude_from_bom))"),
       {"Name:SOT-23", "Time-stamp from the schematic:5A1B",
        "Attribute:smd, exclude_from_bom"}},
      {model("(module \"<b>R</b>\" (descr \"<2x5> & <a href='x'>y</a>\")"
             " (tags <i>x</i>))"),
       {"Name:<b>R</b>", "Tags:'<i>x</i>'",
        "Description:<2x5> & <a href='x'>y</a>"}},
      {model("(module " + std::string(100000, 'N') + " (descr \"" +
             std::string(4096, '&') + "\") (tags" + long_values.tags + "))"),
       {"Name:" + QString(4096, 'N') + long_values.ellipsis,
        "Description:" + QString(4096, '&'),
        "Tags:" + long_values.shown_tags + long_values.ellipsis}},
      // Models without a module tree, or none.
      {empty_list, defaults},
      {nullptr, defaults},
  };
  PrettyModuleProperty panel;
  expect_pages(panel, cases);
  // The same model twice gives the same page; one no longer shown is let go.
  auto shown = model("(module SOT-23 locked (layer F.Cu) (tags a b))");
  panel.update_model(shown);
  const QString page = browser(panel)->toHtml();
  panel.update_model(shown);
  EXPECT_EQ(browser(panel)->toHtml(), page);
  panel.update_model(nullptr);
  EXPECT_EQ(shown.use_count(), 1);
}

// Newer files list their fields, the four standard ones first; older files,
// without a Reference property, do not.
TEST(PrettyModuleProperty, ListsTheFieldsOfNewerFiles) {
  PrettyModuleProperty panel;
  panel.update_model(model(
      "(footprint X (property \"MPN\" \"<b>A</b>\") (property \"Description\""
      " \"D\") (property \"Value\" \"10k\") (property \"Reference\" \"R1\")"
      " (property \"Footprint\" \"Lib:X\") (property \"Datasheet\" \"\"))"));
  const QString page = browser(panel)->toPlainText();
  EXPECT_TRUE(page.contains(
      "Description:\nReference:R1\nValue:10k\nDatasheet:\nDescription:D\n"
      "MPN:<b>A</b>\nTags:"))
      << page.toStdString();
  EXPECT_FALSE(page.contains("Footprint:"));
  panel.update_model(model("(module R (property K V) (descr d))"));
  EXPECT_TRUE(browser(panel)->toPlainText().contains("Description:d\nTags:"));
}

TEST(LegacyModuleProperty, ShowsTheFirstModulesOwnRecordsEscapedAndCut) {
  const LongValues long_values;
  const QStringList defaults{"Locked:false",
                             "Layer:",
                             "Position:",
                             "Description:",
                             "Auto place cost 90:0",
                             "Thermal gap:0.0000 mm"};
  const Pages cases = {
      // Index, pad and 3D shape repeat the module's records; a second follows.
      {model<zcore::LegacyStringModel>(
           "PCBNEW-LibModule-V1\n$INDEX\nCd\n$EndINDEX\n$MODULE R\n"
           "Po 150 -250 900 0 4C3D74C2 00000000 FP\n"
           "Cd  resistor  <b>bold</b> & more\nAt SMD VIRTUAL\nOp 1F a 0\n"
           ".SolderMask 40\n.SolderPaste -10\n.SolderPasteRatio -0.5\n"
           ".ZoneConnection 2\n.ThermalWidth 120\n.ThermalGap 100\n"
           "$PAD\nPo 5 5\nAt STD N 00E0FFFF\n.SolderMask 9\nKw pad\n$EndPAD\n"
           "$SHAPE3D\nKw shape\n$EndSHAPE3D\n$EndMODULE R\n"
           "$MODULE S\nKw second\n.LocalClearance 7\n$EndMODULE S\n"),
       {"Locked:true", "Placed:true", "Layer:0 (B.Cu, back copper)",
        "Position:150, -250", "Type:SMD VIRTUAL",
        "Tags:", "Description:resistor <b>bold</b> & more",
        "Auto place cost 90:31", "Auto place cost 180:10",
        "Solder mask margin:0.1016 mm", "Solder paste margin:-0.0254 mm",
        "Solder paste ratio:-0.5", "Clearance:0.0000 mm", "Zone connect:2",
        "Thermal width:0.3048 mm", "Thermal gap:0.2540 mm"}},
      // A module of a library in millimetres, split off as the canvas does.
      {legacy_format()
           .library_of(model<zcore::LegacyStringModel>(
               "PCBNEW-LibModule-V1\nUnits mm\n$MODULE A\n$EndMODULE A\n"
               "$MODULE B\n.LocalClearance 0.2\n$EndMODULE B\n"))
           ->model(1),
       {"Clearance:0.2000 mm"}},
      {model<zcore::LegacyStringModel>(
           "PCBNEW-LibModule-V1\n$MODULE R\nPo 0 0 0 15 0 0 ~~\nCd" +
           long_values.words + "\nKw" + long_values.tags + "\n$EndMODULE R\n"),
       {"Description:" + long_values.shown_words.left(4096) +
            long_values.ellipsis,
        "Tags:" + long_values.shown_tags + long_values.ellipsis}},
      // Missing fields, none.
      {std::make_shared<zcore::LegacyStringModel>(
           "legacy", std::vector<zcore::record>{{"Po", "3"}, {"Op"}}),
       defaults},
      {nullptr, defaults},
  };
  LegacyModuleProperty panel;
  expect_pages(panel, cases);
}

// The colour of the text right after `label` in the page.
QColor colour_after(const QWidget& panel, const QString& label) {
  QTextCursor found = browser(panel)->document()->find(label);
  if (found.isNull()) return QColor();
  found.clearSelection();
  found.movePosition(QTextCursor::NextCharacter);
  return found.charFormat().foreground().color();
}

// Read by hand from the files' module-level records; pads carry margins,
// clearances and placements of their own, which the page must not show. The
// figures of the footprint at the top, in the unit chosen, then the
// selection above them; the defaults of the page greyed; the legacy page
// headed as such and named.
TEST(HtmlProperty, ShowsRealFilesFiguresSelectionUnitsAndGreyDefaults) {
  PrettyModuleProperty pretty;
  pretty.update_model(model(read_file(real_file("kicad5/SOT23-5.kicad_mod"))));
  EXPECT_TRUE(has_rows(
      pretty, {"Footprint", "Name:SOT23-5", "Layer:F.Cu", "Last Edit:58F778C6",
               "Position:0, 0", "Attribute:smd", "Solder mask margin:0.8992 mm",
               "Clearance:0.8992 mm"}));
  EXPECT_TRUE(has_rows(
      pretty,
      {"Pads:5 (5 smd)", "Pitch:0.9500 mm", "Type:SMD", "Generation:KiCad 5"},
      true));
  const QColor held = colour_after(pretty, "Solder mask margin:");
  const QColor grey = colour_after(pretty, "Auto place cost 90:");
  EXPECT_NE(held, grey);
  EXPECT_EQ(grey, QColor(0x8a, 0x8a, 0x8a));
  EXPECT_TRUE(has_rows(
      pretty, {"Grey values are defaults: the file does not set them."}));

  pretty.set_unit(zcore::length_unit::mil);
  pretty.set_selection({{"Kind", zcore::fact::kind::text, 0, 0, "Pad"},
                        {"Size", zcore::fact::kind::size, 2.54, 1.27, {}}});
  EXPECT_TRUE(
      has_rows(pretty, {"Selected: Pad", "Solder mask margin:35.40 mil"}));
  EXPECT_TRUE(has_rows(
      pretty, {"Size:100.00 \u00d7 50.00 mil", "Pitch:37.40 mil"}, true));
  const QString page = browser(pretty)->toPlainText();
  EXPECT_LT(page.indexOf("Selected: Pad"), page.indexOf("Footprint"));
  pretty.set_selection({});
  EXPECT_FALSE(browser(pretty)->toPlainText().contains("Selected"));

  LegacyModuleProperty legacy;
  expect_pages(
      legacy,
      {// Latin-1 bytes, as old libraries without an encoding line hold, and
       // a clearance in tenths of a mil.
       {module_of("PCBNEW-LibModule-V1\n$MODULE W\nPo 0 0 0 15 0 0 ~~\n"
                  "Cd Solder Wire Pad; L\xf6tanschluss;\n"
                  ".LocalClearance 39\n$EndMODULE W\n"
                  "$MODULE X\n$EndMODULE X\n",
                  "W"),
        {"Description:Solder Wire Pad; L\u00f6tanschluss;",
         "Type:", "Clearance:0.0991 mm"}},
       {module_of(read_file(real_file("legacy/Footprints.mod")), "D2PACK"),
        {"Legacy module", "Name:D2PACK", "Locked:false", "Placed:false",
         "Layer:15 (F.Cu, front copper)", "Last Edit:51DC95CE", "Position:0, 0",
         "Description:MOS boitier DPACK G-D-S", "Tags:'CMD''DPACK'"}}});
  EXPECT_TRUE(has_rows(legacy, {"Generation:legacy"}, true));
}

}  // namespace
}  // namespace zwidget::zcvpcb
