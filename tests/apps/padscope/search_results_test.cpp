#include "apps/padscope/search_results.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QStandardItemModel>
#include <QTreeView>

namespace {

TEST(SearchResults, ElidedNamesKeepTheirEndsAndMapBack) {
  const QString name = "PinHeader_2x24_P2.54mm_Vertical_SMD";
  std::vector<int> same(name.size());
  for (int i = 0; i < name.size(); ++i) same[i] = i;
  EXPECT_EQ(elided_origins(name, name), same);
  const QString shown = "PinH" + QString(QChar(0x2026)) + "_SMD";
  const int n = name.size();
  EXPECT_EQ(elided_origins(name, shown),
            (std::vector<int>{0, 1, 2, 3, -1, n - 4, n - 3, n - 2, n - 1}));
}

// The columns of pixels in `image` tinted with the highlight, as ranges.
std::vector<std::pair<int, int>> tinted_columns(const QImage& image,
                                                QRgb background) {
  std::vector<std::pair<int, int>> runs;
  const int y = 2;  // above the letters
  for (int x = 0; x < image.width(); ++x) {
    if (image.pixel(x, y) == background) continue;
    if (!runs.empty() && runs.back().second == x) {
      ++runs.back().second;
    } else {
      runs.emplace_back(x, x + 1);
    }
  }
  return runs;
}

TEST(SearchResults, TheMatchedCharactersAreUnderlaidWhereTheyAreDrawn) {
  QStandardItemModel model(1, 1);
  const QString name = "DIP-8_W7.62mm";
  model.setData(model.index(0, 0), name);
  model.setData(model.index(0, 0), QVariantList{QPoint(0, 3), QPoint(6, 8)},
                SearchResultsModel::matches_role);
  QTreeView view;
  view.setModel(&model);
  view.setItemDelegate(new MatchDelegate(&view));
  view.setHeaderHidden(true);
  view.resize(300, 100);
  view.setAttribute(Qt::WA_DontShowOnScreen);
  view.show();
  const QRect row = view.visualRect(model.index(0, 0));
  const QImage image = view.viewport()->grab(row).toImage();
  const QRgb background = image.pixel(image.width() - 1, 2);
  const auto runs = tinted_columns(image, background);
  ASSERT_EQ(runs.size(), 2u);
  const QFontMetrics metrics(view.font());
  EXPECT_NEAR(runs[0].second - runs[0].first, metrics.horizontalAdvance("DIP"),
              1);
  EXPECT_NEAR(runs[1].first - runs[0].first,
              metrics.horizontalAdvance("DIP-8_"), 1);
  EXPECT_NEAR(runs[1].second - runs[1].first, metrics.horizontalAdvance("W7"),
              1);
}

}  // namespace
