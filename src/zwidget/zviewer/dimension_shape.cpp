#include "zwidget/zviewer/dimension_shape.h"

#include "zcore/basenode.h"
#include "zcore/nodeview.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <locale>
#include <sstream>

namespace zwidget::zcvpcb {

namespace {

constexpr double kPi = 3.141592653589793;
// Half the opening of an arrowhead.
constexpr double kArrowDegrees = 27.5;
// KiCad's defaults for a style that leaves them out.
constexpr double kArrowLength = 1.27;
constexpr double kExtensionHeight = 0.58642;
constexpr double kExtensionOffset = 0.5;

QPolygonF polyline(std::initializer_list<QPointF> points) {
  return QPolygonF(QVector<QPointF>(points));
}

double length(const QPointF& v) {
  return std::hypot(v.x(), v.y());
}

QPointF unit(const QPointF& v) {
  const double l = length(v);
  return l > 0 ? v / l : QPointF();
}

// Turned by `degrees`, clockwise on a screen whose y axis points down.
QPointF turned(const QPointF& v, double degrees) {
  const double a = degrees * kPi / 180;
  return QPointF(v.x() * std::cos(a) - v.y() * std::sin(a),
                 v.x() * std::sin(a) + v.y() * std::cos(a));
}

// An arrowhead with its point at `tip`, opening towards `back`.
QPolygonF arrow(const QPointF& tip, const QPointF& back, double size) {
  const QPointF along = unit(back) * size;
  return polyline({tip + turned(along, kArrowDegrees), tip,
                   tip + turned(along, -kArrowDegrees)});
}

double number_or(const zcore::basenode* node, const char* key,
                 double fallback) {
  const zcore::basenode* found = node ? node->find(key) : nullptr;
  return found && !found->children.empty() ? zcore::first_number(found)
                                           : fallback;
}

}  // namespace

std::string dimension_text(double millimetres, const zcore::basenode* format) {
  const zcore::nodeview view(format);
  const std::string prefix = view.child_text("prefix");
  const std::string suffix = view.child_text("suffix");
  if (format && format->has("override_value"))
    return prefix + view.child_text("override_value") + suffix;
  // 0 inches, 1 mils, 2 millimetres, 3 automatic: a footprint's own unit.
  const double units = number_or(format, "units", 3);
  const char* unit = units == 0 ? "in" : units == 1 ? "mils" : "mm";
  const double value = units == 0   ? millimetres / 25.4
                       : units == 1 ? millimetres / 0.0254
                                    : millimetres;
  std::ostringstream out;
  out.imbue(std::locale::classic());
  out.setf(std::ios::fixed);
  // Clamped as a double: a huge or NaN number does not fit an int.
  const double precision = number_or(format, "precision", 4);
  out.precision(precision > 0 ? int(std::min(precision, 9.0)) : 0);
  out << value;
  std::string shown = out.str();
  if (format && zcore::is_set(format->find("suppress_zeroes")) &&
      shown.find('.') != std::string::npos) {
    shown.erase(shown.find_last_not_of('0') + 1);
    if (shown.back() == '.') shown.pop_back();
  }
  // 0 no unit, 1 the bare unit, 2 the unit in parentheses.
  const double display = number_or(format, "units_format", 1);
  if (display == 1) shown += std::string(" ") + unit;
  if (display == 2) shown += std::string(" (") + unit + ")";
  return prefix + shown + suffix;
}

DimensionShape dimension_shape(const zcore::basenode* dimension) {
  DimensionShape shape;
  const zcore::nodeview view(dimension);
  const zcore::basenode* style = dimension->find("style");
  shape.thickness = number_or(style, "thickness", 0);
  const double size = number_or(style, "arrow_length", kArrowLength);
  const double overshoot =
      number_or(style, "extension_height", kExtensionHeight);
  const double offset = number_or(style, "extension_offset", kExtensionOffset);
  // Inward arrows point at the ends from between them.
  const double inward =
      zcore::nodeview(style).child_text("arrow_direction") == "outward" ? -1
                                                                        : 1;
  const std::vector<zcore::point> pts = view.pts();
  const QPointF a = pts.empty() ? QPointF() : QPointF(pts[0].x, pts[0].y);
  const QPointF b = pts.size() < 2 ? a : QPointF(pts[1].x, pts[1].y);
  const std::string type = view.child_text("type");
  double measured = length(b - a);
  if (type == "aligned" || type == "orthogonal") {
    const double height = number_or(dimension, "height", 0);
    QPointF bar_a, bar_b;
    if (type == "aligned") {
      const QPointF d = unit(b - a);
      bar_a = a + QPointF(-d.y(), d.x()) * height;
      bar_b = b + QPointF(-d.y(), d.x()) * height;
    } else if (number_or(dimension, "orientation", 0) == 0) {
      bar_a = QPointF(a.x(), a.y() + height);
      bar_b = QPointF(b.x(), a.y() + height);
      measured = std::abs(b.x() - a.x());
    } else {
      bar_a = QPointF(a.x() + height, a.y());
      bar_b = QPointF(a.x() + height, b.y());
      measured = std::abs(b.y() - a.y());
    }
    // From `offset` off the measured point to `overshoot` past the bar.
    for (const auto& [point, end] : {std::pair{a, bar_a}, {b, bar_b}}) {
      const QPointF out = unit(end - point);
      if (length(end - point) > offset)
        shape.strokes.push_back(
            polyline({point + out * offset, end + out * overshoot}));
    }
    shape.strokes.push_back(polyline({bar_a, bar_b}));
    shape.strokes.push_back(arrow(bar_a, (bar_b - bar_a) * inward, size));
    shape.strokes.push_back(arrow(bar_b, (bar_a - bar_b) * inward, size));
  } else if (type == "leader") {
    shape.strokes.push_back(polyline({a, b}));
    shape.strokes.push_back(arrow(a, b - a, size));
  } else if (type == "center") {
    const QPointF arm = b - a, across(-arm.y(), arm.x());
    shape.strokes.push_back(polyline({a - arm, a + arm}));
    shape.strokes.push_back(polyline({a - across, a + across}));
    return shape;
  } else if (type == "radial") {
    const QPointF knee =
        b + unit(b - a) * number_or(dimension, "leader_length", 0);
    shape.strokes.push_back(polyline({b, knee}));
    shape.strokes.push_back(arrow(b, b - a, size));
  }
  shape.text = dimension->find("gr_text");
  const zcore::basenode* format = dimension->find("format");
  // A leader measures nothing: it shows its override, or the text itself.
  shape.shown = type == "leader" && !(format && format->has("override_value"))
                    ? zcore::nodeview(shape.text).first_text()
                    : dimension_text(measured, format);
  return shape;
}

}  // namespace zwidget::zcvpcb
