#include "zcore/footprint_facts.h"

#include "zcore/basenode.h"
#include "zcore/element_extents.h"
#include "zcore/legacy_elements.h"
#include "zcore/legacy_model.h"
#include "zcore/model_exception.h"
#include "zcore/models.h"
#include "zcore/nodeview.h"
#include "zcore/shape_extents.h"
#include "zcore/to_double.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string_view>
#include <tuple>
#include <utility>

namespace zcore {

namespace {

// Millimetres rounded to the nanometre, from a length in file units.
class units {
public:
  explicit units(double nanometres_per_unit) : nm(nanometres_per_unit) {}

  double mm(double length) const { return std::round(length * nm) / 1e6; }
  point mm(const point& p) const { return {mm(p.x), mm(p.y)}; }
  dimensions size(double x, double y) const { return {mm(x), mm(y)}; }
  std::optional<double> mm(const std::optional<double>& length) const {
    if (!length) return std::nullopt;
    return mm(*length);
  }

private:
  double nm;
};

const units kFileMillimetres(1e6);

constexpr double kDegrees = 180 / 3.14159265358979323846;

// A whole number the file writes; `fallback` for one out of range.
long whole(double number, long fallback) {
  return std::abs(number) < 1e9 ? static_cast<long>(number) : fallback;
}

bool rounded_to_nm(double length, std::int64_t& nm) {
  const double scaled = std::round(length * 1e6);
  // Beyond this a double no longer holds every nanometre.
  if (!(std::abs(scaled) < 1e15)) return false;
  nm = static_cast<std::int64_t>(scaled);
  return true;
}

// Whether a pad is one a net can reach, which KiCad numbers: not a
// non-plated hole, not a pad without copper (a paste or mask opening).
bool connects(const pad_facts& pad) {
  return !pad.number.empty() && pad.type != "np_thru_hole" &&
         std::any_of(pad.layers.begin(), pad.layers.end(),
                     [](std::string_view layer) {
                       return layer.size() > 3 &&
                              layer.substr(layer.size() - 3) == ".Cu";
                     });
}

// The facts read one child at a time: a pad has some twenty children to
// look for, and finding each by name took as long as reading the file.
// Later children of a name replace earlier ones, as basenode::find picks
// the last.
double number_at(const basenode* node, std::size_t i) {
  return node->children.size() > i ? to_double(node->children[i]->name) : 0;
}

void read_drill(const basenode* drill, pad_facts& pad) {
  const units& u = kFileMillimetres;
  pad.slot = std::string_view(drill->children[0]->name) == "oval";
  const double x = number_at(drill, pad.slot ? 1 : 0);
  pad.drill = u.size(x, pad.slot ? number_at(drill, 2) : x);
  pad.drill_offset = u.mm(to_point(drill->find("offset")));
}

// What a pad may set for itself, by the child that holds it.
const std::pair<std::string_view, std::optional<double> pad_facts::*>
    kOverrides[] = {
        {"die_length", &pad_facts::die_length},
        {"solder_mask_margin", &pad_facts::solder_mask_margin},
        {"solder_paste_margin", &pad_facts::solder_paste_margin},
        {"solder_paste_margin_ratio", &pad_facts::solder_paste_ratio},
        {"clearance", &pad_facts::clearance}};

// Where a pad is, how large and on which layers: all the figures need.
bool read_placement_child(const basenode* child, pad_facts& pad, point& size) {
  const units& u = kFileMillimetres;
  const std::string_view key = child->name;
  if (key == "at") {
    pad.position = u.mm(to_point(child));
    pad.rotation = number_at(child, 2);
  } else if (key == "size") {
    size = to_point(child);
    pad.size = u.size(size.x, size.y);
  } else if (key == "layers") {
    pad.layers.clear();
    pad.layers.reserve(4);
    add_layers(child, pad.layers);
  } else {
    return false;
  }
  return true;
}

void read_pad_child(const basenode* child, pad_facts& pad, point& size,
                    double& rratio) {
  if (read_placement_child(child, pad, size)) return;
  const units& u = kFileMillimetres;
  const std::string_view key = child->name;
  if (key == "drill") {
    read_drill(child, pad);
  } else if (key == "roundrect_rratio") {
    rratio = first_number(child);
  } else if (key == "chamfer_ratio") {
    pad.chamfer_ratio = first_number(child);
  } else if (key == "chamfer") {
    pad.chamfered_corners.clear();
    for (const basenode* corner : child->children)
      pad.chamfered_corners.push_back(corner->name);
  } else if (key == "rect_delta") {
    const point delta = to_point(child);
    pad.trapezoid_delta = u.size(delta.x, delta.y);
  } else if (key == "primitives") {
    pad.primitives = std::count_if(
        child->children.begin(), child->children.end(),
        [](const basenode* shape) { return !shape->children.empty(); });
  } else if (key == "pinfunction" || key == "pintype") {
    (key == "pintype" ? pad.pin_type : pad.pin_function) = first_text(child);
  } else if (key == "zone_connect") {
    pad.zone_connection = static_cast<int>(whole(first_number(child), -1));
  } else if (key == "solder_paste_ratio") {
    // An older spelling; the newer wins.
    if (!pad.solder_paste_ratio) pad.solder_paste_ratio = first_number(child);
  } else {
    for (const auto& [name, field] : kOverrides)
      if (key == name) pad.*field = first_number(child);
  }
}

// What the figures of a footprint need of a pad.
pad_facts summary_pad(const basenode* node) {
  const nodeview view(node);
  pad_facts pad;
  pad.number = view.first_text();
  pad.type = view.second_text();
  point size;
  for (const basenode* child : node->children)
    if (!child->children.empty()) read_placement_child(child, pad, size);
  return pad;
}

pad_facts pretty_pad(const basenode* node) {
  const nodeview view(node);
  pad_facts pad;
  pad.number = view.first_text();
  pad.type = view.second_text();
  pad.shape = view.third_text();
  point size;
  double rratio = 0.25;  // KiCad's own when the file says none
  for (const basenode* child : node->children)
    if (!child->children.empty()) read_pad_child(child, pad, size, rratio);
  for (std::optional<double>* length :
       {&pad.die_length, &pad.solder_mask_margin, &pad.solder_paste_margin,
        &pad.clearance})
    if (*length) *length = kFileMillimetres.mm(**length);
  const std::string_view shape = pad.shape;
  const bool chamfered = (shape == "rect" || shape == "roundrect") &&
                         !pad.chamfered_corners.empty() &&
                         pad.chamfer_ratio > 0;
  // A chamfered roundrect keeps its rounding.
  if (shape == "roundrect") pad.roundrect_ratio = rratio;
  if (chamfered) pad.shape = "chamfered_rect";
  if (!chamfered) pad.chamfer_ratio = 0;
  const double ratio = std::clamp(pad.roundrect_ratio, 0.0, 0.5);
  pad.corner_radius =
      kFileMillimetres.mm(ratio * std::min(std::abs(size.x), std::abs(size.y)));
  if (pad.shape != "custom") pad.primitives = 0;
  return pad;
}

footprint_kind declared_kind(const std::vector<std::string>& attributes) {
  for (const std::string& word : attributes) {
    if (word == "smd") return footprint_kind::smd;
    if (word == "through_hole") return footprint_kind::through_hole;
  }
  return footprint_kind::unspecified;
}

void count_pads(footprint_facts& facts, footprint_kind declared,
                bool board_only) {
  std::vector<std::string_view> numbers;
  for (const pad_facts& pad : facts.pads) {
    ++facts.pads_by_type[pad.type];
    if (connects(pad)) numbers.push_back(pad.number);
  }
  std::sort(numbers.begin(), numbers.end());
  facts.distinct_numbers =
      std::unique(numbers.begin(), numbers.end()) - numbers.begin();
  facts.pitch = pitch_of(facts.pads);
  const bool smd = facts.pads_by_type.count("smd") > 0;
  const bool through = facts.pads_by_type.count("thru_hole") > 0;
  if (board_only)
    facts.kind = footprint_kind::board_only;
  else if (smd && through)
    facts.kind = footprint_kind::mixed;
  else if (declared != footprint_kind::unspecified)
    facts.kind = declared;
  else if (smd || through)
    facts.kind = smd ? footprint_kind::smd : footprint_kind::through_hole;
}

std::optional<dimensions> size_of(const extent_builder& front,
                                  const extent_builder& back) {
  const std::optional<box> b = (front.empty() ? back : front).result();
  if (!b) return std::nullopt;
  return dimensions{kFileMillimetres.mm(b->width()),
                    kFileMillimetres.mm(b->height())};
}

std::optional<box> rounded(const std::optional<box>& b) {
  if (!b) return std::nullopt;
  const units& u = kFileMillimetres;
  return box{u.mm(b->x0), u.mm(b->y0), u.mm(b->x1), u.mm(b->y1)};
}

// The layers whose extents the facts give: front, else back courtyard and
// fabrication outline.
struct outline_extents {
  extent_builder courtyard[2], fab[2], all;

