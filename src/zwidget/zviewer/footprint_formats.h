#pragma once

#include "zwidget/zviewer/obj_factory.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zcore {
class BaseModel;
}

namespace zwidget::zcvpcb {

class ZScene;
class ZSceneLoader;

// A file of several footprints, shown one at a time.
struct FootprintLibrary {
  std::vector<std::string> names;
  // A model of footprint `index` alone, of the format that read the file.
  std::function<std::shared_ptr<zcore::BaseModel>(std::size_t index)> model;
};

// Everything that sets one footprint file format apart from the others.
struct FootprintFormat {
  // The open dialog's name of its filter.
  const char* title;
  // File names of the format; `*`, `?` and `[...]` are wildcards.
  const char* pattern;
  // The name by which the canvas, the factory and the models know it.
  const char* parser;
  // A new, empty model, named `parser`, that reads the format.
  std::shared_ptr<zcore::BaseModel> (*make_model)();
  // Whether `model` is of this format's kind.
  bool (*holds)(const zcore::BaseModel& model);
  // The footprints of a read file that holds several; none for one.
  std::optional<FootprintLibrary> (*library_of)(
      const std::shared_ptr<zcore::BaseModel>& read);
  // The loader that draws a model of this format on `scene`.
  std::unique_ptr<ZSceneLoader> (*scene_loader)(ZScene* scene,
                                                const zcore::BaseModel& model);
  // The footprint's name as the file gives it.
  std::string (*footprint_name)(const zcore::BaseModel& model);
  // Why the model holds no footprint; empty when it holds one.
  std::string (*footprint_problem)(const zcore::BaseModel& model);
  // Whether a file's first bytes, from its first visible character on,
  // open a file of the format.
  bool (*opens)(const QByteArray& head);
  // Millimetres per length unit of a model read from a whole file.
  double (*millimetres_per_unit)(const zcore::BaseModel& model);
  // The factory item of the canvas and panel that show the format.
  ZObjFactory::Item* (*factory_item)();
};

// The formats, in the order file names are matched against them.
const std::vector<FootprintFormat>& footprint_formats();
// `.kicad_mod` S-expression files and legacy `.mod` libraries.
const FootprintFormat& pretty_format();
const FootprintFormat& legacy_format();

// The format of the parser name, compared exactly; null for none.
const FootprintFormat* format_named(const QString& parser);
// The format whose pattern matches the whole file name of `path` first;
// null for none.
const FootprintFormat* format_for_path(const QString& path);
// The format of the file at `path`: by its name, else by its first bytes
// (of a regular file only); null when neither tells one.
const FootprintFormat* format_for_file(const QString& path);
// The format that made `model`; null for a model of none.
const FootprintFormat* format_of(const zcore::BaseModel& model);

}  // namespace zwidget::zcvpcb
