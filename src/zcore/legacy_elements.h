#pragma once

#include "zcore/legacy_model.h"
#include "zcore/point.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zcore {

// The drawing elements of a legacy module, each built from one record and
// holding copies of its values in the file's units. A record too short for
// its layout throws ModelException "Not enough parameters"; one with
// another tag throws "Unknown tag...".
class l_assist {};

class l_has_layer : private l_assist {
public:
  virtual ~l_has_layer() = default;

  std::string layer;
};

class l_base : public l_has_layer {
public:
  double width = 0;
};

// DS: a segment from (x1, y1) to (x2, y2).
class l_line : public l_base {
public:
  explicit l_line(const record& r);

  double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

// DC: centre (x1, y1) and a point (x2, y2) on the circle.
class l_circle : public l_base {
public:
  explicit l_circle(const record& r);

  double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

// DA: centre (x1, y1), start (x2, y2), sweep `angle` in tenths of a degree.
class l_arc : public l_base {
public:
  explicit l_arc(const record& r);

  double x1 = 0, y1 = 0, x2 = 0, y2 = 0, angle = 0;
};

// DP: a polygon of `count` corners, which follow it as `Dl x y` records.
class l_poly : public l_base {
public:
  // Leaves `corners` empty.
  explicit l_poly(const record& r);
  // The polygon at records[dp_index] with the `Dl` records after it, at
  // most `count` of them, up to the first record of another tag.
  static l_poly with_corners(const std::vector<record>& records,
                             std::size_t dp_index);

  std::vector<point> corners;
  std::int64_t count = 0;
};

// T0, T1, T2, ...: a text; orientation in tenths of a degree. Older files
// leave out the italic flag, or the layer too, and keep the text last.
class l_text : public l_has_layer {
public:
  explicit l_text(const record& r);

  std::string kind;
  std::string text;
  double x = 0, y = 0, orientation = 0;
  bool hidden = false, mirrored = false;
  double size_x = 0, size_y = 0, pen_width = 0;
  bool italic = false;
  std::string tag;
};

}  // namespace zcore
