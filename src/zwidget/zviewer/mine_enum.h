#pragma once

#include <QString>

#include <string>
#include <vector>

// Maps a file's name to the name of the parser that reads it, by wildcard
// patterns tried in the order they were added; the patterns match as the
// model layer's format table matches them (zcore::wildcard_match).
class MineEnum {
public:
  struct Entry {
    // The pattern in UTF-8, as the model layer matches file names.
    std::string matcher;
    QString parser;
    QString pattern;
  };

  virtual ~MineEnum() = default;

  // Appends a row; `*`, `?` and `[...]` are wildcards, letter case counts.
  void add(const QString& pattern, const QString& parser);
  // The parser of the first row matching the whole file name of `path`, or
  // an empty string.
  QString parser_for(const QString& path) const;

private:
  std::vector<Entry> entries;
};
