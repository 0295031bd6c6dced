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

#include <QPolygonF>

#include <cmath>
#include <iostream>
#include <vector>

namespace zwidget::zcvpcb {

namespace {

constexpr double kPi = 3.141592653589793;

// Pad shapes the pad item paints.
bool is_drawn_pad_shape(const std::string& shape) {
  return shape == "circle" || shape == "rect" || shape == "oval" ||
         shape == "trapezoid";
}

// Kinds of footprint element that draw something in KiCad, for the account
// of what this loader leaves out.
bool is_drawing_kind(const std::string& name) {
  return name.rfind("fp_", 0) == 0 || name == "zone" || name == "dimension" ||
         name == "image";
}

QPointF to_qt(const zcore::point& p) {
  return QPointF(p.x, p.y);
}

QString to_qt(const std::string& text) {
  return QString::fromStdString(text);
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
  const std::string& name = node->name;
  const zcore::nodeview view(node);
  using namespace zwidget::zgraph;
  if (name == "module") {
    std::cout << name << "->" << std::endl;
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
    add(new GraphicsCircleItem(to_qt(centre), radius, tools.pen(node)));
  } else if (name == "fp_arc") {
    // `start` is the centre, `end` where the arc begins, `angle` the sweep.
    const zcore::point centre = view.start();
    const zcore::point begin = view.end();
    const double dx = begin.x - centre.x;
    double a = std::atan((begin.y - centre.y) / dx) * 180 / kPi;
    if (dx < 0) a += 180;
    const double radius =
        std::sqrt((centre.x - begin.x) * (centre.x - begin.x) +
                  (centre.y - begin.y) * (centre.y - begin.y));
    add(new GraphicsArcItem(to_qt(centre), radius, -a, -view.angle(),
                            tools.pen(node)));
  } else if (name == "fp_poly") {
    QPolygonF polygon;
    for (const zcore::point& p : view.pts()) polygon.append(to_qt(p));
    add(new GraphicsPolygonItem(polygon, tools.pen(node), QBrush()));
  } else if (name == "pad") {
    if (!is_drawn_pad_shape(view.third_text()))
      skip("pad shape '" + view.third_text() + "'");
    const zcore::placement at = view.at();
    const zcore::point size = view.size();
    const zcore::point delta = view.rect_delta();
    const zcore::point drill = view.drill_size();
    add(new GraphicsPadItem(to_qt(view.first_text()), to_qt(view.second_text()),
                            to_qt(view.third_text()), QSizeF(size.x, size.y),
                            to_qt(at.pos), at.angle, QSizeF(delta.x, delta.y),
                            view.is_oval_drill(), to_qt(view.drill_offset()),
                            QSizeF(drill.x, drill.y),
                            tools.colour("system.pad.", view.second_text())));
  } else if (node->parent == root && !node->children.empty() &&
             name != "fp_text" && is_drawing_kind(name)) {
    skip(name);
  }
}

void ZPrettyModuleSceneLoader::add_text(const zcore::basenode* node) {
  if (node->name != "fp_text") return;
  const zcore::nodeview view(node);
  const std::string text = view.second_text();
  if (text.empty()) return;
  const zcore::placement at = view.at();
  const zcore::font_info font = view.font();
  add(new zgraph::GraphicsTextItem(
      to_qt(view.first_text()), to_qt(text), to_qt(at.pos), at.angle,
      view.hide(), QSizeF(font.size.x, font.size.y), font.thickness,
      font.italic, tools.colour(view.layer())));
}

}  // namespace zwidget::zcvpcb
