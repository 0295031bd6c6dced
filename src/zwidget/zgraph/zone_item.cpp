#include "zwidget/zgraph/zone_item.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace zwidget::zgraph {

namespace {

// More hatch lines than this across one zone are drawn farther apart: a
// tiny pitch over a large zone would make millions.
constexpr double kMostHatchLines = 2000;

// Where the hatch lines x + y = c cross the outlines, paired from left to
// right into the stretches inside them (the even-odd rule). The lines run
// at 45 degrees, up to the right on the screen, `pitch` apart.
std::vector<QLineF> hatch_inside(const std::vector<QPolygonF>& outlines,
                                 const QRectF& bounds, double pitch) {
  std::vector<QLineF> lines;
  if (!(pitch > 0) || bounds.isNull()) return lines;
  const double low = bounds.left() + bounds.top();
  const double high = bounds.right() + bounds.bottom();
  const double step =
      std::max(pitch * std::sqrt(2.0), (high - low) / kMostHatchLines);
  std::vector<double> crossings;
  for (double c = std::ceil(low / step) * step; c <= high; c += step) {
    crossings.clear();
    for (const QPolygonF& outline : outlines) {
      for (int i = 0; i < outline.size(); ++i) {
        const QPointF& p = outline[i];
        const QPointF& q = outline[(i + 1) % outline.size()];
        const double fp = p.x() + p.y() - c;
        const double fq = q.x() + q.y() - c;
        if ((fp > 0) == (fq > 0)) continue;
        crossings.push_back(p.x() + (q.x() - p.x()) * fp / (fp - fq));
      }
    }
    std::sort(crossings.begin(), crossings.end());
    for (std::size_t i = 0; i + 1 < crossings.size(); i += 2)
      lines.emplace_back(QPointF(crossings[i], c - crossings[i]),
                         QPointF(crossings[i + 1], c - crossings[i + 1]));
  }
  return lines;
}

// The ends of each stretch, `length` long at most, reaching inwards.
std::vector<QLineF> edge_strokes(const std::vector<QLineF>& stretches,
                                 double length) {
  std::vector<QLineF> strokes;
  for (const QLineF& stretch : stretches) {
    const double reach = std::min(length, stretch.length() / 2);
    QLineF from_start = stretch, from_end(stretch.p2(), stretch.p1());
    from_start.setLength(reach);
    from_end.setLength(reach);
    strokes.push_back(from_start);
    strokes.push_back(from_end);
  }
  return strokes;
}

}  // namespace

GraphicsZoneItem::GraphicsZoneItem(const std::vector<QPolygonF>& outlines,
                                   ZoneHatch hatch, double pitch,
                                   const std::vector<QPolygonF>& fills,
                                   const QColor& colour)
    : QAbstractGraphicsShapeItem(nullptr),
      outlines_(outlines),
      fills_(fills),
      hatch_(hatch),
      colour_(colour),
      pen_(colour, 0) {
  std::vector<QPolygonF> all = outlines_;
  all.insert(all.end(), fills_.begin(), fills_.end());
  bounds_ = extent_of(all);
  for (const QPolygonF& fill : fills_) fill_path_.addPolygon(fill);
  const QRectF area = extent_of(outlines_);
  if (hatch_ == ZoneHatch::none || !bounds_.isValid()) return;
  hatch_lines_ = hatch_inside(outlines_, area, pitch);
  if (hatch_ == ZoneHatch::edge)
    hatch_lines_ = edge_strokes(hatch_lines_, pitch);
}

GraphicsZoneItem::~GraphicsZoneItem() = default;

QRectF GraphicsZoneItem::boundingRect() const {
  return bounds_;
}

void GraphicsZoneItem::paint(QPainter* painter,
                             const QStyleOptionGraphicsItem* /*option*/,
                             QWidget* /*widget*/) {
  painter->save();
  if (!fill_path_.isEmpty()) {
    painter->setPen(Qt::NoPen);
    painter->setBrush(QBrush(colour_, Qt::SolidPattern));
    painter->drawPath(fill_path_);
  }
  painter->setPen(pen_);
  painter->setBrush(Qt::NoBrush);
  for (const QPolygonF& outline : outlines_) painter->drawPolygon(outline);
  if (!hatch_lines_.empty())
    painter->drawLines(hatch_lines_.data(), int(hatch_lines_.size()));
  painter->restore();
}

}  // namespace zwidget::zgraph
