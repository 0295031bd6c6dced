#include "apps/padscope/footprint_output.h"

#include "apps/padscope/mainwindow.h"
#include "support/temp_settings.h"
#include "support/test_data.h"
#include "zwidget/zviewer/drawn_area.h"
#include "zwidget/zviewer/obj_canvas.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QPageSize>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <map>
#include <memory>

namespace {

using namespace padscope::test;
using zwidget::zcvpcb::ZObjCanvas;

constexpr double kPointsPerMillimetre = 72 / 25.4;

QString tqfp() {
  return QString::fromStdString(
      real_file("kicad9/TQFP-32_7x7mm_P0.8mm.kicad_mod"));
}

// A word of a PDF page and its box, in points.
struct Word {
  QString text;
  QRectF box;
};

// The words of the first page as pdftotext places them, and the page size.
std::vector<Word> pdf_words(const QString& pdf, QSizeF& page) {
  QProcess process;
  process.start("pdftotext", {"-bbox", "-f", "1", "-l", "1", pdf, "-"});
  EXPECT_TRUE(process.waitForFinished(60000));
  const QString html = QString::fromUtf8(process.readAllStandardOutput());
  static const QRegularExpression page_box(
      R"re(<page width="([0-9.]+)" height="([0-9.]+)")re");
  const auto size = page_box.match(html);
  page = QSizeF(size.captured(1).toDouble(), size.captured(2).toDouble());
  static const QRegularExpression word(
      R"re(<word xMin="([0-9.]+)" yMin="([0-9.]+)" xMax="([0-9.]+)" yMax="([0-9.]+)">([^<]*)</word>)re");
  std::vector<Word> words;
  auto matches = word.globalMatch(html);
  while (matches.hasNext()) {
    const auto m = matches.next();
    const auto number = [&](int i) { return m.captured(i).toDouble(); };
    words.push_back({m.captured(5), QRectF(QPointF(number(1), number(2)),
                                           QPointF(number(3), number(4)))});
  }
  return words;
}

class FootprintOutputTest : public testing::Test {
protected:
  void SetUp() override {
    window = std::make_unique<MainWindow>();
    window->resize(1000, 700);
  }
  ZObjCanvas* canvas() const { return window->findChild<ZObjCanvas*>(); }
  FootprintOutput* output() const {
    return window->findChild<FootprintOutput*>();
  }

