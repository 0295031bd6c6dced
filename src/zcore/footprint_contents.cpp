#include "zcore/footprint_contents.h"

#include "zcore/basenode.h"
#include "zcore/legacy_elements.h"
#include "zcore/legacy_model.h"
#include "zcore/model_exception.h"
#include "zcore/models.h"
#include "zcore/nodeview.h"
#include "zcore/to_double.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <tuple>

namespace zcore {

namespace {

constexpr double kPi = 3.14159265358979323846;

double nm(double mm) {
  return std::round(mm * 1e6) / 1e6;
}

point nm(const point& p) {
  return {nm(p.x), nm(p.y)};
}

double degrees(double angle) {
  if (!std::isfinite(angle)) return angle;
  angle = std::fmod(angle, 360.0);
  if (angle < 0) angle += 360;
  // Rounded, so that 359.9999999 and 0 read alike.
  angle = std::round(angle * 1e6) / 1e6;
  return angle >= 360 ? 0 : angle;
}

// `p` turned about `centre` by `sweep` degrees, clockwise on screen for a
// positive sweep, as the files' arcs turn.
point around(const point& centre, const point& p, double sweep) {
  const double a = sweep * kPi / 180;
  const double dx = p.x - centre.x, dy = p.y - centre.y;
  return {centre.x + dx * std::cos(a) - dy * std::sin(a),
          centre.y + dx * std::sin(a) + dy * std::cos(a)};
}

// Collects the shapes of one footprint, lengths scaled to millimetres.
class shape_list {
public:
  shape_list(std::vector<graphic_shape>& shapes, double mm_per_unit)
      : shapes(shapes), scale(mm_per_unit) {}

  // What the next shapes share.
  void start(std::size_t source, std::string layer, double width,
             std::string stroke = "solid") {
    current.sources = {source};
    current.layer = std::move(layer);
    current.width = nm(width * scale);
    current.stroke =
        stroke.empty() || stroke == "default" ? "solid" : std::move(stroke);
  }

  // KiCad drops a line of no length when it reads one.
  void line(const point& a, const point& b) {
    if (nm(a.x * scale) != nm(b.x * scale) ||
        nm(a.y * scale) != nm(b.y * scale))
      add("line", {a, b}, false);
  }
  void circle(const point& centre, double radius, bool filled) {
    add("circle", {centre, {centre.x + radius, centre.y}}, filled);
  }
  void arc(const point& start, const point& mid, const point& end) {
    add("arc", {start, mid, end}, false);
  }
  // An arc about `centre` from `start`, sweeping `sweep` degrees.
  void arc_around(const point& centre, const point& start, double sweep) {
    arc(start, around(centre, start, sweep / 2), around(centre, start, sweep));
  }
  // A filled polygon is one shape; an outline is its sides.
  void polygon(std::vector<point> corners, bool filled,
               const char* kind = "polygon") {
    if (corners.size() > 1 && corners.front().x == corners.back().x &&
        corners.front().y == corners.back().y)
      corners.pop_back();
    if (filled) {
      add(kind, std::move(corners), true);
      return;
    }
    for (std::size_t i = 0; corners.size() > 1 && i < corners.size(); ++i) {
      // Two corners make one side, not the same side twice.
      if (corners.size() == 2 && i == 1) break;
      line(corners[i], corners[(i + 1) % corners.size()]);
    }
  }
  void curve(const std::vector<point>& points) { add("curve", points, false); }

private:
  void add(const char* kind, std::vector<point> points, bool filled) {
    graphic_shape shape = current;
    shape.kind = kind;
    shape.filled = filled;
    for (point& p : points) p = nm({p.x * scale, p.y * scale});
    shape.points = std::move(points);
    shapes.push_back(std::move(shape));
  }

