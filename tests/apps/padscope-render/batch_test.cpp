#include "apps/padscope-render/batch.h"

#include "apps/padscope-render/jobs.h"
#include "support/test_data.h"

#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <sstream>
#include <unistd.h>

namespace padscope::render {
namespace {

using namespace std::string_literals;

const QString kLocal = QString::fromStdString(test::local_testdata_dir());
const QString kShared = QString::fromStdString(test::shared_testdata_dir());

QByteArray read(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const QByteArray kBattery = read(kLocal + "/Battery_CR1225.kicad_mod");

// Paths as bytes, so that a name need not be UTF-8.
void write(const QDir& root, const QByteArray& path, const QByteArray& bytes) {
  ASSERT_TRUE(
      test::write_file(root.path().toStdString() + '/' + path.toStdString(),
                       bytes.toStdString()));
}

bool has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

void expect_parts(const std::string& text,
                  std::initializer_list<const char*> parts) {
  for (const char* part : parts)
    EXPECT_TRUE(has(text, part)) << part << "\n" << text;
}

struct Outcome {
  int status = -1;
  std::string out, err;
};

// The program as a user starts it: no display and no platform chosen.
Outcome run_tool(const QStringList& arguments, const QString& folder,
                 const QString& program = PADSCOPE_RENDER_EXE) {
  QProcess process;
  auto environment = QProcessEnvironment::systemEnvironment();
  environment.remove("QT_QPA_PLATFORM");
  environment.remove("DISPLAY");
  process.setProcessEnvironment(environment);
  process.setWorkingDirectory(folder);
  process.start(program, arguments);
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

TEST(RenderCommand, FolderOfGoodMalformedAndOtherFiles) {
  QTemporaryDir temp;
  const QDir root(temp.path());
  write(root, "lib/good/Battery_CR1225.kicad_mod", kBattery);
  write(root, "lib/good/res/w_pth_resistors.mod",
        read(kLocal + "/w_pth_resistors.mod"));
  write(root, "lib/bad/board.kicad_mod", "(kicad_pcb (version 4))");
  write(root, "lib/bad/cut.kicad_mod", "(footprint \"x\"\n  (fp_line");
  write(root, "lib/bad/quote.mod",
        "PCBNEW-LibModule-V1\n$MODULE X\nT0 0 0 600 600 0 120 N V 21 \"a\n");
  write(root, "lib/bad/notes.mod", "Remember the milk.\n");
  // A module that cannot be read fails alone, the first one too; here a
  // NUL byte ends a quote early.
  write(root, "lib/good/half.mod",
        QByteArray::fromStdString("$MODULE broken\nT0 0 0 600 600 0 120 N V "
                                  "21 \"a\0b\"\n$EndMODULE\n$MODULE fine\n"
                                  "DS 0 0 1 1 1 21\n"s));
  // Passed over in a folder; a failure when named.
  write(root, "lib/README.txt", "(footprint x)");
  write(root, "lib/good/UPPER.KICAD_MOD", kBattery);
  // Module names are cleaned into file names; no two footprints share one.
  const QByteArray body = "DS 0 0 1000 500 50 21\n";
  write(root, "lib/names/lib.mod",
        "$MODULE A/B\n" + body + "$EndMODULE\n$MODULE A/B\n" + body +
            "$EndMODULE\n$MODULE ..\n" + body);

  const Outcome tool =
      run_tool({"lib", "lib/README.txt", "--output", "out"}, temp.path());
  EXPECT_EQ(tool.status, 1);
  expect_parts(
      tool.out + tool.err,
      {"failed: lib/bad/board.kicad_mod: Not a footprint: the file holds "
       "(kicad_pcb ...)\n",
       "failed: lib/bad/notes.mod: Not a footprint library: no $MODULE",
       // Where the readers met a fault: line and column, or the line and
       // the module of a legacy library.
       "failed: lib/bad/cut.kicad_mod: Unexpected EOF at line 2, column 11\n",
       "failed: lib/bad/quote.mod: Unexpected symbol. Closing quota is not "
       "found. at line 3 (module X)\n",
       "failed: lib/README.txt: Not a footprint file",
       "failed: lib/good/half.mod (module broken): Unexpected symbol. Closing "
       "quota is not found. at line 2 (module broken)\n",
       // The summary: legacy pads are drawn too.
       "Files: 9\nImages written: 15\nFailures: 6\n",
       "  lib/bad/quote.mod: Unexpected symbol", "Not drawn: nothing\n"});
  EXPECT_FALSE(has(tool.err, "\r")) << "progress on a pipe";
  const QDir out(root.filePath("out"));
  EXPECT_EQ(QImage(out.filePath("good/Battery_CR1225.png")).size(),
            QSize(800, 600));
  const QStringList modules =
      QDir(out.filePath("good/res/w_pth_resistors")).entryList(QDir::Files);
  EXPECT_EQ(modules.size(), 10);
  EXPECT_EQ(QDir(out.filePath("good/half")).entryList(QDir::Files),
            QStringList{"fine.png"});
  EXPECT_EQ(QDir(out.filePath("names/lib")).entryList(QDir::Files),
            (QStringList{"A_B-2.png", "A_B.png", "module-3.png"}));
  EXPECT_EQ(out.entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
            (QStringList{"good", "names"}));
}

// Folders nested until a path is longer than the system takes, made and
// removed through open folders, since no such path can be named.
class DeepFolder {
public:
  DeepFolder(const QString& at, int depth) {
    folders.push_back(
        open(at.toLocal8Bit().constData(), O_RDONLY | O_DIRECTORY));
    for (int i = 0; i < depth; ++i) {
      mkdirat(folders.back(), kName.c_str(), 0700);
      folders.push_back(
          openat(folders.back(), kName.c_str(), O_RDONLY | O_DIRECTORY));
    }
    close(openat(folders.back(), "x.kicad_mod", O_CREAT | O_WRONLY, 0600));
  }
  ~DeepFolder() {
    unlinkat(folders.back(), "x.kicad_mod", 0);
    for (std::size_t i = folders.size() - 1; i > 0; --i) {
      close(folders[i]);
      unlinkat(folders[i - 1], kName.c_str(), AT_REMOVEDIR);
    }
    close(folders.front());
  }

private:
  const std::string kName = std::string(200, 'd');
  std::vector<int> folders;
};

// A temporary folder removed by the bytes of its names: QTemporaryDir
// leaves behind those that are not UTF-8.
class BytesTemporaryDir : public QTemporaryDir {
public:
  ~BytesTemporaryDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path().toLocal8Bit().toStdString(), ignored);
  }
};

// What a folder holds beyond footprints: each path not taken gets a line and
// the exit status 1; names reach the terminal escaped. Opening a FIFO would
// block: the tool's run is bounded.
TEST(RenderCommand, EveryPathOfAFolderIsRenderedOrReported) {
  BytesTemporaryDir temp;
  const QDir root(temp.path());
  write(root, "lib/ok.kicad_mod", kBattery);
  ASSERT_EQ(mkfifo(root.filePath("lib/fifo.kicad_mod").toLocal8Bit(), 0600), 0);
  ASSERT_TRUE(QFile::link("/dev/zero", root.filePath("lib/zero.mod")));
  write(root, "lib/\x1b]0;owned\x07\x1b[2J.kicad_mod", "(kicad_pcb)");
  const QByteArray body = "DS 0 0 1000 500 50 21\n$EndMODULE\n";
  write(root, "lib/long.mod",
        "$MODULE " + QByteArray(300, 'L') + "\n" + body + "$MODULE " +
            QByteArray(300, 'L') + "\n" + body);
  const DeepFolder deep(root.filePath("lib"), 21);
  // Names that are not UTF-8, one to draw and one to fail.
  write(root, "lib/caf\xe9.kicad_mod", kBattery);
  write(root, "lib/bad\xff.kicad_mod", "(kicad_pcb)");
  // Root reads any folder.
  const bool closed = geteuid() != 0 && root.mkpath("lib/closed") &&
                      chmod(root.filePath("lib/closed").toLocal8Bit(), 0) == 0;

  const Outcome tool =
      run_tool({"lib", "-o", "out", "-s", "80x60"}, temp.path());
  EXPECT_EQ(tool.status, 1);
  expect_parts(
      tool.out + tool.err,
      {"skipped: lib/fifo.kicad_mod: Not a regular file\n",
       "skipped: lib/zero.mod: Not a regular file\n", ": File name too long\n",
       "failed: lib/\\x1b]0;owned\\x07\\x1b[2J.kicad_mod: Not a footprint",
       "failed: lib/bad\\xff.kicad_mod: Not a footprint",
       "Files: 5\nImages written: 4\nFailures: 2\n"});
  EXPECT_FALSE(has(tool.out + tool.err, "\x1b"));
  if (closed) {
    EXPECT_TRUE(has(tool.err, "skipped: lib/closed: Permission denied\n"));
  }
  const auto made = [&](const char* image) {
    return access((temp.path().toLocal8Bit() + image).constData(), F_OK) == 0;
  };
  EXPECT_TRUE(made("/out/caf\xe9.png"));
  // Named on the command line: a Latin-1 name is found, a FIFO refused.
  const Outcome named =
      run_tool({"-c",
                "exec \"$0\" \"$(printf 'lib/caf\\351.kicad_mod')\" "
                "lib/fifo.kicad_mod -o named -s 80x60",
                PADSCOPE_RENDER_EXE},
               temp.path(), "/bin/sh");
  EXPECT_EQ(named.status, 1);
  EXPECT_TRUE(has(named.err,
                  "failed: lib/fifo.kicad_mod: Cannot open "
                  "lib/fifo.kicad_mod: Not a regular file\n"))
      << named.err;
  EXPECT_TRUE(made("/named/caf\xe9.png"));
  // A name shortened to what the file system takes, unique by its hash.
  const QStringList images =
      QDir(root.filePath("out/long")).entryList(QDir::Files);
  ASSERT_EQ(images.size(), 2);
  for (const QString& image : images) {
    EXPECT_LE(image.toUtf8().size(), 255);
    EXPECT_TRUE(image.startsWith("LLLL") && image.endsWith(".png") &&
                image.contains('~'))
        << image.toStdString();
  }
}

// Links in the output folder are not followed, a FIFO there is not opened,
// and a worker that dies fails its file alone.
TEST(RenderCommand, NoLinkInTheOutputIsFollowed) {
  QTemporaryDir temp;
  const QDir root(temp.path());
  for (const char* name :
       {"lib/a.kicad_mod", "lib/b.kicad_mod", "lib/c.kicad_mod",
        "lib/e.kicad_mod", "lib/f.kicad_mod", "lib/sub/d.kicad_mod"})
    write(root, name, kBattery);
  write(root, "elsewhere/keep.txt", "keep");
  root.mkpath("out");
  ASSERT_TRUE(QFile::link(root.filePath("elsewhere/keep.txt"),
                          root.filePath("out/a.png")));
  ASSERT_TRUE(
      QFile::link(root.filePath("elsewhere"), root.filePath("out/sub")));
  ASSERT_EQ(mkfifo(root.filePath("out/b.png").toLocal8Bit(), 0600), 0);

  const Outcome tool =
      run_tool({"lib", "-o", "out", "-s", "80x60"}, temp.path());
  EXPECT_EQ(tool.status, 1);
  expect_parts(tool.out + tool.err,
               {"lib/a.kicad_mod (module Battery_CR1225): Cannot write "
                "out/a.png: not a regular file",
                "lib/b.kicad_mod (module Battery_CR1225): Cannot write "
                "out/b.png: not a regular file",
                "d.kicad_mod (module Battery_CR1225): Cannot enter the folder "
                "out/sub: not a folder but a link",
                "Files: 6\nImages written: 3\nFailures: 3\n"});
  EXPECT_EQ(read(root.filePath("elsewhere/keep.txt")), "keep");
  EXPECT_EQ(QDir(root.filePath("elsewhere")).entryList(QDir::Files),
            QStringList{"keep.txt"});
  EXPECT_FALSE(QImage(root.filePath("out/c.png")).isNull());
  EXPECT_FALSE(QImage(root.filePath("out/e.png")).isNull());
  EXPECT_FALSE(QImage(root.filePath("out/f.png")).isNull());
}

// A missing input, or a report that would overwrite one, makes nothing.
TEST(RenderCommand, UsageErrorsExitWithTwo) {
  QTemporaryDir temp;
  write(QDir(temp.path()), "lib/c.kicad_mod", kBattery);
  write(QDir(temp.path()), "lib/sub/d.kicad_mod", kBattery);
  const std::pair<QStringList, const char*> cases[] = {
      {{"no/such/folder", "-o", "out"},
       "no such file or folder: no/such/folder\n"},
      {{"lib", "-o", "out", "--report", "lib/sub/../c.kicad_mod"},
       "the report lib/sub/../c.kicad_mod is an input"}};
  for (const auto& [arguments, error] : cases) {
    const Outcome tool = run_tool(arguments, temp.path());
    EXPECT_EQ(tool.status, 2);
    expect_parts(tool.err,
                 {error, "Usage: padscope-render [options] INPUT..."});
    EXPECT_EQ(tool.out, "");
    EXPECT_FALSE(QDir(temp.path()).exists("out"));
  }
  EXPECT_EQ(read(temp.filePath("lib/c.kicad_mod")), kBattery);
}

// One PDF holds a page per footprint; without --single-file each footprint
// has a file of one page.
TEST(RenderCommand, PdfPagesOneFileOrOneEach) {
  QTemporaryDir temp;
  write(QDir(temp.path()), "lib/a.kicad_mod", kBattery);
  write(QDir(temp.path()), "lib/b.kicad_mod", kBattery);
  const QRegularExpression page("/Type /Page\\b");
  const Outcome one = run_tool(
      {"lib", "-f", "pdf", "--scale", "1:1", "--single-file", "-o", "all.pdf"},
      temp.path());
  EXPECT_EQ(one.status, 0) << one.err;
  // Every byte: the PDF holds NULs, where fromLatin1 of a QByteArray stops.
  const auto text = [&](const char* name) {
    const QByteArray bytes = read(temp.filePath(name));
    return QString::fromLatin1(bytes.constData(), bytes.size());
  };
  const QString all = text("all.pdf");
  EXPECT_TRUE(all.startsWith("%PDF-"));
  EXPECT_EQ(all.count(page), 2);
  const Outcome each = run_tool({"lib", "-f", "pdf", "-o", "out"}, temp.path());
  EXPECT_EQ(each.status, 0) << each.err;
  for (const char* name : {"out/a.pdf", "out/b.pdf"})
    EXPECT_EQ(text(name).count(page), 1) << name;
}

TEST(RenderCommand, ReportCountsWhatTheFilesHoldWithProgressOnATerminal) {
  QTemporaryDir temp;
  const QString report = temp.filePath("report.json");
  const Outcome here =
      run_here({QString::fromStdString(
                    test::real_file("kicad6/MountingHole_3mm_Pad.kicad_mod")),
                kLocal + "/w_pth_resistors.mod", "-o", temp.path(), "--report",
                report, "-s", "200x150"},
               true);
  EXPECT_EQ(here.status, 0);
  EXPECT_TRUE(has(here.err, "\r\033[K[1/2] ") && has(here.err, "[2/2] "));
  EXPECT_EQ(here.err.substr(here.err.size() - 4), "\r\033[K");
  const QJsonObject json = QJsonDocument::fromJson(read(report)).object();
  EXPECT_EQ(json["files"].toInt(), 2);
  EXPECT_EQ(json["failures"].toInt(), 0);
  std::map<QString, QJsonObject> results;
  for (const QJsonValue& value : json["results"].toArray())
    results[value["module"].toString()] = value.toObject();
  ASSERT_EQ(results.size(), 11u);
  // Counted by hand.
  QJsonObject& hole = results["MountingHole_3mm_Pad"];
  EXPECT_EQ(hole["items"].toObject(),
            (QJsonObject{{"circle", 2}, {"pad", 1}, {"hole", 1}, {"text", 3}}));
  EXPECT_EQ(hole["not_drawn"].toObject(), QJsonObject{});
  QJsonObject& trimmer = results["trimmer_64w"];
  EXPECT_EQ(
      trimmer["items"].toObject(),
      (QJsonObject{
          {"line", 5}, {"circle", 1}, {"pad", 3}, {"hole", 3}, {"text", 2}}));
  EXPECT_EQ(trimmer["not_drawn"].toObject(), QJsonObject{});
  EXPECT_EQ(trimmer["status"].toString(), "ok");
  EXPECT_EQ(QImage(trimmer["output"].toString()).size(), QSize(200, 150));
  // Read off the files; the legacy module's tenths of a mil in millimetres.
  const auto compact = [](const QJsonValue& value) {
    return QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
  };
  const QJsonObject hole_facts = hole["facts"].toObject();
  EXPECT_EQ(compact(hole_facts["pitch"]), "[null]");
  EXPECT_EQ(compact(hole_facts["courtyard"]), "[[6.5,6.5]]");
  EXPECT_EQ(compact(hole_facts["bbox"]), "[[-3.275,-3.275,3.275,3.275]]");
  EXPECT_EQ(compact(hole_facts["pads"]),
            "[[{\"drill\":[3,3],\"drill_offset\":[0,0],\"height\":6,"
            "\"layers\":[\"F.Cu\",\"B.Cu\",\"F.Mask\",\"B.Mask\"],"
            "\"number\":\"1\",\"rotation\":0,\"shape\":\"circle\","
            "\"type\":\"thru_hole\",\"width\":6,\"x\":0,\"y\":0}]]");
  const QJsonObject trimmer_facts = trimmer["facts"].toObject();
  EXPECT_EQ(compact(trimmer_facts["pitch"]), "[2.54]");
  EXPECT_EQ(compact(trimmer_facts["fab"]), "[null]");
  EXPECT_EQ(compact(trimmer_facts["bbox"]),
            "[[-2.7305,-5.2705,2.7305,5.2705]]");
  EXPECT_EQ(compact(trimmer_facts["pads"].toArray()[1]),
            "[{\"drill\":[0.50038,0.50038],\"drill_offset\":[0,0],"
            "\"height\":1.50114,\"layers\":[\"F.Cu\",\"B.Cu\",\"F.SilkS\","
            "\"B.Mask\",\"F.Mask\"],\"number\":\"2\",\"rotation\":0,"
            "\"shape\":\"oval\",\"type\":\"thru_hole\",\"width\":1.99898,"
            "\"x\":0,\"y\":0}]");
}

// The files below `root` and their bytes.
std::map<QString, QByteArray> files_below(const QString& root) {
  std::map<QString, QByteArray> files;
  QDirIterator walk(root, QDir::Files, QDirIterator::Subdirectories);
  while (walk.hasNext()) {
    const QString path = walk.next();
    files[QDir(root).relativeFilePath(path)] = read(path);
  }
  return files;
}

// The report less the times, which differ from run to run.
QJsonObject timeless(const QByteArray& report) {
  QJsonObject json = QJsonDocument::fromJson(report).object();
  QJsonArray results;
  for (const QJsonValue& value : json["results"].toArray()) {
    QJsonObject entry = value.toObject();
    entry.remove("milliseconds");
    results.append(entry);
  }
  json["results"] = results;
  return json;
}

TEST(RenderCommand, AnyNumberOfJobsWritesTheSameFilesAndReport) {
  PADSCOPE_REQUIRE_SHARED_TESTDATA();
  QTemporaryDir one, three;
  for (const auto& [temp, jobs] : {std::pair{&one, "1"}, {&three, "3"}})
    EXPECT_EQ(run_tool({kShared, "-f", "svg", "-s", "120x90", "--jobs", jobs,
                        "-o", "out", "--report", "report.json"},
                       temp->path())
                  .status,
              0);
  const auto images = files_below(one.filePath("out"));
  EXPECT_GT(images.size(), 900u);
  EXPECT_TRUE(images == files_below(three.filePath("out")));
  const QJsonObject report = timeless(read(one.filePath("report.json")));
  EXPECT_EQ(report["images"].toInt(), static_cast<int>(images.size()));
  EXPECT_EQ(report, timeless(read(three.filePath("report.json"))));
}

// Workers beyond the cores, or beyond what the files keep busy, only cost:
// --jobs 256 on two cores started 144 processes.
TEST(Workers, NoMoreThanTheCoresAndTheFilesCanUse) {
  const struct {
    int requested;
    std::size_t files;
    int cores, expected;
  } cases[] = {{0, 146, 2, 2}, {256, 146, 2, 2}, {3, 1000, 8, 3},
               {0, 20, 8, 1},  {0, 100, 8, 6},   {0, 5, 0, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.requested << " jobs, " << c.files
                                    << " files, " << c.cores << " cores");
    EXPECT_EQ(worker_count(c.requested, c.files, c.cores), c.expected);
  }
}

// A worker that crashes fails the file it was on, and a new one renders
// the rest of its share. With descriptors for one worker's start only, the
// others cannot start: their shares go to the worker that runs, and no file
// fails.
TEST(Workers, ACrashFailsOneFileAndAStartThatFailsHandsItsShareOn) {
  QTemporaryDir temp;
  const QDir root(temp.path());
  std::vector<InputFile> files;
  for (const char* folder : {"a", "b", "c"}) {
    for (const char* name : {"x.kicad_mod", "y.kicad_mod", "z.kicad_mod"}) {
      const QString relative = QString(folder) + '/' + name;
      write(root, relative.toUtf8(), kBattery);
      files.push_back({root.filePath(relative), folder, kBattery.size()});
    }
  }
  const auto render = [&](const char* out) {
    std::ostringstream err;
    BatchResult result = render_in_workers(
        PADSCOPE_RENDER_EXE,
        {root.path(), "-o", root.filePath(out), "-s", "80x60"}, files, 3, err,
        false);
    return std::pair{result, err.str()};
  };
  qputenv("PADSCOPE_RENDER_CRASH_ON", "b/y.kicad_mod");
  const auto [crashed, crash_messages] = render("crash");
  qunsetenv("PADSCOPE_RENDER_CRASH_ON");
  EXPECT_EQ(crashed.images, 8);
  EXPECT_EQ(crashed.failures, 1);
  expect_parts(crash_messages, {"b/y.kicad_mod: The renderer stopped on this "
                                "file: it crashed\n"});

  rlimit limit{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
  const rlimit lowered{std::min<rlim_t>(limit.rlim_cur, 512), limit.rlim_max};
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &lowered), 0);
  std::vector<int> spare;
  for (int fd; (fd = open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;)
    spare.push_back(fd);
  for (int i = 0; i < kDescriptorsToStart && !spare.empty(); ++i) {
    close(spare.back());
    spare.pop_back();
  }
  const auto [handed, messages] = render("handed");
  for (const int fd : spare) close(fd);
  setrlimit(RLIMIT_NOFILE, &limit);
  EXPECT_EQ(handed.failures, 0) << messages;
  EXPECT_EQ(handed.images, 9);
}

// Killed while writing, by a signal it can catch (here the file size limit
// of the shell), the tool removes the temporary file of the image.
TEST(RenderCommand, AnInterruptedWriteLeavesNoTemporaryFile) {
  QTemporaryDir temp;
  write(QDir(temp.path()), "a.kicad_mod", kBattery);
  const Outcome tool =
      run_tool({"-c", "ulimit -c 0 && ulimit -f 1 && exec \"$0\" \"$@\"",
                PADSCOPE_RENDER_EXE, "a.kicad_mod", "-o", "out"},
               temp.path(), "/bin/sh");
  EXPECT_EQ(tool.status, -1);
  EXPECT_EQ(QDir(temp.filePath("out"))
                .entryList(QDir::Files | QDir::Hidden | QDir::System),
            QStringList());
}

// A second batch into a folder that a first is writing stops at once.
TEST(RenderCommand, OneBatchAtATimeWritesIntoAFolder) {
  QTemporaryDir temp;
  const QDir root(temp.path());
  write(root, "a.kicad_mod", kBattery);
  const Outcome alone = run_here({root.filePath("a.kicad_mod"), "-o",
                                  root.filePath("out"), "-s", "80x60"});
  EXPECT_EQ(alone.status, 0) << alone.err;
  const int held = open(root.filePath("out").toLocal8Bit(),
                        O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);
  const Outcome second = run_here({root.filePath("a.kicad_mod"), "-o",
                                   root.filePath("out"), "-s", "80x60"});
  close(held);
  EXPECT_EQ(second.status, 2);
  expect_parts(second.err, {"another batch is writing into"});
}

// Images that could claim one name stay in one share, which keeps the
// names a single process gives: "x", "x-2" and "x.mod" of one folder, and
// a library with the folder of its name.
TEST(Shares, KeepFootprintsThatCouldShareANameTogether) {
  const std::vector<InputFile> files = {
      {"x.kicad_mod", ""},    {"x-2.kicad_mod", ""},
      {"y.kicad_mod", ""},    {"x.mod", ""},
      {"lib.mod", ""},        {"lib/foo.kicad_mod", "lib"},
      {"z/x.kicad_mod", "z"}, {"w.kicad_mod", ""}};
  const auto shares = shares_of(files, 3);
  ASSERT_EQ(shares.size(), 3u);
  std::vector<int> share_of(files.size(), -1);
  for (std::size_t s = 0; s < shares.size(); ++s) {
    EXPECT_TRUE(std::is_sorted(shares[s].begin(), shares[s].end()));
    for (const int file : shares[s]) share_of[file] = static_cast<int>(s);
  }
  EXPECT_EQ(std::count(share_of.begin(), share_of.end(), -1), 0);
  EXPECT_EQ(share_of[1], share_of[0]);
  EXPECT_EQ(share_of[3], share_of[0]);
  EXPECT_EQ(share_of[5], share_of[4]);
  EXPECT_EQ(shares_of(files, 1).size(), 1u);
  // Shared by bytes, not by count.
  const std::vector<InputFile> sized = {{"a/1.kicad_mod", "a", 90},
                                        {"b/2.kicad_mod", "b", 30},
                                        {"c/3.kicad_mod", "c", 30},
                                        {"d/4.kicad_mod", "d", 30}};
  EXPECT_EQ(shares_of(sized, 2),
            (std::vector<std::vector<int>>{{0}, {1, 2, 3}}));
}

TEST(RenderSummary, TimesPerFootprintWithTheSlowestNamed) {
  BatchResult result;
  for (int ms = 100; ms >= 1; --ms) {
    result.results.emplace_back();
    result.results.back().file = QString("lib/f%1.kicad_mod").arg(ms);
    result.results.back().milliseconds = ms;
  }
  result.results.front().file = "lib/big.mod";
  result.results.front().module = "BGA";
  const auto summary = [&] {
    std::ostringstream out;
    write_summary(result, out);
    return out.str();
  };
  EXPECT_TRUE(
      has(summary(),
          "\nPer footprint: median 50.50 ms, 99th percentile 99.00 ms, slowest "
          "100.00 ms (lib/big.mod, module BGA)\n"))
      << summary();
  result.results.clear();
  EXPECT_FALSE(has(summary(), "Per footprint")) << summary();
}

// A footprint of `pads` SMD pads in a row at `pitch`.
QByteArray row_of_pads(const QByteArray& name, int pads, double pitch) {
  QByteArray text = "(footprint \"" + name + "\" (tags \"row\")";
  for (int i = 0; i < pads; ++i)
    text += "(pad " + QByteArray::number(i + 1) + " smd rect (at " +
            QByteArray::number(i * pitch) + " 0) (size 0.3 1) (layers F.Cu))";
  return text + ")";
}

TEST(FindCommand, ListsTheMatchesBestFirstOverSeveralFolders) {
  QTemporaryDir temp;
  const QDir root(temp.path());
  write(root, "a/SOT.pretty/TSOT-23.kicad_mod",
        row_of_pads("TSOT-23", 3, 0.95));
  write(root, "a/SOT.pretty/SOT-23.kicad_mod", row_of_pads("SOT-23", 3, 0.95));
  write(root, "a/SOT.pretty/SOT-23-5.kicad_mod",
        row_of_pads("SOT-23-5", 5, 0.95));
  write(root, "b/QFP.pretty/LQFP-48.kicad_mod",
        row_of_pads("LQFP-48", 48, 0.5));
  write(root, "b/old.mod",
        "PCBNEW-LibModule-V1 date\nUnits mm\n$MODULE SOT23_old\nLi "
        "SOT23_old\n$EndMODULE SOT23_old\n$EndLIBRARY\n");
  const QString a = temp.filePath("a"), b = temp.filePath("b");
  const Outcome sot = run_here({"--find", "sot23 -tsot", a, b});
  EXPECT_EQ(sot.status, 0) << sot.err;
  EXPECT_EQ(sot.out,
            (a + "/SOT.pretty/SOT-23.kicad_mod\n" + a +
             "/SOT.pretty/SOT-23-5.kicad_mod\n" + b + "/old.mod\tSOT23_old\n")
                .toStdString());
  EXPECT_EQ(run_here({"--find", "pads:>4 pitch:0.5", a, b}).out,
            (b + "/QFP.pretty/LQFP-48.kicad_mod\n").toStdString());
  const Outcome none = run_here({"--find", "row pads:4", a});
  EXPECT_EQ(none.status, 1);
  EXPECT_EQ(none.out, "");
  const Outcome file =
      run_here({"--find", "sot", a + "/SOT.pretty/SOT-23.kicad_mod"});
  EXPECT_EQ(file.status, 2);
  EXPECT_TRUE(has(file.err, "--find searches folders")) << file.err;
}

TEST(ParseArguments, EveryOptionAndTheUsageErrors) {
  const auto parse = [](const QStringList& arguments) {
    return parse_arguments(QStringList{"padscope-render"} + arguments);
  };
  const ParsedArguments parsed =
      parse({"a.mod", "--format=svg", "-b", "transparent", "b", "--grid", "-m",
             "9", "-j", "3"});
  ASSERT_EQ(parsed.error, "");
  EXPECT_EQ(parsed.options.inputs, (QStringList{"a.mod", "b"}));
  EXPECT_EQ(parsed.options.format, ImageFormat::svg);
  EXPECT_EQ(parsed.options.style.background, Background::transparent);
  EXPECT_TRUE(parsed.options.style.grid);
  EXPECT_EQ(parsed.options.style.margin, 9);
  EXPECT_EQ(parsed.options.jobs, 3);
  EXPECT_EQ(parse({"a"}).options.jobs, 0);
  EXPECT_TRUE(parse({"--help"}).help);
  EXPECT_TRUE(parse({"--diff", "old", "new"}).options.diff);
  const RenderOptions pdf =
      parse({"a", "-f", "pdf", "--scale", "5:2", "--single-file"}).options;
  EXPECT_EQ(pdf.style.scale, 2.5);
  EXPECT_TRUE(pdf.single_file);
  EXPECT_EQ(pdf.output_dir, "padscope-out.pdf");
  EXPECT_EQ(parse({"a"}).options.style.scale, 0);
  const std::pair<QStringList, const char*> errors[] = {
      {{"--grid"}, "No INPUT"},
      {{"--frobnicate", "a"}, "frobnicate"},
      {{"--format", "PNG", "a"},
       "Unknown format 'PNG': use png, svg, pdf or qt-svg"},
      {{"--scale", "1", "-f", "svg", "a"}, "Bad scale '1'"},
      {{"--scale", "0:1", "-f", "svg", "a"}, "Bad scale"},
      {{"--scale", "1:1", "a"}, "--scale needs --format svg or pdf"},
      {{"--scale", "1:1", "-f", "pdf", "-s", "9x9", "a"}, "leave out --size"},
      {{"--single-file", "-f", "svg", "a"}, "--single-file needs"},
      {{"--size", "800", "a"}, "Bad size '800'"},
      {{"--size", "0x600", "a"}, "Bad size"},
      {{"--size", "99999999999x600", "a"}, "Bad size"},
      {{"--background", "grey", "a"}, "Unknown background 'grey'"},
      {{"--margin", "-1", "a"}, "Bad margin '-1'"},
      {{"--jobs", "0", "a"}, "Bad number of jobs '0'"},
      {{"--diff", "a"}, "--diff compares two inputs, OLD and NEW."},
      {{"--diff", "a", "b", "c"}, "--diff compares two inputs"},
      // Half the height would leave no pixel for the footprint.
      {{"--size", "100x40", "--margin", "20", "a"}, "Bad margin '20'"},
      {{"--find", " ", "a"}, "--find needs a QUERY"},
      {{"--find", "x", "--diff", "a", "b"}, "exclude each other"},
  };
  for (const auto& [arguments, error] : errors) {
    const QString message = parse(arguments).error;
    EXPECT_TRUE(message.contains(error)) << message.toStdString();
  }
}

}  // namespace
}  // namespace padscope::render
