#include "zwidget/zgraph/text_item.h"

#include "hersheyfont/hershey_font.h"
#include "hersheyfont/hershey_font_exception.h"

#include <QBrush>
#include <QFile>
#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPaintDevice>
#include <QPainter>
#include <QPen>
#include <QResource>
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
// Face glyphs are made this large and scaled down: a small font's outlines
// would be rounded to whole pixels.
constexpr int kFacePixels = 256;
// Characters of a face filled as one path.
constexpr int kFaceChunk = 64;

// KiCad's stroke font as its plots place it, in text heights (h), text
// widths (w) and stroke widths (t). Its glyphs are 21 units from baseline
// to cap top and advance by whole units, as ours do in units of 0.0475.
constexpr double kToKiCadUnits = 1 / (21 * 0.0475);
constexpr double kLinePitch = 1.61;           // h
constexpr double kTopGap = 1.0 / 21;          // cap top below the anchor, h
constexpr double kBottomGap = 0.12238;        // baseline above the anchor, h
constexpr double kStrokeLift = 0.052;         // every baseline rises by t times
constexpr double kSideGap = 0.6579;           // anchor to a side's advance, t
constexpr double kScriptSize = 0.8;           // of the text's size
constexpr double kSubscriptDrop = 0.11047;    // h
constexpr double kSuperscriptRise = 0.28953;  // h
constexpr double kOverbarHeight = 1.2776;     // above the baseline, h
constexpr double kOverbarInset = 0.1;         // at each end, w
// KiCad keeps lengths in whole nanometres (a millimetre's millionth).
constexpr double kNoStroke = 1.5e-6;

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

// The font parsed once per process; each item lays its text out with it.
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

// Collects the points of every stroke into one array, scaled about and
// moved to an origin; `ends` marks where each stroke stops. One array, not
// a path per stroke, keeps a long text's memory near its points.
class PointsAdapter final : public HersheyFont::PainterAdapter {
public:
  PointsAdapter(std::vector<QPointF>& points, std::vector<int>& ends)
      : points(points), ends(ends) {}

  void place(const QPointF& at, double size) {
    origin = at;
    scale = size;
  }
  void move_to(double x, double y) override {
    begin = static_cast<int>(points.size());
    line_to(x, y);
  }
  void line_to(double x, double y) override {
    points.emplace_back(origin.x() + x * scale, origin.y() + y * scale);
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
  double scale = 1;
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

// A stretch of one line in one look.
struct Piece {
  QString text;
  double size = 1;  // times the text's size
  double drop = 0;  // of the baseline, in text heights; negative rises
  bool overbar = false;

  bool looks_like(const Piece& other) const {
    return size == other.size && drop == other.drop && overbar == other.overbar;
  }
};
using Line = std::vector<Piece>;
using Advance = std::function<double(const Piece&)>;

void append(Line& line, const Piece& piece) {
  if (!line.empty() && line.back().looks_like(piece))
    line.back().text += piece.text;
  else
    line.push_back(piece);
}

Piece piece_of(const TextRun& run, const QString& text) {
  Piece piece{text, 1, 0, run.overbar};
  if (run.shift != TextRun::Shift::none) piece.size = kScriptSize;
  if (run.shift == TextRun::Shift::subscript) piece.drop = kSubscriptDrop;
  if (run.shift == TextRun::Shift::superscript) piece.drop = -kSuperscriptRise;
  return piece;
}

// The lines of the text, split at line breaks, each in its stretches.
std::vector<Line> lines_of(const QString& text,
                           const std::vector<TextRun>& runs) {
  std::vector<Line> lines(1);
  const auto add = [&lines](const TextRun& run) {
    const QStringList parts = run.text.split('\n');
    for (int i = 0; i < parts.size(); ++i) {
      if (i > 0) lines.emplace_back();
      if (!parts[i].isEmpty()) append(lines.back(), piece_of(run, parts[i]));
    }
  };
  if (runs.empty()) add(TextRun{text});
  for (const TextRun& run : runs) add(run);
  return lines;
}

// Words go on to the next line where a line would grow wider than `width`;
// a word wider than that keeps a line of its own. Advances add up, so each
// word is measured once.
std::vector<Line> wrapped(const std::vector<Line>& lines, double width,
                          const Advance& advance) {
  std::vector<Line> result;
  for (const Line& line : lines) {
    Line current, word;
    double filled = 0;
    // The blank before the word, in the look of the stretch it is in.
    Piece blank{" "};
    const auto place_word = [&] {
      if (word.empty()) return;
      double wide = 0;
      for (const Piece& piece : word) wide += advance(piece);
      if (!current.empty()) {
        const double gap = advance(blank);
        if (filled + gap + wide > width) {
          result.push_back(std::move(current));
          current.clear();
          filled = 0;
        } else {
          append(current, blank);
          filled += gap;
        }
      }
      for (const Piece& piece : word) append(current, piece);
      filled += wide;
      word.clear();
    };
    for (const Piece& piece : line) {
      int from = 0;
      for (int i = 0; i <= piece.text.size(); ++i) {
        if (i < piece.text.size() && piece.text[i] != ' ') continue;
        if (i > from)
          append(word, {piece.text.mid(from, i - from), piece.size, piece.drop,
                        piece.overbar});
        if (i < piece.text.size()) {
          place_word();
          blank = {" ", piece.size, piece.drop, piece.overbar};
        }
        from = i + 1;
      }
    }
    place_word();
    result.push_back(std::move(current));
  }
  return result;
}

// Calls `bar(from, to)` for each stretch of consecutive barred pieces, with
// `advance` the length of a piece.
template <typename Bar>
void for_each_overbar(const Line& line, double start, const Advance& advance,
                      Bar bar) {
  double x = start, from = start;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i].overbar && (i == 0 || !line[i - 1].overbar)) from = x;
    x += advance(line[i]);
    if (line[i].overbar && (i + 1 == line.size() || !line[i + 1].overbar))
      bar(from, x);
  }
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

