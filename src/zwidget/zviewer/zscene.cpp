#include "zwidget/zviewer/zscene.h"

#include "zcore/models.h"
#include "zcore/text_markup.h"
#include "zwidget/zgraph/arc_item.h"
#include "zwidget/zgraph/circle_item.h"
#include "zwidget/zgraph/hole_item.h"
#include "zwidget/zgraph/pad_item.h"
#include "zwidget/zgraph/polygon_item.h"
#include "zwidget/zgraph/text_item.h"
#include "zwidget/zviewer/grid_painter.h"
#include "zwidget/zviewer/item_tags.h"

#include <QAbstractGraphicsShapeItem>
#include <QGraphicsEllipseItem>
#include <QGraphicsItem>
#include <QGraphicsLineItem>
#include <QGraphicsPolygonItem>
#include <QGraphicsSceneMouseEvent>
#include <QMetaObject>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <functional>
#include <iterator>
#include <typeinfo>
#include <vector>

namespace zwidget::zcvpcb {

namespace {

// Every glyph of a text is stroked on every repaint, and the scene repaints
// on every mouse move: a text of 50 MB took minutes. Twice the longest text
// a legacy field can hold (65534 bytes) is far beyond any real footprint,
// and so are twice that for all texts of one footprint.
constexpr std::size_t kLongestText = 1 << 17;
constexpr std::size_t kFootprintText = 2 * kLongestText;

// A number of 400 digits reads as infinity: such geometry would make the
// scene rectangle infinite and the fitted view's transform NaN.
class FiniteCheck {
public:
  void take(double value) { finite = finite && std::isfinite(value); }
  void take(const QPointF& p) {
    take(p.x());
    take(p.y());
  }
  void take(const QRectF& rect) {
    take(rect.topLeft());
    take(rect.bottomRight());
  }

