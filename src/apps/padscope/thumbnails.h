#pragma once

#include <QAbstractListModel>
#include <QSize>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class QProcess;
class QTemporaryDir;

// One footprint of the grid: a file, or a module of a legacy library.
struct Thumbnail {
  QString name;
  QString path;
  // The module's position in a legacy library; -1 for a file.
  int module = -1;
};

// Footprints as pictures with their names under them. The pictures are
// drawn by the render tool, run in the background over the footprints
// missing from the cache, and kept in the cache folder beside the index;
// they are read as rows come into view, through Qt's bounded pixmap cache,
// so that a library of thousands costs the memory of what is seen.
class ThumbnailModel : public QAbstractListModel {
  Q_OBJECT

public:
  enum Role { path_role = Qt::UserRole, module_role };
  static constexpr QSize kSize{160, 120};
  static constexpr int kMargin = 4;

  explicit ThumbnailModel(QObject* parent = nullptr);
  ~ThumbnailModel() override;

  // Shows these footprints, and renders those not in the cache.
  void set_footprints(std::vector<Thumbnail> footprints);
  // The render tool to run; found beside the program by default.
  void set_program(const QString& program) { program_ = program; }
  // The folder the pictures are kept in; the cache folder's by default.
  void set_folder(const QString& folder) { folder_ = folder; }
  bool rendering() const { return process != nullptr; }
  // The picture file of a footprint, whether it exists or not.
  QString picture_file(const QString& path, const QString& module_name) const;
  // The render tool's arguments over `files`, absolute paths, writing
  // into `output`.
  static QStringList arguments(const QStringList& files, const QString& output);

  int rowCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;

signals:
  // The pictures of a run are in the cache, or the run failed.
  void rendered();

private:
  void render_missing();
  void take_results(const QString& output);
  QString module_name(const Thumbnail& footprint) const;

  std::vector<Thumbnail> footprints;
  QString program_;
  QString folder_;
  QProcess* process = nullptr;
  std::unique_ptr<QTemporaryDir> output;
  // Set when the footprints changed while a run was going on.
  bool stale = false;
};
