#include "apps/padscope-render/batch.h"

#include "support/test_data.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <algorithm>
#include <sstream>

namespace padscope::render {
namespace {

QString local_file(const char* name) {
  return QDir(QString::fromStdString(test::local_testdata_dir()))
      .filePath(name);
}

QString shared_file(const char* name) {
  return QDir(QString::fromStdString(test::shared_testdata_dir()))
      .filePath(name);
}

void write_file(const QString& path, const QByteArray& bytes) {
  ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath()));
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
  ASSERT_EQ(file.write(bytes), bytes.size());
}

QByteArray read_bytes(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList lines_starting(const QString& text, const QString& prefix) {
  QStringList found;
  for (const QString& line : text.split('\n')) {
    if (line.startsWith(prefix)) found.append(line);
  }
  return found;
}

// The program itself, as a user starts it: no display and no platform
// chosen, so that it must pick the offscreen one on its own.
struct ToolRun {
  int status = -1;
  QString out;
  QString err;
};

ToolRun run_tool(const QStringList& arguments, const QString& folder) {
  QProcess process;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
    environment.remove(name);
  process.setProcessEnvironment(environment);
  process.setWorkingDirectory(folder);
  process.start(PADSCOPE_RENDER_EXE, arguments);
  ToolRun result;
  if (!process.waitForFinished(120000)) {
    ADD_FAILURE() << "padscope-render did not finish: "
                  << process.errorString().toStdString();
    process.kill();
    process.waitForFinished();
    return result;
  }
  result.status =
      process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  result.out = QString::fromLocal8Bit(process.readAllStandardOutput());
  result.err = QString::fromLocal8Bit(process.readAllStandardError());
  return result;
}

// The same program in this process, for the cases that need no process.
struct InProcessRun {
  int status = -1;
  std::string out;
  std::string err;
};

InProcessRun run_here(const QStringList& arguments, bool progress = false) {
  std::ostringstream out;
  std::ostringstream err;
  InProcessRun result;
  result.status =
      run(QStringList{"padscope-render"} + arguments, out, err, progress);
  result.out = out.str();
  result.err = err.str();
  return result;
}

TEST(RenderCommand, FolderOfGoodMalformedAndOtherFiles) {
  QTemporaryDir temp;
  ASSERT_TRUE(temp.isValid());
  const QDir root(temp.path());
  const QByteArray battery = read_bytes(local_file("Battery_CR1225.kicad_mod"));
  ASSERT_FALSE(battery.isEmpty());
  write_file(root.filePath("lib/good/Battery_CR1225.kicad_mod"), battery);
  write_file(root.filePath("lib/good/res/w_pth_resistors.mod"),
             read_bytes(local_file("w_pth_resistors.mod")));
  write_file(root.filePath("lib/bad/truncated.kicad_mod"), battery.left(400));
  write_file(root.filePath("lib/bad/board.kicad_mod"),
             "(kicad_pcb (version 20211014) (generator pcbnew))\n");
  write_file(root.filePath("lib/bad/quote.mod"),
             "PCBNEW-LibModule-V1\n$MODULE X\n"
             "T0 0 0 600 600 0 120 N V 21 \"abc\n$EndMODULE X\n");
  write_file(root.filePath("lib/bad/notes.mod"), "Remember the milk.\n");
  // Names the viewer does not open are not footprints of the folder.
  write_file(root.filePath("lib/README.txt"), "Footprints.\n");
  write_file(root.filePath("lib/good/Battery_CR1225.KICAD_MOD"), battery);

  const ToolRun run = run_tool(
      {"lib", "--output", "out", "--report", "out/report.json"}, temp.path());
  EXPECT_EQ(run.status, 1) << run.err.toStdString();

  const QStringList failed = lines_starting(run.err, "failed: ");
  ASSERT_EQ(failed.size(), 4) << run.err.toStdString();
  const struct {
    const char* file;
    const char* message;
  } failures[] = {
      {"lib/bad/board.kicad_mod",
       "Not a footprint: the file holds (kicad_pcb ...)"},
      {"lib/bad/notes.mod", "Not a footprint library: no $MODULE"},
      {"lib/bad/quote.mod", "Closing quota is not found"},
      {"lib/bad/truncated.kicad_mod", "Unexpected EOF"},
  };
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(failures[i].file);
    EXPECT_TRUE(failed[i].startsWith(QString("failed: ") + failures[i].file))
        << failed[i].toStdString();
    EXPECT_TRUE(failed[i].contains(failures[i].message))
        << failed[i].toStdString();
    EXPECT_TRUE(run.out.contains(QString("  ") + failures[i].file));
  }
  EXPECT_FALSE(run.err.contains('\r')) << "progress on a pipe";
  EXPECT_TRUE(run.out.contains("Files: 6\n")) << run.out.toStdString();
  EXPECT_TRUE(run.out.contains("Images written: 11\n"));
  EXPECT_TRUE(run.out.contains("Failures: 4\n"));
  // Legacy pads are not drawn, and the summary says so.
  EXPECT_TRUE(run.out.contains("Not drawn:\n  pad ")) << run.out.toStdString();

  const QDir out(root.filePath("out"));
  const QImage battery_image(out.filePath("good/Battery_CR1225.png"));
  EXPECT_EQ(battery_image.size(), QSize(800, 600));
  const QStringList modules =
      QDir(out.filePath("good/res/w_pth_resistors")).entryList(QDir::Files);
  EXPECT_EQ(modules.size(), 10) << modules.join(' ').toStdString();
  EXPECT_TRUE(modules.contains("trimmer_64w.png"));
  EXPECT_FALSE(out.exists("bad"));
  EXPECT_EQ(out.entryList(QDir::Files), QStringList{"report.json"});

  const QJsonObject report =
      QJsonDocument::fromJson(read_bytes(out.filePath("report.json"))).object();
  EXPECT_EQ(report["files"].toInt(), 6);
  EXPECT_EQ(report["images"].toInt(), 11);
  EXPECT_EQ(report["failures"].toInt(), 4);
  EXPECT_EQ(report["results"].toArray().size(), 15);
}

