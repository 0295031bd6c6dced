#include "hersheyfont/hershey_font.h"

#include "hersheyfont/hershey_font_exception.h"
#include "support/qt_printers.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

using hersheyfont::Glyph;
using hersheyfont::HersheyFont;
using Strokes = std::vector<std::vector<std::pair<int, int>>>;

struct Parsed {
  int result = 0;
  int error = 0;
  std::string diagnostics;
  Glyph glyph{};
  ~Parsed() { hersheyfont::hershey_free_strokes(glyph); }
};

// Parses a copy of `line`, keeping errno and what went to stderr.
void parse(const std::string& line, Parsed& out) {
  std::vector<char> buffer(line.begin(), line.end());
  buffer.push_back('\0');
  errno = EINVAL;
  testing::internal::CaptureStderr();
  out.result = hersheyfont::hershey_jhf_load_glyph(out.glyph, buffer.data());
  out.error = errno;
  out.diagnostics = testing::internal::GetCapturedStderr();
}

Strokes strokes_of(const Glyph& glyph) {
  Strokes strokes;
  for (auto* stroke = glyph.strokes; stroke; stroke = stroke->next) {
    strokes.emplace_back();
    for (int i = 0; i < stroke->vertex_count; ++i)
      strokes.back().emplace_back(stroke->vertices()[i].x,
                                  stroke->vertices()[i].y);
  }
  return strokes;
}

const std::string kStems = "  717  6JZNFNM RVFVM";
const Strokes kStemStrokes = {{{4, 21}, {4, 14}}, {{12, 21}, {12, 14}}};
const std::string kDiag = "hershey_jhf_load_glyph: ";

struct LineCase {
  std::string line;
  std::string diagnostics;  // empty when the line parses
  int width;
  Strokes strokes;
};

const LineCase kLines[] = {
    {"  699  1JZ", "", 16, {}},
    {kStems, "", 16, kStemStrokes},
    {kStems + "\r\n", "", 16, kStemStrokes},
    {kStems + "\r\r\n\n", "", 16, kStemStrokes},
    {"  800  5JZNF R RVF", "", 16, {{{4, 21}}, {}, {{12, 21}}}},
    {"  801  3JZNF R", "", 16, {{{4, 21}}, {}}},
    {"  714  8MWRFRT RRYQZR[SZRY",
     kDiag + "expected 16 (not 18) coord bytes for nverts=8\n",
     0,
     {}},
    {"  717  6ZJNFNM RVFVM", kDiag + "bogus leftpos 8 > rightpos -8\n", 0, {}},
    {"  699  1J", kDiag + "line length 9 is too short\n", 0, {}},
    {"  699  1J\r\n", kDiag + "line length 9 is too short\n", 0, {}},
    {"\n", kDiag + "line length 0 is too short\n", 0, {}},
};

TEST(JhfLine, ParsesOrReportsEachCase) {
  for (const LineCase& c : kLines) {
    SCOPED_TRACE(c.line);
    Parsed parsed;
    parse(c.line, parsed);
    const bool valid = c.diagnostics.empty();
    EXPECT_EQ(valid ? 1 : 0, parsed.result);
    EXPECT_EQ(valid ? 0 : ERANGE, parsed.error);
    EXPECT_EQ(c.diagnostics, parsed.diagnostics);
    EXPECT_EQ(c.width, parsed.glyph.width);
    EXPECT_EQ(c.strokes.size(), parsed.glyph.stroke_count);
    EXPECT_EQ(c.strokes, strokes_of(parsed.glyph));
  }
}

std::vector<std::string> rowmans_lines() {
  std::ifstream file(PADSCOPE_ROWMANS, std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);) lines.push_back(line);
  return lines;
}

// Each cut of a real line fails cleanly unless it is the whole line; the
// sanitizer build catches reads past the end.
TEST(JhfLine, EveryPrefixOfRowmansParsesOnlyWhenComplete) {
  const auto lines = rowmans_lines();
  ASSERT_EQ(96u, lines.size());
  for (const std::string& line : lines) {
    for (std::size_t length = 0; length <= line.size(); ++length) {
      Parsed parsed;
      parse(line.substr(0, length), parsed);
      ASSERT_EQ(length == line.size(), parsed.result == 1) << line << length;
    }
  }
}

class LinesSource : public HersheyFont::BufferAdapter {
public:
  explicit LinesSource(std::vector<std::string> lines) : lines(lines) {}
  int read_line(char* buffer, int capacity) override {
    if (next == lines.size()) return 0;
    std::string line = lines[next++] + "\n";
    line.resize(std::min<std::size_t>(line.size(), capacity - 1));
    std::memcpy(buffer, line.c_str(), line.size() + 1);
    return static_cast<int>(line.size());
  }
  void open() override { next = 0; }
  void close() override {}

private:
  std::vector<std::string> lines;
  std::size_t next = 0;
};

