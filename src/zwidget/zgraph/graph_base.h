#pragma once

namespace zwidget::zgraph {

// Marks the graphics items that are this program's own; nothing reads it.
class GraphBase {};

}  // namespace zwidget::zgraph
