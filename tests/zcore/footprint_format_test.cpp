#include "zcore/footprint_format.h"

#include "zcore/legacy_model.h"
#include "zcore/memory_adapter.h"

#include <gtest/gtest.h>

#include <string>

namespace zcore {
namespace {

TEST(WildcardMatch, MatchesTheWholeTextByTheTableOfPatterns) {
  const struct {
    const char *pattern, *text;
    bool matches;
  } rows[] = {
      {"*.kicad_mod", "R_0805.kicad_mod", true},
      {"*.kicad_mod", "R_0805.KICAD_MOD", false},
      {"*.kicad_mod", "x.kicad_mod.bak", false},
      {"*.mod", ".mod", true},
      {"*.mod", "", false},
      {"", "", true},
      {"a*b*c", "abxbc", true},
      {"a*b*c", "acb", false},
      {"[CL]?.txt", "C1.txt", true},
      {"[CL]?.txt", "R1.txt", false},
      {"?", "\xc3\xa9", true},  // one UTF-8 character
      {"??", "\xc3\xa9", false},
      {"[a-c]x", "bx", true},
      {"[!a-c]x", "bx", false},
      {"[^a-c]x", "dx", true},
      {"[]]", "]", true},
      {"[ab", "[ab", true},  // no closing bracket: a plain `[`
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.pattern) + " on " + row.text);
    EXPECT_EQ(wildcard_match(row.pattern, row.text), row.matches);
  }
}

TEST(FootprintFormats, ChooseByFileNameOrFirstBytes) {
  const auto parser = [](const footprint_format* format) {
    return std::string(format ? format->parser : "");
  };
  // File names, then first bytes.
  const struct {
    const footprint_format* (*choose)(std::string_view);
    const char *given, *parser;
  } cases[] = {
      {format_for_name, "C:/lib/R_0805.kicad_mod", "module_parser"},
      {format_for_name, "/lib/old.mod", "module_legacy_parser"},
      {format_for_name, "/lib/dir.kicad_mod/file.txt", ""},
      {format_for_name, "", ""},
      {format_for_head, "\xEF\xBB\xBF \r\nPCBNEW-LibModule-V1",
       "module_legacy_parser"},
      {format_for_head, "(footprint \"R\" (layer F.Cu))", "module_parser"},
      {format_for_head, "\n( module\tR)", "module_parser"},
      {format_for_head, "(module", "module_parser"},
      {format_for_head, "(modules R)", ""},
      {format_for_head, "\x89PNG\r\n", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.given);
    EXPECT_EQ(parser(c.choose(c.given)), c.parser);
  }
  EXPECT_EQ(format_named("module_legacy_parser"), &legacy_format());
  EXPECT_EQ(format_named("Module_Parser"), nullptr);
}

// What the index and the viewer learn from a read file through the table.
TEST(FootprintFormats, SplitALegacyLibraryIntoItsModules) {
  const footprint_format& legacy = legacy_format();
  const auto model = legacy.make_model();
  MemoryAdapter in(
      "PCBNEW-LibModule-V1\nUnits mm\n$MODULE DIP8\nCd Dual inline\n"
      "Kw DIL THT\n$EndMODULE DIP8\n$MODULE SO8\n$EndMODULE SO8\n");
  model->load(in);
  EXPECT_EQ(model_format(*model), &legacy);
  EXPECT_EQ(legacy.footprint_problem(*model), "");
  const auto library = legacy.library_of(model);
  ASSERT_TRUE(library);
  EXPECT_EQ(library->names, (std::vector<std::string>{"DIP8", "SO8"}));
  const auto dip = library->model(0);
  EXPECT_EQ(legacy.footprint_name(*dip), "DIP8");
  EXPECT_EQ(legacy.description(*dip) + "|" + legacy.tags(*dip),
            "Dual inline|DIL THT");
  // The unit of the library's header, which the module lacks.
  EXPECT_EQ(legacy.millimetres_per_unit(*library->model(1)), 1.0);
  EXPECT_EQ(legacy.footprint_problem(LegacyStringModel("x")),
            "Not a footprint library: no $MODULE in the file");
  EXPECT_FALSE(pretty_format().library_of(pretty_format().make_model()));
}

}  // namespace
}  // namespace zcore
