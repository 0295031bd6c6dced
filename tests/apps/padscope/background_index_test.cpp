#include "apps/padscope/background_index.h"

#include "support/test_data.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace {

using padscope::test::write_file;

TEST(BackgroundIndexTest, BuildsReportsProgressAndStartsFromItsCache) {
  QStandardPaths::setTestModeEnabled(true);
  QTemporaryDir root;
  for (int n = 0; n < 150; ++n)  // three libraries of 50
    write_file(
        root.filePath(QString("L%1.pretty/F%2.kicad_mod").arg(n / 50).arg(n))
            .toStdString(),
        "(footprint F (tags t" + std::to_string(n / 50) + "))");
  QFile::remove(BackgroundIndex::cache_file(root.path()));

  for (bool cached : {false, true}) {
    SCOPED_TRACE(cached ? "from the cache" : "from nothing");
    BackgroundIndex index;
    QSignalSpy progress(&index, &BackgroundIndex::progress);
    QSignalSpy updated(&index, &BackgroundIndex::updated);
    QSignalSpy finished(&index, &BackgroundIndex::finished);
    index.start(root.path());
    ASSERT_TRUE(finished.wait(20000));
    const auto first = updated.first().first().value<IndexSnapshot>();
    // The cache gives every entry, read, before the tree is even listed.
    EXPECT_EQ(first->pending(), cached ? 0u : 150u);
    EXPECT_EQ(updated.count(), 2);
    if (!cached) {
      ASSERT_FALSE(progress.isEmpty());
      EXPECT_EQ(progress.last().at(0).toInt(), 150);
      EXPECT_EQ(progress.last().at(1).toInt(), 150);
    }
    ASSERT_TRUE(index.snapshot());
    EXPECT_EQ(index.snapshot()->search("t2").size(), 50u);
  }
  QFile::remove(BackgroundIndex::cache_file(root.path()));
}

TEST(BackgroundIndexTest, StopsARunOnDestruction) {
  QTemporaryDir root;
  for (int i = 0; i < 5000; ++i)
    write_file(root.filePath(QString("F%1.kicad_mod").arg(i)).toStdString(),
               "(footprint F)");
  QStandardPaths::setTestModeEnabled(true);
  const QString cache = BackgroundIndex::cache_file(root.path());
  {
    BackgroundIndex index;
    index.start(root.path());
    EXPECT_TRUE(index.running());
  }
  // A stopped run writes no cache: what it read is not the whole tree.
  EXPECT_FALSE(QFile::exists(cache));
}

}  // namespace
