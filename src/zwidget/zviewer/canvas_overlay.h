#pragma once

#include <QLineF>
#include <QPainterPath>
#include <QPointF>
#include <QStringList>

#include <optional>
#include <vector>

class QPainter;

namespace zwidget::zcvpcb {

// What the canvas draws over the footprint while it is inspected, all in
// scene units: the pad under the cursor, the selected element, where a
// measurement snaps, the relative origin and the ruler with its text.
struct Overlay {
  std::vector<QPainterPath> hovered;
  std::vector<QPainterPath> selected;
  std::optional<QPointF> snap;
  std::optional<QPointF> origin;
  std::optional<QLineF> ruler;
  QStringList ruler_text;
  // Drawn in dark colours, for a light background.
  bool on_light = false;
};

// Paints `overlay` with `painter`, which maps scene units to the viewport;
// lines, markers and text keep their size in pixels at every zoom.
void paint_overlay(QPainter* painter, const Overlay& overlay);

}  // namespace zwidget::zcvpcb
