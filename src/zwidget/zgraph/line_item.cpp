#include "zwidget/zgraph/line_item.h"

#include <QPen>

#include <array>
#include <cstdint>
#include <cstring>
#include <unordered_map>

namespace zwidget::zgraph {

namespace {

// Everything of a line and its pen that Qt's rectangle depends on, bit for
// bit: equal keys give equal rectangles.
struct LineKey {
  std::array<std::uint64_t, 6> numbers{};
  std::uint32_t styles = 0;

  LineKey(const QLineF& line, const QPen& pen) {
    const double values[] = {line.x1(), line.y1(),    line.x2(),
                             line.y2(), pen.widthF(), pen.miterLimit()};
    std::memcpy(numbers.data(), values, sizeof values);
    styles = static_cast<std::uint32_t>(pen.style() == Qt::NoPen) |
             static_cast<std::uint32_t>(pen.capStyle()) << 1 |
             static_cast<std::uint32_t>(pen.joinStyle()) << 12;
  }
  bool operator==(const LineKey& other) const {
    return numbers == other.numbers && styles == other.styles;
  }
};

struct LineKeyHash {
  std::size_t operator()(const LineKey& key) const {
    std::uint64_t seed = key.styles;
    for (const std::uint64_t word : key.numbers)
      seed ^= word + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
    return static_cast<std::size_t>(seed);
  }
};

// Qt strokes the whole line for its rectangle, some thousands of
// instructions, while the footprints of a family repeat most of their lines
// exactly: seven in ten of the lines of KiCad's library. The rectangles of
// recent lines are kept in two generations: one found in the older moves
// to the newer, and the older is dropped when the newer is full.
class LineBoundsMemo {
public:
  template <typename Compute>
  QRectF bounds(const LineKey& key, Compute compute) {
    if (const auto found = newer_.find(key); found != newer_.end())
      return found->second;
    QRectF rect;
    if (const auto found = older_.find(key); found != older_.end())
      rect = found->second;
    else
      rect = compute();
    if (newer_.size() >= kPerGeneration) {
      older_ = std::move(newer_);
      newer_ = Generation();
    }
    newer_.emplace(key, rect);
    return rect;
  }

private:
  using Generation = std::unordered_map<LineKey, QRectF, LineKeyHash>;
  static constexpr std::size_t kPerGeneration = 1 << 14;

  Generation newer_, older_;
};

}  // namespace

GraphicsLineItem::GraphicsLineItem(const QLineF& line, const QPen& pen)
    : QGraphicsLineItem(line) {
  setPen(pen);
  static LineBoundsMemo memo;
  bounds = memo.bounds(LineKey(line, pen),
                       [this] { return QGraphicsLineItem::boundingRect(); });
}

GraphicsLineItem::~GraphicsLineItem() = default;

QRectF GraphicsLineItem::boundingRect() const {
  return bounds;
}

}  // namespace zwidget::zgraph
