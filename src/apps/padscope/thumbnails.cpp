#include "apps/padscope/thumbnails.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPixmap>
#include <QPixmapCache>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <set>

namespace {

const QString kReport = QStringLiteral("report.json");

// The render tool beside this program, installed or in the build tree,
// else on the search path.
QString default_program() {
  const QString dir = QCoreApplication::applicationDirPath();
  for (const QString& candidate :
       {dir + "/padscope-render",
        dir + "/../padscope-render/padscope-render"}) {
    if (QFileInfo(candidate).isExecutable()) return candidate;
  }
  return QStandardPaths::findExecutable("padscope-render");
}

// The name with a break allowed after each separator, so that it wraps
// under its picture whole: the variants of a footprint differ anywhere.
QString breakable(QString name) {
  for (int i = name.size() - 1; i >= 0; --i) {
    if (name[i] == '_' || name[i] == '-' || name[i] == '.')
      name.insert(i + 1, QChar(0x200b));
  }
  return name;
}

}  // namespace

ThumbnailModel::ThumbnailModel(QObject* parent)
    : QAbstractListModel(parent),
      program_(default_program()),
      folder_(QStandardPaths::writableLocation(QStandardPaths::CacheLocation) +
              "/thumbnails") {
}

ThumbnailModel::~ThumbnailModel() {
  if (process) {
    process->disconnect(this);
    process->kill();
    process->waitForFinished(2000);
  }
}

QStringList ThumbnailModel::arguments(const QStringList& files,
                                      const QString& output) {
  return QStringList{
             "-o",
             output,
             "-s",
             QStringLiteral("%1x%2").arg(kSize.width()).arg(kSize.height()),
             "-m",
             QString::number(kMargin),
             "--report",
             output + "/" + kReport} +
         files;
}

QString ThumbnailModel::picture_file(const QString& path,
                                     const QString& module_name) const {
  // A changed file gets a new picture: its time and size are in the key.
  const QFileInfo file(path);
  const QByteArray key =
      (file.absoluteFilePath() + '\n' + module_name + '\n' +
       QString::number(file.lastModified().toMSecsSinceEpoch()) + '\n' +
       QString::number(file.size()))
          .toUtf8();
  return folder_ + "/" +
         QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex() +
         ".png";
}

QString ThumbnailModel::module_name(const Thumbnail& footprint) const {
  return footprint.module >= 0 ? footprint.name : QString();
}

void ThumbnailModel::set_footprints(std::vector<Thumbnail> next) {
  beginResetModel();
  footprints = std::move(next);
  endResetModel();
  if (process) {
    stale = true;
  } else {
    render_missing();
  }
}

void ThumbnailModel::render_missing() {
  stale = false;
  std::set<QString> files;
  for (const Thumbnail& footprint : footprints) {
    if (!QFileInfo::exists(
            picture_file(footprint.path, module_name(footprint))))
      files.insert(QFileInfo(footprint.path).absoluteFilePath());
  }
  if (files.empty() || program_.isEmpty()) return;
  if (!QDir().mkpath(folder_)) return;
  output = std::make_unique<QTemporaryDir>(folder_ + "/run-XXXXXX");
  if (!output->isValid()) return;
  process = new QProcess(this);
  process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
  process->setStandardOutputFile(QProcess::nullDevice());
  connect(process, qOverload<int, QProcess::ExitStatus>(&QProcess::finished),
          this, [this] {
            process->deleteLater();
            process = nullptr;
            take_results(output->path());
            output.reset();
            emit dataChanged(index(0), index(rowCount() - 1));
            emit rendered();
            if (stale) render_missing();
          });
  connect(process, &QProcess::errorOccurred, this,
          [this](QProcess::ProcessError error) {
            if (error != QProcess::FailedToStart) return;
            process->deleteLater();
            process = nullptr;
            output.reset();
            emit rendered();
          });
  process->start(program_, arguments(QStringList(files.begin(), files.end()),
                                     output->path()));
}

void ThumbnailModel::take_results(const QString& output_dir) {
  QFile report(output_dir + "/" + kReport);
  if (!report.open(QIODevice::ReadOnly)) return;
  const QJsonArray results =
      QJsonDocument::fromJson(report.readAll()).object()["results"].toArray();
  std::set<QString> seen;
  for (const QJsonValue& value : results) {
    const QJsonObject result = value.toObject();
    if (result["status"].toString() != "ok") continue;
    const QString file = result["file"].toString();
    const QString picture = result["output"].toString();
    // A legacy library listed as a file shows its first module.
    const bool first = seen.insert(file).second;
    if (first) {
      QFile::remove(picture_file(file, QString()));
      QFile::copy(picture, picture_file(file, QString()));
    }
    if (file.endsWith(".kicad_mod")) continue;
    const QString target = picture_file(file, result["module"].toString());
    QFile::remove(target);
    QFile::rename(picture, target);
  }
}

int ThumbnailModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(footprints.size());
}

QVariant ThumbnailModel::data(const QModelIndex& at, int role) const {
  if (!at.isValid() || at.row() >= rowCount()) return {};
  const Thumbnail& footprint = footprints[at.row()];
  switch (role) {
    case Qt::DisplayRole:
      return breakable(footprint.name);
    case Qt::ToolTipRole:
      return footprint.name;
    case path_role:
      return footprint.path;
    case module_role:
      return footprint.module;
    case Qt::DecorationRole: {
      const QString file = picture_file(footprint.path, module_name(footprint));
      QPixmap picture;
      if (!QPixmapCache::find(file, &picture)) {
        if (!picture.load(file)) {
          // A blank of the same size until the picture is drawn.
          picture = QPixmap(kSize);
          picture.fill(Qt::black);
          return picture;
        }
        QPixmapCache::insert(file, picture);
      }
      return picture;
    }
  }
  return {};
}
