#include "apps/padscope/open_file_dialog.h"

#include "apps/padscope/stored_state.h"

#include <QDebug>
#include <QFileDialog>
#include <QSettings>
#include <QUrl>

QString get_open_file_name(QWidget* parent, const QString& caption,
                           const QString& dir, const QString& filter,
                           const QString& group, QString* selected_filter) {
  const QString state_key = group + QObject::tr("/state");
  const QString filter_key = group + QObject::tr("/selectedfilter");
  const QString dir_key = group + QObject::tr("/ldir");

  QFileDialog dialog(parent, caption, QString(), filter);
  dialog.setSupportedSchemes(QStringList(QStringLiteral("file")));

  QSettings settings;
  const QVariant state = settings.value(state_key);
  if (state.isValid()) {
    if (state.userType() != QMetaType::QByteArray ||
        !is_sound_file_dialog_state(state.toByteArray()) ||
        !dialog.restoreState(state.toByteArray())) {
      qDebug() << "Discarding the stored state of the open dialog, a"
               << state.typeName();
      settings.remove(state_key);
    }
  }
  if (selected_filter)
    dialog.selectNameFilter(settings.value(filter_key).toString());
  // After the state, so the stored folder wins over the one inside it.
  const QVariant last_dir = settings.value(dir_key);
  dialog.setDirectory(last_dir.isValid() ? last_dir.toString() : dir);
  if (selected_filter && !selected_filter->isEmpty())
    dialog.selectNameFilter(*selected_filter);

  if (dialog.exec() != QDialog::Accepted) return QString();

  if (selected_filter) {
    *selected_filter = dialog.selectedNameFilter();
    settings.setValue(filter_key, *selected_filter);
  }
  settings.setValue(state_key, dialog.saveState());
  settings.setValue(dir_key, dialog.directory().path());

  const QList<QUrl> urls = dialog.selectedUrls();
  return urls.isEmpty() ? QString() : urls.first().toLocalFile();
}
