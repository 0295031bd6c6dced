// The canvas's kept drawing: the footprint drawn once per zoom, turn and
// picture, copied to the viewport on every repaint.
#include "zwidget/zviewer/obj_canvas.h"

#include <QGraphicsItem>
#include <QPaintEvent>
#include <QPainter>
#include <QStyleOptionGraphicsItem>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <thread>

namespace zwidget::zcvpcb {

namespace {

// `offset` when it is a whole number, to within what the view's own
// arithmetic leaves over; nothing otherwise.
std::optional<int> whole(double offset) {
  const double rounded = std::round(offset);
  if (std::abs(offset - rounded) > 1e-9 || std::abs(rounded) > 1e6)
    return std::nullopt;
  return static_cast<int>(rounded);
}

// A drawing at least this large is drawn in two halves at once, one on
// another thread: a zoom of a large ball grid array is milliseconds of
// filling paths.
constexpr int kSplitPixels = 400000;

// Pixels an item may paint beyond its bounding rectangle: antialiased
// edges, as Qt's own view allows for when it repaints part of a scene.
constexpr int kItemBleed = 4;

// Items the scene draws in the order and with the transforms Qt's view
// gives them, without changing anything of the scene: items with their own
// clipping, opacity, children or effects are not.
bool drawable_alone(const QGraphicsItem* item) {
  return !item->parentItem() && item->childItems().isEmpty() &&
         !item->graphicsEffect() && item->opacity() == 1.0 &&
         !(item->flags() & (QGraphicsItem::ItemClipsToShape |
                            QGraphicsItem::ItemClipsChildrenToShape |
                            QGraphicsItem::ItemIgnoresTransformations |
                            QGraphicsItem::ItemHasNoContents));
}

// The items of `scene` over `area` of `view`, bottom first, as Qt's view
// renders them; none when some item is not drawable alone.
QList<QGraphicsItem*> items_to_draw(const QGraphicsView& view,
                                    const QRect& area) {
  QList<QGraphicsItem*> items =
      view.scene()->items(view.mapToScene(area.adjusted(-1, -1, 1, 1)),
                          Qt::IntersectsItemBoundingRect);
  std::reverse(items.begin(), items.end());
  if (!std::all_of(items.begin(), items.end(), drawable_alone)) return {};
  return items;
}

}  // namespace

void ZObjCanvas::paintEvent(QPaintEvent* event) {
  if (!footprint_scene()) {
    QGraphicsView::paintEvent(event);
    return;
  }
  bring_drawing_up_to_date();
  QPainter painter(viewport());
  painter.setClipRegion(event->region());
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  painter.drawImage(QPoint(), drawing);
  painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
  painter.setRenderHints(renderHints());
  painter.setTransform(viewportTransform());
  drawForeground(&painter,
                 mapToScene(event->region().boundingRect()).boundingRect());
}

void ZObjCanvas::bring_drawing_up_to_date() {
  const qreal ratio = viewport()->devicePixelRatioF();
  const QSize pixels = viewport()->size() * ratio;
  const QTransform now = viewportTransform();
  if (drawing_current && drawing.size() == pixels &&
      drawing.devicePixelRatio() == ratio &&
      (now == drawing_transform || shift_drawing(now)))
    return;
  if (drawing.size() != pixels) drawing = QImage(pixels, QImage::Format_RGB32);
  drawing.setDevicePixelRatio(ratio);
  draw_scene_into(drawing, viewport()->rect());
  drawing_transform = now;
  drawing_current = true;
  drawing_shifted = false;
}

bool ZObjCanvas::shift_drawing(const QTransform& now) {
  const QTransform& then = drawing_transform;
  if (now.m11() != then.m11() || now.m12() != then.m12() ||
      now.m21() != then.m21() || now.m22() != then.m22() ||
      now.type() == QTransform::TxProject ||
      then.type() == QTransform::TxProject)
    return false;
  const qreal ratio = drawing.devicePixelRatio();
  const std::optional<int> dx = whole(now.dx() - then.dx());
  const std::optional<int> dy = whole(now.dy() - then.dy());
  const QRect view = viewport()->rect();
  if (!dx || !dy || std::abs(*dx) >= view.width() ||
      std::abs(*dy) >= view.height() || !whole(*dx * ratio) ||
      !whole(*dy * ratio))
    return false;
  if (spare_drawing.size() != drawing.size())
    spare_drawing = QImage(drawing.size(), drawing.format());
  spare_drawing.setDevicePixelRatio(ratio);
  {
    QPainter painter(&spare_drawing);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(QPoint(*dx, *dy), drawing);
  }
  std::swap(drawing, spare_drawing);
  drawing_transform = now;
  const QRegion uncovered = QRegion(view) - QRegion(view.translated(*dx, *dy));
  for (const QRect& strip : uncovered) draw_scene_into(drawing, strip);
  // Shifted coordinates round otherwise than the same drawn afresh, here
  // and there a pixel a level apart: once the view rests it is drawn anew.
  drawing_shifted = true;
  settle_timer->start();
  return true;
}

void ZObjCanvas::settle_drawing() {
  if (!drawing_shifted) return;
  forget_drawing();
  viewport()->update();
}

void ZObjCanvas::draw_scene_into(QImage& image, const QRect& area) {
  if (area.width() * area.height() >= kSplitPixels &&
      draw_in_halves(image, area))
    return;
  QPainter painter(&image);
  painter.setRenderHints(renderHints());
  drawing_scene = true;
  render(&painter, QRectF(area), area, Qt::IgnoreAspectRatio);
  drawing_scene = false;
}

// What QGraphicsView::render draws at the viewport transform `view`,
// clipped to `band`: the background over `exposed` (in scene units), then
// `items`.
void ZObjCanvas::draw_band(QImage& image, const QRect& band,
                           const QTransform& view, const QRectF& exposed,
                           const std::vector<PlacedItem>& items) {
  QPainter painter(&image);
  painter.setRenderHints(renderHints());
  painter.setClipRect(QRectF(band), Qt::IntersectClip);
  painter.setTransform(view, true);
  drawBackground(&painter, exposed);
  QStyleOptionGraphicsItem option;
  option.state = QStyle::State_Enabled;
  for (const PlacedItem& placed : items) {
    painter.setWorldTransform(placed.to_device);
    option.exposedRect = placed.bounds;
    painter.save();
    placed.item->paint(&painter, &option, viewport());
    painter.restore();
  }
  painter.setWorldTransform(view);
  drawForeground(&painter, exposed);
}

bool ZObjCanvas::draw_in_halves(QImage& image, const QRect& area) {
  const QList<QGraphicsItem*> items = items_to_draw(*this, area);
  if (items.isEmpty()) return false;
  const QRect top(area.left(), area.top(), area.width(), area.height() / 2);
  const QRect bottom(area.left(), top.bottom() + 1, area.width(),
                     area.height() - top.height());
  // Everything the threads need is worked out here: Qt's items keep some
  // of it in caches filled when first asked for.
  const QTransform view = viewportTransform();
  std::vector<PlacedItem> upper, lower, both;
  for (QGraphicsItem* item : items) {
    PlacedItem placed{item, item->sceneTransform(), item->boundingRect()};
    placed.to_device *= view;
    const QRect reach =
        placed.to_device.mapRect(placed.bounds)
            .toAlignedRect()
            .adjusted(-kItemBleed, -kItemBleed, kItemBleed, kItemBleed);
    const bool in_top = reach.intersects(top);
    const bool in_bottom = reach.intersects(bottom);
    if (in_top) upper.push_back(placed);
    if (in_bottom) lower.push_back(placed);
    if (in_top && in_bottom) both.push_back(placed);
  }
  // Qt keeps what a path needs for drawing in the path, made when it is
  // first drawn; an item both halves draw is drawn once first, out of
  // sight, so that the two threads only read it.
  {
    QImage scratch(1, 1, image.format());
    QPainter painter(&scratch);
    painter.setRenderHints(renderHints());
    QStyleOptionGraphicsItem option;
    for (const PlacedItem& placed : both) {
      painter.setWorldTransform(placed.to_device);
      painter.save();
      placed.item->paint(&painter, &option, viewport());
      painter.restore();
    }
  }
  const QRectF exposed = mapToScene(area.adjusted(-1, -1, 1, 1)).boundingRect();
  drawing_scene = true;
  // The other thread paints the same pixels through an image of its own.
  QImage lower_half(image.bits(), image.width(), image.height(),
                    image.bytesPerLine(), image.format());
  lower_half.setDevicePixelRatio(image.devicePixelRatio());
  std::thread other(
      [&] { draw_band(lower_half, bottom, view, exposed, lower); });
  draw_band(image, top, view, exposed, upper);
  other.join();
  drawing_scene = false;
  return true;
}

}  // namespace zwidget::zcvpcb
