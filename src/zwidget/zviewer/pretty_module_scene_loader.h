#pragma once

#include "zwidget/zgraph/pad_item.h"
#include "zwidget/zviewer/zscene.h"

#include <QBrush>

namespace zcore {
class basenode;
class nodeview;
}  // namespace zcore

namespace zwidget::zcvpcb {

// Creates the items of a `.kicad_mod` tree: outlines and pads first, texts
// last, so that texts stack on top.
class ZPrettyModuleSceneLoader : public ZSceneLoader {
public:
  ZPrettyModuleSceneLoader(ZScene* scene, const zcore::basenode* root);
  void load() override;

private:
  void add_element(const zcore::basenode* node);
  void add_text(const zcore::basenode* node);
  // The layer colour for a solid fill, no brush otherwise.
  QBrush fill_of(const zcore::nodeview& view) const;
  // Counts the primitives it cannot draw.
  zgraph::PadShapeOptions pad_options(const zcore::nodeview& view);

  const zcore::basenode* root;
};

}  // namespace zwidget::zcvpcb
