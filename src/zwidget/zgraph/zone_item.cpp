#include "zwidget/zgraph/zone_item.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <utility>

namespace zwidget::zgraph {

namespace {

// More hatch lines than this across one zone are drawn farther apart: a
// tiny pitch over a large zone would make millions.
constexpr double kMostHatchLines = 2000;
// A comb-shaped outline crosses each line thousands of times: past this many
// segments the hatch keeps lines evenly spread, and counts the rest.
constexpr std::size_t kMostHatchSegments = 20000;

// The hatch lines x + y = c(j) for j = 0 .. count - 1, at 45 degrees, up to
// the right on the screen, `step` apart.
struct HatchLines {
  double first = 0, step = 1;
  std::size_t count = 0;
  double at(std::size_t j) const {
    return first + static_cast<double>(j) * step;
  }
  // The lines that an edge from x + y = a to x + y = b crosses: those with
  // a <= c < b or b <= c < a, as [from, to); exact, as c(j) grows with j.
  std::pair<std::size_t, std::size_t> crossed(double a, double b) const {
    const double low = std::min(a, b), high = std::max(a, b);
    return {first_at_least(low), first_at_least(high)};
  }

private:
  std::size_t first_at_least(double value) const {
    const double guess = std::ceil((value - first) / step);
    std::size_t j = guess <= 0 ? 0
                    : guess >= static_cast<double>(count)
                        ? count
                        : static_cast<std::size_t>(guess);
    while (j > 0 && at(j - 1) >= value) --j;
    while (j < count && at(j) < value) ++j;
    return j;
  }
};

// The lines drawn: every `stride`-th, with the least stride whose lines
// hold at most kMostHatchSegments segments, and of those only lines that
// fit; `left_out` counts the segments of the others.
std::vector<bool> thinned(const std::vector<std::size_t>& segments,
                          std::size_t& left_out) {
  const std::size_t count = segments.size();
  const auto picked = [](std::size_t j, std::size_t stride) {
    return j % stride == stride / 2;
  };
  const auto sum_of = [&](std::size_t stride) {
    std::size_t sum = 0;
    for (std::size_t j = 0; j < count; ++j)
      if (picked(j, stride)) sum += segments[j];
    return sum;
  };
  std::size_t stride = std::max<std::size_t>(1, sum_of(1) / kMostHatchSegments);
  while (stride < count && sum_of(stride) > kMostHatchSegments) ++stride;
  std::vector<bool> drawn(count);
  std::size_t room = kMostHatchSegments;
  left_out = 0;
  for (std::size_t j = 0; j < count; ++j) {
    drawn[j] = picked(j, stride) && segments[j] <= room;
    if (drawn[j])
      room -= segments[j];
    else
      left_out += segments[j];
  }
  return drawn;
}

// Where the hatch lines cross the outlines, paired from left to right into
// the stretches inside them (the even-odd rule); each edge is visited once
// and each crossing of a drawn line once. At most kMostHatchSegments
// stretches (half as many when each makes two strokes); `left_out` counts
// those not made.
std::vector<QLineF> hatch_inside(const std::vector<QPolygonF>& outlines,
                                 const QRectF& bounds, double pitch,
                                 std::size_t per_stretch,
                                 std::size_t& left_out) {
  left_out = 0;
  std::vector<QLineF> lines;
  const double low = bounds.left() + bounds.top();
  const double high = bounds.right() + bounds.bottom();
  if (!(pitch > 0) || bounds.isNull() || !std::isfinite(high - low))
    return lines;
  HatchLines hatch;
  hatch.step = std::max(pitch * std::sqrt(2.0), (high - low) / kMostHatchLines);
  hatch.first = std::ceil(low / hatch.step) * hatch.step;
  while (hatch.at(hatch.count) <= high && hatch.count <= kMostHatchLines)
    ++hatch.count;
  const auto each_edge = [&](auto&& visit) {
    for (const QPolygonF& outline : outlines) {
      for (int i = 0; i < outline.size(); ++i) {
        const QPointF& p = outline[i];
        const QPointF& q = outline[(i + 1) % outline.size()];
        visit(p, q, hatch.crossed(p.x() + p.y(), q.x() + q.y()));
      }
    }
  };
  // Crossings per line, by a difference of counts at each range's ends.
  std::vector<std::ptrdiff_t> starts(hatch.count + 1, 0);
  each_edge([&](const QPointF&, const QPointF&, auto range) {
    ++starts[range.first];
    --starts[range.second];
  });
  std::vector<std::size_t> segments(hatch.count);
  std::ptrdiff_t crossing = 0;
  for (std::size_t j = 0; j < hatch.count; ++j) {
    crossing += starts[j];
    segments[j] = static_cast<std::size_t>(crossing) / 2 * per_stretch;
  }
  const std::vector<bool> drawn = thinned(segments, left_out);
  std::vector<std::vector<double>> crossings(hatch.count);
  for (std::size_t j = 0; j < hatch.count; ++j)
    if (drawn[j]) crossings[j].reserve(segments[j] / per_stretch * 2 + 1);
  std::vector<std::size_t> drawn_lines;
  for (std::size_t j = 0; j < hatch.count; ++j)
    if (drawn[j]) drawn_lines.push_back(j);
  each_edge([&](const QPointF& p, const QPointF& q, auto range) {
    auto j =
        std::lower_bound(drawn_lines.begin(), drawn_lines.end(), range.first);
    for (; j != drawn_lines.end() && *j < range.second; ++j) {
      const double c = hatch.at(*j);
      const double fp = p.x() + p.y() - c;
      const double fq = q.x() + q.y() - c;
      crossings[*j].push_back(p.x() + (q.x() - p.x()) * fp / (fp - fq));
    }
  });
  for (std::size_t j : drawn_lines) {
    std::vector<double>& xs = crossings[j];
    std::sort(xs.begin(), xs.end());
    const double c = hatch.at(j);
    for (std::size_t i = 0; i + 1 < xs.size(); i += 2)
      lines.emplace_back(QPointF(xs[i], c - xs[i]),
                         QPointF(xs[i + 1], c - xs[i + 1]));
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
    : AnsweringItem(nullptr),
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
  const std::size_t per_stretch = hatch_ == ZoneHatch::edge ? 2 : 1;
  hatch_lines_ =
      hatch_inside(outlines_, area, pitch, per_stretch, hatch_left_out_);
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
