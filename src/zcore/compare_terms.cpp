#include "zcore/compare_terms.h"

#include "zcore/shape_extents.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>
#include <utility>

namespace zcore::compare_terms {

std::string point_text(const point& p) {
  return "(" + mm_text(p.x) + ", " + mm_text(p.y) + ")";
}

std::string size_text(const dimensions& d) {
  return mm_text(d.width) + " x " + mm_text(d.height);
}

std::string quoted(const std::string& text) {
  constexpr std::size_t kLongest = 60;
  if (text.size() <= kLongest) return '"' + text + '"';
  std::size_t cut = kLongest;
  // Not inside a UTF-8 sequence.
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
    --cut;
  return '"' + text.substr(0, cut) + "...\"";
}

double distance(const point& a, const point& b) {
  return std::hypot(a.x - b.x, a.y - b.y);
}

box box_around(const point& centre, double half_width, double half_height) {
  return {centre.x - half_width, centre.y - half_height, centre.x + half_width,
          centre.y + half_height};
}

std::string pad_label(const pad_facts& pad) {
  return pad.number.empty() ? "unnumbered pad at " + point_text(pad.position)
                            : "pad " + pad.number;
}

std::string added_pad_summary(const pad_facts& pad) {
  return pad.number.empty()
             ? pad_label(pad) + " added"
             : pad_label(pad) + " added at " + point_text(pad.position);
}

box pad_box(const pad_facts& pad) {
  const point corner =
      turned({pad.size.width / 2, pad.size.height / 2}, pad.rotation);
  const point other =
      turned({pad.size.width / 2, -pad.size.height / 2}, pad.rotation);
  return box_around(pad.position,
                    std::max(std::abs(corner.x), std::abs(other.x)),
                    std::max(std::abs(corner.y), std::abs(other.y)));
}

pad_frame frame_of(const pad_facts& pad) {
  pad_frame f{pad.size, pad.drill, std::fmod(pad.rotation, 360.0)};
  // A circle is as wide as its first size says, whatever the second.
  if (pad.shape == "circle") f.size.height = f.size.width;
  if (f.rotation < 0) f.rotation += 360;
  const std::string& s = pad.shape;
  const bool symmetric =
      (s == "rect" || s == "oval" || s == "roundrect" || s == "circle") &&
      pad.drill_offset.x == 0 && pad.drill_offset.y == 0;
  if (!symmetric) return f;
  f.rotation = std::fmod(f.rotation, 180.0);
  if (f.rotation >= 90 - 1e-9) {
    f.rotation -= 90;
    std::swap(f.size.width, f.size.height);
    std::swap(f.drill.width, f.drill.height);
    f.swapped = true;
  }
  if (s == "circle" && !pad.slot) f.rotation = 0;
  return f;
}

double angle_gap(double x, double y) {
  const double d = std::fmod(std::abs(x - y), 360.0);
  return std::min(d, 360 - d);
}

std::string drill_text(const dimensions& drill, bool slot) {
  if (drill.width <= 0 && drill.height <= 0) return "none";
  if (!slot && drill.width == drill.height) return mm_text(drill.width);
  return size_text(drill) + (slot ? " slot" : "");
}

std::string layers_text(std::vector<std::string> layers) {
  std::sort(layers.begin(), layers.end());
  std::string text;
  for (const std::string& layer : layers)
    text += (text.empty() ? "" : " ") + layer;
  return text.empty() ? "none" : text;
}

std::string optional_text(const std::optional<double>& value) {
  return value ? mm_text(*value) : "none";
}

std::string shape_text(const pad_facts& p) {
  std::string text = p.shape;
  if (p.roundrect_ratio > 0) text += " radius " + mm_text(p.corner_radius);
  if (p.chamfer_ratio > 0) {
    text += " chamfer " + mm_text(p.chamfer_ratio);
    for (const std::string& corner : p.chamfered_corners) text += " " + corner;
  }
  if (p.shape == "trapezoid") text += " delta " + size_text(p.trapezoid_delta);
  if (p.shape == "custom")
    text += " of " + std::to_string(p.primitives) + " primitives";
  return text;
}

std::string margins_text(const pad_facts& p) {
  std::string text;
  const auto part = [&text](const char* name, const std::string& value) {
    if (value != "none")
      text += (text.empty() ? "" : ", ") + std::string(name) + " " + value;
  };
  part("mask", optional_text(p.solder_mask_margin));
  part("paste", optional_text(p.solder_paste_margin));
  part("paste ratio", optional_text(p.solder_paste_ratio));
  part("clearance", optional_text(p.clearance));
  part("zone connection", p.zone_connection ? std::to_string(*p.zone_connection)
                                            : std::string("none"));
  return text.empty() ? "none" : text;
}

std::string describe(const pad_facts& p) {
  std::string text = p.type + " " + shape_text(p) + " " + size_text(p.size) +
                     " at " + point_text(p.position);
  if (p.rotation != 0) text += " turned " + mm_text(p.rotation);
  if (p.drill.width > 0) text += " drill " + drill_text(p.drill, p.slot);
  return text;
}

box points_box(const graphic_shape& s) {
  extent_builder extent;
  if (s.kind == "circle") {
    extent.add(s.points[0], distance(s.points[0], s.points[1]));
  } else if (s.kind == "arc") {
    extent.add(arc_points{s.points[0], s.points[1], s.points[2]});
  } else {
    for (const point& p : s.points) extent.add(p);
  }
  return extent.result().value_or(box{});
}

std::string describe(const graphic_shape& s) {
  const std::vector<point>& p = s.points;
  std::string text = s.kind;
  if (s.kind == "line")
    text += " " + point_text(p[0]) + " to " + point_text(p[1]);
  else if (s.kind == "arc")
    text += " " + point_text(p[0]) + " through " + point_text(p[1]) + " to " +
            point_text(p[2]);
  else if (s.kind == "circle")
    text +=
        " at " + point_text(p[0]) + " radius " + mm_text(distance(p[0], p[1]));
  else if (s.kind == "curve" && !p.empty())
    text += " " + point_text(p.front()) + " to " + point_text(p.back());
  else
    text += " of " + std::to_string(p.size()) + " corners";
  if (s.kind != "zone") text += " width " + mm_text(s.width);
  if (s.filled && s.kind == "circle") text += " filled";
  if (s.stroke != "solid") text += " " + s.stroke;
  return text;
}

std::string count_text(const std::vector<const graphic_shape*>& shapes,
                       const char* what) {
  std::map<std::string, int> kinds;
  for (const graphic_shape* s : shapes) ++kinds[s->kind];
  std::string text;
  for (const auto& [kind, count] : kinds)
    text += (text.empty() ? "" : ", ") + std::to_string(count) + " " + kind +
            (count == 1 ? "" : "s");
  return text + " " + what;
}

std::string text_label(const footprint_text& t) {
  if (t.kind == "user") return "text " + quoted(t.text) + " on " + t.layer;
  return "text " + t.kind;
}

box text_box(const footprint_text& t) {
  // Roughly where the letters lie: enough to point at the text.
  const double length = static_cast<double>(
      std::max<std::size_t>(1, std::min<std::size_t>(t.text.size(), 64)));
  double half_width = t.size.width * length * 0.45;
  double half_height = t.size.height / 2;
  if (std::abs(std::fmod(t.angle, 180.0) - 90) < 45)
    std::swap(half_width, half_height);
  return box_around(t.position, half_width, half_height);
}

void pair_nearest(std::vector<std::size_t>& left_a,
                  std::vector<std::size_t>& left_b,
                  const std::function<bool(std::size_t, std::size_t)>& fits,
                  const std::function<double(std::size_t, std::size_t)>& far,
                  index_pairs& out) {
  std::vector<std::tuple<double, std::size_t, std::size_t>> candidates;
  for (std::size_t i = 0; i < left_a.size(); ++i)
    for (std::size_t j = 0; j < left_b.size(); ++j)
      if (fits(left_a[i], left_b[j]))
        candidates.emplace_back(far(left_a[i], left_b[j]), i, j);
  std::stable_sort(candidates.begin(), candidates.end(),
                   [](const auto& x, const auto& y) {
                     return std::get<0>(x) < std::get<0>(y);
                   });
  std::vector<bool> taken_a(left_a.size()), taken_b(left_b.size());
  for (const auto& [d, i, j] : candidates) {
    if (taken_a[i] || taken_b[j]) continue;
    taken_a[i] = taken_b[j] = true;
    out.emplace_back(left_a[i], left_b[j]);
  }
  const auto keep_untaken = [](std::vector<std::size_t>& list,
                               const std::vector<bool>& taken) {
    std::vector<std::size_t> rest;
    for (std::size_t i = 0; i < list.size(); ++i)
      if (!taken[i]) rest.push_back(list[i]);
    list = std::move(rest);
  };
  keep_untaken(left_a, taken_a);
  keep_untaken(left_b, taken_b);
}

bool number_less(const std::string& a, const std::string& b) {
  std::size_t i = 0, j = 0;
  const auto digit = [](char c) { return c >= '0' && c <= '9'; };
  while (i < a.size() && j < b.size()) {
    if (digit(a[i]) && digit(b[j])) {
      std::size_t ei = i, ej = j;
      while (ei < a.size() && digit(a[ei])) ++ei;
      while (ej < b.size() && digit(b[ej])) ++ej;
      const std::string na = a.substr(i, ei - i), nb = b.substr(j, ej - j);
      const std::string ta =
          na.substr(std::min(na.find_first_not_of('0'), na.size() - 1));
      const std::string tb =
          nb.substr(std::min(nb.find_first_not_of('0'), nb.size() - 1));
      if (ta.size() != tb.size()) return ta.size() < tb.size();
      if (ta != tb) return ta < tb;
      i = ei;
      j = ej;
    } else {
      if (a[i] != b[j]) return a[i] < b[j];
      ++i;
      ++j;
    }
  }
  return a.size() - i < b.size() - j;
}

}  // namespace zcore::compare_terms
