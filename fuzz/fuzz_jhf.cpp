#include "hersheyfont/hershey_font.h"
#include "hersheyfont/hershey_font_exception.h"

#include <QBuffer>
#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

void check(bool condition) {
  if (!condition) std::abort();
}

// Lines from memory through QIODevice::readLine, as the text item's file
// adapter reads the font resource.
class MemoryAdapter : public hersheyfont::HersheyFont::BufferAdapter {
public:
  explicit MemoryAdapter(const QByteArray& bytes) : bytes(bytes) {}
  int read_line(char* buffer, int capacity) override {
    const qint64 read = device.readLine(buffer, capacity);
    return read < 0 ? 0 : static_cast<int>(read);
  }
  void open() override {
    device.setData(bytes);
    device.open(QIODevice::ReadOnly);
  }
  void close() override { device.close(); }

private:
  QByteArray bytes;
  QBuffer device;
};

// Checks that a stroke's vertices start with a move; a stroke between two
// pen-up markers has none and only ends.
class CountAdapter : public hersheyfont::HersheyFont::PainterAdapter {
public:
  void move_to(double, double) override {
    check(!open);
    open = true;
    ++moves;
  }
  void line_to(double, double) override { check(open); }
  void end_stroke() override { open = false; }

  bool open = false;
  std::size_t moves = 0;
};

void check_glyph(const hersheyfont::Glyph& glyph) {
  std::uint16_t strokes = 0;
  for (const hersheyfont::Stroke* stroke = glyph.strokes; stroke;
       stroke = stroke->next)
    ++strokes;
  check(strokes == glyph.stroke_count);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const char* bytes = reinterpret_cast<const char*>(data);

  // The glyph parser alone, on the first line, parsed twice into one glyph
  // so the second parse frees the first one's strokes.
  std::vector<char> line(bytes, bytes + size);
  line.push_back('\0');
  hersheyfont::Glyph glyph{};
  for (int pass = 0; pass < 2; ++pass) {
    std::vector<char> copy = line;
    if (hersheyfont::hershey_jhf_load_glyph(glyph, copy.data()) == 1)
      check_glyph(glyph);
  }
  hersheyfont::hershey_free_strokes(glyph);
  check(glyph.strokes == nullptr && glyph.stroke_count == 0);

  // The whole input as a font file, then drawn and measured.
  hersheyfont::HersheyFont font(1.0, 1.0);
  MemoryAdapter source(QByteArray(bytes, static_cast<int>(size)));
  try {
    font.load(source);
  } catch (const hersheyfont::HersheyFontException&) {
    return 0;
  }
  std::string text;
  for (int code = 0; code < hersheyfont::HersheyFont::kGlyphSlots; ++code) {
    check_glyph(font.glyph(static_cast<unsigned char>(code)));
    text.push_back(static_cast<char>(code));
  }
  CountAdapter count;
  font.draw_text(count, text, true);
  check(!count.open);
  (void)font.bounding_rect(1.0, text);
  return 0;
}
