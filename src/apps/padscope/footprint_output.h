#pragma once

#include "apps/padscope/picture_output.h"

#include <QObject>

#include <functional>

class QAction;
class QMenu;
class QMimeData;
class QPrinter;
class QWidget;

namespace zwidget::zcvpcb {
class ZObjCanvas;
}

// The File menu's ways out of the window: Copy, Export..., Print... and
// Print preview, for whatever canvas is current. The choices of Export and
// Print are remembered.
class FootprintOutput : public QObject {
  Q_OBJECT

public:
  using CanvasSource = std::function<zwidget::zcvpcb::ZObjCanvas*()>;
  using Report = std::function<void(const QString&)>;

  // Adds the actions to `menu` before `before` (the end for null) and to
  // `window`; `report` tells the user what went wrong, or was done.
  FootprintOutput(QWidget* window, QMenu* menu, QAction* before,
                  CanvasSource canvas, Report report);

  // What Copy puts on the clipboard: the facts of the selection as text,
  // else the view as PNG and SVG; null with nothing shown.
  QMimeData* clipboard_data() const;

  static ExportChoice stored_export_choice();
  static void store_export_choice(const ExportChoice& choice);
  static PrintChoice stored_print_choice();
  static void store_print_choice(const PrintChoice& choice);

  // The name a picture or a page is headed with.
  static QString footprint_name(const zwidget::zcvpcb::ZObjCanvas& canvas);

public slots:
  void copy();
  void export_picture();
  void print();
  void print_preview();

private:
  // The canvas with a footprint on it; null, with a report, without.
  zwidget::zcvpcb::ZObjCanvas* shown() const;
  void prepare(QPrinter& printer) const;

  QWidget* window;
  CanvasSource canvas;
  Report report;
};