// What the layouts need of the item.
struct Placement {
  const HersheyFont& font;
  QPointF position;
  QSizeF size;
  double stroke;
  const TextStyle& style;
  bool italic;
};

// Places the lines as KiCad places its stroke font, collecting the strokes;
// returns their ink.
QRectF lay_out_strokes(const Placement& at, std::vector<Line> lines,
                       std::vector<QPointF>& points, std::vector<int>& ends) {
  const double wide = at.size.width(), high = at.size.height();
  const double stroke = at.stroke;
  const auto advance_of = [&](const Piece& piece, const std::string& bytes) {
    int units = 0;
    for (const char c : bytes)
      units += at.font.glyph(static_cast<unsigned char>(c)).width;
    return units * wide / 21 * piece.size;
  };
  if (at.style.wrap_width > 0) {
    const Advance advance = [&](const Piece& piece) {
      return advance_of(piece, piece.text.toStdString());
    };
    lines = wrapped(lines, at.style.wrap_width, advance);
  }
  const double pitch = kLinePitch * high * at.style.line_spacing;
  const double rows = static_cast<double>(lines.size() - 1);
  double baseline = at.position.y() - kStrokeLift * stroke;
  if (at.style.vertical == TextStyle::Align::start)
    baseline += high * (1 + kTopGap);
  else if (at.style.vertical == TextStyle::Align::centre)
    baseline += high * (1 + kTopGap - kBottomGap) / 2 - rows * pitch / 2;
  else
    baseline -= high * kBottomGap + rows * pitch;
  // Each piece's bytes, found once, and room for all the points they make
  // (an overbar's too), rather than growing the arrays a point at a time.
  std::vector<std::vector<std::string>> line_bytes;
  std::size_t most_points = points.size(), most_strokes = ends.size();
  for (const Line& line : lines) {
    line_bytes.emplace_back();
    for (const Piece& piece : line) {
      line_bytes.back().push_back(piece.text.toStdString());
      for (const char c : line_bytes.back().back())
        for (const hersheyfont::Stroke* s =
                 at.font.glyph(static_cast<unsigned char>(c)).strokes;
             s; s = s->next) {
          most_points += s->vertex_count;
          ++most_strokes;
        }
      if (piece.overbar) {
        most_points += 2;
        ++most_strokes;
      }
    }
  }
  points.reserve(most_points);
  ends.reserve(most_strokes);
  PointsAdapter collect(points, ends);
  std::vector<double> advances;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const Line& line = lines[i];
    const std::vector<std::string>& bytes = line_bytes[i];
    // A line asks for each advance three times.
    advances.clear();
    for (std::size_t j = 0; j < line.size(); ++j)
      advances.push_back(advance_of(line[j], bytes[j]));
    const Advance advance = [&](const Piece& piece) {
      return advances[static_cast<std::size_t>(&piece - line.data())];
    };
    double length = 0;
    for (const double piece_advance : advances) length += piece_advance;
    double x = at.position.x() - length / 2;
    if (at.style.horizontal == TextStyle::Align::start)
      x = at.position.x() + kSideGap * stroke;
    else if (at.style.horizontal == TextStyle::Align::end)
      x = at.position.x() - length - kSideGap * stroke;
    const double y = baseline + static_cast<double>(i) * pitch;
    for_each_overbar(line, x, advance, [&](double from, double to) {
      const double bar = y - kOverbarHeight * high;
      points.emplace_back(from + kOverbarInset * wide, bar);
      points.emplace_back(to - kOverbarInset * wide, bar);
      ends.push_back(static_cast<int>(points.size()));
    });
    for (std::size_t j = 0; j < line.size(); ++j) {
      const Piece& piece = line[j];
      collect.place({x, y + piece.drop * high}, piece.size);
      if (at.italic)
        at.font.draw_text(collect, bytes[j], true);
      else
        at.font.draw_upright(collect, bytes[j]);
      x += advances[j];
    }
  }
  if (points.empty()) {
    const double half = stroke / 2;
    return QRectF(at.position.x() - half, baseline - half, stroke, stroke);
  }
  double left = points[0].x(), right = left, top = points[0].y(), bottom = top;
  for (const QPointF& p : points) {
    left = std::min(left, p.x());
    right = std::max(right, p.x());
    top = std::min(top, p.y());
    bottom = std::max(bottom, p.y());
  }
  const double half = stroke / 2;
  return QRectF(QPointF(left - half, top - half),
                QPointF(right + half, bottom + half));
}