TEST(RenderCommand, UsageErrorsExitWithTwo) {
  QTemporaryDir temp;
  ASSERT_TRUE(temp.isValid());
  const ToolRun run =
      run_tool({"no/such/folder", "--output", "out"}, temp.path());
  EXPECT_EQ(run.status, 2);
  EXPECT_TRUE(run.err.contains("no such file or folder: no/such/folder"))
      << run.err.toStdString();
  EXPECT_TRUE(run.err.contains("Usage: padscope-render"));
  EXPECT_TRUE(run.out.isEmpty()) << run.out.toStdString();
  EXPECT_FALSE(QDir(temp.path()).exists("out"));

  const QString battery = local_file("Battery_CR1225.kicad_mod");
  const QStringList cases[] = {
      {},
      {"--frobnicate", battery},
      {"--size", "big", battery},
      {battery, "no/such/file.kicad_mod"},
  };
  for (const QStringList& arguments : cases) {
    SCOPED_TRACE(arguments.join(' ').toStdString());
    const InProcessRun here = run_here(arguments);
    EXPECT_EQ(here.status, 2);
    EXPECT_NE(here.err.find("Usage: padscope-render"), std::string::npos);
    EXPECT_EQ(here.out, "");
  }
}

TEST(RenderCommand, HelpGoesToTheStandardOutput) {
  const InProcessRun here = run_here({"--help"});
  EXPECT_EQ(here.status, 0);
  EXPECT_EQ(here.out.rfind("Usage: padscope-render", 0), 0u);
  EXPECT_EQ(here.err, "");
}

TEST(RenderCommand, FileNamedLikeNoFootprintFailsWhenNamed) {
  QTemporaryDir temp;
  ASSERT_TRUE(temp.isValid());
  const QString notes = QDir(temp.path()).filePath("notes.txt");
  write_file(notes, "(footprint \"x\")\n");
  const InProcessRun here = run_here({notes, "--output", temp.path()});
  EXPECT_EQ(here.status, 1);
  EXPECT_NE(here.err.find("notes.txt: Not a footprint file"), std::string::npos)
      << here.err;
}

