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
#include <QSvgGenerator>

#include <algorithm>
#include <cmath>
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

void FootprintRenderer::paint(QPainter& painter) const {
  const int margin = style.margin;
  const QSize& size = style.size;
  painter.setRenderHints(canvas->renderHints());
  // A scene is painted once or twice: a walk over its items costs less than
  // the spatial index that Qt would build for the one query.
  if (QGraphicsScene* scene = canvas->scene())
    scene->setItemIndexMethod(QGraphicsScene::NoIndex);
  // The viewport shifted out by the margin on every side.
  canvas->render(&painter, QRectF(QPointF(0, 0), size),
                 QRect(-margin, -margin, size.width(), size.height()),
                 Qt::IgnoreAspectRatio);
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
