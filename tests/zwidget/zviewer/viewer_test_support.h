#pragma once

#include "zcore/legacy_model.h"
#include "zcore/models.h"
#include "zwidget/zviewer/legacy_module_scene_loader.h"
#include "zwidget/zviewer/pretty_module_scene_loader.h"
#include "zwidget/zviewer/zscene.h"

#include <QGraphicsItem>

#include <iostream>
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
  CoutCapture(const CoutCapture&) = delete;
  CoutCapture& operator=(const CoutCapture&) = delete;

  std::vector<std::string> lines() const {
    std::vector<std::string> result;
    std::istringstream in(text.str());
    for (std::string line; std::getline(in, line);) result.push_back(line);
    return result;
  }

private:
  std::ostringstream text;
  std::streambuf* saved;
};

// A scene filled by a loader, the trace it wrote and the items it added,
// in the order of their `item_added` signals.
struct Built {
  std::unique_ptr<ZScene> scene = std::make_unique<ZScene>();
  std::vector<QGraphicsItem*> added;
  std::vector<std::string> trace;

  template <typename Item>
  std::vector<Item*> all() const {
    std::vector<Item*> result;
    for (QGraphicsItem* item : added)
      if (auto* wanted = dynamic_cast<Item*>(item)) result.push_back(wanted);
    return result;
  }
};

inline void build(Built& built, zcore::BaseModel& model, ZSceneLoader* loader) {
  const QMetaObject::Connection recording = QObject::connect(
      built.scene.get(), &ZScene::item_added,
      [&built](QGraphicsItem* item) { built.added.push_back(item); });
  CoutCapture capture;
  built.scene->build(&model, loader);
  built.trace = capture.lines();
  QObject::disconnect(recording);
}

inline Built build_pretty(const std::string& text) {
  zcore::S_Model model("module_parser");
  std::istringstream in(text);
  model.load(in);
  Built built;
  build(built, model,
        new ZPrettyModuleSceneLoader(built.scene.get(), model.root()));
  return built;
}

inline Built build_legacy(const std::string& text) {
  zcore::LegacyStringModel model("module_legacy_parser");
  std::istringstream in(text);
  model.load(in);
  Built built;
  build(built, model,
        new ZLegacyModuleSceneLoader(built.scene.get(), &model.records()));
  return built;
}

}  // namespace zwidget::zcvpcb::test
