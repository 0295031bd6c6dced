#include "zcore/footprint_compare.h"

#include "zcore/shape_extents.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <tuple>
#include <utility>

namespace zcore {

namespace {

using index_pairs = std::vector<std::pair<std::size_t, std::size_t>>;

// What remains unpaired on each side, and the pairs found.
struct pairing {
  index_pairs pairs;
  std::vector<std::size_t> removed, added;
};

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

// Pairs the unpaired members of `left_a` and `left_b` for which `fits`
// holds, nearest first; removes them from the lists.
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

// Orders pad numbers as people count them: 2 before 10, A2 before A10.
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

class comparer {
public:
  comparer(const footprint_contents& before, const footprint_contents& after,
           double tolerance)
      : a(before), b(after), tol(tolerance + 1e-9) {}

  footprint_comparison run() {
    compare_pads();
    compare_graphics();
    compare_texts();
    compare_named("field", a.fields, b.fields);
    compare_named("attribute", a.attributes, b.attributes);
    for (const difference& d : result.differences) {
      result.old_changed.insert(d.old_sources.begin(), d.old_sources.end());
      result.new_changed.insert(d.new_sources.begin(), d.new_sources.end());
    }
    return std::move(result);
  }

private:
  bool near(double x, double y) const { return std::abs(x - y) <= tol; }
  bool near(const point& p, const point& q) const {
    return near(p.x, q.x) && near(p.y, q.y);
  }
  bool near(const dimensions& p, const dimensions& q) const {
    return near(p.width, q.width) && near(p.height, q.height);
  }

  difference& add(std::string subject, std::string name, std::string change,
                  std::string old_value, std::string new_value,
                  std::string summary) {
    difference d;
    d.subject = std::move(subject);
    d.name = std::move(name);
    d.change = std::move(change);
    d.old_value = std::move(old_value);
    d.new_value = std::move(new_value);
    d.summary = std::move(summary);
    result.differences.push_back(std::move(d));
    return result.differences.back();
  }

  // Pads ------------------------------------------------------------------

  static std::string pad_label(const pad_facts& pad) {
    return pad.number.empty() ? "unnumbered pad at " + point_text(pad.position)
                              : "pad " + pad.number;
  }

  // An unnumbered pad's label says already where it is.
  static std::string added_pad_summary(const pad_facts& pad) {
    return pad.number.empty()
               ? pad_label(pad) + " added"
               : pad_label(pad) + " added at " + point_text(pad.position);
  }

  static box pad_box(const pad_facts& pad) {
    const point corner =
        turned({pad.size.width / 2, pad.size.height / 2}, pad.rotation);
    const point other =
        turned({pad.size.width / 2, -pad.size.height / 2}, pad.rotation);
    return box_around(pad.position,
                      std::max(std::abs(corner.x), std::abs(other.x)),
                      std::max(std::abs(corner.y), std::abs(other.y)));
  }

  // How far apart two pads lie; of pads as far, the one of nearer size and
  // on the same layers: a pad on the front and one on the back may share a
  // number and a place.
  double apart(std::size_t i, std::size_t j) const {
    const pad_facts& p = a.facts.pads[i];
    const pad_facts& q = b.facts.pads[j];
    return distance(p.position, q.position) +
           1e-3 * (std::abs(p.size.width - q.size.width) +
                   std::abs(p.size.height - q.size.height)) +
           (layers_text(p.layers) == layers_text(q.layers) ? 0 : 1e-3);
  }

  bool alike(std::size_t i, std::size_t j) const {
    const pad_facts& p = a.facts.pads[i];
    const pad_facts& q = b.facts.pads[j];
    const pad_frame fp = frame_of(p), fq = frame_of(q);
    return p.type == q.type && p.shape == q.shape &&
           near(p.position, q.position) && near(fp.size, fq.size) &&
           near(fp.drill, fq.drill);
  }

