#include "apps/padscope-render/svg_writer.h"

#include "apps/padscope-render/png_writer.h"
#include "apps/padscope-render/svg_glyph_cache.h"
#include "apps/padscope-render/svg_text.h"

#include <QImage>
#include <QPaintEngine>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QPixmap>

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace padscope::render {

namespace {

using namespace svg;

// Coordinates resolve this fraction of a pixel at least, however small the
// drawing is on the picture.
constexpr double kPixelFractions = 100;

// A stated size to a ten-thousandth of a millimetre.
constexpr int kMillimetreDecimals = 4;

// Whether a pen half this wide reaches past the centre of a curve's
// bend: Qt's stroker then leaves notches that SVG's does not, so the
// outline Qt strokes is drawn instead. The radius of each cubic piece is
// taken from its chord and the height of its midpoint over it.
bool bends_tighter_than(const QPainterPath& path, double half_width) {
  const int count = path.elementCount();
  for (int i = 1; i + 2 < count; ++i) {
    if (path.elementAt(i).type != QPainterPath::CurveToElement) continue;
    const QPointF p0 = path.elementAt(i - 1), c1 = path.elementAt(i);
    const QPointF c2 = path.elementAt(i + 1), p3 = path.elementAt(i + 2);
    const QPointF mid = (p0 + 3 * c1 + 3 * c2 + p3) / 8;
    const QPointF chord = p3 - p0;
    const double length = std::hypot(chord.x(), chord.y());
    const QPointF off = mid - p0;
    const double height =
        length > 0
            ? std::abs(chord.x() * off.y() - chord.y() * off.x()) / length
            : std::hypot(off.x(), off.y());
    if (height > 0 &&
        (length * length / 4 + height * height) / (2 * height) <= half_width)
      return true;
    i += 2;
  }
  return false;
}

int device_dpi_x() {
  static const int dpi = QImage(1, 1, QImage::Format_RGB32).logicalDpiX();
  return dpi;
}

int device_dpi_y() {
  static const int dpi = QImage(1, 1, QImage::Format_RGB32).logicalDpiY();
  return dpi;
}

}  // namespace

class SvgPaintEngine : public QPaintEngine {
public:
  explicit SvgPaintEngine(SvgDevice& device)
      : QPaintEngine(PrimitiveTransform | PixmapTransform | AlphaBlend |
                     PainterPaths | Antialiasing | ConstantOpacity),
        device(device) {}

  bool begin(QPaintDevice*) override {
    defs.clear();
    body.clear();
    body.room(1 << 15);
    open_style.clear();
    open_variant = -1;
    clips.clear();
    written_clips.clear();
    next_clip = 0;
    known_styles.clear();
    glyph_ids.clear();
    drawing_inverse = device.drawing.inverted();
    drawing_scale = std::sqrt(std::abs(device.drawing.determinant()));
    set_transform(QTransform());
    pen = QPen();
    brush = QBrush();
    antialias = false;
    opacity = 1;
    clip_enabled = false;
    styles_valid = false;
    return true;
  }

  bool end() override {
    Text out;
    const QSize& size = device.size;
    out +=
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<svg xmlns=\"http://www.w3.org/2000/svg\" "
        "xmlns:xlink=\"http://www.w3.org/1999/xlink\" version=\"1.1\" "
        "width=\"";
    if (device.millimetres.isEmpty()) {
      append_int(out, size.width());
      out += "\" height=\"";
      append_int(out, size.height());
      out += "\" viewBox=\"0 0 ";
      append_int(out, size.width());
      out += ' ';
      append_int(out, size.height());
    } else {
      append_number(out, device.millimetres.width(), kMillimetreDecimals);
      out += "mm\" height=\"";
      append_number(out, device.millimetres.height(), kMillimetreDecimals);
      out += "mm\" viewBox=\"0 0 ";
      append_number(out, device.view.width(), kMillimetreDecimals);
      out += ' ';
      append_number(out, device.view.height(), kMillimetreDecimals);
    }
    out += "\">\n";
    if (!device.title.isEmpty()) {
      out += "<title>";
      append_text(out, device.title);
      out += "</title>\n";
    }
    if (!device.description.isEmpty()) {
      out += "<desc>";
      append_text(out, device.description);
      out += "</desc>\n";
    }
    if (!defs.empty()) {
      out += "<defs>\n";
      out += defs;
      out += "</defs>\n";
    }
    // The one transform from the drawing's units to pixels, exact.
    out += "<g transform=\"matrix(";
    const QTransform& m = device.drawing;
    const double values[] = {m.m11(), m.m12(), m.m21(),
                             m.m22(), m.dx(),  m.dy()};
    for (int i = 0; i < 6; ++i) {
      char* at = out.room(kNumberRoom);
      const double v = std::isfinite(values[i]) ? values[i] : 0;
      out.advance(std::to_chars(at, at + kNumberRoom, v).ptr);
      if (i < 5) out += ' ';
    }
    out += ")\">\n";
    Text tail;
    if (!open_style.empty()) tail += "</g>\n";
    tail += "</g>\n</svg>\n";
    // One copy of the body, the bulk of the document.
    const std::string_view parts[] = {out.view(), body.view(), tail.view()};
    std::size_t total = 0;
    for (const std::string_view part : parts) total += part.size();
    // Past what a QByteArray holds the document is empty: a failure.
    if (total > static_cast<std::size_t>(INT_MAX / 2)) {
      device.document.clear();
      return true;
    }
    device.document = QByteArray(static_cast<int>(total), Qt::Uninitialized);
    char* at = device.document.data();
    for (const std::string_view part : parts) {
      std::memcpy(at, part.data(), part.size());
      at += part.size();
    }
    return true;
  }

  Type type() const override { return QPaintEngine::User; }

  void updateState(const QPaintEngineState& state) override {
    const DirtyFlags flags = state.state();
    if (flags & DirtyTransform) set_transform(state.transform());
    if ((flags & DirtyPen) && state.pen() != pen) {
      pen = state.pen();
      styles_valid = false;
    }
    if ((flags & DirtyBrush) && state.brush() != brush) {
      brush = state.brush();
      styles_valid = false;
    }
    if (flags & DirtyHints) {
      const bool smooth = state.renderHints() & QPainter::Antialiasing;
      styles_valid = styles_valid && smooth == antialias;
      antialias = smooth;
    }
    if (flags & DirtyOpacity) {
      styles_valid = styles_valid && state.opacity() == opacity;
      opacity = state.opacity();
    }
    if (flags & DirtyClipEnabled) {
      styles_valid = styles_valid && state.isClipEnabled() == clip_enabled;
      clip_enabled = state.isClipEnabled();
    }
    if (flags & DirtyClipPath) clip(state.clipPath(), state.clipOperation());
    if (flags & DirtyClipRegion) {
      QPainterPath path;
      path.addRegion(state.clipRegion());
      clip(path, state.clipOperation());
    }
  }

  void drawPath(const QPainterPath& path) override {
    const bool fill = has_brush();
    if (has_pen() &&
        (!can_stroke() ||
         (!pen.isCosmetic() && bends_tighter_than(path, pen.widthF() / 2)))) {
      if (fill) {
        shape(Paint::fill, path.fillRule());
        path_element(path, to_drawing);
      }
      stroke_outline(path);
      return;
    }
    const Paint paint = paint_of(fill);
    if (paint == Paint::none) return;
    shape(paint, path.fillRule());
    path_element(path, to_drawing);
  }

  void drawPolygon(const QPointF* points, int count,
                   PolygonDrawMode mode) override {
    if (count <= 0) return;
    const bool fill = mode != PolylineMode && has_brush();
    const Qt::FillRule rule =
        mode == OddEvenMode ? Qt::OddEvenFill : Qt::WindingFill;
    if (has_pen() && !can_stroke()) {
      QPainterPath path;
      path.setFillRule(rule);
      path.addPolygon(QPolygonF(QVector<QPointF>(points, points + count)));
      if (mode == PolylineMode) {
        stroke_outline(path);
        return;
      }
      path.closeSubpath();
      drawPath(path);
      return;
    }
    const Paint paint = paint_of(fill);
    if (paint == Paint::none) return;
    shape(paint, rule);
    body += "<path d=\"";
    PathData data(body, device.decimals);
    data.command('M');
    // A last point on the first closes the outline, as for Qt's stroker.
    const bool returns = count > 2 && points[count - 1] == points[0];
    const int end = returns ? count - 1 : count;
    const PointMap to(to_drawing);
    for (int i = 0; i < end; ++i) data.point(to(points[i]));
    if (mode != PolylineMode || returns) data.command('Z');
    body += "\"/>\n";
  }

  void drawLines(const QLineF* lines, int count) override {
    if (count <= 0 || !has_pen()) return;
    if (!can_stroke()) {
      QPainterPath path;
      for (int i = 0; i < count; ++i) {
        path.moveTo(lines[i].p1());
        path.lineTo(lines[i].p2());
      }
      stroke_outline(path);
      return;
    }
    shape(Paint::stroke, Qt::WindingFill);
    body += "<path d=\"";
    PathData data(body, device.decimals);
    const PointMap to(to_drawing);
    for (int i = 0; i < count; ++i) {
      data.command('M');
      data.point(to(lines[i].p1()));
      data.point(to(lines[i].p2()));
    }
    body += "\"/>\n";
  }

  void drawRects(const QRectF* rects, int count) override {
    if (!axis_aligned || (has_pen() && !can_stroke())) {
      QPainterPath path;
      for (int i = 0; i < count; ++i) path.addRect(rects[i]);
      drawPath(path);
      return;
    }
    const Paint paint = paint_of(has_brush());
    if (count <= 0 || paint == Paint::none) return;
    shape(paint, Qt::WindingFill);
    for (int i = 0; i < count; ++i) {
      body += "<rect";
      append_box(to_drawing.mapRect(rects[i]).normalized());
      body += "/>\n";
    }
  }

  void drawEllipse(const QRectF& rect) override {
    const bool circle = similar && rect.width() == rect.height();
    if (!(circle || axis_aligned) || (has_pen() && !can_stroke())) {
      QPainterPath path;
      path.addEllipse(rect);
      drawPath(path);
      return;
    }
    const Paint paint = paint_of(has_brush());
    if (paint == Paint::none) return;
    shape(paint, Qt::WindingFill);
    const QPointF centre = to_drawing.map(rect.center());
    body += circle ? "<circle cx=\"" : "<ellipse cx=\"";
    append_number(body, centre.x(), device.decimals);
    body += "\" cy=\"";
    append_number(body, centre.y(), device.decimals);
    if (circle) {
      body += "\" r=\"";
      append_number(body, std::abs(rect.width()) / 2 * scale, device.decimals);
    } else {
      body += "\" rx=\"";
      append_number(body, std::abs(rect.width() * to_drawing.m11()) / 2,
                    device.decimals);
      body += "\" ry=\"";
      append_number(body, std::abs(rect.height() * to_drawing.m22()) / 2,
                    device.decimals);
    }
    body += "\"/>\n";
  }

  // Squares of the pen's width, or discs for a round pen.
  void drawPoints(const QPointF* points, int count) override {
    if (count <= 0 || !has_pen()) return;
    const double side = pen_width();
    shape(Paint::pen_fill, Qt::WindingFill);
    if (pen.capStyle() == Qt::RoundCap) {
      for (int i = 0; i < count; ++i) {
        const QPointF p = to_drawing.map(points[i]);
        body += "<circle cx=\"";
        append_number(body, p.x(), device.decimals);
        body += "\" cy=\"";
        append_number(body, p.y(), device.decimals);
        body += "\" r=\"";
        append_significant(body, side / 2);
        body += "\"/>\n";
      }
      return;
    }
    body += "<path d=\"";
    PathData data(body, device.decimals);
    for (int i = 0; i < count; ++i) {
      const QPointF p = to_drawing.map(points[i]);
      data.command('M');
      data.point(p - QPointF(side / 2, side / 2));
      data.command('h');
      data.number(side);
      data.command('v');
      data.number(side);
      data.command('h');
      data.number(-side);
      data.command('Z');
    }
    body += "\"/>\n";
  }

  // Each glyph a use of its outline, defined once per document.
  void drawTextItem(const QPointF& p, const QTextItem& item) override {
    const std::vector<PlacedGlyph>* glyphs =
        layout_of(item.font(), item.text());
    if (!glyphs) {
      QPainterPath path;
      path.addText(p, item.font(), item.text());
      path.setFillRule(Qt::WindingFill);
      fill_with_pen(path, to_drawing);
      return;
    }
    shape(Paint::pen_fill, Qt::WindingFill);
    for (const PlacedGlyph& glyph : *glyphs) {
      const QTransform place =
          QTransform(1 / kGlyphUnits, 0, 0, 1 / kGlyphUnits,
                     p.x() + glyph.offset.x(), p.y() + glyph.offset.y()) *
          to_drawing;
      // Enough digits for the drawing's resolution at this glyph size.
      const int decimals = std::clamp(
          device.decimals +
              static_cast<int>(std::ceil(std::log10(
                  std::sqrt(std::abs(place.determinant())) + 1e-300))),
          0, 9);
      const int id = glyph_id(glyph, decimals);
      if (id == 0) continue;
      body += "<use xlink:href=\"#g";
      append_int(body, id);
      body += "\" transform=\"";
      append_matrix(body, place, device.decimals);
      body += "\"/>\n";
    }
  }

  void drawImage(const QRectF& r, const QImage& image, const QRectF& sr,
                 Qt::ImageConversionFlags) override {
    const QRect part = sr.toAlignedRect();
    const QByteArray png =
        encode_png(part == image.rect() ? image : image.copy(part));
    if (png.isEmpty()) return;
    shape(Paint::none, Qt::WindingFill);
    body += "<image";
    append_box(r);
    body += " preserveAspectRatio=\"none\" transform=\"";
    append_matrix(body, to_drawing, device.decimals);
    body += "\" xlink:href=\"data:image/png;base64,";
    body += png.toBase64().toStdString();
    body += "\"/>\n";
  }

  void drawPixmap(const QRectF& r, const QPixmap& pixmap,
                  const QRectF& sr) override {
    drawImage(r, pixmap.toImage(), sr, Qt::AutoColor);
  }

private:
  // What a shape is painted with.
  enum class Paint { none, stroke, fill, fill_and_stroke, pen_fill };

  bool has_pen() const { return pen.style() != Qt::NoPen; }
  bool has_brush() const { return brush.style() != Qt::NoBrush; }

  Paint paint_of(bool fill) const {
    if (has_pen()) return fill ? Paint::fill_and_stroke : Paint::stroke;
    return fill ? Paint::fill : Paint::none;
  }

  // SVG strokes a solid pen as Qt does where the transform keeps angles; a
  // cosmetic pen keeps its width in pixels under any transform.
  bool can_stroke() const {
    return pen.style() == Qt::SolidLine && (similar || pen.isCosmetic());
  }

  // The pen's width in drawing units.
  double pen_width() const {
    if (pen.isCosmetic()) return std::max(pen.widthF(), 1.0) / drawing_scale;
    return pen.widthF() * scale;
  }

  void set_transform(const QTransform& transform) {
    to_drawing = transform * drawing_inverse;
    const double a = to_drawing.m11(), b = to_drawing.m12();
    const double c = to_drawing.m21(), d = to_drawing.m22();
    const double tolerance =
        1e-9 * (std::abs(a) + std::abs(b) + std::abs(c) + std::abs(d));
    similar = (std::abs(a - d) <= tolerance && std::abs(b + c) <= tolerance) ||
              (std::abs(a + d) <= tolerance && std::abs(b - c) <= tolerance);
    axis_aligned = to_drawing.type() <= QTransform::TxScale;
    const double new_scale = std::sqrt(std::abs(a * d - b * c));
    if (new_scale != scale) styles_valid = false;
    scale = new_scale;
  }

  // A clip that holds the whole picture (but for a thousandth of a pixel
  // at its edges: a clip to the picture's rectangle, rounded) changes
  // nothing, and is left out.
  void clip(const QPainterPath& path, Qt::ClipOperation operation) {
    styles_valid = false;
    if (operation == Qt::NoClip || operation == Qt::ReplaceClip) clips.clear();
    if (operation == Qt::NoClip) return;
    const QTransform to_device = to_drawing * device.drawing;
    const QRectF picture = QRectF(QPointF(0, 0), QSizeF(device.size))
                               .adjusted(1e-3, 1e-3, -1e-3, -1e-3);
    if (to_device.map(path).contains(picture)) return;
    QPainterPath mapped = to_drawing.map(path);
    mapped.setFillRule(path.fillRule());
    clips.push_back({std::move(mapped), 0});
  }

  // The clip path that stands for the clips in force, nested inside each
  // other; 0 for none. Chains already written are used again.
  int clip_id() {
    if (!clip_enabled || clips.empty()) return 0;
    for (std::size_t i = 0; i < clips.size(); ++i) {
      Clip& clip = clips[i];
      if (clip.id) continue;
      if (i < written_clips.size() &&
          (i == 0 || clips[i - 1].id == written_clips[i - 1].id) &&
          written_clips[i].path == clip.path) {
        clip.id = written_clips[i].id;
        continue;
      }
      clip.id = ++next_clip;
      defs += "<clipPath id=\"c";
      append_int(defs, clip.id);
      if (i > 0) {
        defs += "\" clip-path=\"url(#c";
        append_int(defs, clips[i - 1].id);
        defs += ')';
      }
      defs += "\"><path";
      if (clip.path.fillRule() == Qt::OddEvenFill)
        defs += " clip-rule=\"evenodd\"";
      defs += " d=\"";
      append_path(defs, clip.path, QTransform(), device.decimals);
      defs += "\"/></clipPath>\n";
    }
    written_clips = clips;
    return clips.back().id;
  }

  void append_stroke(Text& out) const {
    out += " stroke=\"";
    append_colour(out, pen.color());
    out += '"';
    append_opacity(out, " stroke-opacity=\"", pen.color());
    out += " stroke-width=\"";
    append_significant(out, pen_width());
    out += '"';
    switch (pen.capStyle()) {
      case Qt::SquareCap:
        out += " stroke-linecap=\"square\"";
        break;
      case Qt::RoundCap:
        out += " stroke-linecap=\"round\"";
        break;
      default:
        break;
    }
    switch (pen.joinStyle()) {
      case Qt::BevelJoin:
        out += " stroke-linejoin=\"bevel\"";
        break;
      case Qt::RoundJoin:
        out += " stroke-linejoin=\"round\"";
        break;
      default:
        out += " stroke-miterlimit=\"";
        append_significant(out, std::max(pen.miterLimit(), 1.0));
        out += '"';
        break;
    }
  }

  void append_opacity(Text& out, const char* attribute,
                      const QColor& colour) const {
    const double alpha = colour.alphaF() * opacity;
    if (alpha >= 1) return;
    out += attribute;
    append_significant(out, alpha, 3);
    out += '"';
  }

  void append_fill(Text& out, const QColor& colour, Qt::FillRule rule) const {
    out += " fill=\"";
    append_colour(out, colour);
    out += '"';
    append_opacity(out, " fill-opacity=\"", colour);
    if (rule == Qt::OddEvenFill) out += " fill-rule=\"evenodd\"";
  }

  // The group attributes for a shape painted so.
  Text style_of(Paint paint, Qt::FillRule rule) {
    Text style;
    switch (paint) {
      case Paint::none:
        break;
      case Paint::stroke:
        style += " fill=\"none\"";
        append_stroke(style);
        break;
      case Paint::fill:
        append_fill(style, brush.color(), rule);
        break;
      case Paint::fill_and_stroke:
        append_fill(style, brush.color(), rule);
        append_stroke(style);
        break;
      case Paint::pen_fill:
        append_fill(style, pen.color(), rule);
        break;
    }
    if (const int id = clip_id()) {
      style += " clip-path=\"url(#c";
      append_int(style, id);
      style += ")\"";
    }
    if (!antialias) style += " shape-rendering=\"crispEdges\"";
    return style;
  }

  // The group attributes for a shape painted so, written once per document:
  // a painter's restore after each item undoes its pen, which made every
  // item's style text anew.
  const Text& remembered_style(Paint paint, Qt::FillRule rule) {
    StyleKey key;
    key.variant = static_cast<int>(paint) * 2 + (rule == Qt::OddEvenFill);
    key.clip = clip_id();
    key.antialias = antialias;
    if (paint == Paint::stroke || paint == Paint::fill_and_stroke) {
      key.pen_colour = pen.color().rgba64();
      key.pen_width = pen_width();
      key.cap = pen.capStyle();
      key.join = pen.joinStyle();
      key.miter = pen.miterLimit();
    }
    if (paint == Paint::fill || paint == Paint::fill_and_stroke)
      key.fill_colour = brush.color().rgba64();
    else if (paint == Paint::pen_fill)
      key.fill_colour = pen.color().rgba64();
    if (paint != Paint::none) key.opacity = opacity;
    for (const auto& [kept, style] : known_styles)
      if (kept == key) return style;
    known_styles.emplace_back(key, style_of(paint, rule));
    return known_styles.back().second;
  }

  // Opens the group for a shape painted so, unless it is open.
  void shape(Paint paint, Qt::FillRule rule) {
    const int variant =
        static_cast<int>(paint) * 2 + (rule == Qt::OddEvenFill ? 1 : 0);
    if (!styles_valid) {
      for (bool& known : style_known) known = false;
      styles_valid = true;
      open_variant = -1;
    }
    if (variant == open_variant) return;
    if (!style_known[variant]) {
      styles[variant] = remembered_style(paint, rule);
      style_known[variant] = true;
    }
    const Text& style = styles[variant];
    if (style != open_style) {
      if (!open_style.empty()) body += "</g>\n";
      if (!style.empty()) {
        body += "<g";
        body += style;
        body += ">\n";
      }
      open_style = style;
    }
    open_variant = variant;
  }

  void append_box(const QRectF& r) {
    body += " x=\"";
    append_number(body, r.x(), device.decimals);
    body += "\" y=\"";
    append_number(body, r.y(), device.decimals);
    body += "\" width=\"";
    append_number(body, r.width(), device.decimals);
    body += "\" height=\"";
    append_number(body, r.height(), device.decimals);
    body += '"';
  }

  void path_element(const QPainterPath& path, const QTransform& map) {
    body += "<path d=\"";
    append_path(body, path, map, device.decimals);
    body += "\"/>\n";
  }

  void fill_with_pen(const QPainterPath& path, const QTransform& map) {
    shape(Paint::pen_fill, path.fillRule());
    path_element(path, map);
  }

  // The pen's outline filled: dashes, and strokes the transform skews.
  void stroke_outline(const QPainterPath& path) {
    QPainterPathStroker stroker(pen);
    if (pen.isCosmetic()) {
      stroker.setWidth(pen_width());
      fill_with_pen(stroker.createStroke(to_drawing.map(path)), QTransform());
    } else {
      fill_with_pen(stroker.createStroke(path), to_drawing);
    }
  }

  // The document's id of a glyph outline, defined at its first use; 0 for
  // a glyph that draws nothing.
  int glyph_id(const PlacedGlyph& glyph, int decimals) {
    const GlyphOutline& outline = outline_of(glyph, decimals);
    if (outline.data.empty()) return 0;
    auto [found, added] = glyph_ids.try_emplace(
        outline.serial, static_cast<int>(glyph_ids.size()) + 1);
    if (added) {
      defs += "<path id=\"g";
      append_int(defs, found->second);
      defs += "\" d=\"";
      defs += outline.data;
      defs += "\"/>\n";
    }
    return found->second;
  }

  struct Clip {
    QPainterPath path;
    int id = 0;
  };

  // Everything a group's attributes are written from.
  struct StyleKey {
    int variant = 0;
    int clip = 0;
    bool antialias = false;
    quint64 pen_colour = 0;
    double pen_width = 0;
    int cap = 0;
    int join = 0;
    double miter = 0;
    quint64 fill_colour = 0;
    double opacity = 0;

    bool operator==(const StyleKey& o) const {
      return variant == o.variant && clip == o.clip &&
             antialias == o.antialias && pen_colour == o.pen_colour &&
             pen_width == o.pen_width && cap == o.cap && join == o.join &&
             miter == o.miter && fill_colour == o.fill_colour &&
             opacity == o.opacity;
    }
  };

  SvgDevice& device;
  Text defs;
  Text body;
  // The attributes of the open group, none when empty; the variant of
  // styles that it is, while the state holds.
  Text open_style;
  int open_variant = -1;
  // Group attributes by paint and fill rule, while the state holds.
  Text styles[10];
  bool style_known[10] = {};
  bool styles_valid = false;
  // Every style of the document: a few dozen at most.
  std::vector<std::pair<StyleKey, Text>> known_styles;

  QPen pen;
  QBrush brush;
  bool antialias = false;
  double opacity = 1;
  QTransform drawing_inverse;
  double drawing_scale = 1;
  // From the painter's coordinates to the drawing's units.
  QTransform to_drawing;
  bool similar = true;
  bool axis_aligned = true;
  double scale = 1;

  bool clip_enabled = false;
  std::vector<Clip> clips;
  std::vector<Clip> written_clips;
  int next_clip = 0;
  // Outlines by serial, numbered in order of first use so that a document
  // does not depend on what was drawn before it.
  std::unordered_map<long long, int> glyph_ids;
};

SvgDevice::SvgDevice(const QSize& size, const QTransform& drawing, int decimals)
    : size(size),
      drawing(drawing),
      decimals(std::clamp(
          std::max(decimals, static_cast<int>(std::ceil(std::log10(
                                 std::sqrt(std::abs(drawing.determinant())) *
                                 kPixelFractions)))),
          0, 15)),
      engine(std::make_unique<SvgPaintEngine>(*this)) {
}

SvgDevice::~SvgDevice() = default;

void SvgDevice::set_title(const QString& text) {
  title = text;
}

void SvgDevice::set_physical_size(const QSizeF& size_mm,
                                  const QSizeF& view_pixels) {
  millimetres = size_mm;
  view = view_pixels;
}

void SvgDevice::set_description(const QString& text) {
  description = text;
}

QByteArray SvgDevice::svg() const {
  return document;
}

QPaintEngine* SvgDevice::paintEngine() const {
  return engine.get();
}

int SvgDevice::metric(PaintDeviceMetric metric) const {
  switch (metric) {
    case PdmWidth:
      return size.width();
    case PdmHeight:
      return size.height();
    case PdmWidthMM:
      return qRound(size.width() * 25.4 / device_dpi_x());
    case PdmHeightMM:
      return qRound(size.height() * 25.4 / device_dpi_y());
    case PdmNumColors:
      return INT_MAX;
    case PdmDepth:
      return 32;
    case PdmDpiX:
    case PdmPhysicalDpiX:
      return device_dpi_x();
    case PdmDpiY:
    case PdmPhysicalDpiY:
      return device_dpi_y();
    case PdmDevicePixelRatio:
      return 1;
    case PdmDevicePixelRatioScaled:
      return static_cast<int>(devicePixelRatioFScale());
  }
  return 0;
}

}  // namespace padscope::render
