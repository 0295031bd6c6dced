#pragma once

#include "zcore/basenode.h"
#include "zcore/point.h"

#include <string>
#include <string_view>
#include <vector>

namespace zcore {

struct placement {
  point pos;
  double angle = 0;
};

struct segment {
  point start;
  point end;
};

struct font_info {
  point size;
  double thickness = 0;
  bool italic = false;
};

// A text's look as KiCad reads it from every generation's spelling.
struct text_effects {
  point size;  // width, height
  double thickness = 0;
  bool has_thickness = false;
  bool bold = false;
  bool italic = false;
  double line_spacing = 1;
  // A TrueType family; empty for the stroke font.
  std::string face;
  int horizontal = 0;  // -1 left, 0 centre, 1 right
  int vertical = 0;    // -1 top, 0 centre, 1 bottom
  bool mirror = false;
  bool knockout = false;
  // Bare `hide` or `(hide yes)`, on the element or in `effects`.
  bool hidden = false;
};

// Appends the layer names of the list `(layers L ...)` to `layers` that are
// not there yet, with the wildcards spelt out as nodeview::layers does.
void add_layers(const basenode* list, std::vector<std::string>& layers);

// A flag as the format writes it: a bare atom, or a list `(NAME yes)`.
bool is_set(const basenode* flag);

// The building blocks of the accessors; each takes a null node too.
// to_double of the first child's name; 0 without children.
double first_number(const basenode* node);
// The first two children as numbers; missing ones stay 0.
point to_point(const basenode* node);
// The first child's name; empty without children.
std::string first_text(const basenode* node);

// A footprint keyword view over one node, which it does not own. Every
// accessor is total: what is missing gives the default, nothing throws.
// A null node answers every accessor with its default.
class nodeview {
public:
  explicit nodeview(const basenode* node) : node_(node) {}

  const basenode* node() const { return node_; }

  // first_text of the child `key`, or `fallback` when there is none.
  std::string child_text(std::string_view key,
                         const std::string& fallback = std::string()) const;

  bool locked() const { return has("locked"); }
  bool placed() const { return has("placed"); }
  bool hide() const { return has("hide"); }
  std::string first_text() const { return atom(0); }
  std::string second_text() const { return atom(1); }
  std::string third_text() const { return atom(2); }
  std::string layer() const { return child_text("layer"); }
  // The names of `(layer L)` and `(layers L ...)` in file order, each once,
  // with the wildcards that name both outer layers spelt out: `*.Cu` and
  // `F&B.Cu` give F.Cu and B.Cu, `*.Mask` F.Mask and B.Mask, and so on.
  std::vector<std::string> layers() const;
  // The footprint's type and flags, such as smd and exclude_from_bom.
  std::vector<std::string> attr() const { return atoms_of("attr"); }
  std::string descr() const { return child_text("descr"); }
  std::string tedit() const { return child_text("tedit"); }
  std::string tstamp() const { return child_text("tstamp"); }
  std::vector<std::string> tags() const { return atoms_of("tags"); }

  double autoplace_cost90() const { return number("autoplace_cost90"); }
  double autoplace_cost180() const { return number("autoplace_cost180"); }
  double clearance() const { return number("clearance"); }
  double solder_mask_margin() const { return number("solder_mask_margin"); }
  double solder_paste_margin() const { return number("solder_paste_margin"); }
  double solder_paste_ratio() const { return number("solder_paste_ratio"); }
  double thermal_width() const { return number("thermal_width"); }
  double thermal_gap() const { return number("thermal_gap"); }
  double zone_connect() const { return number("zone_connect"); }
  // `(width W)`, or `(stroke (width W) ...)` as KiCad 7 and later write it.
  double width() const;
  // The line style of `(stroke ... (type T))`: solid, dash, dot, dash_dot,
  // dash_dot_dot or default; empty when missing.
  std::string stroke_type() const;
  double angle() const { return number("angle"); }

  point start() const { return to_point(child("start")); }
  // The point an arc passes through between `start` and `end`; newer files
  // write arcs as these three points.
  point mid() const { return to_point(child("mid")); }
  bool has_mid() const { return has("mid"); }
  point end() const { return to_point(child("end")); }
  point center() const { return to_point(child("center")); }
  point size() const { return to_point(child("size")); }
  point rect_delta() const { return to_point(child("rect_delta")); }
  segment line() const { return {start(), end()}; }
  std::vector<point> pts() const;
  placement at() const;

  double drill() const { return number("drill"); }
  bool is_oval_drill() const;
  point drill_size() const;
  point drill_offset() const;

  font_info font() const;
  text_effects effects() const;
  // Whether a text may stand upside down: (unlocked yes), or the older
  // `unlocked` inside `at`.
  bool unlocked() const;

  // The fill keyword of a graphic (solid, yes or none); empty when missing.
  std::string fill() const { return child_text("fill"); }
  // KiCad's own default, 0.25, when the child or its value is missing.
  double roundrect_rratio() const;
  double chamfer_ratio() const { return number("chamfer_ratio"); }
  // The corner names of child "chamfer" (top_left, ...), in file order.
  std::vector<std::string> chamfer_corners() const;
  // The shape under a custom pad, from (options (anchor ...)); KiCad's
  // default "rect" when missing.
  std::string anchor() const;
  // The lists inside child "primitives" (gr_poly, gr_line, ...), in file
  // order; atoms are left out.
  std::vector<const basenode*> primitives() const;

private:
  const basenode* child(std::string_view key) const;
  bool has(std::string_view key) const { return child(key) != nullptr; }
  double number(std::string_view key) const { return first_number(child(key)); }
  std::string atom(std::size_t i) const;
  // The names of the children of child `key`, in file order.
  std::vector<std::string> atoms_of(std::string_view key) const;

  const basenode* node_;
};

}  // namespace zcore
