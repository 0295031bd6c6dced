#pragma once

#include <QObject>
#include <QStringList>

class QMenu;

// The last files opened, newest first, kept in the settings group "recent";
// a menu lists them and greys those that are gone.
class RecentFiles : public QObject {
  Q_OBJECT

public:
  static constexpr int kLimit = 10;

  // Fills `menu` each time it is about to show.
  explicit RecentFiles(QMenu* menu);

  QStringList files() const;
  // Moves `path` to the front, dropping the oldest past the limit.
  void add(const QString& path);

signals:
  void open_requested(const QString& path);

private:
  void fill();

  QMenu* menu;
};