  std::vector<graphic_shape>& shapes;
  double scale;
  graphic_shape current;
};

// Lines on one straight line, alike in layer and look, that touch or
// overlap, joined: a generator may draw a side in one line or in two.
void join_lines(std::vector<graphic_shape>& shapes) {
  struct piece {
    std::size_t index;
    double from, to;
    point start, end;
  };
  using line_key =
      std::tuple<std::string, double, std::string, double, double, double>;
  std::map<line_key, std::vector<piece>> lines;
  std::vector<graphic_shape> others;
  for (std::size_t i = 0; i < shapes.size(); ++i) {
    const graphic_shape& s = shapes[i];
    if (s.kind != "line") continue;
    point p = s.points[0], q = s.points[1];
    const double length = std::hypot(q.x - p.x, q.y - p.y);
    point u{(q.x - p.x) / length, (q.y - p.y) / length};
    if (u.x < 0 || (u.x == 0 && u.y < 0)) {
      std::swap(p, q);
      u = {-u.x, -u.y};
    }
    // The direction to a nanoradian, the distance from the origin to a
    // nanometre.
    const double offset = nm(u.x * p.y - u.y * p.x);
    const line_key key{s.layer,
                       s.width,
                       s.stroke,
                       std::round(u.x * 1e9),
                       std::round(u.y * 1e9),
                       offset};
    lines[key].push_back(
        {i, u.x * p.x + u.y * p.y, u.x * q.x + u.y * q.y, p, q});
  }
  std::vector<bool> drop(shapes.size());
  for (auto& [key, pieces] : lines) {
    std::sort(pieces.begin(), pieces.end(),
              [](const piece& x, const piece& y) { return x.from < y.from; });
    piece* run = &pieces[0];
    for (std::size_t k = 1; k < pieces.size(); ++k) {
      graphic_shape& joined = shapes[run->index];
      const piece next = pieces[k];
      if (next.from > run->to + 1e-6) {
        run = &pieces[k];
        continue;
      }
      if (next.to > run->to) {
        run->to = next.to;
        run->end = next.end;
        joined.points = {run->start, run->end};
      }
      const std::vector<std::size_t>& more = shapes[next.index].sources;
      joined.sources.insert(joined.sources.end(), more.begin(), more.end());
      drop[next.index] = true;
    }
  }
  std::vector<graphic_shape> kept;
  for (std::size_t i = 0; i < shapes.size(); ++i)
    if (!drop[i]) kept.push_back(std::move(shapes[i]));
  shapes = std::move(kept);
}

bool is_solid(const std::string& fill) {
  return fill == "solid" || fill == "yes";
}

std::vector<point> corners_of(const nodeview& view) {
  std::vector<point> corners;
  const basenode* pts = view.node()->find("pts");
  for (const basenode* child : pts ? pts->children : node_list()) {
    if (child->name == "arc") {
      const nodeview arc(child);
      for (const point& p : {arc.start(), arc.mid(), arc.end()})
        corners.push_back(p);
    } else {
      corners.push_back(to_point(child));
    }
  }
  return corners;
}

void add_pretty_shape(const basenode* node, bool kicad5, shape_list& out) {
  const nodeview view(node);
  const std::string kind = node->name.substr(3);
  const bool filled = is_solid(view.fill());
  if (kind == "line") {
    out.line(view.start(), view.end());
  } else if (kind == "rect") {
    const point a = view.start(), b = view.end();
    out.polygon({a, {b.x, a.y}, b, {a.x, b.y}}, filled);
  } else if (kind == "circle") {
    const point c = view.center(), e = view.end();
    out.circle(c, std::hypot(e.x - c.x, e.y - c.y), filled);
  } else if (kind == "arc" && view.has_mid()) {
    out.arc(view.start(), view.mid(), view.end());
  } else if (kind == "arc") {
    // Older files: the centre, where the arc begins, and its sweep.
    out.arc_around(view.start(), view.end(), view.angle());
  } else if (kind == "poly") {
    // KiCad 5 writes no fill and always fills a polygon.
    out.polygon(corners_of(view), filled || (kicad5 && view.fill().empty()));
  } else if (kind == "curve") {
    out.curve(view.pts());
  }
}

void add_zone(const basenode* node, std::size_t source, shape_list& out) {
  const nodeview view(node);
  const basenode* outline = node->find("polygon");
  if (!outline) return;
  for (const std::string& layer : view.layers()) {
    out.start(source, layer, 0);
    out.polygon(corners_of(nodeview(outline)), true, "zone");
  }
}

// ${REFERENCE} and ${VALUE} as KiCad 6 writes what older files wrote as %R
// and %V.
std::string modern_variables(std::string text) {
  for (const auto& [from, to] :
       {std::pair<const char*, const char*>{"%R", "${REFERENCE}"},
        {"%V", "${VALUE}"}}) {
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + std::string(to).size()))
      text.replace(at, 2, to);
  }
  return text;
}

