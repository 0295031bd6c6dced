#include "zwidget/zviewer/obj_canvas.h"

#include "zcore/model_exception.h"
#include "zcore/models.h"
#include "zcore/stream_model_adapter.h"
#include "zwidget/zviewer/footprint_file.h"
#include "zwidget/zviewer/grid_painter.h"
#include "zwidget/zviewer/zmessage_exception.h"
#include "zwidget/zviewer/zscene.h"

#include <QApplication>
#include <QDataStream>
#include <QFile>
#include <QGraphicsItem>
#include <QIODevice>
#include <QKeyEvent>
#include <QMetaMethod>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTimer>
#include <QWheelEvent>

#include <cmath>
#include <new>

namespace zwidget::zcvpcb {

namespace {

// Feeds a QDataStream to the model readers. Bytes are taken from the stream
// in blocks: the readers ask for one byte at a time.
class StreamModelAdapter : public zcore::StreamModelAdapterBase {
public:
  explicit StreamModelAdapter(QDataStream* stream) : stream(stream) {}

  // The next line without its terminator (CR, LF, or CR LF as one, so
  // that lines count as an editor counts them). A last line without a
  // terminator is a line too; only a read that yields no byte is the end.
  bool getline(std::string& line) override {
    line.clear();
    int byte = get();
    if (!good()) return false;
    while (byte != '\r' && byte != '\n') {
      line.push_back(static_cast<char>(byte));
      byte = get();
      if (!good()) return true;
    }
    if (byte == '\r' && (next != end || refill()) && *next == '\n') ++next;
    return true;
  }

  int get() override {
    if (next == end && !refill()) return 0;
    return static_cast<unsigned char>(*next++);
  }

  bool good() override {
    return !exhausted && stream->status() == QDataStream::Ok;
  }

  std::string_view block() override {
    if (next == end && !refill()) return {};
    const std::string_view bytes(next, static_cast<std::size_t>(end - next));
    next = end;
    return bytes;
  }

private:
  // Reads the device directly: QDataStream would flag a short block as a
  // read past the end although its bytes are good. A failed read is no end
  // of file: a truncated footprint must not be shown as the whole.
  bool refill() {
    QIODevice* device = stream->device();
    const qint64 count = device ? device->read(buffer, sizeof buffer) : 0;
    if (count < 0) {
      exhausted = true;
      stream->setStatus(QDataStream::ReadCorruptData);
      throw zcore::read_failure("Failed to read stream.");
    }
    if (count == 0) {
      exhausted = true;
      stream->setStatus(QDataStream::ReadPastEnd);
      return false;
    }
    // A file growing while it is read is bounded too.
    taken += count;
    if (taken > kMaxFootprintFileSize) {
      exhausted = true;
      throw zaux::ZMessageException(QCoreApplication::translate(
          "ZObjCanvas", "File too large (more than 256 MiB)"));
    }
    next = buffer;
    end = buffer + count;
    return true;
  }

