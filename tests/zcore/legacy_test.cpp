#include "zcore/legacy_elements.h"
#include "zcore/legacy_model.h"
#include "zcore/model_exception.h"

#include <gtest/gtest.h>

#include <ios>
#include <optional>
#include <sstream>

namespace zcore {
namespace {

template <class... T>
std::string join(const T&... values) {
  std::ostringstream out;
  const char* separator = "";
  ((out << separator << values, separator = " "), ...);
  return out.str();
}

std::string fields(const record& r) {
  std::string joined;
  for (const std::string& value : r)
    joined += (joined.empty() ? "" : "|") + value;
  return joined;
}
std::string fields(const l_poly& e) {
  return join(e.count, e.corners.size(), e.width, e.layer);
}
template <class Element>  // l_line, l_circle
std::string fields(const Element& e) {
  return join(e.x1, e.y1, e.x2, e.y2, e.width, e.layer);
}
std::string fields(const l_text& e) {
  return join(e.tag, e.x, e.y, e.size_y, e.size_x, e.orientation, e.pen_width,
              e.hidden, e.mirrored, e.italic, e.layer, e.text);
}

// Each module as "name first last;".
std::string modules_of(const LegacyStringModel& model) {
  std::string text;
  for (const legacy_module& m : model.modules())
    text += join(m.name, m.first, m.last) + ";";
  return text;
}

// What a line gives: the fields of its record or element, or the message
// of what the tokenizer or the element threw.
template <class Element>
std::string build(const std::string& line) {
  try {
    record r;
    tokenize_line(line.c_str(), r);
    return fields(Element(r));
  } catch (const ModelException& e) {
    return e.what();
  }
}

TEST(TokenizeLine, SplitsTheTableOfLines) {
  const char* const unclosed = "Unexpected symbol. Closing quota is not found.";
  const std::pair<std::string, std::string> cases[] = {
      {"DS 0 0 1 1 120 21 # note", "DS|0|0|1|1|120|21"},
      {"   \t ", ""},
      {"ab\"cd\"", "ab|cd"},
      {"a \"\" b", "a||b"},
      {"\"a\\\"b\" \"c\\\\d\"", "a\"b|c\\d"},
      {"\"a\\nb\"", "Unexpected control symbol."},
      {"\"ab", unclosed},
      {"Sh \"ST23AK#1\" R", "Sh|ST23AK#1|R"},
      {"C:\\lib", "Bad symbol"},
      {"\\x", "Unexpected symbol"},
      {"T0 N\"0201\"\r", "T0|N|0201"},
      {"a#b", "a"},
      {"x " + std::string(65534, 'a'), "x|" + std::string(65534, 'a')},
      {'"' + std::string(65534, 'b') + '"', std::string(65534, 'b')},
      {std::string(65535, 'a'), "Buffer is too small"},
      {'"' + std::string(65535, 'b') + '"', "Buffer is too small"},
  };
  for (const auto& [line, expected] : cases) {
    SCOPED_TRACE(line.substr(0, 40));
    EXPECT_EQ(build<record>(line), expected);
  }
}

TEST(LegacyStringModel, ReadsRecordsAndModulesKeepingThemOnFailure) {
  std::istringstream in(
      "HEADER\r\n$MODULE A\r\n\r\n# c\r\nDS 1 2 3 4 5 21\r\n$EndMODULE A\"\r\n"
      "$MODULE  \"B\" 5\\\" \t\nDC 0 0 1 1 2 21\n$MODULE C\nT0\n");
  LegacyStringModel model("module_legacy_parser");
  model.load(in);
  ASSERT_EQ(model.records().size(), 8u);
  EXPECT_EQ(model.records()[2], (record{"DS", "1", "2", "3", "4", "5", "21"}));
  // B lacks its $EndMODULE and ends before C, which ends with the file. A
  // name is read to the end of its line, quotes and backslashes included.
  EXPECT_EQ(modules_of(model), "A 1 3;\"B\" 5\\\" 4 5;C 6 7;");
  EXPECT_EQ(model.module_records(model.modules()[1])[1][0], "DC");
  EXPECT_EQ(modules_of(LegacyStringModel("m", {{"DS"}, {"DC"}})), " 0 1;");
  EXPECT_EQ(modules_of(LegacyStringModel("m")), "");
  // Lengths are tenths of a mil unless the header says millimetres.
  const auto unit = [](std::vector<record> records) {
    return LegacyStringModel("m", std::move(records)).millimetres_per_unit();
  };
  EXPECT_EQ(model.millimetres_per_unit(), 0.00254);
  EXPECT_EQ(unit({{"Units", "mm"}, {"$MODULE"}}), 1.0);
  EXPECT_EQ(unit({{"$MODULE"}, {"Units", "mm"}}), 0.00254);

  // Records know their line, blank and comment lines counted, and their
  // module; a module split off keeps them.
  const auto where = [](const LegacyStringModel& m, std::size_t i) {
    return position_suffix(m.position_of(i));
  };
  EXPECT_EQ(where(model, 0), " at line 1");
  EXPECT_EQ(where(model, 2), " at line 5 (module A)");
  EXPECT_EQ(where(*model.module_model(model.modules()[1]), 1),
            " at line 8 (module \"B\" 5\\\")");
  EXPECT_EQ(where(LegacyStringModel("m", {{"$MODULE", "R"}, {"DS"}}), 1),
            " (module R)");

  // A bad line is kept as its failure; the lines after it are read, and
  // counted on from the last load's last line.
  std::istringstream bad("DS 1\n\"open\nDC 2\n");
  model.load(bad);
  ASSERT_EQ(model.records().size(), 11u);
  EXPECT_TRUE(is_failed_line(model.records()[9]));
  EXPECT_EQ(where(model, 9), " at line 13 (module C)");
  EXPECT_EQ(model.records()[10], (record{"DC", "2"}));
  std::istream broken(nullptr);  // bad, not at the end
  try {
    model.load(broken);
    ADD_FAILURE() << "a broken stream reads";
  } catch (const std::ios_base::failure& failure) {
    EXPECT_STREQ(failure.what(), "Failed to read stream. at line 16");
  }
}

TEST(LegacyElements, ReadTheirFieldsOrReject) {
  const char* const few = "Not enough parameters";
  const struct {
    std::string (*build)(const std::string&);
    const char* line;
    const char* expected;
  } cases[] = {
      {build<l_text>, "T1 0 600 600 600 0 120 M I 21 I \"10k\"",
       "T1 0 600 600 600 0 120 1 1 1 21 10k"},
      // Older files leave out the italic flag, or the layer too.
      {build<l_text>, "T0 0 1 2 3 0 5 N V 20 \"old\"",
       "T0 0 1 2 3 0 5 0 0 0 20 old"},
      {build<l_text>, "T1 0 1 2 3 0 5 N I \"older\"",
       "T1 0 1 2 3 0 5 1 0 0 21 older"},
      {build<l_circle>, "DC 0 -1.5 0 1 0.15 21", "0 -1.5 0 1 0.15 21"},
      {build<l_line>, "DS 0 0 1 1", few},
      {build<l_text>, "T0 0 1 2 3 0 5 N V", few},
      {build<l_line>, "DC 0 0 1 1 2 21", "Unknown tag. Must be DS"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(c.build(c.line), c.expected);
  }
  EXPECT_TRUE(is_text_tag("T2") && is_text_tag("T10"));
  EXPECT_FALSE(is_text_tag("T") || is_text_tag("Tx") || is_text_tag("T1a"));
}

TEST(LegacyElements, CollectPolygonCorners) {
  std::vector<record> records;
  for (const char* line :
       {"DP 0 0 0 0 3 120 21", "Dl 1 2", "Dl 3 4", "Dl 5 6", "Dl 7 8",
        "DP 0 0 0 0 5 1 21", "Dl 9 10", "DS 0 0 1 1 1 21", "Dl 11 12",
        "DP 0 0 0 0 2147483648 1 21"})
    tokenize_line(line, records.emplace_back());
  const l_poly full = l_poly::with_corners(records, 0);
  ASSERT_EQ(full.corners.size(), 3u);  // the fourth Dl is past the count
  EXPECT_EQ(join(full.corners[2].x, full.corners[2].y), "5 6");
  EXPECT_EQ(l_poly::with_corners(records, 5).corners.size(), 1u);
  EXPECT_EQ(fields(l_poly::with_corners(records, 9)), "2147483648 0 1 21");
  EXPECT_THROW(l_poly::with_corners(records, 1), ModelException);
  EXPECT_THROW(l_poly::with_corners(records, 10), ModelException);
}

template <class T>
std::string or_dash(const std::optional<T>& value) {
  return value ? join(*value) : "-";
}

// A pad block of lines, as its fields and faults or the error it throws.
std::string pad_of(const std::string& block) {
  std::vector<record> records;
  std::istringstream lines(block);
  for (std::string line; std::getline(lines, line);)
    tokenize_line(line.c_str(), records.emplace_back());
  try {
    const l_pad p(records, 0);
    std::string text = join(
        p.number, p.shape, p.drill_x, p.drill_offset_x, p.drill_offset_y,
        p.type, p.front(), p.back(), p.x, p.y, or_dash(p.solder_mask_margin),
        or_dash(p.solder_paste_margin), or_dash(p.die_length));
    for (const std::string& fault : p.faults) text += ";" + fault;
    return text;
  } catch (const ModelException& e) {
    return e.what();
  }
}

// The shapes are checked where the loader draws them.
TEST(LegacyElements, PadsReadTheirBlockOrFallBackToDefaults) {
  const std::pair<const char*, const char*> cases[] = {
      // A real block: an offset drill on a surface pad, with margins.
      {"$PAD\nSh \"GND\" R 1 2.5 0 0 0\nDr 0 0 -0.75\nAt SMD N 00888000\n"
       "Ne 0 \"\"\nPo -1 -11.5\n.SolderMask 1.69926\n.SolderPaste 1.30048\n"
       "Le 500\n$EndPAD",
       "GND R 0 0 -0.75 SMD 1 0 -1 -11.5 1.69926 1.30048 500"},
      // Faults keep the defaults of what they spoil; the pad stays.
      {"$PAD\nSh \"2\" X 10 20\nDr 5 1 2 Q 1 1\nAt PIN N 00G\n$MODULE next",
       "2 C 5 1 2 STD 1 1 0 0 - - -;Sh: Unknown shape. Must be C, R, O or T;"
       "Sh: Not enough parameters;Dr: Unknown drill shape. Must be O;"
       "At: Unknown type. Must be STD, SMD, CONN or HOLE;At: Bad layer mask;"
       "Missing Po;Missing $EndPAD"},
      {"$PAD",
       " C 0 0 0 STD 1 1 0 0 - - -;Missing Sh;Missing Dr;Missing At;"
       "Missing Po;Missing $EndPAD"},
      {"Po 0 0", "Unknown tag. Must be $PAD"},
  };
  for (const auto& [block, expected] : cases) {
    SCOPED_TRACE(block);
    EXPECT_EQ(pad_of(block), expected);
  }
  EXPECT_THROW(l_pad({}, 0), ModelException);
}

}  // namespace
}  // namespace zcore
