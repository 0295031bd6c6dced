#include "zwidget/zviewer/mine_enum.h"

#include <QFileInfo>

void MineEnum::add(const QString& pattern, const QString& parser) {
  entries.push_back({QRegExp(pattern, Qt::CaseSensitive, QRegExp::Wildcard),
                     parser, pattern});
}

QString MineEnum::parser_for(const QString& path) const {
  const QString name = QFileInfo(path).fileName();
  for (const Entry& entry : entries) {
    if (entry.matcher.exactMatch(name)) return entry.parser;
  }
  return QString();
}
