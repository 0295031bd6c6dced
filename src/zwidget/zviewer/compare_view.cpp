#include "zwidget/zviewer/compare_view.h"

#include "zcore/models.h"
#include "zwidget/zviewer/compare_scene.h"
#include "zwidget/zviewer/obj_canvas.h"

#include <QHeaderView>
#include <QLabel>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <map>

namespace zwidget::zcvpcb {

namespace {

// What a row stands for: a difference's index, or a layer's as -1 - index.
constexpr int kIndexRole = Qt::UserRole;

QString text_of(const std::string& text) {
  return QString::fromStdString(text);
}

// The colour of a side as the list shows it: opaque.
QColor solid(QColor colour) {
  colour.setAlpha(255);
  return colour;
}

}  // namespace

CompareView::CompareView(QWidget* parent)
    : QWidget(parent),
      title(new QLabel(this)),
      list(new QTreeWidget(this)),
      view(new ZObjCanvas(this)) {
  setObjectName("compare_view");
  title->setObjectName("compare_title");
  title->setWordWrap(true);
  list->setObjectName("compare_differences");
  list->setHeaderLabels({tr("Difference")});
  list->header()->setStretchLastSection(true);
  list->setUniformRowHeights(true);
  view->setObjectName("compare_canvas");
  auto* splitter = new QSplitter(Qt::Horizontal, this);
  auto* left = new QWidget(splitter);
  auto* column = new QVBoxLayout(left);
  column->setContentsMargins(0, 0, 0, 0);
  column->addWidget(title);
  column->addWidget(list, 1);
  splitter->addWidget(left);
  splitter->addWidget(view);
  // The list's long lines would take the width; the drawing gets most.
  splitter->setStretchFactor(0, 1);
  splitter->setStretchFactor(1, 2);
  splitter->setSizes({350, 700});
  list->setMinimumWidth(200);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(splitter);
  connect(list, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* row) { show_row(row); });
}

CompareView::~CompareView() = default;

ZCompareScene* CompareView::scene() const {
  return dynamic_cast<ZCompareScene*>(view->scene());
}

QString CompareView::heading() const {
  return title->text();
}

void CompareView::compare(std::shared_ptr<zcore::BaseModel> before,
                          const QString& before_name,
                          std::shared_ptr<zcore::BaseModel> after,
                          const QString& after_name) {
  result = zcore::compare_footprints(zcore::contents_of(*before),
                                     zcore::contents_of(*after));
  auto fresh = std::make_unique<ZCompareScene>();
  const CompareColours colours;
  fresh->build_pair(*before, *after, result, colours);
  view->show_scene(fresh.release());
  models[0] = std::move(before);
  models[1] = std::move(after);
  const std::size_t n = result.differences.size();
  const QString count = n == 0   ? tr("identical")
                        : n == 1 ? tr("1 difference")
                                 : tr("%1 differences").arg(n);
  title->setText(
      QStringLiteral("<span style=\"color:%1\">%2</span> &rarr; "
                     "<span style=\"color:%3\">%4</span>: %5")
          .arg(solid(colours.before).name(), before_name.toHtmlEscaped(),
               solid(colours.after).name(), after_name.toHtmlEscaped(), count));
  fill_list();
}

void CompareView::fill_list() {
  list->clear();
  std::map<std::size_t, std::size_t> layer_of;
  for (std::size_t k = 0; k < result.layers.size(); ++k)
    for (std::size_t index : result.layers[k].differences) layer_of[index] = k;
  std::map<std::size_t, QTreeWidgetItem*> layer_rows;
  for (std::size_t i = 0; i < result.differences.size(); ++i) {
    const zcore::difference& d = result.differences[i];
    QTreeWidgetItem* parent = nullptr;
    const auto layer = layer_of.find(i);
    if (layer != layer_of.end()) {
      QTreeWidgetItem*& row = layer_rows[layer->second];
      if (!row) {
        row = new QTreeWidgetItem(
            list, {text_of(result.layers[layer->second].summary)});
        row->setData(0, kIndexRole, -1 - int(layer->second));
      }
      parent = row;
    }
    auto* row = parent ? new QTreeWidgetItem(parent, {text_of(d.summary)})
                       : new QTreeWidgetItem(list, {text_of(d.summary)});
    row->setData(0, kIndexRole, int(i));
    row->setToolTip(0, text_of(d.summary));
  }
}

void CompareView::show_row(QTreeWidgetItem* row) {
  ZCompareScene* shown = scene();
  if (!shown) return;
  if (!row) {
    shown->highlight(std::nullopt, std::nullopt);
    return;
  }
  const int index = row->data(0, kIndexRole).toInt();
  if (index >= 0) {
    const zcore::difference& d = result.differences[std::size_t(index)];
    shown->highlight(d.old_where, d.new_where);
  } else {
    const zcore::layer_change& layer = result.layers[std::size_t(-1 - index)];
    shown->highlight(layer.old_where, layer.new_where);
  }
  const QRectF marked = shown->highlighted();
  const QRectF seen = view->mapToScene(view->viewport()->rect()).boundingRect();
  if (!marked.isEmpty() && !seen.contains(marked))
    view->centre_on(marked.center());
}

}  // namespace zwidget::zcvpcb
