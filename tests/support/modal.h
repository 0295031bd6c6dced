#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace padscope::test {

// Answers the next modal dialog of type T: runs `act` on it once it is
// shown, and again at every tick while it stays open (a file dialog may
// still be reading its folder the first time).
template <typename T>
void answer_modal(std::function<void(T*)> act) {
  auto* timer = new QTimer;
  QObject::connect(timer, &QTimer::timeout, [timer, act]() {
    auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
    if (!dialog) return;
    act(dialog);
    if (!dialog->isVisible()) {
      timer->stop();
      timer->deleteLater();
    }
  });
  timer->start(10);
}

}  // namespace padscope::test
