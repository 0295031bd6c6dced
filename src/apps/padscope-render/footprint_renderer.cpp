#include "apps/padscope-render/footprint_renderer.h"

#include "apps/padscope-render/pdf_pages.h"
#include "apps/padscope-render/png_writer.h"
#include "apps/padscope-render/svg_writer.h"
#include "zwidget/zgraph/item_kind.h"
#include "zwidget/zviewer/compare_scene.h"
#include "zwidget/zviewer/drawn_area.h"
#include "zwidget/zviewer/footprint_formats.h"
#include "zwidget/zviewer/grid_painter.h"
#include "zwidget/zviewer/obj_canvas.h"
#include "zwidget/zviewer/zscene.h"

#include <QBuffer>
#include <QFrame>
#include <QGraphicsItem>
#include <QPainter>
#include <QStyleOptionGraphicsItem>
#include <QSvgGenerator>

#include <algorithm>
#include <cmath>
#include <optional>
#include <stdexcept>

namespace padscope::render {

namespace {

// The viewer's grid pitch, in scene units.
constexpr double kGridStep = 1.27;

// Scene units are millimetres or tenths of a mil; six decimals resolve a
// nanometre in both.
constexpr int kSvgDecimals = 6;

const QString kSvgDescription = QStringLiteral("Rendered by padscope-render");

// CSS pixels: an SVG at a scale is a pixel of its own a screen pixel in a
// browser, so that hairlines drawn one pixel wide stay so.
constexpr double kPixelsPerMillimetre = 96 / 25.4;

// A control character that XML 1.0 cannot hold, or the start of U+FFFE or
// U+FFFF (UTF-8 has neither inside another character).
bool is_xml_invalid(const unsigned char* at, const unsigned char* end) {
  if (*at < 0x20) return *at != '\t' && *at != '\n' && *at != '\r';
  return *at == 0xef && end - at > 2 && at[1] == 0xbf && (at[2] & 0xfe) == 0xbe;
}

// Qt's SVG generator writes any text with the control characters XML 1.0
// cannot hold, so that a control character in a pad number made an
// ill-formed file; they are dropped. (It writes the title and description
// unescaped too: a footprint named "<script>...</script>" made a script
// element. Those are escaped before it sees them.)
QByteArray without_xml_invalid(const QByteArray& svg) {
  const auto* const begin =
      reinterpret_cast<const unsigned char*>(svg.constData());
  const auto* const end = begin + svg.size();
  const auto* at = begin;
  while (at != end && !is_xml_invalid(at, end)) ++at;
  if (at == end) return svg;
  QByteArray kept(svg.constData(), static_cast<int>(at - begin));
  while (at != end) {
    if (!is_xml_invalid(at, end)) {
      kept += static_cast<char>(*at++);
    } else {
      at += *at < 0x20 ? 1 : 3;
    }
  }
  return kept;
}

}  // namespace

// The viewer's canvas with the background of the chosen style.
class FootprintRenderer::Canvas : public zwidget::zcvpcb::ZObjCanvas {
public:
  explicit Canvas(const RenderStyle& style)
      : ZObjCanvas(nullptr), style(style) {}

  // The background of the style over `rect`, in scene units.
  void paint_background(QPainter* painter, const QRectF& rect) {
    drawBackground(painter, rect);
  }
  // What the canvas draws over the items.
  void paint_foreground(QPainter* painter, const QRectF& rect) {
    drawForeground(painter, rect);
  }

protected:
  void drawBackground(QPainter* painter, const QRectF& rect) override {
    const Background background = style.background;
    if (background == Background::theme) {
      // The scene's own background: the theme's, with its grid.
      if (style.grid)
        ZObjCanvas::drawBackground(painter, rect);
      else
        painter->fillRect(rect, theme_background());
      return;
    }
    const bool white = background == Background::white;
    if (background == Background::black || white)
      painter->fillRect(rect, white ? Qt::white : Qt::black);
    if (!style.grid) return;
    // The viewer's grid, in a grey that shows on a light background too.
    painter->save();
    zwidget::zcvpcb::GridPainter grid(painter, rect);
    grid.step = kGridStep;
    grid.background_pen = QPen(Qt::NoPen);
    grid.background_brush = QBrush(Qt::NoBrush);
    grid.point_pen.setColor(background == Background::black
                                ? QColor(Qt::white)
                                : QColor(128, 128, 128));
    grid.paint();
    painter->restore();
  }

private:
  QColor theme_background() const {
    return zwidget::zcvpcb::ZGraphToolsFactory(style.picture.theme)
        .colour("system.background");
  }

