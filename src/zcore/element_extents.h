#pragma once

#include "zcore/basenode.h"
#include "zcore/footprint_facts.h"
#include "zcore/shape_extents.h"

// The extents of a footprint's elements as the files write them.
namespace zcore {

// The children of a graphic shape that give its extent.
struct shape_parts {
  const basenode *start = nullptr, *mid = nullptr, *end = nullptr,
                 *center = nullptr, *angle = nullptr, *pts = nullptr,
                 *width = nullptr, *stroke = nullptr, *layer = nullptr;

  explicit shape_parts(const basenode* node);
  // `(width W)`, or `(stroke (width W) ...)` from KiCad 7 on.
  double line_width() const;
};

// A graphic shape, footprint-level (fp_*) or a custom pad's primitive
// (gr_*), in its own coordinates; false for another kind of element.
bool add_graphic_extent(const basenode* node, const shape_parts& parts,
                        extent_builder& extent, double radius);

// The pad's copper and hole in footprint coordinates. A custom pad's
// primitives come from its node; legacy pads have none.
void add_pad_extent(const pad_facts& pad, const basenode* node,
                    extent_builder& extent);

}  // namespace zcore
