#pragma once

#include "zwidget/zviewer/obj_canvas.h"

namespace zwidget::zcvpcb {

// Canvases that differ only in the parser they read their files with.
class PrettyModuleCanvas : public ZObjCanvas {
public:
  explicit PrettyModuleCanvas(QWidget* parent);
};

class LegacyModuleCanvas : public ZObjCanvas {
public:
  explicit LegacyModuleCanvas(QWidget* parent);
};

// Knows no parser: every load fails, and the cover scene stays.
class NoObjCanvas : public ZObjCanvas {
public:
  explicit NoObjCanvas(QWidget* parent);
};

}  // namespace zwidget::zcvpcb
