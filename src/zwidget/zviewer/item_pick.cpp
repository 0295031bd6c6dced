#include "zwidget/zviewer/item_pick.h"

#include "zwidget/zgraph/item_kind.h"
#include "zwidget/zgraph/pad_item.h"
#include "zwidget/zgraph/text_item.h"
#include "zwidget/zgraph/zone_item.h"
#include "zwidget/zviewer/item_tags.h"

#include <QGraphicsItem>
#include <QGraphicsScene>

#include <algorithm>

namespace zwidget::zcvpcb {

namespace {

// Lower ranks win: what lies on top of a footprint and is smallest first.
int rank_of(const std::string& kind) {
  if (kind == "pad") return 0;
  if (kind == "text") return 1;
  if (kind == "zone") return 3;
  return 2;
}

bool is_pickable(const QGraphicsItem* item) {
  if (!item->isVisible() || element_of(item) < 0) return false;
  const auto* text = dynamic_cast<const zgraph::GraphicsTextItem*>(item);
  return !text || !text->hidden();
}

// Runs of digits compare as numbers, the rest letter by letter.
int natural_compare(const QString& a, const QString& b) {
  int i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (a[i].isDigit() && b[j].isDigit()) {
      int end_a = i, end_b = j;
      while (end_a < a.size() && a[end_a].isDigit()) ++end_a;
      while (end_b < b.size() && b[end_b].isDigit()) ++end_b;
      // Without leading zeros the longer run is the larger number.
      const auto digits = [](const QString& s, int from, int to) {
        while (from + 1 < to && s[from] == '0') ++from;
        return s.mid(from, to - from);
      };
      const QString digits_a = digits(a, i, end_a);
      const QString digits_b = digits(b, j, end_b);
      if (digits_a.size() != digits_b.size())
        return digits_a.size() < digits_b.size() ? -1 : 1;
      if (const int order = digits_a.compare(digits_b)) return order;
      i = end_a;
      j = end_b;
    } else {
      if (a[i] != b[j]) return a[i] < b[j] ? -1 : 1;
      ++i;
      ++j;
    }
  }
  return (a.size() - i) - (b.size() - j);
}

QGraphicsItem* pad_item(const QGraphicsScene& scene, int pad) {
  for (QGraphicsItem* item : scene.items())
    if (pad_of(item) == pad && zgraph::kind_of(item) == "pad") return item;
  return nullptr;
}

}  // namespace

QGraphicsItem* item_at(const QGraphicsScene& scene, const QPointF& at,
                       double tolerance, bool pads_only) {
  const QRectF near(at - QPointF(tolerance, tolerance),
                    at + QPointF(tolerance, tolerance));
  QGraphicsItem* best = nullptr;
  int best_rank = 4;
  for (QGraphicsItem* item :
       scene.items(near, Qt::IntersectsItemShape, Qt::DescendingOrder)) {
    if (!is_pickable(item)) continue;
    std::string kind = zgraph::kind_of(item);
    // A hole's rim stands for its pad.
    if (kind == "hole") {
      item = pad_item(scene, pad_of(item));
      if (!item) continue;
      kind = "pad";
    }
    if (pads_only && kind != "pad") continue;
    // A zone's shape is its whole area: only its outline counts as near.
    if (kind == "zone" && !highlight_path(item).contains(at)) continue;
    const int rank = rank_of(kind);
    if (rank < best_rank) {
      best = item;
      best_rank = rank;
    }
  }
  return best;
}

QPainterPath highlight_path(const QGraphicsItem* item) {
  if (const auto* pad = dynamic_cast<const zgraph::GraphicsPadItem*>(item)) {
    QPainterPath area;
    for (const QPainterPath& piece : zgraph::pad_outline(pad->spec()))
      area.addPath(piece);
    // A pad that draws no copper still has its place.
    if (area.isEmpty()) area.addRect(zgraph::pad_rect(pad->spec()));
    return pad->sceneTransform().map(zgraph::pad_turn(pad->spec()).map(area));
  }
  if (const auto* zone = dynamic_cast<const zgraph::GraphicsZoneItem*>(item)) {
    QPainterPath area;
    for (const QPolygonF& outline : zone->outlines()) area.addPolygon(outline);
    return zone->sceneTransform().map(area);
  }
  return item->sceneTransform().map(item->shape());
}

std::vector<QGraphicsItem*> element_items(const QGraphicsScene& scene,
                                          int element) {
  std::vector<QGraphicsItem*> found;
  if (element < 0) return found;
  for (QGraphicsItem* item : scene.items(Qt::AscendingOrder))
    if (element_of(item) == element) found.push_back(item);
  return found;
}

std::vector<QGraphicsItem*> pads_by_number(const QGraphicsScene& scene) {
  std::vector<QGraphicsItem*> pads;
  for (QGraphicsItem* item : scene.items(Qt::AscendingOrder))
    if (is_pickable(item) && zgraph::kind_of(item) == "pad")
      pads.push_back(item);
  const auto number = [](const QGraphicsItem* item) {
    return static_cast<const zgraph::GraphicsPadItem*>(item)->spec().number;
  };
  std::stable_sort(pads.begin(), pads.end(),
                   [&](const QGraphicsItem* a, const QGraphicsItem* b) {
                     const int order = natural_compare(number(a), number(b));
                     return order != 0 ? order < 0 : pad_of(a) < pad_of(b);
                   });
  return pads;
}

}  // namespace zwidget::zcvpcb
