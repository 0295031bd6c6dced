// The window's commands: opening, stepping through files and modules,
// zoom and turn, comparing.
#include "apps/padscope/dialogs.h"
#include "apps/padscope/mainwindow.h"
#include "apps/padscope/open_file_dialog.h"
#include "apps/padscope/recent_files.h"
#include "ui_resource.h"
#include "zwidget/zviewer/compare_view.h"
#include "zwidget/zviewer/footprint_formats.h"
#include "zwidget/zviewer/obj_canvas.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMimeData>
#include <QStandardPaths>

#include <algorithm>
#include <exception>

namespace {

using zwidget::zcvpcb::footprint_formats;
using zwidget::zcvpcb::FootprintFormat;

// The open dialog's filter of one format, such as "Modules Files
// (*.kicad_mod)".
QString filter_of(const FootprintFormat& format) {
  return QStringLiteral("%1 (%2)").arg(MainWindow::tr(format.title),
                                       QString::fromUtf8(format.pattern));
}

QString documents_dir() {
  const QStringList dirs =
      QStandardPaths::standardLocations(QStandardPaths::DocumentsLocation);
  return dirs.isEmpty() ? QString() : dirs.first();
}

}  // namespace

bool MainWindow::open_path(const QString& path) {
  const QFileInfo info(path);
  QString file = path;
  if (info.isDir()) {
    file = navigator.first_in(path);
    if (file.isEmpty()) {
      show_load_message(
          tr("%1: no footprint file in the folder").arg(info.fileName()));
      return false;
    }
  } else if (!info.exists()) {
    show_load_message(tr("%1: no such file or folder").arg(info.fileName()));
    return false;
  }
  if (!show_path(file)) return false;
  recent->add(file);
  return true;
}

void MainWindow::open_footprint(const QString& path, int module) {
  if (path != fileName || canvas->module_count() <= 1) {
    if (!show_path(path)) return;
    recent->add(path);
  }
  if (module >= 0 && canvas->module_index() != module &&
      canvas->show_module(module))
    footprint_shown();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (!urls.isEmpty() && urls.first().isLocalFile())
    event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (urls.isEmpty() || !urls.first().isLocalFile()) return;
  event->acceptProposedAction();
  open_path(urls.first().toLocalFile());
}

void MainWindow::open() {
  QStringList patterns, filters;
  for (const FootprintFormat& format : footprint_formats()) {
    patterns << QString::fromUtf8(format.pattern);
    filters << filter_of(format);
  }
  // Only what the dialog lists: the file itself tells its reader.
  filters.prepend(tr("All footprints (%1)").arg(patterns.join(' ')));
  QString selected_filter;
  const QString path = get_open_file_name(
      this, tr("Open module footprint"), documents_dir(), filters.join(";;"),
      tr("dialog/load/config"), &selected_filter);
  fileName = path;
  if (!path.isEmpty() && show_path(path)) recent->add(path);
}

void MainWindow::prev() {
  // Through the modules of an open library first, then to the last module
  // of the previous file.
  if (canvas->module_count() > 1 && canvas->module_index() > 0) {
    canvas->show_module(canvas->module_index() - 1);
    footprint_shown();
    return;
  }
  show_path(navigator.prev());
  if (canvas->module_count() > 1) {
    canvas->show_module(canvas->module_count() - 1);
    footprint_shown();
  }
}

void MainWindow::next() {
  if (canvas->module_count() > 1 &&
      canvas->module_index() + 1 < canvas->module_count()) {
    canvas->show_module(canvas->module_index() + 1);
    footprint_shown();
    return;
  }
  show_path(navigator.next());
}

void MainWindow::up() {
  const QString library = navigator.prev_library();
  if (!library.isEmpty()) show_path(library);
}

void MainWindow::down() {
  const QString library = navigator.next_library();
  if (!library.isEmpty()) show_path(library);
}

void MainWindow::scale_plus() {
  canvas->scale(zoom_factor);
}

void MainWindow::scale_minus() {
  canvas->scale(1.0 / zoom_factor);
}

void MainWindow::scale_fill() {
  canvas->fit();
}

void MainWindow::rotate_original() {
  canvas->angle = 0;
  canvas->rotate(0.0);
}

void MainWindow::rotate_p90() {
  canvas->rotate(90.0);
}

void MainWindow::rotate_m90() {
  canvas->rotate(-90.0);
}

void MainWindow::rotate_180() {
  canvas->rotate(180.0);
}

void MainWindow::rotate_any() {
  RotateAnyDlg dialog(nullptr);
  if (dialog.exec()) canvas->rotate(dialog.angle());
}

void MainWindow::help_about() {
  AboutDlg dialog(nullptr);
  dialog.exec();
}

void MainWindow::compare_with() {
  if (fileName.isEmpty() || canvas->scene() == nullptr) {
    show_load_message(tr("Open a footprint first, then compare it."));
    return;
  }
  QStringList patterns;
  for (const FootprintFormat& format : footprint_formats())
    patterns << QString::fromUtf8(format.pattern);
  const QString other = get_open_file_name(
      this, tr("Compare with"), QFileInfo(fileName).absolutePath(),
      tr("All footprints (%1)").arg(patterns.join(' ')),
      tr("dialog/compare/config"));
  if (!other.isEmpty())
    compare_footprints(fileName, std::max(0, canvas->module_index()), other);
}

bool MainWindow::compare_paths(const QString& before, const QString& after) {
  return compare_footprints(before, 0, after);
}

bool MainWindow::compare_footprints(const QString& before, int module,
                                    const QString& after) {
  using zwidget::zcvpcb::read_footprint;
  QString failure;
  QString failed = before;
  try {
    std::shared_ptr<zcore::BaseModel> old_model =
        read_footprint(before, module);
    failed = after;
    std::shared_ptr<zcore::BaseModel> new_model = read_footprint(after);
    if (!compare_window) {
      compare_window = new zwidget::zcvpcb::CompareView(this);
      compare_window->setWindowFlag(Qt::Window);
      compare_window->resize(1100, 700);
    }
    failed.clear();
    compare_window->compare(old_model, QFileInfo(before).fileName(), new_model,
                            QFileInfo(after).fileName());
  } catch (const std::exception& error) {
    failure = QString::fromLocal8Bit(error.what());
  }
  if (!failure.isEmpty()) {
    show_load_message(
        failed.isEmpty()
            ? tr("Cannot compare: %1").arg(failure)
            : tr("%1: %2").arg(QFileInfo(failed).fileName(), failure));
    return false;
  }
  compare_window->setWindowTitle(
      tr("Compare: %1 and %2")
          .arg(QFileInfo(before).fileName(), QFileInfo(after).fileName()));
  compare_window->show();
  compare_window->raise();
  compare_window->activateWindow();
  return true;
}
