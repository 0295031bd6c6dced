#pragma once

#include "zcore/footprint_facts.h"
#include "zcore/legacy_model.h"
#include "zcore/models.h"
#include "zcore/text_variables.h"

#include <cstddef>
#include <string>
#include <vector>

namespace zcore {

// One line of what the viewer tells about an element: a label and a value
// of a kind the viewer writes out in the unit the user chose.
struct fact {
  enum class kind {
    text,    // `text` as it stands
    length,  // x, in millimetres
    point,   // x and y, in millimetres, y down
    size,    // x wide and y high, in millimetres
    angle,   // x, in degrees
    area,    // x, in square millimetres
    count,   // x, a whole number
    link,    // `text`, an address that opens
  };
  std::string label;
  kind type = kind::text;
  double x = 0, y = 0;
  std::string text;
};
using fact_list = std::vector<fact>;

// The facts of element `index` of a footprint: child `index` of a
// `.kicad_mod` footprint, or record `index` of a legacy module (where a
// pad's block, a polygon's corners or a text begin). Lines, rectangles,
// circles, arcs, polygons, curves, texts, text boxes, zones and
// dimensions; empty for anything else, pads included, and for an index out
// of range. Lengths in millimetres, whatever unit the file writes.
fact_list element_facts(const BaseModel& model, std::size_t index);

// A pad's facts: number, pin, type, shape, place, size, drill, layers,
// what its shape adds (corners, delta, primitives) and what it sets for
// itself instead of the footprint's values.
fact_list pad_fact_list(const pad_facts& pad);

// The footprint's own figures: its pads by type, distinct numbers, pitch,
// courtyard, fabrication outline and overall size, 3D models, type,
// generation and datasheet.
fact_list footprint_fact_list(const footprint_facts& footprint);

// The variables of a legacy module's texts: %R and %V, and `${...}` of
// the reference (T0), the value (T1) and the module's name.
text_variables legacy_variables(const std::vector<record>& records);

// The kind of facts a pad's facts, a text and so on begin with: the first
// fact's value, such as "Line" or "Keep-out zone".
std::string element_kind(const fact_list& facts);

}  // namespace zcore
