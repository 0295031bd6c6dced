#pragma once

#include "zcore/footprint_contents.h"
#include "zcore/footprint_facts.h"

#include <cstddef>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace zcore {

// Lengths and positions closer than this, in millimetres, are the same.
inline constexpr double kCompareTolerance = 0.001;

// One thing that differs between two footprints.
struct difference {
  // pad, graphic, text, field or attribute.
  std::string subject;
  // The pad's number, the graphic's layer, the text's kind, the field's or
  // the attribute's name.
  std::string name;
  // added or removed; for a pad also moved, resized, reshaped, drill,
  // layers, type, rotated or margins; for a graphic its width, fill or
  // stroke; for a text moved, text, layer, angle, size, thickness or
  // hidden; changed for a field or an attribute.
  std::string change;
  // The values on each side, as the summary writes them; empty for the side
  // an element was added to or removed from.
  std::string old_value, new_value;
  // One line that says it all, such as "pad 3 moved (0.1, 0) mm".
  std::string summary;
  // Where it lies on each side, in millimetres; empty where it is not.
  std::optional<box> old_where, new_where;
  // The elements concerned on each side (see footprint_contents).
  std::vector<std::size_t> old_sources, new_sources;
};

// The graphics of one layer that differ, summed up.
struct layer_change {
  std::string layer;
  // Such as "F.CrtYd: outline grew 0.25 mm on each side".
  std::string summary;
  // The graphic differences on the layer, as indices into the comparison's
  // differences.
  std::vector<std::size_t> differences;
  std::optional<box> old_where, new_where;
};

struct footprint_comparison {
  // Pads by number, then graphics by layer, texts, fields and attributes.
  std::vector<difference> differences;
  std::vector<layer_change> layers;
  // The elements of each side that take part in a difference; the others
  // the two footprints share.
  std::set<std::size_t> old_changed, new_changed;

  bool same() const { return differences.empty(); }
};

// What changed from `before` to `after`. Pads match by number, several of
// one number by nearest position; graphics by layer, kind and geometry;
// texts by kind and layer; fields and attributes by name. Differences of
// at most `tolerance` millimetres are none.
footprint_comparison compare_footprints(const footprint_contents& before,
                                        const footprint_contents& after,
                                        double tolerance = kCompareTolerance);

}  // namespace zcore
