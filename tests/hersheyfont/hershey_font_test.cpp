#include "hersheyfont/hershey_font.h"

#include "hersheyfont/hershey_font_exception.h"
#include "support/qt_printers.h"

#include <gtest/gtest.h>

#include <QDir>

#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

using hersheyfont::HersheyFont;
using hersheyfont::HersheyFontException;

const std::string kFontDir = PADSCOPE_FONT_DIR;

// Serves lines from memory, as a file of them would.
class LinesSource : public HersheyFont::BufferAdapter {
public:
  explicit LinesSource(std::vector<std::string> lines, bool openable = true)
      : lines(std::move(lines)), openable(openable) {}

  int read_line(char* buffer, int capacity) override {
    if (next == lines.size()) return 0;
    const std::string& line = lines[next++];
    const auto length = std::min<std::size_t>(line.size(), capacity - 1);
    std::memcpy(buffer, line.data(), length);
    buffer[length] = '\0';
    return static_cast<int>(length);
  }
  void open() override {
    if (!openable) throw HersheyFontException("Failed to load file:");
    is_open = true;
  }
  void close() override { is_open = false; }

  std::vector<std::string> lines;
  bool openable;
  std::size_t next = 0;
  bool is_open = false;
};

std::vector<std::string> read_lines(const std::string& path,
                                    const std::string& line_end = "\n") {
  std::ifstream file(path, std::ios::binary);
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(file, line)) lines.push_back(line + line_end);
  return lines;
}

struct Stroke {
  std::vector<QPointF> points;
  bool operator==(const Stroke& other) const { return points == other.points; }
};

// Keeps every stroke sent to it; a stroke ends only at end_stroke.
class Recorder : public HersheyFont::PainterAdapter {
public:
  void move_to(double x, double y) override {
    current.points = {QPointF(x, y)};
    moves_inside_stroke += pending ? 1 : 0;
    pending = true;
  }
  void line_to(double x, double y) override {
    current.points.push_back(QPointF(x, y));
  }
  void end_stroke() override {
    strokes.push_back(pending ? current : Stroke{});
    current = Stroke{};
    pending = false;
  }

  std::vector<Stroke> strokes;
  int moves_inside_stroke = 0;

private:
  Stroke current;
  bool pending = false;
};

// The two-stem glyph at code `code`, blanks before it.
std::vector<std::string> font_with(unsigned char code,
                                   const std::string& line) {
  std::vector<std::string> lines(code - HersheyFont::kFirstCode, "  699  1JZ");
  lines.push_back(line);
  return lines;
}

void load(HersheyFont& font, std::vector<std::string> lines) {
  LinesSource source(std::move(lines));
  font.load(source);
}

std::string load_error(HersheyFont& font, LinesSource& source,
                       std::string* diagnostics = nullptr) {
  testing::internal::CaptureStderr();
  std::string message = "(no exception)";
  try {
    font.load(source);
  } catch (const HersheyFontException& e) {
    message = e.what();
  }
  const std::string err = testing::internal::GetCapturedStderr();
  if (diagnostics) *diagnostics = err;
  return message;
}

TEST(HersheyFont, LoadsRowmansOneGlyphPerCode) {
  HersheyFont font(1, 1);
  LinesSource source(read_lines(kFontDir + "/rowmans.jhf"));
  font.load(source);
  EXPECT_FALSE(source.is_open);
  EXPECT_EQ(699u, font.glyph(' ').glyph_number);
  EXPECT_EQ(16, font.glyph(' ').width);
  EXPECT_EQ(nullptr, font.glyph(' ').strokes);
  EXPECT_EQ(3, font.glyph('R').stroke_count);
  EXPECT_EQ(21, font.glyph('R').width);
  for (int code = 33; code < 127; ++code) {
    SCOPED_TRACE(code);
    EXPECT_GT(font.glyph(code).width, 0);
    EXPECT_NE(nullptr, font.glyph(code).strokes);
  }
}

TEST(HersheyFont, CodesWithoutALineDrawNothingAndTakeNoRoom) {
  HersheyFont font(1, 1);
  load(font, read_lines(kFontDir + "/rowmans.jhf"));
  for (int code : {0, 9, 31, 128, 200, 255}) {
    SCOPED_TRACE(code);
    Recorder out;
    EXPECT_EQ(0, font.draw_glyph(out, 5, static_cast<unsigned char>(code)));
    EXPECT_TRUE(out.strokes.empty());
  }
  // The two bytes of a UTF-8 character are looked up on their own.
  EXPECT_EQ(font.bounding_rect(0.15, "1"), font.bounding_rect(0.15,
                                                              "\xC3\xA9"
                                                              "1"));
}

