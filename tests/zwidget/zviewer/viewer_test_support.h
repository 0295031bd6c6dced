#pragma once

#include "zcore/legacy_model.h"
#include "zcore/models.h"
#include "zwidget/zgraph/text_item.h"
#include "zwidget/zviewer/legacy_module_scene_loader.h"
#include "zwidget/zviewer/pretty_module_scene_loader.h"
#include "zwidget/zviewer/zscene.h"

#include <QGraphicsItem>

#include <cctype>
#include <cstdint>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace zwidget::zcvpcb::test {

// A test name from a file path: its base name, letters and digits only.
inline std::string param_name(const std::string& path) {
  std::string name;
  for (char c :
       path.substr(path.rfind('/') + 1, path.rfind('.') - path.rfind('/') - 1))
    if (std::isalnum(static_cast<unsigned char>(c))) name += c;
  return name;
}

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

  // The number of items before the first text item, which must be followed
  // by texts only.
  std::size_t first_text() const;

  template <typename Item>
  std::vector<Item*> all() const {
    std::vector<Item*> result;
    for (QGraphicsItem* item : added)
      if (auto* wanted = dynamic_cast<Item*>(item)) result.push_back(wanted);
    return result;
  }
};

inline std::size_t Built::first_text() const {
  std::size_t i = 0;
  while (i < added.size() && !dynamic_cast<zgraph::GraphicsTextItem*>(added[i]))
    ++i;
  for (std::size_t j = i; j < added.size(); ++j)
    if (!dynamic_cast<zgraph::GraphicsTextItem*>(added[j])) return SIZE_MAX;
  return i;
}

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
