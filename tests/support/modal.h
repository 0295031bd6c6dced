#pragma once

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QTimer>

#include <cstdio>
#include <functional>

namespace padscope::test {

// Answers the next modal dialog of type T: runs `act` on it once it is
// shown, and again at every tick while it stays open (a file dialog may
// still be reading its folder the first time). A dialog still open after
// ten seconds is rejected, so that a test fails instead of hanging.
template <typename T>
void answer_modal(std::function<void(T*)> act) {
  auto* timer = new QTimer;
  QObject::connect(timer, &QTimer::timeout, [timer, act, ticks = 0]() mutable {
    QWidget* modal = QApplication::activeModalWidget();
    if (++ticks <= 1000) {
      auto* dialog = qobject_cast<T*>(modal);
      if (!dialog) return;
      act(dialog);
      if (dialog->isVisible()) return;
    } else {
      std::fprintf(stderr, "answer_modal: gave up; the modal widget is %s\n",
                   modal ? modal->metaObject()->className() : "none");
      if (auto* stuck = qobject_cast<QDialog*>(modal)) stuck->reject();
    }
    timer->stop();
    timer->deleteLater();
  });
  timer->start(10);
}

// Accepts an open file dialog with `path` chosen under `filter`. The dialog
// ignores the choice while its name field has the focus, so that goes first.
inline void choose_file(QFileDialog* dialog, const QString& path,
                        const QString& filter) {
  dialog->setDirectory(QFileInfo(path).path());
  dialog->selectNameFilter(filter);
  if (QWidget* focused = dialog->focusWidget()) focused->clearFocus();
  dialog->selectFile(path);
  static_cast<QDialog*>(dialog)->accept();
}

}  // namespace padscope::test
