#pragma once

#include <QPolygonF>

#include <string>
#include <vector>

namespace zcore {
class basenode;
}

namespace zwidget::zcvpcb {

// A footprint's dimension as KiCad draws it: the measured line, extension
// lines and arrowheads as open polylines, and the text it shows.
struct DimensionShape {
  std::vector<QPolygonF> strokes;
  double thickness = 0;
  // The dimension's `gr_text`, which places its text; null for a centre
  // mark, which has none.
  const zcore::basenode* text = nullptr;
  std::string shown;
};

// For the aligned, orthogonal, leader, center and radial kinds.
DimensionShape dimension_shape(const zcore::basenode* dimension);

// A length in millimetres as `(format ...)` writes it: its units and their
// display, precision, zeros suppressed or not, prefix and suffix; or the
// override text with the prefix and suffix.
std::string dimension_text(double millimetres, const zcore::basenode* format);

}  // namespace zwidget::zcvpcb