  TempSettings settings;
  QTemporaryDir folder;
  std::unique_ptr<MainWindow> window;
};

// Printed to a PDF file on A4 and on Letter: the page is the paper's, the
// 10 mm scale bar is 10 mm long between its labels; fitted to the page, it
// grows.
TEST_F(FootprintOutputTest, PrintsAtTrueSizeOnAnyPaper) {
  if (QStandardPaths::findExecutable("pdftotext").isEmpty())
    GTEST_SKIP() << "pdftotext not found (poppler-utils); skipping the "
                    "measurement of the printed page";
  ASSERT_TRUE(window->open_path(tqfp()));
  const struct {
    QPageSize::PageSizeId paper;
    QSizeF points;
    bool fit;
  } cases[] = {{QPageSize::A4, {595.28, 841.89}, false},
               {QPageSize::Letter, {612, 792}, false},
               {QPageSize::A4, {595.28, 841.89}, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.paper << (c.fit ? " fitted" : ""));
    const QString pdf = folder.filePath("print.pdf");
    QPrinter printer(QPrinter::ScreenResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    printer.setPageSize(QPageSize(c.paper));
    PrintChoice choice;
    choice.fit = c.fit;
    ASSERT_TRUE(print_footprint(printer, *canvas(), choice, "TQFP-32",
                                QDate(2026, 12, 7)));
    QSizeF page;
    // The bar's labels on one line, the pads' numbers elsewhere.
    const std::vector<Word> words = pdf_words(pdf, page);
    const auto zero = std::find_if(words.begin(), words.end(),
                                   [](const Word& w) { return w.text == "0"; });
    ASSERT_NE(zero, words.end());
    std::map<QString, QRectF> bar_words, pad_words;
    for (const Word& word : words)
      (word.box.top() == zero->box.top() ? bar_words : pad_words)
          .emplace(word.text, word.box);
    EXPECT_NEAR(page.width(), c.points.width(), 0.5);
    EXPECT_NEAR(page.height(), c.points.height(), 0.5);
    // Pad numbers are drawn as shapes, so the page holds no words for them.
    ASSERT_TRUE(bar_words.count("0") && bar_words.count("10") &&
                pad_words.count("TQFP-32") && pad_words.count("2026-12-07"));
    EXPECT_FALSE(pad_words.count("1"));
    const double bar =
        QLineF(bar_words["0"].center(), bar_words["10"].center()).length();
    if (c.fit)
      EXPECT_GT(bar / (10 * kPointsPerMillimetre), 3);
    else
      EXPECT_NEAR(bar, 10 * kPointsPerMillimetre, 0.2);
  }
}

// Copy puts the view on the clipboard as PNG and SVG, or with a pad
// selected its facts as text; with nothing shown it leaves the clipboard.
TEST_F(FootprintOutputTest, CopiesTheViewOrTheSelection) {
  QApplication::clipboard()->setText("before");
  window->findChild<QAction*>("actionCopy")->trigger();
  EXPECT_EQ(QApplication::clipboard()->text(), "before");

  ASSERT_TRUE(window->open_path(tqfp()));
  std::unique_ptr<QMimeData> view(output()->clipboard_data());
  ASSERT_TRUE(view);
  const QImage image = qvariant_cast<QImage>(view->imageData());
  EXPECT_EQ(image.size(), canvas()->viewport()->size());
  EXPECT_GT(image.convertToFormat(QImage::Format_Indexed8).colorCount(), 2);
  EXPECT_TRUE(view->data("image/svg+xml").contains("<svg"));

  ASSERT_TRUE(canvas()->step_pad(true));
  window->findChild<QAction*>("actionCopy")->trigger();
  EXPECT_EQ(QApplication::clipboard()->text(), canvas()->selection_text());
  EXPECT_FALSE(QApplication::clipboard()->text().isEmpty());
}

// Exports at true size follow the view's turn: a quarter turn swaps the
// stated width and height; the view as it is comes at the pixels asked.
TEST_F(FootprintOutputTest, ExportsAtTrueSizeOrAtThePixelsAsked) {
  ASSERT_TRUE(window->open_path(
      QString::fromStdString(local("Battery_CR1225.kicad_mod"))));
  const QSizeF drawn = zwidget::zcvpcb::DrawnArea(*canvas()).millimetres(1);
  ASSERT_GT(drawn.width(), 5);
  const QRegularExpression stated(
      R"re(<svg width="([0-9.]+)mm" height="([0-9.]+)mm")re");
  ExportChoice choice;
  choice.format = PictureFormat::svg;
  choice.true_size = true;
  choice.scale = 2;
  const QString svg = folder.filePath("a.svg");
  for (int turn = 0; turn < 2; ++turn) {
    SCOPED_TRACE(turn);
    ASSERT_EQ(export_picture(*canvas(), choice, svg, "a"), "");
    QFile file(svg);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const auto match = stated.match(QString::fromUtf8(file.readAll()));
    ASSERT_TRUE(match.hasMatch());
    const QSizeF expected = turn ? drawn.transposed() * 2 : drawn * 2;
    EXPECT_NEAR(match.captured(1).toDouble(), expected.width(), 1e-3);
    EXPECT_NEAR(match.captured(2).toDouble(), expected.height(), 1e-3);
    canvas()->rotate(90.0);
  }
  choice = ExportChoice();
  choice.pixels = QSize(300, 200);
  const QString png = folder.filePath("a.png");
  ASSERT_EQ(export_picture(*canvas(), choice, png, "a"), "");
  EXPECT_EQ(QImage(png).size(), QSize(300, 200));

  // What was chosen comes back; a stored scale that makes no sense does not.
  choice.format = PictureFormat::pdf;
  choice.true_size = true;
  choice.scale = 5;
  FootprintOutput::store_export_choice(choice);
  const ExportChoice stored = FootprintOutput::stored_export_choice();
  EXPECT_EQ(stored.format, PictureFormat::pdf);
  EXPECT_TRUE(stored.true_size);
  EXPECT_EQ(stored.scale, 5);
  EXPECT_EQ(stored.pixels, QSize(300, 200));
  QSettings().setValue("export/scale", -3);
  EXPECT_EQ(FootprintOutput::stored_export_choice().scale, 1);
}

}  // namespace
