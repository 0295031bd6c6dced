#pragma once

#include <QPainterPath>
#include <QPointF>

#include <vector>

class QGraphicsItem;
class QGraphicsScene;

namespace zwidget::zcvpcb {

// The shown item that stands for a file's element at `at` (scene units),
// within `tolerance`: a pad before a text, a text before an outline, an
// outline before a zone, the topmost among equals; only pads when
// `pads_only`. Hidden items and hidden texts are passed over, so are
// items the loaders did not tag. Null where there is none.
QGraphicsItem* item_at(const QGraphicsScene& scene, const QPointF& at,
                       double tolerance, bool pads_only = false);

// The area an item covers on the scene, to be highlighted: a pad's turned
// outline, a zone's outline, any other item's shape.
QPainterPath highlight_path(const QGraphicsItem* item);

// The items drawn for one element of the file, such as a zone on several
// layers, in the scene's order.
std::vector<QGraphicsItem*> element_items(const QGraphicsScene& scene,
                                          int element);

// The pads in the order of their numbers, digits compared as numbers ("2"
// before "10", "A2" before "A10"); shown ones only.
std::vector<QGraphicsItem*> pads_by_number(const QGraphicsScene& scene);

}  // namespace zwidget::zcvpcb