  extent_builder* outline(std::string_view layer) {
    return layer == "F.CrtYd"   ? &courtyard[0]
           : layer == "B.CrtYd" ? &courtyard[1]
           : layer == "F.Fab"   ? &fab[0]
           : layer == "B.Fab"   ? &fab[1]
                                : nullptr;
  }
  static std::string_view layer_of(const shape_parts& parts) {
    return parts.layer && !parts.layer->children.empty()
               ? std::string_view(parts.layer->children[0]->name)
               : std::string_view();
  }
  void add(const basenode* node) {
    const shape_parts parts(node);
    extent_builder* on = outline(layer_of(parts));
    if (add_graphic_extent(node, parts, all, parts.line_width() / 2) && on)
      add_graphic_extent(node, parts, *on, 0);
  }
  // The courtyard and fabrication outlines alone, leaving the bounds.
  void add_outline(const basenode* node) {
    const shape_parts parts(node);
    if (extent_builder* on = outline(layer_of(parts)))
      add_graphic_extent(node, parts, *on, 0);
  }
  void finish(footprint_facts& facts) const {
    facts.courtyard = size_of(courtyard[0], courtyard[1]);
    facts.fab = size_of(fab[0], fab[1]);
    facts.bounds = rounded(all.result());
  }
};

std::string joined(const record& r, std::size_t from) {
  std::string text;
  for (std::size_t i = from; i < r.size(); ++i)
    text += (i > from ? " " : "") + r[i];
  return text;
}

pad_facts legacy_pad(const l_pad& p, const units& u) {
  pad_facts pad;
  pad.number = p.number;
  pad.type = p.kicad_type();
  pad.shape = p.kicad_shape();
  pad.position = u.mm(point{p.x, p.y});
  pad.rotation = p.orientation / 10;
  pad.size = u.size(p.size_x, p.size_y);
  pad.drill = u.size(p.drill_x, p.drill_y);
  pad.slot = p.oblong_drill;
  pad.drill_offset = u.mm(point{p.drill_offset_x, p.drill_offset_y});
  pad.layers = p.layers();
  pad.trapezoid_delta = u.size(p.delta_x, p.delta_y);
  pad.die_length = u.mm(p.die_length);
  pad.solder_mask_margin = u.mm(p.solder_mask_margin);
  pad.solder_paste_margin = u.mm(p.solder_paste_margin);
  pad.solder_paste_ratio = p.solder_paste_ratio;
  pad.clearance = u.mm(p.clearance);
  if (p.zone_connection)
    pad.zone_connection = static_cast<int>(whole(*p.zone_connection, -1));
  return pad;
}

void add_legacy_graphic(const std::vector<record>& records, std::size_t i,
                        const units& u, extent_builder& extent) {
  const std::string& tag = records[i][0];
  if (is_line_tag(tag)) {
    const l_line e(records[i]);
    extent.add(u.mm(point{e.x1, e.y1}), u.mm(e.width) / 2);
    extent.add(u.mm(point{e.x2, e.y2}), u.mm(e.width) / 2);
  } else if (is_circle_tag(tag)) {
    const l_circle e(records[i]);
    extent.add(u.mm(point{e.x1, e.y1}),
               u.mm(std::hypot(e.x2 - e.x1, e.y2 - e.y1) + e.width / 2));
  } else if (is_arc_tag(tag)) {
    const l_arc e(records[i]);
    extent.add(
        arc_extent{u.mm(point{e.x1, e.y1}),
                   u.mm(std::hypot(e.x2 - e.x1, e.y2 - e.y1)),
                   std::atan2(e.y2 - e.y1, e.x2 - e.x1) * kDegrees, e.sweep()},
        u.mm(e.width) / 2);
  } else if (is_poly_tag(tag)) {
    const l_poly e = l_poly::with_corners(records, i);
    for (const point& corner : e.corners)
      extent.add(u.mm(corner), u.mm(e.width) / 2);
  }
}

// The parts of a module outside its pads' and 3D shapes' blocks.
void read_module_record(const record& r, footprint_facts& facts,
                        footprint_kind& declared) {
  const std::string& tag = r[0];
  if (tag == "$MODULE" && r.size() > 1) facts.name = r[1];
  if (tag == "Cd") facts.description = joined(r, 1);
  if (tag == "Kw") facts.tags.assign(r.begin() + 1, r.end());
  if (tag == "At" && r.size() > 1 && r[1] == "SMD")
    declared = footprint_kind::smd;
}

}  // namespace

const char* kind_name(footprint_kind kind) {
  switch (kind) {
    case footprint_kind::smd:
      return "SMD";
    case footprint_kind::through_hole:
      return "through-hole";
    case footprint_kind::mixed:
      return "mixed";
    case footprint_kind::board_only:
      return "board-only";
    case footprint_kind::unspecified:
      break;
  }
  return "unspecified";
}

std::string generation_of(long version) {
  static const std::pair<long, const char*> kReleases[] = {
      {20200000, "KiCad 5"}, {20211014, "KiCad 6"}, {20221018, "KiCad 7"},
      {20240108, "KiCad 8"}, {20241229, "KiCad 9"}, {20260206, "KiCad 10"}};
  for (const auto& [last, name] : kReleases)
    if (version <= last) return name;
  return "newer than KiCad 10";
}

namespace {

// All the facts, or with `summary` only those the figures need.
footprint_facts read_facts(const basenode* root, bool summary) {
  footprint_facts facts;
  if (!root) return facts;
  const nodeview view(root);
  facts.name = view.first_text();
  facts.description = view.descr();
  facts.tags = view.tags();
  facts.version = whole(first_number(root->find("version")), 0);
  facts.generation = generation_of(facts.version);
  std::string description;
  outline_extents extents;
  facts.pads.reserve(std::count_if(
      root->children.begin(), root->children.end(), [](const basenode* child) {
        return std::string_view(child->name) == "pad";
      }));
  for (const basenode* child : root->children) {
    const std::string_view name = child->name;
    if (name == "pad" && summary) {
      facts.pads.push_back(summary_pad(child));
    } else if (name == "pad") {
      facts.pads.push_back(pretty_pad(child));
      add_pad_extent(facts.pads.back(), child, extents.all);
    } else if (name == "model") {
      facts.models.push_back(first_text(child));
    } else if (name.substr(0, 3) == "fp_" && summary) {
      extents.add_outline(child);
    } else if (name.substr(0, 3) == "fp_") {
      extents.add(child);
    } else if (name == "property" && child->children.size() > 1) {
      const std::string_view key = child->children[0]->name;
      if (key == "Datasheet") facts.datasheet = child->children[1]->name;
      if (key == "Description") description = child->children[1]->name;
    }
  }
  // KiCad's word for no value.
  if (facts.datasheet == "~") facts.datasheet.clear();
  if (facts.description.empty()) facts.description = description;
  extents.finish(facts);
  const std::vector<std::string> attributes = view.attr();
  count_pads(facts, declared_kind(attributes),
             std::find(attributes.begin(), attributes.end(), "board_only") !=
                 attributes.end());
  return facts;
}

}  // namespace

footprint_facts facts_of(const basenode* root) {
  return read_facts(root, false);
}

footprint_facts facts_of(const LegacyStringModel& model) {
  footprint_facts facts;
  facts.generation = "legacy";
  const std::vector<legacy_module> modules = model.modules();
  if (modules.empty()) return facts;
  const std::vector<record>& records = model.records();
  const units u(std::round(model.millimetres_per_unit() * 1e6));
  footprint_kind declared = footprint_kind::unspecified;
  extent_builder extent;
  std::string block;
  for (std::size_t i = modules[0].first; i <= modules[0].last; ++i) {
    const record& r = records[i];
    if (r.empty() || is_failed_line(r)) continue;
    const std::string& tag = r[0];
    if (tag == "$PAD") {
      facts.pads.push_back(legacy_pad(l_pad(records, i), u));
      add_pad_extent(facts.pads.back(), nullptr, extent);
    }
    if (tag == "$PAD" || tag == "$SHAPE3D") block = tag;
    if (tag == "$EndPAD" || tag == "$EndSHAPE3D") block.clear();
    if (block == "$SHAPE3D" && tag == "Na" && r.size() > 1)
      facts.models.push_back(r[1]);
    if (!block.empty()) continue;
    read_module_record(r, facts, declared);
    try {
      add_legacy_graphic(records, i, u, extent);
    } catch (const ModelException&) {
      // A record too short for its element adds nothing.
    }
  }
  facts.bounds = rounded(extent.result());
  count_pads(facts, declared, false);
  return facts;
}

footprint_facts facts_of(const BaseModel& model) {
  if (const auto* tree = dynamic_cast<const S_Model*>(&model))
    return facts_of(tree->root());
  if (const auto* legacy = dynamic_cast<const LegacyStringModel*>(&model))
    return facts_of(*legacy);
  return footprint_facts();
}

footprint_facts summary_facts_of(const BaseModel& model) {
  if (const auto* tree = dynamic_cast<const S_Model*>(&model))
    return read_facts(tree->root(), true);
  return facts_of(model);
}

std::optional<double> pitch_of(const std::vector<pad_facts>& pads) {
  // Pads of one group: same type and size, either way round.
  using group_key = std::tuple<std::string_view, std::int64_t, std::int64_t>;
  struct centre {
    std::int64_t x, y;
    const std::string* number;
  };
  std::map<group_key, std::vector<centre>> groups;
  for (const pad_facts& pad : pads) {
    std::int64_t x = 0, y = 0, w = 0, h = 0;
    if (!connects(pad) || !rounded_to_nm(pad.position.x, x) ||
        !rounded_to_nm(pad.position.y, y) ||
        !rounded_to_nm(pad.size.width, w) || !rounded_to_nm(pad.size.height, h))
      continue;
    groups[{pad.type, std::min(w, h), std::max(w, h)}].push_back(
        {x, y, &pad.number});
  }
  std::optional<std::int64_t> best;
  for (auto& [key, members] : groups) {
    const bool one_number = std::all_of(
        members.begin(), members.end(),
        [&](const centre& c) { return *c.number == *members.front().number; });
    if (one_number) continue;
    // Gaps between neighbours along rows, then along columns.
    std::map<std::int64_t, int> gaps;
    for (const bool rows : {true, false}) {
      const auto across = [rows](const centre& c) { return rows ? c.y : c.x; };
      const auto along = [rows](const centre& c) { return rows ? c.x : c.y; };
      std::sort(members.begin(), members.end(),
                [&](const centre& a, const centre& b) {
                  return std::make_pair(across(a), along(a)) <
                         std::make_pair(across(b), along(b));
                });
      for (std::size_t i = 1; i < members.size(); ++i) {
        const std::int64_t gap = along(members[i]) - along(members[i - 1]);
        if (across(members[i]) == across(members[i - 1]) && gap > 0)
          ++gaps[gap];
      }
    }
    for (const auto& [gap, count] : gaps) {
      if (count < 2) continue;
      if (!best || gap < *best) best = gap;
      break;
    }
  }
  if (!best) return std::nullopt;
  return static_cast<double>(*best) / 1e6;
}

}  // namespace zcore
