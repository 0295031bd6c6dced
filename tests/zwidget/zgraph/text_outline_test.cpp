#include "zwidget/zgraph/text_outline.h"

#include <gtest/gtest.h>

namespace zwidget::zgraph {
namespace {

// Bit for bit: QPainterPath's own == forgives small differences.
void expect_same(const QPainterPath& made, const QPainterPath& qt,
                 const QString& text) {
  SCOPED_TRACE(text.toStdString());
  ASSERT_EQ(made.elementCount(), qt.elementCount());
  EXPECT_EQ(made.fillRule(), qt.fillRule());
  for (int i = 0; i < made.elementCount(); ++i) {
    const QPainterPath::Element &a = made.elementAt(i), &b = qt.elementAt(i);
    ASSERT_TRUE(a.type == b.type && a.x == b.x && a.y == b.y)
        << "element " << i << ": " << a.x << ", " << a.y << " against " << b.x
        << ", " << b.y;
  }
}

// Pad numbers and names as libraries have them, kerned pairs, text left to
// Qt (tabs, other scripts, a blank), in the label font and in an odd size of
// another, where the glyphs' curves fall on other points.
TEST(TextOutline, IsQtsOwnTextElementForElement) {
  const QStringList texts = {
      QStringLiteral("1"),     QStringLiteral("W18"),
      QStringLiteral("AF28"),  QStringLiteral("AV"),
      QStringLiteral("LT1"),   QStringLiteral("MP"),
      QStringLiteral("A B"),   QStringLiteral("~{RESET}"),
      QStringLiteral("PA_11"), QStringLiteral("x\ty"),
      QStringLiteral("αβ"),    QStringLiteral("  "),
      QStringLiteral("")};
  for (const auto& [family, points] :
       {std::pair{"Arial", 10.0}, std::pair{"DejaVu Serif", 13.37}}) {
    QFont font(QString::fromLatin1(family));
    font.setPointSizeF(points);
    for (const QString& text : texts) {
      QPainterPath qt;
      qt.addText(0, 0, font, text);
      // The second time from the glyphs read the first.
      for (int pass = 0; pass < 2; ++pass)
        expect_same(text_outline(text, font), qt, text);
    }
  }
}

}  // namespace
}  // namespace zwidget::zgraph
