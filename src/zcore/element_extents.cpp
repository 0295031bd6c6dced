#include "zcore/element_extents.h"

#include "zcore/nodeview.h"
#include "zcore/to_double.h"

#include <algorithm>
#include <cmath>
#include <string_view>
#include <utility>

namespace zcore {

namespace {

constexpr double kDegrees = 180 / 3.14159265358979323846;

// `(pts (xy X Y) ... (arc (start ..) (mid ..) (end ..)) ...)`.
void add_points(const basenode* pts, extent_builder& extent, double radius) {
  for (const basenode* child : pts ? pts->children : node_list()) {
    if (std::string_view(child->name) == "arc") {
      const nodeview arc(child);
      extent.add(arc_points{arc.start(), arc.mid(), arc.end()}, radius);
    } else {
      extent.add(to_point(child), radius);
    }
  }
}

// The outline of a pad's copper in its own axes, about its centre, as
// discs (points for radius 0): at most a rectangle's corners, two for each
// cut one.
struct copper_discs {
  std::pair<point, double> discs[8];
  std::size_t count = 0;

  explicit copper_discs(const pad_facts& pad);
  void add(point centre, double radius) { discs[count++] = {centre, radius}; }
  const std::pair<point, double>* begin() const { return discs; }
  const std::pair<point, double>* end() const { return discs + count; }
};

copper_discs::copper_discs(const pad_facts& pad) {
  const double w = pad.size.width / 2, h = pad.size.height / 2;
  const double small = std::min(std::abs(w), std::abs(h));
  const std::string_view shape = pad.shape;
  if (shape == "circle") {
    add({0, 0}, w);
  } else if (shape == "oval") {
    const point along = w >= h ? point{w - small, 0} : point{0, h - small};
    add(along, small);
    add({-along.x, -along.y}, small);
  } else if (shape == "trapezoid") {
    // As the pad item draws it.
    const double dw = pad.trapezoid_delta.width / 2;
    const double dh = pad.trapezoid_delta.height / 2;
    add({-w + dh, -h - dw}, 0);
    add({-w - dh, h + dw}, 0);
    add({w + dh, h - dw}, 0);
    add({w - dh, -h + dw}, 0);
  } else {
    const double r = std::min(pad.corner_radius, small);
    const double cut = std::clamp(pad.chamfer_ratio, 0.0, 0.5) * 2 * small;
    const std::pair<const char*, point> corners[] = {{"top_left", {-1, -1}},
                                                     {"top_right", {1, -1}},
                                                     {"bottom_left", {-1, 1}},
                                                     {"bottom_right", {1, 1}}};
    const std::vector<std::string>& cut_corners = pad.chamfered_corners;
    for (const auto& [name, sign] : corners) {
      const point tip{sign.x * w, sign.y * h};
      if (cut > 0 && std::find(cut_corners.begin(), cut_corners.end(), name) !=
                         cut_corners.end()) {
        add({tip.x - sign.x * cut, tip.y}, 0);
        add({tip.x, tip.y - sign.y * cut}, 0);
      } else {
        add({tip.x - sign.x * r, tip.y - sign.y * r}, r);
      }
    }
  }
}

}  // namespace

shape_parts::shape_parts(const basenode* node) {
  static const std::pair<std::string_view, const basenode * shape_parts::*>
      kParts[] = {
          {"start", &shape_parts::start}, {"mid", &shape_parts::mid},
          {"end", &shape_parts::end},     {"center", &shape_parts::center},
          {"angle", &shape_parts::angle}, {"pts", &shape_parts::pts},
          {"width", &shape_parts::width}, {"stroke", &shape_parts::stroke},
          {"layer", &shape_parts::layer}};
  for (const basenode* child : node->children)
    for (const auto& [name, part] : kParts)
      if (std::string_view(child->name) == name) this->*part = child;
}

double shape_parts::line_width() const {
  if (width) return first_number(width);
  return first_number(stroke ? stroke->find("width") : nullptr);
}

bool add_graphic_extent(const basenode* node, const shape_parts& parts,
                        extent_builder& extent, double radius) {
  const std::string_view name = node->name;
  if (name.substr(0, 3) != "fp_" && name.substr(0, 3) != "gr_") return false;
  const std::string_view kind = name.substr(3);
  const point a = to_point(parts.start), b = to_point(parts.end);
  if (kind == "line" || kind == "rect") {
    extent.add(a, radius);
    extent.add(b, radius);
  } else if (kind == "circle") {
    const point c = to_point(parts.center);
    extent.add(c, std::hypot(b.x - c.x, b.y - c.y) + radius);
  } else if (kind == "arc" && parts.mid) {
    extent.add(arc_points{a, to_point(parts.mid), b}, radius);
  } else if (kind == "arc") {
    // Older files: the centre, where the arc begins, and its sweep.
    extent.add(arc_extent{a, std::hypot(b.x - a.x, b.y - a.y),
                          std::atan2(b.y - a.y, b.x - a.x) * kDegrees,
                          first_number(parts.angle)},
               radius);
  } else if (kind == "poly") {
    add_points(parts.pts, extent, radius);
  } else if (kind == "curve") {
    const std::vector<point> pts = nodeview(node).pts();
    if (pts.size() < 4) return false;
    const point p[4] = {pts[0], pts[1], pts[2], pts[3]};
    extent.add_curve(p, radius);
  } else {
    return false;
  }
  return true;
}

void add_pad_extent(const pad_facts& pad, const basenode* node,
                    extent_builder& extent) {
  const auto place = [&pad](const point& local) {
    const point& o = pad.drill_offset;
    const point p = turned({o.x + local.x, o.y + local.y}, pad.rotation);
    return point{pad.position.x + p.x, pad.position.y + p.y};
  };
  if (node && std::string_view(pad.shape) == "custom") {
    const nodeview view(node);
    const double w = pad.size.width / 2, h = pad.size.height / 2;
    extent_builder local;
    if (view.anchor() == "circle")
      local.add(point{0, 0}, w);
    else
      local.add(box{-w, -h, w, h});
    for (const basenode* primitive : view.primitives()) {
      const shape_parts parts(primitive);
      add_graphic_extent(primitive, parts, local, parts.line_width() / 2);
    }
    // The box turned with the pad: exact at the right angles pads mostly
    // stand at, a little large at others.
    const box b = local.result().value_or(box{});
    for (const point corner : {point{b.x0, b.y0}, point{b.x1, b.y0},
                               point{b.x0, b.y1}, point{b.x1, b.y1}})
      extent.add(place(corner));
  } else {
    for (const auto& [centre, radius] : copper_discs(pad))
      extent.add(place(centre), radius);
  }
  if (pad.drill.width > 0 || pad.drill.height > 0) {
    const double r = std::min(pad.drill.width, pad.drill.height) / 2;
    const point half = turned(
        {pad.drill.width / 2 - r, pad.drill.height / 2 - r}, pad.rotation);
    const point& c = pad.position;
    extent.add(point{c.x + half.x, c.y + half.y}, r);
    extent.add(point{c.x - half.x, c.y - half.y}, r);
  }
}

}  // namespace zcore
