#pragma once

#include "zcore/element_facts.h"
#include "zcore/length_units.h"
#include "zwidget/zviewer/footprint_formats.h"
#include "zwidget/zviewer/layer_stack.h"
#include "zwidget/zviewer/snap.h"

#include <QGraphicsView>
#include <QImage>
#include <QLineF>
#include <QPointF>
#include <QStringList>

#include <memory>
#include <optional>

class QDataStream;
class QMenu;
class QTimer;

namespace zwidget::zcvpcb {

class ZScene;

// The factor of one zoom step: a zoom command or a wheel notch.
inline constexpr double kZoomStep = 1.1;
// How long the view rests after a pan before its shifted drawing is drawn
// anew, in milliseconds.
inline constexpr int kSettleMilliseconds = 200;

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
  // Fits the shown items into the viewport, unrotated.
  void fit();
  // Brings the scene point `at` to the viewport's middle, at the same zoom
  // and angle; unlike centerOn, anywhere on the scene.
  void centre_on(const QPointF& at);
  // Theme, hidden layers and side for this footprint and the next ones.
  // A fitted view is fitted anew to what stays shown; another theme draws
  // the footprint anew in the same view.
  void set_picture(const PictureOptions& options);
  const PictureOptions& picture() const { return options; }
  // Reads a file and shows it; throws when it cannot be opened or read.
  // Only a regular file of at most 256 MiB is opened (open_footprint_file),
  // and running out of memory fails the load as any error does.
  void load(const QString& fileName);
  void load(QDataStream& stream);
  // A new, empty footprint scene; zoom and rotation start afresh.
  void reset_scene();
  // The cover scene again; zoom, angle and model stay.
  void reset_cover();
  // Shows a scene built elsewhere, such as two footprints compared, fitted
  // as a load fits; takes it. The canvas then holds no model.
  void show_scene(ZScene* built);

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

  // Millimetres per scene unit: scenes are in the file's own units.
  double millimetres_per_unit() const { return unit_mm; }

  // The grid point nearest `at`, of the grid as drawn at this zoom; both in
  // scene units.
  QPointF grid_point(const QPointF& at) const;
  // Sets the zero of the relative position at `at`; no effect on the
  // cover.
  void set_relative_origin(const QPointF& at);

  // The unit of the ruler, the tooltips and the facts; the window's choice.
  void set_unit(zcore::length_unit unit);
  zcore::length_unit unit() const { return unit_; }

  // The file element selected (see item_tags.h), -1 for none. A click
  // selects what lies under the cursor, Esc or a click on nothing clears,
  // Tab and Shift+Tab step through the pads by number.
  int selected_element() const { return selected; }
  // Selects the element `item` stands for; null clears the selection.
  void select(QGraphicsItem* item);
  // The next or previous shown pad by number; false where there is none.
  bool step_pad(bool forward);
  // The facts of the selected element, lengths in millimetres.
  zcore::fact_list selection_facts() const;
  // The same as lines of text in the unit, to be copied; empty without a
  // selection.
  QString selection_text() const;
  // The figures and pad facts of the footprint shown; null on the cover.
  // Worked out when first asked for: a batch render never asks.
  const zcore::footprint_facts* footprint_figures() const;
  // What a pad's tooltip tells: number, pin, type, shape, size and drill.
  QString pad_tooltip(const QGraphicsItem* pad) const;

  // The measuring tool: two clicks set the ends of the ruler, each snapped
  // to the nearest pad centre, pad edge middle, line or arc end, circle
  // centre, footprint origin or grid point within a few pixels; the first
  // sets the relative origin too. Esc ends it.
  bool measuring() const { return measuring_; }
  void set_measuring(bool on);
  // The ruler, from its first point to its second (or to the cursor while
  // the second is not set), in scene units.
  std::optional<QLineF> measurement() const;
  // dx, dy, the distance and the angle of the ruler in the unit.
  QStringList measurement_text() const;

