#include "apps/padscope-render/png_writer.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QPainter>

namespace padscope::render {
namespace {

// A drawing with antialiased edges over `background`, in `format`.
QImage drawing(QImage::Format format, const QColor& background) {
  QImage image(37, 23, format);
  image.fill(background);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(QColor(200, 30, 90, 180), 2.5));
  painter.setBrush(QColor(10, 220, 40, 90));
  painter.drawEllipse(QRectF(3.3, 2.1, 25.4, 17.7));
  painter.drawLine(QPointF(0, 22), QPointF(36, 0.5));
  return image;
}

TEST(PngWriter, DecodesToTheSamePixelsAsQtsWriterGives) {
  const struct {
    QImage::Format format;
    QColor background;
    bool alpha;
  } cases[] = {
      {QImage::Format_RGB32, Qt::black, false},
      {QImage::Format_RGB32, Qt::white, false},
      {QImage::Format_ARGB32_Premultiplied, Qt::transparent, true},
      {QImage::Format_ARGB32, QColor(0, 0, 255, 77), true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.format);
    const QImage image = drawing(c.format, c.background);
    const QByteArray png = encode_png(image);
    ASSERT_FALSE(png.isEmpty());
    const QImage read = QImage::fromData(png, "PNG");
    EXPECT_EQ(read.size(), image.size());
    EXPECT_EQ(read.hasAlphaChannel(), c.alpha);
    EXPECT_EQ(read.dotsPerMeterX(), image.dotsPerMeterX());
    // What Qt's own writer and reader make of the same image.
    QImage expected;
    ASSERT_TRUE(expected.loadFromData(
        [&] {
          QByteArray bytes;
          QBuffer buffer(&bytes);
          buffer.open(QIODevice::WriteOnly);
          image.save(&buffer, "PNG");
          return bytes;
        }(),
        "PNG"));
    EXPECT_EQ(read.convertToFormat(QImage::Format_ARGB32),
              expected.convertToFormat(QImage::Format_ARGB32));
  }
}

TEST(PngWriter, ANullImageGivesNothing) {
  EXPECT_TRUE(encode_png(QImage()).isEmpty());
}

}  // namespace
}  // namespace padscope::render
