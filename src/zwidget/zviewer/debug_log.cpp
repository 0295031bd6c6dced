#include "zwidget/zviewer/debug_log.h"

namespace zwidget::zcvpcb {

Q_LOGGING_CATEGORY(grid_log, "padscope.grid", QtInfoMsg)
Q_LOGGING_CATEGORY(loader_log, "padscope.loader", QtInfoMsg)
Q_LOGGING_CATEGORY(panel_log, "padscope.panel", QtInfoMsg)

}  // namespace zwidget::zcvpcb
