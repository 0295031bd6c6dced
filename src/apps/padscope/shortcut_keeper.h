#pragma once

#include <QObject>

class QKeyEvent;
class QWidget;

// Makes the shortcuts of a window's actions win over the widget with the
// focus: a line edit claims Ctrl+Left, Ctrl+Right and Ctrl+E for its own
// cursor, and a text browser claims its navigation keys, so that the
// window's commands seemed dead while the library's filter had the focus.
// Keys that type or edit text stay the widget's: plain characters, Space,
// copy, cut, paste, undo and select-all.
class ShortcutKeeper : public QObject {
public:
  // Watches the key events of every widget of `window`; installed on the
  // application, since shortcut overrides go straight to the focus widget.
  explicit ShortcutKeeper(QWidget* window);
  ~ShortcutKeeper() override;

  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  // Whether `key` triggers a shortcut of one of the window's actions.
  bool is_window_shortcut(const QKeyEvent& key) const;

  QWidget* window;
};