  QDataStream* stream;
  char buffer[1 << 16];
  const char* next = buffer;
  const char* end = buffer;
  qint64 taken = 0;
  bool exhausted = false;
};

}  // namespace

void read_model(zcore::BaseModel& model, QDataStream& stream) {
  StreamModelAdapter input(&stream);
  model.load(input);
}

ZObjCanvas::ZObjCanvas(QWidget* parent)
    : QGraphicsView(parent), parser_name(QObject::tr(pretty_format().parser)) {
  qRegisterMetaType<std::shared_ptr<zcore::BaseModel>>(
      "std::shared_ptr<zcore::BaseModel>");
  setAttribute(Qt::WA_MouseTracking);
  setCacheMode(QGraphicsView::CacheBackground);
  setViewportUpdateMode(QGraphicsView::SmartViewportUpdate);
  // The canvas keeps its anchors itself (see `place`): Qt's anchors move
  // the view only as far as the scene rectangle lets them.
  setTransformationAnchor(QGraphicsView::NoAnchor);
  setDragMode(QGraphicsView::NoDrag);
  setRenderHint(QPainter::Antialiasing, true);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  setMinimumHeight(100);
  setMinimumWidth(100);
  setFocusPolicy(Qt::StrongFocus);
  setScene(new ZCoverScene());
  settle_timer = new QTimer(this);
  settle_timer->setSingleShot(true);
  settle_timer->setInterval(kSettleMilliseconds);
  connect(settle_timer, &QTimer::timeout, this, &ZObjCanvas::settle_drawing);
  retire_timer = new QTimer(this);
  retire_timer->setSingleShot(true);
  retire_timer->setInterval(0);
  connect(retire_timer, &QTimer::timeout, this, [this] {
    retired_scene.reset();
    retired_model.reset();
  });
}

ZObjCanvas::~ZObjCanvas() {
  // Whoever listens may be half destroyed already; a canvas going away tells
  // nobody that its items went with it.
  const QSignalBlocker silent(this);
  replace_scene(nullptr);
}

void ZObjCanvas::apply_matrix() {
  QTransform matrix;
  matrix.scale(current_scale, current_scale);
  matrix.rotate(angle);
  // Mirrored before it turns: +90 still turns the picture clockwise.
  if (options.from_below) matrix.scale(-1, 1);
  setTransform(matrix, false);
}

QPointF ZObjCanvas::middle() const {
  return QPointF(viewport()->width() / 2.0, viewport()->height() / 2.0);
}

QPointF ZObjCanvas::to_scene(const QPointF& at) const {
  return viewportTransform().inverted().map(at);
}

void ZObjCanvas::place(const QPointF& held, const QPointF& at) {
  if (!transform().isInvertible()) return;
  const QTransform inverse = transform().inverted();
  const QPointF centre =
      held + inverse.map(middle() - at) - inverse.map(QPointF());
  // Room for the view around its centre: the view moves only within the
  // scene rectangle, and the footprint's own would hold it in place.
  const QRectF seen = inverse.mapRect(QRectF(QPointF(), viewport()->size()));
  QRectF room(QPointF(), seen.size() * 3);
  room.moveCenter(centre);
  setSceneRect(room);
  // Rounded, where centring would cut off up to a pixel.
  const QPointF scroll = transform().map(held) - at;
  horizontalScrollBar()->setValue(qRound(scroll.x()));
  verticalScrollBar()->setValue(qRound(scroll.y()));
  placed_centre = centre;
}

void ZObjCanvas::transform_about(const QPointF& at) {
  keep_fitted = false;
  const QPointF under = to_scene(at);
  // The point of the last zoom while it is still under the cursor: the
  // rounding to whole pixels does not add up over many notches.
  if (!anchor || QLineF(viewportTransform().map(*anchor), at).length() >= 1.0)
    anchor = under;
  apply_matrix();
  place(*anchor, at);
}

void ZObjCanvas::rotate(const double& delta) {
  angle += delta;
  transform_about(middle());
  emit rotated(angle);
}

void ZObjCanvas::scale(const double& factor) {
  current_scale *= factor;
  transform_about(middle());
  emit scaled(current_scale);
}

void ZObjCanvas::centre_on(const QPointF& at) {
  keep_fitted = false;
  place(at, middle());
}

void ZObjCanvas::wheelEvent(QWheelEvent* event) {
  // With or without Control: there is nothing to scroll, the view pans by
  // dragging.
  const int delta = event->angleDelta().y();
  if (delta == 0) {
    QGraphicsView::wheelEvent(event);
    return;
  }
  current_scale *= std::pow(wheel_step, delta / 120.0);
  transform_about(event->position());
  event->accept();
  emit scaled(current_scale);
}

void ZObjCanvas::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) pressed_at = event->localPos();
  if (event->button() == Qt::LeftButton ||
      event->button() == Qt::MiddleButton) {
    grab = to_scene(event->localPos());
    viewport()->setCursor(Qt::ClosedHandCursor);
  }
  QGraphicsView::mousePressEvent(event);
}

void ZObjCanvas::mouseMoveEvent(QMouseEvent* event) {
  if (grab) {
    keep_fitted = false;
    place(*grab, event->localPos());
  }
  QGraphicsView::mouseMoveEvent(event);
  pointer_moved(event->localPos());
}

void ZObjCanvas::mouseReleaseEvent(QMouseEvent* event) {
  if (grab && !(event->buttons() & (Qt::LeftButton | Qt::MiddleButton))) {
    grab.reset();
    viewport()->unsetCursor();
  }
  QGraphicsView::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton && pressed_at) {
    const double moved = QLineF(*pressed_at, event->localPos()).length();
    pressed_at.reset();
    if (moved < QApplication::startDragDistance()) clicked(event->localPos());
  }
}

