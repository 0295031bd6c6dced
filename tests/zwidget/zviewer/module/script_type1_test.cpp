#include "zwidget/zviewer/module/script_type1.h"

#include "support/qt_printers.h"

#include <gtest/gtest.h>

#include <QStringList>

namespace zwidget::zaux {
namespace {

// Knows {Name} only, and notes every key it is asked for.
struct NameResolver : ScriptType1::Resolver {
  explicit NameResolver(QString name) : name(std::move(name)) {}
  QString resolve(QString key) override {
    keys << key;
    return key == "{Name}" ? name : key;
  }
  QString name;
  QStringList keys;
};

TEST(ScriptType1, ReplacesTokensInOnePass) {
  const struct {
    const char *script, *result;
    QStringList keys;
  } cases[] = {
      {"<b>{Name}</b>{Name}", "<b>SOT-23</b>SOT-23", {"{Name}", "{Name}"}},
      {"{Colour}", "{Colour}", {"{Colour}"}},
      {"x}y", "x}y", {"}"}},                   // a lone closing brace
      {"ab{cd", "ab", {}},                     // unterminated: dropped
      {"{a{Name}", "{a{Name}", {"{a{Name}"}},  // nested brace kept
      {"{a{Name}}", "{a{Name}}", {"{a{Name}", "}"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.script);
    NameResolver resolver("SOT-23");
    EXPECT_EQ(ScriptType1(c.script, &resolver).process(), c.result);
    EXPECT_EQ(resolver.keys, c.keys);
  }
  // Each run appends; a given resolver replaces the stored one; without any,
  // the tokens stay as written.
  NameResolver first("R1"), second("C7");
  ScriptType1 script("<{Name}>", &first);
  EXPECT_EQ(script.process(), "<R1>");
  EXPECT_EQ(script.process(&second), "<R1><C7>");
  EXPECT_EQ(ScriptType1("a{Name}b}", nullptr).process(), "a{Name}b}");
}

}  // namespace
}  // namespace zwidget::zaux
