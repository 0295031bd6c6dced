#pragma once

#include <QByteArray>
#include <QPaintDevice>
#include <QSize>
#include <QSizeF>
#include <QString>
#include <QTransform>

#include <memory>

namespace padscope::render {

class SvgPaintEngine;

// A paint device that writes what is painted on it as compact SVG 1.1.
// Coordinates are written in the drawing's own units under one transform
// to pixels; shapes that share pen, brush and clip share one group, however
// often the painter saves and restores; glyphs are paths defined once per
// document. A painter on it draws what it draws on an image of that size.
class SvgDevice : public QPaintDevice {
public:
  // `drawing` maps the drawing's units, those the painter's transform
  // starts from, to pixels, and must keep angles (a fit: scale and shift);
  // coordinates get `decimals` digits after the point at most, or enough
  // for a hundredth of a pixel where that needs more.
  SvgDevice(const QSize& size, const QTransform& drawing, int decimals);
  ~SvgDevice() override;
  SvgDevice(const SvgDevice&) = delete;
  SvgDevice& operator=(const SvgDevice&) = delete;

  void set_title(const QString& title);
  void set_description(const QString& description);
  // States the picture's size in millimetres; `view_pixels` is the part of
  // the device it spans, which may end inside a pixel. Without it the size
  // is the device's, in pixels.
  void set_physical_size(const QSizeF& size_mm, const QSizeF& view_pixels);
  // The document; complete once the painter on the device has ended.
  QByteArray svg() const;

  QPaintEngine* paintEngine() const override;

protected:
  int metric(PaintDeviceMetric metric) const override;

private:
  friend class SvgPaintEngine;

  QSize size;
  QTransform drawing;
  int decimals;
  QString title;
  QString description;
  QSizeF millimetres;
  QSizeF view;
  QByteArray document;
  std::unique_ptr<SvgPaintEngine> engine;
};

}  // namespace padscope::render
