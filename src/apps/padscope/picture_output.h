#pragma once

#include <QByteArray>
#include <QDate>
#include <QImage>
#include <QSize>
#include <QString>

class QPainter;
class QPrinter;

namespace zwidget::zcvpcb {
class ZObjCanvas;
}

// Pictures of what a canvas shows, for the clipboard, files and paper, in
// its theme, with its layers and its view.

enum class PictureFormat { png, svg, pdf };

struct ExportChoice {
  PictureFormat format = PictureFormat::png;
  // At a scale: the footprint as large as it is times `scale`, turned and
  // mirrored as the view; otherwise the view as it is, at `pixels`.
  bool true_size = false;
  double scale = 1;
  QSize pixels{800, 600};
};

// The view as it is, `size` large (its aspect kept, centred).
QImage view_image(const zwidget::zcvpcb::ZObjCanvas& canvas, const QSize& size);
// The same as SVG, `size` pixels large.
QByteArray view_svg(const zwidget::zcvpcb::ZObjCanvas& canvas,
                    const QSize& size, const QString& title);

// Writes the picture to `path`; empty on success, else the problem.
QString export_picture(const zwidget::zcvpcb::ZObjCanvas& canvas,
                       const ExportChoice& choice, const QString& path,
                       const QString& title);

struct PrintChoice {
  // Fitted into the page; else at `scale`, which 1 makes true size.
  bool fit = false;
  double scale = 1;
};

// Prints one page: the footprint's name and the date at the top, the
// drawing centred, a 10 mm scale bar and the scale at the bottom. False
// when there is nothing to print or the printer cannot be painted on.
bool print_footprint(QPrinter& printer,
                     const zwidget::zcvpcb::ZObjCanvas& canvas,
                     const PrintChoice& choice, const QString& name,
                     const QDate& date);
