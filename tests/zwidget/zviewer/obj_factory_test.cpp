#include "zwidget/zviewer/obj_factory.h"

#include "support/qt_printers.h"
#include "zwidget/zviewer/canvas_variants.h"
#include "zwidget/zviewer/footprint_formats.h"
#include "zwidget/zviewer/mine_enum.h"
#include "zwidget/zviewer/module/no_obj_property.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <memory>
#include <typeinfo>

namespace zwidget::zcvpcb {
namespace {

using Pair = std::pair<ZObjCanvas*, HtmlProperty*>;

TEST(MineEnum, ChoosesTheFirstRowMatchingTheWholeFileName) {
  MineEnum mime;  // as the main window fills it, and two rows more
  for (const FootprintFormat& format : footprint_formats())
    mime.add(format.pattern, format.parser);
  mime.add("[CL]?.txt", "passive");
  mime.add("*.kicad_mod", "never");
  const struct {
    const char *path, *parser;
  } cases[] = {
      {"R_0805.kicad_mod", "module_parser"},
      {"/lib/old.mod", "module_legacy_parser"},
      {"/lib/C1.txt", "passive"},
      {"/lib/C12.txt", ""},
      {"/lib/R_0805.KICAD_MOD", ""},  // patterns are case-sensitive
      {"/lib/x.kicad_mod.bak", ""},   // only the whole name counts
      {"", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(mime.parser_for(c.path), c.parser);
  }
}

TEST(FootprintFormats, AFileIsReadByItsNameElseByItsFirstBytes) {
  QTemporaryDir dir;
  const struct {
    const char *name, *bytes, *parser;
  } cases[] = {
      {"a.kicad_mod", "PCBNEW-LibModule-V1", "module_parser"},
      {"a.mod", "(module R)", "module_legacy_parser"},
      {"A.MOD", "\xEF\xBB\xBF \r\nPCBNEW-LibModule-V1", "module_legacy_parser"},
      {"fp", "(footprint \"R\" (layer F.Cu))", "module_parser"},
      {"fp.txt", "\n( module\tR)", "module_parser"},
      {"fp.old", "(module", "module_parser"},
      {"board.kicad_pcb", "(kicad_pcb (version 4))", ""},
      {"fp.bak", "(modules R)", ""},
      {"fp.bin", "\x89PNG\r\n", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    QFile file(dir.filePath(c.name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(c.bytes);
    file.close();
    const FootprintFormat* format = format_for_file(file.fileName());
    EXPECT_EQ(format ? format->parser : "", std::string(c.parser));
  }
  EXPECT_EQ(format_for_file(dir.filePath("missing")), nullptr);
}

// The main window's tests see each parser's pair; here, fresh ones each time.
TEST(ZObjFactory, MakesNewWidgetsAndFallsBackOnACaseDifferentName) {
  ZObjFactory factory;
  factory.set_default(new NoFacItem);
  factory.add("module_parser", new PrettyFacItem);
  for (const char* name : {"module_parser", "Module_Parser"}) {
    SCOPED_TRACE(name);
    const Pair made = factory.create(name), again = factory.create(name);
    const std::unique_ptr<ZObjCanvas> canvas(made.first), other(again.first);
    const std::unique_ptr<HtmlProperty> panel(made.second), next(again.second);
    ASSERT_TRUE(canvas && panel && other && next);
    EXPECT_NE(canvas, other);
    EXPECT_NE(panel, next);
    const bool known = name[0] == 'm';
    EXPECT_EQ(typeid(*canvas) == typeid(PrettyModuleCanvas), known);
    EXPECT_EQ(typeid(*panel) == typeid(NoObjProperty), !known);
    EXPECT_EQ(canvas->parser_name, known ? "module_parser" : "no_parser");
  }
}

// Counts its own deletion and makes nothing.
struct CountingItem : ZObjFactory::Item {
  explicit CountingItem(int* deleted) : deleted(deleted) {}
  ~CountingItem() override { ++*deleted; }
  Pair create() override { return {nullptr, nullptr}; }
  int* deleted;
};

TEST(ZObjFactory, OwnsItsItemsAndDeletesReplacedOnes) {
  int deleted = 0;
  {
    ZObjFactory factory;
    factory.add("module_parser", new CountingItem(&deleted));
    EXPECT_EQ(factory.create("other"), Pair(nullptr, nullptr));  // no default
    factory.add("module_parser", new CountingItem(&deleted));
    factory.set_default(new CountingItem(&deleted));
    factory.set_default(new CountingItem(&deleted));
    EXPECT_EQ(deleted, 2);
  }
  EXPECT_EQ(deleted, 4);
}

}  // namespace
}  // namespace zwidget::zcvpcb