footprint_text pretty_text(const basenode* node, std::size_t source,
                           std::string kind, std::string text) {
  const nodeview view(node);
  const text_effects effects = view.effects();
  footprint_text t;
  t.kind = std::move(kind);
  t.layer = view.layer();
  t.text = modern_variables(text);
  const placement at = view.at();
  t.position = nm(at.pos);
  t.angle = degrees(at.angle);
  t.size = {nm(effects.size.x), nm(effects.size.y)};
  t.thickness = nm(effects.thickness);
  t.hidden = effects.hidden || view.hide();
  t.source = source;
  return t;
}

std::string lower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

std::string joined(const std::vector<std::string>& words) {
  std::string text;
  for (const std::string& word : words)
    text += (text.empty() ? "" : " ") + word;
  return text;
}

// KiCad names its 3D model folder after each version: the same model is
// ${KICAD6_3DMODEL_DIR}/... in one library and ${KICAD9_3DMODEL_DIR}/... in
// the next.
std::string model_path(std::string path) {
  const std::string head = "${KICAD", tail = "_3DMODEL_DIR}";
  const std::size_t at = path.find(head);
  if (at == std::string::npos) return path;
  std::size_t digits = at + head.size();
  while (digits < path.size() && path[digits] >= '0' && path[digits] <= '9')
    ++digits;
  if (digits > at + head.size() && path.compare(digits, tail.size(), tail) == 0)
    path.erase(at + head.size(), digits - at - head.size());
  return path;
}

std::string models_text(const std::vector<std::string>& models) {
  std::vector<std::string> paths;
  for (const std::string& path : models) paths.push_back(model_path(path));
  return joined(paths);
}

// Runs of blanks as one, none at the ends: a legacy file's words lose their
// spacing.
std::string single_spaced(const std::string& text) {
  std::string result;
  for (const char c : text) {
    const bool blank = c == ' ' || c == '\t' || c == '\n' || c == '\r';
    if (!blank)
      result.push_back(c);
    else if (!result.empty() && result.back() != ' ')
      result.push_back(' ');
  }
  if (!result.empty() && result.back() == ' ') result.pop_back();
  return result;
}

void set(std::map<std::string, std::string>& map, const std::string& key,
         const std::string& value) {
  const bool words = key == "Description" || key == "Keywords";
  if (!value.empty()) map[key] = words ? single_spaced(value) : value;
}

bool is_utf8(const std::string& text) {
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const std::size_t length = c < 0x80           ? 1
                               : (c >> 5) == 0x6  ? 2
                               : (c >> 4) == 0xE  ? 3
                               : (c >> 3) == 0x1E ? 4
                                                  : 0;
    if (length == 0 || i + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k)
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
        return false;
    i += length;
  }
  return true;
}

// Legacy files older than their `# encoding utf-8` line are Latin-1, as
// KiCad reads them.
std::string legacy_text_of(const std::string& text) {
  if (is_utf8(text)) return text;
  std::string result;
  for (const char c : text) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      result.push_back(c);
    } else {
      result.push_back(static_cast<char>(0xC0 | (byte >> 6)));
      result.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
    }
  }
  return result;
}

void read_attributes(const basenode* root, footprint_contents& c) {
  const nodeview view(root);
  auto& attributes = c.attributes;
  const bool kicad5 = root->name == "module";
  bool typed = false;
  for (const std::string& word : view.attr()) {
    if (word == "smd" || word == "through_hole") {
      attributes["type"] = word;
      typed = true;
    } else if (word == "virtual") {
      // As KiCad 6 converts it.
      attributes["exclude_from_pos_files"] = "yes";
      attributes["exclude_from_bom"] = "yes";
      typed = true;
    } else {
      attributes[word] = "yes";
    }
  }
  // A KiCad 5 footprint without a type is a through-hole one.
  if (kicad5 && !typed) attributes["type"] = "through_hole";
  // KiCad 5 wrote solder_paste_ratio for what later files call
  // solder_paste_margin_ratio.
  for (const char* key :
       {"solder_mask_margin", "solder_paste_margin", "solder_paste_ratio",
        "solder_paste_margin_ratio", "clearance", "zone_connect"}) {
    const basenode* child = root->find(key);
    const std::string name = std::string(key) == "solder_paste_margin_ratio"
                                 ? "solder_paste_ratio"
                                 : key;
    if (child && !child->children.empty())
      attributes[name] = mm_text(first_number(child));
  }
  set(attributes, "layer", view.layer());
  set(attributes, "3D models", models_text(c.facts.models));
}

