#pragma once

#include <string>

class QGraphicsItem;

namespace zwidget::zgraph {

// The kind of one of this program's items: "line", "arc", "circle",
// "curve", "polygon", "pad", "hole", "text", "zone" or
// "dimension"; "other" for any
// other item.
std::string kind_of(const QGraphicsItem* item);

}  // namespace zwidget::zgraph