void ZObjCanvas::keyPressEvent(QKeyEvent* event) {
  // An eighth of the view a press, as far as it reaches across.
  const double step = std::min(viewport()->width(), viewport()->height()) / 8.0;
  QPointF pan;
  switch (event->key()) {
    case Qt::Key_Left:
      pan = QPointF(-step, 0);
      break;
    case Qt::Key_Right:
      pan = QPointF(step, 0);
      break;
    case Qt::Key_Up:
      pan = QPointF(0, -step);
      break;
    case Qt::Key_Down:
      pan = QPointF(0, step);
      break;
    case Qt::Key_Space:
      if (ZScene* shown = footprint_scene())
        set_relative_origin(snapped(shown->cursor_position()));
      event->accept();
      return;
    case Qt::Key_Escape:
      if (measuring_) {
        set_measuring(false);
      } else {
        select(nullptr);
      }
      event->accept();
      return;
    default:
      QGraphicsView::keyPressEvent(event);
      return;
  }
  keep_fitted = false;
  // The view moves towards the arrow: what lay a step that way comes to
  // the middle.
  place(to_scene(middle() + pan), middle());
  event->accept();
}

QPointF ZObjCanvas::grid_point(const QPointF& at) const {
  const double pixels =
      transform().map(QLineF(0, 0, ZScene::kGridStep, 0)).length();
  const double pitch = drawn_pitch(ZScene::kGridStep, pixels);
  return QPointF(std::round(at.x() / pitch) * pitch,
                 std::round(at.y() / pitch) * pitch);
}

void ZObjCanvas::set_relative_origin(const QPointF& at) {
  if (ZScene* shown = footprint_scene()) shown->set_relative_origin(at);
}

void ZObjCanvas::fit() {
  angle = 0;
  apply_matrix();
  fit_view();
  emit rotated(0.0);
  emit scaled(current_scale);
}

void ZObjCanvas::fit_view() {
  // What is shown, centred; the scene's own rectangle with nothing shown.
  const QRectF shown = shown_bounds();
  setSceneRect(shown);
  placed_centre.reset();
  keep_fitted = true;
  fitInView(sceneRect(), Qt::KeepAspectRatio);
  // The exact scale of the fitted view: whole pixels would make a view of
  // less than one pixel per unit a scale of 0.
  const QTransform& fitted = transform();
  current_scale = std::hypot(fitted.m21(), fitted.m22());
}

QRectF ZObjCanvas::shown_bounds() const {
  QRectF bounds;
  if (QGraphicsScene* shown = scene()) {
    for (const QGraphicsItem* item : shown->items())
      if (item->isVisible()) bounds |= item->sceneBoundingRect();
  }
  return bounds;
}

void ZObjCanvas::set_picture(const PictureOptions& next) {
  if (next == options) return;
  const bool recolour = next.theme != options.theme;
  options = next;
  auto* shown = dynamic_cast<ZScene*>(scene());
  if (!shown) return;
  if (recolour) {
    redraw();
    return;
  }
  const QPointF centre = to_scene(middle());
  arrange_items(shown->items(), options);
  forget_drawing();
  apply_matrix();
  if (keep_fitted) {
    fit_view();
    emit scaled(current_scale);
  } else {
    place(centre, middle());
  }
}

void ZObjCanvas::redraw() {
  if (!model) return;
  const bool fitted = keep_fitted;
  const double scale = current_scale, turned = angle;
  const QPointF centre = to_scene(middle());
  try {
    present(model);
  } catch (...) {
    reset_cover();
    return;
  }
  if (fitted) return;
  current_scale = scale;
  angle = turned;
  keep_fitted = false;
  apply_matrix();
  place(centre, middle());
}

void ZObjCanvas::resizeEvent(QResizeEvent* event) {
  QGraphicsView::resizeEvent(event);
  if (keep_fitted) {
    fit_view();
    emit scaled(current_scale);
  } else if (placed_centre) {
    place(*placed_centre, middle());
  }
}

void ZObjCanvas::load(const QString& fileName) {
  QFile file;
  open_footprint_file(fileName, file);
  if (!format_named(parser_name))
    fail_unknown(
        tr("Not a footprint: neither the file's name nor its first "
           "bytes are of a footprint format"));
  QDataStream stream(&file);
  load(stream);
}

void ZObjCanvas::load(QDataStream& stream) {
  const FootprintFormat* format = format_named(parser_name);
  if (!format)
    fail_unknown(tr("Parser:%1 not found.").arg(parser_name, 0, QChar(' ')));
  retired_model = std::move(model);
  model = format->make_model();
  library.reset();
  current_module = 0;
  try {
    read_model(*model, stream);
    const std::string problem = format->footprint_problem(*model);
    if (!problem.empty())
      throw zaux::ZMessageException(QString::fromStdString(problem));
    unit_mm = format->millimetres_per_unit(*model);
    library = format->library_of(model);
    if (library) model = library->model(0);
    present(model);
  } catch (const std::bad_alloc&) {
    // A failure like any other, shown as the cover, not the program's end.
    throw zaux::ZMessageException(tr("Not enough memory for the footprint"));
  }
}

