#include "zwidget/zviewer/pretty_module_scene_loader.h"

#include "zcore/basenode.h"
#include "zcore/nodeview.h"
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
#include <string_view>
#include <utility>
#include <vector>

namespace zwidget::zcvpcb {

namespace {

constexpr double kPi = 3.141592653589793;
// KiCad's resolution in millimetres: a middle point this close to the
// chord's line lies on it.
constexpr double kNanometre = 1e-6;
// Every glyph of a text is stroked on every repaint, and the scene repaints
// on every mouse move: a text of 50 MB took minutes. Twice the longest text
// a legacy field can hold (65534 bytes) is far beyond any real footprint.
constexpr std::size_t kLongestText = 1 << 17;

// Pad shapes the pad item paints.
bool is_drawn_pad_shape(const std::string& shape) {
  return shape == "circle" || shape == "rect" || shape == "oval" ||
         shape == "trapezoid" || shape == "roundrect" || shape == "custom";
}

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

// An arc as the items take it, centre, radius and Qt's angles in degrees;
// or, for points on one line, the straight line from start to end.
struct ArcShape {
  bool straight = false;
  QLineF chord;
  QPointF centre;
  double radius = 0;
  double start = 0;
  double span = 0;
};

// The direction from `centre` to `p` in Qt's angles: counter-clockwise on
// screen, so against the scene's y, which points down.
double qt_angle(const QPointF& centre, const QPointF& p) {
  return std::atan2(centre.y() - p.y(), p.x() - centre.x()) * 180 / kPi;
}

double counter_clockwise(double degrees) {
  const double turned = std::fmod(degrees, 360);
  return turned < 0 ? turned + 360 : turned;
}

// The arc from `start` through `mid` to `end`.
ArcShape arc_through(const QPointF& start, const QPointF& mid,
                     const QPointF& end) {
  ArcShape arc;
  arc.chord = QLineF(start, end);
  const QPointF b = mid - start;
  const QPointF c = end - start;
  const double cross = b.x() * c.y() - b.y() * c.x();
  // |cross| / |c| is the distance of `mid` from the chord's line.
  if (!(std::abs(cross) > kNanometre * std::hypot(c.x(), c.y()))) {
    arc.straight = true;
    return arc;
  }
  const double bb = QPointF::dotProduct(b, b);
  const double cc = QPointF::dotProduct(c, c);
  arc.centre = start + QPointF((c.y() * bb - b.y() * cc) / (2 * cross),
                               (b.x() * cc - c.x() * bb) / (2 * cross));
  const QPointF radial = start - arc.centre;
  arc.radius = std::hypot(radial.x(), radial.y());
  // Numbers near the double's range overflow on the way.
  if (!std::isfinite(arc.radius)) {
    arc.straight = true;
    return arc;
  }
  arc.start = qt_angle(arc.centre, start);
  const double to_end =
      counter_clockwise(qt_angle(arc.centre, end) - arc.start);
  const double to_mid =
      counter_clockwise(qt_angle(arc.centre, mid) - arc.start);
  arc.span = to_mid < to_end ? to_end : to_end - 360;
  // The arc item turns in whole sixteenths of a degree and would paint
  // nothing of a flatter arc, which the chord matches to within its width.
  if (std::abs(arc.span) * 16 < 1) arc.straight = true;
  return arc;
}

// Both forms of `fp_arc` and `gr_arc`: three points on the arc when there is
// a `mid`; otherwise `start` is the centre, `end` where the arc begins and
// `angle` the sweep.
ArcShape arc_of(const zcore::nodeview& view) {
  if (view.has_mid())
    return arc_through(to_qt(view.start()), to_qt(view.mid()),
                       to_qt(view.end()));
  ArcShape arc;
  const zcore::point centre = view.start();
  const zcore::point begin = view.end();
  const double dx = begin.x - centre.x;
  double a = std::atan((begin.y - centre.y) / dx) * 180 / kPi;
  if (dx < 0) a += 180;
  arc.centre = to_qt(centre);
  arc.radius = std::sqrt((centre.x - begin.x) * (centre.x - begin.x) +
                         (centre.y - begin.y) * (centre.y - begin.y));
  arc.start = -a;
  arc.span = -view.angle();
  return arc;
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
    const ArcShape arc = arc_of(view);
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

template <typename Visit>
void walk_preorder(const zcore::basenode* node, Visit&& visit) {
  visit(node);
  for (const zcore::basenode* child : node->children)
    walk_preorder(child, visit);
}

}  // namespace

ZPrettyModuleSceneLoader::ZPrettyModuleSceneLoader(ZScene* scene,
                                                   const zcore::basenode* root)
    : ZSceneLoader(scene), root(root) {
}

void ZPrettyModuleSceneLoader::load() {
  if (!root) return;
  walk_preorder(root,
                [this](const zcore::basenode* node) { add_element(node); });
  walk_preorder(root, [this](const zcore::basenode* node) { add_text(node); });
}

void ZPrettyModuleSceneLoader::add_element(const zcore::basenode* node) {
  // Compared as views: the lengths differ for most nodes, atoms above all,
  // and a view sees that without a call into the library.
  const std::string_view name = node->name;
  const zcore::nodeview view(node);
  using namespace zwidget::zgraph;
  if (name == "module") {
    std::cout << node->name << "->" << std::endl;
  } else if (name == "fp_line") {
    const zcore::segment line = view.line();
    add(new GraphicsLineItem(QLineF(to_qt(line.start), to_qt(line.end)),
                             tools.pen(node)));
  } else if (name == "fp_curve") {
    std::vector<QPointF> points;
    for (const zcore::point& p : view.pts()) points.push_back(to_qt(p));
    add(new GraphicsCurveItem(points, tools.pen(node)));
  } else if (name == "fp_circle") {
    const zcore::point centre = view.center();
    const zcore::point end = view.end();
    const double radius = std::hypot(end.x - centre.x, end.y - centre.y);
    add(new GraphicsCircleItem(to_qt(centre), radius, tools.pen(node),
                               fill_of(view)));
  } else if (name == "fp_arc") {
    const ArcShape arc = arc_of(view);
    if (arc.straight)
      add(new GraphicsLineItem(arc.chord, tools.pen(node)));
    else
      add(new GraphicsArcItem(arc.centre, arc.radius, arc.start, arc.span,
                              tools.pen(node)));
  } else if (name == "fp_poly") {
    QPolygonF polygon;
    for (const zcore::point& p : view.pts()) polygon.append(to_qt(p));
    add(new GraphicsPolygonItem(polygon, tools.pen(node), fill_of(view)));
  } else if (name == "fp_rect") {
    const QPointF a = to_qt(view.start());
    const QPointF b = to_qt(view.end());
    QPolygonF corners;
    corners << a << QPointF(b.x(), a.y()) << b << QPointF(a.x(), b.y());
    add(new GraphicsPolygonItem(corners, tools.pen(node), fill_of(view)));
  } else if (name == "pad") {
    const std::string shape = view.third_text();
    if (!is_drawn_pad_shape(shape)) skip("pad shape '" + shape + "'");
    const zcore::placement at = view.at();
    const zcore::point size = view.size();
    const zcore::point delta = view.rect_delta();
    const zcore::point drill = view.drill_size();
    add(new GraphicsPadItem(
        to_qt(view.first_text()), to_qt(view.second_text()), to_qt(shape),
        QSizeF(size.x, size.y), to_qt(at.pos), at.angle,
        QSizeF(delta.x, delta.y), view.is_oval_drill(),
        to_qt(view.drill_offset()), QSizeF(drill.x, drill.y),
        tools.colour("system.pad.", view.second_text()), pad_options(view)));
  } else if (node->parent == root && !node->children.empty() &&
             name != "fp_text" && is_drawing_kind(node->name)) {
    skip(node->name);
  }
}

QBrush ZPrettyModuleSceneLoader::fill_of(const zcore::nodeview& view) const {
  if (!is_solid(view.fill())) return QBrush();
  return QBrush(tools.colour(view.layer()), Qt::SolidPattern);
}

zgraph::PadShapeOptions ZPrettyModuleSceneLoader::pad_options(
    const zcore::nodeview& view) {
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
  if (view.third_text() != "custom") return options;
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
  if (std::string_view(node->name) != "fp_text") return;
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
