#include "zcore/nodeview.h"

#include "zcore/to_double.h"

#include <algorithm>

namespace zcore {

namespace {

// to_double of child i's name; 0 when there is no such child.
double number_at(const basenode* node, std::size_t i) {
  return node && node->children.size() > i ? to_double(node->children[i]->name)
                                           : 0.0;
}

// The flag `name` among the children after the leading atoms, which hold
// the element's own words: a text reading "hide" hides nothing.
bool has_flag(const basenode* node, const std::string& name) {
  if (!node) return false;
  const basenode* found = nullptr;
  bool past_atoms = false;
  for (const basenode* child : node->children) {
    past_atoms = past_atoms || !child->children.empty();
    if (past_atoms && child->name == name) found = child;
  }
  return is_set(found);
}

}  // namespace

bool is_set(const basenode* flag) {
  return flag && (flag->children.empty() || flag->children[0]->name == "yes");
}

double first_number(const basenode* node) {
  return number_at(node, 0);
}

point to_point(const basenode* node) {
  return {number_at(node, 0), number_at(node, 1)};
}

std::string first_text(const basenode* node) {
  return node && !node->children.empty() ? node->children[0]->name
                                         : std::string();
}

const basenode* nodeview::child(std::string_view key) const {
  return node_ ? node_->find(key) : nullptr;
}

std::string nodeview::atom(std::size_t i) const {
  return node_ && node_->children.size() > i ? node_->children[i]->name
                                             : std::string();
}

std::string nodeview::child_text(std::string_view key,
                                 const std::string& fallback) const {
  const basenode* found = child(key);
  return found ? zcore::first_text(found) : fallback;
}

std::vector<std::string> nodeview::atoms_of(std::string_view key) const {
  std::vector<std::string> result;
  if (const basenode* list = child(key)) {
    result.reserve(list->children.size());
    for (const basenode* atom : list->children) result.push_back(atom->name);
  }
  return result;
}

void add_layers(const basenode* list, std::vector<std::string>& layers) {
  const auto add = [&layers](std::string name) {
    if (std::find(layers.begin(), layers.end(), name) == layers.end())
      layers.push_back(std::move(name));
  };
  for (const basenode* atom : list->children) {
    const node_name& name = atom->name;
    if (name.rfind("*.", 0) == 0 || name.rfind("F&B.", 0) == 0) {
      const std::string kind = name.substr(name.find('.'));
      add("F" + kind);
      add("B" + kind);
    } else {
      add(name);
    }
  }
}

std::vector<std::string> nodeview::layers() const {
  std::vector<std::string> result;
  for (const char* key : {"layer", "layers"})
    if (const basenode* list = child(key)) add_layers(list, result);
  return result;
}

std::vector<point> nodeview::pts() const {
  std::vector<point> result;
  if (const basenode* pts = child("pts")) {
    result.reserve(pts->children.size());
    for (const basenode* xy : pts->children) result.push_back(to_point(xy));
  }
  return result;
}

placement nodeview::at() const {
  const basenode* at = child("at");
  return {to_point(at), number_at(at, 2)};
}

bool nodeview::is_oval_drill() const {
  const basenode* drill = child("drill");
  return drill && !drill->children.empty() &&
         drill->children[0]->name == "oval";
}

point nodeview::drill_size() const {
  if (is_oval_drill()) {
    const basenode* drill = child("drill");
    return {number_at(drill, 1), number_at(drill, 2)};
  }
  const double diameter = drill();
  return {diameter, diameter};
}

point nodeview::drill_offset() const {
  const basenode* drill = child("drill");
  return to_point(drill ? drill->find("offset") : nullptr);
}

font_info nodeview::font() const {
  static const std::vector<std::string> path{"effects", "font"};
  const basenode* font = node_ ? node_->find(path) : nullptr;
  if (!font) return {};
  return {to_point(font->find("size")), first_number(font->find("thickness")),
          font->has("italic")};
}

double nodeview::width() const {
  if (const basenode* width = child("width")) return first_number(width);
  const basenode* stroke = child("stroke");
  return first_number(stroke ? stroke->find("width") : nullptr);
}

std::string nodeview::stroke_type() const {
  const basenode* stroke = child("stroke");
  return zcore::first_text(stroke ? stroke->find("type") : nullptr);
}

text_effects nodeview::effects() const {
  text_effects result;
  const basenode* effects = child("effects");
  const basenode* font = effects ? effects->find("font") : nullptr;
  if (font) {
    const point size = to_point(font->find("size"));
    // The file writes the height first.
    result.size = {size.y, size.x};
    const basenode* thickness = font->find("thickness");
    result.has_thickness = thickness && !thickness->children.empty();
    result.thickness = first_number(thickness);
    result.bold = is_set(font->find("bold"));
    result.italic = is_set(font->find("italic"));
    if (const basenode* spacing = font->find("line_spacing");
        spacing && !spacing->children.empty())
      result.line_spacing = first_number(spacing);
    result.face = zcore::first_text(font->find("face"));
  }
  if (const basenode* justify = effects ? effects->find("justify") : nullptr) {
    for (const basenode* word : justify->children) {
      const node_name& w = word->name;
      if (w == "left") result.horizontal = -1;
      if (w == "right") result.horizontal = 1;
      if (w == "top") result.vertical = -1;
      if (w == "bottom") result.vertical = 1;
      if (w == "mirror") result.mirror = true;
    }
  }
  const basenode* layer = child("layer");
  result.knockout = has_flag(node_, "knockout") ||
                    (effects && is_set(effects->find("knockout"))) ||
                    (layer && layer->find("knockout"));
  result.hidden =
      has_flag(node_, "hide") || (effects && is_set(effects->find("hide")));
  return result;
}

bool nodeview::unlocked() const {
  const basenode* at = child("at");
  return has_flag(node_, "unlocked") || (at && at->find("unlocked"));
}

double nodeview::roundrect_rratio() const {
  const basenode* ratio = child("roundrect_rratio");
  return ratio && !ratio->children.empty() ? first_number(ratio) : 0.25;
}

std::vector<std::string> nodeview::chamfer_corners() const {
  std::vector<std::string> result;
  if (const basenode* chamfer = child("chamfer")) {
    for (const basenode* corner : chamfer->children)
      result.push_back(corner->name);
  }
  return result;
}

std::string nodeview::anchor() const {
  static const std::vector<std::string> path{"options", "anchor"};
  const basenode* anchor = node_ ? node_->find(path) : nullptr;
  return anchor && !anchor->children.empty() ? zcore::first_text(anchor)
                                             : std::string("rect");
}

std::vector<const basenode*> nodeview::primitives() const {
  std::vector<const basenode*> result;
  if (const basenode* list = child("primitives")) {
    for (const basenode* primitive : list->children)
      if (!primitive->children.empty()) result.push_back(primitive);
  }
  return result;
}

}  // namespace zcore
