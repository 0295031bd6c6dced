#include "zwidget/zviewer/pretty_module_scene_loader.h"

#include "zcore/basenode.h"
#include "zcore/nodeview.h"
#include "zwidget/zgraph/arc_geometry.h"
#include "zwidget/zgraph/arc_item.h"
#include "zwidget/zgraph/circle_item.h"
#include "zwidget/zgraph/curve_item.h"
#include "zwidget/zgraph/line_item.h"
#include "zwidget/zgraph/pad_item.h"
#include "zwidget/zgraph/polygon_item.h"
#include "zwidget/zgraph/text_item.h"

#include <QPainterPath>
#include <QPolygonF>

#include <cmath>
#include <iostream>
#include <optional>
#include <utility>

namespace zwidget::zcvpcb {

namespace {

// Every glyph of a text is stroked on every repaint, and the scene repaints
// on every mouse move: a text of 50 MB took minutes. Twice the longest text
// a legacy field can hold (65534 bytes) is far beyond any real footprint.
constexpr std::size_t kLongestText = 1 << 17;

// Kinds of footprint element that draw something in KiCad, for the account
// of what this loader leaves out.
bool is_drawing_kind(const std::string& name) {
  return name.rfind("fp_", 0) == 0 || name == "zone" || name == "dimension" ||
         name == "image" || name == "property";
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

// Both forms of `fp_arc` and `gr_arc`: three points on the arc when there is
// a `mid`; otherwise `start` is the centre, `end` where the arc begins and
// `angle` the sweep.
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
  const std::string& name = node->name;
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
    const zgraph::ArcShape arc = arc_of(view);
    if (arc.straight) {
      path.moveTo(arc.chord.p1());
      path.lineTo(arc.chord.p2());
    } else if (arc.radius > 0 && std::isfinite(arc.start)) {
      const QRectF square(arc.centre.x() - arc.radius,
                          arc.centre.y() - arc.radius, 2 * arc.radius,
                          2 * arc.radius);
      path.arcMoveTo(square, arc.start);
      path.arcTo(square, arc.start, arc.span);
    }
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
  if (root->name == "module") std::cout << root->name << "->" << std::endl;
  texts.clear();
  for (const zcore::basenode* node : root->children) {
    if (const Handler handler = handler_for(node->name))
      (this->*handler)(node);
    else if (!node->children.empty() && is_drawing_kind(node->name))
      skip(node->name);
  }
  for (const zcore::basenode* text : texts) add_text(text);
}

void ZPrettyModuleSceneLoader::add_line(const zcore::basenode* node) {
  const zcore::segment line = zcore::nodeview(node).line();
  add(new zgraph::GraphicsLineItem(QLineF(to_qt(line.start), to_qt(line.end)),
                                   tools.pen(node)));
}

void ZPrettyModuleSceneLoader::add_curve(const zcore::basenode* node) {
  std::vector<QPointF> points;
  for (const zcore::point& p : zcore::nodeview(node).pts())
    points.push_back(to_qt(p));
  add(new zgraph::GraphicsCurveItem(points, tools.pen(node)));
}

void ZPrettyModuleSceneLoader::add_circle(const zcore::basenode* node) {
  const zcore::nodeview view(node);
  const zcore::point centre = view.center();
  const zcore::point end = view.end();
  const double radius = std::hypot(end.x - centre.x, end.y - centre.y);
  add(new zgraph::GraphicsCircleItem(to_qt(centre), radius, tools.pen(node),
                                     fill_of(view)));
}

void ZPrettyModuleSceneLoader::add_arc(const zcore::basenode* node) {
  const zgraph::ArcShape arc = arc_of(zcore::nodeview(node));
  if (arc.straight)
    add(new zgraph::GraphicsLineItem(arc.chord, tools.pen(node)));
  else
    add(new zgraph::GraphicsArcItem(arc.centre, arc.radius, arc.start, arc.span,
                                    tools.pen(node)));
}

void ZPrettyModuleSceneLoader::add_poly(const zcore::basenode* node) {
  const zcore::nodeview view(node);
  QPolygonF polygon;
  for (const zcore::point& p : view.pts()) polygon.append(to_qt(p));
  add(new zgraph::GraphicsPolygonItem(polygon, tools.pen(node), fill_of(view)));
}

void ZPrettyModuleSceneLoader::add_rect(const zcore::basenode* node) {
  const zcore::nodeview view(node);
  const QPointF a = to_qt(view.start());
  const QPointF b = to_qt(view.end());
  QPolygonF corners;
  corners << a << QPointF(b.x(), a.y()) << b << QPointF(a.x(), b.y());
  add(new zgraph::GraphicsPolygonItem(corners, tools.pen(node), fill_of(view)));
}

void ZPrettyModuleSceneLoader::add_pad(const zcore::basenode* node) {
  const zcore::nodeview view(node);
  zgraph::PadSpec pad;
  pad.number = to_qt(view.first_text());
  pad.type = zgraph::pad_type_of(to_qt(view.second_text()));
  const std::string shape = view.third_text();
  pad.shape = zgraph::pad_shape_of(to_qt(shape));
  if (pad.shape == zgraph::PadShape::other) skip("pad shape '" + shape + "'");
  const zcore::point size = view.size();
  pad.size = QSizeF(size.x, size.y);
  const zcore::placement at = view.at();
  pad.position = to_qt(at.pos);
  pad.turn = at.angle;
  const zcore::point delta = view.rect_delta();
  pad.deltas = QSizeF(delta.x, delta.y);
  const zcore::point drill = view.drill_size();
  pad.drill = {QSizeF(drill.x, drill.y), view.is_oval_drill()};
  pad.offset = to_qt(view.drill_offset());
  pad.options = pad_options(view, pad.shape);
  add(new zgraph::GraphicsPadItem(
      pad, tools.colour("system.pad.", view.second_text())));
}

void ZPrettyModuleSceneLoader::keep_text(const zcore::basenode* node) {
  texts.push_back(node);
}

QBrush ZPrettyModuleSceneLoader::fill_of(const zcore::nodeview& view) const {
  if (!is_solid(view.fill())) return QBrush();
  return QBrush(tools.colour(view.layer()), Qt::SolidPattern);
}

zgraph::PadShapeOptions ZPrettyModuleSceneLoader::pad_options(
    const zcore::nodeview& view, zgraph::PadShape shape) {
  zgraph::PadShapeOptions options;
  options.roundrect_ratio = view.roundrect_rratio();
  options.chamfer_ratio = view.chamfer_ratio();
  zgraph::PadCorners& cut = options.chamfered;
  for (const std::string& corner : view.chamfer_corners()) {
    cut.top_left |= corner == "top_left";
    cut.top_right |= corner == "top_right";
    cut.bottom_left |= corner == "bottom_left";
    cut.bottom_right |= corner == "bottom_right";
  }
  if (shape != zgraph::PadShape::custom) return options;
  options.anchor = to_qt(view.anchor());
  for (const zcore::basenode* node : view.primitives()) {
    if (std::optional<zgraph::PadPrimitive> primitive = primitive_of(node))
      options.primitives.push_back(std::move(*primitive));
    else
      skip("pad primitive '" + node->name + "'");
  }
  return options;
}

void ZPrettyModuleSceneLoader::add_text(const zcore::basenode* node) {
  const zcore::nodeview view(node);
  const std::string text = view.second_text();
  if (text.empty()) return;
  if (text.size() > kLongestText) {
    skip("text too long");
    return;
  }
  const zcore::placement at = view.at();
  const zcore::font_info font = view.font();
  add(new zgraph::GraphicsTextItem(
      to_qt(view.first_text()), to_qt(text), to_qt(at.pos), at.angle,
      view.hide(), QSizeF(font.size.x, font.size.y), font.thickness,
      font.italic, tools.colour(view.layer())));
}

}  // namespace zwidget::zcvpcb
