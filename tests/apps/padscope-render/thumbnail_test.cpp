#include "support/test_data.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace padscope::render {
namespace {

const QString kDesktop =
    QStringLiteral(PADSCOPE_SOURCE_DIR "/resources/desktop");

QString read_text(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll())
                                        : QString();
}

// The value of `key` in the entry's one group.
QString entry_value(const QString& key) {
  static const QString entry = read_text(kDesktop + "/padscope.thumbnailer");
  const QRegularExpression line("^" + key + "=(.*)$",
                                QRegularExpression::MultilineOption);
  return line.match(entry).captured(1);
}

// Runs the entry's Exec line as a file manager does: the program found on
// the PATH, %s, %i and %o replaced by the size, input and output.
int run_exec_line(int size, const QString& input, const QString& output) {
  QStringList words = entry_value("Exec").split(' ', Qt::SkipEmptyParts);
  for (QString& word : words) {
    if (word == "%s") word = QString::number(size);
    if (word == "%i") word = input;
    if (word == "%o") word = output;
  }
  QProcess process;
  auto environment = QProcessEnvironment::systemEnvironment();
  environment.remove("QT_QPA_PLATFORM");
  environment.remove("DISPLAY");
  const QStringList path = {QFileInfo(PADSCOPE_THUMBNAILER_EXE).path(),
                            "/usr/bin", "/bin"};
  environment.insert("PATH", path.join(':'));
  process.setProcessEnvironment(environment);
  const QString program =
      QStandardPaths::findExecutable(words.takeFirst(), path);
  EXPECT_FALSE(program.isEmpty());
  process.start(program, words);
  EXPECT_TRUE(process.waitForFinished(60000));
  return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

// The entry names the program it runs and every type the install registers.
TEST(Thumbnailer, EntryCoversTheRegisteredTypes) {
  EXPECT_EQ(entry_value("TryExec"), "padscope-thumbnailer");
  EXPECT_TRUE(entry_value("Exec").startsWith("padscope-thumbnailer "));
  const QStringList named =
      entry_value("MimeType").split(';', Qt::SkipEmptyParts);
  const QString mime = read_text(kDesktop + "/padscope-mime.xml");
  QRegularExpressionMatchIterator types =
      QRegularExpression(R"re(<mime-type type="([^"]+)")re").globalMatch(mime);
  int registered = 0;
  while (types.hasNext()) {
    EXPECT_TRUE(named.contains(types.next().captured(1)));
    ++registered;
  }
  EXPECT_EQ(registered, 2);
  EXPECT_EQ(named.size(), registered);
}

// A footprint file and the first module of a legacy library give a square
// PNG of the size asked with a drawing on it; a file that is no footprint
// gives no picture and a failure.
TEST(Thumbnailer, ExecLineWritesAPictureOfTheSizeAsked) {
  QTemporaryDir temp;
  const struct {
    QString input;
    int size;
  } cases[] = {
      {QString::fromStdString(
           test::real_file("kicad9/TQFP-32_7x7mm_P0.8mm.kicad_mod")),
       128},
      {QString::fromStdString(test::real_file("legacy/standard.mod")), 256}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input.toStdString());
    const QString output = temp.filePath(QString::number(c.size) + ".png");
    ASSERT_EQ(run_exec_line(c.size, c.input, output), 0);
    const QImage image(output, "PNG");
    ASSERT_EQ(image.size(), QSize(c.size, c.size));
    const QRgb background = image.pixel(0, 0);
    int ink = 0;
    for (int y = 0; y < c.size; ++y)
      for (int x = 0; x < c.size; ++x) ink += image.pixel(x, y) != background;
    EXPECT_GT(ink, c.size * c.size / 50);
  }
  const QString junk = temp.filePath("junk.kicad_mod");
  ASSERT_TRUE(test::write_file(junk.toStdString(), "(not a footprint"));
  EXPECT_EQ(run_exec_line(64, junk, temp.filePath("junk.png")), 1);
  EXPECT_FALSE(QFile::exists(temp.filePath("junk.png")));
}

}  // namespace
}  // namespace padscope::render
