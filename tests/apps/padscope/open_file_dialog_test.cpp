#include "apps/padscope/open_file_dialog.h"

#include "support/modal.h"
#include "support/qt_printers.h"
#include "support/temp_settings.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QSettings>
#include <QTemporaryDir>

#include <functional>

namespace {

using padscope::test::choose_file;

const QString kGroup = "dialog/load/config";
const QString kPrettyFilter = "Modules Files (*.kicad_mod)";
const QString kLegacyFilter = "Legacy modules Files (*.mod)";

void reject(QFileDialog* dialog) {
  dialog->reject();
}

class OpenFileDialogTest : public testing::Test {
protected:
  void SetUp() override { QFile(old).open(QIODevice::WriteOnly); }

  // Answers the next dialog with `act`, noting its folder and filter as
  // first shown.
  void answer(std::function<void(QFileDialog*)> act) {
    seen_dir.clear();
    padscope::test::answer_modal<QFileDialog>([this, act](QFileDialog* dialog) {
      if (seen_dir.isEmpty()) {
        seen_dir = dialog->directory().path();
        seen_filter = dialog->selectedNameFilter();
      }
      act(dialog);
    });
  }
  QString run(QString* selected) {
    return get_open_file_name(nullptr, "Open module footprint", start.path(),
                              kPrettyFilter + ";;" + kLegacyFilter, kGroup,
                              selected);
  }

  padscope::test::TempSettings settings;
  QTemporaryDir start;
  QTemporaryDir library;
  const QString old = QDir(library.path()).filePath("old.mod");
  QString seen_dir;
  QString seen_filter;
};

TEST_F(OpenFileDialogTest, AcceptStoresFolderFilterAndStateForNextTime) {
  QString selected;
  answer([this](QFileDialog* d) { choose_file(d, old, kLegacyFilter); });
  EXPECT_EQ(run(&selected), old);
  EXPECT_EQ(seen_dir, start.path());
  EXPECT_EQ(seen_filter, kPrettyFilter);
  EXPECT_EQ(selected, kLegacyFilter);
  QSettings stored;
  EXPECT_EQ(stored.value(kGroup + "/ldir").toString(), library.path());
  EXPECT_EQ(stored.value(kGroup + "/selectedfilter").toString(), kLegacyFilter);
  EXPECT_FALSE(stored.value(kGroup + "/state").toByteArray().isEmpty());

  QString again;
  answer(reject);
  EXPECT_EQ(run(&again), QString());
  EXPECT_EQ(seen_dir, library.path());
  EXPECT_EQ(seen_filter, kLegacyFilter);
}

TEST_F(OpenFileDialogTest, CancelWritesNothing) {
  QSettings().setValue(kGroup + "/ldir", start.path());
  QString selected = "untouched";
  answer([this](QFileDialog* dialog) {
    dialog->setDirectory(library.path());
    dialog->selectNameFilter(kLegacyFilter);
    dialog->reject();
  });
  EXPECT_EQ(run(&selected), QString());
  EXPECT_EQ(selected, "untouched");
  QSettings stored;
  EXPECT_EQ(stored.value(kGroup + "/ldir").toString(), start.path());
  EXPECT_FALSE(stored.contains(kGroup + "/selectedfilter"));
  EXPECT_FALSE(stored.contains(kGroup + "/state"));
}

TEST_F(OpenFileDialogTest, NullFilterPointerNeitherReadsNorWritesItsKey) {
  QSettings().setValue(kGroup + "/selectedfilter", kLegacyFilter);
  answer([this](QFileDialog* d) { choose_file(d, old, kPrettyFilter); });
  EXPECT_EQ(run(nullptr), old);
  EXPECT_EQ(seen_filter, kPrettyFilter);
  EXPECT_EQ(QSettings().value(kGroup + "/selectedfilter").toString(),
            kLegacyFilter);
}

}  // namespace
