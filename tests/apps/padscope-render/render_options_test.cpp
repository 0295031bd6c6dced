#include "apps/padscope-render/render_options.h"

#include <gtest/gtest.h>

namespace padscope::render {
namespace {

ParsedArguments parse(const QStringList& arguments) {
  return parse_arguments(QStringList{"padscope-render"} + arguments);
}

TEST(ParseArguments, DefaultsAndEveryOption) {
  const RenderOptions defaults = parse({"lib"}).options;
  EXPECT_EQ(defaults.output_dir, "padscope-out");
  EXPECT_EQ(defaults.format, ImageFormat::png);
  EXPECT_EQ(defaults.style.size, QSize(800, 600));
  EXPECT_EQ(defaults.style.background, Background::black);
  EXPECT_FALSE(defaults.style.grid);
  EXPECT_EQ(defaults.style.margin, 0);

  const ParsedArguments parsed =
      parse({"a.mod", "-o", "out", "--format=svg", "-s", "400x300", "-b",
             "transparent", "b", "--grid", "-m", "149", "--report", "r.json"});
  ASSERT_EQ(parsed.error, "");
  const RenderOptions& options = parsed.options;
  EXPECT_EQ(options.inputs, (QStringList{"a.mod", "b"}));
  EXPECT_EQ(options.output_dir, "out");
  EXPECT_EQ(options.format, ImageFormat::svg);
  EXPECT_EQ(options.style.size, QSize(400, 300));
  EXPECT_EQ(options.style.background, Background::transparent);
  EXPECT_TRUE(options.style.grid);
  EXPECT_EQ(options.style.margin, 149);
  EXPECT_EQ(options.report_file, "r.json");
  EXPECT_TRUE(parse({"--help"}).help);
}

TEST(ParseArguments, UsageErrorsNameTheirCause) {
  const struct {
    QStringList arguments;
    const char* error;
  } cases[] = {
      {{"--grid"}, "No INPUT"},
      {{"--frobnicate", "a"}, "frobnicate"},
      {{"a", "--output"}, "output"},
      {{"--format", "PNG", "a"}, "Unknown format 'PNG'"},
      {{"--size", "800", "a"}, "Bad size '800'"},
      {{"--size", "0x600", "a"}, "Bad size"},
      {{"--size", "99999999999x600", "a"}, "Bad size"},
      {{"--background", "grey", "a"}, "Unknown background 'grey'"},
      {{"--margin", "-1", "a"}, "Bad margin '-1'"},
      // Half the height would leave no pixel for the footprint.
      {{"--size", "100x40", "--margin", "20", "a"}, "Bad margin '20'"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments.join(' ').toStdString());
    const QString error = parse(c.arguments).error;
    EXPECT_TRUE(error.contains(c.error)) << error.toStdString();
  }
}

}  // namespace
}  // namespace padscope::render
