#include "zcore/legacy_elements.h"

#include "zcore/model_exception.h"
#include "zcore/to_double.h"

#include <cstdlib>

namespace zcore {

namespace {

void require_tag(const record& r, bool (*is_tag)(const std::string&),
                 const char* message) {
  if (!is_tag(field(r, 0))) throw ModelException(message);
}

double number(const record& r, std::size_t i) {
  return to_double(field(r, i));
}

// Field 1 to 4 as two points, the layout DS, DC and DA share.
template <class Element>
void read_two_points(Element& e, const record& r) {
  e.x1 = number(r, 1);
  e.y1 = number(r, 2);
  e.x2 = number(r, 3);
  e.y2 = number(r, 4);
}

// The front silkscreen, where older files without a layer field put texts.
const char* const kFrontSilkscreen = "21";

}  // namespace

l_line::l_line(const record& r) {
  require_tag(r, is_line_tag, "Unknown tag. Must be DS");
  read_two_points(*this, r);
  width = number(r, 5);
  layer = field(r, 6);
}

l_circle::l_circle(const record& r) {
  require_tag(r, is_circle_tag, "Unknown tag. Must be DC");
  read_two_points(*this, r);
  width = number(r, 5);
  layer = field(r, 6);
}

l_arc::l_arc(const record& r) {
  require_tag(r, is_arc_tag, "Unknown tag. Must be DA");
  read_two_points(*this, r);
  angle = number(r, 5);
  width = number(r, 6);
  layer = field(r, 7);
}

l_poly::l_poly(const record& r) {
  require_tag(r, is_poly_tag, "Unknown tag. Must be DP");
  // strtoll rather than atoi: the same for counts in int range, and
  // defined for the huge counts of broken files.
  count = std::strtoll(field(r, 5).c_str(), nullptr, 10);
  width = number(r, 6);
  layer = field(r, 7);
}

l_poly l_poly::with_corners(const std::vector<record>& records,
                            std::size_t dp_index) {
  if (dp_index >= records.size()) throw ModelException("Not enough parameters");
  l_poly poly(records[dp_index]);
  // Grows with the corners found, never by the count the file claims.
  for (std::size_t i = dp_index + 1;
       i < records.size() &&
       static_cast<std::int64_t>(poly.corners.size()) < poly.count &&
       is_corner_tag(records[i][0]);
       ++i) {
    poly.corners.push_back({number(records[i], 1), number(records[i], 2)});
  }
  return poly;
}

l_text::l_text(const record& r) {
  require_tag(r, is_text_tag, "Unknown tag");
  tag = field(r, 0);
  x = number(r, 1);
  y = number(r, 2);
  size_y = number(r, 3);
  size_x = number(r, 4);
  orientation = number(r, 5);
  pen_width = number(r, 6);
  mirrored = field(r, 7) == "M";
  hidden = field(r, 8) == "I";
  if (r.size() >= 12) {
    layer = field(r, 9);
    italic = field(r, 10) == "I";
    text = field(r, 11);
  } else {
    // Older layouts keep the text last: no italic flag (11 fields), or no
    // layer either (10).
    text = r.size() >= 11 ? r[10] : field(r, 9);
    layer = r.size() >= 11 ? r[9] : kFrontSilkscreen;
  }
}

}  // namespace zcore