// The glyphs and overbars of one line of a face, with the baseline at
// y = 0 and x from 0, in pieces of a few dozen glyphs: Qt fills a path of
// thousands of glyphs in bands, going over all of them for each.
std::vector<QPainterPath> face_outlines(const Placement& at, const Line& line,
                                        const QFont& face, double scale_x,
                                        double scale_y,
                                        const Advance& advance) {
  std::vector<QPainterPath> parts;
  double x = 0;
  for (const Piece& piece : line) {
    for (int from = 0; from < piece.text.size(); from += kFaceChunk) {
      const Piece part{piece.text.mid(from, kFaceChunk), piece.size, piece.drop,
                       piece.overbar};
      QPainterPath glyphs;
      glyphs.addText(0, 0, face, part.text);
      QTransform place;
      place.translate(x, part.drop * at.size.height());
      place.scale(scale_x * part.size, scale_y * part.size);
      parts.push_back(place.map(glyphs));
      x += advance(part);
    }
  }
  for_each_overbar(line, 0, advance, [&](double from, double to) {
    const double inset = kOverbarInset * at.size.width();
    const double bar = -kOverbarHeight * at.size.height();
    const double half = at.stroke / 2;
    parts.emplace_back();
    parts.back().addRect(QRectF(QPointF(from + inset, bar - half),
                                QPointF(to - inset, bar + half)));
  });
  return parts;
}

// The first line's baseline for the text's vertical justification.
double face_baseline(const Placement& at, const std::vector<QRectF>& extents,
                     double pitch) {
  const double rows = static_cast<double>(extents.size() - 1);
  switch (at.style.vertical) {
    case TextStyle::Align::start:
      return at.position.y() - extents.front().top();
    case TextStyle::Align::centre:
      // Half the capitals' height below the position, whatever descends.
      return at.position.y() - rows * pitch / 2 + at.size.height() / 2;
    case TextStyle::Align::end:
      return at.position.y() - extents.back().bottom() - rows * pitch;
  }
  return 0;
}

// Places the lines of a face by their outlines' extent, adding the glyphs to
// `filled`. Returns their ink.
QRectF lay_out_face(const Placement& at, std::vector<Line> lines,
                    std::vector<QPainterPath>& filled) {
  const QFont face = face_font(at.style, at.italic);
  const QFontMetricsF metrics(face);
  // A face's capitals are as tall as the text, like the stroke font's.
  const double cap = std::max(metrics.capHeight(), 1.0);
  const double scale_x = at.size.width() / cap,
               scale_y = at.size.height() / cap;
  const Advance advance = [&](const Piece& piece) {
    return metrics.horizontalAdvance(piece.text) * scale_x * piece.size;
  };
  if (at.style.wrap_width > 0)
    lines = wrapped(lines, at.style.wrap_width, advance);
  std::vector<std::vector<QPainterPath>> outlines;
  std::vector<QRectF> extents;
  for (const Line& line : lines) {
    outlines.push_back(
        face_outlines(at, line, face, scale_x, scale_y, advance));
    QRectF extent;
    for (const QPainterPath& part : outlines.back())
      extent |= part.boundingRect();
    extents.push_back(extent);
  }
  const double pitch =
      at.style.line_spacing * metrics.lineSpacing() * at.size.height() / cap;
  const double baseline = face_baseline(at, extents, pitch);
  QRectF ink;
  for (std::size_t i = 0; i < outlines.size(); ++i) {
    const QRectF& extent = extents[i];
    double left = at.position.x() - extent.width() / 2;
    if (at.style.horizontal == TextStyle::Align::start)
      left = at.position.x() - extent.left();
    else if (at.style.horizontal == TextStyle::Align::end)
      left = at.position.x() - extent.right();
    const QPointF origin(left, baseline + static_cast<double>(i) * pitch);
    const QRectF placed = extent.translated(origin);
    ink = i == 0 ? placed : ink.united(placed);
    for (const QPainterPath& part : outlines[i])
      filled.push_back(part.translated(origin));
  }
  return ink;
}

}  // namespace

