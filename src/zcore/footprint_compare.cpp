#include "zcore/footprint_compare.h"

#include "zcore/compare_terms.h"
#include "zcore/shape_extents.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <utility>

namespace zcore {

namespace {

using namespace compare_terms;

// What remains unpaired on each side, and the pairs found.
struct pairing {
  index_pairs pairs;
  std::vector<std::size_t> removed, added;
};

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

  // Graphics --------------------------------------------------------------

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
