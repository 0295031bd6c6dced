#include "zwidget/zviewer/canvas_variants.h"

namespace zwidget::zcvpcb {

PrettyModuleCanvas::PrettyModuleCanvas(QWidget* parent) : ZObjCanvas(parent) {
  parser_name = QObject::tr("module_parser");
}

LegacyModuleCanvas::LegacyModuleCanvas(QWidget* parent) : ZObjCanvas(parent) {
  parser_name = QObject::tr("module_legacy_parser");
}

NoObjCanvas::NoObjCanvas(QWidget* parent) : ZObjCanvas(parent) {
  parser_name = QObject::tr("no_parser");
}

}  // namespace zwidget::zcvpcb
