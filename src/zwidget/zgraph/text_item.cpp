#include "zwidget/zgraph/text_item.h"

#include "hersheyfont/hershey_font.h"
#include "hersheyfont/hershey_font_exception.h"

#include <QBrush>
#include <QFile>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QTransform>

// A static library's resources are linked in only when something names
// them; this must sit outside any namespace.
static void init_font_resources() {
  Q_INIT_RESOURCE(padscope_fonts);
}

namespace zwidget::zgraph {

namespace {

using hersheyfont::HersheyFont;
using hersheyfont::HersheyFontException;

const char* const kFontPath = ":/images/hershey-fonts/rowmans.jhf";

// Reads the font from a Qt resource, carriage returns and all.
class BuffAdapter : public HersheyFont::BufferAdapter {
public:
  explicit BuffAdapter(const QString& path) : file(path) {}

  int read_line(char* buffer, int capacity) override {
    const qint64 read = file.readLine(buffer, capacity);
    return read < 0 ? 0 : static_cast<int>(read);
  }
  void open() override {
    if (!file.open(QIODevice::ReadOnly))
      throw HersheyFontException("Failed to load file:");
  }
  void close() override {
    if (file.isOpen()) file.close();
  }

private:
  QFile file;
};

// Draws each stroke as its own open polyline in the text's pen.
class PaintAdapter : public HersheyFont::PainterAdapter {
public:
  PaintAdapter(const QPen& pen, QPainter* painter, const QPointF& origin)
      : pen(pen), painter(painter), origin(origin) {}

  void move_to(double x, double y) override {
    path.moveTo(x + origin.x(), y + origin.y());
  }
  void line_to(double x, double y) override {
    path.lineTo(x + origin.x(), y + origin.y());
  }
  void end_stroke() override {
    painter->save();
    painter->setPen(pen);
    // Strokes are open paths; a brush left on the painter would fill them.
    painter->setBrush(Qt::NoBrush);
    painter->drawPath(path);
    path = QPainterPath();
    painter->restore();
  }

private:
  QPen pen;
  QPainter* painter;
  QPointF origin;
  QPainterPath path;
};

// Turns by `angle` degrees about `position`, counter-clockwise on a screen
// whose y axis points down.
QTransform turned_about(const QPointF& position, double angle) {
  QTransform transform;
  transform.translate(position.x(), position.y());
  transform.rotate(-angle);
  transform.translate(-position.x(), -position.y());
  return transform;
}

}  // namespace

GraphicsTextItem::GraphicsTextItem(const QString& type, const QString& text,
                                   const QPointF& position, const double& angle,
                                   const bool& hide, const QSizeF& size,
                                   const double& thickness, const bool& italic,
                                   const QColor& colour)
    : QAbstractGraphicsShapeItem(nullptr),
      type(type),
      text(text),
      position(position),
      angle(angle),
      hide(hide),
      size(size),
      thickness(thickness),
      italic(italic),
      colour(colour),
      font(std::make_unique<HersheyFont>(size.width(), size.height())) {
  static const bool registered = (init_font_resources(), true);
  Q_UNUSED(registered);
  BuffAdapter source(kFontPath);
  font->load(source);
}

GraphicsTextItem::~GraphicsTextItem() = default;

QRectF GraphicsTextItem::metrics() const {
  return font->bounding_rect(thickness, text.toStdString(), italic);
}

QPointF GraphicsTextItem::origin(const QRectF& metrics) const {
  return {position.x() - metrics.width() / 2,
          position.y() + metrics.height() / 2};
}

QRectF GraphicsTextItem::boundingRect() const {
  const QRectF extent = metrics();
  // Turned with the strokes: the view culls and repaints by this rectangle.
  return turned_about(position, angle)
      .mapRect(extent.translated(origin(extent)));
}

void GraphicsTextItem::paint(QPainter* painter,
                             const QStyleOptionGraphicsItem* option,
                             QWidget* widget) {
  Q_UNUSED(option);
  Q_UNUSED(widget);
  // Hidden texts keep their place in the scene but are not drawn.
  if (hide) return;
  painter->save();
  painter->setTransform(turned_about(position, angle), true);

  const QPen pen(QBrush(colour, Qt::SolidPattern), thickness, Qt::SolidLine,
                 Qt::RoundCap, Qt::RoundJoin);
  PaintAdapter adapter(pen, painter, origin(metrics()));
  font->draw_text(adapter, text.toStdString(), italic);
  painter->restore();
}

}  // namespace zwidget::zgraph
