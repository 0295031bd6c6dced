#include "zcore/legacy_elements.h"
#include "zcore/legacy_model.h"
#include "zcore/model_exception.h"

#include <gtest/gtest.h>

#include <ios>
#include <sstream>
#include <streambuf>

namespace zcore {
namespace {

record tokens(const std::string& line) {
  record values;
  tokenize_line(line.c_str(), values);
  return values;
}

// The fields joined by '|', or the message of what the tokenizer threw.
std::string outcome(const std::string& line) {
  try {
    std::string joined;
    for (const std::string& value : tokens(line))
      joined += (joined.empty() ? "" : "|") + value;
    return joined;
  } catch (const ModelException& e) {
    return e.what();
  }
}

TEST(TokenizeLine, SplitsTheTableOfLines) {
  const char* const unclosed = "Unexpected symbol. Closing quota is not found.";
  const struct {
    std::string line, expected;
  } cases[] = {
      {"DS 0 0 1 1 120 21 # note", "DS|0|0|1|1|120|21"},
      {"   \t ", ""},
      {"# only a comment", ""},
      {"ab\"cd\"", "ab|cd"},
      {"\"ab\"cd", "ab|cd"},
      {"\"\"", ""},
      {"a \"\" b", "a||b"},
      {"\"a\\\"b\" \"c\\\\d\"", "a\"b|c\\d"},
      {"\"a\\nb\"", "Unexpected control symbol."},
      {"\"a\\", "Unexpected control symbol."},
      {"\"ab", unclosed},
      {"Sh \"ST23AK#1\" R", "Sh|ST23AK#1|R"},
      {"Ne 23 \"LCAS#2_1\"", "Ne|23|LCAS#2_1"},
      {"C:\\lib", "Bad symbol"},
      {"\\x", "Unexpected symbol"},
      {"T0 N\"0201\"\r", "T0|N|0201"},
      {"a#b", "a"},
      {"Cd R\xe9sistance", "Cd|R\xe9sistance"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(outcome(c.line), c.expected);
  }
  EXPECT_EQ(tokens("\"\"").size(), 1u);
}

TEST(TokenizeLine, LimitsAFieldTo65534Bytes) {
  EXPECT_EQ(tokens("x " + std::string(65534, 'a'))[1].size(), 65534u);
  EXPECT_EQ(tokens('"' + std::string(65534, 'b') + '"')[0].size(), 65534u);
  EXPECT_EQ(outcome(std::string(65535, 'a')), "Buffer is too small");
  EXPECT_EQ(outcome('"' + std::string(65535, 'b') + '"'),
            "Buffer is too small");
}

TEST(LegacyStringModel, ReadsRecordsAndModules) {
  std::istringstream in(
      "HEADER\r\n$MODULE A\r\n\r\n# c\r\nDS 1 2 3 4 5 21\r\n$EndMODULE A\r\n"
      "$MODULE B\nDC 0 0 1 1 2 21\n$MODULE C\nT0\n");
  LegacyStringModel model("module_legacy_parser");
  model.load(in);
  ASSERT_EQ(model.records().size(), 8u);
  EXPECT_EQ(model.records()[2], (record{"DS", "1", "2", "3", "4", "5", "21"}));
  const std::vector<legacy_module> modules = model.modules();
  ASSERT_EQ(modules.size(), 3u);
  EXPECT_EQ(modules[0].name, "A");
  EXPECT_EQ(modules[0].first, 1u);
  EXPECT_EQ(modules[0].last, 3u);
  EXPECT_EQ(modules[1].name, "B");  // no $EndMODULE: ends before C
  EXPECT_EQ(modules[1].last, 5u);
  EXPECT_EQ(modules[2].last, 7u);  // ends with the file
  const LegacyStringModel one("module_legacy_parser",
                              model.module_records(modules[1]));
  EXPECT_EQ(one.records().size(), 2u);
  EXPECT_EQ(one.records()[1][0], "DC");

  const LegacyStringModel plain("m", {{"DS"}, {"DC"}});
  ASSERT_EQ(plain.modules().size(), 1u);
  EXPECT_EQ(plain.modules()[0].name, "");
  EXPECT_EQ(plain.modules()[0].last, 1u);
  EXPECT_TRUE(LegacyStringModel("m").modules().empty());
}

TEST(LegacyStringModel, KeepsTheRecordsBeforeAFailure) {
  std::istringstream in("DS 1\n\"open\nDC 2\n");
  LegacyStringModel model("module_legacy_parser");
  EXPECT_THROW(model.load(in), ModelException);
  EXPECT_EQ(model.records().size(), 1u);
}

TEST(LegacyStringModel, AFailingStreamThrows) {
  struct failing : std::streambuf {
    int underflow() override { throw 1; }
  } buffer;
  std::istream in(&buffer);  // badbit, no eofbit, once read
  LegacyStringModel model("module_legacy_parser");
  try {
    model.load(in);
    FAIL() << "no exception";
  } catch (const std::ios_base::failure& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Failed to read stream.", 0), 0u);
    EXPECT_EQ(e.code(), std::io_errc::stream);
  }
}

TEST(LegacyElements, BuildFromTheirRecords) {
  const l_line line(tokens("DS -500 0 500 0 120 21"));
  EXPECT_EQ(line.x1, -500);
  EXPECT_EQ(line.x2, 500);
  EXPECT_EQ(line.y2, 0);
  EXPECT_EQ(line.width, 120);
  EXPECT_EQ(line.layer, "21");
  const l_circle circle(tokens("DC 1 2 3 4 5 20"));
  EXPECT_EQ(circle.y2, 4);
  EXPECT_EQ(circle.layer, "20");
  const l_arc arc(tokens("DA 0 0 100 0 900 120 21 "));
  EXPECT_EQ(arc.x2, 100);
  EXPECT_EQ(arc.angle, 900);
  EXPECT_EQ(arc.width, 120);
  const l_poly poly(tokens("DP 0 0 0 0 4 120 21"));
  EXPECT_EQ(poly.count, 4);
  EXPECT_EQ(poly.width, 120);
  EXPECT_TRUE(poly.corners.empty());
}

TEST(LegacyElements, BuildTextsOfEveryLayout) {
  const l_text t0(tokens("T0 0 -600 600 500 0 120 N V 21 N \"R1\""));
  EXPECT_EQ(t0.tag, "T0");
  EXPECT_EQ(t0.y, -600);
  EXPECT_EQ(t0.size_y, 600);
  EXPECT_EQ(t0.size_x, 500);
  EXPECT_EQ(t0.pen_width, 120);
  EXPECT_FALSE(t0.hidden || t0.mirrored || t0.italic);
  EXPECT_EQ(t0.text, "R1");
  EXPECT_EQ(t0.kind, "");
  const l_text t1(tokens("T1 0 600 600 600 0 120 M I 21 I \"10k\""));
  EXPECT_TRUE(t1.hidden && t1.mirrored && t1.italic);
  const l_text user(tokens("T12 1 2 3 4 900 6 N V 25 N\"user\""));
  EXPECT_EQ(user.orientation, 900);
  EXPECT_EQ(user.layer, "25");
  EXPECT_EQ(user.text, "user");
  const l_text no_italic(tokens("T0 0 1 2 3 0 5 N V 20 \"old\""));
  EXPECT_EQ(no_italic.layer, "20");
  EXPECT_EQ(no_italic.text, "old");
  const l_text no_layer(tokens("T1 0 1 2 3 0 5 N I \"older\""));
  EXPECT_EQ(no_layer.layer, "21");
  EXPECT_EQ(no_layer.text, "older");
  EXPECT_TRUE(no_layer.hidden);
  EXPECT_TRUE(is_text_tag("T2") && is_text_tag("T10"));
  EXPECT_FALSE(is_text_tag("T") || is_text_tag("Tx") || is_text_tag("T1a"));
}

TEST(LegacyElements, RejectShortRecordsAndOtherTags) {
  const struct {
    std::string line, expected;
  } cases[] = {
      {"DS 0 0 1 1", "Not enough parameters"},
      {"DC 0 0 1 1 2", "Not enough parameters"},
      {"DA 0 0 1 1 2 3", "Not enough parameters"},
      {"DP 0 0 0 0 4 1", "Not enough parameters"},
      {"T0 0 1 2 3 0 5 N V", "Not enough parameters"},
      {"DC 0 0 1 1 2 21", "Unknown tag. Must be DS"},
      {"DS 0 0 1 1 2 21", "Unknown tag. Must be DC"},
      {"DS 0 0 1 1 2 3 21", "Unknown tag. Must be DA"},
      {"DS 0 0 0 0 4 1 21", "Unknown tag. Must be DP"},
      {"DS 0 1 2 3 0 5 N V 21 N x", "Unknown tag"},
  };
  const char* const kinds[] = {"line", "circle", "arc", "poly", "text",
                               "line", "circle", "arc", "poly", "text"};
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].line);
    const record r = tokens(cases[i].line);
    const std::string kind = kinds[i];
    try {
      if (kind == "line") l_line{r};
      if (kind == "circle") l_circle{r};
      if (kind == "arc") l_arc{r};
      if (kind == "poly") l_poly{r};
      if (kind == "text") l_text{r};
      ADD_FAILURE() << "no exception";
    } catch (const ModelException& e) {
      EXPECT_STREQ(e.what(), cases[i].expected.c_str());
    }
  }
}

TEST(LegacyElements, CollectPolygonCorners) {
  std::vector<record> records;
  for (const char* line :
       {"DP 0 0 0 0 3 120 21", "Dl 1 2", "Dl 3 4", "Dl 5 6", "Dl 7 8",
        "DP 0 0 0 0 5 1 21", "Dl 9 10", "DS 0 0 1 1 1 21", "Dl 11 12",
        "DP 0 0 0 0 2147483648 1 21"})
    records.push_back(tokens(line));
  const l_poly full = l_poly::with_corners(records, 0);
  ASSERT_EQ(full.corners.size(), 3u);  // the fourth Dl is past the count
  EXPECT_EQ(full.corners[2].x, 5);
  EXPECT_EQ(full.corners[2].y, 6);
  EXPECT_EQ(l_poly::with_corners(records, 5).corners.size(), 1u);
  const l_poly claimed = l_poly::with_corners(records, 9);
  EXPECT_EQ(claimed.count, 2147483648);
  EXPECT_TRUE(claimed.corners.empty());
  EXPECT_THROW(l_poly::with_corners(records, 1), ModelException);
  EXPECT_THROW(l_poly::with_corners(records, 10), ModelException);
}

}  // namespace
}  // namespace zcore
