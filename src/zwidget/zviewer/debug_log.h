#pragma once

#include <QLoggingCategory>

namespace zwidget::zcvpcb {

// The viewer's debug output, off unless enabled by a logging rule such as
// QT_LOGGING_RULES="padscope.grid.debug=true" ("padscope.*.debug=true" for
// all): a line per grid paint and the scene loaders' trace lines on the
// standard output, the property page's template and HTML on the standard
// error stream.
Q_DECLARE_LOGGING_CATEGORY(grid_log)
Q_DECLARE_LOGGING_CATEGORY(loader_log)
Q_DECLARE_LOGGING_CATEGORY(panel_log)

}  // namespace zwidget::zcvpcb
