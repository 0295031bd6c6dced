#pragma once

#include "zwidget/zviewer/footprint_formats.h"

#include <QGraphicsView>
#include <QPointF>
#include <QStringList>

#include <memory>
#include <optional>

class QDataStream;

namespace zwidget::zcvpcb {

class ZScene;

// Fills `model` from `stream` through the canvas's input adapter, as `load`
// does before it builds the scene.
void read_model(zcore::BaseModel& model, QDataStream& stream);

// The view of one footprint: reads a file with its parser, fills a fresh
// scene, fits it, and announces the model. Shows the cover scene before
// anything is loaded and after a failed load.
class ZObjCanvas : public QGraphicsView {
  Q_OBJECT

public:
  explicit ZObjCanvas(QWidget* parent);
  ~ZObjCanvas() override;

  // Turns the view by `delta` degrees more; the angle is never wrapped.
  void rotate(const double& delta);
  // Multiplies the scale (viewport pixels per scene unit) by `factor`.
  void scale(const double& factor);
  // Fits the scene into the viewport, unrotated.
  void fit();
  // Reads a file and shows it; throws when it cannot be opened or read.
  void load(const QString& fileName);
  void load(QDataStream& stream);
  // A new, empty footprint scene; zoom and rotation start afresh.
  void reset_scene();
  // The cover scene again; zoom, angle and model stay.
  void reset_cover();

  // A legacy library holds many modules and is shown one module at a time.
  // A file with one module or none counts as one.
  int module_count() const;
  int module_index() const { return current_module; }
  QString module_name() const;
  // The names of a library's modules; none for a file of one footprint.
  QStringList module_names() const;
  // Shows another module of the library: rebuilds, fits, and signals as a
  // load does. Never throws, since the window steps through modules from
  // its commands: a module that cannot be drawn leaves the cover scene and
  // an empty `loaded` model, as a failed load does. False then, and for an
  // index outside the library.
  bool show_module(int index);

  double current_scale = 1.0;
  double angle = 0.0;
  double wheel_step = 0.3;
  QString parser_name;

signals:
  void scaled(double v);
  void rotated(double v);
  void position_changed(const QPointF& pos, const QPointF& rel_pos = QPointF());
  void loaded(const QString& type);
  void reseted();
  void item_added(QGraphicsItem* item);
  void zerro_position(const QPointF& old);
  void loaded(std::shared_ptr<zcore::BaseModel> model);

protected:
  void wheelEvent(QWheelEvent* event) override;
  // A fitted view stays fitted when the viewport changes size (the canvas
  // is laid out after it loaded), until the user zooms or rotates.
  void resizeEvent(QResizeEvent* event) override;

private:
  void apply_matrix();
  // Fits the scene rectangle into the viewport and measures the scale.
  void fit_view();
  void replace_scene(QGraphicsScene* next);
  ZScene* footprint_scene() const;
  // Builds the scene of `shown`, fits it and announces it.
  void present(std::shared_ptr<zcore::BaseModel> shown);

  std::shared_ptr<zcore::BaseModel> model;
  // The file's footprints, when it holds several.
  std::optional<FootprintLibrary> library;
  int current_module = 0;
  bool keep_fitted = false;
};

}  // namespace zwidget::zcvpcb
