#include "zwidget/zviewer/obj_factory.h"

#include "support/qt_printers.h"
#include "zwidget/zviewer/canvas_variants.h"
#include "zwidget/zviewer/mine_enum.h"
#include "zwidget/zviewer/module/legacy_module_property.h"
#include "zwidget/zviewer/module/no_obj_property.h"
#include "zwidget/zviewer/module/pretty_module_property.h"

#include <gtest/gtest.h>

#include <memory>
#include <typeinfo>

namespace zwidget::zcvpcb {
namespace {

using Pair = std::pair<ZObjCanvas*, HtmlProperty*>;

TEST(MineEnum, ChoosesTheFirstRowMatchingTheWholeFileName) {
  MineEnum mime;  // as the main window fills it, and two rows more
  mime.add("*.kicad_mod", "module_parser");
  mime.add("*.mod", "module_legacy_parser");
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

TEST(ZObjFactory, MakesNewWidgetsOfTheParserNamesPair) {
  ZObjFactory factory;  // as the main window fills it
  factory.set_default(new NoFacItem);
  factory.add("module_parser", new PrettyFacItem);
  factory.add("module_legacy_parser", new LegacyFacItem);
  const struct {
    const char* name;
    const std::type_info &canvas, &panel;
    const char* parser;
  } cases[] = {
      {"module_parser", typeid(PrettyModuleCanvas),
       typeid(PrettyModuleProperty), "module_parser"},
      {"module_legacy_parser", typeid(LegacyModuleCanvas),
       typeid(LegacyModuleProperty), "module_legacy_parser"},
      {"Module_Parser", typeid(NoObjCanvas), typeid(NoObjProperty),
       "no_parser"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Pair made = factory.create(c.name);
    std::unique_ptr<ZObjCanvas> canvas(made.first);
    std::unique_ptr<HtmlProperty> panel(made.second);
    ASSERT_TRUE(canvas && panel);
    EXPECT_EQ(typeid(*canvas), c.canvas);
    EXPECT_EQ(typeid(*panel), c.panel);
    EXPECT_EQ(canvas->parser_name, c.parser);
    const Pair again = factory.create(c.name);
    EXPECT_NE(again.first, canvas.get());
    EXPECT_NE(again.second, panel.get());
    delete again.first;
    delete again.second;
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
