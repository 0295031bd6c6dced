#pragma once

#include "zcore/footprint_format.h"
#include "zwidget/zviewer/obj_factory.h"

#include <QString>

#include <memory>
#include <vector>

namespace zwidget::zcvpcb {

class ZScene;
class ZSceneLoader;

using FootprintLibrary = zcore::footprint_library;

// A footprint format as the viewer shows it: the format's own facts, and
// the dialog's title, the loader and the factory item that draw it.
struct FootprintFormat : zcore::footprint_format {
  // The open dialog's name of its filter.
  const char* title;
  // The loader that draws a model of this format on `scene`.
  std::unique_ptr<ZSceneLoader> (*scene_loader)(ZScene* scene,
                                                const zcore::BaseModel& model);
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

// Reads footprint `module` of the file at `path` (module 0 of a file that
// holds one), in the format that format_for_file chooses. Throws
// zaux::ZMessageException, or the reader's exception, with the reason.
std::shared_ptr<zcore::BaseModel> read_footprint(const QString& path,
                                                 int module = 0);

}  // namespace zwidget::zcvpcb
