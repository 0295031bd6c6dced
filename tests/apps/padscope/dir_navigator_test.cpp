#include "apps/padscope/dir_navigator.h"

#include "support/qt_printers.h"
#include "support/test_data.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QFile>
#include <QTemporaryDir>

namespace {

class DirNavigatorTest : public testing::Test {
protected:
  void SetUp() override {
    navigator.filters = QStringList{"*.kicad_mod", "*.mod"};
  }

  QString at(const QString& relative) const { return root.filePath(relative); }
  // Makes an empty file, and the folders on its way.
  QString touch(const QString& relative) {
    EXPECT_TRUE(padscope::test::write_file(at(relative).toStdString(), ""));
    return at(relative);
  }

  QTemporaryDir root;
  DirNavigator navigator;
};

TEST_F(DirNavigatorTest, StepsThroughFootprintFilesInNameOrderAndWraps) {
  for (const char* name : {"c.kicad_mod", "B.mod", "a.kicad_mod", "notes.txt",
                           "X.KICAD_MOD", ".hidden.kicad_mod"})
    touch(name);
  touch("m.kicad_mod/inside.txt");  // a folder named like a footprint
  // Named like footprints, but no regular files: left out.
  ASSERT_EQ(mkfifo(at("b.kicad_mod").toLocal8Bit().constData(), 0600), 0);
  ASSERT_TRUE(QFile::link("/dev/zero", at("bz.mod")));
  navigator.path = at("a.kicad_mod");
  EXPECT_EQ(navigator.next(), at("B.mod"));
  EXPECT_EQ(navigator.next(), at("c.kicad_mod"));
  EXPECT_EQ(navigator.next(), at("X.KICAD_MOD"));
  EXPECT_EQ(navigator.next(), at("a.kicad_mod"));
  EXPECT_EQ(navigator.prev(), at("X.KICAD_MOD"));
  EXPECT_EQ(navigator.path, at("X.KICAD_MOD"));
}

TEST_F(DirNavigatorTest, LoneFileAndLibraryStepToThemselvesOrNowhere) {
  const QString only = touch("only.pretty/a.kicad_mod");
  touch("empty.pretty/readme.txt");
  navigator.path = only;
  EXPECT_EQ(navigator.next(), only);
  EXPECT_EQ(navigator.prev(), only);
  EXPECT_EQ(navigator.next_library(), QString());
  EXPECT_EQ(navigator.prev_library(), QString());
  EXPECT_EQ(navigator.path, only);
}

TEST_F(DirNavigatorTest, AVanishedFileStepsOnFromItsNameEvenInAnEmptyFolder) {
  EXPECT_EQ(navigator.next(), QString());
  EXPECT_EQ(navigator.next_library(), QString());
  EXPECT_EQ(navigator.prev_library(), QString());

  touch("a.kicad_mod");
  touch("C.kicad_mod");
  const QString gone = touch("b.kicad_mod");
  for (const auto& [step, expected] :
       {std::pair{&DirNavigator::next, "C.kicad_mod"},
        std::pair{&DirNavigator::prev, "a.kicad_mod"}}) {
    navigator.path = gone;
    QFile::remove(gone);
    EXPECT_EQ((navigator.*step)(), at(expected));
  }
  QFile::remove(at("a.kicad_mod"));
  QFile::remove(at("C.kicad_mod"));
  EXPECT_EQ(navigator.next(), QString());
  EXPECT_EQ(navigator.path, at("a.kicad_mod"));
  touch("C.kicad_mod");
  EXPECT_EQ(navigator.prev(), at("C.kicad_mod"));
}

TEST_F(DirNavigatorTest, LibrariesStepToTheFirstFileOfSiblingFolders) {
  touch("Alpha.pretty/z.kicad_mod");
  touch("Alpha.pretty/b.kicad_mod");
  touch("beta.pretty/readme.txt");  // no footprint: skipped
  touch("Gamma.pretty/old.mod");
  touch("delta.pretty/K.kicad_mod");
  touch("delta.pretty/.hidden/x.kicad_mod");
  navigator.path = at("Alpha.pretty/z.kicad_mod");
  EXPECT_EQ(navigator.next_library(), at("delta.pretty/K.kicad_mod"));
  EXPECT_EQ(navigator.next_library(), at("Gamma.pretty/old.mod"));
  EXPECT_EQ(navigator.next_library(), at("Alpha.pretty/b.kicad_mod"));
  EXPECT_EQ(navigator.prev_library(), at("Gamma.pretty/old.mod"));
  EXPECT_EQ(navigator.next(), at("Gamma.pretty/old.mod"));  // Next follows
}

}  // namespace
