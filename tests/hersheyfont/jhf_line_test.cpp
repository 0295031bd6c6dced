#include "hersheyfont/hershey_font.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace {

using hersheyfont::Glyph;
using hersheyfont::hershey_free_strokes;
using hersheyfont::hershey_jhf_load_glyph;
using Points = std::vector<std::pair<int, int>>;

struct Parsed {
  int result = 0;
  int error = 0;
  std::string diagnostics;
  Glyph glyph{};
  ~Parsed() { hershey_free_strokes(glyph); }
};

// Parses a copy of `line`, keeping what the parser wrote to stderr.
void parse(const std::string& line, Parsed& out) {
  std::vector<char> buffer(line.begin(), line.end());
  buffer.push_back('\0');
  errno = EINVAL;
  testing::internal::CaptureStderr();
  out.result = hershey_jhf_load_glyph(out.glyph, buffer.data());
  out.error = errno;
  out.diagnostics = testing::internal::GetCapturedStderr();
}

std::vector<Points> strokes_of(const Glyph& glyph) {
  std::vector<Points> strokes;
  for (auto* stroke = glyph.strokes; stroke; stroke = stroke->next) {
    Points points;
    for (int i = 0; i < stroke->vertex_count; ++i)
      points.emplace_back(stroke->vertices()[i].x, stroke->vertices()[i].y);
    strokes.push_back(points);
  }
  return strokes;
}

struct LineCase {
  const char* name;
  std::string line;
  int result;
  int error;
  const char* diagnostics;
  unsigned number;
  int width;
  std::vector<Points> strokes;
};

const std::string kTwoStems = "  717  6JZNFNM RVFVM";
const std::vector<Points> kTwoStemsStrokes = {{{4, 21}, {4, 14}},
                                              {{12, 21}, {12, 14}}};

const LineCase kLines[] = {
    {"blank", "  699  1JZ", 1, 0, "", 699, 16, {}},
    {"two strokes", kTwoStems, 1, 0, "", 717, 16, kTwoStemsStrokes},
    {"LF", kTwoStems + "\n", 1, 0, "", 717, 16, kTwoStemsStrokes},
    {"CR LF", kTwoStems + "\r\n", 1, 0, "", 717, 16, kTwoStemsStrokes},
    {"mixed line ends", kTwoStems + "\r\r\n\n", 1, 0, "", 717, 16,
     kTwoStemsStrokes},
    {"two markers in a row",
     "  800  5JZNF R RVF",
     1,
     0,
     "",
     800,
     16,
     {{{4, 21}}, {}, {{12, 21}}}},
    {"marker as the last pair",
     "  801  3JZNF R",
     1,
     0,
     "",
     801,
     16,
     {{{4, 21}}, {}}},
    {"vertex count one short",
     "  714  8MWRFRT RRYQZR[SZRY",
     0,
     ERANGE,
     "hershey_jhf_load_glyph: expected 16 (not 18) coord bytes for nverts=8\n",
     0,
     0,
     {}},
    {"vertex count not a number",
     "  699  xJZ",
     0,
     ERANGE,
     "hershey_jhf_load_glyph: expected 0 (not 2) coord bytes for nverts=0\n",
     0,
     0,
     {}},
    {"left right of right",
     "  717  6ZJNFNM RVFVM",
     0,
     ERANGE,
     "hershey_jhf_load_glyph: bogus leftpos 8 > rightpos -8\n",
     0,
     0,
     {}},
    {"nine characters",
     "  699  1J",
     0,
     ERANGE,
     "hershey_jhf_load_glyph: line length 9 is too short\n",
     0,
     0,
     {}},
    {"nine characters and CR LF",
     "  699  1J\r\n",
     0,
     ERANGE,
     "hershey_jhf_load_glyph: line length 9 is too short\n",
     0,
     0,
     {}},
    {"empty line",
     "\n",
     0,
     ERANGE,
     "hershey_jhf_load_glyph: line length 0 is too short\n",
     0,
     0,
     {}},
};

TEST(JhfLine, ParsesOrReportsEachCase) {
  for (const LineCase& c : kLines) {
    SCOPED_TRACE(c.name);
    Parsed parsed;
    parse(c.line, parsed);
    EXPECT_EQ(c.result, parsed.result);
    EXPECT_EQ(c.error, parsed.error);
    EXPECT_EQ(c.diagnostics, parsed.diagnostics);
    EXPECT_EQ(c.number, parsed.glyph.glyph_number);
    EXPECT_EQ(c.width, parsed.glyph.width);
    EXPECT_EQ(c.strokes.size(), parsed.glyph.stroke_count);
    EXPECT_EQ(c.strokes, strokes_of(parsed.glyph));
  }
}

TEST(JhfLine, ReparsingAGlyphReplacesItsStrokes) {
  Parsed parsed;
  parse(kTwoStems, parsed);
  parse("  800  5JZNF R RVF", parsed);
  EXPECT_EQ(3, parsed.glyph.stroke_count);
  EXPECT_EQ(3u, strokes_of(parsed.glyph).size());
}

// Every cut of every line of a real font either is the whole line and
// parses, or fails cleanly; the sanitizer build catches stray reads.
TEST(JhfLine, EveryPrefixOfRowmansParsesOnlyWhenComplete) {
  std::ifstream file(PADSCOPE_FONT_DIR "/rowmans.jhf", std::ios::binary);
  ASSERT_TRUE(file.is_open());
  std::string line;
  int lines = 0;
  while (std::getline(file, line)) {
    ++lines;
    for (std::size_t length = 0; length <= line.size(); ++length) {
      Parsed parsed;
      parse(line.substr(0, length), parsed);
      ASSERT_EQ(length == line.size() ? 1 : 0, parsed.result)
          << "line " << lines << " cut at " << length;
    }
  }
  EXPECT_EQ(96, lines);
}

}  // namespace
