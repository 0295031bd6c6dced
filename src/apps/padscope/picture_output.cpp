#include "apps/padscope/picture_output.h"

#include "zwidget/zviewer/drawn_area.h"
#include "zwidget/zviewer/graph_tools_factory.h"
#include "zwidget/zviewer/obj_canvas.h"

#include <QBuffer>
#include <QFile>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QSaveFile>
#include <QSvgGenerator>

#include <algorithm>
#include <cmath>

using zwidget::zcvpcb::DrawnArea;
using zwidget::zcvpcb::ZObjCanvas;

namespace {

// Pixels of a picture at a pixel size, on paper or in an SVG viewer.
constexpr double kPixelsPerInch = 96;
constexpr double kScaleBarMillimetres = 10;

QColor background_of(const ZObjCanvas& canvas) {
  return zwidget::zcvpcb::ZGraphToolsFactory(canvas.picture().theme)
      .colour("system.background");
}

DrawnArea::Background filled(const ZObjCanvas& canvas) {
  const QColor colour = background_of(canvas);
  return [colour](QPainter* painter, const QRectF& rect) {
    painter->fillRect(rect, colour);
  };
}

// Paints the view as it is into `target`, its aspect kept.
void paint_view(QPainter& painter, const ZObjCanvas& canvas,
                const QRectF& target) {
  painter.fillRect(target, background_of(canvas));
  // render() is not const, but draws and changes nothing.
  auto& view = const_cast<ZObjCanvas&>(canvas);
  view.render(&painter, target, view.viewport()->rect(), Qt::KeepAspectRatio);
}

QString write_bytes(const QString& path, const QByteArray& bytes) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() ||
      !file.commit())
    return file.errorString();
  return QString();
}

// An SVG `size` pixels large at `dpi`; with `millimetres`, its stated size
// is that, exactly (the generator states a whole number of pixels).
QByteArray svg_of(const QSize& size, const QRectF& view, const QString& title,
                  const std::function<void(QPainter&)>& paint,
                  const QSizeF& millimetres = QSizeF()) {
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  QSvgGenerator generator;
  generator.setOutputDevice(&buffer);
  generator.setSize(size);
  generator.setViewBox(view);
  generator.setResolution(static_cast<int>(kPixelsPerInch));
  generator.setTitle(title.toHtmlEscaped());
  QPainter painter(&generator);
  paint(painter);
  painter.end();
  QByteArray svg = buffer.data();
  const int start = svg.indexOf("<svg width=\"");
  const int height = svg.indexOf("height=\"", start);
  const int end = svg.indexOf('"', height + 8);
  if (!millimetres.isEmpty() && start >= 0 && height > start && end > height)
    svg.replace(start, end + 1 - start,
                QStringLiteral("<svg width=\"%1mm\" height=\"%2mm\"")
                    .arg(millimetres.width(), 0, 'f', 4)
                    .arg(millimetres.height(), 0, 'f', 4)
                    .toUtf8());
  return svg;
}

// Dots per inch of the devices painted on: an image's. Pad numbers are
// laid out in the device's font resolution, and at a printer's 1200 they
// came out twelve times too large; coordinates are not rounded to dots.
int device_resolution() {
  static const int dpi = QImage(1, 1, QImage::Format_RGB32).logicalDpiX();
  return dpi;
}

