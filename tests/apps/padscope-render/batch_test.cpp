#include "apps/padscope-render/batch.h"

#include "support/test_data.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <sstream>

namespace padscope::render {
namespace {

const QString kLocal = QString::fromStdString(test::local_testdata_dir());

QByteArray read(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void write(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).path());
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) >= 0);
}

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

// The program as a user starts it: no display and no platform chosen.
Outcome run_tool(const QStringList& arguments, const QString& folder) {
  QProcess process;
  auto environment = QProcessEnvironment::systemEnvironment();
  environment.remove("QT_QPA_PLATFORM");
  environment.remove("DISPLAY");
  process.setProcessEnvironment(environment);
  process.setWorkingDirectory(folder);
  process.start(PADSCOPE_RENDER_EXE, arguments);
  EXPECT_TRUE(process.waitForFinished(120000));
  return {
      process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
      process.readAllStandardOutput().toStdString(),
      process.readAllStandardError().toStdString()};
}

Outcome run_here(const QStringList& arguments, bool progress = false) {
  std::ostringstream out, err;
  const int status =
      run(QStringList{"padscope-render"} + arguments, out, err, progress);
  return {status, out.str(), err.str()};
}

bool has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(RenderCommand, FolderOfGoodMalformedAndOtherFiles) {
  QTemporaryDir temp;
  const QDir root(temp.path());
  const QByteArray battery = read(kLocal + "/Battery_CR1225.kicad_mod");
  write(root.filePath("lib/good/Battery_CR1225.kicad_mod"), battery);
  write(root.filePath("lib/good/res/w_pth_resistors.mod"),
        read(kLocal + "/w_pth_resistors.mod"));
  write(root.filePath("lib/bad/truncated.kicad_mod"), battery.left(400));
  write(root.filePath("lib/bad/board.kicad_mod"), "(kicad_pcb (version 4))");
  write(root.filePath("lib/bad/quote.mod"),
        "PCBNEW-LibModule-V1\n$MODULE X\nT0 0 0 600 600 0 120 N V 21 \"a\n");
  write(root.filePath("lib/bad/notes.mod"), "Remember the milk.\n");
  // A module that cannot be drawn fails alone, the first one too.
  write(root.filePath("lib/good/half.mod"),
        "$MODULE broken\nDS 0 0\n$EndMODULE\n$MODULE fine\nDS 0 0 1 1 1 21\n");
  // Passed over in a folder, as the viewer's file names rule; a failure
  // when named.
  write(root.filePath("lib/README.txt"), "(footprint x)");
  write(root.filePath("lib/good/UPPER.KICAD_MOD"), battery);

  const Outcome tool =
      run_tool({"lib", "lib/README.txt", "--output", "out"}, temp.path());
  EXPECT_EQ(tool.status, 1);
  const char* failures[] = {
      "failed: lib/bad/board.kicad_mod: Not a footprint: the file holds "
      "(kicad_pcb ...)\n",
      "failed: lib/bad/notes.mod: Not a footprint library: no $MODULE",
      "failed: lib/bad/quote.mod: Unexpected symbol. Closing quota",
      "failed: lib/bad/truncated.kicad_mod: Unexpected EOF",
      "failed: lib/README.txt: Not a footprint file",
      "failed: lib/good/half.mod (module broken): Not enough parameters",
  };
  for (const char* failure : failures)
    EXPECT_TRUE(has(tool.err, failure)) << failure;
  EXPECT_FALSE(has(tool.err, "\r")) << "progress on a pipe";
  EXPECT_TRUE(has(tool.out, "Files: 8\nImages written: 12\nFailures: 6\n"))
      << tool.out;
  EXPECT_TRUE(has(tool.out, "  lib/bad/quote.mod: Unexpected symbol"));
  // Legacy pads are not drawn, and the summary says so.
  EXPECT_TRUE(has(tool.out, "Not drawn:\n  pad ")) << tool.out;

  const QDir out(root.filePath("out"));
  EXPECT_EQ(QImage(out.filePath("good/Battery_CR1225.png")).size(),
            QSize(800, 600));
  const QStringList modules =
      QDir(out.filePath("good/res/w_pth_resistors")).entryList(QDir::Files);
  EXPECT_EQ(modules.size(), 10);
  EXPECT_TRUE(modules.contains("trimmer_64w.png"));
  EXPECT_EQ(QDir(out.filePath("good/half")).entryList(QDir::Files),
            QStringList{"fine.png"});
  EXPECT_EQ(out.entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
            QStringList{"good"});
}

