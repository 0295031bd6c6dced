#include "apps/padscope-render/pdf_pages.h"

#include "apps/padscope-render/footprint_renderer.h"

#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include <cmath>

namespace padscope::render {

namespace {

constexpr double kPointsPerMillimetre = 72 / 25.4;

// Dots of the writer's painter per inch: those of an image, since the pad
// numbers are laid out in the device's font resolution; at a printer's
// 1200 they came out twelve times too large. Coordinates stay exact: the
// painter's are not rounded to dots.
int resolution() {
  static const int dpi = QImage(1, 1, QImage::Format_RGB32).logicalDpiX();
  return dpi;
}

}  // namespace

PdfPages::PdfPages(const QString& title)
    : writer(std::make_unique<QPdfWriter>(&buffer)) {
  buffer.open(QIODevice::WriteOnly);
  writer->setTitle(title);
  writer->setCreator(QStringLiteral("padscope-render"));
  writer->setResolution(resolution());
}

PdfPages::~PdfPages() {
  if (painter) painter->end();
}

bool PdfPages::add(const FootprintRenderer& renderer) {
  const QSizeF millimetres = renderer.picture_millimetres();
  if (millimetres.isEmpty()) return false;
  const QSize points(
      static_cast<int>(std::ceil(millimetres.width() * kPointsPerMillimetre)),
      static_cast<int>(std::ceil(millimetres.height() * kPointsPerMillimetre)));
  // Exactly this size: a near standard size is not taken instead.
  const QPageSize page(points, QString(), QPageSize::ExactMatch);
  writer->setPageLayout(
      QPageLayout(page, QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
  if (count == 0) {
    painter = std::make_unique<QPainter>();
    if (!painter->begin(writer.get())) return false;
  } else if (!writer->newPage()) {
    return false;
  }
  const double dots_per_millimetre = resolution() / 25.4;
  const QSizeF picture = millimetres * dots_per_millimetre;
  const QSizeF sheet =
      QSizeF(points) / kPointsPerMillimetre * dots_per_millimetre;
  const QPointF corner((sheet.width() - picture.width()) / 2,
                       (sheet.height() - picture.height()) / 2);
  renderer.paint_into(*painter, QRectF(corner, picture));
  ++count;
  return true;
}

QByteArray PdfPages::finish() {
  if (!painter) return QByteArray();
  painter->end();
  painter.reset();
  return buffer.data();
}

}  // namespace padscope::render
