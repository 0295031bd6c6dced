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

  // Without a place for the filter its key is neither read nor written.
  answer([this](QFileDialog* d) { choose_file(d, old, kPrettyFilter); });
  EXPECT_EQ(run(nullptr), old);
  EXPECT_EQ(seen_filter, kPrettyFilter);
  EXPECT_EQ(stored("/selectedfilter"), kLegacyFilter);
}

// A state that would make Qt reserve 2^31-1 elements is dropped; a sound
// one brings the history back.
TEST_F(OpenFileDialogTest, StoredStateIsRestoredOnlyWhenSound) {
  answer([this](QFileDialog* d) { choose_file(d, old, kPrettyFilter); });
  ASSERT_EQ(run(nullptr), old);
  QByteArray crafted = stored("/state").toByteArray();
  QStringList history;
  answer([&history](QFileDialog* dialog) {
    history = dialog->history();
    dialog->reject();
  });
  run(nullptr);
  EXPECT_TRUE(history.contains(library.path()))
      << history.join(", ").toStdString();

  // The header of the detail view, its list of visual indices.
  const int header =
      crafted.indexOf(QByteArray::fromHex("000000ff0000000000000001"));
  ASSERT_GT(header, 0);
  crafted.replace(header + 21, 4, QByteArray::fromHex("7fffffff"));
  for (const QVariant& state :
       {QVariant(crafted), QVariant(QString("state")),
        QVariant(QByteArray::fromHex("000000be00000004000000007fffffff"))}) {
    QSettings().setValue(kGroup + "/state", state);
    answer([](QFileDialog* dialog) { dialog->reject(); });
    EXPECT_EQ(run(nullptr), QString());
    EXPECT_FALSE(stored("/state").isValid());
  }
}

}  // namespace
