#include "zcore/footprint_query.h"

#include "support/test_data.h"
#include "zcore/footprint_index.h"

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using padscope::test::write_file;
using zcore::footprint_index;
using zcore::footprint_query;

namespace {

// `count` pads numbered from `first`, `pitch` apart along x at height y
// (or along y at x with `vertical`).
std::string pad_row(int count, int first, double pitch, double across,
                    bool vertical, const std::string& kind = "smd rect",
                    const std::string& size = "0.3 1.5") {
  std::ostringstream out;
  const double start = -pitch * (count - 1) / 2;
  for (int i = 0; i < count; ++i) {
    const double along = start + i * pitch;
    out << "(pad \"" << first + i << "\" " << kind << " (at "
        << (vertical ? across : along) << ' ' << (vertical ? along : across)
        << ") (size " << size << ")"
        << (kind.rfind("thru", 0) == 0 ? " (drill 1)" : "")
        << " (layers \"F.Cu\"))";
  }
  return out.str();
}

// Pins on four sides, as a QFP or QFN puts them.
std::string quad(int pins, double pitch, double reach) {
  const int side = pins / 4;
  return pad_row(side, 1, pitch, -reach, true) +
         pad_row(side, 1 + side, pitch, reach, false) +
         pad_row(side, 1 + 2 * side, pitch, reach, true) +
         pad_row(side, 1 + 3 * side, pitch, -reach, false);
}

std::string outline(const char* layer, double w, double h) {
  std::ostringstream out;
  out << "(fp_rect (start " << -w / 2 << ' ' << -h / 2 << ") (end " << w / 2
      << ' ' << h / 2 << ") (layer \"" << layer << "\") (width 0.1))";
  return out.str();
}

std::string footprint(const std::string& name, const std::string& tags,
                      const std::string& description, const std::string& attr,
                      const std::string& body) {
  return "(footprint \"" + name + "\" (version 20241229) (layer \"F.Cu\")" +
         " (descr \"" + description + "\") (tags \"" + tags + "\") (attr " +
         attr + ") " + body + ")";
}

// Packages of a few libraries with their pads and outlines, and a legacy
// library; unique per run, as other builds may run the same test.
class QueryTreeTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    root = new fs::path(
        fs::temp_directory_path() /
        ("padscope-query-" + std::to_string(std::random_device()())));
    const auto put = [](const std::string& lib, const std::string& name,
                        const std::string& text) {
      write_file(*root / lib / (name + ".kicad_mod"), text);
    };
    const std::string qfp = "Package_QFP.pretty";
    put(qfp, "LQFP-48_7x7mm_P0.5mm",
        footprint("LQFP-48_7x7mm_P0.5mm", "LQFP QFP", "LQFP, 48 Pin", "smd",
                  quad(48, 0.5, 4.2) + outline("F.Fab", 7, 7) +
                      outline("F.CrtYd", 9.7, 9.7)));
    put(qfp, "LQFP-64_10x10mm_P0.5mm",
        footprint("LQFP-64_10x10mm_P0.5mm", "LQFP QFP", "LQFP, 64 Pin", "smd",
                  quad(64, 0.5, 5.7) + outline("F.Fab", 10, 10)));
    put(qfp, "LQFP-64_7x7mm_P0.4mm",
        footprint("LQFP-64_7x7mm_P0.4mm", "LQFP QFP", "LQFP, 64 Pin", "smd",
                  quad(64, 0.4, 4.2) + outline("F.Fab", 7, 7)));
    const std::string qfn = "Package_DFN_QFN.pretty";
    const std::string exposed =
        "(pad \"49\" smd rect (at 0 0) (size 5.6 5.6) (layers \"F.Cu\"))";
    for (const char* name :
         {"QFN-48-1EP_7x7mm_P0.5mm_EP5.6x5.6mm", "VQFN-48-1EP_7x7mm_P0.5mm"}) {
      put(qfn, name,
          footprint(name, "QFN NoLead", "QFN, 48 Pin", "smd",
                    quad(48, 0.5, 3.4) + exposed + outline("F.Fab", 7, 7)));
    }
    const std::string sot = "Package_TO_SOT_SMD.pretty";
    for (const char* name :
         {"SOT-23", "SOT-23-5", "TSOT-23", "SOT-223-3_TabPin2"}) {
      put(sot, name,
          footprint(name, "SOT TO_SOT_SMD", "SOT, 3 Pin", "smd",
                    pad_row(2, 1, 1.9, 1.1, false) +
                        pad_row(1, 3, 0, -1.1, false) +
                        outline("F.Fab", 1.3, 2.9)));
    }
    const std::string header = "Connector_PinHeader_2.54mm.pretty";
    put(header, "PinHeader_1x04_P2.54mm_Vertical",
        footprint("PinHeader_1x04_P2.54mm_Vertical",
                  "Through hole pin header THT 1x04 2.54mm single row",
                  "Through hole straight pin header", "through_hole",
                  pad_row(4, 1, 2.54, 0, true, "thru_hole circle", "1.7 1.7")));
    put(header, "PinHeader_2x24_P2.54mm_Vertical_SMD",
        footprint("PinHeader_2x24_P2.54mm_Vertical_SMD",
                  "Surface mounted pin header SMD 2x24 2.54mm double row",
                  "surface-mounted straight pin header", "smd",
                  pad_row(24, 1, 2.54, -2.5, true) +
                      pad_row(24, 25, 2.54, 2.5, true)));
    write_file(*root / "old" / "parts.mod",
               "PCBNEW-LibModule-V1 date\nUnits mm\n$MODULE DIP8\nLi DIP8\n"
               "Cd Dual inline\nKw DIL THT\nAt STD\n" +
                   legacy_pads() + "$EndMODULE DIP8\n$EndLIBRARY\n");
    index = new footprint_index(root->string());
    index->refresh();
  }
  static void TearDownTestSuite() {
    delete index;
    fs::remove_all(*root);
    delete root;
  }

  // Two rows of four through-hole pads, 2.54 mm apart.
  static std::string legacy_pads() {
    std::string pads;
    for (int i = 0; i < 8; ++i) {
      const double x = -3.81 + 2.54 * (i % 4);
      const double y = i < 4 ? 3.81 : -3.81;
      pads += "$PAD\nSh \"" + std::to_string(i + 1) +
              "\" C 1.6 1.6 0 0 0\nDr 0.8 0 0\nAt STD N 00E0FFFF\nPo " +
              std::to_string(x) + " " + std::to_string(y) + "\n$EndPAD\n";
    }
    return pads;
  }

  static std::vector<std::string> found(const std::string& query) {
    std::vector<std::string> names;
    for (const auto* entry : index->search(query)) names.push_back(entry->name);
    return names;
  }

  static fs::path* root;
  static footprint_index* index;
};