// A PDF of one page for a picture `millimetres` large. PDF states sizes
// in whole points: the page is rounded up to them, and the picture, at its
// own size, centred.
QByteArray pdf_of(const QSizeF& millimetres, const QString& title,
                  const std::function<void(QPainter&, const QRectF&)>& paint) {
  constexpr double kPoints = 72 / 25.4;
  const QSize points(
      static_cast<int>(std::ceil(millimetres.width() * kPoints)),
      static_cast<int>(std::ceil(millimetres.height() * kPoints)));
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  QPdfWriter writer(&buffer);
  writer.setTitle(title);
  writer.setCreator(QStringLiteral("Padscope"));
  writer.setResolution(device_resolution());
  writer.setPageLayout(
      QPageLayout(QPageSize(points, QString(), QPageSize::ExactMatch),
                  QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
  QPainter painter;
  if (!painter.begin(&writer)) return QByteArray();
  const double dots = device_resolution() / 25.4;
  const QSizeF page = QSizeF(points) / kPoints * dots;
  const QSizeF drawn = millimetres * dots;
  paint(painter, QRectF(QPointF((page.width() - drawn.width()) / 2,
                                (page.height() - drawn.height()) / 2),
                        drawn));
  painter.end();
  return buffer.data();
}

QByteArray true_size_picture(const ZObjCanvas& canvas,
                             const ExportChoice& choice, const QString& title) {
  const DrawnArea area(canvas);
  const QSizeF millimetres = area.millimetres(choice.scale);
  if (millimetres.isEmpty()) return QByteArray();
  const auto paint = [&](QPainter& painter, const QRectF& target) {
    area.paint(painter, target, filled(canvas));
  };
  if (choice.format == PictureFormat::pdf)
    return pdf_of(millimetres, title, paint);
  const double per_mm = kPixelsPerInch / 25.4;
  const QSizeF exact = millimetres * per_mm;
  const QSize pixels(std::max(1, qRound(exact.width())),
                     std::max(1, qRound(exact.height())));
  if (choice.format == PictureFormat::svg)
    return svg_of(
        pixels, QRectF(QPointF(), exact), title,
        [&](QPainter& painter) { paint(painter, QRectF(QPointF(), exact)); },
        millimetres);
  QImage image(pixels, QImage::Format_RGB32);
  QPainter painter(&image);
  paint(painter, QRectF(QPointF(), QSizeF(pixels)));
  painter.end();
  QBuffer png;
  png.open(QIODevice::WriteOnly);
  image.setDotsPerMeterX(qRound(per_mm * 1000));
  image.setDotsPerMeterY(qRound(per_mm * 1000));
  image.save(&png, "PNG");
  return png.data();
}

QByteArray view_picture(const ZObjCanvas& canvas, const ExportChoice& choice,
                        const QString& title) {
  switch (choice.format) {
    case PictureFormat::svg:
      return view_svg(canvas, choice.pixels, title);
    case PictureFormat::pdf:
      return pdf_of(QSizeF(choice.pixels) * (25.4 / kPixelsPerInch), title,
                    [&](QPainter& painter, const QRectF& target) {
                      paint_view(painter, canvas, target);
                    });
    case PictureFormat::png:
      break;
  }
  QBuffer png;
  png.open(QIODevice::WriteOnly);
  view_image(canvas, choice.pixels).save(&png, "PNG");
  return png.data();
}

}  // namespace

QImage view_image(const ZObjCanvas& canvas, const QSize& size) {
  QImage image(size, QImage::Format_RGB32);
  image.fill(background_of(canvas));
  QPainter painter(&image);
  paint_view(painter, canvas, QRectF(QPointF(), QSizeF(size)));
  painter.end();
  return image;
}

QByteArray view_svg(const ZObjCanvas& canvas, const QSize& size,
                    const QString& title) {
  return svg_of(size, QRectF(QPointF(), QSizeF(size)), title,
                [&](QPainter& painter) {
                  paint_view(painter, canvas, QRectF(QPointF(), QSizeF(size)));
                });
}

QString export_picture(const ZObjCanvas& canvas, const ExportChoice& choice,
                       const QString& path, const QString& title) {
  const QByteArray bytes = choice.true_size
                               ? true_size_picture(canvas, choice, title)
                               : view_picture(canvas, choice, title);
  if (bytes.isEmpty()) return QObject::tr("Nothing is shown to export.");
  return write_bytes(path, bytes);
}

namespace {

// The scale bar, 10 mm at the drawing's scale from `start` to the right,
// its ends named "0" and "10" below it, and under them, from the page's
// left edge `left`, what it and the drawing are.
void paint_scale_bar(QPainter& painter, const QPointF& start, double length,
                     double tick, double left, const QString& scale_text) {
  painter.save();
  QPen pen(Qt::black);
  pen.setWidthF(tick / 8);
  painter.setPen(pen);
  const QPointF end = start + QPointF(length, 0);
  painter.drawLine(start, end);
  painter.drawLine(start, start - QPointF(0, tick));
  painter.drawLine(end, end - QPointF(0, tick));
  const QFontMetricsF metrics(painter.font(), painter.device());
  const double baseline = start.y() + metrics.ascent() + tick / 4;
  const auto label = [&](const QPointF& at, const QString& text) {
    const double width = metrics.horizontalAdvance(text);
    painter.drawText(QPointF(at.x() - width / 2, baseline), text);
  };
  label(start, QStringLiteral("0"));
  label(end, QStringLiteral("10"));
  painter.drawText(QPointF(left, baseline + metrics.height()),
                   QObject::tr("Scale bar: 10 mm. %1").arg(scale_text));
  painter.restore();
}

QString scale_text(double scale, bool fit) {
  const QString ratio =
      scale >= 1
          ? QStringLiteral("%1:1").arg(QString::number(scale, 'g', 4))
          : QStringLiteral("1:%1").arg(QString::number(1 / scale, 'g', 4));
  return fit ? QObject::tr("Scale %1 (fitted to the page)").arg(ratio)
             : QObject::tr("Scale %1").arg(ratio);
}

}  // namespace

bool print_footprint(QPrinter& printer, const ZObjCanvas& canvas,
                     const PrintChoice& choice, const QString& name,
                     const QDate& date) {
  const DrawnArea area(canvas);
  const QSizeF millimetres = area.millimetres(1);
  if (millimetres.isEmpty()) return false;
  QPainter painter;
  if (!painter.begin(&printer)) return false;
  // Device pixels from the printable area's top left corner.
  const double dots = printer.resolution() / 25.4;
  const QRectF page(
      QPointF(),
      printer.pageLayout().paintRect(QPageLayout::Millimeter).size() * dots);
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPointSizeF(10);
  painter.setFont(QFont(font, &printer));
  const QFontMetricsF metrics(painter.font(), &printer);
  const double line = metrics.height();
  const double tick = 2 * dots;

  painter.drawText(QRectF(page.left(), page.top(), page.width(), line),
                   Qt::AlignLeft | Qt::AlignVCenter, name);
  painter.drawText(QRectF(page.left(), page.top(), page.width(), line),
                   Qt::AlignRight | Qt::AlignVCenter,
                   date.toString(Qt::ISODate));

  // Room for the drawing between the heading and the scale bar.
  const QRectF room = page.adjusted(0, 2 * line, 0, -(3 * line + tick));
  const double scale =
      choice.fit ? std::min(room.width() / (millimetres.width() * dots),
                            room.height() / (millimetres.height() * dots))
                 : choice.scale;
  const QSizeF drawn = millimetres * (scale * dots);
  const QRectF target(
      room.center() - QPointF(drawn.width(), drawn.height()) / 2, drawn);
  painter.save();
  painter.setClipRect(room);
  area.paint(painter, target, filled(canvas));
  painter.restore();

  paint_scale_bar(painter,
                  QPointF(page.left() + tick, page.bottom() - 2.5 * line),
                  kScaleBarMillimetres * scale * dots, tick, page.left(),
                  scale_text(scale, choice.fit));
  painter.end();
  return true;
}
