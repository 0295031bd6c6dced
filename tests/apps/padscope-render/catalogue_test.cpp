#include "apps/padscope-render/catalogue.h"

#include "support/test_data.h"
#include "zcore/footprint_index.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextDocumentFragment>
#include <QUrl>
#include <QXmlStreamReader>

#include <sstream>

namespace padscope::render {
namespace {

QByteArray read(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void write(const QString& path, const QByteArray& bytes) {
  ASSERT_TRUE(test::write_file(path.toStdString(), bytes.toStdString()));
}

// A legacy library whose module names and description would be markup, and
// a file that cannot be read.
void write_hostile_library(const QString& folder) {
  write(folder + "/hostile.mod",
        "PCBNEW-LibModule-V1\n$INDEX\n<script>alert(1)</script>\nA&B\n"
        "$EndINDEX\n"
        "$MODULE <script>alert(1)</script>\nPo 0 0 0 15 0 0 ~~\n"
        "Li <script>alert(1)</script>\n"
        "Cd <img src=x onerror=alert(2)> \"quoted\" & more\n"
        "DS -1000 0 1000 0 100 21\n$EndMODULE <script>alert(1)</script>\n"
        "$MODULE A&B\nPo 0 0 0 15 0 0 ~~\nLi A&B\n"
        "DC 0 0 500 0 100 21\n$EndMODULE A&B\n$EndLIBRARY\n");
  write(folder + "/broken.kicad_mod", "(footprint broken (pad");
}

CatalogueResult build(const QString& input, const QString& out) {
  QStringList missing;
  std::vector<SkippedPath> skipped;
  const std::vector<InputFile> files =
      collect_inputs({input}, missing, skipped);
  std::ostringstream err;
  return write_catalogue(out, RenderStyle(), files, err, false);
}

QStringList files_below(const QString& folder, const QString& suffix) {
  QStringList found;
  QDirIterator it(folder, {"*." + suffix}, QDir::Files,
                  QDirIterator::Subdirectories);
  while (it.hasNext()) found << it.next();
  found.sort();
  return found;
}

// Every footprint has its picture, drawing and page; a page is well-formed
// and keeps names and descriptions as text; the data script cannot be
// closed by a name.
TEST(Catalogue, EveryFootprintHasItsPicturesAndAnEscapedPage) {
  QTemporaryDir temp;
  const QString input = temp.filePath("in");
  write_hostile_library(input);
  QFile::copy(QString::fromStdString(test::local("Battery_CR1225.kicad_mod")),
              input + "/Battery_CR1225.kicad_mod");
  const QString out = temp.filePath("catalogue");
  const CatalogueResult result = build(input, out);
  EXPECT_EQ(result.footprints, 3);
  EXPECT_EQ(result.failures, 1);

  const QStringList pages = files_below(out + "/footprints", "html");
  ASSERT_EQ(pages.size(), 3);
  for (const QString& page : pages) {
    SCOPED_TRACE(page.toStdString());
    const QString base = page.chopped(5);
    EXPECT_TRUE(QImage(base + ".png").size() == QSize(240, 180));
    EXPECT_TRUE(read(base + ".svg").contains("mm\" viewBox="));
    QXmlStreamReader xml(read(page));
    while (!xml.atEnd()) xml.readNext();
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    const QByteArray html = read(page);
    EXPECT_FALSE(html.contains("<script")) << html.toStdString();
    EXPECT_FALSE(html.contains("<img src=x"));
  }
  const QString hostile = out + "/footprints/hostile/_script_alert(1)__script_";
  const QString page = QString::fromUtf8(read(hostile + ".html"));
  EXPECT_TRUE(page.contains("<h1>&lt;script&gt;alert(1)&lt;/script&gt;</h1>"));
  // The legacy reader takes the quotes as its own.
  EXPECT_TRUE(
      page.contains("&lt;img src=x onerror=alert(2)&gt; quoted &amp; more"));
  EXPECT_TRUE(QString::fromUtf8(read(out + "/footprints/hostile/A&B.html"))
                  .contains("<h1>A&amp;B</h1>"));

  const QByteArray data = read(out + "/catalogue-data.js");
  EXPECT_TRUE(data.startsWith("window.CATALOGUE = ["));
  EXPECT_FALSE(data.contains('<'));
  EXPECT_TRUE(data.contains("\"footprints/hostile/A%26B\""));
  for (const char* name : {"index.html", "catalogue.js", "catalogue.css"})
    EXPECT_FALSE(read(out + '/' + name).isEmpty()) << name;
}

// Headless Chromium opens the catalogue from disk, runs its script with the
// search the address carries and gives back the page.
class Chromium {
public:
  Chromium() : program(QStandardPaths::findExecutable("chromium")) {}
  bool present() const { return !program.isEmpty(); }

  QString dom(const QString& index, const QString& query) {
    QUrl url = QUrl::fromLocalFile(index);
    if (!query.isEmpty()) url.setFragment("q=" + query);
    QProcess process;
    process.start(
        program,
        {"--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
         "--no-first-run", "--disable-background-networking",
         "--disable-component-update", "--disable-sync",
         "--user-data-dir=" + profile.path(), "--virtual-time-budget=5000",
         "--dump-dom", url.toString(QUrl::FullyEncoded)});
    process.closeWriteChannel();
    EXPECT_TRUE(process.waitForFinished(120000));
    return QString::fromUtf8(process.readAllStandardOutput());
  }

private:
  QString program;
  QTemporaryDir profile;
};

// The names of the grid's cards, in order.
QStringList card_names(const QString& dom) {
  static const QRegularExpression name(R"(<div class="name">([^<]*)</div>)");
  QStringList names;
  auto matches = name.globalMatch(dom);
  while (matches.hasNext())
    names << QTextDocumentFragment::fromHtml(matches.next().captured(1))
                 .toPlainText();
  return names;
}

// The names the viewer's search of `index` finds for `query`, best first.
QStringList viewer_hits(const zcore::footprint_index& index,
                        const std::string& query) {
  QStringList names;
  for (const zcore::index_entry* entry : index.search(query))
    names << QString::fromStdString(entry->name);
  return names;
}

// The page loads from disk and shows every footprint; a search typed into
// its field narrows the grid to what the viewer's search finds, in the same
// order; names stay text.
TEST(Catalogue, InChromiumTheSearchFindsWhatTheViewerFinds) {
  PADSCOPE_REQUIRE_SHARED_TESTDATA();
  Chromium chromium;
  if (!chromium.present())
    GTEST_SKIP() << "chromium not found; skipping the catalogue in a browser";
  QTemporaryDir temp;
  const QString input = temp.filePath("kicad9");
  ASSERT_TRUE(QDir().mkpath(input));
  for (const QString& path : files_below(
           QString::fromStdString(test::shared_testdata_dir()) + "/kicad9",
           "kicad_mod"))
    QFile::copy(path, input + '/' + QFileInfo(path).fileName());
  write(input + "/hostile.kicad_mod",
        "(footprint \"<script>document.title='hacked'</script>\" "
        "(descr \"<img src=x onerror=document.title='hacked'>\") "
        "(pad 1 smd rect (at 0 0) (size 1 1) (layers F.Cu)))");
  zcore::footprint_index entries(input.toStdString());
  entries.refresh();
  const QString out = temp.filePath("catalogue");
  ASSERT_EQ(build(input, out).footprints, static_cast<int>(entries.size()));
  const QString index = out + "/index.html";

  const QString all = chromium.dom(index, QString());
  EXPECT_EQ(card_names(all).size(), static_cast<int>(entries.size()));
  EXPECT_TRUE(
      all.contains(QStringLiteral("%1 of %1 footprints").arg(entries.size())));
  EXPECT_TRUE(all.contains("<title>Footprint catalogue</title>"));
  EXPECT_TRUE(all.contains(
      "&lt;script&gt;document.title='hacked'&lt;/script&gt;</div>"));
  // Words, the squashed name, exclusion, figures, a phrase and a library.
  for (const char* query : {"2.54 -smd", "pads:>=8 pitch:0.8", "size:3x5",
                            "sot563 \"-\"", "lib:kicad* esp32*"}) {
    SCOPED_TRACE(query);
    const QStringList viewer = viewer_hits(entries, query);
    EXPECT_FALSE(viewer.isEmpty());
    EXPECT_EQ(card_names(chromium.dom(index, query)), viewer);
  }
}

}  // namespace
}  // namespace padscope::render