// KiCad numbers no pad without copper and no bare hole: it reads the
// number of a paste or mask opening, or of a hole, as none.
void unnumber_openings(footprint_facts& facts) {
  for (pad_facts& pad : facts.pads) {
    if (pad.type == "np_thru_hole") pad.number.clear();
    const bool copper = std::any_of(
        pad.layers.begin(), pad.layers.end(), [](const std::string& layer) {
          return layer.size() > 3 &&
                 layer.compare(layer.size() - 3, 3, ".Cu") == 0;
        });
    if (!copper) pad.number.clear();
  }
}

void read_pretty(const basenode* root, footprint_contents& c) {
  c.facts = facts_of(root);
  const bool kicad5 = root->name == "module";
  shape_list shapes(c.graphics, 1.0);
  const nodeview view(root);
  set(c.fields, "Description", view.descr());
  set(c.fields, "Keywords", joined(view.tags()));
  for (std::size_t i = 0; i < root->children.size(); ++i) {
    const basenode* node = root->children[i];
    const node_name& name = node->name;
    const nodeview element(node);
    if (name == "pad") {
      c.pad_sources.push_back(i);
    } else if (name.rfind("fp_", 0) == 0 && name != "fp_text" &&
               name != "fp_text_box") {
      shapes.start(i, element.layer(), element.width(), element.stroke_type());
      add_pretty_shape(node, kicad5, shapes);
    } else if (name == "zone") {
      add_zone(node, i, shapes);
    } else if (name == "fp_text") {
      const std::string kind = element.first_text();
      const std::string text = element.second_text();
      c.texts.push_back(pretty_text(node, i, kind, text));
      if (kind == "reference") set(c.fields, "Reference", text);
      if (kind == "value") set(c.fields, "Value", text);
    } else if (name == "property") {
      const std::string key = element.first_text();
      const std::string value = element.second_text();
      // KiCad turns a legacy module's user text into a field without a
      // name: a text like any other.
      if (key.empty()) {
        c.texts.push_back(pretty_text(node, i, "user", value));
        continue;
      }
      set(c.fields, key, value);
      const bool named = key == "Reference" || key == "Value";
      // A field with a place on a layer is a text too: Reference and Value
      // hidden or not, another one where it shows.
      const bool hidden = element.effects().hidden || element.hide();
      if (!element.layer().empty() && (named || !hidden))
        c.texts.push_back(
            pretty_text(node, i, named ? lower(key) : key, value));
    }
  }
  // The facts read the datasheet and description the same way; "~" is
  // KiCad's word for none.
  c.fields.erase("Datasheet");
  set(c.fields, "Datasheet", c.facts.datasheet);
  c.fields.erase("Description");
  set(c.fields, "Description", c.facts.description);
  read_attributes(root, c);
}

void add_legacy_shape(const std::vector<record>& records, std::size_t i,
                      shape_list& out) {
  const std::string& tag = records[i][0];
  const auto layer = [](const std::string& number) {
    const std::string name =
        legacy_layer_name(static_cast<int>(to_double(number)));
    return name.empty() ? number : name;
  };
  if (is_line_tag(tag)) {
    const l_line e(records[i]);
    out.start(i, layer(e.layer), e.width);
    out.line({e.x1, e.y1}, {e.x2, e.y2});
  } else if (is_circle_tag(tag)) {
    const l_circle e(records[i]);
    out.start(i, layer(e.layer), e.width);
    out.circle({e.x1, e.y1}, std::hypot(e.x2 - e.x1, e.y2 - e.y1), false);
  } else if (is_arc_tag(tag)) {
    const l_arc e(records[i]);
    out.start(i, layer(e.layer), e.width);
    out.arc_around({e.x1, e.y1}, {e.x2, e.y2}, e.sweep());
  } else if (is_poly_tag(tag)) {
    const l_poly e = l_poly::with_corners(records, i);
    out.start(i, layer(e.layer), e.width);
    // KiCad reads a legacy polygon as an outline.
    out.polygon(e.corners, false);
  }
}