void ZObjCanvas::fail_unknown(const QString& message) {
  emit loaded(std::shared_ptr<zcore::BaseModel>());
  throw zaux::ZMessageException(message);
}

int ZObjCanvas::module_count() const {
  return library ? static_cast<int>(library->names.size()) : 1;
}

QString ZObjCanvas::module_name() const {
  if (!library) return QString();
  return QString::fromStdString(library->names[current_module]);
}

QStringList ZObjCanvas::module_names() const {
  QStringList names;
  if (library) {
    for (const std::string& name : library->names)
      names << QString::fromStdString(name);
  }
  return names;
}

bool ZObjCanvas::show_module(int index) {
  if (!library || index < 0 || index >= module_count()) return false;
  current_module = index;
  model = library->model(index);
  try {
    present(model);
  } catch (...) {
    reset_cover();
    emit loaded(std::shared_ptr<zcore::BaseModel>());
    return false;
  }
  return true;
}

void ZObjCanvas::present(std::shared_ptr<zcore::BaseModel> shown) {
  const FootprintFormat* format = format_of(*shown);
  if (!format) throw zaux::ZMessageException(tr("No format reads the model."));
  reset_scene();
  figures.reset();
  figured_model = shown;
  ZScene* target = footprint_scene();
  target->set_colour_theme(options.theme);
  target->build(shown.get(), format->scene_loader(target, *shown).release());
  // A scene is built stacked as seen from above, every item shown and none
  // turned: arranged so already unless seen from below or with layers
  // hidden. Arranging reads every item's marks, a tenth of a BGA's load.
  if (options.from_below || !options.hidden.isEmpty())
    arrange_items(target->items(), options);
  fit();
  emit loaded(shown);
}

ZScene* ZObjCanvas::footprint_scene() const {
  auto* shown = static_cast<ZSceneBase*>(scene());
  return shown && !shown->is_cover() ? static_cast<ZScene*>(shown) : nullptr;
}

void ZObjCanvas::replace_scene(QGraphicsScene* next) {
  forget_items();
  forget_drawing();
  QGraphicsScene* previous = scene();
  setSceneRect(QRectF());
  placed_centre.reset();
  setScene(next);
  retire(previous);
}

void ZObjCanvas::retire(QGraphicsScene* previous) {
  retired_scene.reset(previous);
  if (previous) retire_timer->start();
}

void ZObjCanvas::reset_scene() {
  install_scene(new ZScene());
}

void ZObjCanvas::show_scene(ZScene* built) {
  model.reset();
  library.reset();
  current_module = 0;
  install_scene(built);
  fit();
}

void ZObjCanvas::install_scene(ZScene* fresh) {
  auto* previous = static_cast<ZSceneBase*>(scene());
  // Named by their signatures, these connections took a hundredth of the
  // render tool's time to make and break.
  if (previous && !previous->is_cover())
    disconnect(previous, nullptr, this, nullptr);
  try {
    replace_scene(fresh);
    current_scale = 1.0;
    angle = 0.0;
    connect(fresh, &ZScene::reseted, this, &ZObjCanvas::reseted);
    connect(fresh, &ZScene::position_changed, this,
            &ZObjCanvas::position_changed);
    connect(fresh, &ZScene::loaded, this,
            QOverload<const QString&>::of(&ZObjCanvas::loaded));
    // Each item made is passed on only to a listener: announced to none,
    // they took a hundredth of a small footprint's load.
    if (isSignalConnected(QMetaMethod::fromSignal(&ZObjCanvas::item_added)))
      connect(fresh, &ZScene::item_added, this, &ZObjCanvas::item_added);
    connect(fresh, &ZScene::zerro_position, this, &ZObjCanvas::zerro_position);
    apply_matrix();
  } catch (...) {
    replace_scene(nullptr);
    throw;
  }
}

const zcore::footprint_facts* ZObjCanvas::footprint_figures() const {
  if (!figures && figured_model) {
    // Made anew: assigned, a short name would keep the buffer of a huge one.
    figures.emplace(zcore::facts_of(*figured_model));
  }
  return figures ? &*figures : nullptr;
}

void ZObjCanvas::reset_cover() {
  figures.reset();
  figured_model.reset();
  replace_scene(new ZCoverScene());
}

}  // namespace zwidget::zcvpcb
