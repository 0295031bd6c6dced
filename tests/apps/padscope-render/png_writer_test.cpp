#include "apps/padscope-render/png_writer.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QPainter>

namespace padscope::render {
namespace {

// Antialiased translucent edges over each background decode as they do
// through Qt's own writer.
TEST(PngWriter, DecodesToTheSamePixelsAsQtsWriterGives) {
  const struct {
    QImage::Format format;
    QColor background;
  } cases[] = {
      {QImage::Format_RGB32, Qt::black},
      {QImage::Format_ARGB32_Premultiplied, Qt::transparent},
      {QImage::Format_ARGB32, QColor(0, 0, 255, 77)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.format);
    QImage image(37, 23, c.format);
    image.fill(c.background);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(200, 30, 90, 180), 2.5));
    painter.setBrush(QColor(10, 220, 40, 90));
    painter.drawEllipse(QRectF(3.3, 2.1, 25.4, 17.7));
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