footprint_text legacy_text(const record& r, std::size_t source, double scale) {
  const l_text e(r);
  footprint_text t;
  t.kind = e.tag == "T0" ? "reference" : e.tag == "T1" ? "value" : "user";
  const std::string name =
      legacy_layer_name(static_cast<int>(to_double(e.layer)));
  t.layer = name.empty() ? e.layer : name;
  // KiCad puts a text of the oldest layout, which names no layer, on the
  // back silkscreen.
  if (r.size() < 11) t.layer = "B.SilkS";
  t.text = modern_variables(legacy_text_of(e.text));
  t.position = nm({e.x * scale, e.y * scale});
  t.angle = degrees(e.orientation / 10);
  t.size = {nm(e.size_x * scale), nm(e.size_y * scale)};
  t.thickness = nm(e.pen_width * scale);
  t.hidden = e.hidden;
  t.source = source;
  return t;
}

// The module-level records outside the pads' and 3D shapes' blocks.
void read_legacy_record(const record& r, double scale, footprint_contents& c) {
  const std::string& tag = r[0];
  if (tag == "Cd") {
    set(c.fields, "Description",
        legacy_text_of(joined(record(r.begin() + 1, r.end()))));
  } else if (tag == "Kw") {
    set(c.fields, "Keywords",
        legacy_text_of(joined(record(r.begin() + 1, r.end()))));
  } else if (tag == "At" && r.size() > 1 && r[1] == "SMD") {
    c.attributes["type"] = "smd";
  } else if (tag == "At" && r.size() > 1 && r[1] == "VIRTUAL") {
    c.attributes["exclude_from_pos_files"] = "yes";
    c.attributes["exclude_from_bom"] = "yes";
  } else if (tag == "Po" && r.size() > 4) {
    c.attributes["layer"] = r[4] == "0" ? "B.Cu" : "F.Cu";
  } else if ((tag == ".SolderMask" || tag == ".LocalClearance" ||
              tag == ".SolderPaste") &&
             r.size() > 1) {
    const char* key = tag == ".SolderMask"       ? "solder_mask_margin"
                      : tag == ".LocalClearance" ? "clearance"
                                                 : "solder_paste_margin";
    c.attributes[key] = mm_text(to_double(r[1]) * scale);
  } else if (tag == ".SolderPasteRatio" && r.size() > 1) {
    c.attributes["solder_paste_ratio"] = mm_text(to_double(r[1]));
  }
}

void read_legacy(const LegacyStringModel& model, footprint_contents& c) {
  c.facts = facts_of(model);
  const std::vector<legacy_module> modules = model.modules();
  if (modules.empty()) return;
  const std::vector<record>& records = model.records();
  const double scale = model.millimetres_per_unit();
  shape_list shapes(c.graphics, scale);
  std::string block;
  for (std::size_t i = modules[0].first; i <= modules[0].last; ++i) {
    const record& r = records[i];
    if (r.empty() || is_failed_line(r)) continue;
    const std::string& tag = r[0];
    if (tag == "$PAD") c.pad_sources.push_back(i);
    if (tag == "$PAD" || tag == "$SHAPE3D") block = tag;
    if (tag == "$EndPAD" || tag == "$EndSHAPE3D") block.clear();
    if (!block.empty()) continue;
    try {
      read_legacy_record(r, scale, c);
      add_legacy_shape(records, i, shapes);
      if (is_text_tag(tag)) {
        c.texts.push_back(legacy_text(r, i, scale));
        const std::string& text = l_text(r).text;
        if (tag == "T0") set(c.fields, "Reference", legacy_text_of(text));
        if (tag == "T1") set(c.fields, "Value", legacy_text_of(text));
      }
    } catch (const ModelException&) {
      // A record too short for its element adds nothing.
    }
  }
  set(c.attributes, "3D models", models_text(c.facts.models));
}

}  // namespace

footprint_contents contents_of(const BaseModel& model) {
  footprint_contents contents;
  if (const auto* tree = dynamic_cast<const S_Model*>(&model)) {
    if (tree->root()) read_pretty(tree->root(), contents);
  } else if (const auto* legacy =
                 dynamic_cast<const LegacyStringModel*>(&model)) {
    read_legacy(*legacy, contents);
  }
  unnumber_openings(contents.facts);
  join_lines(contents.graphics);
  return contents;
}

std::string mm_text(double millimetres) {
  if (!std::isfinite(millimetres)) return millimetres > 0 ? "inf" : "nan";
  char text[64];
  std::snprintf(text, sizeof text, "%.6f", nm(millimetres));
  std::string result(text);
  result.erase(result.find_last_not_of('0') + 1);
  if (result.back() == '.') result.pop_back();
  return result == "-0" ? "0" : result;
}

}  // namespace zcore
