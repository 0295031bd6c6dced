#include "zwidget/zviewer/mine_enum.h"

#include "zcore/footprint_format.h"

#include <QFileInfo>

void MineEnum::add(const QString& pattern, const QString& parser) {
  entries.push_back({pattern.toStdString(), parser, pattern});
}

QString MineEnum::parser_for(const QString& path) const {
  const std::string name = QFileInfo(path).fileName().toStdString();
  for (const Entry& entry : entries) {
    if (zcore::wildcard_match(entry.matcher, name)) return entry.parser;
  }
  return QString();
}
