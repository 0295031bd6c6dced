#include "zwidget/zviewer/obj_canvas.h"

#include "zcore/models.h"
#include "zcore/stream_model_adapter.h"
#include "zwidget/zviewer/zmessage_exception.h"
#include "zwidget/zviewer/zscene.h"

#include <QDataStream>
#include <QFile>
#include <QIODevice>
#include <QWheelEvent>

#include <cmath>
#include <ios>

namespace zwidget::zcvpcb {

namespace {

// Feeds a QDataStream to the model readers. Bytes are taken from the stream
// in blocks: the readers ask for one byte at a time.
class StreamModelAdapter : public zcore::StreamModelAdapterBase {
public:
  explicit StreamModelAdapter(QDataStream* stream) : stream(stream) {}

  // The next line without its terminator (CR or LF). A last line without a
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
    return true;
  }

  int get() override {
    if (next == end && !refill()) return 0;
    return static_cast<unsigned char>(*next++);
  }

  bool good() override {
    return !exhausted && stream->status() == QDataStream::Ok;
  }

private:
  // Reads the device directly: QDataStream would flag a short block as a
  // read past the end although its bytes are good. A failed read is no end
  // of file: a truncated footprint must not be shown as the whole.
  bool refill() {
    QIODevice* device = stream->device();
    const qint64 count = device ? device->read(block, sizeof block) : 0;
    if (count < 0) {
      exhausted = true;
      stream->setStatus(QDataStream::ReadCorruptData);
      throw std::ios_base::failure("Failed to read stream.",
                                   std::io_errc::stream);
    }
    if (count == 0) {
      exhausted = true;
      stream->setStatus(QDataStream::ReadPastEnd);
      return false;
    }
    next = block;
    end = block + count;
    return true;
  }

  QDataStream* stream;
  char block[1 << 16];
  const char* next = block;
  const char* end = block;
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
  setTransformationAnchor(QGraphicsView::AnchorUnderMouse);
  setDragMode(QGraphicsView::ScrollHandDrag);
  setRenderHint(QPainter::Antialiasing, true);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  setMinimumHeight(100);
  setMinimumWidth(100);
  setScene(new ZCoverScene());
}

ZObjCanvas::~ZObjCanvas() {
  replace_scene(nullptr);
}

void ZObjCanvas::apply_matrix() {
  QTransform matrix;
  matrix.scale(current_scale, current_scale);
  matrix.rotate(angle);
  setTransform(matrix, false);
}

void ZObjCanvas::rotate(const double& delta) {
  keep_fitted = false;
  angle += delta;
  apply_matrix();
  emit rotated(angle);
}

void ZObjCanvas::scale(const double& factor) {
  keep_fitted = false;
  current_scale *= factor;
  apply_matrix();
  emit scaled(current_scale);
}

void ZObjCanvas::wheelEvent(QWheelEvent* event) {
  if (!(event->modifiers() & Qt::ControlModifier)) {
    QGraphicsView::wheelEvent(event);
    return;
  }
  keep_fitted = false;
  if (event->angleDelta().y() > 0) {
    current_scale += wheel_step;
  } else if (current_scale - wheel_step > 0) {
    current_scale -= wheel_step;
  } else {
    // The additive step would invert or empty the view.
    current_scale /= 1 + wheel_step;
  }
  event->accept();
  apply_matrix();
}

void ZObjCanvas::fit() {
  angle = 0;
  apply_matrix();
  fit_view();
  keep_fitted = true;
  emit rotated(0.0);
  emit scaled(current_scale);
}

void ZObjCanvas::fit_view() {
  fitInView(sceneRect(), Qt::KeepAspectRatio);
  // The exact scale of the fitted view: whole pixels would make a view of
  // less than one pixel per unit a scale of 0.
  const QTransform& fitted = transform();
  current_scale = std::hypot(fitted.m21(), fitted.m22());
}

void ZObjCanvas::resizeEvent(QResizeEvent* event) {
  QGraphicsView::resizeEvent(event);
  if (!keep_fitted) return;
  fit_view();
  emit scaled(current_scale);
}

void ZObjCanvas::load(const QString& fileName) {
  QFile file(fileName);
  if (!file.open(QIODevice::ReadOnly))
    throw zaux::ZMessageException(
        tr("Cannot open %1: %2").arg(fileName, file.errorString()));
  QDataStream stream(&file);
  load(stream);
}

void ZObjCanvas::load(QDataStream& stream) {
  const FootprintFormat* format = format_named(parser_name);
  if (!format) {
    emit loaded(std::shared_ptr<zcore::BaseModel>());
    throw zaux::ZMessageException(
        tr("Parser:%1 not found.").arg(parser_name, 0, QChar(' ')));
  }
  model = format->make_model();
  library.reset();
  current_module = 0;
  read_model(*model, stream);
  library = format->library_of(model);
  if (library) model = library->model(0);
  present(model);
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
  ZScene* target = footprint_scene();
  target->build(shown.get(), format->scene_loader(target, *shown).release());
  fit();
  emit loaded(shown);
}

ZScene* ZObjCanvas::footprint_scene() const {
  return static_cast<ZScene*>(scene());
}

void ZObjCanvas::replace_scene(QGraphicsScene* next) {
  QGraphicsScene* previous = scene();
  setScene(next);
  delete previous;
}

void ZObjCanvas::reset_scene() {
  auto* previous = static_cast<ZSceneBase*>(scene());
  if (previous && !previous->is_cover()) {
    auto* old = static_cast<ZScene*>(previous);
    disconnect(old, SIGNAL(reseted()), this, SIGNAL(reseted()));
    disconnect(old, SIGNAL(position_changed(const QPointF&, const QPointF&)),
               this, SIGNAL(position_changed(const QPointF&, const QPointF&)));
    disconnect(old, SIGNAL(loaded(const QString&)), this,
               SIGNAL(loaded(const QString&)));
    disconnect(old, SIGNAL(item_added(QGraphicsItem*)), this,
               SIGNAL(item_added(QGraphicsItem*)));
    disconnect(old, SIGNAL(zerro_position(const QPointF&)), this,
               SIGNAL(zerro_position(const QPointF&)));
  }
  try {
    auto* fresh = new ZScene();
    replace_scene(fresh);
    current_scale = 1.0;
    angle = 0.0;
    connect(fresh, SIGNAL(reseted()), this, SIGNAL(reseted()));
    connect(fresh, SIGNAL(position_changed(const QPointF&, const QPointF&)),
            this, SIGNAL(position_changed(const QPointF&, const QPointF&)));
    connect(fresh, SIGNAL(loaded(const QString&)), this,
            SIGNAL(loaded(const QString&)));
    connect(fresh, SIGNAL(item_added(QGraphicsItem*)), this,
            SIGNAL(item_added(QGraphicsItem*)));
    connect(fresh, SIGNAL(zerro_position(const QPointF&)), this,
            SIGNAL(zerro_position(const QPointF&)));
    apply_matrix();
  } catch (...) {
    replace_scene(nullptr);
    throw;
  }
}

void ZObjCanvas::reset_cover() {
  replace_scene(new ZCoverScene());
}

}  // namespace zwidget::zcvpcb
