#include "apps/padscope/open_file_dialog.h"

#include "support/modal.h"
#include "support/qt_printers.h"
#include "support/temp_settings.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>

namespace {

const QString kFilter =
    "Modules Files (*.kicad_mod);;Legacy modules Files (*.mod)";
const QString kGroup = "dialog/load/config";
const QString kLegacyFilter = "Legacy modules Files (*.mod)";

void when_shown(std::function<void(QFileDialog*)> act) {
  padscope::test::answer_modal<QFileDialog>(std::move(act));
}

class OpenFileDialogTest : public testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(library.isValid());
    QFile(QDir(library.path()).filePath("old.mod")).open(QIODevice::WriteOnly);
  }

  QString run(QString* selected) {
    return get_open_file_name(nullptr, "Open module footprint", start.path(),
                              kFilter, kGroup, selected);
  }

  padscope::test::TempSettings settings;
  QTemporaryDir start;
  QTemporaryDir library;
};

TEST_F(OpenFileDialogTest, AcceptStoresFolderFilterAndState) {
  QString seen_dir, seen_filter;
  when_shown([&](QFileDialog* dialog) {
    if (seen_dir.isEmpty()) {  // as first shown, not after a retry
      seen_dir = dialog->directory().path();
      seen_filter = dialog->selectedNameFilter();
    }
    dialog->setDirectory(library.path());
    dialog->selectNameFilter(kLegacyFilter);
    padscope::test::choose_file(dialog,
                                QDir(library.path()).filePath("old.mod"));
    static_cast<QDialog*>(dialog)->accept();
  });
  QString selected;
  const QString chosen = run(&selected);
  EXPECT_EQ(seen_dir, QDir(start.path()).path());
  EXPECT_EQ(seen_filter, "Modules Files (*.kicad_mod)");
  EXPECT_EQ(chosen, QDir(library.path()).filePath("old.mod"));
  EXPECT_EQ(selected, kLegacyFilter);
  QSettings stored;
  EXPECT_EQ(stored.value(kGroup + "/ldir").toString(), library.path());
  EXPECT_EQ(stored.value(kGroup + "/selectedfilter").toString(), kLegacyFilter);
  EXPECT_FALSE(stored.value(kGroup + "/state").toByteArray().isEmpty());

  // The next dialog opens where this one ended, with the same filter.
  seen_dir.clear();
  when_shown([&](QFileDialog* dialog) {
    if (seen_dir.isEmpty()) {  // as first shown, not after a retry
      seen_dir = dialog->directory().path();
      seen_filter = dialog->selectedNameFilter();
    }
    dialog->reject();
  });
  QString again;
  EXPECT_EQ(run(&again), QString());
  EXPECT_EQ(seen_dir, library.path());
  EXPECT_EQ(seen_filter, kLegacyFilter);
}

TEST_F(OpenFileDialogTest, CancelWritesNothing) {
  QSettings().setValue(kGroup + "/ldir", start.path());
  when_shown([&](QFileDialog* dialog) {
    dialog->setDirectory(library.path());
    dialog->selectNameFilter(kLegacyFilter);
    dialog->reject();
  });
  QString selected = "untouched";
  EXPECT_EQ(run(&selected), QString());
  EXPECT_EQ(selected, "untouched");
  QSettings stored;
  EXPECT_EQ(stored.value(kGroup + "/ldir").toString(), start.path());
  EXPECT_FALSE(stored.contains(kGroup + "/selectedfilter"));
  EXPECT_FALSE(stored.contains(kGroup + "/state"));
}

TEST_F(OpenFileDialogTest, NullFilterPointerNeitherReadsNorWritesItsKey) {
  QSettings().setValue(kGroup + "/selectedfilter", kLegacyFilter);
  QString seen_filter;
  when_shown([&](QFileDialog* dialog) {
    if (seen_filter.isEmpty()) seen_filter = dialog->selectedNameFilter();
    dialog->selectNameFilter("Modules Files (*.kicad_mod)");
    padscope::test::choose_file(dialog,
                                QDir(library.path()).filePath("old.mod"));
    static_cast<QDialog*>(dialog)->accept();
  });
  EXPECT_FALSE(run(nullptr).isEmpty());
  EXPECT_EQ(seen_filter, "Modules Files (*.kicad_mod)");
  EXPECT_EQ(QSettings().value(kGroup + "/selectedfilter").toString(),
            kLegacyFilter);
}

}  // namespace
