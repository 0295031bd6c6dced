#include "zwidget/zviewer/canvas_variants.h"

#include "zwidget/zviewer/footprint_formats.h"

namespace zwidget::zcvpcb {

PrettyModuleCanvas::PrettyModuleCanvas(QWidget* parent) : ZObjCanvas(parent) {
  parser_name = QObject::tr(pretty_format().parser);
}

LegacyModuleCanvas::LegacyModuleCanvas(QWidget* parent) : ZObjCanvas(parent) {
  parser_name = QObject::tr(legacy_format().parser);
}

NoObjCanvas::NoObjCanvas(QWidget* parent) : ZObjCanvas(parent) {
  parser_name = QObject::tr("no_parser");
}

}  // namespace zwidget::zcvpcb