TEST(RenderCommand, ProgressOnATerminalCountsFiles) {
  QTemporaryDir temp;
  ASSERT_TRUE(temp.isValid());
  const InProcessRun here =
      run_here({local_file("Battery_CR1225.kicad_mod"),
                local_file("w_pth_resistors.mod"), "--output", temp.path()},
               true);
  EXPECT_EQ(here.status, 0) << here.err;
  EXPECT_NE(here.err.find("[1/2] "), std::string::npos);
  EXPECT_NE(here.err.find("[2/2] "), std::string::npos);
  // The last rewrite clears the line for what follows.
  EXPECT_EQ(here.err.substr(here.err.size() - 4), "\r\033[K");
}

// Names of modules are file names after cleaning; no two footprints share
// an image.
TEST(RenderCommand, OutputNamesStayApart) {
  QTemporaryDir temp;
  ASSERT_TRUE(temp.isValid());
  const QDir root(temp.path());
  const QByteArray module_body = "Po 0 0 0 15 0 0 ~~\nDS 0 0 1000 500 50 21\n";
  write_file(root.filePath("in/lib.mod"),
             "PCBNEW-LibModule-V1\n"
             "$MODULE A/B\n" +
                 module_body + "$EndMODULE A/B\n" + "$MODULE A/B\n" +
                 module_body + "$EndMODULE A/B\n" + "$MODULE ..\n" +
                 module_body + "$EndMODULE ..\n");
  write_file(root.filePath("in/x.kicad_mod"),
             read_bytes(local_file("Battery_CR1225.kicad_mod")));
  write_file(root.filePath("in/x.mod"), "PCBNEW-LibModule-V1\n$MODULE X\n" +
                                            module_body + "$EndMODULE X\n");

  const InProcessRun here =
      run_here({root.filePath("in"), "--output", root.filePath("out")});
  EXPECT_EQ(here.status, 0) << here.err;
  const QDir out(root.filePath("out"));
  EXPECT_EQ(QDir(out.filePath("lib")).entryList(QDir::Files),
            (QStringList{"A_B-2.png", "A_B.png", "module-3.png"}));
  EXPECT_EQ(out.entryList(QDir::Files), (QStringList{"x-2.png", "x.png"}));
  EXPECT_EQ(QImage(out.filePath("x.png")).size(), QSize(800, 600));
}

