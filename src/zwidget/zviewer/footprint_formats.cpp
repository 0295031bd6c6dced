#include "zwidget/zviewer/footprint_formats.h"

#include "zcore/legacy_model.h"
#include "zcore/models.h"
#include "zwidget/zviewer/footprint_file.h"
#include "zwidget/zviewer/legacy_module_scene_loader.h"
#include "zwidget/zviewer/mine_enum.h"
#include "zwidget/zviewer/obj_canvas.h"
#include "zwidget/zviewer/pretty_module_scene_loader.h"
#include "zwidget/zviewer/zmessage_exception.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QFile>

#include <cstring>

namespace zwidget::zcvpcb {
namespace {

std::unique_ptr<ZSceneLoader> pretty_loader(ZScene* scene,
                                            const zcore::BaseModel& model) {
  return std::make_unique<ZPrettyModuleSceneLoader>(
      scene, static_cast<const zcore::S_Model&>(model).root());
}

std::unique_ptr<ZSceneLoader> legacy_loader(ZScene* scene,
                                            const zcore::BaseModel& model) {
  return std::make_unique<ZLegacyModuleSceneLoader>(
      scene, static_cast<const zcore::LegacyStringModel&>(model));
}

// What the viewer adds to a format of the model layer.
FootprintFormat shown(const zcore::footprint_format& format) {
  if (std::strcmp(format.parser, zcore::pretty_format().parser) == 0)
    return {format, "Modules Files", pretty_loader,
            []() -> ZObjFactory::Item* { return new PrettyFacItem; }};
  return {format, "Legacy modules Files", legacy_loader,
          []() -> ZObjFactory::Item* { return new LegacyFacItem; }};
}

// The viewer's entry of a format of the model layer: the same place in
// both lists.
const FootprintFormat* shown_entry(const zcore::footprint_format* format) {
  if (!format) return nullptr;
  return &footprint_formats()[static_cast<std::size_t>(
      format - zcore::footprint_formats().data())];
}

}  // namespace

const std::vector<FootprintFormat>& footprint_formats() {
  static const std::vector<FootprintFormat> formats = [] {
    std::vector<FootprintFormat> all;
    for (const zcore::footprint_format& format : zcore::footprint_formats())
      all.push_back(shown(format));
    return all;
  }();
  return formats;
}

const FootprintFormat& pretty_format() {
  return *shown_entry(&zcore::pretty_format());
}

const FootprintFormat& legacy_format() {
  return *shown_entry(&zcore::legacy_format());
}

const FootprintFormat* format_named(const QString& parser) {
  return shown_entry(zcore::format_named(parser.toStdString()));
}

const FootprintFormat* format_for_path(const QString& path) {
  static const MineEnum types = [] {
    MineEnum filled;
    for (const FootprintFormat& format : footprint_formats())
      filled.add(QString::fromUtf8(format.pattern),
                 QString::fromUtf8(format.parser));
    return filled;
  }();
  return format_named(types.parser_for(path));
}

const FootprintFormat* format_for_file(const QString& path) {
  if (const FootprintFormat* named = format_for_path(path)) return named;
  // Opened as a footprint is: a FIFO of any name would block here.
  QFile file;
  try {
    open_footprint_file(path, file);
  } catch (const zaux::ZMessageException&) {
    return nullptr;
  }
  const QByteArray head = file.read(256);
  return shown_entry(zcore::format_for_head(std::string_view(
      head.constData(), static_cast<std::size_t>(head.size()))));
}

const FootprintFormat* format_of(const zcore::BaseModel& model) {
  return shown_entry(zcore::model_format(model));
}

std::shared_ptr<zcore::BaseModel> read_footprint(const QString& path,
                                                 int module) {
  const FootprintFormat* format = format_for_file(path);
  if (!format)
    throw zaux::ZMessageException(QCoreApplication::translate(
        "ZObjCanvas",
        "Not a footprint: neither the file's name nor its first "
        "bytes are of a footprint format"));
  QFile file;
  open_footprint_file(path, file);
  QDataStream stream(&file);
  std::shared_ptr<zcore::BaseModel> model = format->make_model();
  read_model(*model, stream);
  const std::string problem = format->footprint_problem(*model);
  if (!problem.empty())
    throw zaux::ZMessageException(QString::fromStdString(problem));
  const std::optional<zcore::footprint_library> library =
      format->library_of(model);
  if (!library) {
    if (module != 0)
      throw zaux::ZMessageException(
          QCoreApplication::translate("ZObjCanvas", "No module %1")
              .arg(module));
    return model;
  }
  if (module < 0 || static_cast<std::size_t>(module) >= library->names.size())
    throw zaux::ZMessageException(
        QCoreApplication::translate("ZObjCanvas", "No module %1").arg(module));
  return library->model(static_cast<std::size_t>(module));
}

}  // namespace zwidget::zcvpcb
