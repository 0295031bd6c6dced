#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QString>

#include <memory>

class QPainter;
class QPdfWriter;

namespace padscope::render {

class FootprintRenderer;

// A PDF of one page per picture, each page as large as its picture. PDF
// states page sizes in whole points (1/72 inch): a page is its picture's
// size rounded up to them, the picture centred on it at its own size.
class PdfPages {
public:
  explicit PdfPages(const QString& title);
  ~PdfPages();
  PdfPages(const PdfPages&) = delete;
  PdfPages& operator=(const PdfPages&) = delete;

  // A page with what `renderer` shows; false when it has no size.
  bool add(const FootprintRenderer& renderer);
  int pages() const { return count; }
  // The document; empty when it has no page.
  QByteArray finish();

private:
  QBuffer buffer;
  std::unique_ptr<QPdfWriter> writer;
  std::unique_ptr<QPainter> painter;
  int count = 0;
};

}  // namespace padscope::render