// The exception's message, or "" when the font loads.
std::string load(HersheyFont& font, const std::vector<std::string>& lines,
                 std::string* diagnostics = nullptr) {
  LinesSource source(lines);
  std::string message;
  testing::internal::CaptureStderr();
  try {
    font.load(source);
  } catch (const hersheyfont::HersheyFontException& e) {
    message = e.what();
  }
  const std::string err = testing::internal::GetCapturedStderr();
  if (diagnostics) *diagnostics = err;
  return message;
}

TEST(HersheyFont, MeasuresRowmansStrokesGrownByHalfTheThickness) {
  HersheyFont font(1, 1);
  ASSERT_EQ("", load(font, rowmans_lines()));
  EXPECT_EQ(16, font.glyph(' ').width);
  EXPECT_EQ(3, font.glyph('R').stroke_count);
  EXPECT_EQ(QRectF(-0.075, -0.075, 0.15, 0.15), font.bounding_rect(0.15, ""));
  EXPECT_EQ(QRectF(0.115, -1.0725, 1.48, 1.1475),
            font.bounding_rect(0.15, "R1"));
  // Codes without a glyph draw nothing and take no room, UTF-8 bytes too.
  for (const char* text : {"\x01R1\x1F",
                           "R\xC3\xA9"
                           "1\xFF"}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(font.bounding_rect(0.15, "R1"), font.bounding_rect(0.15, text));
  }
}

TEST(HersheyFont, RefusesBadFontsKeepingWhatItRead) {
  auto lines = rowmans_lines();
  lines[3] = "  714  8MWRFRT RRYQZR[SZRY";
  HersheyFont font(1, 1);
  std::string diagnostics;
  EXPECT_EQ("Invalid font", load(font, lines, &diagnostics));
  EXPECT_EQ(kDiag + "expected 16 (not 18) coord bytes for nverts=8\n",
            diagnostics);
  EXPECT_EQ(2, font.glyph(34).stroke_count);  // '"', read before the bad line
  EXPECT_EQ(0, font.glyph(36).stroke_count);

  lines.assign(224, kStems);  // codes 32 to 255
  EXPECT_EQ("", load(font, lines));
  EXPECT_EQ(2, font.glyph(255).stroke_count);
  lines.push_back(kStems);
  EXPECT_EQ("Invalid font", load(font, lines));
}

// What a font would draw: every glyph's pen moves.
class MoveList : public HersheyFont::PainterAdapter {
public:
  void move_to(double x, double y) override { moves.push_back({'M', x, y}); }
  void line_to(double x, double y) override { moves.push_back({'L', x, y}); }
  void end_stroke() override { moves.push_back({'E', 0, 0}); }

  struct Move {
    char kind;
    double x, y;
    bool operator==(const Move& o) const {
      return kind == o.kind && x == o.x && y == o.y;
    }
  };
  std::vector<Move> moves;
};

std::vector<MoveList::Move> every_glyph(const HersheyFont& font) {
  MoveList out;
  for (int code = 0; code < HersheyFont::kGlyphSlots; ++code) {
    font.draw_glyph(out, 0, static_cast<unsigned char>(code));
    out.end_stroke();  // between glyphs
  }
  return out.moves;
}

TEST(HersheyFont, ACopyOwnsTheSameGlyphsAtItsOwnScale) {
  auto prototype = std::make_unique<HersheyFont>(1, 1);
  ASSERT_EQ("", load(*prototype, rowmans_lines()));
  HersheyFont same(*prototype, 1, 1);
  HersheyFont wide(*prototype, 2, 1);
  const auto expected = every_glyph(*prototype);
  const QRectF r1 = prototype->bounding_rect(0.15, "R1");
  prototype.reset();  // the copies keep their own strokes
  EXPECT_EQ(every_glyph(same), expected);
  EXPECT_EQ(same.bounding_rect(0.15, "R1"), r1);
  for (int code = 32; code < 128; ++code) {
    SCOPED_TRACE(code);
    EXPECT_EQ(same.glyph(code).width, wide.glyph(code).width);
    EXPECT_EQ(same.glyph(code).glyph_number, wide.glyph(code).glyph_number);
    EXPECT_EQ(same.glyph(code).stroke_count, wide.glyph(code).stroke_count);
  }
  EXPECT_DOUBLE_EQ(wide.bounding_rect(0, "R1").width(),
                   2 * same.bounding_rect(0, "R1").width());
  // A copy loads a file of its own like any font.
  EXPECT_EQ("", load(wide, {kStems}));
  EXPECT_EQ(2, wide.glyph(32).stroke_count);
  EXPECT_EQ(0, wide.glyph('R').stroke_count);
  // A copy of a font never loaded has no glyphs either.
  const HersheyFont empty(1, 1);
  const HersheyFont copy(empty, 1, 1);
  MoveList none;
  EXPECT_EQ(0, copy.draw_glyph(none, 0, 'R'));
  EXPECT_TRUE(none.moves.empty());
}

}  // namespace
