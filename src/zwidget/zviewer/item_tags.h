#pragma once

#include "zwidget/zviewer/layer_stack.h"

#include <QGraphicsItem>

namespace zwidget::zcvpcb {

// The file's element behind an item, so that the viewer finds it from what
// is drawn; the items themselves know nothing of the model. The index of a
// `.kicad_mod` footprint's child list, or of a legacy module's record; -1
// for an item without one.
inline int element_of(const QGraphicsItem* item) {
  return marks_of(*item).element;
}

// For a pad, and the rim of its hole: the pad's place among the
// footprint's pads, in file order; -1 for any other item.
inline int pad_of(const QGraphicsItem* item) {
  return marks_of(*item).pad;
}

}  // namespace zwidget::zcvpcb
