#include "apps/padscope/layers_panel.h"

#include "zwidget/zviewer/graph_tools_factory.h"
#include "zwidget/zviewer/layer_stack.h"

#include <QGridLayout>
#include <QListWidget>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

using namespace zwidget::zcvpcb;

QIcon swatch(const QColor& colour) {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setPen(QColor(128, 128, 128));
  painter.setBrush(colour);
  painter.drawRect(1, 1, 13, 13);
  return QIcon(pixmap);
}

// The row's colour: the layer's, the through-hole pads', the bare holes'.
QColor row_colour(const QString& row, const ZGraphToolsFactory& colours) {
  if (row == kPadsRow) return colours.colour("system.pad.thru_hole");
  if (row == kHolesRow) return colours.colour("system.hole.bare");
  return colours.colour(row.toStdString());
}

}  // namespace

LayersPanel::LayersPanel(QWidget* parent)
    : QDockWidget(tr("Layers"), parent), list(new QListWidget) {
  setObjectName("layersPanel");
  list->setObjectName("layerRows");
  auto* body = new QWidget;
  auto* column = new QVBoxLayout(body);
  column->setContentsMargins(4, 4, 4, 4);
  auto* presets = new QGridLayout;
  int i = 0;
  for (const LayerPreset preset : layer_presets()) {
    auto* button = new QPushButton(preset_name(preset));
    button->setObjectName("preset" + QString::number(i));
    connect(button, &QPushButton::clicked, this, [this, preset] {
      set_hidden(hidden_but(preset_layers(preset)));
      emit hidden_changed(hidden_);
    });
    presets->addWidget(button, i / 2, i % 2);
    ++i;
  }
  column->addLayout(presets);
  column->addWidget(list);
  setWidget(body);
  connect(list, &QListWidget::itemChanged, this, &LayersPanel::row_changed);
}

void LayersPanel::set_rows(const QStringList& layers, ColourTheme theme) {
  updating = true;
  list->clear();
  const ZGraphToolsFactory colours(theme);
  for (const QString& layer : layers) {
    auto* row = new QListWidgetItem(swatch(row_colour(layer, colours)), layer);
    row->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
    list->addItem(row);
  }
  updating = false;
  show_checks();
}

void LayersPanel::set_hidden(const QSet<QString>& hidden) {
  hidden_ = hidden;
  show_checks();
}

void LayersPanel::show_checks() {
  updating = true;
  for (int i = 0; i < list->count(); ++i) {
    QListWidgetItem* row = list->item(i);
    row->setCheckState(hidden_.contains(row->text()) ? Qt::Unchecked
                                                     : Qt::Checked);
  }
  updating = false;
}

void LayersPanel::row_changed(QListWidgetItem* item) {
  if (updating) return;
  if (item->checkState() == Qt::Checked)
    hidden_.remove(item->text());
  else
    hidden_.insert(item->text());
  emit hidden_changed(hidden_);
}
