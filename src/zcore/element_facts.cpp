#include "zcore/element_facts.h"

#include "zcore/legacy_elements.h"
#include "zcore/legacy_model.h"
#include "zcore/nodeview.h"
#include "zcore/text_variables.h"
#include "zcore/to_double.h"

#include <cmath>
#include <locale>
#include <sstream>
#include <string_view>

namespace zcore {

namespace {

constexpr double kPi = 3.14159265358979323846;

// Builds the facts of one element with its lengths scaled to millimetres.
class facts_builder {
public:
  explicit facts_builder(double mm_per_unit) : scale(mm_per_unit) {}

  void text(std::string label, std::string value) {
    list.push_back(
        {std::move(label), fact::kind::text, 0, 0, std::move(value)});
  }
  void length(std::string label, double value) {
    list.push_back(
        {std::move(label), fact::kind::length, value * scale, 0, {}});
  }
  void at(std::string label, point p) {
    list.push_back(
        {std::move(label), fact::kind::point, p.x * scale, p.y * scale, {}});
  }
  void size(std::string label, point p) {
    list.push_back(
        {std::move(label), fact::kind::size, p.x * scale, p.y * scale, {}});
  }
  void angle(std::string label, double degrees) {
    list.push_back({std::move(label), fact::kind::angle, degrees, 0, {}});
  }
  void area(std::string label, double value) {
    list.push_back(
        {std::move(label), fact::kind::area, value * scale * scale, 0, {}});
  }
  void count(std::string label, double value) {
    list.push_back({std::move(label), fact::kind::count, value, 0, {}});
  }
  void link(std::string label, std::string address) {
    list.push_back(
        {std::move(label), fact::kind::link, 0, 0, std::move(address)});
  }