TEST(HersheyFont, CarriageReturnsChangeNothing) {
  HersheyFont lf(1, 1);
  HersheyFont crlf(1, 1);
  load(lf, read_lines(kFontDir + "/rowmans.jhf"));
  load(crlf, read_lines(kFontDir + "/rowmans.jhf", "\r\n"));
  for (int code = 32; code < 128; ++code) {
    SCOPED_TRACE(code);
    Recorder a;
    Recorder b;
    EXPECT_EQ(lf.draw_glyph(a, 0, code), crlf.draw_glyph(b, 0, code));
    EXPECT_EQ(a.strokes, b.strokes);
  }
}

// Every font of the resource folder has one line per glyph.
TEST(HersheyFont, EveryBundledFontLoads) {
  const QStringList names =
      QDir(QString::fromStdString(kFontDir)).entryList({"*.jhf"});
  EXPECT_EQ(32, names.size());
  for (const QString& name : names) {
    SCOPED_TRACE(name.toStdString());
    const auto lines = read_lines(kFontDir + "/" + name.toStdString());
    HersheyFont font(1, 1);
    EXPECT_NO_THROW(load(font, lines));
    EXPECT_NE(0, font.glyph(32 + lines.size() - 1).glyph_number);
  }
}

TEST(HersheyFont, DrawsScaledStrokesAtTheOffset) {
  HersheyFont font(2, 3);
  load(font, font_with('A', "  717  6JZNFNM RVFVM"));
  Recorder out;
  EXPECT_EQ(16, font.draw_glyph(out, 10, 'A'));
  const double u = 0.0475;
  const std::vector<Stroke> expected = {
      {{QPointF(14 * u * 2, -21 * u * 3), QPointF(14 * u * 2, -14 * u * 3)}},
      {{QPointF(22 * u * 2, -21 * u * 3), QPointF(22 * u * 2, -14 * u * 3)}}};
  EXPECT_EQ(expected, out.strokes);
}

TEST(HersheyFont, TextAdvancesByGlyphWidths) {
  HersheyFont font(1, 1);
  load(font, font_with('A', "  717  6JZNFNM RVFVM"));
  Recorder out;
  font.draw_text(out, "A A");
  ASSERT_EQ(4u, out.strokes.size());
  EXPECT_DOUBLE_EQ(4 * 0.0475, out.strokes[0].points[0].x());
  EXPECT_DOUBLE_EQ((32 + 4) * 0.0475, out.strokes[2].points[0].x());
}

TEST(HersheyFont, AStrokeWithoutVerticesOnlyEnds) {
  HersheyFont font(1, 1);
  load(font, font_with('A', "  800  5JZNF R RVF"));
  Recorder out;
  font.draw_text(out, "A");
  ASSERT_EQ(3u, out.strokes.size());
  EXPECT_TRUE(out.strokes[1].points.empty());
  EXPECT_EQ(0, out.moves_inside_stroke);
}

TEST(HersheyFont, ItalicLeansEachPointByAnEighthOfItsHeight) {
  HersheyFont font(1, 2);
  load(font, read_lines(kFontDir + "/rowmans.jhf"));
  Recorder upright;
  Recorder italic;
  font.draw_text(upright, "Hi");
  font.draw_text(italic, "Hi", true);
  ASSERT_EQ(upright.strokes.size(), italic.strokes.size());
  for (std::size_t s = 0; s < upright.strokes.size(); ++s) {
    const auto& a = upright.strokes[s].points;
    const auto& b = italic.strokes[s].points;
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
      EXPECT_DOUBLE_EQ(a[i].x() - a[i].y() / 8, b[i].x());
      EXPECT_DOUBLE_EQ(a[i].y(), b[i].y());
    }
  }
  // The measure follows the lean: the tops move right, the baseline stays.
  const QRectF plain = font.bounding_rect(0.1, "H");
  const QRectF leaning = font.bounding_rect(0.1, "H", true);
  EXPECT_DOUBLE_EQ(plain.left(), leaning.left());
  EXPECT_DOUBLE_EQ(plain.right() + 21 * 0.0475 * 2 / 8, leaning.right());
}

