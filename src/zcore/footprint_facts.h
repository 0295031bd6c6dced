#pragma once

#include "zcore/point.h"

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace zcore {

class BaseModel;
class LegacyStringModel;
class basenode;

// A width and a height.
struct dimensions {
  double width = 0;
  double height = 0;
};

// An axis-aligned rectangle, x0 <= x1 and y0 <= y1.
struct box {
  double x0 = 0, y0 = 0, x1 = 0, y1 = 0;

  double width() const { return x1 - x0; }
  double height() const { return y1 - y0; }
};

// One pad as its file gives it. Lengths are millimetres rounded to the
// nanometre, KiCad's own resolution, so that 0.5 stays 0.5 (legacy units
// converted the same way); positions are relative to the footprint origin
// with y down, as in the file.
struct pad_facts {
  std::string number;
  // The pin's name and electrical type, which KiCad 7 and later may write;
  // empty when absent.
  std::string pin_function;
  std::string pin_type;
  // smd, thru_hole, np_thru_hole or connect.
  std::string type;
  // circle, rect, oval, trapezoid, roundrect, chamfered_rect or custom.
  std::string shape;
  point position;
  // Degrees, counter-clockwise on screen, as the file gives them.
  double rotation = 0;
  // The file's size, before the rotation.
  dimensions size;
  // The hole, the same both ways for a round drill; 0 by 0 for none.
  dimensions drill;
  bool slot = false;
  // Where the copper lies from the hole, in the pad's own axes.
  point drill_offset;
  // `*.Cu` and `F&B.Cu` spelt out as F.Cu and B.Cu, and so on.
  std::vector<std::string> layers;
  // The rounded corners of a roundrect, or of a chamfered_rect that is
  // rounded too: the radius, and its ratio to the shorter side.
  double roundrect_ratio = 0;
  double corner_radius = 0;
  // A chamfered_rect's cut as a ratio of the shorter side, and the corners
  // cut (top_left, top_right, bottom_left, bottom_right).
  double chamfer_ratio = 0;
  std::vector<std::string> chamfered_corners;
  // A trapezoid's `rect_delta`.
  dimensions trapezoid_delta;
  // The shapes a custom pad adds to its anchor.
  std::size_t primitives = 0;
  // What the pad sets for itself instead of taking the footprint's values.
  std::optional<double> die_length;
  std::optional<double> solder_mask_margin;
  std::optional<double> solder_paste_margin;
  std::optional<double> solder_paste_ratio;
  std::optional<double> clearance;
  // 0 none, 1 thermal relief, 2 solid, 3 thermal relief for through-holes.
  std::optional<int> zone_connection;
};

// What the footprint is mounted as.
enum class footprint_kind { smd, through_hole, mixed, board_only, unspecified };

// "SMD", "through-hole", "mixed", "board-only" or "unspecified".
const char* kind_name(footprint_kind kind);

// The figures of one footprint, in millimetres as in pad_facts.
struct footprint_facts {
  std::string name;
  std::string description;
  std::vector<std::string> tags;
  // Empty when the file gives none.
  std::string datasheet;
  // The 3D model files, as the file names them.
  std::vector<std::string> models;
  // "KiCad 5" to "KiCad 10" from the file's `(version ...)`, or "legacy".
  std::string generation;
  // The `(version ...)` of the file; 0 for none.
  long version = 0;
  // Board-only from the attributes; mixed for surface and through-hole
  // pads together; otherwise the attributes' type, else the pads'.
  footprint_kind kind = footprint_kind::unspecified;
  // In file order.
  std::vector<pad_facts> pads;
  std::map<std::string, std::size_t> pads_by_type;
  // Different numbers of the pads a net can reach: non-plated holes and
  // pads without copper carry none in KiCad, whatever the file says.
  std::size_t distinct_numbers = 0;
  // See pitch_of; empty where there is none.
  std::optional<double> pitch;
  // The extent of the graphic shapes on F.CrtYd (else B.CrtYd), and on
  // F.Fab (else B.Fab), measured along their lines' centres; empty where
  // the layers hold none.
  std::optional<dimensions> courtyard;
  std::optional<dimensions> fab;
  // What the pads' copper and the graphic shapes cover, lines as wide as
  // they are drawn; texts, zones and dimensions are left out. Empty for a
  // footprint of none of these.
  std::optional<box> bounds;
};

// The facts of a `.kicad_mod` model's footprint, or of a legacy model's
// first module; empty facts for a model of neither kind or without a
// footprint.
footprint_facts facts_of(const BaseModel& model);
footprint_facts facts_of(const basenode* root);
footprint_facts facts_of(const LegacyStringModel& model);

// The facts that figures_of reads, at a fraction of facts_of's cost for a
// `.kicad_mod`: the pads keep their number, type, position, size and layers,
// the outlines their courtyard and fabrication extents; no bounds.
footprint_facts summary_facts_of(const BaseModel& model);

// The smallest centre distance that repeats along rows of equal pads: pads
// of one type and size (either way round) whose centres share a y (or an
// x). Unnumbered pads, non-plated holes, pads without copper and groups
// whose pads all share one number (thermal vias) take no part. A QFP gives its
// pitch, a BGA its ball pitch, a 2xN header 2.54; two pads alone give none.
// Exact to the nanometre; O(n log n) in the pads.
std::optional<double> pitch_of(const std::vector<pad_facts>& pads);

// "KiCad 6" for 20211014 and the versions before it back to 2020, and so
// on up to "KiCad 10"; "KiCad 5" for older files and those without a
// version; "newer than KiCad 10" beyond.
std::string generation_of(long version);

}  // namespace zcore
