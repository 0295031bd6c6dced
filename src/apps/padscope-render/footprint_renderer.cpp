#include "apps/padscope-render/footprint_renderer.h"

#include "apps/padscope-render/png_writer.h"
#include "zcore/basenode.h"
#include "zcore/legacy_model.h"
#include "zcore/models.h"
#include "zcore/nodeview.h"
#include "zwidget/zgraph/arc_item.h"
#include "zwidget/zgraph/circle_item.h"
#include "zwidget/zgraph/curve_item.h"
#include "zwidget/zgraph/line_item.h"
#include "zwidget/zgraph/pad_item.h"
#include "zwidget/zgraph/polygon_item.h"
#include "zwidget/zgraph/text_item.h"
#include "zwidget/zviewer/grid_painter.h"
#include "zwidget/zviewer/mine_enum.h"
#include "zwidget/zviewer/obj_canvas.h"
#include "zwidget/zviewer/zscene.h"

#include <QBuffer>
#include <QFrame>
#include <QGraphicsItem>
#include <QPainter>
#include <QSvgGenerator>

#include <algorithm>
#include <stdexcept>

namespace padscope::render {

namespace {

// The viewer's grid pitch, in scene units.
constexpr double kGridStep = 1.27;

std::string item_kind(QGraphicsItem* item) {
  using namespace zwidget::zgraph;
  if (dynamic_cast<GraphicsLineItem*>(item)) return "line";
  if (dynamic_cast<GraphicsArcItem*>(item)) return "arc";
  if (dynamic_cast<GraphicsCircleItem*>(item)) return "circle";
  if (dynamic_cast<GraphicsCurveItem*>(item)) return "curve";
  if (dynamic_cast<GraphicsPolygonItem*>(item)) return "polygon";
  if (dynamic_cast<GraphicsPadItem*>(item)) return "pad";
  if (dynamic_cast<GraphicsTextItem*>(item)) return "text";
  return "other";
}

// A name fit to be quoted in a message: short, printable ASCII.
bool is_plain_word(const std::string& name) {
  return !name.empty() && name.size() <= 40 &&
         std::all_of(name.begin(), name.end(),
                     [](char c) { return c > ' ' && c < 127; });
}

bool is_module_record(const zcore::record& record) {
  return !record.empty() && record.front() == "$MODULE";
}

const MineEnum& footprint_types() {
  static const MineEnum types = [] {
    MineEnum filled;
    filled.add(QStringLiteral("*.kicad_mod"), QStringLiteral("module_parser"));
    filled.add(QStringLiteral("*.mod"), QStringLiteral("module_legacy_parser"));
    return filled;
  }();
  return types;
}

}  // namespace

QString parser_for(const QString& path) {
  return footprint_types().parser_for(path);
}

// The viewer's canvas with the background of the chosen style.
class FootprintRenderer::Canvas : public zwidget::zcvpcb::ZObjCanvas {
public:
  explicit Canvas(const RenderStyle& style)
      : ZObjCanvas(nullptr), style(style) {}

protected:
  void drawBackground(QPainter* painter, const QRectF& rect) override {
    if (style.background == Background::black) {
      // The scene's own background is the viewer's: black with the grid.
      if (style.grid) {
        ZObjCanvas::drawBackground(painter, rect);
      } else {
        painter->fillRect(rect, Qt::black);
      }
      return;
    }
    const bool white = style.background == Background::white;
    if (!style.grid) {
      if (white) painter->fillRect(rect, Qt::white);
      return;
    }
    // The viewer's grid, in a grey that shows on a light background too.
    painter->save();
    zwidget::zcvpcb::GridPainter grid(painter, rect);
    grid.step = kGridStep;
    grid.background_pen = white ? QPen(Qt::white, 0.0) : QPen(Qt::NoPen);
    grid.background_brush = white ? QBrush(Qt::white) : QBrush(Qt::NoBrush);
    grid.point_pen.setColor(QColor(128, 128, 128));
    grid.paint();
    painter->restore();
  }

private:
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
  canvas->setFrameShape(QFrame::NoFrame);
  canvas->setMinimumSize(1, 1);
  canvas->resize(std::max(1, style.size.width() - 2 * style.margin),
                 std::max(1, style.size.height() - 2 * style.margin));
  // Showing lays the viewport out at that size; nothing reaches a screen.
  canvas->setAttribute(Qt::WA_DontShowOnScreen);
  canvas->show();
}

FootprintRenderer::~FootprintRenderer() = default;

void FootprintRenderer::load(const QString& path, const QString& parser_name) {
  shown.reset();
  canvas->parser_name = parser_name;
  canvas->load(path);
  check_footprint();
}

void FootprintRenderer::check_footprint() const {
  if (auto* tree = dynamic_cast<const zcore::S_Model*>(shown.get())) {
    const zcore::basenode* root = tree->root();
    if (root && (root->name == "footprint" || root->name == "module")) return;
    if (root && is_plain_word(root->name))
      throw std::runtime_error("Not a footprint: the file holds (" +
                               root->name + " ...)");
    throw std::runtime_error(
        "Not a footprint: no (footprint ...) or (module ...) list");
  }
  if (canvas->module_count() > 1) return;
  auto* legacy = dynamic_cast<const zcore::LegacyStringModel*>(shown.get());
  if (!legacy) throw std::runtime_error("Nothing was read");
  for (const zcore::record& record : legacy->records()) {
    if (is_module_record(record)) return;
  }
  throw std::runtime_error("Not a footprint library: no $MODULE in the file");
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
  if (auto* tree = dynamic_cast<const zcore::S_Model*>(shown.get())) {
    const zcore::basenode* root = tree->root();
    return root ? QString::fromStdString(zcore::nodeview(root).first_text())
                : QString();
  }
  if (canvas->module_count() > 1) return canvas->module_name();
  if (auto* legacy =
          dynamic_cast<const zcore::LegacyStringModel*>(shown.get())) {
    for (const zcore::record& record : legacy->records()) {
      if (is_module_record(record))
        return record.size() > 1 ? QString::fromStdString(record[1])
                                 : QString();
    }
  }
  return QString();
}

KindCounts FootprintRenderer::items() const {
  KindCounts counts;
  if (QGraphicsScene* scene = canvas->scene()) {
    for (QGraphicsItem* item : scene->items()) ++counts[item_kind(item)];
  }
  return counts;
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

QByteArray FootprintRenderer::svg(const QString& title) const {
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  QSvgGenerator generator;
  generator.setOutputDevice(&buffer);
  generator.setSize(style.size);
  generator.setViewBox(QRect(QPoint(0, 0), style.size));
  // Fonts sized in points then come out as large as in the PNG.
  generator.setResolution(QImage(1, 1, QImage::Format_RGB32).logicalDpiY());
  generator.setTitle(title);
  generator.setDescription(QStringLiteral("Rendered by padscope-render"));
  QPainter painter(&generator);
  paint(painter);
  painter.end();

  // The generator states the size in millimetres; it was asked in pixels.
  QByteArray svg = buffer.data();
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