fs::path* QueryTreeTest::root = nullptr;
footprint_index* QueryTreeTest::index = nullptr;

using names = std::vector<std::string>;

TEST_F(QueryTreeTest, FindsAndRanksByWordsPhrasesAndFigures) {
  ASSERT_EQ(index->size(), 12u);
  const std::string lqfp48 = "LQFP-48_7x7mm_P0.5mm";
  const std::string lqfp64 = "LQFP-64_10x10mm_P0.5mm";
  const std::string lqfp64s = "LQFP-64_7x7mm_P0.4mm";
  const std::string qfn = "QFN-48-1EP_7x7mm_P0.5mm_EP5.6x5.6mm";
  const std::string vqfn = "VQFN-48-1EP_7x7mm_P0.5mm";
  const std::string header4 = "PinHeader_1x04_P2.54mm_Vertical";
  const std::string header48 = "PinHeader_2x24_P2.54mm_Vertical_SMD";
  const struct {
    const char* query;
    names expected;
  } rows[] = {
      // Every word, in any order; the name's start ranks before its inside.
      {"QFN 7x7", {qfn, vqfn}},
      {"7x7 qfn", {qfn, vqfn}},
      {"lqfp 0.4", {lqfp64s}},
      // Equal scores: the shorter name first.
      {"64 lqfp", {lqfp64s, lqfp64}},
      // The whole name, its start, then inside it.
      {"sot-23", {"SOT-23", "SOT-23-5", "TSOT-23"}},
      // Across the name's separators.
      {"SOT23", {"SOT-23", "SOT-23-5", "TSOT-23"}},
      {"qfn*7x7", {qfn, vqfn}},
      {"?qfn", {vqfn, qfn}},
      // Tags, then the description; the library's name last.
      {"\"pin header\"", {header4, header48}},
      {"surface-mounted", {header48}},
      {"dual inline", {"DIP8"}},
      {"dfn", {vqfn, qfn}},
      {"\"7x7mm_P0.5\"", {lqfp48, vqfn, qfn}},
      {"header -\"double row\"", {header4}},
      {"header -smd", {header4}},
      {"pads:48 pitch:0.5", {lqfp48}},
      {"pins:>=49", {lqfp64s, lqfp64, vqfn, qfn}},
      {"pads:>60", {lqfp64s, lqfp64}},
      {"pads:3-8 tht", {"DIP8", header4}},
      {"pitch:2.54 tht", {"DIP8", header4}},
      {"pitch:<0.5", {lqfp64s}},
      // The body or the courtyard, either way round, within the tolerance.
      {"size:7x7", {lqfp48, lqfp64s, vqfn, qfn}},
      {"size:7.1x6.9mm lqfp", {lqfp48, lqfp64s}},
      {"size:9.7x9.7", {lqfp48}},
      {"size:2.9x1.3 -sot-223", {"SOT-23", "TSOT-23", "SOT-23-5"}},
      {"size:<=2x3", {"SOT-23", "TSOT-23", "SOT-23-5", "SOT-223-3_TabPin2"}},
      {"lib:package_qfp", {lqfp48, lqfp64s, lqfp64}},
      {"-lib:Package_QFP pads:48", {header48}},
      {"smd pads:3 sot",
       {"SOT-23", "SOT-23-5", "SOT-223-3_TabPin2", "TSOT-23"}},
      // A figure term that does not read is a word, found nowhere.
      {"pads:many", {}},
      {"size:7", {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.query);
    EXPECT_EQ(found(row.query), row.expected);
  }
  EXPECT_EQ(found("").size(), 12u);
}

TEST_F(QueryTreeTest, MarksWhatTheWordsMatchInTheName) {
  using span = zcore::name_pattern::span;
  const auto marked = [](const char* query, const char* name) {
    std::string text;
    std::size_t at = 0;
    for (const span& s : footprint_query(query).name_matches(name)) {
      text += std::string(name + at, name + s.begin) + "[" +
              std::string(name + s.begin, name + s.end) + "]";
      at = s.end;
    }
    return text + (name + at);
  };
  EXPECT_EQ(marked("qfn 7x7 -vqfn pads:48", "VQFN-48-1EP_7x7mm"),
            "V[QFN]-48-1EP_[7x7]mm");
  EXPECT_EQ(marked("sot23", "TSOT-23-5"), "T[SOT-23]-5");
  EXPECT_EQ(marked("lqfp lq*48", "LQFP-48"), "[LQFP-48]");
  EXPECT_EQ(marked("\"dual inline\"", "DIP8"), "DIP8");
}

// A pattern pasted by mistake over descriptions of a megabyte: each piece
// tried at every position took seconds per description.
TEST(FootprintQueryTest, LongPatternOverHugeDescriptionsStaysFast) {
  std::vector<zcore::index_entry> entries(3);
  std::vector<zcore::entry_text> texts;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    entries[i].name = "Huge" + std::to_string(i);
    entries[i].description = std::string(1 << 20, 'a');
    texts.push_back(zcore::text_of(entries[i]));
  }
  const std::string almost = std::string(1999, 'a');
  for (const std::string& pattern :
       {almost + "b", almost + "?", "a?" + almost.substr(1000) + "b"}) {
    const footprint_query query(pattern);
    std::vector<zcore::search_hit> hits;
    // Processor time, so that a loaded machine does not fail the test; a
    // fraction of a second here, and the generous bound catches a return to
    // seconds per description.
    const std::clock_t start = std::clock();
    zcore::collect_hits(query, entries, texts, hits);
    const double spent = double(std::clock() - start) / CLOCKS_PER_SEC;
    EXPECT_EQ(hits.size(), pattern.back() == '?' ? 3u : 0u);
    EXPECT_LT(spent, 2.0) << pattern.substr(0, 4);
  }
}

}  // namespace
