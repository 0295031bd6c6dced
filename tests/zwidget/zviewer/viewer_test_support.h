#pragma once

#include "zcore/legacy_model.h"
#include "zcore/models.h"
#include "zwidget/zgraph/arc_item.h"
#include "zwidget/zgraph/circle_item.h"
#include "zwidget/zgraph/curve_item.h"
#include "zwidget/zgraph/line_item.h"
#include "zwidget/zgraph/pad_item.h"
#include "zwidget/zgraph/polygon_item.h"
#include "zwidget/zgraph/text_item.h"
#include "zwidget/zviewer/legacy_module_scene_loader.h"
#include "zwidget/zviewer/pretty_module_scene_loader.h"
#include "zwidget/zviewer/zscene.h"

#include <iostream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace zwidget::zcvpcb::test {

// Collects what is written to std::cout while it lives.
class CoutCapture {
public:
  CoutCapture() : saved(std::cout.rdbuf(text.rdbuf())) {}
  ~CoutCapture() { std::cout.rdbuf(saved); }
  std::string str() const { return text.str(); }

private:
  std::ostringstream text;
  std::streambuf* saved;
};

inline std::string kind_of(const QGraphicsItem* item) {
  using namespace zgraph;
  if (dynamic_cast<const GraphicsLineItem*>(item)) return "line";
  if (dynamic_cast<const GraphicsArcItem*>(item)) return "arc";
  if (dynamic_cast<const GraphicsCircleItem*>(item)) return "circle";
  if (dynamic_cast<const GraphicsPolygonItem*>(item)) return "polygon";
  if (dynamic_cast<const GraphicsCurveItem*>(item)) return "curve";
  if (dynamic_cast<const GraphicsPadItem*>(item)) return "pad";
  if (dynamic_cast<const GraphicsTextItem*>(item)) return "text";
  return "other";
}

// Such as "line pad text": the kinds in the order given.
template <typename Items>
std::string kinds(const Items& items) {
  std::string result;
  for (const QGraphicsItem* item : items)
    result += (result.empty() ? "" : " ") + kind_of(item);
  return result;
}

// A footprint text built into a scene: the items in the order added, and the
// loader's trace. One starting with a parenthesis is a `.kicad_mod` file.
struct Built {
  explicit Built(const std::string& text) {
    std::istringstream in(text);
    ZSceneLoader* loader;
    if (text.rfind('(', 0) == 0) {
      auto tree = std::make_shared<zcore::S_Model>("module_parser");
      tree->load(in);
      loader = new ZPrettyModuleSceneLoader(scene.get(), tree->root());
      model = tree;
    } else {
      auto legacy =
          std::make_shared<zcore::LegacyStringModel>("module_legacy_parser");
      legacy->load(in);
      loader = new ZLegacyModuleSceneLoader(scene.get(), &legacy->records());
      model = legacy;
    }
    QObject::connect(scene.get(), &ZScene::item_added,
                     [this](QGraphicsItem* item) { added.push_back(item); });
    CoutCapture capture;
    scene->build(model.get(), loader);
    trace = capture.str();
    scene->disconnect();
  }

  template <typename Item>
  std::vector<Item*> all() const {
    std::vector<Item*> result;
    for (QGraphicsItem* item : added)
      if (auto* wanted = dynamic_cast<Item*>(item)) result.push_back(wanted);
    return result;
  }
  const std::map<std::string, int>& not_drawn() const {
    return scene->scene_loader()->not_drawn();
  }

  std::shared_ptr<zcore::BaseModel> model;
  std::unique_ptr<ZScene> scene = std::make_unique<ZScene>();
  std::vector<QGraphicsItem*> added;
  std::string trace;
};

}  // namespace zwidget::zcvpcb::test