  pairing pair_pads() const {
    std::map<std::string, std::vector<std::size_t>> by_number_a, by_number_b;
    for (std::size_t i = 0; i < a.facts.pads.size(); ++i)
      by_number_a[a.facts.pads[i].number].push_back(i);
    for (std::size_t j = 0; j < b.facts.pads.size(); ++j)
      by_number_b[b.facts.pads[j].number].push_back(j);
    pairing found;
    for (auto& [number, left_a] : by_number_a) {
      std::vector<std::size_t> left_b;
      const auto other = by_number_b.find(number);
      if (other != by_number_b.end()) left_b = std::move(other->second);
      // Pads that are alike first: a number may stand for a pad and the
      // vias or paste openings stacked on it.
      pair_nearest(
          left_a, left_b,
          [this](std::size_t i, std::size_t j) { return alike(i, j); },
          [this](std::size_t i, std::size_t j) { return apart(i, j); },
          found.pairs);
      pair_nearest(
          left_a, left_b, [](std::size_t, std::size_t) { return true; },
          [this](std::size_t i, std::size_t j) { return apart(i, j); },
          found.pairs);
      found.removed.insert(found.removed.end(), left_a.begin(), left_a.end());
      found.added.insert(found.added.end(), left_b.begin(), left_b.end());
    }
    for (const auto& [number, left_b] : by_number_b)
      if (!by_number_a.count(number))
        found.added.insert(found.added.end(), left_b.begin(), left_b.end());
    return found;
  }

