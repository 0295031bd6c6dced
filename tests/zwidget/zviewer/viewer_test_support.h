#pragma once

#include "zcore/models.h"
#include "zwidget/zgraph/item_kind.h"
#include "zwidget/zviewer/footprint_formats.h"
#include "zwidget/zviewer/obj_canvas.h"
#include "zwidget/zviewer/zscene.h"

#include <QDataStream>
#include <QGraphicsItem>
#include <QLoggingCategory>

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

// The viewer's debug output on while it lives, as the environment's
// QT_LOGGING_RULES="padscope.*.debug=true" turns it on.
struct DebugOutput {
  DebugOutput() { QLoggingCategory::setFilterRules("padscope.*.debug=true"); }
  ~DebugOutput() { QLoggingCategory::setFilterRules(QString()); }
};

// Such as "line pad text": the kinds in the order given.
template <typename Items>
std::string kinds(const Items& items) {
  std::string result;
  for (const QGraphicsItem* item : items)
    result += (result.empty() ? "" : " ") + zgraph::kind_of(item);
  return result;
}

// `elements` in a footprint of their format: `(fp_line ...)` in a
// `.kicad_mod` one, `DS ...` in a legacy module; a `(module ...)` as it is.
inline std::string footprint_of(const std::string& elements) {
  if (elements.rfind("(module", 0) == 0) return elements;
  return elements.front() == '('
             ? "(footprint X " + elements + ")"
             : "$MODULE X\n" + elements + "\n$EndMODULE X\n";
}

// A shown canvas reading with `parser`.
struct ShownCanvas {
  ShownCanvas(const QString& parser, const QSize& size) {
    canvas.parser_name = parser;
    canvas.resize(size);
    canvas.show();
  }
  void load_bytes(const std::string& bytes) {
    const QByteArray data(bytes.data(), static_cast<int>(bytes.size()));
    QDataStream stream(data);
    CoutCapture quiet;
    canvas.load(stream);
  }
  void load_file(const std::string& path) {
    CoutCapture quiet;
    canvas.load(QString::fromStdString(path));
  }
  bool is_cover() const {
    return static_cast<ZSceneBase*>(canvas.scene())->is_cover();
  }

  ZObjCanvas canvas{nullptr};
};

// A footprint text built into a scene: the items in the order added, and the
// loader's trace. One starting with a parenthesis is a `.kicad_mod` file.
struct Built {
  explicit Built(const std::string& text,
                 ColourTheme theme = ColourTheme::classic) {
    const FootprintFormat& format =
        text.rfind('(', 0) == 0 ? pretty_format() : legacy_format();
    model = format.make_model();
    scene->set_colour_theme(theme);
    std::istringstream in(text);
    model->load(in);
    QObject::connect(scene.get(), &ZScene::item_added,
                     [this](QGraphicsItem* item) { added.push_back(item); });
    const DebugOutput on;
    CoutCapture capture;
    scene->build(model.get(),
                 format.scene_loader(scene.get(), *model).release());
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