TEST(RenderSummary, TimesPerFootprintWithTheSlowestNamed) {
  BatchResult result;
  // 100 footprints of 1 to 100 ms, the slowest a module of a library.
  for (int ms = 100; ms >= 1; --ms) {
    FootprintResult entry;
    entry.file = QStringLiteral("lib/f%1.kicad_mod").arg(ms);
    entry.ok = ms != 7;
    entry.milliseconds = ms;
    result.results.push_back(entry);
  }
  result.results.front().file = "lib/big.mod";
  result.results.front().module = "BGA";
  result.images = 99;
  result.failures = 1;
  std::ostringstream out;
  write_summary(result, out);
  EXPECT_TRUE(has(out.str(),
                  "\nPer footprint: median 50.50 ms, 99th percentile 99.00 "
                  "ms, slowest 100.00 ms (lib/big.mod, module BGA)\n"))
      << out.str();

  result.results.resize(1);
  result.results.front().module.clear();
  out.str("");
  write_summary(result, out);
  EXPECT_TRUE(has(out.str(),
                  "\nPer footprint: median 100.00 ms, 99th percentile 100.00 "
                  "ms, slowest 100.00 ms (lib/big.mod)\n"))
      << out.str();

  out.str("");
  write_summary(BatchResult(), out);
  EXPECT_FALSE(has(out.str(), "Per footprint")) << out.str();
}

TEST(RenderCommand, UsageErrorsExitWithTwo) {
  QTemporaryDir temp;
  const Outcome tool = run_tool({"no/such/folder", "-o", "out"}, temp.path());
  EXPECT_EQ(tool.status, 2);
  EXPECT_TRUE(has(tool.err, "no such file or folder: no/such/folder\n"));
  EXPECT_TRUE(has(tool.err, "Usage: padscope-render [options] INPUT..."));
  EXPECT_EQ(tool.out, "");
  EXPECT_FALSE(QDir(temp.path()).exists("out"));
  for (const QStringList& arguments :
       {QStringList{}, QStringList{"--frobnicate", kLocal}}) {
    const Outcome here = run_here(arguments);
    EXPECT_EQ(here.status, 2);
    EXPECT_TRUE(has(here.err, "Usage: padscope-render")) << here.err;
  }
}

TEST(RenderCommand, ProgressOnATerminal) {
  QTemporaryDir temp;
  const Outcome here =
      run_here({kLocal + "/Battery_CR1225.kicad_mod",
                kLocal + "/w_pth_resistors.mod", "-o", temp.path()},
               true);
  EXPECT_EQ(here.status, 0);
  EXPECT_TRUE(has(here.err, "\r\033[K[1/2] ") && has(here.err, "[2/2] "));
  // The line is cleared for what follows.
  EXPECT_EQ(here.err.substr(here.err.size() - 4), "\r\033[K");
}

// Module names are cleaned into file names; no two footprints share one.
TEST(RenderCommand, OutputNamesStayApart) {
  QTemporaryDir temp;
  const QDir root(temp.path());
  const QByteArray body = "DS 0 0 1000 500 50 21\n";
  write(root.filePath("in/lib.mod"), "$MODULE A/B\n" + body + "$EndMODULE\n" +
                                         "$MODULE A/B\n" + body +
                                         "$EndMODULE\n$MODULE ..\n" + body);
  write(root.filePath("in/x.kicad_mod"),
        read(kLocal + "/Battery_CR1225.kicad_mod"));
  write(root.filePath("in/x.mod"), "$MODULE X\n" + body);
  EXPECT_EQ(run_here({root.filePath("in"), "-o", root.filePath("out")}).status,
            0);
  EXPECT_EQ(QDir(root.filePath("out/lib")).entryList(QDir::Files),
            (QStringList{"A_B-2.png", "A_B.png", "module-3.png"}));
  EXPECT_EQ(QDir(root.filePath("out")).entryList(QDir::Files),
            (QStringList{"x-2.png", "x.png"}));
}