TEST(RenderCommand, ReportCountsWhatTheFilesHold) {
  PADSCOPE_REQUIRE_SHARED_TESTDATA();
  QTemporaryDir temp;
  ASSERT_TRUE(temp.isValid());
  const QString report_file = QDir(temp.path()).filePath("report.json");
  const InProcessRun here =
      run_here({shared_file("kicad6/MountingHole_3mm_Pad.kicad_mod"),
                local_file("w_pth_resistors.mod"), "--output", temp.path(),
                "--report", report_file, "--size", "200x150"});
  EXPECT_EQ(here.status, 0) << here.err;

  const QJsonObject report =
      QJsonDocument::fromJson(read_bytes(report_file)).object();
  EXPECT_EQ(report["files"].toInt(), 2);
  EXPECT_EQ(report["images"].toInt(), 11);
  EXPECT_EQ(report["failures"].toInt(), 0);
  const QJsonArray results = report["results"].toArray();
  ASSERT_EQ(results.size(), 11);

  // Counted by hand in the files: the mounting hole has two fp_circle,
  // one pad and three fp_text; the trimmer module has five DS lines, one
  // DC circle, the T0 and T1 texts and three $PAD, which the legacy
  // loader does not draw.
  const struct {
    const char* module;
    QJsonObject items;
    QJsonObject not_drawn;
  } cases[] = {
      {"MountingHole_3mm_Pad",
       QJsonObject{{"circle", 2}, {"pad", 1}, {"text", 3}}, QJsonObject{}},
      {"trimmer_64w", QJsonObject{{"line", 5}, {"circle", 1}, {"text", 2}},
       QJsonObject{{"pad", 3}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.module);
    const auto entry =
        std::find_if(results.begin(), results.end(), [&](const QJsonValue& v) {
          return v.toObject()["module"].toString() == c.module;
        });
    ASSERT_NE(entry, results.end());
    const QJsonObject result = entry->toObject();
    EXPECT_EQ(result["status"].toString(), "ok");
    EXPECT_EQ(result["message"].toString(), "");
    EXPECT_EQ(result["items"].toObject(), c.items);
    EXPECT_EQ(result["not_drawn"].toObject(), c.not_drawn);
    EXPECT_GE(result["milliseconds"].toDouble(), 0.0);
    EXPECT_EQ(QImage(result["output"].toString()).size(), QSize(200, 150));
  }
  // Every module of the library counts its pads as not drawn.
  int pads = 0;
  for (const QJsonValue& value : results)
    pads += value.toObject()["not_drawn"].toObject()["pad"].toInt();
  EXPECT_EQ(report["not_drawn"].toObject()["pad"].toInt(), pads);
  EXPECT_GT(pads, 3);
}

// The SVG holds the footprint's drawing: it parses, it names the pads, and
// drawn by an SVG renderer it looks like the PNG.
TEST(RenderCommand, SvgIsValidXmlWithTheDrawing) {
  PADSCOPE_REQUIRE_SHARED_TESTDATA();
  QTemporaryDir temp;
  ASSERT_TRUE(temp.isValid());
  const QString file = shared_file("kicad5/SOT23-5.kicad_mod");
  for (const char* format : {"svg", "png"}) {
    const InProcessRun here =
        run_here({file, "--output", temp.path(), "--format", format, "--size",
                  "400x300"});
    ASSERT_EQ(here.status, 0) << here.err;
  }
  const QByteArray svg = read_bytes(QDir(temp.path()).filePath("SOT23-5.svg"));

  QXmlStreamReader xml(svg);
  QStringList texts;
  QString title;
  int shapes = 0;
  QXmlStreamAttributes root;
  while (!xml.atEnd()) {
    if (xml.readNext() != QXmlStreamReader::StartElement) continue;
    const QStringRef name = xml.name();
    if (name == QLatin1String("svg")) {
      root = xml.attributes();
    } else if (name == QLatin1String("title")) {
      title = xml.readElementText();
    } else if (name == QLatin1String("text")) {
      texts.append(xml.readElementText().trimmed());
    } else if (name == QLatin1String("path") ||
               name == QLatin1String("polyline")) {
      ++shapes;
    }
  }
  ASSERT_FALSE(xml.hasError()) << xml.errorString().toStdString();
  EXPECT_EQ(root.value("width"), QLatin1String("400"));
  EXPECT_EQ(root.value("height"), QLatin1String("300"));
  EXPECT_EQ(root.value("viewBox"), QLatin1String("0 0 400 300"));
  EXPECT_EQ(title, "SOT23-5");
  texts.sort();
  EXPECT_EQ(texts, (QStringList{"1", "2", "3", "4", "5"}));
  // Five pads, four lines and the strokes of two texts.
  EXPECT_GT(shapes, 5 + 4 + 2);

  QSvgRenderer renderer(svg);
  ASSERT_TRUE(renderer.isValid());
  QImage drawn(400, 300, QImage::Format_ARGB32);
  drawn.fill(Qt::transparent);
  QPainter painter(&drawn);
  renderer.render(&painter);
  painter.end();
  const QImage png(QDir(temp.path()).filePath("SOT23-5.png"));
  ASSERT_EQ(png.size(), drawn.size());
  // Pads in red, texts and lines in yellow, counted in both pictures. Pad
  // numbers come out larger from the SVG renderer, whose text layout does
  // not round at the pad item's one-point font size; hence no pixel match.
  const auto count = [](const QImage& image, bool (*test)(const QColor&)) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) n += test(image.pixelColor(x, y));
    }
    return n;
  };
  const auto red = [](const QColor& c) {
    return c.alpha() > 128 && c.red() > 60 && c.red() > 2 * c.green() &&
           c.red() > 2 * c.blue();
  };
  const auto yellow = [](const QColor& c) {
    return c.alpha() > 128 && c.red() > 100 && c.green() > 100 && c.blue() < 60;
  };
  for (const auto& [name, test] :
       {std::pair<const char*, bool (*)(const QColor&)>{"red", red},
        {"yellow", yellow}}) {
    SCOPED_TRACE(name);
    const int in_png = count(png, test);
    const int in_svg = count(drawn, test);
    EXPECT_GT(in_png, 500);
    EXPECT_NEAR(in_svg, in_png, in_png * 0.15);
  }
}

}  // namespace
}  // namespace padscope::render
