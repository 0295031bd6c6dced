#pragma once

#include <QRectF>

#include <climits>
#include <cstdint>
#include <string>

namespace hersheyfont {

struct Vertex {
  std::int16_t x;  // from the glyph's left position
  std::int16_t y;  // upward from the baseline
};

// One polyline of a glyph. It is allocated with room for its vertices,
// which follow the record in the same block.
struct Stroke {
  Stroke* next;
  std::uint16_t vertex_count;

  Vertex* vertices() { return reinterpret_cast<Vertex*>(this + 1); }
  const Vertex* vertices() const {
    return reinterpret_cast<const Vertex*>(this + 1);
  }
};

struct Glyph {
  std::uint32_t glyph_number;
  std::uint16_t width;  // advance in font units
  std::uint16_t stroke_count;
  Stroke* strokes;  // owned, in file order
};

// Parses one JHF line into `glyph`, which must be zero-filled or hold the
// strokes of an earlier parse (they are freed). Cuts the line end off
// `line`. Returns 1 on success and 0 on failure, with errno set as the
// C library's parsers do and a diagnostic on stderr for a bad length,
// vertex count or left position.
int hershey_jhf_load_glyph(Glyph& glyph, char* line);

// Frees the strokes of `glyph` and leaves it with none.
void hershey_free_strokes(Glyph& glyph);

class HersheyFont {
public:
  // Supplies the lines of a JHF file. Not deleted through this interface.
  class BufferAdapter {
  public:
    // Bytes placed in `buffer`, NUL-terminated, line end included; 0 at the
    // end of the source.
    virtual int read_line(char* buffer, int capacity) = 0;
    // Throws HersheyFontException when the source cannot be read.
    virtual void open() = 0;
    virtual void close() = 0;

  protected:
    ~BufferAdapter() = default;
  };

  // Receives the pen moves of the strokes, in output coordinates.
  class PainterAdapter {
  public:
    virtual void move_to(double x, double y) = 0;
    virtual void line_to(double x, double y) = 0;
    virtual void end_stroke() = 0;

  protected:
    ~PainterAdapter() = default;
  };

  static constexpr int kGlyphSlots = 256;
  static constexpr int kFirstCode = 32;
  static constexpr int kLineCapacity = 16384;
  // The last offset a glyph is drawn at: advances are at most 255 units.
  static constexpr int kMostAdvance = INT_MAX - 255;

  HersheyFont(double scale_x, double scale_y);
  // A font of its own with the glyphs of `prototype` (loaded or not) at
  // other scales: copying is much cheaper than parsing the file again.
  HersheyFont(const HersheyFont& prototype, double scale_x, double scale_y);
  // The glyphs of `prototype` at other scales, not copied: `prototype` must
  // outlive this font and stay unchanged while it is used.
  struct Borrowed {};
  HersheyFont(const HersheyFont& prototype, double scale_x, double scale_y,
              Borrowed);
  virtual ~HersheyFont();
  HersheyFont(const HersheyFont&) = delete;
  HersheyFont& operator=(const HersheyFont&) = delete;

  // Line i of the source becomes the glyph of code 32 + i. Throws
  // HersheyFontException: "Failed to load file:" from the source,
  // "Invalid font" for a bad line or more lines than codes 32 to 255.
  void load(BufferAdapter& source);

  // Sends the strokes for `code`, shifted right by `x_offset` font units, to
  // `out`; returns the glyph's advance.
  int draw_glyph(PainterAdapter& out, int x_offset, unsigned char code) const;

  // Draws the bytes of `text` from x = 0 with the baseline at y = 0, y
  // pointing down. An italic text leans right by 1/8 of the height.
  void draw_text(PainterAdapter& out, const std::string& text,
                 bool italic = false) const;
  // The same upright, to an `out` of any type with the adapter's three
  // calls: made in line, without a virtual call for every point.
  template <typename Out>
  void draw_upright(Out& out, const std::string& text) const;

  // The extent of the strokes `draw_text` would send, grown by half the
  // thickness on every side.
  QRectF bounding_rect(double thickness, const std::string& text,
                       bool italic = false) const;

  // The glyph for `code`; an empty one before `load`.
  const Glyph& glyph(unsigned char code) const;

private:
  template <typename Out>
  int draw_glyph_to(Out& out, int x_offset, unsigned char code) const;
  void release();

  Glyph* glyphs;
  // The strokes of a copied font, all in one block; null for a loaded one,
  // whose strokes are allocated one by one.
  void* stroke_block = nullptr;
  // False while `glyphs` are another font's.
  bool owns_glyphs = true;
  double unit;
  double scale_x;
  double scale_y;
};

template <typename Out>
int HersheyFont::draw_glyph_to(Out& out, int x_offset,
                               unsigned char code) const {
  if (!glyphs) return 0;
  const Glyph& glyph = glyphs[code];
  for (const Stroke* stroke = glyph.strokes; stroke; stroke = stroke->next) {
    const Vertex* vertices = stroke->vertices();
    for (std::uint16_t i = 0; i < stroke->vertex_count; ++i) {
      const double x = (vertices[i].x + x_offset) * unit * scale_x;
      const double y = -(vertices[i].y * unit * scale_y);
      if (i == 0)
        out.move_to(x, y);
      else
        out.line_to(x, y);
    }
    out.end_stroke();
  }
  return glyph.width;
}

template <typename Out>
void HersheyFont::draw_upright(Out& out, const std::string& text) const {
  int advance = 0;
  for (const char c : text) {
    // Advances are at most 255 units; stop short of overflowing the offset.
    if (advance > kMostAdvance) break;
    advance += draw_glyph_to(out, advance, static_cast<unsigned char>(c));
  }
}

}  // namespace hersheyfont
