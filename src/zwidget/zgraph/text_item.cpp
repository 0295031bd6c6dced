#include "zwidget/zgraph/text_item.h"

#include "hersheyfont/hershey_font.h"
#include "hersheyfont/hershey_font_exception.h"

#include <QBrush>
#include <QFile>
#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPathStroker>
#include <QPen>
#include <QStringList>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <functional>

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
// Rows of the Roman simplex font span 32 font units of 0.0475 text heights.
constexpr double kLinePitch = 32 * 0.0475;
// Face glyphs are made this large and scaled down: a small font's outlines
// would be rounded to whole pixels.
constexpr int kFacePixels = 256;

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
// whose y axis points down; a mirrored text is first flipped left to right.
QTransform turned_about(const QPointF& position, double angle, bool mirrored) {
  QTransform transform;
  transform.translate(position.x(), position.y());
  transform.rotate(-angle);
  if (mirrored) transform.scale(-1, 1);
  transform.translate(-position.x(), -position.y());
  return transform;
}

// Words go on to the next line where a line would grow wider than `width`;
// a word wider than that keeps a line of its own.
QStringList wrapped(const QStringList& lines, double width,
                    const std::function<double(const QString&)>& measure) {
  QStringList result;
  for (const QString& line : lines) {
    QString current;
    for (const QString& word : line.split(' ', Qt::SkipEmptyParts)) {
      const QString longer = current.isEmpty() ? word : current + ' ' + word;
      if (!current.isEmpty() && measure(longer) > width) {
        result << current;
        current = word;
      } else {
        current = longer;
      }
    }
    result << current;
  }
  return result;
}

QFont face_font(const TextStyle& style, bool italic) {
  QFont font(style.face);
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(kFacePixels);
  font.setBold(style.bold);
  font.setItalic(italic);
  font.setHintingPreference(QFont::PreferNoHinting);
  return font;
}

// One line of a text: its extent with the baseline at y = 0 and x from 0,
// and for a face its filled glyphs.
struct Line {
  std::string bytes;
  QRectF metrics;
  QPainterPath outline;
};

}  // namespace

void keep_upright(double& angle, TextStyle& style) {
  double turned = std::fmod(angle, 360);
  if (turned > 180) turned -= 360;
  if (turned <= -180) turned += 360;
  if (turned > -90 && turned <= 90) return;
  angle = turned > 0 ? turned - 180 : turned + 180;
  const auto flip = [](TextStyle::Align& align) {
    if (align == TextStyle::Align::start)
      align = TextStyle::Align::end;
    else if (align == TextStyle::Align::end)
      align = TextStyle::Align::start;
  };
  flip(style.horizontal);
  flip(style.vertical);
}

GraphicsTextItem::GraphicsTextItem(const QString& type, const QString& text,
                                   const QPointF& position, const double& angle,
                                   const bool& hide, const QSizeF& size,
                                   const double& thickness, const bool& italic,
                                   const QColor& colour)
    : GraphicsTextItem(type, text, position, angle, hide, size, thickness,
                       italic, colour, TextStyle()) {
}

GraphicsTextItem::GraphicsTextItem(const QString& type, const QString& text,
                                   const QPointF& position, const double& angle,
                                   const bool& hide, const QSizeF& size,
                                   const double& thickness, const bool& italic,
                                   const QColor& colour, const TextStyle& style)
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
      style(style) {
  static const bool registered = (init_font_resources(), true);
  Q_UNUSED(registered);
  // An item without the font's resource fails, as when each item read it.
  if (!QFile::exists(QLatin1String(kFontPath)))
    throw HersheyFontException("Failed to load file:");
  font =
      std::make_unique<HersheyFont>(parsed_font(), size.width(), size.height());
  pen = QPen(QBrush(colour, Qt::SolidPattern), thickness, Qt::SolidLine,
             Qt::RoundCap, Qt::RoundJoin);

  const bool outlined = !style.face.isEmpty();
  const QFont face = outlined ? face_font(style, italic) : QFont();
  const QFontMetricsF face_metrics(face);
  // A face's capitals are as tall as the text, like the stroke font's.
  const double cap = outlined ? std::max(face_metrics.capHeight(), 1.0) : 1;
  const QTransform face_scale =
      QTransform::fromScale(size.width() / cap, size.height() / cap);
  const auto make_line = [&](const QString& line) {
    Line made{line.toStdString(), {}, {}};
    if (!outlined) {
      made.metrics = font->bounding_rect(thickness, made.bytes, italic);
      return made;
    }
    made.outline.addText(0, 0, face, line);
    made.outline = face_scale.map(made.outline);
    made.metrics = made.outline.boundingRect();
    return made;
  };
  QStringList texts = text.split('\n');
  if (style.wrap_width > 0) {
    texts = wrapped(texts, style.wrap_width, [&](const QString& line) {
      return make_line(line).metrics.width();
    });
  }
  std::vector<Line> lines;
  for (const QString& line : texts) lines.push_back(make_line(line));

  const double pitch =
      style.line_spacing *
      (outlined ? face_metrics.lineSpacing() * size.height() / cap
                : kLinePitch * size.height());
  const double rows = static_cast<double>(lines.size() - 1);
  double baseline = 0;
  switch (style.vertical) {
    case TextStyle::Align::start:
      baseline = position.y() - lines.front().metrics.top();
      break;
    case TextStyle::Align::centre:
      // One line: the baseline half the height below the position; of a
      // face, half its capitals' height, whatever descends.
      baseline =
          position.y() - rows * pitch / 2 +
          (outlined ? size.height() : lines.front().metrics.height()) / 2;
      break;
    case TextStyle::Align::end:
      baseline = position.y() - lines.back().metrics.bottom() - rows * pitch;
      break;
  }
  QRectF ink;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const Line& line = lines[i];
    double left = position.x() - line.metrics.width() / 2;
    if (style.horizontal == TextStyle::Align::start)
      left = position.x() - line.metrics.left();
    else if (style.horizontal == TextStyle::Align::end)
      left = position.x() - line.metrics.right();
    const QPointF origin(left, baseline + static_cast<double>(i) * pitch);
    const QRectF placed = line.metrics.translated(origin);
    ink = i == 0 ? placed : ink.united(placed);
    if (outlined) {
      filled.addPath(line.outline.translated(origin));
    } else {
      PointsAdapter collect(points, stroke_ends, origin);
      font->draw_text(collect, line.bytes, italic);
    }
  }
  if (style.knockout) {
    QPainterPath glyphs = filled;
    if (!outlined) {
      QPainterPath strokes;
      int begin = 0;
      for (const int end : stroke_ends) {
        strokes.moveTo(points[begin]);
        for (int i = begin + 1; i < end; ++i) strokes.lineTo(points[i]);
        begin = end;
      }
      QPainterPathStroker stroker(pen);
      stroker.setWidth(std::max(thickness, size.height() / 20));
      glyphs = stroker.createStroke(strokes);
    }
    const double margin = std::max(thickness, size.height() / 10);
    ink.adjust(-margin, -margin, margin, margin);
    QPainterPath box;
    box.addRect(ink);
    filled = box.subtracted(glyphs);
    points.clear();
    stroke_ends.clear();
  }
  turn = turned_about(position, angle, style.mirrored);
  // Turned with the strokes: the view culls and repaints by this rectangle.
  bounds = turn.mapRect(ink);
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
  if (!filled.isEmpty()) {
    painter->setPen(Qt::NoPen);
    painter->setBrush(QBrush(colour, Qt::SolidPattern));
    painter->drawPath(filled);
    painter->restore();
    return;
  }
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
