#include "apps/padscope-render/library_diff.h"

#include "apps/padscope-render/batch.h"
#include "support/test_data.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>

#include <sstream>

namespace padscope::render {
namespace {

const std::string kLocal = test::local_testdata_dir();

struct Outcome {
  int status = -1;
  std::string out, err;
  QJsonObject report;
  QString page;
};

Outcome run_diff_of(const QString& before, const QString& after,
                    const QString& output) {
  std::ostringstream out, err;
  Outcome outcome;
  outcome.status = run({"padscope-render", "--diff", "--size", "200x150", "-o",
                        output, before, after},
                       out, err, false);
  outcome.out = out.str();
  outcome.err = err.str();
  QFile report(output + "/report.json");
  if (report.open(QIODevice::ReadOnly))
    outcome.report = QJsonDocument::fromJson(report.readAll()).object();
  QFile page(output + "/index.html");
  if (page.open(QIODevice::ReadOnly))
    outcome.page = QString::fromUtf8(page.readAll());
  return outcome;
}

void put(const QString& path, const std::string& bytes) {
  ASSERT_TRUE(test::write_file(path.toStdString(), bytes));
}

QStringList names(const QJsonValue& array) {
  QStringList list;
  for (const QJsonValue& name : array.toArray()) list << name.toString();
  return list;
}

// Two folders: one footprint the same, one changed, one gone, one new, and
// one whose name must be escaped on the page.
TEST(LibraryDiff, CountsEveryKindAndSaysSoInItsStatus) {
  QTemporaryDir temp;
  const QString before = temp.path() + "/old", after = temp.path() + "/new";
  const std::string battery =
      test::read_file(kLocal + "/Battery_CR1225.kicad_mod");
  // The outline on F.Fab a quarter of a millimetre wider all round.
  std::string grown = battery;
  const std::size_t at = grown.find("(end 6.25 0)");
  ASSERT_NE(at, std::string::npos);
  grown.replace(at, 12, "(end 6.5 0)");
  put(before + "/Lib.pretty/Same.kicad_mod", battery);
  put(after + "/Lib.pretty/Same.kicad_mod", battery);
  put(before + "/Lib.pretty/A<b>&c.kicad_mod", battery);
  put(after + "/Lib.pretty/A<b>&c.kicad_mod", grown);
  put(before + "/Lib.pretty/Gone.kicad_mod", battery);
  put(after + "/Lib.pretty/New.kicad_mod", battery);

  const Outcome changed = run_diff_of(before, after, temp.path() + "/out");
  EXPECT_EQ(changed.status, 1) << changed.err;
  EXPECT_EQ(changed.report["added"].toInt(), 1);
  EXPECT_EQ(changed.report["removed"].toInt(), 1);
  EXPECT_EQ(changed.report["changed"].toInt(), 1);
  EXPECT_EQ(changed.report["unchanged"].toInt(), 1);
  EXPECT_EQ(names(changed.report["added_footprints"]), QStringList{"Lib/New"});
  EXPECT_EQ(names(changed.report["removed_footprints"]),
            QStringList{"Lib/Gone"});
  const QJsonObject change = changed.report["changes"][0].toObject();
  EXPECT_EQ(change["name"].toString(), "Lib/A<b>&c");
  EXPECT_FALSE(change["layers"].toArray().isEmpty());
  const QImage picture(temp.path() + "/out/" + change["image"].toString());
  EXPECT_EQ(picture.size(), QSize(200, 150));
  // The name is text on the page, and its picture's link is encoded.
  EXPECT_TRUE(changed.page.contains("<h3>Lib/A&lt;b&gt;&amp;c</h3>"));
  EXPECT_FALSE(changed.page.contains("A<b>"));
  EXPECT_TRUE(changed.page.contains("src=\"images/Lib/A_b_%26c.png\""));
  EXPECT_LT(changed.page.indexOf("Changed (1)"),
            changed.page.indexOf("Added (1)"));
  EXPECT_TRUE(changed.out.find("Changed: 1") != std::string::npos);

  const Outcome same = run_diff_of(before, before, temp.path() + "/same");
  EXPECT_EQ(same.status, 0);
  EXPECT_EQ(same.report["unchanged"].toInt(), 3);

  put(after + "/Lib.pretty/Broken.kicad_mod", "(footprint \"x\" (pad");
  put(before + "/Lib.pretty/Broken.kicad_mod", battery);
  EXPECT_EQ(run_diff_of(before, after, temp.path() + "/broken").status, 2);
  EXPECT_EQ(
      run_diff_of(before, temp.path() + "/none", temp.path() + "/none").status,
      2);
}

// A legacy library against the folder KiCad converted it into: the modules
// match the files by name, and none differs from its conversion.
TEST(LibraryDiff, LegacyLibraryAgainstItsConversion) {
  QTemporaryDir temp;
  const Outcome outcome = run_diff_of(
      QString::fromStdString(kLocal + "/w_pth_resistors.mod"),
      QString::fromStdString(kLocal + "/converted/w_pth_resistors.pretty"),
      temp.path());
  EXPECT_EQ(outcome.status, 0) << outcome.out << outcome.err;
  EXPECT_EQ(outcome.report["unchanged"].toInt(), 10);
  EXPECT_EQ(outcome.report["added"].toInt(), 0);
}

}  // namespace
}  // namespace padscope::render
