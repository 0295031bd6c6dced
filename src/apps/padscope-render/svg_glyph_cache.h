#pragma once

#include "apps/padscope-render/svg_text.h"

#include <QFont>
#include <QPointF>
#include <QRawFont>
#include <QString>

#include <vector>

// Glyph layouts and outlines, kept for the whole process: the same pad
// numbers and digits come back in footprint after footprint.
namespace padscope::render::svg {

// Glyph outlines are written in 64ths of a pixel of their font: FreeType's
// grid, on which the points of its outlines are whole numbers.
constexpr double kGlyphUnits = 64;

// A glyph as the text layout places it, relative to the item's baseline
// start, in pixels of its font.
struct PlacedGlyph {
  QRawFont font;
  quint32 index = 0;
  QPointF offset;
};

// The glyphs of a text item as QTextLayout places them: the same shaping
// that drew the item. Null when the layout holds no glyph runs. Kept by
// font, found by identity first: a QFont's key is slow to make.
const std::vector<PlacedGlyph>* layout_of(const QFont& font,
                                          const QString& text);

struct GlyphOutline {
  // Path data in glyph units; empty for a glyph without outline (a space).
  Text data;
  // Never the same for two outlines, across cache clears too.
  long long serial = 0;
};

// The outline of a glyph as path data with `decimals` digits.
const GlyphOutline& outline_of(const PlacedGlyph& glyph, int decimals);

}  // namespace padscope::render::svg
