#include "hersheyfont/hershey_font.h"

#include "hersheyfont/hershey_font_exception.h"
#include "support/qt_printers.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

using hersheyfont::HersheyFont;

const std::string kDiag = "hershey_jhf_load_glyph: ";
const std::string kStems = "  717  6JZNFNM RVFVM";

// Result, errno, width, stroke count, vertices and stderr of parsing `line`.
std::string parse(const std::string& line) {
  std::vector<char> buffer(line.begin(), line.end());
  buffer.push_back('\0');
  hersheyfont::Glyph glyph{};
  errno = EINVAL;
  testing::internal::CaptureStderr();
  const int result = hersheyfont::hershey_jhf_load_glyph(glyph, buffer.data());
  const int error = errno;
  std::ostringstream out;
  out << result << " " << (error == ERANGE ? "ERANGE" : std::to_string(error))
      << " " << glyph.width << " " << glyph.stroke_count << ":";
  for (const auto* stroke = glyph.strokes; stroke; stroke = stroke->next) {
    out << " |";
    for (int i = 0; i < stroke->vertex_count; ++i)
      out << " " << stroke->vertices()[i].x << "," << stroke->vertices()[i].y;
  }
  hersheyfont::hershey_free_strokes(glyph);
  return out.str() + testing::internal::GetCapturedStderr();
}

TEST(JhfLine, ParsesOrReportsEachCase) {
  const std::string failed = "0 ERANGE 0 0:" + kDiag;
  const std::pair<std::string, std::string> cases[] = {
      {"  699  1JZ", "1 0 16 0:"},
      {kStems, "1 0 16 2: | 4,21 4,14 | 12,21 12,14"},
      {"  800  5JZNF R RVF", "1 0 16 3: | 4,21 | | 12,21"},
      {"  714  8MWRFRT RRYQZR[SZRY",
       failed + "expected 16 (not 18) coord bytes for nverts=8\n"},
      {"  717  6ZJNFNM RVFVM", failed + "bogus leftpos 8 > rightpos -8\n"},
      {"  699  1J\r\n", failed + "line length 9 is too short\n"},
  };
  for (const auto& [line, expected] : cases) {
    SCOPED_TRACE(line);
    EXPECT_EQ(parse(line), expected);
  }
}

std::vector<std::string> rowmans_lines() {
  std::ifstream file(PADSCOPE_ROWMANS, std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);) lines.push_back(line);
  return lines;
}

// Every cut of a real line fails cleanly (sanitizers catch overreads).
TEST(JhfLine, EveryPrefixOfRowmansParsesOnlyWhenComplete) {
  const auto lines = rowmans_lines();
  ASSERT_EQ(lines.size(), 96u);
  for (const std::string& line : lines) {
    for (std::size_t length = 0; length <= line.size(); ++length) {
      ASSERT_EQ(parse(line.substr(0, length))[0] == '1', length == line.size())
          << line << length;
    }
  }
}

class Lines : public HersheyFont::BufferAdapter {
public:
  explicit Lines(std::vector<std::string> lines) : lines(std::move(lines)) {}
  int read_line(char* buffer, int capacity) override {
    if (next == lines.size()) return 0;
    const std::string line = (lines[next++] + "\n").substr(0, capacity - 1);
    std::memcpy(buffer, line.c_str(), line.size() + 1);
    return static_cast<int>(line.size());
  }
  void open() override { next = 0; }
  void close() override {}
  std::vector<std::string> lines;
  std::size_t next = 0;
};

// The exception's message and what went to stderr; "" when the font loads.
std::string load(HersheyFont& font, std::vector<std::string> lines) {
  Lines source(std::move(lines));
  testing::internal::CaptureStderr();
  std::string message;
  try {
    font.load(source);
  } catch (const hersheyfont::HersheyFontException& e) {
    message = e.what();
  }
  return message + testing::internal::GetCapturedStderr();
}

TEST(HersheyFont, MeasuresRowmansStrokesGrownByHalfTheThickness) {
  HersheyFont font(1, 1);
  ASSERT_EQ(load(font, rowmans_lines()), "");
  EXPECT_EQ(font.glyph('R').stroke_count, 3);
  EXPECT_EQ(font.bounding_rect(0.15, ""), QRectF(-0.075, -0.075, 0.15, 0.15));
  EXPECT_EQ(font.bounding_rect(0.15, "R1"),
            QRectF(0.115, -1.0725, 1.48, 1.1475));
  // Codes without a glyph draw nothing and take no room, UTF-8 bytes too.
  for (const char* text : {"\x01R1\x1F", "R\xC3\xA9\x31\xFF"}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(font.bounding_rect(0.15, text), font.bounding_rect(0.15, "R1"));
  }
}

TEST(HersheyFont, RefusesBadFontsKeepingWhatItRead) {
  auto lines = rowmans_lines();
  lines[3] = "  714  8MWRFRT RRYQZR[SZRY";
  HersheyFont font(1, 1);
  EXPECT_EQ(load(font, lines),
            "Invalid font" + kDiag +
                "expected 16 (not 18) coord bytes for nverts=8\n");
  EXPECT_EQ(font.glyph(34).stroke_count, 2);  // '"', read before the bad line
  EXPECT_EQ(font.glyph(36).stroke_count, 0);
  lines.assign(224, kStems);  // codes 32 to 255
  EXPECT_EQ(load(font, lines), "");
  EXPECT_EQ(font.glyph(255).stroke_count, 2);
  lines.push_back(kStems);
  EXPECT_EQ(load(font, lines), "Invalid font");
}

// Every glyph's pen moves and advance.
std::string every_glyph(const HersheyFont& font) {
  struct : HersheyFont::PainterAdapter {
    void move_to(double x, double y) override { out << " M" << x << "," << y; }
    void line_to(double x, double y) override { out << " L" << x << "," << y; }
    void end_stroke() override { out << " E"; }
    std::ostringstream out;
  } moves;
  for (int code = 0; code < HersheyFont::kGlyphSlots; ++code) {
    const int advance = font.draw_glyph(moves, 0, code);
    moves.out << " A" << advance;
  }
  return moves.out.str();
}

TEST(HersheyFont, ACopyOwnsTheSameGlyphsABorrowerSharesThem) {
  auto prototype = std::make_unique<HersheyFont>(1, 1);
  ASSERT_EQ(load(*prototype, rowmans_lines()), "");
  HersheyFont same(*prototype, 1, 1);
  const std::string expected = every_glyph(*prototype);
  prototype.reset();  // the copies keep their own strokes
  EXPECT_EQ(every_glyph(same), expected);
  // Borrowed glyphs draw as copied ones at the borrower's scale; a file
  // loaded into the borrower leaves the lender's glyphs alone.
  HersheyFont borrowed(same, 2, 3, HersheyFont::Borrowed());
  EXPECT_EQ(every_glyph(borrowed), every_glyph(HersheyFont(same, 2, 3)));
  EXPECT_EQ(load(borrowed, {kStems}), "");
  EXPECT_EQ(every_glyph(same), expected);
  // A copy loads a file of its own like any font.
  EXPECT_EQ(load(same, {kStems}), "");
  EXPECT_EQ(same.glyph(32).stroke_count + same.glyph('R').stroke_count, 2);
  // A copy of a font never loaded has no glyphs either.
  const HersheyFont empty(1, 1);
  EXPECT_EQ(every_glyph(HersheyFont(empty, 1, 1)).find_first_not_of(" A0"),
            std::string::npos);
}

}  // namespace
