#include "support/test_data.h"
#include "zcore/legacy_elements.h"
#include "zcore/legacy_model.h"
#include "zcore/model_exception.h"
#include "zcore/models.h"
#include "zcore/nodeview.h"

#include <gtest/gtest.h>

#include <fstream>
#include <ios>
#include <sstream>

namespace zcore {
namespace {

using padscope::test::files_with_suffix;
using padscope::test::local_testdata_dir;
using padscope::test::read_file;
using padscope::test::shared_testdata_dir;

template <class Model>
void load_file(Model& model, const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  ASSERT_TRUE(in) << path;
  model.load(in);
}

// Every element the legacy loader would build from the records.
void build_every_element(const std::vector<record>& records) {
  for (std::size_t i = 0; i < records.size(); ++i) {
    const std::string& tag = records[i][0];
    SCOPED_TRACE(testing::Message() << "record " << i << " " << tag);
    if (is_line_tag(tag)) {
      EXPECT_NO_THROW(l_line{records[i]});
    }
    if (is_circle_tag(tag)) {
      EXPECT_NO_THROW(l_circle{records[i]});
    }
    if (is_arc_tag(tag)) {
      EXPECT_NO_THROW(l_arc{records[i]});
    }
    if (is_text_tag(tag)) {
      EXPECT_NO_THROW(l_text{records[i]});
    }
    if (is_poly_tag(tag)) {
      const l_poly poly = l_poly::with_corners(records, i);
      EXPECT_EQ(static_cast<std::int64_t>(poly.corners.size()), poly.count);
    }
  }
}

TEST(RealFiles, EveryKicadModReads) {
  PADSCOPE_REQUIRE_SHARED_TESTDATA();
  std::size_t count = 0;
  for (const char* folder : {"/kicad5", "/kicad6"}) {
    for (const std::string& path :
         files_with_suffix(shared_testdata_dir() + folder, ".kicad_mod")) {
      SCOPED_TRACE(path);
      S_Model model("module_parser");
      ASSERT_NO_THROW(load_file(model, path));
      ASSERT_NE(model.root(), nullptr);
      EXPECT_FALSE(nodeview(model.root()).layer().empty());
      ++count;
    }
  }
  EXPECT_EQ(count, 48u);
}

TEST(RealFiles, KicadAccessorsMatchTheFiles) {
  PADSCOPE_REQUIRE_SHARED_TESTDATA();
  S_Model usb("module_parser");
  load_file(usb, shared_testdata_dir() +
                     "/kicad6/USB_C_Receptacle_CNCTech_C-ARA1-AK51X.kicad_mod");
  const nodeview module(usb.root());
  EXPECT_EQ(module.first_text(), "USB_C_Receptacle_CNCTech_C-ARA1-AK51X");
  EXPECT_EQ(module.layer(), "F.Cu");
  EXPECT_EQ(module.descr(),
            "USB Type-C 3.0 Receptacle, 24-pin, right angle (source: "
            "https://www.cnctech.us/pdfs/C-ARA1-AK512.pdf)");
  EXPECT_EQ(module.tags(),
            std::vector<std::string>{"USB C Type-C Receptacle Hybrid CNCTech "
                                     "C-ARA1-AK51X"});
  EXPECT_EQ(module.attr(), "smd");
  const nodeview pad(usb.root()->find("pad"));  // the last pad of the file
  EXPECT_EQ(pad.first_text(), "S1");
  EXPECT_EQ(pad.second_text(), "thru_hole");
  EXPECT_EQ(pad.third_text(), "oval");
  EXPECT_DOUBLE_EQ(pad.at().pos.x, -4.575);
  EXPECT_DOUBLE_EQ(pad.at().pos.y, 2);
  EXPECT_DOUBLE_EQ(pad.size().y, 2.28);
  EXPECT_TRUE(pad.is_oval_drill());
  EXPECT_DOUBLE_EQ(pad.drill_size().x, 0.55);
  EXPECT_DOUBLE_EQ(pad.drill_size().y, 1.6);
  EXPECT_DOUBLE_EQ(pad.drill_offset().y, -0.14);

  S_Model sot("module_parser");
  load_file(sot, shared_testdata_dir() + "/kicad5/SOT23-5.kicad_mod");
  const nodeview root(sot.root());
  EXPECT_EQ(root.first_text(), "SOT23-5");
  EXPECT_EQ(root.tedit(), "58F778C6");
  EXPECT_DOUBLE_EQ(root.solder_mask_margin(), 0.89916);
  const nodeview value(sot.root()->find("fp_text"));
  EXPECT_EQ(value.second_text(), "TLV271");
  EXPECT_DOUBLE_EQ(value.at().pos.x, -0.03);
  EXPECT_DOUBLE_EQ(value.font().size.x, 0.2);
  EXPECT_DOUBLE_EQ(value.font().thickness, 0.05);
}

TEST(RealFiles, CommittedKicadModReadsAndSurvivesEveryCut) {
  const std::string bytes =
      read_file(local_testdata_dir() + "/Battery_CR1225.kicad_mod");
  ASSERT_EQ(bytes.size(), 818u);
  S_Model model("module_parser");
  std::istringstream whole(bytes);
  model.load(whole);
  const nodeview root(model.root());
  EXPECT_EQ(root.first_text(), "Battery_CR1225");
  EXPECT_EQ(root.tags().at(0), "battery CR1225 coin cell");
  const nodeview circle(model.root()->find("fp_circle"));
  EXPECT_DOUBLE_EQ(circle.end().x, 6.25);
  EXPECT_DOUBLE_EQ(circle.width(), 0.1);
  EXPECT_EQ(circle.layer(), "F.Fab");
  // Every prefix and suffix reads or throws one of the reader's exceptions.
  for (std::size_t cut = 0; cut < bytes.size(); ++cut) {
    for (const std::string& part : {bytes.substr(0, cut), bytes.substr(cut)}) {
      std::istringstream in(part);
      S_Model cut_model("module_parser");
      try {
        cut_model.load(in);
      } catch (const std::ios_base::failure&) {
      } catch (const ModelException&) {
      }
    }
  }
}

TEST(RealFiles, EveryLegacyFileReadsAndBuildsItsElements) {
  PADSCOPE_REQUIRE_SHARED_TESTDATA();
  std::size_t modules = 0;
  const auto paths =
      files_with_suffix(shared_testdata_dir() + "/legacy", ".mod");
  for (const std::string& path : paths) {
    SCOPED_TRACE(path);
    LegacyStringModel model("module_legacy_parser");
    ASSERT_NO_THROW(load_file(model, path));
    build_every_element(model.records());
    modules += model.modules().size();
  }
  EXPECT_EQ(paths.size(), 10u);
  EXPECT_EQ(modules, 664u);
}

TEST(RealFiles, CommittedLegacyFileMatchesTheFile) {
  LegacyStringModel model("module_legacy_parser");
  load_file(model, local_testdata_dir() + "/w_pth_resistors.mod");
  const std::vector<record>& records = model.records();
  ASSERT_EQ(records.size(), 439u);
  build_every_element(records);
  const std::vector<legacy_module> modules = model.modules();
  ASSERT_EQ(modules.size(), 10u);
  EXPECT_EQ(modules[0].name, "trimmer_64w");
  EXPECT_EQ(modules[0].first, 13u);
  EXPECT_EQ(modules[0].last, 55u);
  EXPECT_EQ(modules[1].name, "RC05");
  EXPECT_EQ(modules[1].first, 56u);

  const l_text reference(records[20]);
  EXPECT_EQ(reference.text, "trimmer_64w");
  EXPECT_EQ(reference.y, 2600);
  EXPECT_EQ(reference.pen_width, 120);
  EXPECT_EQ(reference.layer, "21");
  const l_text value(records[64]);
  EXPECT_EQ(value.text, "R***");
  EXPECT_TRUE(value.hidden);
  EXPECT_EQ(value.size_y, 550);
  EXPECT_EQ(value.size_x, 500);
  const l_text glued(records[271]);  // T0 ... N"RC03"
  EXPECT_EQ(glued.text, "RC03");
  EXPECT_FALSE(glued.italic);
  const l_circle circle(records[26]);
  EXPECT_EQ(circle.x1, 400);
  EXPECT_EQ(circle.y1, -1400);
  EXPECT_EQ(circle.x2, 800);
  EXPECT_EQ(circle.width, 150);
}

}  // namespace
}  // namespace zcore