TEST(HersheyFont, BoundingRectIsTheStrokeExtentGrownByHalfTheThickness) {
  HersheyFont font(1, 1);
  load(font, read_lines(kFontDir + "/rowmans.jhf"));
  EXPECT_EQ(QRectF(-0.075, -0.075, 0.15, 0.15), font.bounding_rect(0.15, ""));
  EXPECT_EQ(QRectF(-0.075, -0.075, 0.15, 0.15),
            font.bounding_rect(0.15, "   "));
  const QRectF r1 = font.bounding_rect(0.15, "R1");
  EXPECT_DOUBLE_EQ(0.115, r1.left());
  EXPECT_DOUBLE_EQ(-1.0725, r1.top());
  EXPECT_DOUBLE_EQ(1.48, r1.width());
  EXPECT_DOUBLE_EQ(1.1475, r1.height());
}

TEST(HersheyFont, ABadLineMakesTheFontInvalid) {
  auto lines = read_lines(kFontDir + "/rowmans.jhf");
  lines[3] = "  714  8MWRFRT RRYQZR[SZRY\n";
  HersheyFont font(1, 1);
  LinesSource source(lines);
  std::string diagnostics;
  EXPECT_EQ("Invalid font", load_error(font, source, &diagnostics));
  EXPECT_EQ(
      "hershey_jhf_load_glyph: expected 16 (not 18) coord bytes for "
      "nverts=8\n",
      diagnostics);
  EXPECT_FALSE(source.is_open);
  // What was read stays until the font goes; nothing after the bad line.
  EXPECT_EQ(717u, font.glyph(34).glyph_number);
  EXPECT_EQ(0u, font.glyph(36).glyph_number);
}

TEST(HersheyFont, ABlankLastLineMakesTheFontInvalid) {
  auto lines = read_lines(kFontDir + "/rowmans.jhf");
  lines.push_back("\n");
  HersheyFont font(1, 1);
  LinesSource source(lines);
  std::string diagnostics;
  EXPECT_EQ("Invalid font", load_error(font, source, &diagnostics));
  EXPECT_EQ("hershey_jhf_load_glyph: line length 0 is too short\n",
            diagnostics);
}

TEST(HersheyFont, HoldsAtMost224Glyphs) {
  const std::vector<std::string> full(224, "  717  6JZNFNM RVFVM");
  HersheyFont font(1, 1);
  LinesSource fits(full);
  EXPECT_EQ("(no exception)", load_error(font, fits));
  EXPECT_EQ(2, font.glyph(255).stroke_count);

  auto too_many = full;
  too_many.push_back("  717  6JZNFNM RVFVM");
  LinesSource overflow(too_many);
  EXPECT_EQ("Invalid font", load_error(font, overflow));
  EXPECT_EQ(2, font.glyph(255).stroke_count);
}

TEST(HersheyFont, AnUnopenableSourceLeavesTheFontEmpty) {
  HersheyFont font(1, 1);
  LinesSource source(read_lines(kFontDir + "/rowmans.jhf"), false);
  EXPECT_EQ("Failed to load file:", load_error(font, source));
  EXPECT_EQ(0u, source.next);
  Recorder out;
  EXPECT_EQ(0, font.draw_glyph(out, 0, 'R'));
  EXPECT_EQ(QRectF(-0.5, -0.5, 1, 1), font.bounding_rect(1, "R"));
}

TEST(HersheyFont, LoadingAgainReplacesTheGlyphs) {
  HersheyFont font(1, 1);
  load(font, font_with('A', "  800  5JZNF R RVF"));
  load(font, font_with('B', "  717  6JZNFNM RVFVM"));
  EXPECT_EQ(0, font.glyph('A').stroke_count);  // a blank now
  EXPECT_EQ(2, font.glyph('B').stroke_count);
}

TEST(HersheyFontException, CarriesItsMessageThroughCopies) {
  const HersheyFontException original("Invalid font");
  std::unique_ptr<HersheyFontException> copy(original.clone());
  EXPECT_STREQ("Invalid font", copy->what());
  try {
    copy->raise();
    FAIL() << "raise() returned";
  } catch (const std::exception& e) {
    EXPECT_STREQ("Invalid font", e.what());
  }
}

}  // namespace
