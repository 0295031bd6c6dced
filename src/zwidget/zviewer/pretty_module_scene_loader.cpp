#include "zwidget/zviewer/pretty_module_scene_loader.h"

#include "zcore/basenode.h"
#include "zcore/nodeview.h"
#include "zcore/text_markup.h"
#include "zcore/to_double.h"
#include "zwidget/zgraph/arc_geometry.h"
#include "zwidget/zgraph/arc_item.h"
#include "zwidget/zgraph/circle_item.h"
#include "zwidget/zgraph/curve_item.h"
#include "zwidget/zgraph/dimension_item.h"
#include "zwidget/zgraph/line_item.h"
#include "zwidget/zgraph/pad_item.h"
#include "zwidget/zgraph/polygon_item.h"
#include "zwidget/zgraph/text_item.h"
#include "zwidget/zgraph/zone_item.h"
#include "zwidget/zviewer/debug_log.h"
#include "zwidget/zviewer/dimension_shape.h"

#include <QPainterPath>
#include <QPolygonF>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <iostream>
#include <limits>
#include <optional>
#include <set>
#include <utility>

namespace zwidget::zcvpcb {

namespace {

// What a zone's hatch leaves out past its bound, counted by segment.
const char* const kHatchLeftOut = "zone hatch segment";

// Kinds of footprint element that draw something in KiCad, for the account
// of what this loader leaves out.
bool is_drawing_kind(const std::string& name) {
  return name.rfind("fp_", 0) == 0 || name == "zone" || name == "dimension" ||
         name == "image";
}

// Newer files write "solid" on footprint graphics and "yes" in pads.
bool is_solid(const std::string& fill) {
  return fill == "solid" || fill == "yes";
}

QPointF to_qt(const zcore::point& p) {
  return QPointF(p.x, p.y);
}

QString to_qt(const std::string& text) {
  return QString::fromStdString(text);
}

// The stroke width of a text without a thickness, in millimetres.
constexpr double kDefaultStroke = 0.15;
// Files before this version mark overbars with single tildes.
constexpr double kFirstMarkupVersion = 20210606;
// A text box without margins keeps its text this many text heights inside.
constexpr double kBoxMargin = 0.75;

// The atoms before an element's first list: its own words. Never empty.
std::vector<std::string> leading_atoms(const zcore::basenode* node) {
  std::vector<std::string> atoms{std::string()};
  for (const zcore::basenode* child : node->children) {
    if (!child->children.empty()) break;
    atoms.push_back(child->name);
  }
  return atoms;
}

// The padstack layer's child `key`, or the pad's own where it has none.
zcore::nodeview stacked(const zcore::basenode* stack_layer,
                        const zcore::basenode* pad, const char* key) {
  return zcore::nodeview(stack_layer && stack_layer->has(key) ? stack_layer
                                                              : pad);
}

zgraph::TextStyle::Align align(int side) {
  using Align = zgraph::TextStyle::Align;
  return side < 0 ? Align::start : side > 0 ? Align::end : Align::centre;
}

zgraph::TextStyle style_of(const zcore::text_effects& effects) {
  zgraph::TextStyle style;
  style.horizontal = align(effects.horizontal);
  style.vertical = align(effects.vertical);
  style.mirrored = effects.mirror;
  style.knockout = effects.knockout;
  style.line_spacing = effects.line_spacing;
  // KiCad's own name for its stroke font.
  if (effects.face != "KiCad Font") style.face = to_qt(effects.face);
  style.bold = effects.bold;
  return style;
}

// An `fp_text_box`: its corners in scene coordinates, and the point its
// text is anchored at inside the margins as its justification says.
struct TextBox {
  QPolygonF corners;
  double angle = 0;
  QPointF anchor;
  // The text's justification.
  int horizontal = 0, vertical = 0;
  double width = 0;  // between the side margins
  std::string layer;
  bool border = false;
  double border_width = 0;
};

TextBox text_box_of(const zcore::nodeview& view) {
  TextBox box;
  box.layer = view.layer();
  box.angle = view.angle();
  if (view.node()->has("pts")) {
    for (const zcore::point& p : view.pts()) box.corners << to_qt(p);
  } else {
    const QPointF a = to_qt(view.start()), b = to_qt(view.end());
    box.corners << a << QPointF(b.x(), a.y()) << b << QPointF(a.x(), b.y());
  }
  const zcore::text_effects effects = view.effects();
  const zcore::basenode* border = view.node()->find("border");
  box.border_width = view.width();
  box.border = border ? zcore::is_set(border) : box.border_width > 0;
  // The box as the text sees it: turned back to upright about its centre.
  const QPointF centre = box.corners.boundingRect().center();
  QTransform upright;
  upright.translate(centre.x(), centre.y());
  upright.rotate(box.angle);
  upright.translate(-centre.x(), -centre.y());
  QRectF inner = upright.map(box.corners).boundingRect();
  // (margins LEFT TOP RIGHT BOTTOM)
  const zcore::basenode* margins = view.node()->find("margins");
  double sides[4];
  for (std::size_t i = 0; i < 4; ++i)
    sides[i] = !margins ? effects.size.y * kBoxMargin
               : i < margins->children.size()
                   ? zcore::to_double(margins->children[i]->name)
                   : 0;
  // Margins count from the outer edge of the border's stroke, drawn or not.
  const double half = box.border_width / 2;
  inner.adjust(sides[0] - half, sides[1] - half, half - sides[2],
               half - sides[3]);
  box.width = std::max(inner.width(), 0.0);
  box.horizontal = effects.horizontal;
  box.vertical = effects.vertical;
  const auto along = [](int side, double low, double high) {
    return side < 0 ? low : side > 0 ? high : (low + high) / 2;
  };
  const QPointF anchor(along(box.horizontal, inner.left(), inner.right()),
                       along(box.vertical, inner.top(), inner.bottom()));
  box.anchor = upright.inverted().map(anchor);
  return box;
}

// Both forms of `fp_arc` and `gr_arc`: three points on the arc when there is
// a `mid`; otherwise `start` is the centre, `end` where the arc begins and
// `angle` the sweep.
std::string layer_of(const zcore::basenode* node) {
  return zcore::nodeview(node).layer();
}

zgraph::ArcShape arc_of(const zcore::nodeview& view) {
  if (view.has_mid())
    return zgraph::arc_through(to_qt(view.start()), to_qt(view.mid()),
                               to_qt(view.end()));
  return zgraph::arc_around(to_qt(view.start()), to_qt(view.end()),
                            view.angle());
}

// A custom pad's primitive in pad coordinates; none for a kind not drawn.
std::optional<zgraph::PadPrimitive> primitive_of(const zcore::basenode* node) {
  const zcore::nodeview view(node);
  const zcore::node_name& name = node->name;
  zgraph::PadPrimitive primitive;
  primitive.width = view.width();
  QPainterPath& path = primitive.path;
  if (name == "gr_poly") {
    QPolygonF polygon;
    for (const zcore::point& p : view.pts()) polygon.append(to_qt(p));
    path.addPolygon(polygon);
    path.closeSubpath();
    primitive.filled = view.fill() != "none";
  } else if (name == "gr_line") {
    const zcore::segment line = view.line();
    path.moveTo(to_qt(line.start));
    path.lineTo(to_qt(line.end));
  } else if (name == "gr_rect") {
    path.addRect(QRectF(to_qt(view.start()), to_qt(view.end())).normalized());
    primitive.filled = is_solid(view.fill());
  } else if (name == "gr_circle") {
    const zcore::point centre = view.center();
    const zcore::point end = view.end();
    const double radius = std::hypot(end.x - centre.x, end.y - centre.y);
    path.addEllipse(to_qt(centre), radius, radius);
    // Older files mean a disc by a circle of width 0 without a fill.
    primitive.filled =
        is_solid(view.fill()) || (view.fill().empty() && primitive.width == 0);
  } else if (name == "gr_arc") {
    path = zgraph::arc_path(arc_of(view));
  } else {
    return std::nullopt;
  }
  return primitive;
}

}  // namespace

ZPrettyModuleSceneLoader::ZPrettyModuleSceneLoader(ZScene* scene,
                                                   const zcore::basenode* root)
    : ZSceneLoader(scene), root(root) {
}

ZPrettyModuleSceneLoader::Handler ZPrettyModuleSceneLoader::handler_for(
    std::string_view name) {
  static const std::pair<std::string_view, Handler> kHandlers[] = {
      {"fp_line", &ZPrettyModuleSceneLoader::add_line},
      {"pad", &ZPrettyModuleSceneLoader::add_pad},
      {"fp_text", &ZPrettyModuleSceneLoader::keep_text},
      {"property", &ZPrettyModuleSceneLoader::keep_text},
      {"fp_text_box", &ZPrettyModuleSceneLoader::add_text_box},
      {"zone", &ZPrettyModuleSceneLoader::add_zone},
      {"dimension", &ZPrettyModuleSceneLoader::add_dimension},
      {"fp_circle", &ZPrettyModuleSceneLoader::add_circle},
      {"fp_arc", &ZPrettyModuleSceneLoader::add_arc},
      {"fp_poly", &ZPrettyModuleSceneLoader::add_poly},
      {"fp_rect", &ZPrettyModuleSceneLoader::add_rect},
      {"fp_curve", &ZPrettyModuleSceneLoader::add_curve},
  };
  for (const auto& [element, handler] : kHandlers)
    if (name == element) return handler;
  return nullptr;
}

// The footprint's own elements only: the lists inside an element, such as a
// pad's primitives and properties, are that element's.
void ZPrettyModuleSceneLoader::load() {
  if (!root) return;
  if (root->name == "module" && loader_log().isDebugEnabled())
    std::cout << root->name << "->" << std::endl;
  texts.clear();
  last_pad = PadLayers();
  variables = zcore::footprint_variables(root);
  const zcore::basenode* version = root->find("version");
  old_overbars = root->name == "module" || !version ||
                 zcore::first_number(version) < kFirstMarkupVersion;
  // Zones lie beneath everything else.
  const zcore::node_list& elements = root->children;
  for (std::size_t i = 0; i < elements.size(); ++i) {
    if (elements[i]->name != "zone") continue;
    begin_element(i);
    add_zone(elements[i]);
  }
  for (std::size_t i = 0; i < elements.size(); ++i) {
    const zcore::basenode* node = elements[i];
    if (node->name == "zone") continue;
    begin_element(i);
    if (const Handler handler = handler_for(node->name))
      (this->*handler)(node);
    else if (!node->children.empty() && is_drawing_kind(node->name))
      skip(node->name);
  }
  for (const KeptText& text : texts) {
    begin_element(static_cast<std::size_t>(text.element));
    add_text(text.node, text.shown);
  }
}

void ZPrettyModuleSceneLoader::add_line(const zcore::basenode* node) {
  const zcore::segment line = zcore::nodeview(node).line();
  add(new zgraph::GraphicsLineItem(QLineF(to_qt(line.start), to_qt(line.end)),
                                   tools.pen(node)),
      layer_of(node));
}

void ZPrettyModuleSceneLoader::add_curve(const zcore::basenode* node) {
  std::vector<QPointF> points;
  for (const zcore::point& p : zcore::nodeview(node).pts())
    points.push_back(to_qt(p));
  add(new zgraph::GraphicsCurveItem(points, tools.pen(node)), layer_of(node));
}

void ZPrettyModuleSceneLoader::add_circle(const zcore::basenode* node) {
  const zcore::nodeview view(node);
  const zcore::point centre = view.center();
  const zcore::point end = view.end();
  const double radius = std::hypot(end.x - centre.x, end.y - centre.y);
  add(new zgraph::GraphicsCircleItem(to_qt(centre), radius, tools.pen(node),
                                     fill_of(view)),
      view.layer());
}

void ZPrettyModuleSceneLoader::add_arc(const zcore::basenode* node) {
  const zgraph::ArcShape arc = arc_of(zcore::nodeview(node));
  if (arc.straight)
    add(new zgraph::GraphicsLineItem(arc.chord, tools.pen(node)),
        layer_of(node));
  else
    add(new zgraph::GraphicsArcItem(arc.centre, arc.radius, arc.start, arc.span,
                                    tools.pen(node)),
        layer_of(node));
}

void ZPrettyModuleSceneLoader::add_poly(const zcore::basenode* node) {
  const zcore::nodeview view(node);
  QPolygonF polygon;
  for (const zcore::point& p : view.pts()) polygon.append(to_qt(p));
  // KiCad 5 writes no fill and always fills a polygon.
  add(new zgraph::GraphicsPolygonItem(polygon, tools.pen(node),
                                      fill_of(view, root->name == "module")),
      view.layer());
}

void ZPrettyModuleSceneLoader::add_rect(const zcore::basenode* node) {
  const zcore::nodeview view(node);
  const QPointF a = to_qt(view.start());
  const QPointF b = to_qt(view.end());
  QPolygonF corners;
  corners << a << QPointF(b.x(), a.y()) << b << QPointF(a.x(), b.y());
  add(new zgraph::GraphicsPolygonItem(corners, tools.pen(node), fill_of(view)),
      view.layer());
}

void ZPrettyModuleSceneLoader::add_pad(const zcore::basenode* node) {
  const zcore::nodeview view(node);
  const std::string type = view.second_text();
  const PadLayers& on_layers = pad_layers(node, type);
  // A padstack's own shape for the front copper layer, or for the back one
  // of a pad that is only there; the pad's children where it says nothing.
  const std::vector<std::string>& layers = on_layers.layers;
  const auto on = [&layers](const char* layer) {
    return std::find(layers.begin(), layers.end(), layer) != layers.end();
  };
  const char* face = !on("F.Cu") && on("B.Cu") ? "B.Cu" : "F.Cu";
  const zcore::basenode* stack_layer = nullptr;
  if (const zcore::basenode* stack = node->find("padstack"))
    for (const zcore::basenode* child : stack->children)
      if (child->name == "layer" && zcore::first_text(child) == face)
        stack_layer = child;
  const auto from = [&](const char* key) {
    return stacked(stack_layer, node, key);
  };
  zgraph::PadSpec pad;
  pad.number = to_qt(view.first_text());
  pad.pin_name = to_qt(view.child_text("pinfunction"));
  pad.type = zgraph::pad_type_of(type);
  const std::string shape = stack_layer && stack_layer->has("shape")
                                ? from("shape").child_text("shape")
                                : view.third_text();
  pad.shape = zgraph::pad_shape_of(shape);
  if (pad.shape == zgraph::PadShape::other) skip("pad shape '" + shape + "'");
  const zcore::point size = from("size").size();
  pad.size = QSizeF(size.x, size.y);
  const zcore::placement at = view.at();
  pad.position = to_qt(at.pos);
  pad.turn = at.angle;
  const zcore::point delta = from("rect_delta").rect_delta();
  pad.deltas = QSizeF(delta.x, delta.y);
  const zcore::point drill = view.drill_size();
  pad.drill = {QSizeF(drill.x, drill.y), view.is_oval_drill()};
  pad.offset = to_qt(view.drill_offset());
  pad.options = pad_options(view, stack_layer, pad.shape);
  const PadColours colours =
      tinted() ? pad_colours(type, layers) : on_layers.colours;
  ZSceneLoader::add_pad(new zgraph::GraphicsPadItem(
                            pad, colours.pad, colours.label, colours.label_rim),
                        *on_layers.names);
}

const ZPrettyModuleSceneLoader::PadLayers& ZPrettyModuleSceneLoader::pad_layers(
    const zcore::basenode* pad, const std::string& type) {
  // The layers are the words of both lists in a row, each taken once.
  pad_words.clear();
  for (const char* key : {"layer", "layers"})
    if (const zcore::basenode* list = pad->find(key))
      for (const zcore::basenode* atom : list->children)
        pad_words.emplace_back(atom->name.data(), atom->name.size());
  if (last_pad.names && type == last_pad_type && pad_words == last_pad_words)
    return last_pad;
  last_pad.layers = zcore::nodeview(pad).layers();
  last_pad.names = &layer_list(last_pad.layers);
  if (!tinted()) last_pad.colours = pad_colours(type, last_pad.layers);
  last_pad_type = type;
  last_pad_words.swap(pad_words);
  return last_pad;
}

ZPrettyModuleSceneLoader::PadColours ZPrettyModuleSceneLoader::pad_colours(
    const std::string& type, const std::vector<std::string>& layers) {
  const auto make = [&] {
    return PadColours{tools.pad_colour(type, layers),
                      tools.colour("system.label"),
                      tools.find_colour("system.label.rim").value_or(QColor())};
  };
  if (tinted()) return make();
  auto& by_layers = kept_pad_colours[type];
  auto found = by_layers.find(layers);
  if (found == by_layers.end()) found = by_layers.emplace(layers, make()).first;
  return found->second;
}

void ZPrettyModuleSceneLoader::add_zone(const zcore::basenode* node) {
  const zcore::nodeview view(node);
  std::vector<QPolygonF> outlines;
  std::vector<std::pair<std::string, QPolygonF>> fills;
  for (const zcore::basenode* child : node->children) {
    const zcore::nodeview part(child);
    QPolygonF polygon;
    for (const zcore::point& p : part.pts()) polygon.append(to_qt(p));
    if (child->name == "polygon") outlines.push_back(polygon);
    if (child->name == "filled_polygon")
      fills.emplace_back(part.layer(), polygon);
  }
  const zcore::basenode* hatch = node->find("hatch");
  const std::string style = zcore::first_text(hatch);
  const zgraph::ZoneHatch kind = style == "full"   ? zgraph::ZoneHatch::full
                                 : style == "edge" ? zgraph::ZoneHatch::edge
                                                   : zgraph::ZoneHatch::none;
  const double pitch = hatch && hatch->children.size() > 1
                           ? zcore::to_double(hatch->children[1]->name)
                           : 0;
  // A keep-out is a rule area: nothing fills it.
  const bool keepout = node->has("keepout");
  // A set, as in KiCad: a layer named twice is one layer.
  std::vector<std::string> layers;
  std::set<std::string> seen;
  for (std::string& layer : view.layers())
    if (seen.insert(layer).second) layers.push_back(std::move(layer));
  // KiCad puts every layer name it does not know on one layer.
  bool unknown_drawn = false;
  for (const std::string& layer : layers) {
    // The view shows no inner copper layer.
    if (layer.rfind("In", 0) == 0) continue;
    const QColor colour = tools.colour(layer);
    if (colour == tools.colour(std::string())) {
      if (unknown_drawn) continue;
      unknown_drawn = true;
    }
    std::vector<QPolygonF> filled;
    for (const auto& [on, polygon] : fills)
      if (!keepout && (on == layer || (on.empty() && layers.size() == 1)))
        filled.push_back(polygon);
    auto* zone =
        new zgraph::GraphicsZoneItem(outlines, kind, pitch, filled, colour);
    if (const std::size_t left_out = zone->hatch_left_out())
      skip(kHatchLeftOut, static_cast<int>(std::min<std::size_t>(
                              left_out, std::numeric_limits<int>::max())));
    add(zone, ItemRole::zone, one_layer_list(layer));
  }
}

void ZPrettyModuleSceneLoader::add_dimension(const zcore::basenode* node) {
  const DimensionShape shape = dimension_shape(node);
  const std::string layer = zcore::nodeview(node).layer();
  add(new zgraph::GraphicsDimensionItem(shape.strokes,
                                        tools.pen(layer, shape.thickness)),
      layer);
  if (shape.text) keep(shape.text, shape.shown);
}

void ZPrettyModuleSceneLoader::keep_text(const zcore::basenode* node) {
  keep(node, std::string());
}

void ZPrettyModuleSceneLoader::keep(const zcore::basenode* node,
                                    std::string shown) {
  texts.push_back({node, std::move(shown), current_element()});
}

QBrush ZPrettyModuleSceneLoader::fill_of(const zcore::nodeview& view,
                                         bool without_fill) const {
  const std::string fill = view.fill();
  if (!is_solid(fill) && !(fill.empty() && without_fill)) return QBrush();
  return QBrush(tools.colour(view.layer()), Qt::SolidPattern);
}

zgraph::PadShapeOptions ZPrettyModuleSceneLoader::pad_options(
    const zcore::nodeview& pad, const zcore::basenode* stack_layer,
    zgraph::PadShape shape) {
  const auto from = [&](const char* key) {
    return stacked(stack_layer, pad.node(), key);
  };
  zgraph::PadShapeOptions options;
  options.roundrect_ratio = from("roundrect_rratio").roundrect_rratio();
  options.chamfer_ratio = from("chamfer_ratio").chamfer_ratio();
  zgraph::PadCorners& cut = options.chamfered;
  for (const std::string& corner : from("chamfer").chamfer_corners()) {
    cut.top_left |= corner == "top_left";
    cut.top_right |= corner == "top_right";
    cut.bottom_left |= corner == "bottom_left";
    cut.bottom_right |= corner == "bottom_right";
  }
  if (shape != zgraph::PadShape::custom) return options;
  options.anchor = to_qt(from("options").anchor());
  for (const zcore::basenode* node : from("primitives").primitives()) {
    if (std::optional<zgraph::PadPrimitive> primitive = primitive_of(node))
      options.primitives.push_back(std::move(*primitive));
    else
      skip("pad primitive '" + node->name + "'");
  }
  return options;
}

void ZPrettyModuleSceneLoader::add_text_box(const zcore::basenode* node) {
  const TextBox box = text_box_of(zcore::nodeview(node));
  if (box.border)
    add(new zgraph::GraphicsPolygonItem(
            box.corners, tools.pen(box.layer, box.border_width), QBrush()),
        box.layer);
  keep(node, std::string());
}

void ZPrettyModuleSceneLoader::add_text(const zcore::basenode* node,
                                        const std::string& shown) {
  const zcore::nodeview view(node);
  const bool box = node->name == "fp_text_box";
  const bool property = node->name == "property";
  std::string text = node->name == "gr_text" ? shown
                     : box                   ? leading_atoms(node).back()
                                             : view.second_text();
  if (text.empty()) return;
  const zcore::text_effects effects = view.effects();
  // Properties are fields first: one without a layer is no text, and a
  // hidden one takes no room.
  if (property && (view.layer().empty() || effects.hidden)) return;
  std::optional<std::string> expanded = shown_text(variables, text);
  if (!expanded) return;
  text = std::move(*expanded);
  if (old_overbars) text = zcore::with_markup_overbars(text);
  zgraph::TextStyle style = style_of(effects);
  style.runs = markup_of(text);
  const double height = effects.size.y;
  // A box's text without a thickness takes the width's eighth, as a text of
  // thickness 0 does.
  const double thickness = effects.has_thickness ? effects.thickness
                           : box                 ? 0
                                                 : kDefaultStroke;
  const zcore::placement at = view.at();
  QPointF position = to_qt(at.pos);
  double angle = at.angle;
  if (box) {
    const TextBox frame = text_box_of(view);
    position = frame.anchor;
    angle = frame.angle;
    style.wrap_width = frame.width;
    style.horizontal = align(frame.horizontal);
    style.vertical = align(frame.vertical);
  } else if (!view.unlocked()) {
    zgraph::keep_upright(angle);
  }
  add(new zgraph::GraphicsTextItem(
          to_qt(view.first_text()), to_qt(text), position, angle,
          effects.hidden, QSizeF(effects.size.x, height), thickness,
          effects.italic, tools.colour(view.layer()), style),
      ItemRole::text, one_layer_list(view.layer()));
}

}  // namespace zwidget::zcvpcb