  double current_scale = 1.0;
  double angle = 0.0;
  // The zoom factor of one wheel notch, that of a zoom command.
  double wheel_step = kZoomStep;
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
  void selection_changed();
  void measuring_changed(bool on);
  // The ruler moved or went.
  void measurement_changed();

protected:
  // A notch zooms about the point under the cursor, which stays there.
  void wheelEvent(QWheelEvent* event) override;
  // Dragging with the left or middle button pans.
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  // A fitted view stays fitted when the viewport changes size (the canvas
  // is laid out after it loaded), until the user zooms or rotates.
  void resizeEvent(QResizeEvent* event) override;
  // Space sets the relative origin under the cursor; the arrow keys pan;
  // Esc ends measuring, else clears the selection.
  void keyPressEvent(QKeyEvent* event) override;
  // Tab and Shift+Tab step through the pads.
  bool focusNextPrevChild(bool next) override;
  // Tooltips of pads.
  bool viewportEvent(QEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void leaveEvent(QEvent* event) override;
  // The highlights, the snap marker, the relative origin and the ruler.
  void drawForeground(QPainter* painter, const QRectF& rect) override;
  // The footprint scene is copied from the kept drawing (see
  // `bring_drawing_up_to_date`) and the overlays are drawn over it: a hover
  // or a selection does not draw a BGA's thousands of items again.
  void paintEvent(QPaintEvent* event) override;

private:
  void apply_matrix();
  // The viewport's centre, and a viewport point in scene coordinates.
  QPointF middle() const;
  QPointF to_scene(const QPointF& at) const;
  // Moves the view so that scene point `held` lies at viewport point `at`.
  void place(const QPointF& held, const QPointF& at);
  // Applies the changed scale or angle, keeping the scene point at `at`.
  void transform_about(const QPointF& at);
  [[noreturn]] void fail_unknown(const QString& message);
  // Fits the scene rectangle into the viewport and measures the scale.
  void fit_view();
  void replace_scene(QGraphicsScene* next);
  // Keeps `previous` till the event loop has shown what replaced it: a
  // BGA's thousands of items took longer to destroy than a small footprint
  // takes to read and draw. An older scene still kept goes at once.
  void retire(QGraphicsScene* previous);
  // Shows `fresh` with the canvas's connections, unzoomed and unturned.
  void install_scene(ZScene* fresh);
  ZScene* footprint_scene() const;
  // Builds the scene of `shown`, fits it and announces it.
  void present(std::shared_ptr<zcore::BaseModel> shown);

  // Redraws the footprint with the current options, keeping the view.
  void redraw();
  // The bounds of the items shown; null when none is.
  QRectF shown_bounds() const;

  PictureOptions options;
  // Scene units spanning `pixels` of the viewport.
  double scene_length(double pixels) const;
  // The cursor moved to viewport point `at` without a button pressed.
  void pointer_moved(const QPointF& at);
  // Repaints what the highlight of `item`, when there is one, covers.
  void update_highlight(const QGraphicsItem* item);
  // A press and release without a drag at viewport point `at`.
  void clicked(const QPointF& at);
  // Scene point `at` snapped for measuring; sets the snap marker.
  QPointF snapped(const QPointF& at);
  void add_inspect_actions(QMenu& menu);
  // The facts of the pad `ordinal` in file order.
  zcore::fact_list pad_facts(int ordinal) const;
  // Forgets the items of a scene that is going.
  void forget_items();

  // The background and the items as the viewport last showed them, drawn
  // with `drawing_transform` (the viewport transform then), without the
  // overlays. Drawn anew after a zoom, a turn, a resize or another picture;
  // a pan moves it by whole pixels and draws only the strips it uncovers.
  void bring_drawing_up_to_date();
  // Moves the kept drawing to the viewport transform `now`; false where
  // that is not a shift by whole pixels that keeps part of it in view.
  bool shift_drawing(const QTransform& now);
  // Draws the background and items over `area` of `image`, in viewport
  // pixels, as the viewport shows them.
  void draw_scene_into(QImage& image, const QRect& area);
  // Draws a shifted drawing anew, where the view rests after a pan.
  void settle_drawing();
  // The kept drawing no longer shows the scene: its items changed.
  void forget_drawing() { drawing_current = false; }

  QImage drawing;
  // The kept drawing's old pixels while a pan draws the new ones.
  QImage spare_drawing;
  QTransform drawing_transform;
  bool drawing_current = false;
  // Shifted by a pan since it was drawn whole.
  bool drawing_shifted = false;
  // Runs out once the view has rested after a pan; a child of the canvas.
  QTimer* settle_timer = nullptr;
  // Set while the kept drawing is drawn: the overlays are left out of it.
  bool drawing_scene = false;

  std::shared_ptr<zcore::BaseModel> model;
  // The scene and model last replaced, till they are destroyed (`retire`).
  std::unique_ptr<QGraphicsScene> retired_scene;
  std::shared_ptr<zcore::BaseModel> retired_model;
  // Fires on the event loop's next turn; a child of the canvas.
  QTimer* retire_timer = nullptr;
  // The file's footprints, when it holds several.
  std::optional<FootprintLibrary> library;
  int current_module = 0;
  bool keep_fitted = false;
  double unit_mm = 1.0;
  // The scene point at the viewport's centre once the user moved the view.
  std::optional<QPointF> placed_centre;
  // The scene point the last zoom or turn kept in place.
  std::optional<QPointF> anchor;
  // The scene point held under the cursor while a drag pans.
  std::optional<QPointF> grab;

  zcore::length_unit unit_ = zcore::length_unit::mm;
  const QGraphicsItem* hovered = nullptr;
  int selected = -1;
  // The pad stepped to last, or clicked: where Tab goes on from.
  const QGraphicsItem* selected_pad = nullptr;
  // Where the left button went down, in viewport pixels: a release near it
  // is a click, not a drag.
  std::optional<QPointF> pressed_at;
  bool measuring_ = false;
  std::optional<QPointF> ruler_start;
  std::optional<QPointF> ruler_end;
  std::optional<QPointF> snap_marker;
  // Made when first needed for a scene.
  std::optional<std::vector<SnapTarget>> snap_points;
  // The footprint shown, whose figures are worked out when first asked for.
  std::shared_ptr<zcore::BaseModel> figured_model;
  mutable std::optional<zcore::footprint_facts> figures;
};

}  // namespace zwidget::zcvpcb