TEST(RenderCommand, ReportCountsWhatTheFilesHold) {
  PADSCOPE_REQUIRE_SHARED_TESTDATA();
  QTemporaryDir temp;
  const QString report = temp.filePath("report.json");
  const QString hole = QString::fromStdString(
      test::shared_testdata_dir() + "/kicad6/MountingHole_3mm_Pad.kicad_mod");
  EXPECT_EQ(run_here({hole, kLocal + "/w_pth_resistors.mod", "-o", temp.path(),
                      "--report", report, "-s", "200x150"})
                .status,
            0);
  const QJsonObject json = QJsonDocument::fromJson(read(report)).object();
  EXPECT_EQ(json["files"].toInt(), 2);
  EXPECT_EQ(json["images"].toInt(), 11);
  EXPECT_EQ(json["failures"].toInt(), 0);
  std::map<QString, QJsonObject> results;
  for (const QJsonValue& value : json["results"].toArray())
    results[value["module"].toString()] = value.toObject();
  ASSERT_EQ(results.size(), 11u);

  // Counted by hand: the hole has two fp_circle, one pad and three
  // fp_text; the trimmer five DS lines, a DC circle, T0 and T1 and three
  // $PAD, which the legacy loader does not draw.
  const QJsonObject& hole_result = results["MountingHole_3mm_Pad"];
  EXPECT_EQ(hole_result["items"].toObject(),
            (QJsonObject{{"circle", 2}, {"pad", 1}, {"text", 3}}));
  EXPECT_EQ(hole_result["not_drawn"].toObject(), QJsonObject{});
  const QJsonObject& trimmer = results["trimmer_64w"];
  EXPECT_EQ(trimmer["items"].toObject(),
            (QJsonObject{{"line", 5}, {"circle", 1}, {"text", 2}}));
  EXPECT_EQ(trimmer["not_drawn"].toObject(), (QJsonObject{{"pad", 3}}));
  EXPECT_EQ(trimmer["status"].toString(), "ok");
  EXPECT_EQ(QImage(trimmer["output"].toString()).size(), QSize(200, 150));
}

TEST(RenderCommand, SvgIsValidXmlWithTheDrawing) {
  PADSCOPE_REQUIRE_SHARED_TESTDATA();
  QTemporaryDir temp;
  ASSERT_EQ(run_here({QString::fromStdString(test::shared_testdata_dir() +
                                             "/kicad5/SOT23-5.kicad_mod"),
                      "-o", temp.path(), "-f", "svg", "-s", "400x300"})
                .status,
            0);
  QXmlStreamReader xml(read(temp.filePath("SOT23-5.svg")));
  QStringList texts;
  QString size;
  int shapes = 0;
  while (!xml.atEnd()) {
    if (xml.readNext() != QXmlStreamReader::StartElement) continue;
    if (xml.name() == QLatin1String("svg")) {
      const QXmlStreamAttributes svg = xml.attributes();
      size = svg.value("width") + "x" + svg.value("height") + " " +
             svg.value("viewBox");
    } else if (xml.name() == QLatin1String("text")) {
      texts.append(xml.readElementText().trimmed());
    } else {
      shapes += xml.name() == QLatin1String("path") ||
                xml.name() == QLatin1String("polyline");
    }
  }
  ASSERT_FALSE(xml.hasError()) << xml.errorString().toStdString();
  EXPECT_EQ(size, "400x300 0 0 400 300");
  // The pad numbers, and shapes for five pads, four lines and the strokes
  // of two texts.
  texts.sort();
  EXPECT_EQ(texts, (QStringList{"1", "2", "3", "4", "5"}));
  EXPECT_GT(shapes, 5 + 4 + 2);
}

}  // namespace
}  // namespace padscope::render
