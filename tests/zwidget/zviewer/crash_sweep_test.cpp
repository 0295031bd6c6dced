#include "support/test_data.h"
#include "zcore/legacy_model.h"
#include "zcore/models.h"
#include "zwidget/zviewer/obj_canvas.h"
#include "zwidget/zviewer/window_load.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QColor>

#include <sstream>
#include <string>
#include <vector>

namespace zwidget::zcvpcb {
namespace {

using padscope::test::local_testdata_dir;
using padscope::test::read_file;
using padscope::test::shared_testdata_dir;

constexpr int kCutPoints = 64;

struct SweptFile {
  // Below the committed test data, or below the shared one.
  bool committed;
  std::string path;
};

const char* parser_of(const std::string& path) {
  return path.size() > 4 && path.compare(path.size() - 4, 4, ".mod") == 0
             ? "module_legacy_parser"
             : "module_parser";
}

// The reader alone: it reads, or throws a documented exception.
std::string read_model(const std::string& bytes, const char* parser) {
  std::istringstream in(bytes);
  return test::documented_failure([&] {
    if (std::string(parser) == "module_parser") {
      zcore::S_Model("module_parser").load(in);
    } else {
      zcore::LegacyStringModel("module_legacy_parser").load(in);
    }
  });
}

class CrashSweep : public testing::TestWithParam<SweptFile> {};

// Every prefix and suffix at 64 cut points reads or throws a documented
// exception, and the window's load path then shows the footprint or the
// cover scene; a library is also stepped to its last module.
TEST_P(CrashSweep, EveryPrefixAndSuffixReadsOrShowsTheCover) {
  const SweptFile& file = GetParam();
  if (!file.committed) PADSCOPE_REQUIRE_SHARED_TESTDATA();
  const std::string bytes = read_file(
      (file.committed ? local_testdata_dir() : shared_testdata_dir()) + "/" +
      file.path);
  ASSERT_GT(bytes.size(), 0u);
  const char* parser = parser_of(file.path);

  ZObjCanvas canvas(nullptr);
  canvas.parser_name = parser;
  canvas.resize(160, 120);
  canvas.show();
  const QPoint middle(canvas.viewport()->width() / 2,
                      canvas.viewport()->height() / 2);
  int covers = 0;
  for (int i = 0; i <= kCutPoints; ++i) {
    const std::size_t cut = bytes.size() * i / kCutPoints;
    const std::string parts[] = {bytes.substr(0, cut), bytes.substr(cut)};
    for (const std::string& part : parts) {
      SCOPED_TRACE(testing::Message() << "cut " << cut << ", "
                                      << (&part == parts ? "prefix" : "suffix")
                                      << " of " << part.size() << " bytes");
      const std::string read = read_model(part, parser);
      const test::WindowView view = test::show_bytes(
          canvas, QByteArray(part.data(), static_cast<int>(part.size())));
      // The scene loaders may refuse what the reader took, never the reverse.
      if (!read.empty()) {
        EXPECT_NE(view.failure, "") << read;
      }
      EXPECT_EQ(view.cover, !view.failure.empty()) << view.failure;
      if (view.cover) {
        ++covers;
        EXPECT_TRUE(test::shows_cross(view.image, middle));
      }
      if (!view.cover && canvas.module_count() > 1) {
        const bool shown = canvas.show_module(canvas.module_count() - 1);
        EXPECT_EQ(static_cast<ZSceneBase*>(canvas.scene())->is_cover(), !shown);
      }
    }
  }
  const test::WindowView whole = test::show_bytes(
      canvas, QByteArray(bytes.data(), static_cast<int>(bytes.size())));
  EXPECT_EQ(whole.failure, "");
  EXPECT_FALSE(whole.cover);
  EXPECT_GT(whole.items, 0);
  RecordProperty("covers", covers);
}

std::string sweep_name(const testing::TestParamInfo<SweptFile>& info) {
  const std::string& path = info.param.path;
  const std::string folder =
      info.param.committed ? "committed" : path.substr(0, path.find('/'));
  return folder + "_" + test::param_name(path);
}

INSTANTIATE_TEST_SUITE_P(
    KicadSix, CrashSweep,
    testing::Values(
        SweptFile{true, "Battery_CR1225.kicad_mod"},
        SweptFile{false, "kicad6/DIP-8_W7.62mm.kicad_mod"},
        SweptFile{false,
                  "kicad6/"
                  "SolderJumper-2_P1.3mm_Open_RoundedPad1.0x1.5mm.kicad_mod"},
        SweptFile{false,
                  "kicad6/USB_C_Receptacle_CNCTech_C-ARA1-AK51X.kicad_mod"},
        SweptFile{false, "kicad6/ESP32-WROOM-32.kicad_mod"},
        SweptFile{false, "kicad6/LQFP-48_7x7mm_P0.5mm.kicad_mod"}),
    sweep_name);

INSTANTIATE_TEST_SUITE_P(
    KicadFive, CrashSweep,
    testing::Values(
        SweptFile{false, "kicad5/SOT23-5.kicad_mod"},
        SweptFile{false, "kicad5/SHUNT_THT.kicad_mod"},
        SweptFile{false, "kicad5/SW_Digitast.kicad_mod"},
        SweptFile{false, "kicad5/BUS_PCIexpress_x1.kicad_mod"},
        SweptFile{false, "kicad5/Relay_SPDT_RAYEX-L90.kicad_mod"},
        SweptFile{
            false,
            "kicad5/"
            "VQFN-16-1EP_3x3mm_P0.5mm_EP1.1x1.1mm_ThermalVias.kicad_mod"}),
    sweep_name);

INSTANTIATE_TEST_SUITE_P(
    Legacy, CrashSweep,
    testing::Values(SweptFile{true, "w_pth_resistors.mod"},
                    SweptFile{false, "legacy/standard.mod"},
                    SweptFile{false, "legacy/valves.mod"},
                    SweptFile{false, "legacy/ds_footprints.mod"},
                    SweptFile{false, "legacy/WirePads_RevA.mod"},
                    SweptFile{false, "legacy/divers.mod"}),
    sweep_name);

}  // namespace
}  // namespace zwidget::zcvpcb
