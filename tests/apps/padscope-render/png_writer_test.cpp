#include "apps/padscope-render/png_writer.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QPainter>

namespace padscope::render {
namespace {

// Antialiased translucent edges over each background decode as they do
// through Qt's own writer; so do runs longer than a match, rows that
// repeat the one above, and rows longer than deflate's window reaches.
TEST(PngWriter, DecodesToTheSamePixelsAsQtsWriterGives) {
  const struct {
    QImage::Format format;
    QColor background;
    QSize size;
  } cases[] = {
      {QImage::Format_RGB32, Qt::black, {37, 23}},
      {QImage::Format_ARGB32_Premultiplied, Qt::transparent, {37, 23}},
      {QImage::Format_ARGB32, QColor(0, 0, 255, 77), {37, 23}},
      {QImage::Format_RGB32, Qt::black, {700, 90}},
      {QImage::Format_ARGB32, Qt::transparent, {8300, 5}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.size.width());
    QImage image(c.size, c.format);
    image.fill(c.background);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(200, 30, 90, 180), 2.5));
    painter.setBrush(QColor(10, 220, 40, 90));
    painter.drawEllipse(QRectF(3.3, 2.1, 25.4, 17.7));
    painter.fillRect(QRect(40, 1, c.size.width() / 2, 3), QColor(250, 250, 0));
    painter.drawLine(QPointF(c.size.width() - 9.5, 0),
                     QPointF(c.size.width() - 9.5, c.size.height()));
    painter.end();
    const QImage read = QImage::fromData(encode_png(image), "PNG");
    EXPECT_EQ(read.hasAlphaChannel(), image.hasAlphaChannel());
    EXPECT_EQ(read.dotsPerMeterX(), image.dotsPerMeterX());
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    EXPECT_EQ(
        read.convertToFormat(QImage::Format_ARGB32),
        QImage::fromData(bytes, "PNG").convertToFormat(QImage::Format_ARGB32));
  }
  EXPECT_TRUE(encode_png(QImage()).isEmpty());
}

}  // namespace
}  // namespace padscope::render
