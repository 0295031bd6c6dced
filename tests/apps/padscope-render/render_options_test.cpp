#include "apps/padscope-render/render_options.h"

#include <gtest/gtest.h>

#include <QStringList>

namespace padscope::render {
namespace {

QStringList command(const QStringList& arguments) {
  return QStringList{"padscope-render"} + arguments;
}

TEST(ParseArguments, DefaultsWithOneInput) {
  const ParsedArguments parsed = parse_arguments(command({"lib"}));
  ASSERT_TRUE(parsed.error.isEmpty()) << parsed.error.toStdString();
  const RenderOptions& options = parsed.options;
  EXPECT_EQ(options.inputs, QStringList{"lib"});
  EXPECT_EQ(options.output_dir, "padscope-out");
  EXPECT_EQ(options.format, ImageFormat::png);
  EXPECT_EQ(options.style.size, QSize(800, 600));
  EXPECT_EQ(options.style.background, Background::black);
  EXPECT_FALSE(options.style.grid);
  EXPECT_EQ(options.style.margin, 0);
  EXPECT_TRUE(options.report_file.isEmpty());
}

TEST(ParseArguments, EveryOptionLongAndShort) {
  const struct {
    QStringList arguments;
  } cases[] = {
      {{"--output", "out", "--format", "svg", "--size", "400x300",
        "--background", "transparent", "--grid", "--margin", "12", "--report",
        "r.json", "a.mod", "b"}},
      {{"-o", "out", "-f", "svg", "-s", "400x300", "-b", "transparent",
        "--grid", "-m", "12", "--report=r.json", "a.mod", "b"}},
      {{"a.mod", "--output=out", "--format=svg", "--size=400x300",
        "--background=transparent", "b", "--grid", "--margin=12", "--report",
        "r.json"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments.join(' ').toStdString());
    const ParsedArguments parsed = parse_arguments(command(c.arguments));
    ASSERT_TRUE(parsed.error.isEmpty()) << parsed.error.toStdString();
    const RenderOptions& options = parsed.options;
    EXPECT_EQ(options.inputs, (QStringList{"a.mod", "b"}));
    EXPECT_EQ(options.output_dir, "out");
    EXPECT_EQ(options.format, ImageFormat::svg);
    EXPECT_EQ(options.style.size, QSize(400, 300));
    EXPECT_EQ(options.style.background, Background::transparent);
    EXPECT_TRUE(options.style.grid);
    EXPECT_EQ(options.style.margin, 12);
    EXPECT_EQ(options.report_file, "r.json");
  }
}

TEST(ParseArguments, UsageErrorsNameTheirCause) {
  const struct {
    QStringList arguments;
    const char* error;
  } cases[] = {
      {{}, "No INPUT"},
      {{"--grid"}, "No INPUT"},
      {{"--frobnicate", "a.mod"}, "frobnicate"},
      {{"a.mod", "--output"}, "output"},
      {{"--output", "", "a.mod"}, "output folder"},
      {{"--format", "jpeg", "a.mod"}, "Unknown format 'jpeg'"},
      {{"--format", "PNG", "a.mod"}, "Unknown format 'PNG'"},
      {{"--size", "800", "a.mod"}, "Bad size '800'"},
      {{"--size", "0x600", "a.mod"}, "Bad size '0x600'"},
      {{"--size", "-8x6", "a.mod"}, "Bad size"},
      {{"--size", "800x600x3", "a.mod"}, "Bad size"},
      {{"--size", "10001x600", "a.mod"}, "Bad size"},
      {{"--size", "99999999999x600", "a.mod"}, "Bad size"},
      {{"--background", "grey", "a.mod"}, "Unknown background 'grey'"},
      {{"--margin", "-1", "a.mod"}, "Bad margin '-1'"},
      {{"--margin", "ten", "a.mod"}, "Bad margin 'ten'"},
      // Half the height of 800x600 would leave nothing for the footprint.
      {{"--margin", "300", "a.mod"}, "Bad margin '300'"},
      {{"--size", "100x40", "--margin", "20", "a.mod"}, "Bad margin '20'"},
      {{"--report", "", "a.mod"}, "report"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments.join(' ').toStdString());
    const ParsedArguments parsed = parse_arguments(command(c.arguments));
    EXPECT_FALSE(parsed.help);
    EXPECT_TRUE(parsed.error.contains(c.error))
        << "error: " << parsed.error.toStdString();
  }
}

TEST(ParseArguments, HelpNeedsNoInput) {
  for (const char* flag : {"--help", "-h"}) {
    const ParsedArguments parsed = parse_arguments(command({flag}));
    EXPECT_TRUE(parsed.help) << flag;
    EXPECT_TRUE(parsed.error.isEmpty()) << flag;
  }
}

TEST(ParseArguments, MarginJustBelowHalfTheSmallerSideIsAccepted) {
  const ParsedArguments parsed =
      parse_arguments(command({"--size", "100x40", "--margin", "19", "a"}));
  ASSERT_TRUE(parsed.error.isEmpty()) << parsed.error.toStdString();
  EXPECT_EQ(parsed.options.style.margin, 19);
}

}  // namespace
}  // namespace padscope::render
