#include "apps/padscope/zintent.h"

namespace zwidget::zaux {

// Not shown here: showing a widget without a parent would flash a top-level
// window. The status bar shows the gap when it adopts it.
ZIntent::ZIntent(int width) : QWidget(nullptr) {
  setFixedWidth(width);
}

}  // namespace zwidget::zaux
