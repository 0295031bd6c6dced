#pragma once

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QTimer>
#include <QWidget>

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
  auto* ticks = new int(0);
  QObject::connect(timer, &QTimer::timeout, [timer, ticks, act]() {
    QWidget* modal = QApplication::activeModalWidget();
    auto* dialog = qobject_cast<T*>(modal);
    if (++*ticks > 1000) {
      std::fprintf(stderr, "answer_modal: gave up; the modal widget is %s\n",
                   modal ? modal->metaObject()->className() : "none");
      if (auto* stuck = qobject_cast<QDialog*>(modal)) stuck->reject();
      dialog = nullptr;
    } else if (dialog) {
      act(dialog);
    }
    if (*ticks > 1000 || (dialog && !dialog->isVisible())) {
      timer->stop();
      timer->deleteLater();
      delete ticks;
    }
  });
  timer->start(10);
}

// Chooses a file in an open file dialog. The dialog ignores the choice
// while its name field has the focus, so the focus is taken away first.
inline void choose_file(QFileDialog* dialog, const QString& path) {
  if (QWidget* focused = dialog->focusWidget()) focused->clearFocus();
  dialog->selectFile(path);
}

}  // namespace padscope::test
