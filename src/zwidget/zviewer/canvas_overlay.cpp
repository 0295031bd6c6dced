#include "zwidget/zviewer/canvas_overlay.h"

#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

namespace zwidget::zcvpcb {

namespace {

// The overlay's colours on a dark background, and on a light one.
struct Palette {
  QColor hover, hover_line, selected_fill, selected_line, ruler, marker,
      label_back, origin;
};

const Palette kOnDark{{255, 255, 255, 70}, Qt::white,     {0, 255, 255, 90},
                      {0, 255, 255},       {255, 255, 0}, {255, 0, 255},
                      {0, 0, 0, 190},      Qt::white};
const Palette kOnLight{{0, 0, 0, 60},        Qt::black,   {0, 120, 215, 80},
                       {0, 90, 180},         {0, 0, 150}, {200, 0, 200},
                       {255, 255, 255, 210}, Qt::black};

// Cosmetic: the same width in pixels at every zoom.
QPen screen_pen(const QColor& colour, double width) {
  QPen pen(colour, width);
  pen.setCosmetic(true);
  return pen;
}

void paint_areas(QPainter* painter, const std::vector<QPainterPath>& areas,
                 const QPen& pen, const QColor& fill) {
  painter->setPen(pen);
  painter->setBrush(fill);
  for (const QPainterPath& area : areas) painter->drawPath(area);
}

// The ruler in viewport pixels: the line, a tick across each end, and its
// text in a box beside the middle.
void paint_ruler(QPainter* painter, const QLineF& line, const QStringList& text,
                 const Palette& colours) {
  painter->setPen(screen_pen(colours.ruler, 1.5));
  painter->drawLine(line);
  if (line.length() > 0) {
    QLineF tick = line.normalVector();
    tick.setLength(6);
    const QPointF across = tick.p2() - tick.p1();
    for (const QPointF& end : {line.p1(), line.p2()})
      painter->drawLine(end - across, end + across);
  }
  if (text.isEmpty()) return;
  const QFontMetricsF metrics(painter->font());
  double width = 0;
  for (const QString& row : text)
    width = std::max(width, metrics.horizontalAdvance(row));
  const double height = metrics.height() * text.size();
  QRectF box(line.center() + QPointF(12, 12), QSizeF(width + 8, height + 6));
  // Kept inside the view where the middle lies near its edge.
  const QRectF view = painter->viewport();
  if (box.right() > view.right()) box.moveRight(line.center().x() - 12);
  if (box.bottom() > view.bottom()) box.moveBottom(line.center().y() - 12);
  painter->setPen(Qt::NoPen);
  painter->setBrush(colours.label_back);
  painter->drawRect(box);
  painter->setPen(colours.ruler);
  painter->drawText(box.adjusted(4, 3, -4, -3), Qt::AlignLeft | Qt::AlignTop,
                    text.join('\n'));
}

void paint_marker(QPainter* painter, const QPointF& at, const QColor& colour) {
  painter->setPen(screen_pen(colour, 1.5));
  painter->setBrush(Qt::NoBrush);
  painter->drawRect(QRectF(at - QPointF(5, 5), QSizeF(10, 10)));
}

void paint_origin(QPainter* painter, const QPointF& at, const QColor& colour) {
  painter->setPen(screen_pen(colour, 1));
  painter->setBrush(Qt::NoBrush);
  painter->drawEllipse(at, 6, 6);
  painter->drawLine(at - QPointF(9, 0), at + QPointF(9, 0));
  painter->drawLine(at - QPointF(0, 9), at + QPointF(0, 9));
}

}  // namespace

void paint_overlay(QPainter* painter, const Overlay& overlay) {
  painter->save();
  painter->setRenderHint(QPainter::Antialiasing, true);
  const Palette& colours = overlay.on_light ? kOnLight : kOnDark;
  paint_areas(painter, overlay.hovered, screen_pen(colours.hover_line, 1),
              colours.hover);
  paint_areas(painter, overlay.selected, screen_pen(colours.selected_line, 2),
              colours.selected_fill);
  // Markers and text in pixels, placed where their scene points show.
  const QTransform to_view = painter->transform();
  painter->resetTransform();
  if (overlay.origin)
    paint_origin(painter, to_view.map(*overlay.origin), colours.origin);
  if (overlay.ruler)
    paint_ruler(painter, to_view.map(*overlay.ruler), overlay.ruler_text,
                colours);
  if (overlay.snap)
    paint_marker(painter, to_view.map(*overlay.snap), colours.marker);
  painter->restore();
}

}  // namespace zwidget::zcvpcb
