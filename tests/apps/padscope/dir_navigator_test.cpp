#include "apps/padscope/dir_navigator.h"

#include "support/qt_printers.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

class DirNavigatorTest : public testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(root.isValid());
    navigator.filters = QStringList({"*.kicad_mod", "*.mod"});
  }

  QString touch(const QString& relative) {
    const QString path = QDir(root.path()).filePath(relative);
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    return path;
  }

  QString at(const QString& relative) const {
    return QDir(root.path()).filePath(relative);
  }

  QTemporaryDir root;
  DirNavigator navigator;
};

TEST_F(DirNavigatorTest, StepsInNameOrderIgnoringCaseAndWraps) {
  touch("c.kicad_mod");
  touch("B.mod");
  touch("a.kicad_mod");
  touch("notes.txt");
  navigator.path = at("a.kicad_mod");
  EXPECT_EQ(navigator.next(), at("B.mod"));
  EXPECT_EQ(navigator.next(), at("c.kicad_mod"));
  EXPECT_EQ(navigator.next(), at("a.kicad_mod"));
  EXPECT_EQ(navigator.prev(), at("c.kicad_mod"));
  EXPECT_EQ(navigator.path, at("c.kicad_mod"));
}

TEST_F(DirNavigatorTest, SingleFileStepsToItself) {
  touch("only.kicad_mod");
  navigator.path = at("only.kicad_mod");
  EXPECT_EQ(navigator.next(), at("only.kicad_mod"));
  EXPECT_EQ(navigator.prev(), at("only.kicad_mod"));
}

TEST_F(DirNavigatorTest, ListsUpperCaseExtensionsSkipsFoldersAndHiddenFiles) {
  touch("a.kicad_mod");
  touch("X.KICAD_MOD");
  touch("m.kicad_mod/inside.txt");  // a folder named like a footprint
  touch(".hidden.kicad_mod");
  navigator.path = at("a.kicad_mod");
  EXPECT_EQ(navigator.next(), at("X.KICAD_MOD"));
  EXPECT_EQ(navigator.next(), at("a.kicad_mod"));
}

TEST_F(DirNavigatorTest, VanishedFileGivesEmptyResultsThatStick) {
  touch("a.kicad_mod");
  const QString b = touch("b.kicad_mod");
  navigator.path = b;
  QFile::remove(b);
  EXPECT_EQ(navigator.next(), QString());
  EXPECT_EQ(navigator.path, QString());
  EXPECT_EQ(navigator.prev(), QString());
  EXPECT_EQ(navigator.next(), QString());
}

TEST_F(DirNavigatorTest, NothingOpenGivesEmpty) {
  EXPECT_EQ(navigator.next(), QString());
  EXPECT_EQ(navigator.next_library(), QString());
  EXPECT_EQ(navigator.prev_library(), QString());
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
  // The navigator follows: Next now walks the new folder.
  EXPECT_EQ(navigator.next(), at("Gamma.pretty/old.mod"));
}

TEST_F(DirNavigatorTest, NoOtherLibraryLeavesThePathAlone) {
  touch("only.pretty/a.kicad_mod");
  touch("empty.pretty/readme.txt");
  navigator.path = at("only.pretty/a.kicad_mod");
  EXPECT_EQ(navigator.next_library(), QString());
  EXPECT_EQ(navigator.prev_library(), QString());
  EXPECT_EQ(navigator.path, at("only.pretty/a.kicad_mod"));
}

}  // namespace
