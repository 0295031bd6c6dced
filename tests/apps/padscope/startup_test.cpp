#include "apps/padscope/startup.h"

#include "support/qt_printers.h"

#include <gtest/gtest.h>

namespace {

TEST(CentredGeometry, CentresTheStartWindowOnTheScreen) {
  const struct {
    QSize screen;
    QPoint expected;
  } cases[] = {
      {{1365, 768}, {232, 34}},    // odd widths truncate: 1365 / 2 = 682
      {{640, 480}, {-130, -110}},  // smaller than the window: not clamped
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.screen));
    EXPECT_EQ(padscope::centred_geometry(c.screen),
              QRect(c.expected, QSize(900, 700)));
  }
}

TEST(CommandLine, TakesOnePathHelpAndVersion) {
  using Action = padscope::CommandLine::Action;
  const struct {
    QStringList arguments;
    Action action;
    QString path;
    QString compare = QString();
  } cases[] = {
      {{}, Action::run, ""},
      {{"R.kicad_mod"}, Action::run, "R.kicad_mod"},
      {{"lib.pretty", "--help"}, Action::help, ""},
      {{"-platform", "xcb", "--version"}, Action::version, ""},
      {{"-x"}, Action::error, ""},
      {{"a.mod", "b.mod"}, Action::error, ""},
      {{"--", "-odd.mod"}, Action::run, "-odd.mod"},
      {{"--compare", "a.mod", "b.kicad_mod"},
       Action::run,
       "a.mod",
       "b.kicad_mod"},
      {{"--compare", "a.mod"}, Action::error, ""},
      {{"--compare", "a.mod", "b.mod", "c.mod"}, Action::error, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments.join(' ').toStdString());
    const padscope::CommandLine parsed =
        padscope::parse_command_line(c.arguments);
    EXPECT_EQ(parsed.action, c.action);
    EXPECT_EQ(parsed.path, c.path);
    EXPECT_EQ(parsed.compare, c.compare);
    EXPECT_EQ(parsed.error.isEmpty(), c.action != Action::error);
  }
}

}  // namespace
