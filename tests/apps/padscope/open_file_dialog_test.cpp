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

using namespace padscope::test;

const QString kGroup = "dialog/load/config";
const QString kPrettyFilter = "Modules Files (*.kicad_mod)";
const QString kLegacyFilter = "Legacy modules Files (*.mod)";

class OpenFileDialogTest : public testing::Test {
protected:
  void SetUp() override { QFile(old).open(QIODevice::WriteOnly); }

  // Answers the next dialog with `act`, noting its folder and filter as
  // first shown.
  void answer(std::function<void(QFileDialog*)> act) {
    seen_dir.clear();
    answer_modal<QFileDialog>([this, act](QFileDialog* dialog) {
      if (seen_dir.isEmpty()) {
        seen_dir = dialog->directory().path();
        seen_filter = dialog->selectedNameFilter();
      }
      act(dialog);
    });
  }
  static QVariant stored(const QString& key) {
    return QSettings().value(kGroup + key);
  }
  QString run(QString* selected) {
    return get_open_file_name(nullptr, "Open module footprint", start.path(),
                              kPrettyFilter + ";;" + kLegacyFilter, kGroup,
                              selected);
  }

  TempSettings settings;
  QTemporaryDir start;
  QTemporaryDir library;
  const QString old = QDir(library.path()).filePath("old.mod");
  QString seen_dir;
  QString seen_filter;
};

TEST_F(OpenFileDialogTest, AcceptStoresFolderFilterAndStateCancelNothing) {
  QString selected;
  answer([this](QFileDialog* d) { choose_file(d, old, kLegacyFilter); });
  EXPECT_EQ(run(&selected), old);
  EXPECT_EQ(seen_dir, start.path());
  EXPECT_EQ(seen_filter, kPrettyFilter);
  EXPECT_EQ(selected, kLegacyFilter);
  EXPECT_EQ(stored("/ldir"), library.path());
  EXPECT_EQ(stored("/selectedfilter"), kLegacyFilter);
  EXPECT_FALSE(stored("/state").toByteArray().isEmpty());

  // The next dialog opens where this one ended; cancelled, it writes nothing.
  QSettings().remove(kGroup + "/state");
  QString again;
  answer([this](QFileDialog* dialog) {
    dialog->setDirectory(start.path());
    dialog->selectNameFilter(kPrettyFilter);
    dialog->reject();
  });
  EXPECT_EQ(run(&again), QString());
  EXPECT_EQ(seen_dir, library.path());
  EXPECT_EQ(seen_filter, kLegacyFilter);
  EXPECT_EQ(again, QString());
  EXPECT_EQ(stored("/ldir"), library.path());
  EXPECT_EQ(stored("/selectedfilter"), kLegacyFilter);
  EXPECT_FALSE(stored("/state").isValid());
}

TEST_F(OpenFileDialogTest, NullFilterPointerNeitherReadsNorWritesItsKey) {
  QSettings().setValue(kGroup + "/selectedfilter", kLegacyFilter);
  answer([this](QFileDialog* d) { choose_file(d, old, kPrettyFilter); });
  EXPECT_EQ(run(nullptr), old);
  EXPECT_EQ(seen_filter, kPrettyFilter);
  EXPECT_EQ(stored("/selectedfilter"), kLegacyFilter);
}

}  // namespace
