#pragma once

#include <QRect>
#include <QSize>

namespace padscope {

// The 900 x 700 start-up geometry centred on a screen of the given size.
// The halves truncate toward zero, and a screen smaller than the window
// gives negative coordinates, used as they are.
QRect centred_geometry(const QSize& screen);

}  // namespace padscope
