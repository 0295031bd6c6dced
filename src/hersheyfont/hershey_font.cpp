#include "hersheyfont/hershey_font.h"

#include "hersheyfont/hershey_font_exception.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

namespace hersheyfont {

namespace {

const char* const kParserName = "hershey_jhf_load_glyph";

// Measures the pen moves it receives.
class CalcAdapter : public HersheyFont::PainterAdapter {
public:
  void move_to(double x, double y) override {
    if (first) {
      first = false;
      rect = QRectF(x, y, 0, 0);
    } else {
      extend(x, y);
    }
  }
  void line_to(double x, double y) override { extend(x, y); }
  void end_stroke() override {}

  QRectF rect{0, 0, 0, 0};
  bool first = true;

private:
  void extend(double x, double y) {
    if (x < rect.left())
      rect.setLeft(x);
    else if (x > rect.right())
      rect.setRight(x);
    if (y < rect.top())
      rect.setTop(y);
    else if (y > rect.bottom())
      rect.setBottom(y);
  }
};

// Leans every point right by an eighth of its height above the baseline.
class SlantAdapter : public HersheyFont::PainterAdapter {
public:
  explicit SlantAdapter(HersheyFont::PainterAdapter& out) : out(out) {}
  void move_to(double x, double y) override { out.move_to(x - y / 8, y); }
  void line_to(double x, double y) override { out.line_to(x - y / 8, y); }
  void end_stroke() override { out.end_stroke(); }

private:
  HersheyFont::PainterAdapter& out;
};

// strtoul over exactly `width` characters; errno tells the caller.
unsigned long read_number(const char* field, std::size_t width) {
  char copy[8] = {};
  std::memcpy(copy, field, width);
  return std::strtoul(copy, nullptr, 10);
}

int coordinate(char c) {
  return static_cast<signed char>(c) - 'R';
}

bool is_pen_up(const char* line, unsigned long pair) {
  return line[8 + 2 * pair] == ' ' && line[9 + 2 * pair] == 'R';
}

// The room a stroke takes in a block of strokes, the next one aligned.
std::size_t stroke_size(std::uint16_t vertex_count) {
  const std::size_t bytes = sizeof(Stroke) + vertex_count * sizeof(Vertex);
  return (bytes + alignof(Stroke) - 1) / alignof(Stroke) * alignof(Stroke);
}

Stroke* new_stroke(std::uint16_t vertex_count) {
  void* block = ::operator new(sizeof(Stroke) + vertex_count * sizeof(Vertex));
  return new (block) Stroke{nullptr, vertex_count};
}

int fail() {
  errno = ERANGE;
  return 0;
}

}  // namespace

int hershey_jhf_load_glyph(Glyph& glyph, char* line) {
  std::size_t length = std::strlen(line);
  while (length > 0 && (line[length - 1] == '\r' || line[length - 1] == '\n'))
    line[--length] = '\0';
  const int line_length = static_cast<int>(length);
  if (line_length < 10) {
    std::fprintf(stderr, "%s: line length %d is too short\n", kParserName,
                 line_length);
    return fail();
  }

  errno = 0;
  const unsigned long number = read_number(line, 5);
  if (errno) return 0;
  const unsigned long nverts = read_number(line + 5, 3);
  if (errno) return 0;

  const int coord_bytes = line_length - 8;
  if (2 * nverts != static_cast<unsigned long>(coord_bytes)) {
    std::fprintf(stderr, "%s: expected %d (not %d) coord bytes for nverts=%u\n",
                 kParserName, static_cast<int>(2 * nverts), coord_bytes,
                 static_cast<unsigned>(nverts));
    return fail();
  }

  const int left = coordinate(line[8]);
  const int right = coordinate(line[9]);
  if (left > right) {
    std::fprintf(stderr, "%s: bogus leftpos %d > rightpos %d\n", kParserName,
                 left, right);
    return fail();
  }

  hershey_free_strokes(glyph);
  glyph.glyph_number = static_cast<std::uint32_t>(number);
  glyph.width = static_cast<std::uint16_t>(right - left);

  // Pair k sits in columns 9 + 2k and 10 + 2k; a stroke runs from the pair
  // after the last pen-up marker to the pair before the next one.
  Stroke** tail = &glyph.strokes;
  unsigned long first_pair = 1;
  for (unsigned long k = 1; k < nverts; ++k) {
    if (is_pen_up(line, k)) first_pair = k + 1;
    if (k + 1 < nverts && !is_pen_up(line, k + 1)) continue;
    const auto count = static_cast<std::uint16_t>(k + 1 - first_pair);
    Stroke* stroke = new_stroke(count);
    Vertex* vertices = stroke->vertices();
    for (std::uint16_t i = 0; i < count; ++i) {
      const char* pair = line + 8 + 2 * (first_pair + i);
      new (&vertices[i])
          Vertex{static_cast<std::int16_t>(coordinate(pair[0]) - left),
                 static_cast<std::int16_t>(9 - coordinate(pair[1]))};
    }
    *tail = stroke;
    tail = &stroke->next;
    ++glyph.stroke_count;
  }
  return 1;
}

void hershey_free_strokes(Glyph& glyph) {
  Stroke* stroke = glyph.strokes;
  while (stroke) {
    Stroke* next = stroke->next;
    stroke->~Stroke();
    ::operator delete(stroke);
    stroke = next;
  }
  glyph.strokes = nullptr;
  glyph.stroke_count = 0;
}

HersheyFont::HersheyFont(double scale_x, double scale_y)
    : glyphs(nullptr), unit(0.0475), scale_x(scale_x), scale_y(scale_y) {
}

HersheyFont::HersheyFont(const HersheyFont& prototype, double scale_x,
                         double scale_y)
    : HersheyFont(scale_x, scale_y) {
  if (!prototype.glyphs) return;
  std::size_t bytes = 0;
  for (int code = 0; code < kGlyphSlots; ++code) {
    for (const Stroke* stroke = prototype.glyphs[code].strokes; stroke;
         stroke = stroke->next)
      bytes += stroke_size(stroke->vertex_count);
  }
  glyphs = new Glyph[kGlyphSlots]();
  stroke_block = ::operator new(bytes);
  auto* next = static_cast<char*>(stroke_block);
  for (int code = 0; code < kGlyphSlots; ++code) {
    const Glyph& original = prototype.glyphs[code];
    Glyph& glyph = glyphs[code];
    glyph.glyph_number = original.glyph_number;
    glyph.width = original.width;
    glyph.stroke_count = original.stroke_count;
    Stroke** tail = &glyph.strokes;
    for (const Stroke* stroke = original.strokes; stroke;
         stroke = stroke->next) {
      Stroke* copy = new (next) Stroke{nullptr, stroke->vertex_count};
      std::memcpy(static_cast<void*>(copy->vertices()), stroke->vertices(),
                  stroke->vertex_count * sizeof(Vertex));
      *tail = copy;
      tail = &copy->next;
      next += stroke_size(stroke->vertex_count);
    }
  }
}

HersheyFont::HersheyFont(const HersheyFont& prototype, double scale_x,
                         double scale_y, Borrowed)
    : HersheyFont(scale_x, scale_y) {
  glyphs = prototype.glyphs;
  owns_glyphs = false;
}

HersheyFont::~HersheyFont() {
  release();
}

void HersheyFont::release() {
  if (!owns_glyphs) {
    glyphs = nullptr;
    owns_glyphs = true;
    return;
  }
  if (!glyphs) return;
  if (stroke_block) {
    ::operator delete(stroke_block);
    stroke_block = nullptr;
  } else {
    for (int code = 0; code < kGlyphSlots; ++code)
      hershey_free_strokes(glyphs[code]);
  }
  delete[] glyphs;
  glyphs = nullptr;
}

void HersheyFont::load(BufferAdapter& source) {
  source.open();
  release();
  glyphs = new Glyph[kGlyphSlots]();
  std::vector<char> line(kLineCapacity);
  bool valid = true;
  for (int code = kFirstCode; valid; ++code) {
    const int read = source.read_line(line.data(), kLineCapacity);
    if (read <= 0) break;
    line[read < kLineCapacity ? read : kLineCapacity - 1] = '\0';
    // A line past code 255 has no slot: the file is not a font we can hold.
    valid = code < kGlyphSlots &&
            hershey_jhf_load_glyph(glyphs[code], line.data()) == 1;
  }
  source.close();
  if (!valid) throw HersheyFontException("Invalid font");
}

int HersheyFont::draw_glyph(PainterAdapter& out, int x_offset,
                            unsigned char code) const {
  return draw_glyph_to(out, x_offset, code);
}

void HersheyFont::draw_text(PainterAdapter& out, const std::string& text,
                            bool italic) const {
  SlantAdapter slanted(out);
  draw_upright(italic ? slanted : out, text);
}

QRectF HersheyFont::bounding_rect(double thickness, const std::string& text,
                                  bool italic) const {
  CalcAdapter calc;
  draw_text(calc, text, italic);
  const double half = thickness / 2;
  return calc.rect.adjusted(-half, -half, half, half);
}

const Glyph& HersheyFont::glyph(unsigned char code) const {
  static const Glyph empty{};
  return glyphs ? glyphs[code] : empty;
}

}  // namespace hersheyfont
