#pragma once

#include <QPainterPath>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QTransform>

#include <optional>
#include <string_view>
#include <vector>

namespace zwidget::zgraph {

// One drawing of a custom pad, in pad coordinates: relative to the pad
// centre and unturned.
struct PadPrimitive {
  QPainterPath path;
  // Stroked along the path with round ends and joins; 0 adds no stroke.
  double width = 0;
  // The inside of the path is part of the pad too.
  bool filled = false;
};

// Corners of the unturned pad, y pointing down.
struct PadCorners {
  bool top_left = false;
  bool top_right = false;
  bool bottom_left = false;
  bool bottom_right = false;
};

// What the newer pad shapes add to a pad's attributes.
struct PadShapeOptions {
  // "roundrect": the corner radius as a fraction of the shorter side.
  double roundrect_ratio = 0.25;
  // "roundrect" and "rect": the `chamfered` corners are cut by this
  // fraction of the shorter side.
  double chamfer_ratio = 0;
  PadCorners chamfered;
  // "custom": the shape under the primitives, "rect" or "circle".
  QString anchor = QStringLiteral("rect");
  std::vector<PadPrimitive> primitives;
};

// The shapes drawn; `other` stands for any other keyword and draws nothing.
enum class PadShape { circle, rect, oval, trapezoid, roundrect, custom, other };
// Only `smd` and `connect` pads have no hole.
enum class PadType { thru_hole, np_thru_hole, smd, connect, other };

// The file's keywords, letter case counting.
PadShape pad_shape_of(std::string_view keyword);
PadType pad_type_of(std::string_view keyword);

struct PadDrill {
  QSizeF size;
  // A slot with half-circle ends rather than an ellipse.
  bool oval = false;
};

// One pad as a file describes it, in scene units.
struct PadSpec {
  QString number;
  PadType type = PadType::other;
  PadShape shape = PadShape::other;
  QSizeF size;
  QPointF position;
  // Degrees, counter-clockwise on screen, about `position`.
  double turn = 0;
  // The trapezoid's deformation (the files' rect_delta): how much longer
  // the left edge is than the right one, and the bottom edge than the top.
  QSizeF deltas;
  PadDrill drill;
  // The hole stays at `position`; the copper is moved by `offset`, turned
  // with the pad.
  QPointF offset;
  PadShapeOptions options;
  // The pin's function, written under the number where the file gives it.
  QString pin_name = {};
};

// `size` centred on position plus offset, unturned.
QRectF pad_rect(const PadSpec& pad);
// The drill's size centred on `position`, unturned.
QRectF drill_rect(const PadSpec& pad);
// From the unturned pad to the turned one; the identity when not turned.
QTransform pad_turn(const PadSpec& pad);
bool has_hole(const PadSpec& pad);

// The outline, unturned, with every coordinate times `scale`: one path, or
// for a custom pad several filled each on its own; none for a shape not
// drawn, nor for a non-plated pad its hole takes whole.
std::vector<QPainterPath> pad_outline(const PadSpec& pad, double scale = 1);
// The drill hole the same way, whatever the type: `has_hole` says whether
// the pad has one.
QPainterPath pad_hole(const PadSpec& pad, double scale = 1);

// The points within `radius` of the segment from `a` to `b`: a round hole
// when the two are one point, else a slot.
struct Stadium {
  QPointF a, b;
  double radius = 0;
};
// The drill hole as a stadium, unturned and scaled as `pad_hole` makes it;
// none for a round drill of unequal sides, an ellipse.
std::optional<Stadium> hole_stadium(const PadSpec& pad, double scale = 1);
// The stadium mapped by a transform that turns, mirrors, moves and scales
// alike in every direction; none for any other.
std::optional<Stadium> mapped(const Stadium& stadium, const QTransform& map);
// Whether no point of `hole`, and none of the curves Qt draws for its path,
// lies in the filled area of `region`: exact for lines, and for curves
// as near as their control points tell.
bool is_clear_of(const Stadium& hole, const QPainterPath& region);

}  // namespace zwidget::zgraph