  // The pad's copper the same whichever way the file turns it: a shape
  // that looks the same upside down takes its angle modulo 180 degrees, and
  // one turned a right angle swaps its sides.
  struct pad_frame {
    dimensions size, drill;
    double rotation = 0;
    // Whether the sides were swapped.
    bool swapped = false;
  };
  static pad_frame frame_of(const pad_facts& pad) {
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

  static double angle_gap(double x, double y) {
    const double d = std::fmod(std::abs(x - y), 360.0);
    return std::min(d, 360 - d);
  }

  static std::string drill_text(const dimensions& drill, bool slot) {
    if (drill.width <= 0 && drill.height <= 0) return "none";
    if (!slot && drill.width == drill.height) return mm_text(drill.width);
    return size_text(drill) + (slot ? " slot" : "");
  }

  static std::string layers_text(std::vector<std::string> layers) {
    std::sort(layers.begin(), layers.end());
    std::string text;
    for (const std::string& layer : layers)
      text += (text.empty() ? "" : " ") + layer;
    return text.empty() ? "none" : text;
  }

  static std::string optional_text(const std::optional<double>& value) {
    return value ? mm_text(*value) : "none";
  }

  static std::string shape_text(const pad_facts& p) {
    std::string text = p.shape;
    if (p.roundrect_ratio > 0) text += " radius " + mm_text(p.corner_radius);
    if (p.chamfer_ratio > 0) {
      text += " chamfer " + mm_text(p.chamfer_ratio);
      for (const std::string& corner : p.chamfered_corners)
        text += " " + corner;
    }
    if (p.shape == "trapezoid")
      text += " delta " + size_text(p.trapezoid_delta);
    if (p.shape == "custom")
      text += " of " + std::to_string(p.primitives) + " primitives";
    return text;
  }

  static std::string margins_text(const pad_facts& p) {
    std::string text;
    const auto part = [&text](const char* name, const std::string& value) {
      if (value != "none")
        text += (text.empty() ? "" : ", ") + std::string(name) + " " + value;
    };
    part("mask", optional_text(p.solder_mask_margin));
    part("paste", optional_text(p.solder_paste_margin));
    part("paste ratio", optional_text(p.solder_paste_ratio));
    part("clearance", optional_text(p.clearance));
    part("zone connection", p.zone_connection
                                ? std::to_string(*p.zone_connection)
                                : std::string("none"));
    return text.empty() ? "none" : text;
  }

  // A pad turned a right angle is rotated where its file says so; one that
  // stands as before is resized in the new file's terms.
  template <typename Change>
  void compare_turn(const pad_facts& p, const pad_facts& q, const pad_frame& fp,
                    const pad_frame& fq, const Change& change) const {
    const auto gap = [](const dimensions& x, const dimensions& y) {
      return std::abs(x.width - y.width) + std::abs(x.height - y.height);
    };
    const dimensions crossed{fp.size.height, fp.size.width};
    const bool turned = angle_gap(fp.rotation, fq.rotation) > 1e-6 ||
                        gap(crossed, fq.size) < gap(fp.size, fq.size);
    dimensions old_size = p.size;
    if (!turned) {
      old_size = fp.size;
      if (fq.swapped) std::swap(old_size.width, old_size.height);
    }
    if (turned && angle_gap(p.rotation, q.rotation) > 1e-6)
      change("rotated", mm_text(p.rotation), mm_text(q.rotation),
             "rotated " + mm_text(p.rotation) + " -> " + mm_text(q.rotation) +
                 " degrees");
    if (!near(old_size, q.size))
      change("resized", size_text(old_size), size_text(q.size),
             "resized " + size_text(old_size) + " -> " + size_text(q.size) +
                 " mm");
  }

  void compare_pad(std::size_t i, std::size_t j) {
    const pad_facts& p = a.facts.pads[i];
    const pad_facts& q = b.facts.pads[j];
    const std::string label = pad_label(p);
    const std::size_t first = result.differences.size();
    const auto change = [&](const char* kind, const std::string& before,
                            const std::string& after,
                            const std::string& summary) {
      add("pad", p.number, kind, before, after, label + " " + summary);
    };
    if (p.type != q.type)
      change("type", p.type, q.type, "type " + p.type + " -> " + q.type);
    if (!near(p.position, q.position)) {
      const point d{q.position.x - p.position.x, q.position.y - p.position.y};
      change("moved", point_text(p.position), point_text(q.position),
             "moved " + point_text(d) + " mm");
    }
    const pad_frame fp = frame_of(p), fq = frame_of(q);
    const bool same_copper =
        angle_gap(fp.rotation, fq.rotation) <= 1e-6 && near(fp.size, fq.size);
    if (!same_copper) compare_turn(p, q, fp, fq, change);
    const std::string shape_p = shape_text(p), shape_q = shape_text(q);
    if (p.shape != q.shape || !near(p.corner_radius, q.corner_radius) ||
        std::abs(p.chamfer_ratio - q.chamfer_ratio) > 1e-6 ||
        p.chamfered_corners != q.chamfered_corners ||
        !near(p.trapezoid_delta, q.trapezoid_delta) ||
        p.primitives != q.primitives)
      change("reshaped", shape_p, shape_q,
             "reshaped " + shape_p + " -> " + shape_q);
    const dimensions drill_p = same_copper ? fp.drill : p.drill;
    const dimensions drill_q = same_copper ? fq.drill : q.drill;
    if (!near(drill_p, drill_q) || p.slot != q.slot ||
        !near(p.drill_offset, q.drill_offset)) {
      std::string before = drill_text(p.drill, p.slot);
      std::string after = drill_text(q.drill, q.slot);
      if (!near(p.drill_offset, q.drill_offset)) {
        before += " offset " + point_text(p.drill_offset);
        after += " offset " + point_text(q.drill_offset);
      }
      change("drill", before, after, "drill " + before + " -> " + after);
    }
    const std::string layers_p = layers_text(p.layers);
    const std::string layers_q = layers_text(q.layers);
    if (layers_p != layers_q)
      change("layers", layers_p, layers_q,
             "layers " + layers_p + " -> " + layers_q);
    const std::string margins_p = margins_text(p), margins_q = margins_text(q);
    if (margins_p != margins_q)
      change("margins", margins_p, margins_q,
             "margins " + margins_p + " -> " + margins_q);
    for (std::size_t k = first; k < result.differences.size(); ++k) {
      difference& d = result.differences[k];
      d.old_where = pad_box(p);
      d.new_where = pad_box(q);
      d.old_sources = {a.pad_sources[i]};
      d.new_sources = {b.pad_sources[j]};
    }
  }

  void compare_pads() {
    const pairing found = pair_pads();
    // Listed by number, each pad's differences together.
    struct entry {
      const std::string* number;
      std::size_t order;
      std::function<void()> report;
    };
    std::vector<entry> entries;
    for (const auto& [i, j] : found.pairs)
      entries.push_back({&a.facts.pads[i].number, entries.size(),
                         [this, i = i, j = j] { compare_pad(i, j); }});
    for (std::size_t i : found.removed)
      entries.push_back({&a.facts.pads[i].number, entries.size(), [this, i] {
                           const pad_facts& p = a.facts.pads[i];
                           difference& d =
                               add("pad", p.number, "removed", describe(p), "",
                                   pad_label(p) + " removed");
                           d.old_where = pad_box(p);
                           d.old_sources = {a.pad_sources[i]};
                         }});
    for (std::size_t j : found.added)
      entries.push_back({&b.facts.pads[j].number, entries.size(), [this, j] {
                           const pad_facts& q = b.facts.pads[j];
                           difference& d =
                               add("pad", q.number, "added", "", describe(q),
                                   added_pad_summary(q));
                           d.new_where = pad_box(q);
                           d.new_sources = {b.pad_sources[j]};
                         }});
    std::stable_sort(entries.begin(), entries.end(),
                     [](const entry& x, const entry& y) {
                       if (*x.number != *y.number)
                         return number_less(*x.number, *y.number);
                       return x.order < y.order;
                     });
    for (const entry& e : entries) e.report();
  }

  static std::string describe(const pad_facts& p) {
    std::string text = p.type + " " + shape_text(p) + " " + size_text(p.size) +
                       " at " + point_text(p.position);
    if (p.rotation != 0) text += " turned " + mm_text(p.rotation);
    if (p.drill.width > 0) text += " drill " + drill_text(p.drill, p.slot);
    return text;
  }

  // Graphics --------------------------------------------------------------

  static box points_box(const graphic_shape& s) {
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

  bool same_points(const std::vector<point>& p, const std::vector<point>& q,
                   std::size_t offset, bool reverse) const {
    const std::size_t n = p.size();
    for (std::size_t k = 0; k < n; ++k) {
      const std::size_t at = reverse ? (offset + n - k) % n : (offset + k) % n;
      if (!near(p[k], q[at])) return false;
    }
    return true;
  }

  // Whether two shapes of one kind lie in the same place, whichever end or
  // corner a file begins with.
  bool same_geometry(const graphic_shape& s, const graphic_shape& t) const {
    const std::vector<point>& p = s.points;
    const std::vector<point>& q = t.points;
    if (p.size() != q.size()) return false;
    if (s.kind == "circle") return same_points(p, q, 0, false);
    if (s.kind == "line" || s.kind == "curve") {
      if (same_points(p, q, 0, false)) return true;
      return std::equal(
          p.begin(), p.end(), q.rbegin(),
          [this](const point& x, const point& y) { return near(x, y); });
    }
    if (s.kind == "arc")
      return near(p[1], q[1]) && ((near(p[0], q[0]) && near(p[2], q[2])) ||
                                  (near(p[0], q[2]) && near(p[2], q[0])));
    // Polygons and zones: any corner may come first, either way round.
    for (std::size_t k = 0; k < q.size(); ++k)
      if (near(p[0], q[k]) &&
          (same_points(p, q, k, false) || same_points(p, q, k, true)))
        return true;
    return p.empty();
  }

  bool same_look(const graphic_shape& s, const graphic_shape& t) const {
    return near(s.width, t.width) && s.filled == t.filled &&
           s.stroke == t.stroke;
  }

  static std::string describe(const graphic_shape& s) {
    const std::vector<point>& p = s.points;
    std::string text = s.kind;
    if (s.kind == "line")
      text += " " + point_text(p[0]) + " to " + point_text(p[1]);
    else if (s.kind == "arc")
      text += " " + point_text(p[0]) + " through " + point_text(p[1]) + " to " +
              point_text(p[2]);
    else if (s.kind == "circle")
      text += " at " + point_text(p[0]) + " radius " +
              mm_text(distance(p[0], p[1]));
    else if (s.kind == "curve" && !p.empty())
      text += " " + point_text(p.front()) + " to " + point_text(p.back());
    else
      text += " of " + std::to_string(p.size()) + " corners";
    if (s.kind != "zone") text += " width " + mm_text(s.width);
    if (s.filled && s.kind == "circle") text += " filled";
    if (s.stroke != "solid") text += " " + s.stroke;
    return text;
  }

  struct shape_pairing : pairing {
    // Shapes paired by place whose look differs.
    index_pairs restyled;
  };

  shape_pairing pair_shapes(const std::vector<std::size_t>& list_a,
                            const std::vector<std::size_t>& list_b) const {
    // The new shapes by the left edge of their points, so that each old one
    // looks only at those that can lie in its place.
    std::vector<std::pair<double, std::size_t>> by_left;
    for (std::size_t j : list_b)
      by_left.emplace_back(points_box(b.graphics[j]).x0, j);
    std::sort(by_left.begin(), by_left.end());
    std::vector<bool> used(by_left.size());
    shape_pairing found;
    for (std::size_t i : list_a) {
      const graphic_shape& s = a.graphics[i];
      const double left = points_box(s).x0;
      auto k = std::lower_bound(by_left.begin(), by_left.end(),
                                std::make_pair(left - tol, std::size_t(0)));
      std::optional<std::size_t> best;
      for (; k != by_left.end() && k->first <= left + tol; ++k) {
        const std::size_t at = static_cast<std::size_t>(k - by_left.begin());
        const graphic_shape& t = b.graphics[k->second];
        if (used[at] || !same_geometry(s, t)) continue;
        if (!best) best = at;
        if (same_look(s, t)) {
          best = at;
          break;
        }
      }
      if (!best) {
        found.removed.push_back(i);
        continue;
      }
      used[*best] = true;
      const std::size_t j = by_left[*best].second;
      (same_look(s, b.graphics[j]) ? found.pairs : found.restyled)
          .emplace_back(i, j);
    }
    for (std::size_t k = 0; k < by_left.size(); ++k)
      if (!used[k]) found.added.push_back(by_left[k].second);
    std::sort(found.added.begin(), found.added.end());
    return found;
  }

  static std::string count_text(const std::vector<const graphic_shape*>& shapes,
                                const char* what) {
    std::map<std::string, int> kinds;
    for (const graphic_shape* s : shapes) ++kinds[s->kind];
    std::string text;
    for (const auto& [kind, count] : kinds)
      text += (text.empty() ? "" : ", ") + std::to_string(count) + " " + kind +
              (count == 1 ? "" : "s");
    return text + " " + what;
  }

  std::optional<box> layer_box(const footprint_contents& side,
                               const std::string& layer) const {
    extent_builder extent;
    for (const graphic_shape& s : side.graphics)
      if (s.layer == layer) extent.add(points_box(s));
    return extent.result();
  }

  // How the extent of a layer's shapes changed.
  std::string outline_change(const std::optional<box>& p,
                             const std::optional<box>& q) const {
    if (!p || !q) return std::string();
    const double left = p->x0 - q->x0, right = q->x1 - p->x1;
    const double top = p->y0 - q->y0, bottom = q->y1 - p->y1;
    if (near(left, right) && near(left, top) && near(left, bottom) &&
        !near(left, 0))
      return "outline " + std::string(left > 0 ? "grew " : "shrank ") +
             mm_text(std::abs(left)) + " mm on each side";
    if (near(p->width(), q->width()) && near(p->height(), q->height())) {
      if (near(p->x0, q->x0) && near(p->y0, q->y0)) return "outline unchanged";
      return "outline moved " + point_text({q->x0 - p->x0, q->y0 - p->y0}) +
             " mm";
    }
    return "outline " + size_text({p->width(), p->height()}) + " -> " +
           size_text({q->width(), q->height()}) + " mm";
  }

  std::string restyle_text(const index_pairs& restyled) const {
    std::map<std::pair<std::string, std::string>, int> changes;
    for (const auto& [i, j] : restyled) {
      const graphic_shape& s = a.graphics[i];
      const graphic_shape& t = b.graphics[j];
      if (!near(s.width, t.width))
        ++changes[{"width " + mm_text(s.width), mm_text(t.width) + " mm"}];
      if (s.filled != t.filled)
        ++changes[{s.filled ? "filled" : "not filled",
                   t.filled ? "filled" : "not filled"}];
      if (s.stroke != t.stroke) ++changes[{s.stroke, t.stroke}];
    }
    std::string text;
    for (const auto& [change, count] : changes)
      text += std::string(text.empty() ? "" : ", ") + change.first + " -> " +
              change.second + " on " + std::to_string(count) + " shape" +
              (count == 1 ? "" : "s");
    return text;
  }

  void report_layer(const std::string& layer, const shape_pairing& found) {
    layer_change summary;
    summary.layer = layer;
    extent_builder where_a, where_b;
    const auto note = [&](difference& d, const graphic_shape* s,
                          const graphic_shape* t) {
      if (s) {
        d.old_where = points_box(*s);
        d.old_sources = s->sources;
        where_a.add(*d.old_where);
      }
      if (t) {
        d.new_where = points_box(*t);
        d.new_sources = t->sources;
        where_b.add(*d.new_where);
      }
      summary.differences.push_back(result.differences.size() - 1);
    };
    std::vector<const graphic_shape*> removed, added;
    for (std::size_t i : found.removed) {
      const graphic_shape& s = a.graphics[i];
      removed.push_back(&s);
      note(add("graphic", layer, "removed", describe(s), "",
               layer + ": " + describe(s) + " removed"),
           &s, nullptr);
    }
    for (std::size_t j : found.added) {
      const graphic_shape& t = b.graphics[j];
      added.push_back(&t);
      note(add("graphic", layer, "added", "", describe(t),
               layer + ": " + describe(t) + " added"),
           nullptr, &t);
    }
    for (const auto& [i, j] : found.restyled) {
      const graphic_shape& s = a.graphics[i];
      const graphic_shape& t = b.graphics[j];
      const char* what = !near(s.width, t.width) ? "width"
                         : s.filled != t.filled  ? "fill"
                                                 : "stroke";
      note(add("graphic", layer, what, describe(s), describe(t),
               layer + ": " + describe(s) + " -> " + describe(t)),
           &s, &t);
    }
    std::vector<std::string> parts;
    const std::optional<box> before = layer_box(a, layer);
    const std::optional<box> after = layer_box(b, layer);
    if (!removed.empty() || !added.empty()) {
      std::string counts;
      if (!removed.empty()) counts = count_text(removed, "removed");
      if (!added.empty())
        counts += (counts.empty() ? "" : ", ") + count_text(added, "added");
      const std::string outline = outline_change(before, after);
      parts.push_back(outline.empty() ? counts : outline + " (" + counts + ")");
    }
    if (!found.restyled.empty()) parts.push_back(restyle_text(found.restyled));
    summary.summary = layer + ":";
    for (std::size_t k = 0; k < parts.size(); ++k)
      summary.summary += (k ? "; " : " ") + parts[k];
    summary.old_where = where_a.result();
    summary.new_where = where_b.result();
    result.layers.push_back(std::move(summary));
  }

  void compare_graphics() {
    using key = std::pair<std::string, std::string>;
    std::map<key, std::vector<std::size_t>> groups_a, groups_b;
    std::map<std::string, bool> layers;
    for (std::size_t i = 0; i < a.graphics.size(); ++i) {
      groups_a[{a.graphics[i].layer, a.graphics[i].kind}].push_back(i);
      layers[a.graphics[i].layer] = true;
    }
    for (std::size_t j = 0; j < b.graphics.size(); ++j) {
      groups_b[{b.graphics[j].layer, b.graphics[j].kind}].push_back(j);
      layers[b.graphics[j].layer] = true;
    }
    for (const auto& [layer, unused] : layers) {
      shape_pairing all;
      for (const char* kind :
           {"line", "arc", "circle", "polygon", "curve", "zone"}) {
        const key k{layer, kind};
        const auto in_a = groups_a.find(k);
        const auto in_b = groups_b.find(k);
        const shape_pairing found = pair_shapes(
            in_a == groups_a.end() ? std::vector<std::size_t>() : in_a->second,
            in_b == groups_b.end() ? std::vector<std::size_t>() : in_b->second);
        const auto append = [](auto& to, const auto& from) {
          to.insert(to.end(), from.begin(), from.end());
        };
        append(all.removed, found.removed);
        append(all.added, found.added);
        append(all.restyled, found.restyled);
      }
      if (!all.removed.empty() || !all.added.empty() || !all.restyled.empty())
        report_layer(layer, all);
    }
  }

  // Texts -----------------------------------------------------------------

  static std::string text_label(const footprint_text& t) {
    if (t.kind == "user") return "text " + quoted(t.text) + " on " + t.layer;
    return "text " + t.kind;
  }

  static box text_box(const footprint_text& t) {
    // Roughly where the letters lie: enough to point at the text.
    const double length = static_cast<double>(
        std::max<std::size_t>(1, std::min<std::size_t>(t.text.size(), 64)));
    double half_width = t.size.width * length * 0.45;
    double half_height = t.size.height / 2;
    if (std::abs(std::fmod(t.angle, 180.0) - 90) < 45)
      std::swap(half_width, half_height);
    return box_around(t.position, half_width, half_height);
  }

  void compare_text(std::size_t i, std::size_t j) {
    const footprint_text& s = a.texts[i];
    const footprint_text& t = b.texts[j];
    const std::string label = text_label(s);
    const std::size_t first = result.differences.size();
    const auto change = [&](const char* kind, const std::string& before,
                            const std::string& after) {
      add("text", s.kind, kind, before, after,
          label + " " + kind + " " + before + " -> " + after);
    };
    if (s.layer != t.layer) change("layer", s.layer, t.layer);
    // A reference's or value's words are a field's.
    if (s.text != t.text && s.kind != "reference" && s.kind != "value")
      change("text", quoted(s.text), quoted(t.text));
    if (!near(s.position, t.position)) {
      const point d{t.position.x - s.position.x, t.position.y - s.position.y};
      add("text", s.kind, "moved", point_text(s.position),
          point_text(t.position), label + " moved " + point_text(d) + " mm");
    }
    if (angle_gap(s.angle, t.angle) > 1e-6)
      change("angle", mm_text(s.angle), mm_text(t.angle));
    if (!near(s.size, t.size))
      change("size", size_text(s.size), size_text(t.size));
    if (!near(s.thickness, t.thickness))
      change("thickness", mm_text(s.thickness), mm_text(t.thickness));
    if (s.hidden != t.hidden)
      change("hidden", s.hidden ? "yes" : "no", t.hidden ? "yes" : "no");
    for (std::size_t k = first; k < result.differences.size(); ++k) {
      difference& d = result.differences[k];
      d.old_where = text_box(s);
      d.new_where = text_box(t);
      d.old_sources = {s.source};
      d.new_sources = {t.source};
    }
  }

  void compare_texts() {
    std::vector<std::size_t> left_a, left_b;
    for (std::size_t i = 0; i < a.texts.size(); ++i) left_a.push_back(i);
    for (std::size_t j = 0; j < b.texts.size(); ++j) left_b.push_back(j);
    const auto far = [this](std::size_t i, std::size_t j) {
      return distance(a.texts[i].position, b.texts[j].position);
    };
    index_pairs pairs;
    // The same words first, then the same kind on the same layer, then a
    // reference or value that moved to another layer.
    pair_nearest(
        left_a, left_b,
        [this](std::size_t i, std::size_t j) {
          const footprint_text &s = a.texts[i], &t = b.texts[j];
          return s.kind == t.kind && s.layer == t.layer && s.text == t.text;
        },
        far, pairs);
    pair_nearest(
        left_a, left_b,
        [this](std::size_t i, std::size_t j) {
          return a.texts[i].kind == b.texts[j].kind &&
                 a.texts[i].layer == b.texts[j].layer;
        },
        far, pairs);
    pair_nearest(
        left_a, left_b,
        [this](std::size_t i, std::size_t j) {
          return a.texts[i].kind == b.texts[j].kind &&
                 a.texts[i].kind != "user";
        },
        far, pairs);
    std::sort(pairs.begin(), pairs.end());
    for (const auto& [i, j] : pairs) compare_text(i, j);
    for (std::size_t i : left_a) {
      const footprint_text& s = a.texts[i];
      difference& d = add("text", s.kind, "removed", quoted(s.text), "",
                          text_label(s) + " removed");
      d.old_where = text_box(s);
      d.old_sources = {s.source};
    }
    for (std::size_t j : left_b) {
      const footprint_text& t = b.texts[j];
      difference& d =
          add("text", t.kind, "added", "", quoted(t.text),
              text_label(t) + " added at " + point_text(t.position));
      d.new_where = text_box(t);
      d.new_sources = {t.source};
    }
  }

  // Fields and attributes -------------------------------------------------

  void compare_named(const char* subject,
                     const std::map<std::string, std::string>& before,
                     const std::map<std::string, std::string>& after) {
    std::map<std::string, bool> names;
    for (const auto& [name, value] : before) names[name] = true;
    for (const auto& [name, value] : after) names[name] = true;
    for (const auto& [name, unused] : names) {
      const auto p = before.find(name);
      const auto q = after.find(name);
      const std::string old_value = p == before.end() ? "" : p->second;
      const std::string new_value = q == after.end() ? "" : q->second;
      if (old_value == new_value) continue;
      const auto shown = [](const std::string& value) {
        return value.empty() ? std::string("none") : quoted(value);
      };
      difference& d = add(subject, name, "changed", old_value, new_value,
                          std::string(subject) + " " + name + " " +
                              shown(old_value) + " -> " + shown(new_value));
      // The texts that show a reference or value change with it.
      if (std::string(subject) == "field" &&
          (name == "Reference" || name == "Value"))
        mark_texts(d, name == "Reference" ? "reference" : "value");
    }
  }

  void mark_texts(difference& d, const std::string& kind) const {
    for (const footprint_text& t : a.texts)
      if (t.kind == kind) {
        d.old_sources.push_back(t.source);
        d.old_where = text_box(t);
      }
    for (const footprint_text& t : b.texts)
      if (t.kind == kind) {
        d.new_sources.push_back(t.source);
        d.new_where = text_box(t);
      }
  }

  const footprint_contents& a;
  const footprint_contents& b;
  double tol;
  footprint_comparison result;
};

}  // namespace

footprint_comparison compare_footprints(const footprint_contents& before,
                                        const footprint_contents& after,
                                        double tolerance) {
  return comparer(before, after, tolerance).run();
}

}  // namespace zcore
