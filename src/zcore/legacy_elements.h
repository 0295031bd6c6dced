#pragma once

#include "zcore/legacy_model.h"
#include "zcore/point.h"

#include <cstddef>
#include <cstdint>
#include <optional>
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

  // The sweep in degrees as KiCad takes it: reduced by whole turns, but a
  // multiple of a turn stays a full circle.
  double sweep() const;

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

// $PAD ... $EndPAD: one pad, from the records of its block, in the file's
// units. `Sh "NUM" SHAPE SX SY DX DY ORIENT` gives the number, the shape
// (C, R, O or T), the size, the trapezoid's deltas and the orientation in
// tenths of a degree; `Dr D OX OY [O DX DY]` the drill, round or oblong,
// and its offset; `At TYPE N MASK` the type (STD, SMD, CONN or HOLE) and
// the hexadecimal layer mask; `Po X Y` the position; the dot records the
// pad's own margins and die length. A record missing from the block, too short
// or with an unknown value leaves its fields at their defaults and adds a
// message to `faults`; the pad is built all the same.
class l_pad {
public:
  // The pad whose `$PAD` is records[first], up to its `$EndPAD`. Throws
  // "Unknown tag. Must be $PAD" for another record, and "Not enough
  // parameters" past the records.
  l_pad(const std::vector<record>& records, std::size_t first);

  // Bit 15 of the layer mask, the front copper; bit 0, the back copper.
  bool front() const { return (layer_mask >> 15) & 1; }
  bool back() const { return layer_mask & 1; }
  // The type and shape in the `.kicad_mod` keywords (thru_hole, circle,
  // ...).
  std::string kicad_type() const;
  std::string kicad_shape() const;
  // The layers of the mask by their `.kicad_mod` names, the copper first;
  // the inner copper layers are left out.
  std::vector<std::string> layers() const;

  std::string number;
  std::string shape = "C";
  double size_x = 0, size_y = 0, delta_x = 0, delta_y = 0, orientation = 0;
  // The hole's size: the diameter twice for a round drill; 0 for none.
  double drill_x = 0, drill_y = 0, drill_offset_x = 0, drill_offset_y = 0;
  bool oblong_drill = false;
  std::string type = "STD";
  // All copper layers and both masks, as most through-hole pads carry.
  std::uint32_t layer_mask = 0x00C0FFFF;
  double x = 0, y = 0;
  // The pad's own values; empty where the block leaves the module's.
  std::optional<double> solder_mask_margin, solder_paste_margin,
      solder_paste_ratio, clearance, thermal_width, thermal_gap;
  std::optional<std::int64_t> zone_connection;
  // `Le L`: the length of the bond wire inside the package.
  std::optional<double> die_length;
  // What the block lacked or held unreadable, one message per record.
  std::vector<std::string> faults;

private:
  void read(const record& r);
};

// The `.kicad_mod` name of the layer a legacy layer number stands for, such
// as B.SilkS for 20; empty for the inner copper layers (1 to 14) and for
// numbers outside 0 to 28.
std::string legacy_layer_name(int number);

}  // namespace zcore
