#pragma once

#include "zcore/footprint_facts.h"
#include "zcore/point.h"

#include <cstddef>
#include <map>
#include <string>
#include <vector>

namespace zcore {

class BaseModel;

// A drawn shape in the one form every generation's spelling of it takes,
// in millimetres rounded to the nanometre.
struct graphic_shape {
  // line, arc, circle, polygon (filled), curve or zone. An outline that is
  // not filled (a rectangle, a polygon) is its sides as lines.
  std::string kind;
  // The layer's `.kicad_mod` name, legacy numbers included.
  std::string layer;
  // line: its ends; arc: start, a point midway, end; circle: the centre and
  // the point at the radius to its right; polygon and zone: the corners;
  // curve: the four points of the Bézier curve.
  std::vector<point> points;
  double width = 0;
  bool filled = false;
  // solid, dash, dot, dash_dot or dash_dot_dot.
  std::string stroke = "solid";
  // The elements that drew it (see footprint_contents): several for a line
  // joined from pieces on one straight line.
  std::vector<std::size_t> sources;
};

// A text drawn with the footprint.
struct footprint_text {
  // reference, value, user, or the name of another field shown as a text.
  std::string kind;
  std::string layer;
  // %R and %V spelt ${REFERENCE} and ${VALUE}, as KiCad 6 converts them.
  std::string text;
  point position;
  // Degrees in [0, 360).
  double angle = 0;
  dimensions size;
  double thickness = 0;
  bool hidden = false;
  std::size_t source = 0;
};

// What a footprint holds, for comparing it with another. Lines that lie end
// to end or overlap on one straight line, alike in width and stroke, are
// joined into one. Every element names its source: the index of its list among
// the root's children in a
// `.kicad_mod` tree, the index of its first record in a legacy model.
struct footprint_contents {
  footprint_facts facts;
  // The source of each pad of facts.pads.
  std::vector<std::size_t> pad_sources;
  std::vector<graphic_shape> graphics;
  std::vector<footprint_text> texts;
  // Reference, Value, Description, Keywords, Datasheet and any other
  // property, by name; an empty value is as good as none.
  std::map<std::string, std::string> fields;
  // type (smd, through_hole or none), layer, the flags (board_only,
  // exclude_from_bom, ...) as "yes", the footprint's own margins and the
  // 3D models; what a file leaves out is absent.
  std::map<std::string, std::string> attributes;
};

// The contents of a `.kicad_mod` model's footprint or of a legacy model's
// first module; empty for a model of neither kind.
footprint_contents contents_of(const BaseModel& model);

// A length as the comparison writes it: millimetres to the nanometre at
// most, without trailing zeros ("0.1", "-2.75", "3").
std::string mm_text(double millimetres);

}  // namespace zcore
