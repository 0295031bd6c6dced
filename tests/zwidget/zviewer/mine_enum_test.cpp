#include "zwidget/zviewer/mine_enum.h"

#include "support/qt_printers.h"

#include <gtest/gtest.h>

namespace {

TEST(MineEnum, ChoosesTheFirstRowMatchingTheWholeFileName) {
  MineEnum mime;  // as the main window fills it, and two rows more
  mime.add("*.kicad_mod", "module_parser");
  mime.add("*.mod", "module_legacy_parser");
  mime.add("[CL]?.txt", "passive");
  mime.add("*.kicad_mod", "never");
  const struct {
    const char *path, *parser;
  } cases[] = {
      {"C:/lib/R_0805.kicad_mod", "module_parser"},
      {"R_0805.kicad_mod", "module_parser"},
      {"/lib/old.mod", "module_legacy_parser"},
      {"/lib/C1.txt", "passive"},
      {"/lib/C12.txt", ""},
      {"/lib/R_0805.KICAD_MOD", ""},  // patterns are case-sensitive
      {"/lib/x.kicad_mod.bak", ""},   // only the whole name counts
      {"/lib/dir.kicad_mod/file.txt", ""},
      {"", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(mime.parser_for(c.path), c.parser);
  }
}

}  // namespace
