#pragma once

#include "zwidget/zviewer/zscene.h"

namespace zcore {
class basenode;
}

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

  const zcore::basenode* root;
};

}  // namespace zwidget::zcvpcb