  RenderStyle style;
};

FootprintRenderer::FootprintRenderer(const RenderStyle& style)
    : style(style), canvas(std::make_unique<Canvas>(style)) {
  QObject::connect(
      canvas.get(),
      QOverload<std::shared_ptr<zcore::BaseModel>>::of(
          &zwidget::zcvpcb::ZObjCanvas::loaded),
      [this](std::shared_ptr<zcore::BaseModel> model) { shown = model; });
  // The viewport is the fitted area; the margins are drawn around it.
  canvas->set_picture(style.picture);
  canvas->setFrameShape(QFrame::NoFrame);
  canvas->setMinimumSize(1, 1);
  canvas->resize(std::max(1, style.size.width() - 2 * style.margin),
                 std::max(1, style.size.height() - 2 * style.margin));
  // Showing lays the viewport out at that size; nothing reaches a screen.
  canvas->setAttribute(Qt::WA_DontShowOnScreen);
  canvas->show();
}

FootprintRenderer::~FootprintRenderer() = default;

void FootprintRenderer::show_comparison(
    const zcore::BaseModel& before, const zcore::BaseModel& after,
    const zcore::footprint_comparison& result) {
  shown.reset();
  auto scene = std::make_unique<zwidget::zcvpcb::ZCompareScene>();
  scene->build_pair(before, after, result);
  canvas->show_scene(scene.release());
}

void FootprintRenderer::load(const QString& path,
                             const zwidget::zcvpcb::FootprintFormat& format) {
  shown.reset();
  canvas->parser_name = format.parser;
  // The canvas fails a file that holds no footprint.
  canvas->load(path);
}

int FootprintRenderer::module_count() const {
  return canvas->module_count();
}

void FootprintRenderer::show_module(int index) {
  if (index < 0 || index >= module_count())
    throw std::out_of_range("No module " + std::to_string(index));
  canvas->show_module(index);
}

QString FootprintRenderer::footprint_name() const {
  // Also for a module of a library that could not be shown.
  if (canvas->module_count() > 1) return canvas->module_name();
  if (!shown) return QString();
  return QString::fromStdString(
      zwidget::zcvpcb::format_of(*shown)->footprint_name(*shown));
}

KindCounts FootprintRenderer::items() const {
  KindCounts counts;
  if (QGraphicsScene* scene = canvas->scene()) {
    for (QGraphicsItem* item : scene->items())
      ++counts[zwidget::zgraph::kind_of(item)];
  }
  return counts;
}

zcore::footprint_facts FootprintRenderer::facts() const {
  return shown ? zcore::facts_of(*shown) : zcore::footprint_facts();
}

KindCounts FootprintRenderer::not_drawn() const {
  auto* scene = dynamic_cast<zwidget::zcvpcb::ZScene*>(canvas->scene());
  if (!scene || !scene->scene_loader()) return {};
  return scene->scene_loader()->not_drawn();
}

namespace {

// Items as the scenes make them: no parent, children, transform, opacity,
// effect or flags that Qt's painting of a scene would have to honour.
bool plain_items(const QList<QGraphicsItem*>& items) {
  return std::all_of(items.begin(), items.end(), [](QGraphicsItem* item) {
    return !item->parentItem() && item->childItems().isEmpty() &&
           item->opacity() == 1 && !item->graphicsEffect() &&
           item->flags() == QGraphicsItem::GraphicsItemFlags() &&
           item->sceneTransform().isIdentity();
  });
}

// Whether `box` is in view of `area`, as Qt finds the items to draw; the
// rectangles of an upright view, `bounds`, decide what lies clear of its
// edge.
bool in_view(const QRectF& box, const QPainterPath& area,
             const std::optional<QRectF>& bounds) {
  const bool finite = std::isfinite(box.left()) && std::isfinite(box.top()) &&
                      std::isfinite(box.right()) && std::isfinite(box.bottom());
  if (bounds && finite) {
    const double edge = 1e-6 * (bounds->width() + bounds->height());
    if (bounds->adjusted(edge, edge, -edge, -edge).contains(box)) return true;
    if (!bounds->adjusted(-edge, -edge, edge, edge).intersects(box))
      return false;
  }
  return area.intersects(box);
}

// The outline's rectangle when the outline is one.
std::optional<QRectF> upright_bounds(const QPolygonF& outline) {
  if (outline.size() != 4) return std::nullopt;
  double left = outline[0].x(), right = left;
  double top = outline[0].y(), bottom = top;
  for (const QPointF& p : outline) {
    left = std::min(left, p.x());
    right = std::max(right, p.x());
    top = std::min(top, p.y());
    bottom = std::max(bottom, p.y());
  }
  for (int i = 0; i < 4; ++i) {
    const QPointF& p = outline[i];
    const QPointF& next = outline[(i + 1) % 4];
    const bool corner =
        (p.x() == left || p.x() == right) && (p.y() == top || p.y() == bottom);
    if (!corner || (p.x() != next.x() && p.y() != next.y()))
      return std::nullopt;
  }
  return QRectF(QPointF(left, top), QPointF(right, bottom));
}

// Paints the visible `items` in view of `outline`, whose path is `area`,
// in the order given, each under the painter's transform, its state kept
// from one item to the next.
void paint_items(QPainter& painter, const QList<QGraphicsItem*>& items,
                 const QPolygonF& outline, const QPainterPath& area) {
  const QTransform view = painter.worldTransform();
  const std::optional<QRectF> upright = upright_bounds(outline);
  QStyleOptionGraphicsItem option;
  for (QGraphicsItem* item : items) {
    if (!item->isVisible()) continue;
    QRectF box = item->boundingRect();
    // Qt gives a line's rectangle some width to be found.
    if (box.width() == 0) box.adjust(-0.00001, 0, 0.00001, 0);
    if (box.height() == 0) box.adjust(0, -0.00001, 0, 0.00001);
    if (!in_view(box, area, upright)) continue;
    painter.setWorldTransform(view);
    painter.save();
    item->paint(&painter, &option, nullptr);
    painter.restore();
  }
  painter.setWorldTransform(view);
}

}  // namespace

// As QGraphicsView::render draws the viewport shifted out by the margin on
// every side: the same transform, clips, background and foreground, and
// each visible item in stacking order under the same painter state. Qt
// finds the items in view by testing each one's rectangle against the
// view's outline as a path, a sixth of the time a picture took; here
// rectangles decide all but those near the edge of the view, which are
// tested as Qt tests them.
void FootprintRenderer::paint(QPainter& painter) const {
  const int margin = style.margin;
  const QSize& size = style.size;
  painter.setRenderHints(canvas->renderHints());
  QGraphicsScene* scene = canvas->scene();
  if (!scene) return;
  // A scene is painted once or twice: a walk over its items costs less than
  // the spatial index that Qt would build for its queries.
  scene->setItemIndexMethod(QGraphicsScene::NoIndex);
  const QRectF target(QPointF(0, 0), size);
  const QRect source(-margin, -margin, size.width(), size.height());
  const QList<QGraphicsItem*> items = zwidget::zcvpcb::stacked_items(*scene);
  if (!painter.isActive() || !plain_items(items)) {
    canvas->render(&painter, target, source, Qt::IgnoreAspectRatio);
    return;
  }
  const QPolygonF outline = canvas->mapToScene(source.adjusted(-1, -1, 1, 1));
  QTransform matrix = canvas->viewportTransform();
  matrix *= QTransform()
                .translate(target.left(), target.top())
                .scale(target.width() / source.width(),
                       target.height() / source.height())
                .translate(-source.left(), -source.top());
  painter.save();
  painter.setClipRect(target);
  QPainterPath area;
  area.addPolygon(outline);
  area.closeSubpath();
  painter.setClipPath(matrix.map(area), Qt::IntersectClip);
  painter.setRenderHints(painter.renderHints(), false);
  painter.setRenderHints(canvas->renderHints(), true);
  painter.setTransform(matrix, true);
  const QRectF outline_bounds = outline.boundingRect();
  canvas->paint_background(&painter, outline_bounds);
  paint_items(painter, items, outline, area);
  canvas->paint_foreground(&painter, outline_bounds);
  painter.restore();
}

QImage FootprintRenderer::image() const {
  const bool transparent = style.background == Background::transparent;
  QImage picture(style.size, transparent ? QImage::Format_ARGB32_Premultiplied
                                         : QImage::Format_RGB32);
  picture.fill(transparent ? Qt::transparent : Qt::black);
  QPainter painter(&picture);
  paint(painter);
  painter.end();
  return picture;
}

QByteArray FootprintRenderer::png() const {
  return encode_png(image());
}

QSizeF FootprintRenderer::drawn_millimetres(double scale) const {
  return zwidget::zcvpcb::DrawnArea(*canvas).millimetres(scale);
}

QSizeF FootprintRenderer::picture_millimetres() const {
  if (style.scale <= 0) return QSizeF(style.size) * (25.4 / 96);
  return drawn_millimetres(style.scale);
}

void FootprintRenderer::paint_drawn_area(
    QPainter& painter, const QRectF& target,
    const zwidget::zcvpcb::DrawnArea& area) const {
  area.paint(painter, target, [this](QPainter* on, const QRectF& rect) {
    canvas->paint_background(on, rect);
  });
}

void FootprintRenderer::paint_into(QPainter& painter,
                                   const QRectF& target) const {
  if (style.scale > 0) {
    paint_drawn_area(painter, target, zwidget::zcvpcb::DrawnArea(*canvas));
    return;
  }
  painter.save();
  painter.translate(target.topLeft());
  painter.scale(target.width() / style.size.width(),
                target.height() / style.size.height());
  paint(painter);
  painter.restore();
}

QByteArray FootprintRenderer::pdf(const QString& title) const {
  PdfPages document(title);
  document.add(*this);
  return document.finish();
}

QByteArray FootprintRenderer::svg_at_scale(const QString& title,
                                           double scale) const {
  const zwidget::zcvpcb::DrawnArea area(*canvas);
  const QSizeF millimetres = area.millimetres(scale);
  if (millimetres.isEmpty()) return QByteArray();
  const QRectF view(QPointF(0, 0), millimetres * kPixelsPerMillimetre);
  const QSize pixels(static_cast<int>(std::ceil(view.width())),
                     static_cast<int>(std::ceil(view.height())));
  SvgDevice device(pixels, area.drawing_into(view), kSvgDecimals);
  device.set_title(title);
  device.set_description(kSvgDescription);
  device.set_physical_size(millimetres, view.size());
  QPainter painter(&device);
  paint_drawn_area(painter, view, area);
  painter.end();
  return device.svg();
}

QByteArray FootprintRenderer::svg(const QString& title) const {
  if (style.scale > 0) return svg_at_scale(title, style.scale);
  // Where the view puts the scene on the image: the fit, shifted by the
  // margin as paint() shifts the viewport.
  const QTransform drawing =
      canvas->viewportTransform() *
      QTransform::fromTranslate(style.margin, style.margin);
  SvgDevice device(style.size, drawing, kSvgDecimals);
  device.set_title(title);
  device.set_description(kSvgDescription);
  QPainter painter(&device);
  paint(painter);
  painter.end();
  return device.svg();
}

QByteArray FootprintRenderer::qt_svg(const QString& title) const {
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  QSvgGenerator generator;
  generator.setOutputDevice(&buffer);
  generator.setSize(style.size);
  generator.setViewBox(QRect(QPoint(0, 0), style.size));
  // Fonts sized in points then come out as large as in the PNG.
  generator.setResolution(QImage(1, 1, QImage::Format_RGB32).logicalDpiY());
  generator.setTitle(title.toHtmlEscaped());
  generator.setDescription(kSvgDescription.toHtmlEscaped());
  QPainter painter(&generator);
  paint(painter);
  painter.end();

  // The generator states the size in millimetres; it was asked in pixels.
  QByteArray svg = without_xml_invalid(buffer.data());
  const int start = svg.indexOf("<svg width=\"");
  const int height = svg.indexOf("height=\"", start);
  const int end = svg.indexOf('"', height + 8);
  if (start >= 0 && height > start && end > height)
    svg.replace(start, end + 1 - start,
                QStringLiteral("<svg width=\"%1\" height=\"%2\"")
                    .arg(style.size.width())
                    .arg(style.size.height())
                    .toUtf8());
  return svg;
}

}  // namespace padscope::render