void keep_upright(double& angle) {
  double turned = std::fmod(angle, 360);
  if (turned > 180) turned -= 360;
  if (turned <= -180) turned += 360;
  if (turned > -90 && turned <= 90) return;
  angle = turned > 0 ? turned - 180 : turned + 180;
}

double plotted_stroke(double thickness, const QSizeF& size) {
  if (!std::isfinite(thickness)) return thickness;
  const double wide = std::abs(size.width());
  const double high = std::abs(size.height());
  const double stroke = thickness < kNoStroke ? wide / 8 : thickness;
  return std::min(stroke, std::min(wide, high) / 4);
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
    : AnsweringItem(nullptr),
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
  // Asked of the resources alone, which is cheaper than asking for a file.
  if (!QResource(QLatin1String(kFontPath)).isValid())
    throw HersheyFontException("Failed to load file:");
  // The process's font at this text's size, only while the text is laid out.
  const HersheyFont font(parsed_font(), size.width() * kToKiCadUnits,
                         size.height() * kToKiCadUnits,
                         HersheyFont::Borrowed());
  pen = QPen(QBrush(colour, Qt::SolidPattern), plotted_stroke(thickness, size),
             Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  const Placement at{font, position, size, pen.widthF(), style, italic};
  QRectF ink =
      style.face.isEmpty()
          ? lay_out_strokes(at, lines_of(text, style.runs), points, stroke_ends)
          : lay_out_face(at, lines_of(text, style.runs), filled);
  if (style.knockout) {
    const double margin = std::max(pen.widthF(), size.height() / 10);
    knockout_box = ink.adjusted(-margin, -margin, margin, margin);
    ink = knockout_box;
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
  if (knockout_box.isNull())
    draw_glyphs(painter);
  else
    paint_knockout(painter);
  painter->restore();
}

void GraphicsTextItem::draw_glyphs(QPainter* painter) const {
  if (!filled.empty()) {
    painter->setPen(Qt::NoPen);
    painter->setBrush(QBrush(colour, Qt::SolidPattern));
    for (const QPainterPath& part : filled) painter->drawPath(part);
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
}

// The box is filled and the glyphs cleared out of it on a layer of the
// device's own pixels, which then covers what lies beneath but for the
// glyphs. Cutting the glyphs out of the box as paths took time and memory
// growing faster than the text.
void GraphicsTextItem::paint_knockout(QPainter* painter) const {
  const QTransform to_device = painter->combinedTransform();
  const QPaintDevice* device = painter->device();
  QRectF visible(0, 0, device->width(), device->height());
  if (painter->hasClipping())
    visible &= to_device.mapRect(painter->clipBoundingRect());
  const QRect area =
      (to_device.mapRect(knockout_box) & visible).toAlignedRect();
  if (area.isEmpty()) return;
  const qreal ratio = device->devicePixelRatioF();
  QImage layer(area.size() * ratio, QImage::Format_ARGB32_Premultiplied);
  layer.setDevicePixelRatio(ratio);
  layer.fill(Qt::transparent);
  QPainter cut(&layer);
  cut.setRenderHints(painter->renderHints());
  cut.translate(-area.topLeft());
  cut.setTransform(to_device, true);
  cut.fillRect(knockout_box, colour);
  cut.setCompositionMode(QPainter::CompositionMode_Clear);
  draw_glyphs(&cut);
  cut.end();
  painter->resetTransform();
  painter->drawImage(area.topLeft(), layer);
}

}  // namespace zwidget::zgraph
