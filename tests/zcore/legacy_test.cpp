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
      {"x " + std::string(65534, 'a'), "x|" + std::string(65534, 'a')},
      {'"' + std::string(65534, 'b') + '"', std::string(65534, 'b')},
      {std::string(65535, 'a'), "Buffer is too small"},
      {'"' + std::string(65535, 'b') + '"', "Buffer is too small"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line.substr(0, 40));
    EXPECT_EQ(outcome(c.line), c.expected);
  }
  EXPECT_EQ(tokens("\"\"").size(), 1u);
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
  EXPECT_EQ(modules[0].name + modules[1].name + modules[2].name, "ABC");
  EXPECT_EQ(modules[0].first, 1u);
  EXPECT_EQ(modules[0].last, 3u);
  EXPECT_EQ(modules[1].last, 5u);  // no $EndMODULE: ends before C
  EXPECT_EQ(modules[2].last, 7u);  // ends with the file
  const LegacyStringModel one("module_legacy_parser",
                              model.module_records(modules[1]));
  EXPECT_EQ(one.records(),
            (std::vector<record>{{"$MODULE", "B"},
                                 {"DC", "0", "0", "1", "1", "2", "21"}}));
  const LegacyStringModel plain("m", {{"DS"}, {"DC"}});
  ASSERT_EQ(plain.modules().size(), 1u);
  EXPECT_EQ(plain.modules()[0].name, "");
  EXPECT_EQ(plain.modules()[0].last, 1u);
  EXPECT_TRUE(LegacyStringModel("m").modules().empty());
}

TEST(LegacyStringModel, FailuresKeepTheRecordsReadBefore) {
  std::istringstream in("DS 1\n\"open\nDC 2\n");
  LegacyStringModel model("module_legacy_parser");
  EXPECT_THROW(model.load(in), ModelException);
  EXPECT_EQ(model.records().size(), 1u);

  struct failing : std::streambuf {
    int underflow() override { throw 1; }  // badbit without eofbit
  } buffer;
  std::istream broken(&buffer);
  try {
    model.load(broken);
    ADD_FAILURE() << "no exception";
  } catch (const std::ios_base::failure& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Failed to read stream.", 0), 0u);
    EXPECT_EQ(e.code(), std::io_errc::stream);
  }
}

// Builds one element from a record and reads one of its fields.
#define FIELD(type, expr) \
  [](const record& r) { return static_cast<double>(type(r).expr); }
#define TEXT(type, expr) [](const record& r) { return type(r).expr; }
#define BUILD(type) [](const record& r) { type{r}; }

TEST(LegacyElements, ReadTheirFields) {
  const char* const ds = "DS -500 0 500 0 120 21";
  const char* const da = "DA 0 0 100 0 900 120 21 ";
  const char* const t0 = "T0 0 -600 600 500 0 120 N V 21 N \"R1\"";
  const char* const t1 = "T1 0 600 600 600 0 120 M I 21 I \"10k\"";
  const char* const old = "T0 0 1 2 3 0 5 N V 20 \"old\"";
  const char* const older = "T1 0 1 2 3 0 5 N I \"older\"";
  const struct {
    const char* line;
    double (*ask)(const record&);
    double expected;
  } numbers[] = {
      {ds, FIELD(l_line, x1), -500},
      {ds, FIELD(l_line, y1), 0},
      {ds, FIELD(l_line, x2), 500},
      {ds, FIELD(l_line, width), 120},
      {"DC 1 2 3 4 5 20", FIELD(l_circle, y2), 4},
      {da, FIELD(l_arc, x2), 100},
      {da, FIELD(l_arc, angle), 900},
      {da, FIELD(l_arc, width), 120},
      {"DP 0 0 0 0 4 120 21", FIELD(l_poly, count), 4},
      {"DP 0 0 0 0 4 120 21", FIELD(l_poly, corners.size()), 0},
      {t0, FIELD(l_text, y), -600},
      {t0, FIELD(l_text, size_y), 600},
      {t0, FIELD(l_text, size_x), 500},
      {t0, FIELD(l_text, pen_width), 120},
      {t0, FIELD(l_text, hidden), 0},
      {t0, FIELD(l_text, italic), 0},
      {t1, FIELD(l_text, hidden), 1},
      {t1, FIELD(l_text, mirrored), 1},
      {t1, FIELD(l_text, italic), 1},
      {older, FIELD(l_text, hidden), 1},
      {"T12 1 2 3 4 900 6 N V 25 N\"user\"", FIELD(l_text, orientation), 900},
  };
  for (const auto& c : numbers) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(c.ask(tokens(c.line)), c.expected);
  }
  const struct {
    const char* line;
    std::string (*ask)(const record&);
    std::string expected;
  } texts[] = {
      {ds, TEXT(l_line, layer), "21"},
      {"DC 1 2 3 4 5 20", TEXT(l_circle, layer), "20"},
      {t0, TEXT(l_text, text), "R1"},
      {t0, TEXT(l_text, tag), "T0"},
      {t0, TEXT(l_text, kind), ""},
      {t1, TEXT(l_text, text), "10k"},
      {old, TEXT(l_text, layer), "20"},
      {old, TEXT(l_text, text), "old"},
      {older, TEXT(l_text, layer), "21"},
      {older, TEXT(l_text, text), "older"},
      {"T12 1 2 3 4 0 6 N V 25 N\"user\"", TEXT(l_text, text), "user"},
  };
  for (const auto& c : texts) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(c.ask(tokens(c.line)), c.expected);
  }
  EXPECT_TRUE(is_text_tag("T2") && is_text_tag("T10"));
  EXPECT_FALSE(is_text_tag("T") || is_text_tag("Tx") || is_text_tag("T1a"));
}

TEST(LegacyElements, RejectShortRecordsAndOtherTags) {
  const struct {
    const char* line;
    void (*build)(const record&);
    const char* expected;
  } cases[] = {
      {"DS 0 0 1 1", BUILD(l_line), "Not enough parameters"},
      {"DC 0 0 1 1 2", BUILD(l_circle), "Not enough parameters"},
      {"DA 0 0 1 1 2 3", BUILD(l_arc), "Not enough parameters"},
      {"DP 0 0 0 0 4 1", BUILD(l_poly), "Not enough parameters"},
      {"T0 0 1 2 3 0 5 N V", BUILD(l_text), "Not enough parameters"},
      {"DC 0 0 1 1 2 21", BUILD(l_line), "Unknown tag. Must be DS"},
      {"DS 0 0 1 1 2 21", BUILD(l_circle), "Unknown tag. Must be DC"},
      {"DS 0 0 1 1 2 3 21", BUILD(l_arc), "Unknown tag. Must be DA"},
      {"DS 0 0 0 0 4 1 21", BUILD(l_poly), "Unknown tag. Must be DP"},
      {"DS 0 1 2 3 0 5 N V 21 N x", BUILD(l_text), "Unknown tag"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    try {
      c.build(tokens(c.line));
      ADD_FAILURE() << "no exception";
    } catch (const ModelException& e) {
      EXPECT_STREQ(e.what(), c.expected);
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
