#pragma once

#include "zcore/models.h"

#include <gtest/gtest.h>

#include <QStringList>
#include <QTextBrowser>
#include <QWidget>

#include <memory>
#include <sstream>
#include <string>

namespace padscope::test {

inline QTextBrowser* page_browser(const QWidget& panel) {
  return panel.findChild<QTextBrowser*>("textBrowser");
}

// The page as the user reads it: one line per paragraph or list item.
inline QStringList page_lines(const QWidget& panel) {
  return page_browser(panel)->toPlainText().split('\n');
}

// Succeeds when each of `rows` is a whole line of the page.
inline testing::AssertionResult has_rows(const QWidget& panel,
                                         const QStringList& rows) {
  const QStringList lines = page_lines(panel);
  for (const QString& row : rows) {
    if (!lines.contains(row))
      return testing::AssertionFailure()
             << "no row \"" << row.toStdString() << "\" in:\n"
             << lines.join('\n').toStdString();
  }
  return testing::AssertionSuccess();
}

inline std::shared_ptr<zcore::S_Model> pretty_model(const std::string& text) {
  auto model = std::make_shared<zcore::S_Model>("module_parser");
  std::istringstream in(text);
  model->load(in);
  return model;
}

}  // namespace padscope::test