  fact_list list;

private:
  double scale;
};

double distance(point a, point b) {
  return std::hypot(b.x - a.x, b.y - a.y);
}

// The shoelace formula, without the sign of the corners' order.
double polygon_area(const std::vector<point>& corners) {
  double twice = 0;
  for (std::size_t i = 0; i < corners.size(); ++i) {
    const point& a = corners[i];
    const point& b = corners[(i + 1) % corners.size()];
    twice += a.x * b.y - b.x * a.y;
  }
  return std::abs(twice) / 2;
}

const char* yes_no(bool value) {
  return value ? "yes" : "no";
}

// An arc from `start` around `centre` by `sweep` degrees, clockwise on
// screen for a positive sweep as y points down; `end` and `mid` as the
// file gives them, or worked out.
void arc_facts(facts_builder& out, point centre, point start, double sweep,
               const point* mid = nullptr, const point* end = nullptr) {
  const double radius = distance(centre, start);
  const double to =
      std::atan2(start.y - centre.y, start.x - centre.x) + sweep * kPi / 180;
  out.at("Start", start);
  if (mid) out.at("Mid", *mid);
  out.at("End", end ? *end
                    : point{centre.x + radius * std::cos(to),
                            centre.y + radius * std::sin(to)});
  out.at("Centre", centre);
  out.length("Radius", radius);
  out.angle("Angle", sweep);
  out.length("Arc length", radius * std::abs(sweep) * kPi / 180);
}

// The arc through three points; a straight line when they are in a row.
void arc_through(facts_builder& out, point a, point m, point b) {
  const double d =
      2 * (a.x * (m.y - b.y) + m.x * (b.y - a.y) + b.x * (a.y - m.y));
  if (std::abs(d) < 1e-12) {
    out.at("Start", a);
    out.at("End", b);
    out.length("Length", distance(a, b));
    return;
  }
  const double aa = a.x * a.x + a.y * a.y, mm = m.x * m.x + m.y * m.y,
               bb = b.x * b.x + b.y * b.y;
  const point centre{
      (aa * (m.y - b.y) + mm * (b.y - a.y) + bb * (a.y - m.y)) / d,
      (aa * (b.x - m.x) + mm * (a.x - b.x) + bb * (m.x - a.x)) / d};
  const auto turned = [&centre, &a](point p) {
    const double turn = 2 * kPi;
    const double from = std::atan2(a.y - centre.y, a.x - centre.x);
    const double to = std::atan2(p.y - centre.y, p.x - centre.x);
    return std::fmod(to - from + 2 * turn, turn);
  };
  // The way round from a to b that passes m.
  double sweep = turned(b);
  if (turned(m) > sweep) sweep -= 2 * kPi;
  arc_facts(out, centre, a, sweep * 180 / kPi, &m, &b);
}

void stroke_and_layer(facts_builder& out, const nodeview& view) {
  out.text("Layer", view.layer());
  out.length("Width", view.width());
}

void pretty_text(facts_builder& out, const basenode* root,
                 const basenode* node) {
  const nodeview view(node);
  const bool box = node->name == "fp_text_box";
  const bool property = node->name == "property";
  std::string written;
  if (box) {
    for (const basenode* child : node->children) {
      if (!child->children.empty()) break;
      if (child->name != "locked") written = child->name;
    }
  } else {
    written = view.second_text();
  }
  out.text("Kind", box ? "Text box" : "Text");
  out.text(property ? "Field" : "Role",
           box ? std::string("text box") : view.first_text());
  out.text("Text", written);
  out.text("Shown as", footprint_variables(root).resolve(written));
  out.text("Layer", view.layer());
  if (!box) out.at("Position", view.at().pos);
  const text_effects effects = view.effects();
  out.size("Size", effects.size);
  if (effects.has_thickness) out.length("Thickness", effects.thickness);
  out.angle("Angle", box ? view.angle() : view.at().angle);
  out.text("Hidden", yes_no(effects.hidden));
}

std::string joined_layers(const basenode* node) {
  std::string names;
  for (const char* key : {"layer", "layers"})
    if (const basenode* list = node->find(key))
      for (const basenode* name : list->children)
        names += (names.empty() ? "" : " ") + name->name;
  return names;
}

void pretty_zone(facts_builder& out, const basenode* node) {
  const basenode* keepout = node->find("keepout");
  out.text("Kind", keepout ? "Keep-out zone" : "Zone");
  out.text("Layers", joined_layers(node));
  if (const basenode* name = node->find("name"))
    out.text("Name", first_text(name));
  const basenode* outline = node->find("polygon");
  const std::vector<point> corners = nodeview(outline).pts();
  out.count("Corners", static_cast<double>(corners.size()));
  out.area("Area", polygon_area(corners));
  if (keepout) {
    std::string barred;
    for (const basenode* rule : keepout->children)
      if (first_text(rule) == "not_allowed")
        barred += (barred.empty() ? "" : ", ") + rule->name;
    out.text("Not allowed", barred.empty() ? "nothing" : barred);
  }
  if (const basenode* connect = node->find("connect_pads")) {
    if (const basenode* clearance = connect->find("clearance"))
      out.length("Clearance", first_number(clearance));
  }
}

void pretty_dimension(facts_builder& out, const basenode* node) {
  const nodeview view(node);
  out.text("Kind", "Dimension");
  out.text("Type", view.child_text("type"));
  out.text("Layer", view.layer());
  const std::vector<point> ends = view.pts();
  if (ends.size() >= 2) {
    out.at("Start", ends[0]);
    out.at("End", ends[1]);
    out.length("Distance", distance(ends[0], ends[1]));
  }
  if (node->has("height"))
    out.length("Height", first_number(node->find("height")));
  if (const basenode* text = node->find("gr_text"))
    out.text("Text", nodeview(text).first_text());
}

void pretty_element(facts_builder& out, const basenode* root,
                    const basenode* node) {
  const nodeview view(node);
  const node_name& name = node->name;
  if (name == "fp_line") {
    out.text("Kind", "Line");
    stroke_and_layer(out, view);
    out.at("Start", view.start());
    out.at("End", view.end());
    out.length("Length", distance(view.start(), view.end()));
  } else if (name == "fp_rect") {
    out.text("Kind", "Rectangle");
    stroke_and_layer(out, view);
    out.at("Start", view.start());
    out.at("End", view.end());
    out.size("Size", {std::abs(view.end().x - view.start().x),
                      std::abs(view.end().y - view.start().y)});
    out.text("Filled", yes_no(view.fill() == "solid" || view.fill() == "yes"));
  } else if (name == "fp_circle") {
    out.text("Kind", "Circle");
    stroke_and_layer(out, view);
    out.at("Centre", view.center());
    out.length("Radius", distance(view.center(), view.end()));
    out.text("Filled", yes_no(view.fill() == "solid" || view.fill() == "yes"));
  } else if (name == "fp_arc") {
    out.text("Kind", "Arc");
    stroke_and_layer(out, view);
    if (view.has_mid())
      arc_through(out, view.start(), view.mid(), view.end());
    else
      arc_facts(out, view.start(), view.end(), view.angle());
  } else if (name == "fp_poly") {
    out.text("Kind", "Polygon");
    stroke_and_layer(out, view);
    out.count("Corners", static_cast<double>(view.pts().size()));
    out.area("Area", polygon_area(view.pts()));
  } else if (name == "fp_curve") {
    out.text("Kind", "Curve");
    stroke_and_layer(out, view);
    const std::vector<point> points = view.pts();
    if (!points.empty()) {
      out.at("Start", points.front());
      out.at("End", points.back());
    }
  } else if (name == "fp_text" || name == "property" || name == "fp_text_box") {
    // A property without a layer is a field, not a text.
    if (name != "property" || !view.layer().empty())
      pretty_text(out, root, node);
  } else if (name == "zone") {
    pretty_zone(out, node);
  } else if (name == "dimension") {
    pretty_dimension(out, node);
  }
}

std::string legacy_layer(const std::string& number) {
  const std::string name =
      legacy_layer_name(static_cast<int>(to_double(number)));
  return name.empty() ? number : name;
}

void legacy_text(facts_builder& out, const std::vector<record>& records,
                 const l_text& text) {
  out.text("Kind", "Text");
  out.text("Role", text.tag == "T0"   ? "reference"
                   : text.tag == "T1" ? "value"
                                      : "user");
  out.text("Text", text.text);
  out.text("Shown as", legacy_variables(records).resolve(text.text));
  out.text("Layer", legacy_layer(text.layer));
  out.at("Position", {text.x, text.y});
  out.size("Size", {text.size_x, text.size_y});
  out.length("Thickness", text.pen_width);
  out.angle("Angle", text.orientation / 10);
  out.text("Hidden", yes_no(text.hidden));
}

void legacy_element(facts_builder& out, const LegacyStringModel& model,
                    std::size_t index) {
  const std::vector<record>& records = model.records();
  const record& r = records[index];
  if (r.empty()) return;
  const std::string& tag = r.front();
  if (is_line_tag(tag)) {
    const l_line line(r);
    out.text("Kind", "Line");
    out.text("Layer", legacy_layer(line.layer));
    out.length("Width", line.width);
    out.at("Start", {line.x1, line.y1});
    out.at("End", {line.x2, line.y2});
    out.length("Length", distance({line.x1, line.y1}, {line.x2, line.y2}));
  } else if (is_circle_tag(tag)) {
    const l_circle circle(r);
    out.text("Kind", "Circle");
    out.text("Layer", legacy_layer(circle.layer));
    out.length("Width", circle.width);
    out.at("Centre", {circle.x1, circle.y1});
    out.length("Radius",
               distance({circle.x1, circle.y1}, {circle.x2, circle.y2}));
  } else if (is_arc_tag(tag)) {
    const l_arc arc(r);
    out.text("Kind", "Arc");
    out.text("Layer", legacy_layer(arc.layer));
    out.length("Width", arc.width);
    arc_facts(out, {arc.x1, arc.y1}, {arc.x2, arc.y2}, arc.sweep());
  } else if (is_poly_tag(tag)) {
    const l_poly poly = l_poly::with_corners(records, index);
    out.text("Kind", "Polygon");
    out.text("Layer", legacy_layer(poly.layer));
    out.length("Width", poly.width);
    out.count("Corners", static_cast<double>(poly.corners.size()));
    out.area("Area", polygon_area(poly.corners));
  } else if (is_text_tag(tag)) {
    legacy_text(out, records, l_text(r));
  }
}

// A ratio or another plain number: "0.25".
std::string plain(double value) {
  std::ostringstream out;
  out.imbue(std::locale::classic());
  out << value;
  return out.str();
}

std::string joined(const std::vector<std::string>& words,
                   const char* separator) {
  std::string text;
  for (const std::string& word : words)
    text += (text.empty() ? "" : separator) + word;
  return text;
}

const char* const kNone = "\u2014";

void pad_shape_facts(facts_builder& out, const pad_facts& pad) {
  if (pad.corner_radius > 0) {
    out.length("Corner radius", pad.corner_radius);
    out.text("Corner ratio", plain(pad.roundrect_ratio));
  }
  if (pad.shape == "chamfered_rect") {
    out.text("Chamfer ratio", plain(pad.chamfer_ratio));
    out.text("Chamfered corners", joined(pad.chamfered_corners, ", "));
  }
  if (pad.shape == "trapezoid")
    out.size("Trapezoid delta",
             {pad.trapezoid_delta.width, pad.trapezoid_delta.height});
  if (pad.shape == "custom")
    out.count("Primitives", static_cast<double>(pad.primitives));
}

void pad_overrides(facts_builder& out, const pad_facts& pad) {
  if (pad.die_length) out.length("Die length", *pad.die_length);
  if (pad.solder_mask_margin)
    out.length("Solder mask margin", *pad.solder_mask_margin);
  if (pad.solder_paste_margin)
    out.length("Solder paste margin", *pad.solder_paste_margin);
  if (pad.solder_paste_ratio)
    out.text("Solder paste ratio", plain(*pad.solder_paste_ratio));
  if (pad.clearance) out.length("Clearance", *pad.clearance);
  if (pad.zone_connection) {
    static const char* const kConnections[] = {
        "none", "thermal relief", "solid", "thermal relief for through-holes"};
    const int connection = *pad.zone_connection;
    out.text("Zone connection", connection >= 0 && connection < 4
                                    ? std::to_string(connection) + " (" +
                                          kConnections[connection] + ")"
                                    : std::to_string(connection));
  }
}

// The name of a 3D model without its folders.
std::string file_name(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool is_address(const std::string& text) {
  return text.find("://") != std::string::npos || text.rfind("www.", 0) == 0;
}

}  // namespace

fact_list pad_fact_list(const pad_facts& pad) {
  facts_builder out(1.0);
  out.text("Kind", "Pad");
  out.text("Number", pad.number);
  if (!pad.pin_function.empty()) out.text("Pin function", pad.pin_function);
  if (!pad.pin_type.empty()) out.text("Pin type", pad.pin_type);
  out.text("Type", pad.type);
  out.text("Shape", pad.shape);
  out.at("Position", pad.position);
  out.angle("Rotation", pad.rotation);
  out.size("Size", {pad.size.width, pad.size.height});
  if (pad.slot) {
    out.size("Slot", {pad.drill.width, pad.drill.height});
  } else if (pad.drill.width > 0) {
    out.length("Drill", pad.drill.width);
  }
  if (pad.drill_offset.x != 0 || pad.drill_offset.y != 0)
    out.at("Drill offset", pad.drill_offset);
  out.text("Layers", joined(pad.layers, " "));
  pad_shape_facts(out, pad);
  pad_overrides(out, pad);
  return out.list;
}

fact_list footprint_fact_list(const footprint_facts& footprint) {
  facts_builder out(1.0);
  out.text("Kind", "Footprint");
  std::string by_type;
  for (const auto& [type, count] : footprint.pads_by_type)
    by_type +=
        (by_type.empty() ? "" : ", ") + std::to_string(count) + " " + type;
  out.text("Pads", std::to_string(footprint.pads.size()) +
                       (by_type.empty() ? "" : " (" + by_type + ")"));
  out.count("Pad numbers", static_cast<double>(footprint.distinct_numbers));
  if (footprint.pitch) {
    out.length("Pitch", *footprint.pitch);
  } else {
    out.text("Pitch", kNone);
  }
  const auto extent = [&out](const char* label,
                             const std::optional<dimensions>& size) {
    if (size) {
      out.size(label, {size->width, size->height});
    } else {
      out.text(label, kNone);
    }
  };
  extent("Courtyard", footprint.courtyard);
  extent("Fabrication outline", footprint.fab);
  std::optional<dimensions> overall;
  if (footprint.bounds)
    overall = dimensions{footprint.bounds->width(), footprint.bounds->height()};
  extent("Overall size", overall);
  std::vector<std::string> models;
  for (const std::string& model : footprint.models)
    models.push_back(file_name(model));
  out.text("3D models", models.empty() ? kNone : joined(models, ", "));
  out.text("Type", kind_name(footprint.kind));
  out.text("Generation", footprint.generation);
  if (is_address(footprint.datasheet)) {
    out.link("Datasheet", footprint.datasheet);
  } else {
    out.text("Datasheet",
             footprint.datasheet.empty() || footprint.datasheet == "~"
                 ? kNone
                 : footprint.datasheet);
  }
  return out.list;
}

text_variables legacy_variables(const std::vector<record>& records) {
  text_variables variables;
  variables.expand_percent_forms(true);
  for (const record& r : records) {
    if (r.size() > 1 && r.front() == "$MODULE")
      variables.set("FOOTPRINT_NAME", r[1]);
    if (r.empty() || !is_text_tag(r.front())) continue;
    const l_text text(r);
    if (text.tag == "T0") variables.set("REFERENCE", text.text);
    if (text.tag == "T1") variables.set("VALUE", text.text);
  }
  return variables;
}

fact_list element_facts(const BaseModel& model, std::size_t index) {
  if (const auto* tree = dynamic_cast<const S_Model*>(&model)) {
    const basenode* root = tree->root();
    if (!root || index >= root->children.size()) return {};
    facts_builder out(1.0);
    pretty_element(out, root, root->children[index]);
    return out.list;
  }
  if (const auto* legacy = dynamic_cast<const LegacyStringModel*>(&model)) {
    if (index >= legacy->records().size()) return {};
    facts_builder out(legacy->millimetres_per_unit());
    legacy_element(out, *legacy, index);
    return out.list;
  }
  return {};
}

std::string element_kind(const fact_list& facts) {
  return facts.empty() ? std::string() : facts.front().text;
}

}  // namespace zcore