  bool finite = true;
};

// The shape items met most often are found by their exact class; a
// dynamic_cast through the two bases of our items costs hundreds of
// instructions.
const QAbstractGraphicsShapeItem* as_shape_item(const QGraphicsItem* item) {
  const std::type_info& type = typeid(*item);
  if (type == typeid(zgraph::GraphicsPadItem))
    return static_cast<const zgraph::GraphicsPadItem*>(item);
  if (type == typeid(zgraph::GraphicsHoleItem))
    return static_cast<const zgraph::GraphicsHoleItem*>(item);
  if (type == typeid(zgraph::GraphicsTextItem))
    return static_cast<const zgraph::GraphicsTextItem*>(item);
  if (type == typeid(zgraph::GraphicsPolygonItem))
    return static_cast<const zgraph::GraphicsPolygonItem*>(item);
  if (type == typeid(zgraph::GraphicsCircleItem))
    return static_cast<const zgraph::GraphicsCircleItem*>(item);
  if (type == typeid(zgraph::GraphicsArcItem))
    return static_cast<const zgraph::GraphicsArcItem*>(item);
  return dynamic_cast<const QAbstractGraphicsShapeItem*>(item);
}

// The item's own numbers as well as its bounding rectangle: a stroked shape
// drops non-finite points, so the rectangle alone can look harmless. Qt's
// casts by type() where they serve: a dynamic_cast through the two bases
// of our items costs hundreds of instructions.
bool is_finite(const QGraphicsItem* item, const QRectF& bounds) {
  FiniteCheck check;
  check.take(item->pos());
  check.take(item->rotation());
  check.take(item->transform().mapRect(QRectF(0, 0, 1, 1)));
  check.take(bounds);
  if (const auto* line = qgraphicsitem_cast<const QGraphicsLineItem*>(item)) {
    check.take(line->line().p1());
    check.take(line->line().p2());
    check.take(line->pen().widthF());
    return check.finite;
  }
  if (const auto* ellipse =
          qgraphicsitem_cast<const QGraphicsEllipseItem*>(item))
    check.take(ellipse->rect());
  if (const auto* polygon =
          qgraphicsitem_cast<const QGraphicsPolygonItem*>(item)) {
    for (const QPointF& corner : polygon->polygon()) check.take(corner);
  }
  if (const QAbstractGraphicsShapeItem* shape = as_shape_item(item))
    check.take(shape->pen().widthF());
  return check.finite;
}

// Farther out, a view fitted to the footprint has a scale that Qt takes for
// zero, and it draws nothing; real footprints stay below 1e6 in any unit.
constexpr double kMaxCoordinate = 1e9;

bool is_within_reach(const QRectF& bounds) {
  return std::abs(bounds.left()) <= kMaxCoordinate &&
         std::abs(bounds.right()) <= kMaxCoordinate &&
         std::abs(bounds.top()) <= kMaxCoordinate &&
         std::abs(bounds.bottom()) <= kMaxCoordinate;
}

}  // namespace

std::vector<zgraph::TextRun> ZSceneLoader::markup_of(const std::string& text) {
  using Shift = zgraph::TextRun::Shift;
  std::vector<zgraph::TextRun> runs;
  for (const zcore::markup_run& run : zcore::markup_runs(text)) {
    const Shift shift = run.position == zcore::markup_run::shift::subscript
                            ? Shift::subscript
                        : run.position == zcore::markup_run::shift::superscript
                            ? Shift::superscript
                            : Shift::none;
    runs.push_back({QString::fromStdString(run.text), shift, run.overbar});
  }
  // Markup alone ("~{}") draws nothing, where no runs would draw the text.
  if (runs.empty()) runs.emplace_back();
  return runs;
}

const char* const ZSceneLoader::kNonFinite = "non-finite geometry";
const char* const ZSceneLoader::kTooLarge = "geometry too large";
const char* const ZSceneLoader::kTextTooLong = "text too long";
const char* const ZSceneLoader::kTextsTooLong =
    "text past the footprint's 256 KiB";

void ZCoverScene::drawBackground(QPainter* painter, const QRectF& rect) {
  painter->save();
  painter->setPen(QColor(Qt::black));
  painter->setBrush(QBrush(Qt::black, Qt::SolidPattern));
  painter->drawRects(&rect, 1);
  painter->setPen(QPen(QBrush(Qt::blue, Qt::SolidPattern), 10.0, Qt::SolidLine,
                       Qt::SquareCap, Qt::BevelJoin));
  const QLineF falling(rect.topLeft(), rect.bottomRight());
  const QLineF rising(rect.topRight(), rect.bottomLeft());
  painter->drawLines(&falling, 1);
  painter->drawLines(&rising, 1);
  painter->restore();
}

ZSceneLoader::ZSceneLoader(ZScene* scene)
    : QObject(nullptr),
      scene(scene),
      tools(scene ? scene->colour_theme() : ColourTheme::classic),
      text_left(kFootprintText) {
}

std::optional<std::string> ZSceneLoader::shown_text(
    const zcore::text_variables& variables, const std::string& text) {
  std::optional<std::string> shown =
      variables.resolve_within(text, std::min(kLongestText, text_left));
  if (shown) {
    text_left -= shown->size();
  } else {
    const bool alone_too_long = !variables.resolve_within(text, kLongestText);
    skip(alone_too_long ? kTextTooLong : kTextsTooLong);
  }
  return shown;
}

bool ZSceneLoader::add(QGraphicsItem* item, ItemRole role,
                       const QStringList& layers) {
  ItemMarks marks{element, -1, role, layers};
  // Pads come through add_pad alone, each followed by its hole's rim, which
  // is the pad's.
  if (role == ItemRole::pad || role == ItemRole::through_pad)
    marks.pad = pads++;
  if (role == ItemRole::hole) marks.pad = pads - 1;
  const QRectF bounds = item->sceneBoundingRect();
  const char* const left_out = !is_finite(item, bounds)   ? kNonFinite
                               : !is_within_reach(bounds) ? kTooLarge
                                                          : nullptr;
  if (left_out) {
    delete item;
    skip(left_out);
    return false;
  }
  // Stacked as seen from above before it joins the scene, where each change
  // of depth is an event.
  item->setZValue(stacker.z_of(role, layers));
  scene->addItem(item);
  scene->mark(*item, marks);
  emit scene->item_added(item);
  return true;
}

void ZSceneLoader::add(QGraphicsItem* item, const std::string& layer) {
  add(item, ItemRole::drawing,
      layer.empty() ? QStringList() : one_layer_list(layer));
}

const QStringList& ZSceneLoader::one_layer_list(const std::string& layer) {
  auto found = one_layer_lists.find(layer);
  if (found == one_layer_lists.end())
    found = one_layer_lists.emplace(layer, &layer_list({layer})).first;
  return *found->second;
}

const QStringList& ZSceneLoader::layer_list(
    const std::vector<std::string>& layers) {
  auto found = layer_lists.find(layers);
  if (found == layer_lists.end()) {
    QStringList names;
    for (const std::string& layer : layers) names << layer_name(layer);
    found = layer_lists.emplace(layers, names).first;
  }
  return found->second;
}

void ZSceneLoader::add_pad(zgraph::GraphicsPadItem* pad,
                           const QStringList& layers) {
  const zgraph::PadSpec& spec = pad->spec();
  const QPainterPath hole = pad->scene_hole().path;
  if (!add(pad, hole.isEmpty() ? ItemRole::pad : ItemRole::through_pad, layers))
    return;
  pads_made.push_back(pad);
  if (hole.isEmpty()) return;
  static const std::string plated_rim = "system.hole.plated";
  static const std::string bare_rim = "system.hole.bare";
  const bool plated = spec.type != zgraph::PadType::np_thru_hole;
  add(new zgraph::GraphicsHoleItem(
          hole, plated, tools.colour(plated ? plated_rim : bare_rim)),
      ItemRole::hole, layers);
}

QList<QGraphicsItem*> stacked_items(const QGraphicsScene& scene) {
  QList<QGraphicsItem*> items = scene.items(Qt::AscendingOrder);
  std::stable_sort(items.begin(), items.end(),
                   [](const QGraphicsItem* a, const QGraphicsItem* b) {
                     return a->zValue() < b->zValue();
                   });
  return items;
}

ZScene::ZScene() : ZSceneBase(nullptr) {
  // Qt's BSP tree puts an item into every leaf it covers, and its depth
  // grows with the item count: 20,000 coincident lines took gigabytes. A
  // footprint is drawn whole at every repaint anyway, and scanning its items
  // for the cursor costs microseconds.
  setItemIndexMethod(QGraphicsScene::NoIndex);
}

ZScene::~ZScene() {
  polish_items();
  delete loader;
}

// Qt keeps every added item on a list to polish on the next event-loop turn,
// and each item deleted before that turn searches the list for itself: a
// BGA's 1,900 items took twice as long to destroy, in the render tool and in
// any load without a turn between. Polishing them first is one pass. The
// polish is Qt's own queued slot, called directly: delivering the queued
// call searched every event posted in the process, thousands in a batch.
void ZScene::polish_items() {
  if (!items().isEmpty())
    QMetaObject::invokeMethod(this, "_q_polishItems", Qt::DirectConnection);
}

void ZScene::mark(const QGraphicsItem& item, const ItemMarks& marks) {
  marks_in_order =
      marks_in_order &&
      (item_marks.empty() || std::less<>()(item_marks.back().first, &item));
  item_marks.emplace_back(&item, marks);
}

const ItemMarks* ZScene::marks_of(const QGraphicsItem& item) const {
  const auto by_item = [](const auto& a, const auto& b) {
    return std::less<>()(a.first, b.first);
  };
  if (!marks_in_order) {
    std::stable_sort(item_marks.begin(), item_marks.end(), by_item);
    marks_in_order = true;
  }
  const auto after = std::upper_bound(
      item_marks.begin(), item_marks.end(),
      std::pair<const QGraphicsItem*, ItemMarks>(&item, ItemMarks()), by_item);
  if (after == item_marks.begin() || std::prev(after)->first != &item)
    return nullptr;
  return &std::prev(after)->second;
}

void ZScene::set_colour_theme(ColourTheme colours) {
  theme = colours;
  const ZGraphToolsFactory table(theme);
  background = table.colour("system.background");
  grid = table.colour("system.grid");
  invalidate(QRectF(), BackgroundLayer);
}

void ZScene::build(zcore::BaseModel* model, ZSceneLoader* new_loader) {
  reset();
  delete loader;
  loader = new_loader;
  loader->load();
  zgraph::cut_stacked_holes(loader->made_pads());
  emit loaded(QString::fromStdString(model->name()));
}

void ZScene::reset() {
  polish_items();
  clear();
  item_marks.clear();
  marks_in_order = true;
  delete loader;
  loader = nullptr;
  emit reseted();
}

void ZScene::mouseMoveEvent(QGraphicsSceneMouseEvent* event) {
  cursor = event->scenePos();
  emit position_changed(cursor, cursor - origin);
  QGraphicsScene::mouseMoveEvent(event);
}

void ZScene::set_relative_origin(const QPointF& at) {
  const QPointF old = origin;
  origin = at;
  emit zerro_position(old);
  emit position_changed(cursor, cursor - origin);
}

void ZScene::drawBackground(QPainter* painter, const QRectF& rect) {
  painter->save();
  GridPainter points(painter, rect);
  points.step = kGridStep;
  points.background_pen.setColor(background);
  points.background_brush.setColor(background);
  points.point_pen.setColor(grid);
  points.paint();
  painter->restore();
}

}  // namespace zwidget::zcvpcb
