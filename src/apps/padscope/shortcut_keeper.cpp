#include "apps/padscope/shortcut_keeper.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QWidget>

namespace {

// What editing a text field needs, whatever the window binds them to.
bool is_text_key(const QKeyEvent& key) {
  const Qt::KeyboardModifiers commands =
      key.modifiers() &
      (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
  if (!commands) return true;
  for (QKeySequence::StandardKey standard :
       {QKeySequence::Copy, QKeySequence::Cut, QKeySequence::Paste,
        QKeySequence::Undo, QKeySequence::Redo, QKeySequence::SelectAll,
        QKeySequence::DeleteStartOfWord, QKeySequence::DeleteEndOfWord})
    if (key.matches(standard)) return true;
  return false;
}

}  // namespace

ShortcutKeeper::ShortcutKeeper(QWidget* window)
    : QObject(window), window(window) {
  qApp->installEventFilter(this);
}

ShortcutKeeper::~ShortcutKeeper() {
  qApp->removeEventFilter(this);
}

bool ShortcutKeeper::is_window_shortcut(const QKeyEvent& key) const {
  const Qt::KeyboardModifiers modifiers = key.modifiers() & ~Qt::KeypadModifier;
  // Ctrl++ is typed with Shift on most layouts; Qt's shortcut map tries the
  // key without it as well.
  const QKeySequence typed(key.key() | modifiers);
  const QKeySequence unshifted(key.key() | (modifiers & ~Qt::ShiftModifier));
  for (const QAction* action : window->findChildren<QAction*>()) {
    if (!action->isEnabled()) continue;
    for (const QKeySequence& shortcut : action->shortcuts())
      if (shortcut == typed || shortcut == unshifted) return true;
  }
  return false;
}

bool ShortcutKeeper::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::ShortcutOverride || !watched->isWidgetType())
    return false;
  auto* widget = static_cast<QWidget*>(watched);
  const auto* key = static_cast<QKeyEvent*>(event);
  if (widget->window() != window->window() || is_text_key(*key) ||
      !is_window_shortcut(*key))
    return false;
  // Not overridden: the shortcut map goes on to the window's action.
  event->ignore();
  return true;
}
