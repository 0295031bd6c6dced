#include "zwidget/zgraph/text_item.h"

#include "hersheyfont/hershey_font.h"
#include "hersheyfont/hershey_font_exception.h"

#include <QBrush>
#include <QFile>
#include <QPainter>
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

// The font parsed once per process; each item takes a copy of its own.
// Throws as loading does, and tries again on the next call.
const HersheyFont& parsed_font() {
  static const std::unique_ptr<HersheyFont> font = [] {
    auto parsed = std::make_unique<HersheyFont>(1, 1);
    BuffAdapter source(kFontPath);
    parsed->load(source);
    return parsed;
  }();
  return *font;
}

// Collects the points of every stroke into one array, moved to `origin`;
// `ends` marks where each stroke stops. One array, not a path per stroke,
// keeps a long text's memory near its points.
class PointsAdapter : public HersheyFont::PainterAdapter {
public:
  PointsAdapter(std::vector<QPointF>& points, std::vector<int>& ends,
                const QPointF& origin)
      : points(points), ends(ends), origin(origin) {}

  void move_to(double x, double y) override {
    begin = static_cast<int>(points.size());
    points.emplace_back(x + origin.x(), y + origin.y());
  }
  void line_to(double x, double y) override {
    points.emplace_back(x + origin.x(), y + origin.y());
  }
  void end_stroke() override {
    // A lone point is no line; the path it once was painted nothing.
    if (static_cast<int>(points.size()) - begin < 2) {
      points.resize(static_cast<std::size_t>(begin));
      return;
    }
    ends.push_back(static_cast<int>(points.size()));
  }

private:
  std::vector<QPointF>& points;
  std::vector<int>& ends;
  QPointF origin;
  int begin = 0;
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
      colour(colour) {
  static const bool registered = (init_font_resources(), true);
  Q_UNUSED(registered);
  // An item without the font's resource fails, as when each item read it.
  if (!QFile::exists(QLatin1String(kFontPath)))
    throw HersheyFontException("Failed to load file:");
  font =
      std::make_unique<HersheyFont>(parsed_font(), size.width(), size.height());

  const std::string bytes = text.toStdString();
  const QRectF metrics = font->bounding_rect(thickness, bytes, italic);
  // Centred on the position: the baseline half the height below it.
  const QPointF origin(position.x() - metrics.width() / 2,
                       position.y() + metrics.height() / 2);
  turn = turned_about(position, angle);
  // Turned with the strokes: the view culls and repaints by this rectangle.
  bounds = turn.mapRect(metrics.translated(origin));
  pen = QPen(QBrush(colour, Qt::SolidPattern), thickness, Qt::SolidLine,
             Qt::RoundCap, Qt::RoundJoin);
  PointsAdapter collect(points, stroke_ends, origin);
  font->draw_text(collect, bytes, italic);
  points.shrink_to_fit();
  stroke_ends.shrink_to_fit();
}

GraphicsTextItem::~GraphicsTextItem() = default;

QRectF GraphicsTextItem::boundingRect() const {
  return bounds;
}

void GraphicsTextItem::paint(QPainter* painter,
                             const QStyleOptionGraphicsItem* option,
                             QWidget* widget) {
  Q_UNUSED(option);
  Q_UNUSED(widget);
  // Hidden texts keep their place in the scene but are not drawn.
  if (hide) return;
  painter->save();
  painter->setTransform(turn, true);
  painter->setPen(pen);
  // Strokes are open paths; a brush left on the painter would fill them.
  painter->setBrush(Qt::NoBrush);
  // One polyline per stroke, as overlapping strokes blend where they cross.
  int begin = 0;
  for (const int end : stroke_ends) {
    painter->drawPolyline(points.data() + begin, end - begin);
    begin = end;
  }
  painter->restore();
}

}  // namespace zwidget::zgraph
