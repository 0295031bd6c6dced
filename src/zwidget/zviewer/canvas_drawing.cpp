// The canvas's kept drawing: the footprint drawn once per zoom, turn and
// picture, copied to the viewport on every repaint.
#include "zwidget/zviewer/obj_canvas.h"

#include <QPaintEvent>
#include <QPainter>
#include <QTimer>

#include <cmath>

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
  QPainter painter(&image);
  painter.setRenderHints(renderHints());
  drawing_scene = true;
  render(&painter, QRectF(area), area, Qt::IgnoreAspectRatio);
  drawing_scene = false;
}

}  // namespace zwidget::zcvpcb
