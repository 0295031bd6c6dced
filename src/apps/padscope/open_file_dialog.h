#pragma once

#include <QString>

class QWidget;

// Asks for a file to open with a dialog that remembers, under the settings
// group, its state, the chosen filter (when `selected_filter` is given) and
// the last folder. Returns the chosen local path, or an empty string when
// the user cancels; a cancel writes nothing.
QString get_open_file_name(QWidget* parent, const QString& caption,
                           const QString& dir, const QString& filter,
                           const QString& group,
                           QString* selected_filter = nullptr);
