#include "zwidget/zviewer/zscene.h"

#include "zcore/models.h"
#include "zwidget/zviewer/grid_painter.h"

#include <QGraphicsSceneMouseEvent>
#include <QPainter>

namespace zwidget::zcvpcb {

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

ZSceneLoader::ZSceneLoader(ZScene* scene) : QObject(nullptr), scene(scene) {
}

void ZSceneLoader::add(QGraphicsItem* item) {
  scene->addItem(item);
  emit scene->item_added(item);
}

ZScene::ZScene() : ZSceneBase(nullptr) {
}

ZScene::~ZScene() {
  delete loader;
}

void ZScene::build(zcore::BaseModel* model, ZSceneLoader* new_loader) {
  reset();
  delete loader;
  loader = new_loader;
  loader->load();
  emit loaded(QString::fromStdString(model->name()));
}

void ZScene::reset() {
  clear();
  delete loader;
  loader = nullptr;
  emit reseted();
}

void ZScene::mouseMoveEvent(QGraphicsSceneMouseEvent* event) {
  emit position_changed(event->scenePos(), QPointF());
  update(QRectF());
}

void ZScene::drawBackground(QPainter* painter, const QRectF& rect) {
  painter->save();
  GridPainter grid(painter, rect);
  grid.step = 1.27;
  grid.paint();
  painter->restore();
}

}  // namespace zwidget::zcvpcb
